#!/usr/bin/env bash
# Checks the Windows packages: the ZIP's contents and its library sdk folder
# (veltrane.dll exports the header's functions and imports only system DLLs;
# the README's examples built with MinGW against it run under Wine), and the
# NSIS installer run
# silently under Wine in a temporary prefix, into Program Files and into a
# folder given with /D=: both programs installed, the Start-menu shortcut and
# the uninstaller; veltrane-cli.exe converts; veltrane.exe passes the dialog's
# end-to-end test; the uninstaller removes it all.
#   check_windows.sh PACKAGES_DIR DIALOG_PROBE.exe
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$here/../.." && pwd)
# shellcheck source=tests/packaging/testing.sh
source "$here/testing.sh"
packages=$1
probe_exe=$2
objdump=x86_64-w64-mingw32-objdump
windres=x86_64-w64-mingw32-windres

shopt -s nullglob
zips=("$packages"/*win64*.zip)
installers=("$packages"/*win64*.exe)
if [ ${#zips[@]} != 1 ] || [ ${#installers[@]} != 1 ]; then
  echo "expected one *win64*.zip and one *win64*.exe in $packages"
  ls -l "$packages" || true
  exit 1
fi
zip=${zips[0]}
installer=${installers[0]}

t=$(mktemp -d)
export WINEPREFIX=$t/prefix WINEDEBUG=-all
# No offer to install Mono or Gecko, and no menu entries written into this
# machine's desktop for the shortcuts the installer makes.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=$(wine_loader)
wineserver=$(wine_server)
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$t"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# --- the ZIP -------------------------------------------------------------
mkdir -p "$t/zip"
zip_contents() {
  python3 - "$zip" "$t/zip" "$repo" <<'PY'
import os, sys, zipfile
path, out, repo = sys.argv[1:]
top = os.path.basename(path)[:-len(".zip")]
with zipfile.ZipFile(path) as z:
    names = sorted(n for n in z.namelist() if not n.endswith("/"))
    expected = sorted(f"{top}/{n}" for n in
                      ("veltrane.exe", "veltrane-cli.exe", "README.txt", "LICENSE.txt",
                       "sdk/bin/veltrane.dll", "sdk/lib/libveltrane.dll.a",
                       "sdk/include/veltrane.h", "sdk/include/veltrane.hpp",
                       "sdk/lib/cmake/Veltrane/VeltraneConfig.cmake",
                       "sdk/lib/cmake/Veltrane/VeltraneConfigVersion.cmake",
                       "sdk/lib/cmake/Veltrane/VeltraneTargets.cmake",
                       "sdk/lib/cmake/Veltrane/VeltraneTargets-release.cmake"))
    assert names == expected, f"{names} != {expected}"
    z.extractall(out)
# The texts are the repository's, with Windows line ends.
for text, source in (("README.txt", "README.md"), ("LICENSE.txt", "LICENSE")):
    data = open(os.path.join(out, top, text), "rb").read()
    assert b"\n" not in data.replace(b"\r\n", b""), text + ": a line end without CR"
    assert data.replace(b"\r\n", b"\n") == open(os.path.join(repo, source), "rb").read(), \
        text + " differs from " + source
PY
}
check "the ZIP holds both programs, README.txt, LICENSE.txt and the sdk folder" zip_contents
zip_dir=$(find "$t/zip" -mindepth 1 -maxdepth 1 -type d)
# (grep reads a variable, not a pipe: grep -q ending early would fail the
# pipe's writer.)
pe_stripped() {
  ! grep -q '\.debug_' <<<"$("$objdump" -h "$1")" &&
    grep -q 'no symbols' <<<"$(x86_64-w64-mingw32-nm "$1" 2>&1)"
}
for program in veltrane veltrane-cli; do
  check "ZIP: $program.exe is stripped" pe_stripped "$zip_dir/$program.exe"
done
check "ZIP: veltrane.exe has one resource, GUI, system DLLs only" \
  bash "$repo/tests/dialog/check_executable.sh" "$zip_dir/veltrane.exe" "$objdump" "$windres"
# The Debian package carries the same dialog, from the same release build.
same_dialog_in_deb() {
  local debs=("$packages"/veltrane_*_amd64.deb)
  [ ${#debs[@]} = 1 ] || return 0 # the Debian packages are checked on their own
  dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO ./usr/lib/veltrane/veltrane.exe >"$t/deb.exe"
  cmp "$t/deb.exe" "$zip_dir/veltrane.exe"
}
check "ZIP: veltrane.exe is the one in the Debian package" same_dialog_in_deb
console_program() { grep -q '^Subsystem[[:space:]]*00000003' <<<"$("$objdump" -p "$1")"; }
check "ZIP: veltrane-cli.exe is a console program" console_program "$zip_dir/veltrane-cli.exe"

bash "$repo/scripts/wine-prefix.sh" ensure "$WINEPREFIX"

# --- the library: the ZIP's sdk folder --------------------------------------
sdk=$zip_dir/sdk
dll=$sdk/bin/veltrane.dll
check "sdk: the headers are the repository's" \
  cmp "$sdk/include/veltrane.h" "$repo/library/include/veltrane.h"
check "sdk: veltrane.dll exports exactly the functions of veltrane.h" \
  bash "$here/check_symbols.sh" "$dll" "$sdk/include/veltrane.h" x86_64-w64-mingw32-gcc-posix "$objdump"
dll_imports() {
  local imports
  imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$("$objdump" -p "$dll")" |
    tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
  [ "$imports" = "KERNEL32.DLL MSVCRT.DLL " ] || {
    echo "imports: $imports"
    return 1
  }
}
check "sdk: veltrane.dll imports only system DLLs (its C++ runtime is linked in)" dll_imports
check "sdk: veltrane.dll is stripped" pe_stripped "$dll"
# The README's examples, built as its Windows instructions say, next to a
# copy of veltrane.dll, print what they print on Linux.
mkdir -p "$t/examples"
cp "$dll" "$t/examples/"
# sdk_example LANGUAGE COMPILER OPTION... -- LINK...
sdk_example() {
  local language=$1 compiler=$2 options=()
  shift 2
  while [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  shift
  "$compiler" "${options[@]}" -Wall -Wextra -Werror -I"$sdk/include" \
    -o "$t/examples/convert_$language.exe" "$repo/examples/convert.$language" "$@" &&
    grep -qi 'DLL Name: veltrane.dll' <<<"$("$objdump" -p "$t/examples/convert_$language.exe")" &&
    "$wine" "$t/examples/convert_$language.exe" | tr -d '\r' >"$t/examples/convert_$language.out" &&
    diff -u "$repo/tests/consumer/convert_$language.expected" "$t/examples/convert_$language.out"
}
check "sdk: convert.c, built with MinGW against it, runs under Wine" \
  sdk_example c x86_64-w64-mingw32-gcc-posix -std=c99 -- -L"$sdk/lib" -lveltrane
# -static links the C++ runtime in; -l would then look for a static
# library only, so the import library is named by its path.
check "sdk: convert.cpp, built with MinGW against it, runs under Wine" \
  sdk_example cpp x86_64-w64-mingw32-g++-posix -std=c++17 -static -- "$sdk/lib/libveltrane.dll.a"

# --- the installer -------------------------------------------------------
drive_c=$WINEPREFIX/drive_c
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Veltrane"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane'

# installed DIR: the installer's files are in DIR, the shortcuts in the Start
# menu, the uninstaller registered.
installed() {
  local dir=$1 missing='' file
  for file in veltrane.exe veltrane-cli.exe README.txt LICENSE.txt Uninstall.exe \
    sdk/bin/veltrane.dll sdk/lib/libveltrane.dll.a sdk/include/veltrane.h; do
    [ -f "$dir/$file" ] || missing+=" $file"
  done
  for file in Veltrane.lnk Uninstall.lnk; do
    [ -f "$menu/$file" ] || missing+=" Start menu: $file"
  done
  [ -z "$missing" ] || {
    echo "missing:$missing"
    return 1
  }
  grep -q 'Uninstall.exe' <<<"$("$wine" reg query "$uninstall_key" /v UninstallString)"
}
# removed DIR: nothing of it is left.
removed() {
  local left=''
  [ ! -e "$1" ] || left+=" $1: $(ls "$1")"
  [ ! -e "$menu" ] || left+=" the Start-menu folder"
  ! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 || left+=" the uninstall registration"
  [ -z "$left" ] || {
    echo "left:$left"
    return 1
  }
}
# The uninstaller copies itself away and returns at once: the removal is
# done when the prefix's last process has ended.
uninstall() {
  "$wine" "$1/Uninstall.exe" /S && "$wineserver" -w
}
cli_converts() {
  local cli=$1/veltrane-cli.exe
  # shellcheck disable=SC2317 # run by expect_output
  from_stdin() { printf 'ff.8@16\r\n-1e4930\r\n' | "$wine" "$cli" --to 10; }
  expect_output FF "$wine" "$cli" 255 &&
    expect_output -0.1 "$wine" "$cli" --to 2 -- -0.5 &&
    expect_output 3.77_+2 "$wine" "$cli" -t 8 -s 255 &&
    expect_output $'255.5\n-INF' from_stdin
}

default_dir="$drive_c/Program Files/Veltrane"
check "silent install (/S) into Program Files" "$wine" "$installer" /S
check "Program Files\\Veltrane: both programs, texts, shortcuts, uninstaller" installed "$default_dir"
check "the installed veltrane-cli.exe converts" cli_converts "$default_dir"
check "its uninstaller, silent, ends" uninstall "$default_dir"
check "the uninstaller removed everything" removed "$default_dir"

# /D= must come last and takes the folder unquoted.
chosen_dir=$drive_c/Apps/Veltrane
check "silent install into the folder given with /D=" "$wine" "$installer" /S '/D=C:\Apps\Veltrane'
check "/D= folder: both programs, texts, shortcuts, uninstaller" installed "$chosen_dir"
check "/D= folder: nothing in Program Files" test ! -e "$default_dir"
check "the installed veltrane.exe is the built one" cmp "$zip_dir/veltrane.exe" "$chosen_dir/veltrane.exe"
"$wineserver" -w
check "the installed veltrane.exe passes the dialog's end-to-end test" \
  bash "$repo/tests/dialog/end_to_end.sh" "$chosen_dir/veltrane.exe" "$probe_exe"
check "its uninstaller, silent, ends" uninstall "$chosen_dir"
check "the uninstaller removed everything" removed "$chosen_dir"

check_summary "Windows packages"
