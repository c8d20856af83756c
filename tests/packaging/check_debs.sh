#!/usr/bin/env bash
# Checks the four Debian packages as a user gets them: lintian, their control
# fields, and their files unpacked with dpkg-deb -x into a temporary root: a
# working veltrane-cli, man pages that man renders without a warning, a valid
# desktop entry and icon, the copyright file, the launcher, which opens the
# dialog under Wine in a prefix it makes itself, and the library: its files,
# its exported symbols, and the README's examples built against the unpacked
# libveltrane-dev and libveltrane1 (tests/consumer/check_consumer.sh).
#   check_debs.sh PACKAGES_DIR DIALOG_PROBE.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
# shellcheck source=tests/dialog/wine_display.sh
source "$repo/tests/dialog/wine_display.sh"
packages=$1
probe_exe=$2

shopt -s nullglob
cli_debs=("$packages"/veltrane-cli_*_amd64.deb)
dialog_debs=("$packages"/veltrane_*_amd64.deb)
lib_debs=("$packages"/libveltrane1_*_amd64.deb)
dev_debs=("$packages"/libveltrane-dev_*_amd64.deb)
if [ ${#cli_debs[@]} != 1 ] || [ ${#dialog_debs[@]} != 1 ] || [ ${#lib_debs[@]} != 1 ] ||
  [ ${#dev_debs[@]} != 1 ]; then
  echo "expected one veltrane-cli, veltrane, libveltrane1 and libveltrane-dev package in $packages"
  ls -l "$packages" || true
  exit 1
fi
cli_deb=${cli_debs[0]}
dialog_deb=${dialog_debs[0]}
lib_deb=${lib_debs[0]}
dev_deb=${dev_debs[0]}
all_debs=("$cli_deb" "$dialog_deb" "$lib_deb" "$dev_deb")
version=$(dpkg-deb -f "$cli_deb" Version)
version=${version%-*}

t=$(mktemp -d)
launcher_pid=
cleanup() {
  if [ -n "$launcher_pid" ] && kill -0 "$launcher_pid" 2>/dev/null; then
    kill "$launcher_pid" 2>/dev/null || true
  fi
  if [ -d "$t/data/veltrane/wineprefix" ]; then
    WINEPREFIX=$t/data/veltrane/wineprefix "$(wine_server)" -k 2>/dev/null || true
  fi
  xvfb_stop
  rm -rf "$t"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# --- lintian and the control fields -------------------------------------
lintian_errors() {
  # Errors fail; warnings and notes are shown for the record. Expected
  # warnings: initial-upload-closes-no-bugs (no bug tracker to close a bug
  # in), and libveltrane1's maintscript-calls-ldconfig (cmake/packaging.cmake).
  lintian --fail-on error --tag-display-limit 0 "${all_debs[@]}" 2>&1 |
    { grep -v "running with root privileges" || true; } | tee "$t/lintian"
}
check "lintian: no error" lintian_errors
sed -n 's/^/     lintian: /p' "$t/lintian"

no_wine_in_relations() {
  local field value
  for field in Pre-Depends Depends Recommends Suggests; do
    value=$(dpkg-deb -f "$cli_deb" "$field")
    if grep -qi wine <<<"$value"; then
      echo "veltrane-cli $field: $value"
      return 1
    fi
  done
}
check "veltrane-cli: no Wine in its relations" no_wine_in_relations
check "veltrane-cli: Depends on the C runtime (found from the binary)" \
  grep -q "libc6 (>=" <<<"$(dpkg-deb -f "$cli_deb" Depends)"
check "veltrane: Depends wine64, fonts-wine" expect_output "wine64, fonts-wine" dpkg-deb -f "$dialog_deb" Depends
check "veltrane: Recommends veltrane-cli" expect_output "veltrane-cli" dpkg-deb -f "$dialog_deb" Recommends
control_fields() {
  is_math() { test "$(dpkg-deb -f "$1" Section)" = math; }
  is_math "$1" && test -n "$(dpkg-deb -f "$1" Maintainer)" &&
    test "$(dpkg-deb -f "$1" Description | wc -l)" -gt 2 &&
    test "$(dpkg-deb -f "$1" Architecture)" = amd64
}
for deb in "$cli_deb" "$dialog_deb"; do
  check "$(dpkg-deb -f "$deb" Package): section, maintainer, description, architecture" \
    control_fields "$deb"
done

# The library's packages, as Debian names and relates them.
library_fields() {
  local deb=$1 section=$2
  test "$(dpkg-deb -f "$deb" Section)" = "$section" && test -n "$(dpkg-deb -f "$deb" Maintainer)" &&
    test "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 &&
    test "$(dpkg-deb -f "$deb" Architecture)" = amd64
}
check "libveltrane1: section libs, maintainer, description, architecture" \
  library_fields "$lib_deb" libs
check "libveltrane-dev: section libdevel, maintainer, description, architecture" \
  library_fields "$dev_deb" libdevel
check "libveltrane1: Depends on the C library alone (its C++ runtime is linked in)" \
  grep -qx "libc6 (>= [0-9.]*)" <<<"$(dpkg-deb -f "$lib_deb" Depends)"
check "libveltrane-dev: Depends on libveltrane1 of its very version" \
  expect_output "libveltrane1 (= $(dpkg-deb -f "$lib_deb" Version))" dpkg-deb -f "$dev_deb" Depends
control_file() { dpkg-deb --ctrl-tarfile "$1" | tar -xO "./$2"; }
check "libveltrane1: shlibs names the package for libveltrane.so.1" \
  expect_output "libveltrane 1 libveltrane1 (>= $(dpkg-deb -f "$lib_deb" Version))" \
  control_file "$lib_deb" shlibs
check "libveltrane1: ldconfig runs through a trigger" \
  expect_output "activate-noawait ldconfig" control_file "$lib_deb" triggers

# Each package's files, exactly (directories aside).
files_of() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | LC_ALL=C sort; }
multiarch=usr/lib/x86_64-linux-gnu
# has_files DEB: DEB's files are those on standard input, in any order.
has_files() { diff <(files_of "$1") <(LC_ALL=C sort); }
check "libveltrane1 holds the shared library alone" has_files "$lib_deb" <<EOF
$multiarch/libveltrane.so.1
$multiarch/libveltrane.so.1.0.0
usr/share/doc/libveltrane1/changelog.Debian.gz
usr/share/doc/libveltrane1/copyright
EOF
check "libveltrane-dev holds the headers, the link, the static library, CMake and pkg-config files" \
  has_files "$dev_deb" <<EOF
$multiarch/cmake/Veltrane/VeltraneConfig.cmake
$multiarch/cmake/Veltrane/VeltraneConfigVersion.cmake
$multiarch/cmake/Veltrane/VeltraneTargets-release.cmake
$multiarch/cmake/Veltrane/VeltraneTargets.cmake
$multiarch/libveltrane.a
$multiarch/libveltrane.so
$multiarch/pkgconfig/veltrane-static.pc
$multiarch/pkgconfig/veltrane.pc
usr/include/veltrane.h
usr/include/veltrane.hpp
usr/share/doc/libveltrane-dev/changelog.Debian.gz
usr/share/doc/libveltrane-dev/copyright
EOF

# The packages install together: no file belongs to two of them.
no_shared_file() {
  local shared
  shared=$(for deb in "${all_debs[@]}"; do files_of "$deb"; done | sort | uniq -d)
  [ -z "$shared" ] || {
    echo "$shared"
    return 1
  }
}
check "no file in two packages" no_shared_file

# --- the unpacked files --------------------------------------------------
root=$t/root
mkdir -p "$root"
for deb in "${all_debs[@]}"; do
  dpkg-deb -x "$deb" "$root"
done

expected_files() {
  local missing='' path
  for path in usr/bin/veltrane-cli usr/bin/veltrane usr/lib/veltrane/veltrane.exe \
    usr/share/man/man1/veltrane-cli.1.gz usr/share/man/man1/veltrane.1.gz \
    usr/share/applications/veltrane.desktop usr/share/icons/hicolor/scalable/apps/veltrane.svg \
    usr/share/doc/veltrane-cli/copyright usr/share/doc/veltrane/copyright \
    usr/share/doc/veltrane-cli/changelog.Debian.gz usr/share/doc/veltrane/changelog.Debian.gz; do
    [ -f "$root/$path" ] || missing+=" $path"
  done
  [ -x "$root/usr/bin/veltrane-cli" ] || missing+=" (veltrane-cli executable)"
  [ -x "$root/usr/bin/veltrane" ] || missing+=" (veltrane executable)"
  [ -z "$missing" ] || {
    echo "missing:$missing"
    return 1
  }
}
check "the files are in place" expected_files

cli=$root/usr/bin/veltrane-cli
# (grep reads a variable, not a pipe: grep -q ending early would fail the
# pipe's writer.)
stripped() { ! grep -qE '\.(symtab|debug_)' <<<"$(readelf -S "$1")"; }
check "veltrane-cli is stripped" stripped "$cli"
# Arguments | expected output, one conversion each.
cli_converts() {
  local args expected failed=0
  while IFS='|' read -r args expected; do
    # shellcheck disable=SC2086 # the arguments are words
    expect_output "$expected" "$cli" $args || failed=1
  done <<'TABLE'
255|FF
--to 2 -- -0.5|-0.1
--from 16 --to 10 ff.8|255.5
--from 16 --to 10 1_2|256
-t 8 -s 255|3.77_+2
-t 10 1e4930|+INF
TABLE
  return $failed
}
check "veltrane-cli converts" cli_converts
check "veltrane-cli: the program tests pass on the packaged binary" \
  python3 "$repo/tests/cli/cli_program_test.py" --version "$version" "$cli"

# Rendered as lintian renders man pages; any message from man or groff fails.
man_quiet() {
  local messages
  messages=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null)
  [ -z "$messages" ] || {
    echo "$messages"
    return 1
  }
  # And it says something: the NAME line is there.
  grep -q "^NAME" <<<"$(LC_ALL=C MANWIDTH=80 man -l "$1" 2>/dev/null)"
}
for page in veltrane-cli veltrane; do
  check "man page $page.1 renders without warnings" man_quiet "$root/usr/share/man/man1/$page.1.gz"
done
check "veltrane-cli.1 names every long option of veltrane-cli --help" \
  bash "$here/man_options.sh" "$cli" "$root/usr/share/man/man1/veltrane-cli.1.gz"
check "veltrane.1 names every long option of veltrane --help" \
  bash "$here/man_options.sh" "$root/usr/bin/veltrane" "$root/usr/share/man/man1/veltrane.1.gz"
# gzip -9n: no file name, no time stamp, the best-compression flag.
check "the man pages are compressed as Debian wants them" python3 -c '
import sys
for path in sys.argv[1:]:
    header = open(path, "rb").read(10)
    assert header[:3] == b"\x1f\x8b\x08", path + ": not gzip"
    assert not header[3] & 0x08, path + ": holds a file name"
    assert header[4:8] == b"\0\0\0\0", path + ": holds a time stamp"
    assert header[8] == 2, path + ": not compressed with -9"
' "$root"/usr/share/man/man1/*.gz "$root"/usr/share/doc/*/changelog.Debian.gz

desktop=$root/usr/share/applications/veltrane.desktop
check "the desktop entry is valid" desktop-file-validate "$desktop"
desktop_targets() {
  local exec icon
  exec=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -x "$root/usr/bin/$exec" ] || {
    echo "Exec=$exec is not a program of the package"
    return 1
  }
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || {
    echo "Icon=$icon has no scalable icon in hicolor"
    return 1
  }
}
check "the desktop entry starts the launcher and names the icon" desktop_targets
check "the icon is an SVG image" python3 -c '
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "{http://www.w3.org/2000/svg}svg", root.tag
assert root.get("viewBox"), "no viewBox"
' "$root/usr/share/icons/hicolor/scalable/apps/veltrane.svg"

# The copyright file carries LICENSE's notice and text, as DEP-5 writes it.
copyright_from_license() {
  python3 - "$1" "$repo/LICENSE" <<'PY'
import sys
copyright, license_ = (open(p).read() for p in sys.argv[1:])
assert copyright.startswith("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")
holder = next(l for l in license_.splitlines() if l.startswith("Copyright (c) "))[len("Copyright (c) "):]
assert f"\nCopyright: {holder}\n" in copyright, "no Copyright: " + holder
body = copyright.split("\nLicense: Expat\n")[-1]
text = "\n".join("" if l == " ." else l[1:] for l in body.rstrip("\n").split("\n"))
assert text in license_, "the licence text differs from LICENSE"
assert len(text) > 900
PY
}
for name in veltrane-cli veltrane libveltrane1 libveltrane-dev; do
  check "$name: the copyright file is LICENSE in DEP-5 form" \
    copyright_from_license "$root/usr/share/doc/$name/copyright"
done

# --- the library ---------------------------------------------------------
library=$root/$multiarch/libveltrane.so.1
library_links() {
  [ "$(readlink "$root/$multiarch/libveltrane.so")" = libveltrane.so.1 ] &&
    [ "$(readlink "$library")" = libveltrane.so.1.0.0 ] &&
    grep -q 'Library soname: \[libveltrane.so.1\]' <<<"$(readelf -d "$library")"
}
check "libveltrane.so -> libveltrane.so.1 (its SONAME) -> libveltrane.so.1.0.0" library_links
check "libveltrane.so.1 is stripped" stripped "$library"
check "libveltrane.so.1 exports exactly the functions of veltrane.h" \
  bash "$here/check_symbols.sh" "$library" "$root/usr/include/veltrane.h"
check "the packaged headers are the repository's" \
  cmp "$root/usr/include/veltrane.h" "$repo/library/include/veltrane.h"
check "the examples against the unpacked libveltrane-dev (find_package, pkg-config, cc)" \
  bash "$repo/tests/consumer/check_consumer.sh" --sysroot "$root" "$root/usr"

exe=$root/usr/lib/veltrane/veltrane.exe
check "the launcher's veltrane.exe: one resource, GUI, system DLLs only" \
  bash "$repo/tests/dialog/check_executable.sh" "$exe" x86_64-w64-mingw32-objdump x86_64-w64-mingw32-windres
pe_stripped() {
  ! grep -q '\.debug_' <<<"$(x86_64-w64-mingw32-objdump -h "$1")" &&
    grep -q 'no symbols' <<<"$(x86_64-w64-mingw32-nm "$1" 2>&1)"
}
check "the launcher's veltrane.exe is stripped" pe_stripped "$exe"

# The launcher's own logic, with a stand-in Wine.
check "the launcher's logic (launcher_test.sh)" bash "$here/launcher_test.sh" "$root"

# --- the launcher with Wine itself ---------------------------------------
# No wine command on PATH (Debian's wine64 puts none there), a new user's
# empty data folder: the launcher makes the prefix, opens the dialog, says
# nothing, and ends with the dialog's status once the dialog is closed.
wine=$(wine_loader)
mkdir -p "$t/path"
for tool in sh dash bash readlink dirname mkdir flock cat ln; do
  ln -s "$(command -v "$tool")" "$t/path/$tool"
done
xvfb_start
env -i PATH="$t/path" HOME="$t/home" XDG_DATA_HOME="$t/data" DISPLAY="$DISPLAY" \
  "$root/usr/bin/veltrane" >"$t/launcher.out" 2>&1 &
launcher_pid=$!
export WINEPREFIX=$t/data/veltrane/wineprefix WINEDEBUG=-all
probe() { "$wine" "$probe_exe" "$@" | tr -d '\r'; }
# The probe may only start once the launcher has made the prefix.
for ((i = 0; i < 600; i++)); do
  [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/Fonts" ] && break
  kill -0 "$launcher_pid" 2>/dev/null || break
  sleep 0.1
done
check "the launcher made its prefix in XDG_DATA_HOME/veltrane" test -f "$WINEPREFIX/system.reg"
if probe wait >/dev/null; then
  dialog_defaults() {
    local state pair
    state=$(probe state)
    for pair in input= output= inputBase=10 outputBase=16 standard=0 scientific=0 \
      inputBaseCount=35 outputBaseCount=35; do
      grep -qxF -- "$pair" <<<"$state" || {
        echo "expected $pair in: $state"
        return 1
      }
    done
  }
  check "the dialog opened by the launcher shows its defaults" dialog_defaults
  check "closing the dialog ends it with status 0" expect_output "exit=0" probe close
else
  fail "the launcher opened the dialog" "$(cat "$t/launcher.out")"
fi
status=0
wait "$launcher_pid" || status=$?
launcher_pid=
check "the launcher ended with the dialog's status, 0" test "$status" = 0
check "the launcher wrote nothing to the terminal" test ! -s "$t/launcher.out"
if [ -d /usr/share/wine/fonts ]; then
  check "the launcher's prefix has Wine's own fonts" test -e "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf"
fi

check_summary "Debian packages"
