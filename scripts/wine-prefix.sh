#!/usr/bin/env bash
# Manages a private Wine prefix.
#   wine-prefix.sh ensure DIR   create and boot the prefix once
#   wine-prefix.sh start DIR    ensure it, and keep its server alive
#   wine-prefix.sh stop DIR     stop its server
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 ensure|start|stop DIR" >&2
  exit 2
fi
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)
# Wine's helper processes (the server, winedevice.exe) outlive this script;
# they must not inherit the caller's output pipes, or a test runner reading
# them would wait for their end forever.
exec </dev/null >/dev/null 2>&1
for fd in /proc/$$/fd/*; do
  n=${fd##*/}
  if [ "$n" -gt 2 ] 2>/dev/null; then eval "exec $n>&-" 2>/dev/null || true; fi
done
# Debian 12's Wine looks for its own fonts (the fonts-wine package) at a path
# it cannot open, Z:\usr\share\wine\../fonts, and dialogs fall back to other
# fonts; linked into the prefix's Fonts folder, they are found.
link_wine_fonts() {
  local fonts=$WINEPREFIX/drive_c/windows/Fonts font
  [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] || return 0
  for font in /usr/share/wine/fonts/*; do
    [ -e "$fonts/${font##*/}" ] || ln -s "$font" "$fonts/" || true
  done
}
case $action in
  ensure|start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      # Serialise first boots of the same prefix from parallel tests.
      exec 9>"$WINEPREFIX.lock"
      flock 9
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$wine" wineboot -i >/dev/null 2>&1 || true
        "$wineserver" -w
      fi
    fi
    link_wine_fonts
    if [ "$action" = start ]; then
      "$wineserver" -p || true
      # Start Wine's background services now, detached from any test's pipes.
      "$wine" wineboot || true
    fi
    ;;
  stop)
    "$wineserver" -k >/dev/null 2>&1 || true
    ;;
  *)
    exit 2
    ;;
esac
