#!/usr/bin/env bash
# The Linux launcher's own logic, with a stand-in Wine loader that records how
# it is called: options, the per-user prefix and its first start, finding the
# loader and veltrane.exe, quiet and debug output, exit statuses.
#   launcher_test.sh INSTALLED_ROOT   (a tree with usr/bin/veltrane)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
root=$(cd "$1" && pwd)
launcher=$root/usr/bin/veltrane
exe=$root/usr/lib/veltrane/veltrane.exe

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT

# The stand-in loader: one line per call in $FAKE_LOG; "wineboot -i" makes
# the prefix unless FAKE_BOOT_FAILS is set; any other call is the dialog,
# which ends with $FAKE_STATUS. Both write noise, as Wine does.
mkdir -p "$t/fake" "$t/pathbin"
cat >"$t/fake/wine64" <<'FAKE'
#!/bin/sh
echo "call=$* prefix=${WINEPREFIX-} debug=${WINEDEBUG-unset} display=${DISPLAY-unset} arch=${WINEARCH-unset} overrides=${WINEDLLOVERRIDES-}" >>"$FAKE_LOG"
echo "fixme:fake:noise from $1" >&2
echo "noise on stdout"
if [ "$1" = wineboot ]; then
  [ -z "${FAKE_BOOT_FAILS:-}" ] || exit 1
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" && : >"$WINEPREFIX/system.reg"
  exit 0
fi
exit "${FAKE_STATUS:-0}"
FAKE
cat >"$t/fake/wineserver64" <<'FAKE'
#!/bin/sh
echo "server=$* prefix=${WINEPREFIX-}" >>"$FAKE_LOG"
FAKE
chmod +x "$t/fake/wine64" "$t/fake/wineserver64"
ln -s "$t/fake/wine64" "$t/pathbin/wine"
export FAKE_LOG=$t/calls

# run NAME [VAR=value...] -- [launcher arguments...]: runs the launcher with a
# clean environment plus the given variables; sets $status, $out, $err and
# $calls (the loader's log of this run).
run() {
  local -a vars=()
  shift # the name, for the reader
  while [ "$1" != -- ]; do
    vars+=("$1")
    shift
  done
  shift
  : >"$FAKE_LOG"
  status=0
  env -i PATH=/usr/bin:/bin HOME="$t/home" FAKE_LOG="$FAKE_LOG" "${vars[@]}" \
    "$launcher" "$@" >"$t/out" 2>"$t/err" || status=$?
  out=$(cat "$t/out")
  # shellcheck disable=SC2034 # read by outcome
  err=$(cat "$t/err")
  calls=$(cat "$FAKE_LOG")
}

# has TEXT PATTERN: TEXT has a line matching the extended regex PATTERN.
has() {
  grep -qE -- "$2" <<<"$1" || {
    echo "no line matching /$2/ in:"
    echo "$1"
    return 1
  }
}
hasnt() {
  if grep -qE -- "$2" <<<"$1"; then
    echo "a line matches /$2/:"
    echo "$1"
    return 1
  fi
}
is() {
  [ "$1" = "$2" ] || {
    echo "expected '$2', got '$1'"
    return 1
  }
}

# outcome STATUS CONDITION...: the last run ended with STATUS, and each
# CONDITION holds: NAME~PATTERN (a line of $NAME matches), NAME!~PATTERN (no
# line does) or NAME= (empty), for NAME out, err or calls.
outcome() {
  is "$status" "$1" || return
  shift
  local condition name
  for condition; do
    case $condition in
      *'!~'*)
        name=${condition%%!~*}
        hasnt "${!name}" "${condition#*!~}" || return
        ;;
      *'~'*)
        name=${condition%%~*}
        has "${!name}" "${condition#*~}" || return
        ;;
      *=)
        name=${condition%=}
        [ -z "${!name}" ] || {
          echo "$name is not empty: ${!name}"
          return 1
        }
        ;;
    esac
  done
}

fake=(VELTRANE_WINE="$t/fake/wine64" DISPLAY=:42)
prefix=$t/data/veltrane/wineprefix

run help -- --help
check "--help: status 0, names every option" \
  outcome 0 'out~--wine-debug' 'out~--help' 'out~--version'
run version -- --version
check "--version prints the version" has "$out" '^veltrane [0-9]+\.[0-9]+\.[0-9]+$'
run bogus "${fake[@]}" -- --bogus
check "an unknown argument: status 2, a message, no Wine" \
  outcome 2 'err~unknown argument' calls=

run no-display VELTRANE_WINE="$t/fake/wine64" XDG_DATA_HOME="$t/data" --
check "no display: status 1, a message, no Wine" outcome 1 'err~DISPLAY' calls=
check "no display: no prefix" test ! -e "$t/data"

run first "${fake[@]}" XDG_DATA_HOME="$t/data" --
check "first start: status 0 and nothing on the terminal" outcome 0 out= err=
boot=$(grep '^call=wineboot' <<<"$calls" || true)
check "first start: the prefix is made under XDG_DATA_HOME, with no display" \
  has "$boot" "^call=wineboot -i prefix=$prefix debug=-all display=unset arch=win64 "
check "first start: waits for the prefix's Wine processes before the dialog" \
  is "$(sed -n 2p <<<"$calls")" "server=-w prefix=$prefix"
dialog=$(grep -v '^call=wineboot\|^server=' <<<"$calls" || true)
check "the dialog runs once, in the prefix, on the display, quiet" \
  has "$dialog" "^call=$exe prefix=$prefix debug=-all display=:42 arch=unset overrides=mscoree,mshtml=;winemenubuilder.exe=d$"
if [ -d /usr/share/wine/fonts ]; then
  check "Wine's own fonts are linked into the prefix's Fonts folder" \
    test "$(readlink "$prefix/drive_c/windows/Fonts/marlett.ttf")" = /usr/share/wine/fonts/marlett.ttf
fi
check "Wine's messages go to the log" has "$(cat "$t/data/veltrane/wine.log")" 'fixme:fake:noise from /'

run second "${fake[@]}" XDG_DATA_HOME="$t/data" --
check "a later start uses the prefix as it is" \
  outcome 0 'calls~^call=/' 'calls!~^call=wineboot' 'calls!~^server='

run status "${fake[@]}" XDG_DATA_HOME="$t/data" FAKE_STATUS=3 --
check "Wine's status is the launcher's, and the log is named" outcome 3 'err~wine\.log'

run debug "${fake[@]}" XDG_DATA_HOME="$t/data" VELTRANE_WINE_DEBUG=1 WINEDEBUG=warn+all --
check "VELTRANE_WINE_DEBUG=1: Wine's messages on the terminal, WINEDEBUG kept" \
  outcome 0 'err~fixme:fake:noise' 'calls~debug=warn\+all '
run debug-option "${fake[@]}" XDG_DATA_HOME="$t/data" -- --wine-debug=+relay
check "--wine-debug=CHANNELS sets WINEDEBUG and shows Wine's messages" \
  outcome 0 'err~fixme:fake:noise' 'calls~debug=\+relay '
run debug-off "${fake[@]}" XDG_DATA_HOME="$t/data" VELTRANE_WINE_DEBUG=0 --
check "VELTRANE_WINE_DEBUG=0 keeps Wine quiet" outcome 0 err= 'calls~debug=-all '

run overrides "${fake[@]}" XDG_DATA_HOME="$t/data" WINEDLLOVERRIDES=foo=n --
check "the user's WINEDLLOVERRIDES come after the launcher's own" \
  has "$calls" 'overrides=mscoree,mshtml=;winemenubuilder.exe=d;foo=n$'

for xdg in unset "" relative/path; do
  rm -rf "${t:?}/home"
  if [ "$xdg" = unset ]; then
    run "xdg-$xdg" "${fake[@]}" --
  else
    run "xdg-$xdg" "${fake[@]}" XDG_DATA_HOME="$xdg" --
  fi
  check "XDG_DATA_HOME ${xdg:-empty}: the prefix is in ~/.local/share/veltrane" \
    has "$calls" "^call=wineboot -i prefix=$t/home/.local/share/veltrane/wineprefix "
done

run from-path DISPLAY=:42 XDG_DATA_HOME="$t/data" PATH="$t/pathbin:/usr/bin:/bin" --
check "without VELTRANE_WINE, the wine command on PATH is the loader" outcome 0 'calls~^call=/'
run missing-loader DISPLAY=:42 XDG_DATA_HOME="$t/data" VELTRANE_WINE="$t/none/wine" --
check "VELTRANE_WINE naming no program: status 1 and a message" outcome 1 'err~VELTRANE_WINE'

run boot-fails "${fake[@]}" XDG_DATA_HOME="$t/other" FAKE_BOOT_FAILS=1 --
check "a prefix that cannot be made: status 1, the log named, no dialog" \
  outcome 1 'err~wine\.log' 'calls!~^call=/'

# Through a symbolic link (as from /usr/local/bin) the launcher still finds
# veltrane.exe beside its real place; a copy without it says so.
mkdir -p "$t/link" "$t/copy/bin"
ln -s "$launcher" "$t/link/veltrane"
launcher_saved=$launcher
launcher=$t/link/veltrane
run symlink "${fake[@]}" XDG_DATA_HOME="$t/data" --
check "started through a symbolic link, it finds veltrane.exe" has "$calls" "^call=$exe "
cp "$launcher_saved" "$t/copy/bin/veltrane"
launcher=$t/copy/bin/veltrane
run copy "${fake[@]}" XDG_DATA_HOME="$t/data" --
check "without veltrane.exe beside it: status 1, a message, no Wine" \
  outcome 1 'err~veltrane\.exe' calls=

check_summary "launcher"
