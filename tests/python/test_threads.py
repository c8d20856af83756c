"""Large batches: split over threads with the same results, and converted
without the GIL, so that other Python threads run meanwhile."""

import threading
import time

import numpy as np

import veltrane
from numerals import numerals

BATCH = numerals(20261209, 16, 60000)


def test_large_batches_agree_over_thread_counts():
    one = veltrane.convert(BATCH, 16, 10, errors="coerce", threads=1)
    for threads in (None, 2, 3, 8):
        assert veltrane.convert(BATCH, 16, 10, errors="coerce", threads=threads) == one
    array = np.array(BATCH)
    for threads in (1, None, 3):
        assert veltrane.convert(array, 16, 10, errors="coerce", threads=threads).tolist() == \
            [s or "" for s in one]


def test_other_threads_run_during_a_batch():
    batch = BATCH * 5
    started = threading.Event()
    done = threading.Event()
    took = []

    def work():
        started.set()
        begin = time.perf_counter()
        veltrane.convert(batch, 16, 10, errors="coerce", threads=1)
        took.append(time.perf_counter() - begin)
        done.set()

    worker = threading.Thread(target=work)
    worker.start()
    started.wait()
    # The longest stretch in which this thread could not run: with the GIL
    # held, about the whole conversion.
    last = time.perf_counter()
    longest = 0.0
    while not done.is_set():
        now = time.perf_counter()
        longest = max(longest, now - last)
        last = now
    worker.join()
    assert longest < took[0] / 2, (longest, took[0])
