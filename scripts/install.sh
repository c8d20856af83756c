#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the builds, tests and
# packages need, and only those that are missing: quick on a machine that has
# them all. fonts-wine is only a recommendation of the Wine packages, and
# without it the dialog shows fallback fonts; librsvg2-bin draws the web
# page's app icons from the SVG one. Node.js and npm (the web
# page's tests) come from Debian only where no node is installed: a newer
# one that brings its own npm is kept.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix
  g++-aarch64-linux-gnu qemu-user-static
  wine64 fonts-wine xvfb xdotool imagemagick
  clang libclang-rt-14-dev
  libmpfr-dev hyperfine python3 python3-mpmath
  nsis lintian desktop-file-utils man-db bsdextrautils dpkg-dev file pkgconf
  clang-14 lld-14 wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32
  libclang-rt-14-dev-wasm32 wabt chromium librsvg2-bin
  pybind11-dev python3-pybind11 python3-dev python3-numpy python3-pandas python3-pytest
  python3-hypothesis python3-dask python3-distributed python3-gmpy2 python3-venv
  python3-wheel python3-build python3-setuptools
)
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
