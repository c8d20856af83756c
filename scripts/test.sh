#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test:
# the native build, the Windows build under Wine, and the sanitizer build.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install.sh

status=0
run_preset() {
  local preset=$1
  echo "== $preset =="
  cmake --preset "$preset" -DVELTRANE_WERROR=ON >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" || status=1
}

for preset in ${VELTRANE_PRESETS:-native windows}; do
  run_preset "$preset"
done

exit $status
