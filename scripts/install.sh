#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that the builds and tests need,
# and only those that are missing: quick on a machine that has them all.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix
  wine64 xvfb xdotool x11-apps imagemagick
  clang libclang-rt-14-dev
  libmpfr-dev hyperfine python3
)

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
