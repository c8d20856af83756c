#!/usr/bin/env bash
# The coverage ignore list against the fuzz binaries built with it: every
# pattern names at least one function defined there (a renamed kernel would
# otherwise slip back under the comparison tracing unnoticed), and no
# function it names calls into SanitizerCoverage (the compiler took the
# list, and no stale object was linked).
#   coverage_ignorelist_test.sh LIST BINARY...
set -euo pipefail
list=$1
shift

# "symbol calls binary" for every function of every binary: its calls into
# the coverage runtime.
calls=$(for binary in "$@"; do
  objdump -d --no-show-raw-insn "$binary" |
    awk -v binary="$(basename "$binary")" '
      /^[0-9a-f]+ <.*>:$/ { name = substr($2, 2, length($2) - 3); count[name] += 0; next }
      /__sanitizer_cov/ && name != "" { count[name]++ }
      /^$/ { name = "" }
      END { for (n in count) print n, count[n], binary }'
done)

failures=0
while IFS= read -r line; do
  [[ $line == fun:* ]] || continue
  pattern=${line#fun:}
  matched=0
  while read -r symbol count binary; do
    # shellcheck disable=SC2053  # the pattern is a glob on purpose
    [[ $symbol == $pattern ]] || continue
    matched=$((matched + 1))
    if [ "$count" -ne 0 ]; then
      echo "$symbol in $binary: $count calls into the coverage runtime"
      failures=$((failures + 1))
    fi
  done <<<"$calls"
  if [ "$matched" -eq 0 ]; then
    echo "fun:$pattern matches no function of the fuzz binaries"
    failures=$((failures + 1))
  fi
done <"$list"

[ "$failures" -eq 0 ] || exit 1
echo "every pattern of $(basename "$list") names functions left uninstrumented"
