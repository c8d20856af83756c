"""Shared set-up of the Python package's tests: veltrane-cli from the build
(VELTRANE_CLI), and hypothesis without an example database (nothing is
written into the source tree) and derandomized, so that a run repeats."""

import os
import subprocess
import sys

import pytest
from hypothesis import settings

sys.path.insert(0, os.path.dirname(__file__))

settings.register_profile("veltrane", database=None, derandomize=True, deadline=None,
                          max_examples=int(os.environ.get("VELTRANE_HYPOTHESIS_EXAMPLES", "300")))
settings.load_profile("veltrane")


def run_cli(options, numerals):
    """veltrane-cli OPTIONS with the numerals on standard input, one a line:
    (its output lines, its standard error lines)."""
    cli = os.environ.get("VELTRANE_CLI")
    if not cli:
        pytest.skip("VELTRANE_CLI is not set (ctest sets it to the build's veltrane-cli)")
    data = "".join(n + "\n" for n in numerals).encode()
    done = subprocess.run([cli] + options, input=data, capture_output=True, check=False)
    assert done.returncode in (0, 1), done.stderr
    return done.stdout.decode().splitlines(), done.stderr.decode().splitlines()


@pytest.fixture
def cli():
    return run_cli
