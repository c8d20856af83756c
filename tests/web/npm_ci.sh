#!/usr/bin/env bash
# Installs the tests' JavaScript tooling (playwright-core, as package-lock.json
# pins it) into tests/web/node_modules with npm ci, only when it is missing or
# was installed from another package-lock.json.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
stamp=node_modules/.veltrane-package-lock.json
if [ -f "$stamp" ] && cmp -s package-lock.json "$stamp"; then
  exit 0
fi
npm ci --no-audit --no-fund --loglevel=error
cp package-lock.json "$stamp"
