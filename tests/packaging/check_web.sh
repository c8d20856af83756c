#!/usr/bin/env bash
# Checks the web ZIP: one folder with the page's files (the three of the
# page, and the manifest, icons and service worker of the installable app)
# and the licence; the page within its 200 KB, stating a
# Content-Security-Policy and naming no address elsewhere; and, unpacked, it
# converts when opened from disk in Chromium. Then the npm package: packed
# as veltrane-<version>.tgz, it installs offline into a scratch project and
# imports there (tests/web/tarball.test.mjs).
#   check_web.sh PACKAGES_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
packages=$1

shopt -s nullglob
zips=("$packages"/*-web.zip)
if [ ${#zips[@]} != 1 ]; then
  echo "expected one *-web.zip in $packages"
  ls -l "$packages" || true
  exit 1
fi
zip=${zips[0]}
top=$(basename "$zip" .zip)
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT

unpack() {
  python3 - "$zip" "$t" "$top" <<'PY'
import sys, zipfile
path, out, top = sys.argv[1:]
with zipfile.ZipFile(path) as z:
    names = sorted(n for n in z.namelist() if not n.endswith("/"))
    expected = sorted(f"{top}/{n}" for n in
                      ("index.html", "veltrane.css", "veltrane.js", "veltrane.webmanifest",
                       "icon-192.png", "icon-512.png", "sw.js", "LICENSE.txt"))
    assert names == expected, f"{names} != {expected}"
    z.extractall(out)
PY
}
check "the ZIP holds $top/ with the page's files and LICENSE.txt" unpack
page=$t/$top
check "LICENSE.txt is the repository's LICENSE" cmp "$page/LICENSE.txt" "$repo/LICENSE"

page_size() {
  local size
  size=$(find "$page" -type f ! -name LICENSE.txt -exec cat {} + | wc -c)
  echo "$size bytes"
  [ "$size" -le 200000 ]
}
check "the page weighs at most 200 KB" page_size
check "the page states a Content-Security-Policy" \
  grep -q "http-equiv=\"Content-Security-Policy\" content=\"default-src 'none';" "$page/index.html"
no_addresses() {
  ! grep -n '://' "$page/index.html" "$page/veltrane.css" "$page/veltrane.js" \
    "$page/veltrane.webmanifest" "$page/sw.js"
}
check "no file names an address elsewhere" no_addresses
check "the module is embedded" grep -q "const MODULE = '[A-Za-z0-9+/]" "$page/veltrane.js"

bash "$repo/tests/web/npm_ci.sh"
converts() {
  expect_output FF node "$repo/tests/web/convert_page.mjs" "$page" 255
}
check "unpacked and opened from disk, the page converts 255 to FF" converts

tarballs=("$packages"/veltrane-*.tgz)
npm_package() {
  [ ${#tarballs[@]} = 1 ] || {
    echo "expected one veltrane-*.tgz in $packages"
    return 1
  }
  VELTRANE_TARBALL=${tarballs[0]} node --test "$repo/tests/web/tarball.test.mjs"
}
check "the npm package installs offline into a project, imports, converts and type-checks" npm_package

check_summary "web package"
