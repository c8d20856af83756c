#!/usr/bin/env bash
# Runs a Windows test program that opens windows: under Wine, on a private
# Xvfb display started here and always stopped, in a Wine desktop of its own.
# Exits with the program's status. Expects WINEPREFIX.
#   run_dialog_test.sh program.exe [args...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/dialog/wine_display.sh
source "$here/wine_display.sh"
wine_setup
# shellcheck disable=SC2317 # called by the trap
cleanup() {
  wine_gui_settings_undo
  xvfb_stop
}
trap cleanup EXIT
trap 'exit 143' TERM INT
xvfb_start
# The test's windows need no window manager.
wine_gui_settings veltrane-dialog-test N "$1"

status=0
"$wine" "$@" || status=$?
exit "$status"
