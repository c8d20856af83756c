#!/usr/bin/env bash
# scripts/run.sh --web as a user calls it: its usage errors; the server,
# on a free port, serving the built page until it is stopped; and a
# screenshot saved from another folder.
#   run_web_test.sh
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$repo/tests/packaging/testing.sh"
run_sh=$repo/scripts/run.sh

t=$(mktemp -d)
server=
cleanup() {
  if [ -n "$server" ] && kill -0 "$server" 2>/dev/null; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$t"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

check "--help names --web, --port and --shot" help_names "$run_sh" --web --port --shot
check "--port without --web is a usage error (2)" expect_output 2 status_of "$run_sh" --port 8000
check "--shot without --web is a usage error (2)" expect_output 2 status_of "$run_sh" --shot a.png
check "--web with --virtual is a usage error (2)" expect_output 2 status_of "$run_sh" --web --virtual
check "--web with --shot and --port is a usage error (2)" \
  expect_output 2 status_of "$run_sh" --web --shot a.png --port 1
check "--web with a port that is no number is a usage error (2)" \
  expect_output 2 status_of "$run_sh" --web --port x
check "--web --type without --shot is a usage error (2)" expect_output 2 status_of "$run_sh" --web --type 5

# The server: built (nothing to do after the web tests), started on a free
# port, its address printed; it serves the page's files as built.
bash "$run_sh" --web --port 0 >"$t/serve.log" 2>&1 </dev/null &
server=$!
url=
for ((i = 0; i < 1200; i++)); do
  url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$t/serve.log" | head -n 1 || true)
  [ -n "$url" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
serves_the_page() {
  [ -n "$url" ] || {
    cat "$t/serve.log"
    return 1
  }
  python3 - "$url" "$repo/build/web/web/site" <<'PY'
import os, sys, urllib.request
url, site = sys.argv[1:]
for name in ("", "index.html", "veltrane.css", "veltrane.js", "veltrane.webmanifest",
             "icon-192.png", "icon-512.png", "sw.js"):
    with urllib.request.urlopen(url + name) as response:
        body = response.read()
    assert body == open(os.path.join(site, name or "index.html"), "rb").read(), name
PY
}
check "run.sh --web --port 0 prints its address and serves the built page" serves_the_page
# Stopped as Ctrl+C or a service manager stops it, it ends at once, with 0.
stop_status=0
kill -TERM "$server" 2>/dev/null || true
wait "$server" || stop_status=$?
server=
check "the server ends on SIGTERM, with status 0" expect_output 0 echo "$stop_status"

mkdir -p "$t/caller"
shot() {
  (cd "$t/caller" && bash "$run_sh" --web --shot shots/web.png --type 255 </dev/null) &&
    expect_output 900 identify -format '%w' "$t/caller/shots/web.png"
}
check "run.sh --web --shot shots/web.png --type 255, from another folder" shot

check_summary "run.sh --web"
