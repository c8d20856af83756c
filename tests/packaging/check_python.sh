#!/usr/bin/env bash
# Checks the Python packages as they ship: python3-veltrane for amd64 and
# arm64 (lintian, control fields, files in dist-packages), each unpacked with
# dpkg-deb -x into a scratch root and imported from there with PYTHONPATH
# (the amd64 one by Debian's Python, running the package's help examples;
# the arm64 one by Debian's arm64 Python under qemu, a smoke test), and the
# wheel installed offline into a new virtual environment.
#   check_python.sh PACKAGES_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
packages=$1
python=/usr/bin/python3

shopt -s nullglob
amd=("$packages"/python3-veltrane_*_amd64.deb)
arm=("$packages"/python3-veltrane_*_arm64.deb)
wheels=("$packages"/veltrane-*-cp311-cp311-linux_x86_64.whl)
if [ ${#amd[@]} != 1 ] || [ ${#arm[@]} != 1 ] || [ ${#wheels[@]} != 1 ]; then
  echo "expected python3-veltrane for amd64 and arm64 and one wheel in $packages"
  ls -l "$packages" || true
  exit 1
fi

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
trap 'exit 143' TERM INT

lintian_clean() {
  # Errors and warnings fail; notes are shown for the record.
  lintian --fail-on error,warning --tag-display-limit 0 "${amd[0]}" "${arm[0]}" 2>&1 |
    { grep -v "running with root privileges" || true; } | tee "$t/lintian"
}
check "lintian: no error or warning" lintian_clean
sed -n 's/^/     lintian: /p' "$t/lintian"

fields() {
  local deb=$1 arch=$2
  [ "$(dpkg-deb -f "$deb" Package)" = python3-veltrane ] &&
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] &&
    [ "$(dpkg-deb -f "$deb" Section)" = python ] &&
    grep -q "python3 (>= 3.11), python3 (<< 3.12)" <<<"$(dpkg-deb -f "$deb" Depends)" &&
    grep -q "libc6 (>=" <<<"$(dpkg-deb -f "$deb" Depends)"
}
check "amd64: control fields" fields "${amd[0]}" amd64
check "arm64: control fields" fields "${arm[0]}" arm64

files() {
  local deb=$1 arch=$2 listing
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for file in __init__.py __init__.pyi py.typed "_veltrane.cpython-311-$arch-linux-gnu.so"; do
    grep -qx "./usr/lib/python3/dist-packages/veltrane/$file" <<<"$listing" || {
      echo "missing: $file"
      return 1
    }
  done
  grep -qx ./usr/share/doc/python3-veltrane/copyright <<<"$listing"
}
check "amd64: the package in dist-packages" files "${amd[0]}" x86_64
check "arm64: the package in dist-packages" files "${arm[0]}" aarch64

mkdir -p "$t/amd64" "$t/arm64"
dpkg-deb -x "${amd[0]}" "$t/amd64"
dpkg-deb -x "${arm[0]}" "$t/arm64"
amd_import() {
  (cd "$t" && PYTHONPATH="$t/amd64/usr/lib/python3/dist-packages" PYTHONDONTWRITEBYTECODE=1 \
    "$python" -c "
import doctest, veltrane
assert veltrane.__file__.startswith('$t/amd64/'), veltrane.__file__
failed, attempted = doctest.testmod(veltrane, optionflags=doctest.NORMALIZE_WHITESPACE)
assert attempted > 10 and failed == 0, (failed, attempted)
print(veltrane.convert(['255', '0.1'], to_base=16, threads=2))
")
}
check "amd64: imports from the unpacked root, its help examples pass" amd_import

sysroot=$repo/build/python-arm64-sysroot
"$repo/scripts/python-arm64-sysroot.sh" "$sysroot" >/dev/null
arm_smoke() {
  local out
  out=$(cd "$t" && qemu-aarch64-static -L "$sysroot" \
    -E LD_LIBRARY_PATH=/usr/lib:/usr/lib/aarch64-linux-gnu:/lib/aarch64-linux-gnu \
    -E PYTHONPATH="$t/arm64/usr/lib/python3/dist-packages" -E PYTHONDONTWRITEBYTECODE=1 \
    "$sysroot/usr/bin/python3.11" -c "
import platform, veltrane
assert platform.machine() == 'aarch64'
print(veltrane.convert(['255', 'ff.8@16', '1e4930'], 10, 10, threads=2))
print(veltrane.explain('0.1', 10, 10)['round_trip'])
try:
    veltrane.convert('12G')
except veltrane.NumeralError as e:
    print(e.rule, e.column)
")
  echo "$out"
  [ "$out" = "['255', '255.5', '+INF']
0.1
digit_too_large 3" ]
}
check "arm64: imports and converts under qemu" arm_smoke

check "wheel: installs offline into a venv and converts" \
  bash "$repo/tests/python/wheel_test.sh" "$python" --wheel "$(realpath "${wheels[0]}")"

check_summary "Python packages"
