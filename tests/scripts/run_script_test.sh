#!/usr/bin/env bash
# scripts/run.sh as a user calls it: its help and usage errors, and a run on
# a virtual display from another folder that types a negative numeral and
# saves the screenshot under a path relative to that folder.
#   run_script_test.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$repo/tests/packaging/testing.sh"
run_sh=$repo/scripts/run.sh

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT

check "--help: status 0, names every option" help_names "$run_sh" --virtual --type --help
check "an unknown argument is a usage error (2)" expect_output 2 status_of "$run_sh" --bogus
check "--type without a numeral is a usage error (2)" expect_output 2 status_of "$run_sh" --virtual --type
check "--type without --virtual is a usage error (2)" expect_output 2 status_of "$run_sh" --type 5

# The real run: builds (nothing to do after the Windows tests), opens the
# dialog on Xvfb, types -12.5, and saves shots/neg.png in the caller's folder.
mkdir -p "$t/caller"
virtual_run() {
  (cd "$t/caller" && bash "$run_sh" --virtual shots/neg.png --type -12.5 </dev/null)
}
check "run.sh --virtual shots/neg.png --type -12.5, from another folder" virtual_run
screenshot() {
  local shot=$t/caller/shots/neg.png
  [ -f "$shot" ] || {
    echo "no $shot"
    return 1
  }
  # The whole virtual screen, with the dialog drawn on it (many colours).
  expect_output 800x300 identify -format '%wx%h' "$shot" &&
    [ "$(identify -format '%k' "$shot")" -gt 8 ]
}
check "the screenshot is in the caller's folder, of the whole screen" screenshot
check "nothing was written under the repository's own shots/" test ! -e "$repo/shots"

check_summary "run.sh"
