#!/usr/bin/env bash
# Builds the Windows program and opens the converter dialog under Wine, or
# with --web builds the browser page and serves it; see --help. Installs what
# is missing first (scripts/install.sh), and uses a private Wine prefix in
# build/windows/wineprefix.
set -euo pipefail
# A relative screenshot path is the caller's, taken before moving to the
# repository.
caller=$(pwd)
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)

help() {
  cat <<'HELP'
Usage: bash scripts/run.sh [--virtual [FILE.png] [--type NUMERAL]]
       bash scripts/run.sh --web [--port N | --shot FILE.png [--type NUMERAL]]
Installs what is missing (scripts/install.sh), builds the Windows program
(build/windows) and opens the converter dialog under Wine, with a private Wine
prefix in build/windows/wineprefix.

  (no option)           opens the dialog on the current X display (DISPLAY);
                        close it to end
  --virtual [FILE.png]  opens it on a private virtual display (Xvfb) instead,
                        inside a Wine desktop window that draws the caption,
                        saves a screenshot of the display to FILE.png (default
                        build/windows/veltrane.png; a relative path is taken
                        from the current folder), then closes the dialog
  --type NUMERAL        with --virtual or --shot: types NUMERAL (a negative one
                        too, such as -12.5) and presses Enter before the
                        screenshot
  --web                 builds the browser page instead (build/web, its files
                        in build/web/web/site) and serves it on 127.0.0.1,
                        printing its address; Ctrl+C stops the server
  --port N              with --web: the port (default 8036; 0 picks a free one)
  --shot FILE.png       with --web: serves nothing, but opens the page from
                        disk in headless Chromium, 900 pixels wide, and saves
                        a screenshot of the whole page to FILE.png (a relative
                        path is taken from the current folder)
  -h, --help            this help

Exit status: 0 when the dialog opened (and, with --virtual, the screenshot was
saved) or the page was served until stopped (or, with --shot, saved), 1 when
it could not be opened or served, 2 for a usage error.
HELP
}

usage_error() {
  echo "run.sh: $*; see bash scripts/run.sh --help" >&2
  exit 2
}

virtual=0
shot=
numeral=
typed=0
web=0
port=8036
port_given=0
page_shot=
while [ $# -gt 0 ]; do
  case $1 in
    --web) web=1 ;;
    --port)
      [ $# -gt 1 ] || usage_error "--port needs a number"
      [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -le 65535 ] || usage_error "--port takes a number from 0 to 65535"
      port=$2
      port_given=1
      shift
      ;;
    --shot)
      [ $# -gt 1 ] || usage_error "--shot needs a file name"
      page_shot=$2
      shift
      ;;
    --virtual)
      virtual=1
      if [ $# -gt 1 ] && [ "${2#--}" = "$2" ]; then
        shot=$2
        shift
      fi
      ;;
    --type)
      [ $# -gt 1 ] || usage_error "--type needs a numeral"
      numeral=$2
      typed=1
      shift
      ;;
    -h | --help)
      help
      exit 0
      ;;
    *) usage_error "unknown argument '$1'" ;;
  esac
  shift
done
if [ "$web" = 1 ]; then
  [ "$virtual" = 0 ] || usage_error "--web and --virtual exclude each other"
  [ -z "$page_shot" ] || [ "$port_given" = 0 ] || usage_error "--shot serves nothing: no --port"
  [ "$typed" = 0 ] || [ -n "$page_shot" ] || usage_error "--type works with --web only for --shot"
else
  [ "$port_given" = 0 ] || usage_error "--port works only with --web"
  [ -z "$page_shot" ] || usage_error "--shot works only with --web"
  if [ "$typed" = 1 ] && [ "$virtual" = 0 ]; then
    echo "run.sh: --type works only with --virtual" >&2
    exit 2
  fi
fi

if [ "$web" = 1 ]; then
  scripts/install.sh
  echo "Building the page (build/web)..."
  cmake --preset web >/dev/null
  cmake --build --preset web
  site=$root/build/web/web/site
  if [ -n "$page_shot" ]; then
    case $page_shot in /*) ;; *) page_shot=$caller/$page_shot ;; esac
    bash tests/web/npm_ci.sh
    node tests/web/screenshot.mjs "$site" "$page_shot" "$numeral"
    exit
  fi
  exec node tests/web/serve.mjs "$site" "$port"
fi

if [ "$virtual" = 0 ] && [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
run.sh: there is no X display here (DISPLAY is not set), and the dialog needs one.
To open it on a virtual display instead and save a screenshot, run:
    bash scripts/run.sh --virtual [FILE.png] [--type 255]
MSG
  exit 1
fi

scripts/install.sh
echo "Building the Windows program (build/windows)..."
cmake --preset windows >/dev/null
cmake --build --preset windows --target veltrane-dialog
build=$root/build/windows
exe=$build/app/veltrane.exe

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
echo "Preparing the Wine prefix (about 10 s the first time)..."
scripts/wine-prefix.sh ensure "$WINEPREFIX"

if [ "$virtual" = 0 ]; then
  echo "Opening the dialog; close it to end."
  exec "$wine" "$exe"
fi

# On a private display: Xvfb picks a free display number (-displayfd).
shot=${shot:-$build/veltrane.png}
case $shot in /*) ;; *) shot=$caller/$shot ;; esac
tmp=$(mktemp -d)
xvfb_pid=
desktop_pid=
cleanup() {
  if [ -n "$desktop_pid" ] && kill -0 "$desktop_pid" 2>/dev/null; then
    kill "$desktop_pid" 2>/dev/null || true
    wait "$desktop_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

Xvfb -displayfd 3 -screen 0 800x300x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
for ((i = 0; i < 200; i++)); do
  grep -q '^[0-9]' "$tmp/display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
if ! grep -q '^[0-9]' "$tmp/display" 2>/dev/null; then
  echo "run.sh: Xvfb did not start:" >&2
  cat "$tmp/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$(head -n 1 "$tmp/display")"
export DISPLAY
echo "Virtual display $DISPLAY"

# Wine's virtual desktop draws the caption and frame that no window manager
# draws here. Its window fills the 800x300 screen.
(cd "$(dirname "$exe")" && exec "$wine" explorer /desktop=veltrane,800x300 veltrane.exe) \
  >"$tmp/wine.log" 2>&1 &
desktop_pid=$!
# Inside the virtual desktop the dialog still has an X window of its own,
# named by its caption: the keystrokes go to it.
window=
for ((i = 0; i < 200; i++)); do
  window=$(xdotool search --name '^Veltrane$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "run.sh: the dialog did not open" >&2
  exit 1
fi
sleep 2 # let the dialog finish opening and drawing
xdotool windowfocus --sync "$window"
if [ "$typed" = 1 ]; then
  # "--": a numeral such as -12.5 is not one of xdotool's options.
  xdotool type --delay 40 -- "$numeral"
  xdotool key Return
  sleep 1
fi
mkdir -p "$(dirname "$shot")"
# import draws message boxes and dropped-down lists as they are; xwd shows
# them under Xvfb as black rectangles.
import -window root "$shot"
echo "Screenshot saved to $shot"

# Close the dialog as a user would; the desktop ends with its last program.
xdotool key alt+F4
for ((i = 0; i < 50; i++)); do
  kill -0 "$desktop_pid" 2>/dev/null || break
  sleep 0.1
done
