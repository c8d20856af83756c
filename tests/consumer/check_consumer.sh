#!/usr/bin/env bash
# Builds the README's examples (examples/convert.c and convert.cpp) against
# an installed libveltrane as a user does, and runs them:
#   - a CMake project with find_package(Veltrane), linking Veltrane::veltrane
#     and Veltrane::veltrane_static (tests/consumer/CMakeLists.txt), and one
#     in C alone (c_only/);
#   - the compiler with pkg-config's veltrane and veltrane-static;
#   - the compiler alone with -I, -L and -lveltrane.
# Every program must print its expected text (convert_c.expected,
# convert_cpp.expected); those linked with the shared library must load
# libveltrane.so.1 from the installed tree, the others must not need it.
#   check_consumer.sh [--sysroot ROOT] PREFIX
# PREFIX is the installed tree (cmake --install --prefix PREFIX); for an
# unpacked package, whose pkg-config files name /usr, give
# --sysroot ROOT ROOT/usr. For another processor, the environment names the
# compilers (CC, CXX), the processor for CMake (SYSTEM_PROCESSOR) and the
# emulator that runs the programs (RUNNER, words).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$repo/tests/packaging/testing.sh"

sysroot=
if [ "${1:-}" = --sysroot ]; then
  sysroot=$(cd "$2" && pwd)
  shift 2
fi
if [ $# != 1 ]; then
  sed -n '2,15s/^# \{0,1\}//p' "$0" >&2
  exit 2
fi
prefix=$(cd "$1" && pwd)
examples=$repo/examples
cc=${CC:-cc}
cxx=${CXX:-c++}
read -r -a runner <<<"${RUNNER:-}"
cross=()
if [ -n "${SYSTEM_PROCESSOR:-}" ]; then
  cross=(-DCMAKE_SYSTEM_NAME=Linux -DCMAKE_SYSTEM_PROCESSOR="$SYSTEM_PROCESSOR")
fi

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
trap 'exit 143' TERM INT

# The installed library's folder, wherever GNUInstallDirs put it (lib,
# lib/x86_64-linux-gnu).
shared=$(find "$prefix" -name libveltrane.so.1 | head -1)
pc=$(find "$prefix" -name veltrane.pc | head -1)
if [ -z "$shared" ] || [ -z "$pc" ]; then
  echo "no libveltrane.so.1 or veltrane.pc under $prefix"
  exit 1
fi
libdir=$(dirname "$shared")
pcdir=$(dirname "$pc")
echo "     library: $libdir, pkg-config files: $pcdir"

# run PROGRAM...: with the installed library folder first on the search
# path, through the emulator, if any.
run() { LD_LIBRARY_PATH=$libdir "${runner[@]}" "$@"; }
# runs PROGRAM KIND: PROGRAM prints what its example should, and loads
# libveltrane.so.1 from libdir when KIND is shared, not at all when static.
runs() {
  local program=$1 kind=$2 language needed loaded
  language=${program##*/convert_}
  language=${language%%_*}
  needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  if [ "$kind" = shared ]; then
    grep -qx libveltrane.so.1 <<<"$needed" || {
      echo "does not need libveltrane.so.1: $needed"
      return 1
    }
    # What the dynamic loader maps, as ldd shows it (ldd itself cannot
    # look into another processor's program).
    loaded=$(LD_TRACE_LOADED_OBJECTS=1 run "$program" |
      sed -n 's/^[[:space:]]*libveltrane\.so\.1 => \(.*\) (.*/\1/p')
    [ "$(realpath "$loaded")" = "$(realpath "$shared")" ] || {
      echo "loads libveltrane.so.1 from '$loaded', not from $libdir"
      return 1
    }
  elif grep -q libveltrane <<<"$needed"; then
    echo "a static program needs $needed"
    return 1
  fi
  run "$program" >"$program.out" || {
    echo "exit status $?"
    return 1
  }
  diff -u "$here/convert_$language.expected" "$program.out"
}

# passes NAME COMMAND...: check, and the status of COMMAND (the checks of
# what it builds follow only when it built).
passes() {
  local before=$checks_failed
  check "$@"
  [ "$checks_failed" = "$before" ]
}

# --- CMake, find_package --------------------------------------------------
# cmake_build SOURCE BUILD: configures and builds that project against the
# installed tree.
cmake_build() {
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF \
    -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF -DCMAKE_C_COMPILER="$cc" \
    -DCMAKE_CXX_COMPILER="$cxx" "${cross[@]}" >"$2.log" 2>&1 &&
    cmake --build "$2" >>"$2.log" 2>&1 || {
    cat "$2.log"
    return 1
  }
  # The package found is the one under test, not one installed elsewhere.
  grep -qF "from $prefix/" "$2.log" || {
    grep "^-- Veltrane" "$2.log"
    return 1
  }
}
if passes "CMake: find_package(Veltrane) and the examples build" cmake_build "$here" "$t/cmake"; then
  for program in convert_c_shared convert_cpp_shared; do
    check "CMake, Veltrane::veltrane: $program runs" runs "$t/cmake/$program" shared
  done
  for program in convert_c_static convert_cpp_static; do
    check "CMake, Veltrane::veltrane_static: $program runs" runs "$t/cmake/$program" static
  done
fi

if passes "CMake, a project in C alone: convert.c builds" cmake_build "$here/c_only" "$t/cmake_c"; then
  check "CMake in C alone, Veltrane::veltrane: convert_c runs" runs "$t/cmake_c/convert_c_shared" shared
  check "CMake in C alone, Veltrane::veltrane_static: convert_c runs" runs "$t/cmake_c/convert_c_static" static
fi

# --- pkg-config ---------------------------------------------------------------
pkg() {
  # Only the tree under test; its /usr paths moved under the sysroot, and
  # kept even where they are the system's own.
  PKG_CONFIG_LIBDIR=$pcdir PKG_CONFIG_SYSROOT_DIR=$sysroot PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 \
    PKG_CONFIG_ALLOW_SYSTEM_LIBS=1 pkg-config "$@"
}
check "pkg-config: veltrane and veltrane-static at version 1.0.0" \
  expect_output $'1.0.0\n1.0.0' pkg --modversion veltrane veltrane-static
# build OUT PACKAGE: the examples, compiled and linked with PACKAGE's flags.
pkg_build() {
  local out=$1 package=$2 flags
  flags=$(pkg --cflags --libs "$package") || return
  # shellcheck disable=SC2086 # the flags are words
  "$cc" -std=c99 -Wall -Wextra -pedantic -Werror -o "$out/convert_c_$package" \
    "$examples/convert.c" $flags &&
    "$cxx" -std=c++17 -Wall -Wextra -pedantic -Werror -o "$out/convert_cpp_$package" \
      "$examples/convert.cpp" $flags
}
mkdir -p "$t/pkg"
for package in veltrane veltrane-static; do
  kind=shared
  [ "$package" = veltrane ] || kind=static
  if passes "pkg-config $package: the examples build" pkg_build "$t/pkg" "$package"; then
    for language in c cpp; do
      check "pkg-config $package: convert_${language} runs" \
        runs "$t/pkg/convert_${language}_$package" "$kind"
    done
  fi
done

# --- the compiler alone -------------------------------------------------------
plain_build() {
  "$cc" -std=c99 -Wall -Wextra -Werror -I"$prefix/include" -o "$t/plain/convert_c_plain" \
    "$examples/convert.c" -L"$libdir" -lveltrane
}
mkdir -p "$t/plain"
if passes "cc -I -L -lveltrane: convert.c builds" plain_build; then
  check "cc -I -L -lveltrane: convert_c runs" runs "$t/plain/convert_c_plain" shared
fi

check_summary "consumer of the installed libveltrane"
