#!/usr/bin/env bash
# Builds veltrane-cli of another preset's build, which a cross build's tests
# compare their program with, unless the cache names another program that
# exists: reference_cli.sh PRESET PATH
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
preset=$1
if [ "$2" != "$(pwd)/build/$preset/cli/veltrane-cli" ]; then
  [ -x "$2" ] || { echo "reference_cli.sh: $2 is not a program" >&2; exit 1; }
  exit 0
fi
[ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target veltrane-cli
