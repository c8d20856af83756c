#!/usr/bin/env bash
# Builds veltrane-cli of the soft build (the soft preset), which the web
# tests compare the module with, unless the cache names another one that
# exists: reference_cli.sh PATH
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
if [ "$1" != "$(pwd)/build/soft/cli/veltrane-cli" ]; then
  [ -x "$1" ] || { echo "reference_cli.sh: $1 is not a program" >&2; exit 1; }
  exit 0
fi
[ -f build/soft/CMakeCache.txt ] || cmake --preset soft >/dev/null
cmake --build --preset soft --target veltrane-cli
