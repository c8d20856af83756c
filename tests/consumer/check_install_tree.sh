#!/usr/bin/env bash
# Installs the library of a build (cmake --install, components runtime and
# development) into a scratch prefix, checks the tree's files, and builds and
# runs the examples against it (check_consumer.sh).
#   check_install_tree.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$1

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
trap 'exit 143' TERM INT
for component in runtime development; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done

# The files, wherever the build's GNUInstallDirs put the library folder.
libdir=$(dirname "$(find "$prefix" -name libveltrane.so.1.0.0)")
libdir=${libdir#"$prefix"/}
expected="include/veltrane.h
include/veltrane.hpp
$libdir/cmake/Veltrane/VeltraneConfig.cmake
$libdir/cmake/Veltrane/VeltraneConfigVersion.cmake
$libdir/cmake/Veltrane/VeltraneTargets.cmake
$libdir/libveltrane.a
$libdir/libveltrane.so
$libdir/libveltrane.so.1
$libdir/libveltrane.so.1.0.0
$libdir/pkgconfig/veltrane-static.pc
$libdir/pkgconfig/veltrane.pc
share/doc/libveltrane-dev/changelog.Debian.gz
share/doc/libveltrane-dev/copyright
share/doc/libveltrane1/changelog.Debian.gz
share/doc/libveltrane1/copyright"
# (VeltraneTargets-<configuration>.cmake too, named after the build type.)
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' |
  grep -v '/VeltraneTargets-[a-z]*\.cmake$' | sort)
if [ "$actual" != "$expected" ]; then
  echo "installed files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
[ "$(readlink "$prefix/$libdir/libveltrane.so")" = libveltrane.so.1 ] &&
  [ "$(readlink "$prefix/$libdir/libveltrane.so.1")" = libveltrane.so.1.0.0 ] || {
  echo "the links are not libveltrane.so -> .so.1 -> .so.1.0.0"
  exit 1
}
echo "ok   the installed tree: the headers, both libraries, the CMake and pkg-config files, the documents"
bash "$here/check_consumer.sh" "$prefix"
