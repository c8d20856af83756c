#!/usr/bin/env bash
# Checks the arm64 veltrane-cli package as a user gets it, on the build
# machine: lintian, its control fields and C library dependency, the same
# files as the amd64 package, and its program, unpacked with dpkg-deb -x and
# run under qemu: it converts, passes the program tests, and writes the same
# texts as REFERENCE (the x86-64 program on the same software arithmetic) on
# random numerals from the whole grammar. And the arm64 libveltrane1 and
# libveltrane-dev: lintian, the amd64 packages' fields and files (in the
# arm64 library folder), the exported symbols, and the README's examples,
# cross-built against them and run under qemu.
#   check_deb_arm64.sh PACKAGES_DIR REFERENCE_CLI [COUNT]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
packages=$1
reference=$2
count=${3:-6000}
qemu=(qemu-aarch64-static -L /usr/aarch64-linux-gnu)

shopt -s nullglob
arm_debs=("$packages"/veltrane-cli_*_arm64.deb)
amd_debs=("$packages"/veltrane-cli_*_amd64.deb)
if [ ${#arm_debs[@]} != 1 ] || [ ${#amd_debs[@]} != 1 ]; then
  echo "expected one arm64 and one amd64 veltrane-cli package in $packages"
  ls -l "$packages" || true
  exit 1
fi
deb=${arm_debs[0]}
amd_deb=${amd_debs[0]}
lib_debs=("$packages"/libveltrane1_*_arm64.deb "$packages"/libveltrane-dev_*_arm64.deb)
amd_lib_debs=("$packages"/libveltrane1_*_amd64.deb "$packages"/libveltrane-dev_*_amd64.deb)
if [ ${#lib_debs[@]} != 2 ] || [ ${#amd_lib_debs[@]} != 2 ]; then
  echo "expected libveltrane1 and libveltrane-dev for arm64 and amd64 in $packages"
  ls -l "$packages" || true
  exit 1
fi
version=$(dpkg-deb -f "$deb" Version)
version=${version%-*}

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
trap 'exit 143' TERM INT

# --- lintian and the control fields -------------------------------------
lintian_errors() {
  # (Expected warnings: see check_debs.sh.)
  lintian --fail-on error --tag-display-limit 0 "$deb" "${lib_debs[@]}" 2>&1 |
    { grep -v "running with root privileges" || true; } | tee "$t/lintian"
}
check "lintian: no error" lintian_errors
sed -n 's/^/     lintian: /p' "$t/lintian"

check "Architecture: arm64" expect_output arm64 dpkg-deb -f "$deb" Architecture
# The fields that do not depend on the architecture are the amd64 package's.
same_fields() {
  local field
  for field in Package Version Section Priority Maintainer Description; do
    [ "$(dpkg-deb -f "$deb" "$field")" = "$(dpkg-deb -f "$amd_deb" "$field")" ] || {
      echo "$field differs from the amd64 package's"
      return 1
    }
  done
}
check "the other control fields are the amd64 package's" same_fields

root=$t/root
amd_root=$t/amd64
mkdir -p "$root" "$amd_root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -x "$amd_deb" "$amd_root"
cli=$root/usr/bin/veltrane-cli

# The dependency on the C library comes from the program's symbol versions
# (cmake/libc_depends.cmake), not from dpkg-shlibdeps. The rule must give
# what dpkg-shlibdeps gave for the amd64 program, and for the arm64 one the
# newest GLIBC_ version that readelf lists.
depends_rule() {
  cmake -DOBJDUMP="$1" -DPROGRAM="$2" -P "$repo/cmake/libc_depends.cmake" 2>&1
}
check "the dependency rule gives dpkg-shlibdeps's Depends of the amd64 package" \
  expect_output "$(dpkg-deb -f "$amd_deb" Depends)" depends_rule objdump "$amd_root/usr/bin/veltrane-cli"
newest_glibc() {
  readelf -V --wide "$1" | grep -oE 'GLIBC_[0-9]+(\.[0-9]+)+' | sed 's/GLIBC_//' | sort -V | tail -1
}
check "Depends: libc6 (>= the newest GLIBC_ version veltrane-cli needs), nothing else" \
  expect_output "libc6 (>= $(newest_glibc "$cli"))" dpkg-deb -f "$deb" Depends
only_libc6_libraries() {
  local needed
  needed=$(readelf -d --wide "$cli" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
  [[ $needed =~ ^(libc\.so\.6\ )?(libm\.so\.6\ )?$ && $needed == *libc.so.6* ]] || {
    echo "needs: $needed"
    return 1
  }
}
check "veltrane-cli needs only libc.so.6 (and libm.so.6): the C++ runtime is linked in" \
  only_libc6_libraries
aarch64_program() {
  local header
  header=$(readelf -h -l --wide "$cli")
  grep -q "Machine: *AArch64" <<<"$header" &&
    grep -q "interpreter: /lib/ld-linux-aarch64.so.1" <<<"$header"
}
check "veltrane-cli is an aarch64 program for the system's loader" aarch64_program
stripped() { ! grep -qE '\.(symtab|debug_)' <<<"$(readelf -S "$1")"; }
check "veltrane-cli is stripped" stripped "$cli"

# --- the files -------------------------------------------------------------
# The same paths and modes as the amd64 package, and the same bytes for all
# but the program.
listing() { dpkg-deb -c "$1" | awk '{print $1, $NF}' | sort -k2; }
check "the same files and modes as the amd64 package" \
  diff <(listing "$amd_deb") <(listing "$deb")
same_documents() {
  local path
  while read -r path; do
    [ "$path" = usr/bin/veltrane-cli ] || cmp "$root/$path" "$amd_root/$path" || return 1
  done < <(cd "$root" && find . -type f | sed 's|^\./||')
}
check "the man page, copyright and changelog are the amd64 package's" same_documents
man_renders() {
  grep -q "^NAME" <<<"$(LC_ALL=C MANWIDTH=80 man -l "$root/usr/share/man/man1/veltrane-cli.1.gz" 2>/dev/null)"
}
check "the man page is there and renders" man_renders

# --- the program under qemu --------------------------------------------------
cli_converts() {
  local args expected failed=0
  while IFS='|' read -r args expected; do
    # shellcheck disable=SC2086 # the arguments are words
    expect_output "$expected" "${qemu[@]}" "$cli" $args || failed=1
  done <<'TABLE'
255|FF
--to 2 -- -0.5|-0.1
--from 16 --to 10 ff.8|255.5
--from 16 --to 10 1_2|256
-t 8 -s 255|3.77_+2
-t 10 0.1|0.1
-t 10 1e4930|+INF
--json -t 10 0.1|{"numeral": "0.1", "from": 10, "to": 10, "text": "0.1", "notation": "standard", "outcome": "converted", "stored": "3FFBCCCCCCCCCCCCCCCD", "class": "normal", "exact": "1.000000000000000000013552527156068805425093160010874271392822265625e-1", "exact_complete": true, "ulps": -0.2, "reads_back": true, "round_trip": "0.1"}
-r 0.1|0.1999999999999999A
TABLE
  return $failed
}
check "veltrane-cli converts" cli_converts
check "veltrane-cli.1 names every long option of veltrane-cli --help" \
  bash "$here/man_options.sh" "$cli" "$root/usr/share/man/man1/veltrane-cli.1.gz" "${qemu[@]}"
runner=()
for word in "${qemu[@]}"; do runner+=("--runner=$word"); done
# Under qemu a tenth of the native run's lines: the emulator's memory is not
# the program's, so the million lines for the memory bound are not needed.
check "veltrane-cli: the program tests pass on the packaged binary" \
  python3 "$repo/tests/cli/cli_program_test.py" --version "$version" "${runner[@]}" \
  --lines 100000 "$cli"
compare() {
  local status=0
  python3 "$here/../cli/compare_cli.py" "${runner[@]}" --count "$count" "$cli" "$reference" \
    >"$t/compare" 2>&1 || status=$?
  [ "$status" = 0 ] || cat "$t/compare"
  return "$status"
}
check "the same output as $reference on $count random numerals" compare
[ "$checks_failed" != 0 ] || sed -n '1s/^/     /p' "$t/compare"

# --- the library ----------------------------------------------------------------
lib_root=$t/library
mkdir -p "$lib_root"
same_library_fields() {
  local arm=$1 amd=$2 field
  for field in Package Version Section Priority Maintainer Description; do
    [ "$(dpkg-deb -f "$arm" "$field")" = "$(dpkg-deb -f "$amd" "$field")" ] || {
      echo "$field differs from the amd64 package's"
      return 1
    }
  done
  [ "$(dpkg-deb -f "$arm" Architecture)" = arm64 ]
}
control_file() { dpkg-deb --ctrl-tarfile "$1" | tar -xO "./$2"; }
for i in 0 1; do
  arm=${lib_debs[$i]}
  amd=${amd_lib_debs[$i]}
  name=$(dpkg-deb -f "$arm" Package)
  check "$name: arm64, the other fields the amd64 package's" same_library_fields "$arm" "$amd"
  # The same files, the library folder aside.
  check "$name: the amd64 package's files, in lib/aarch64-linux-gnu" \
    diff <(listing "$amd" | sed 's|/x86_64-linux-gnu/|/aarch64-linux-gnu/|') <(listing "$arm")
  dpkg-deb -x "$arm" "$lib_root"
done
lib_deb=${lib_debs[0]}
check "libveltrane1: shlibs and trigger as in the amd64 package" \
  cmp <(control_file "$lib_deb" shlibs; control_file "$lib_deb" triggers) \
  <(control_file "${amd_lib_debs[0]}" shlibs; control_file "${amd_lib_debs[0]}" triggers)
library=$lib_root/usr/lib/aarch64-linux-gnu/libveltrane.so.1
check "libveltrane1: Depends: libc6 (>= the newest GLIBC_ version it needs), nothing else" \
  expect_output "libc6 (>= $(newest_glibc "$library"))" dpkg-deb -f "$lib_deb" Depends
aarch64_library() {
  local header
  header=$(readelf -h -d --wide "$library")
  grep -q "Machine: *AArch64" <<<"$header" &&
    grep -q 'Library soname: \[libveltrane.so.1\]' <<<"$header"
}
check "libveltrane.so.1 is an aarch64 library named libveltrane.so.1" aarch64_library
check "libveltrane.so.1 is stripped" stripped "$library"
check "libveltrane.so.1 exports exactly the functions of veltrane.h" \
  bash "$here/check_symbols.sh" "$library" "$lib_root/usr/include/veltrane.h" \
  aarch64-linux-gnu-gcc aarch64-linux-gnu-nm
check "the examples, cross-built against the unpacked libveltrane-dev, run under qemu" \
  env CC=aarch64-linux-gnu-gcc CXX=aarch64-linux-gnu-g++ SYSTEM_PROCESSOR=aarch64 \
  RUNNER="${qemu[*]}" bash "$repo/tests/consumer/check_consumer.sh" --sysroot "$lib_root" \
  "$lib_root/usr"

check_summary "arm64 packages"
