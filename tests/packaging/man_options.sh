#!/usr/bin/env bash
# Every long option that a program's --help names is in its man page too, so
# the two are kept in step when options are added.
#   man_options.sh PROGRAM PAGE.1[.gz] [RUNNER...]
# RUNNER runs PROGRAM (the Wine loader for a Windows build).
set -euo pipefail
program=$1 page=$2
shift 2
help=$("$@" "$program" --help | tr -d '\r')
# The page as man shows it, in plain ASCII: \- and - both become "-".
text=$(LC_ALL=C MANWIDTH=200 man -l "$page" 2>/dev/null | col -b)
options=$(grep -oE -- '--[a-zA-Z][a-zA-Z0-9-]*' <<<"$help" | sort -u)
[ -n "$options" ] || {
  echo "no long option in the help of $program"
  exit 1
}
missing=
for option in $options; do
  grep -qE -- "(^|[^a-zA-Z0-9-])$option([^a-zA-Z0-9-]|$)" <<<"$text" || missing+=" $option"
done
if [ -n "$missing" ]; then
  echo "$page lacks:$missing"
  exit 1
fi
echo "$(wc -w <<<"$options") options: $(tr '\n' ' ' <<<"$options")"
