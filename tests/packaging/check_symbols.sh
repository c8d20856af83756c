#!/usr/bin/env bash
# The shared library exports exactly the functions that veltrane.h declares:
# no internal function, no symbol of the C++ runtime linked into it, and
# none of the header's missing. Read with nm -D on Linux (libveltrane.so.1),
# from the export table on Windows (veltrane.dll).
#   check_symbols.sh LIBRARY HEADER [CC] [NM_OR_OBJDUMP]
# CC preprocesses the header (default cc); the last tool defaults to nm, or
# objdump for a .dll.
set -euo pipefail
library=$1
header=$2
cc=${3:-cc}

# The header's functions: after the preprocessor, every name veltrane_*
# followed by an opening parenthesis is a function declaration.
declared=$("$cc" -E -P -x c "$header" | grep -oE '\bveltrane_[a-z0-9_]+ *\(' |
  sed 's/ *($//' | sort -u)
[ -n "$declared" ] || {
  echo "no function declared in $header"
  exit 1
}

if [[ $library == *.dll ]]; then
  tool=${4:-objdump}
  # The name pointer table: "[   0] veltrane_class_name" lines.
  exported=$("$tool" -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort -u)
  listing=$exported
else
  tool=${4:-nm}
  listing=$("$tool" -D --defined-only "$library")
  # Functions (T) only: a data, weak or unique symbol would be a leak of its own.
  others=$(awk '$2 != "T"' <<<"$listing")
  [ -z "$others" ] || {
    echo "symbols other than functions exported:"
    echo "$others"
    exit 1
  }
  exported=$(awk '{sub(/@.*/, "", $3); print $3}' <<<"$listing" | sort -u)
fi

if [ "$exported" != "$declared" ]; then
  echo "exported by $library but not declared in the header:"
  comm -13 <(echo "$declared") <(echo "$exported") | sed 's/^/  /'
  echo "declared but not exported:"
  comm -23 <(echo "$declared") <(echo "$exported") | sed 's/^/  /'
  exit 1
fi
echo "$library exports the $(wc -l <<<"$exported") functions of the header:"
echo "$listing" | sed 's/^/  /'
