#!/usr/bin/env bash
# Unpacks Debian's arm64 Python 3.11 into a scratch folder, for the arm64
# build of the Python module and its smoke test under qemu:
#   - headers: libpython3.11-dev (pyconfig.h for aarch64) and pybind11-dev;
#   - an interpreter that runs under qemu-aarch64-static -L DIR:
#     python3.11-minimal, libpython3.11-minimal, libpython3.11-stdlib and
#     the libraries they load, plus the cross toolchain's C and C++ runtime.
# The packages are fetched with apt-get download and unpacked with dpkg-deb
# -x, never installed: an arm64 libc in /lib/aarch64-linux-gnu and in the
# loader cache would break every other program run under qemu -L.
# Quick when DIR is complete already.
#   scripts/python-arm64-sysroot.sh DIR
set -euo pipefail
if [ $# -ne 1 ]; then
  sed -n '2,12s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
mkdir -p "$1"
dir=$(cd "$1" && pwd)
stamp=$dir/.complete
packages=(libpython3.11-dev pybind11-dev python3.11-minimal libpython3.11-minimal
          libpython3.11-stdlib libexpat1 zlib1g libffi8 libbz2-1.0 liblzma5)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "${packages[*]}" ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  # Lets apt see arm64 packages (to download only: nothing :arm64 is installed).
  $sudo dpkg --add-architecture arm64
  $sudo apt-get update -qq
fi
download=$(mktemp -d)
trap 'rm -rf "$download"' EXIT
names=()
for package in "${packages[@]}"; do
  if [ "$package" = pybind11-dev ]; then names+=("$package"); else names+=("$package:arm64"); fi
done
if ! (cd "$download" && apt-get download -qq "${names[@]}" 2>/dev/null); then
  $sudo apt-get update -qq
  (cd "$download" && apt-get download -qq "${names[@]}")
fi
rm -rf "${dir:?}"/usr "$dir"/lib "$dir"/etc
for deb in "$download"/*.deb; do
  dpkg-deb -x "$deb" "$dir"
done
# The cross toolchain's runtime, beside the interpreter's own libraries.
mkdir -p "$dir/usr/lib"
for library in ld-linux-aarch64.so.1 libc.so.6 libm.so.6 libpthread.so.0 libdl.so.2 \
    libutil.so.1 librt.so.1 libgcc_s.so.1 libstdc++.so.6; do
  cp -L "/usr/aarch64-linux-gnu/lib/$library" "$dir/usr/lib/"
done
mkdir -p "$dir/lib"
ln -sf ../usr/lib/ld-linux-aarch64.so.1 "$dir/lib/ld-linux-aarch64.so.1"
echo "${packages[*]}" >"$stamp"
