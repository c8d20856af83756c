"""examples/dask_convert.py on 10^5 rows over a LocalCluster of two worker
processes gives the serial conversion of the same numerals."""

import importlib.util
import os
import subprocess
import sys

import numpy as np

import veltrane

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "dask_convert.py")


def test_the_dask_example_equals_the_serial_conversion(tmp_path):
    out = tmp_path / "dec.npy"
    done = subprocess.run([sys.executable, EXAMPLE, "--rows", "100000", "--out", str(out)],
                          capture_output=True, text=True, timeout=600, check=False)
    assert done.returncode == 0, done.stderr
    assert "100,000 numerals" in done.stdout
    spec = importlib.util.spec_from_file_location("dask_convert", EXAMPLE)
    example = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(example)
    serial = veltrane.convert(example.make_numerals(100000), 16, 10, threads=1)
    assert np.load(out).tolist() == serial
