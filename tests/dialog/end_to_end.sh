#!/usr/bin/env bash
# End to end: runs veltrane.exe under Wine on a private Xvfb display, types
# into it with real keystrokes (xdotool) and reads its controls back from
# another Wine process (dialog_probe.exe). Expects WINEPREFIX.
#   end_to_end.sh veltrane.exe dialog_probe.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
veltrane=$1
probe_exe=$2
# shellcheck source=tests/dialog/wine_display.sh
source "$here/wine_display.sh"
wine_setup
app_pid=
cleanup() {
  if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
    kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
  fi
  wine_gui_settings_undo
  xvfb_stop
}
trap cleanup EXIT
trap 'exit 143' TERM INT
xvfb_start
# Managed like a user's window, as the X focus handling below assumes; the
# probe must share the dialog's desktop to find its window.
wine_gui_settings veltrane-end-to-end Y "$veltrane" "$probe_exe"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

probe() { "$wine" "$probe_exe" "$@" | tr -d '\r'; }

# expect WHAT key=value...: polls the dialog until every pair holds (the
# keystrokes are handled asynchronously), for at most about 5 seconds.
expect() {
  local what=$1 state pair missing
  shift
  local tries
  for ((tries = 0; tries < 25; tries++)); do
    state=$(probe state) || {
      fail "$what: the dialog is gone"
      return
    }
    missing=
    for pair in "$@"; do
      grep -qxF -- "$pair" <<<"$state" || missing+=" $pair"
    done
    [ -z "$missing" ] && return
    sleep 0.1
  done
  fail "$what: expected$missing; the dialog holds: ${state//$'\n'/ }"
}

keys() { xdotool key --delay 30 "$@"; }

# Start-up: the program takes no arguments and opens the dialog.
"$wine" "$veltrane" &
app_pid=$!
probe wait >/dev/null || {
  fail "the dialog did not open"
  exit 1
}
# No window manager runs on the display: give the dialog the X input focus.
xdotool windowfocus --sync "$(xdotool search --name '^Veltrane$' | head -n 1)"

expect "defaults" input= inputLimit=28 output= inputBase=10 outputBase=16 standard=0 scientific=0 \
  inputBaseCount=35 outputBaseCount=35 focus=1000

# Tab order, before any notation button is checked (once one is, Wine's dialog
# manager also stops on the checked button).
for id in 1003 1002 1005 1 1000; do
  keys Tab
  expect "Tab to $id" "focus=$id"
done

xdotool type --delay 30 '255'
expect "typing" input=255 output=
keys Return
expect "Enter converts" output=FF standard=1 scientific=0 focus=1000

# Typing clears the result; Alt+C converts.
keys BackSpace BackSpace BackSpace
xdotool type --delay 30 '0.5'
expect "typing clears the output" input=0.5 output=
keys alt+c
expect "Alt+C converts" output=0.8 standard=1 focus=1000

# Tabbing into the output base box selects its text; typing replaces it and
# clears the result.
keys Tab Tab Tab
expect "Tab to the output base" focus=1005
xdotool type --delay 30 '2'
expect "typing a base clears the output" outputBase=2 output=
keys Return
expect "Enter converts from a base box" output=0.1 focus=1000
# Every later visit selects the text as well, the base typed before
# included, and so does Shift+Tab.
keys Tab Tab Tab
xdotool type --delay 30 '8'
expect "Tab again selects the base typed" outputBase=8 output=
keys shift+Tab
expect "Shift+Tab to the input base" focus=1002
xdotool type --delay 30 '7'
expect "typing replaces the input base" inputBase=7
keys Tab
xdotool type --delay 30 '2'
keys shift+Tab
xdotool type --delay 30 '10'
keys Return
expect "bases typed after Tab convert" inputBase=10 outputBase=2 output=0.1 focus=1000

# Escape does nothing. The Tab after it shows that it has been handled.
keys Escape Tab
expect "Escape keeps the dialog" focus=1003 output=0.1

# The numeral field stops at the 28 characters that Convert reads: of 10^30
# typed, 10^27 stays on screen, and that is what converts (output base 2).
keys Return
expect "Enter from the output field" focus=1000
keys End shift+Home BackSpace
expect "emptying the numeral" input= output=
xdotool type --delay 30 "1$(printf '0%.0s' {1..30})"
expect "typing stops at 28" "input=1$(printf '0%.0s' {1..27})"
keys Return
expect "Convert reads what the field shows" \
  output=1.10011101100101110001111001001111111010000100000000011110011101_+1011001

result=$(probe close) || fail "closing: $result"
[ "$result" = "exit=0" ] || fail "closing: $result"
status=0
wait "$app_pid" || status=$?
app_pid=
[ "$status" = 0 ] || fail "veltrane.exe ended with $status"

if [ "$failures" = 0 ]; then
  echo "end to end: all steps passed"
fi
[ "$failures" = 0 ]
