#!/usr/bin/env bash
# Runs a Windows executable under Wine with a private prefix and Wine's own
# debug output silenced. Used as CTest's cross-compiling emulator.
#   wine-run.sh [--prefix DIR] program.exe [args...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${1:-}" = "--prefix" ]; then
  export WINEPREFIX=$2
  shift 2
fi
: "${WINEPREFIX:?set WINEPREFIX or pass --prefix DIR}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$here/wine-prefix.sh" ensure "$WINEPREFIX"
exec "$(command -v wine64 || echo /usr/lib/wine/wine64)" "$@"
