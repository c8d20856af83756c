#!/usr/bin/env bash
# Checks the built program: an x86-64 Windows GUI executable that imports only
# system DLLs and carries one resource, the UK English dialog 101.
#   check_executable.sh veltrane.exe OBJDUMP WINDRES
set -euo pipefail
exe=$1 objdump=$2 windres=$3
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$exe")
grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a PE32+ x86-64 image"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not the Windows GUI subsystem"

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '[:lower:]' '[:upper:]' | sort -u | tr '\n' ' ')
[ "$imports" = "KERNEL32.DLL MSVCRT.DLL USER32.DLL " ] || fail "imports: $imports"

resources=$("$windres" -i "$exe" -O rc)
types=$(grep -c '/\* Type:' <<<"$resources" || true)
[ "$types" = 1 ] || fail "$types resources, expected the dialog alone"
grep -q 'Type: dialog' <<<"$resources" || fail "no dialog resource"
grep -q '^101 DIALOG ' <<<"$resources" || fail "the dialog is not a classic template named 101"
grep -qx 'LANGUAGE 9, 2' <<<"$resources" || fail "the dialog is not tagged English (United Kingdom)"

echo "imports: $imports"
echo "size: $(stat -c %s "$exe") bytes"
[ "$failures" = 0 ]
