# shellcheck shell=bash
# Sourced by the dialog tests' scripts: a private X display for Wine, and the
# per-program Wine settings that windows need on it.
#   xvfb_start   starts Xvfb on a free display number and exports DISPLAY
#   xvfb_stop    stops it (safe to call twice, or before xvfb_start)
#   wine_gui_settings DESKTOP MANAGED program.exe...
#                puts the programs on their own Wine desktop and sets whether
#                a window manager manages their windows (Y or N); needs
#                WINEPREFIX and $wine, the Wine loader
#   wine_gui_settings_undo   removes those settings again
#   wine_setup   checks WINEPREFIX, silences Wine's debug output, sets $wine
#                and boots the prefix once

wine_setup() {
  : "${WINEPREFIX:?set WINEPREFIX}"
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
  "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-prefix.sh" ensure "$WINEPREFIX"
}

xvfb_pid=
xvfb_dir=
wine_gui_programs=()

xvfb_start() {
  xvfb_dir=$(mktemp -d)
  # -displayfd: Xvfb picks the first free display itself and writes its number
  # once it accepts connections, so parallel runs cannot collide.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$xvfb_dir/display" \
    >"$xvfb_dir/log" 2>&1 </dev/null &
  xvfb_pid=$!
  local i
  for ((i = 0; i < 200; i++)); do
    if grep -q '^[0-9]' "$xvfb_dir/display" 2>/dev/null; then
      DISPLAY=":$(head -n 1 "$xvfb_dir/display")"
      export DISPLAY
      return 0
    fi
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
    sleep 0.05
  done
  echo "Xvfb did not start:" >&2
  cat "$xvfb_dir/log" >&2
  xvfb_stop
  return 1
}

xvfb_stop() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=
  fi
  if [ -n "$xvfb_dir" ]; then
    rm -rf "$xvfb_dir"
    xvfb_dir=
  fi
}

# The prefix's Default desktop belongs to a Wine process (explorer.exe) bound
# to the display it started on, possibly none: the test run's fixture boots
# the prefix without one. A desktop of the test's own gets an explorer.exe on
# this display, which ends when the display does.
# Without a window manager, Wine waits two seconds for every managed window
# it hides; unmanaged windows need none.
wine_gui_settings() {
  local desktop=$1 managed=$2 program
  shift 2
  local file="$xvfb_dir/settings.reg"
  echo "REGEDIT4" >"$file"
  for program in "$@"; do
    program=$(basename "$program")
    wine_gui_programs+=("$program")
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\Explorer]\n"Desktop"="%s"\n' \
      "$program" "$desktop" >>"$file"
    printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\X11 Driver]\n"Managed"="%s"\n' \
      "$program" "$managed" >>"$file"
  done
  "${wine:?}" reg import "Z:${file//\//\\}" >/dev/null 2>&1
}

# Leaves the prefix as it was, so that the program runs on the usual desktop
# outside the tests.
wine_gui_settings_undo() {
  [ ${#wine_gui_programs[@]} -gt 0 ] || return 0
  local file program
  file=$(mktemp --suffix=.reg)
  echo "REGEDIT4" >"$file"
  for program in "${wine_gui_programs[@]}"; do
    printf '\n[-HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s\\%s]\n' \
      "$program" Explorer "$program" "X11 Driver" >>"$file"
  done
  "${wine:?}" reg import "Z:${file//\//\\}" >/dev/null 2>&1 || true
  rm -f "$file"
  wine_gui_programs=()
}
