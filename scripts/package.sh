#!/usr/bin/env bash
# Builds the release configurations (stripped, no tests) and writes every
# package into build/packages/:
#   veltrane-cli_<version>-1_amd64.deb   the command-line converter
#   veltrane-cli_<version>-1_arm64.deb   the same for aarch64 (Raspberry Pi, ARM servers)
#   veltrane_<version>-1_amd64.deb       the dialog and its Linux launcher
#   libveltrane1_<version>-1_amd64.deb   the shared library libveltrane.so.1
#   libveltrane1_<version>-1_arm64.deb   the same for aarch64
#   libveltrane-dev_<version>-1_amd64.deb  its headers, static library, libveltrane.so,
#                                        CMake package and pkg-config files
#   libveltrane-dev_<version>-1_arm64.deb  the same for aarch64
#   veltrane-<version>-win64.zip         both Windows programs, README, LICENSE, and
#                                        sdk/: veltrane.dll, its import library, headers
#   veltrane-<version>-win64.exe         the same as a Windows installer
#   veltrane-<version>-web.zip           the browser page, LICENSE
#   veltrane-<version>.tgz               the npm package veltrane (npm pack)
#   python3-veltrane_<version>-1_amd64.deb  the Python package, for Debian's Python 3
#   python3-veltrane_<version>-1_arm64.deb  the same for aarch64
#   veltrane-<version>-cp311-cp311-linux_x86_64.whl  the Python package as a wheel
# Installs what is missing first (scripts/install.sh).
#   bash scripts/package.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ $# -gt 0 ]; then
  sed -n '2,21s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi

scripts/install.sh
# The arm64 Python module is built against Debian's arm64 Python headers,
# unpacked into a scratch folder (never installed).
scripts/python-arm64-sysroot.sh build/python-arm64-sysroot

# The Windows build first: the Linux dialog package takes its veltrane.exe.
# The web preset builds nothing but the module and the page (its tests run
# in Node), so it makes the web ZIP too.
for preset in release-windows release-native release-aarch64 web; do
  echo "== $preset: build =="
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2
done

out=build/packages
rm -rf "$out"
mkdir -p "$out"
for preset in release-windows release-native release-aarch64 web; do
  echo "== $preset: packages =="
  (cd "build/$preset" && cpack -B "../packages" >/dev/null)
done
# CPack's own work folder.
rm -rf "$out/_CPack_Packages"
# The npm package, from the folder the web build wrote it into.
npm pack --silent --pack-destination "$out" "$PWD/build/web/web/package" >/dev/null
# The wheel of the release build's Python package.
cmake --build --preset release-native --target python_wheel >/dev/null
cp build/release-native/python/dist/veltrane-*.whl "$out/"

echo "Packages in $out:"
for package in "$out"/*; do
  printf '  %9d bytes  %s\n' "$(stat -c %s "$package")" "${package##*/}"
done
