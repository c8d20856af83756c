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


def test_the_first_failure_of_a_large_batch_whatever_the_threads():
    batch = ["ff"] * 50000
    batch[31234] = "1.2.3"
    batch[41000] = "g"
    for numerals in (batch, np.array(batch), np.array(batch, dtype=object)):
        for threads in (1, 2, 5):
            try:
                veltrane.convert(numerals, 16, 10, threads=threads)
            except veltrane.NumeralError as error:
                assert (error.index, error.numeral, error.rule) == (31234, "1.2.3", "second_point")
            else:
                raise AssertionError("no NumeralError")
        out = veltrane.convert(numerals, 16, 10, threads=3, errors="coerce")
        assert [i for i, s in enumerate(out) if not s] == [31234, 41000]


def test_a_list_emptied_during_its_batch():
    # The batch holds the strs it reads without the GIL: emptying the list
    # meanwhile frees none of them.
    expected = veltrane.convert([f"{i:x}.8" for i in range(200000)], 16, 10, threads=1)
    numerals = [f"{i:x}.8" for i in range(200000)]
    out = []
    worker = threading.Thread(target=lambda: out.append(veltrane.convert(numerals, 16, 10,
                                                                         threads=2)))
    worker.start()
    time.sleep(0.01)
    numerals.clear()
    worker.join()
    assert out == [expected]
