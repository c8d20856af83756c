#!/usr/bin/env bash
# Makes the wheel of a built package, installs it with pip --no-index into a
# new virtual environment made with --system-site-packages, and converts
# with it there, outside the source and build trees.
#   wheel_test.sh PYTHON MAKE_WHEEL.py PACKAGE_DIR SOURCE_DIR VERSION
# or, for a wheel already made:
#   wheel_test.sh PYTHON --wheel FILE.whl
set -euo pipefail
python=$1
t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
if [ "$2" = --wheel ]; then
  wheel=$3
else
  wheel=$("$python" "$2" --version "$5" --package "$3" --readme "$4/README.md" \
    --license "$4/LICENSE" --out "$t/dist")
fi
case $(basename "$wheel") in
  veltrane-*-cp311-cp311-linux_*.whl) ;;
  *) echo "unexpected wheel name: $wheel"; exit 1 ;;
esac
"$python" -m venv --system-site-packages "$t/venv"
(cd "$t" && env -u PYTHONPATH venv/bin/pip install --no-index --quiet "$wheel")
cd "$t"
env -u PYTHONPATH venv/bin/python - "$t/venv" <<'PY'
import os
import sys

import numpy
import veltrane

assert os.path.realpath(veltrane.__file__).startswith(os.path.realpath(sys.argv[1])), veltrane.__file__
assert veltrane.__version__ == "1.0.0"
assert veltrane.convert("255") == "FF"
assert veltrane.convert(numpy.array(["ff", "-0.8"]), 16, 10).tolist() == ["255", "-0.5"]
try:
    veltrane.convert("12G")
except veltrane.NumeralError as error:
    assert (error.rule, error.column) == ("digit_too_large", 3)
else:
    raise AssertionError("no NumeralError")
here = os.path.dirname(veltrane.__file__)
assert os.path.exists(os.path.join(here, "py.typed")) and os.path.exists(os.path.join(here, "__init__.pyi"))
print("wheel installed and converts:", os.path.basename(sys.argv[1]))
PY
