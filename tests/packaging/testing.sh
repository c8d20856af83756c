# shellcheck shell=bash
# Sourced by the package checks: named checks, counted, and a summary.
#   check NAME COMMAND...   runs COMMAND; prints "ok NAME", or "FAIL NAME"
#                           and what COMMAND printed
#   fail NAME MESSAGE       counts a failure found without a command
#   check_summary WHAT      prints "WHAT: N passed, N failed"; false on a failure
#   help_names SCRIPT OPTION...  bash SCRIPT --help names every OPTION
#   status_of SCRIPT ARGS...     prints the exit status of bash SCRIPT ARGS

checks_passed=0
checks_failed=0

check() {
  local name=$1 output check_status=0
  shift
  output=$("$@" 2>&1) || check_status=$?
  if [ "$check_status" = 0 ]; then
    echo "ok   $name"
    checks_passed=$((checks_passed + 1))
  else
    echo "FAIL $name (status $check_status)"
    [ -z "$output" ] || echo "     | ${output//$'\n'/$'\n'     | }"
    checks_failed=$((checks_failed + 1))
  fi
}

fail() {
  echo "FAIL $1: $2"
  checks_failed=$((checks_failed + 1))
}

check_summary() {
  echo "$1: $checks_passed passed, $checks_failed failed"
  [ "$checks_failed" = 0 ]
}

# expect_output EXPECTED COMMAND...: COMMAND prints exactly EXPECTED (CRs
# dropped) and succeeds.
expect_output() {
  local expected=$1 actual
  shift
  actual=$("$@" | tr -d '\r') || return
  if [ "$actual" != "$expected" ]; then
    echo "expected: ${expected//$'\n'/ | }"
    echo "got:      ${actual//$'\n'/ | }"
    return 1
  fi
}

# The Wine loader and server, where Debian's wine64 package puts them.
wine_loader() { command -v wine64 || echo /usr/lib/wine/wine64; }
wine_server() { command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64; }

help_names() {
  local script=$1 help option
  shift
  help=$(bash "$script" --help)
  for option in "$@"; do
    grep -q -- "$option" <<<"$help" || {
      echo "--help does not name $option"
      return 1
    }
  done
}

status_of() {
  local status=0
  bash "$@" >/dev/null 2>&1 </dev/null || status=$?
  echo "$status"
}
