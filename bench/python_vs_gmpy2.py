#!/usr/bin/env python3
"""Times the Python package veltrane against gmpy2 (GNU MPFR from Python).

    /usr/bin/python3 bench/python_vs_gmpy2.py [--count N] [--repeat R]
        [--corpus present|wide|both] [--threads-count N]

Needs the package on PYTHONPATH (the native build's: build/native/python).
For each corpus and base pair of bench/cli_vs_mpfr.py (the same generators
and seeds) it converts N numerals (200,000) with one veltrane.convert call
on one thread, from a list and from a NumPy array of str, and with gmpy2 in
its fastest form (below), alternately, and takes the median of R runs (5).
veltrane converts with scientific=True, as the CLI benchmark does, and gmpy2
at a 64-bit significand, rounding toward zero, writing as many digits as
Veltrane writes for the output base: gmpy2.mpfr(s, 64, base).digits(to, n)
with the numerals rewritten into MPFR's syntax beforehand, outside the
timing (the exponent, written in the base, becomes '@' and a decimal power
of the base; an '@' suffix becomes the call's base).

Then the thread scaling: a batch of --threads-count numerals (10^6) with
threads=1 and threads=2, from a list and from an array; and the cost of one
call of convert on one short numeral, against one gmpy2 conversion.
"""

import argparse
import gc
import os
import statistics
import sys
import time
import timeit
import random

import gmpy2
import numpy as np

import veltrane

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ beside the sources
from cli_vs_mpfr import GENERATORS, PAIRS, SEEDS  # noqa: E402


def value(c):
    c = c.upper()
    if "0" <= c <= "9":
        return ord(c) - 48
    if "A" <= c <= "Z":
        return ord(c) - 55
    return 99


def significant_digits(base):
    """Veltrane's digits for a base: the n with base^n <= 2^64, less one."""
    n, power = 0, 1
    while power * base <= 2**64:
        power *= base
        n += 1
    return n - 1


def read_suffix(text):
    if len(text) == 1 and 10 <= value(text) < 36:
        return value(text)
    if text.isdigit() and 1 <= len(text) <= 2:
        return int(text)
    return 0


def to_mpfr(numeral, base):
    """(MPFR's numeral, its base), or None where bench/mpfr_convert.c's
    translation gives ERROR."""
    if "@" in numeral:
        numeral, _, suffix = numeral.partition("@")
        base = read_suffix(suffix)
        if not 2 <= base <= 36:
            return None
    i, out = 0, ""
    if numeral[:1] in "+-" and numeral:
        out, i = numeral[0], 1
    start = i
    while i < len(numeral) and value(numeral[i]) < base:
        i += 1
    out += numeral[start:i]
    digits = i - start
    if i < len(numeral) and numeral[i] == ".":
        i += 1
        start = i
        while i < len(numeral) and value(numeral[i]) < base:
            i += 1
        if i == start:
            return None
        out += "." + numeral[start:i]
        digits += i - start
    if digits == 0:
        out += "0"
    if i < len(numeral) and (numeral[i] == "_" or (numeral[i] in "eE" and base < 15)):
        i += 1
        negative = numeral[i:i + 1] == "-"
        i += negative
        i += numeral[i:i + 1] == "+"
        start = i
        while i < len(numeral) and value(numeral[i]) < base:
            i += 1
        if i == start:
            return None
        exponent = int(numeral[start:i], base)
        out += f"@{-exponent if negative else exponent}"
    return (out, base) if i == len(numeral) else None


def gmpy2_forms(to_base):
    """gmpy2's candidate loops: each converts a list of (numeral, base)."""
    mpfr = gmpy2.mpfr
    n = significant_digits(to_base)

    def plain(items):
        return [mpfr(s, 64, b).digits(to_base, n) for s, b in items]

    def by_map(items):
        return list(map(lambda item: mpfr(item[0], 64, item[1]).digits(to_base, n), items))

    return {"comprehension": plain, "map": by_map}


def timed(call):
    """Seconds of call(), without freeing what it returns."""
    gc.collect()
    started = time.perf_counter()
    result = call()
    took = time.perf_counter() - started
    del result
    return took


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=200000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--corpus", choices=["present", "wide", "both"], default="both")
    parser.add_argument("--threads-count", type=int, default=10**6)
    parser.add_argument("--threads-only", action="store_true",
                        help="only the thread scaling and the cost of one call")
    args = parser.parse_args()
    context = gmpy2.get_context()
    context.precision = 64
    context.round = gmpy2.RoundToZero
    corpora = ["present", "wide"] if args.corpus == "both" else [args.corpus]

    if not args.threads_only:
        compare_with_gmpy2(args, corpora)
    scaling(args)
    single_call()


def compare_with_gmpy2(args, corpora):
    # gmpy2's fastest form, chosen on the first pair.
    rng = random.Random(SEEDS["present"])
    sample = [to_mpfr(GENERATORS["present"](rng, 10), 10) for _ in range(args.count // 4)]
    sample = [item for item in sample if item]
    forms = gmpy2_forms(16)
    best = min(forms, key=lambda name: min(timed(lambda: forms[name](sample)) for _ in range(3)))
    print(f"gmpy2 {gmpy2.version()} (MPFR {gmpy2.mpfr_version()}), form: {best}; "
          f"veltrane {veltrane.__version__}; {args.count} numerals per pair, "
          f"median of {args.repeat} runs, one thread")
    print(f"{'corpus':>8} {'bases':>7} {'list/s':>12} {'array/s':>12} {'gmpy2/s':>12} "
          f"{'list ratio':>10} {'array ratio':>11}")
    smallest = None
    for corpus in corpora:
        rng = random.Random(SEEDS[corpus])
        for from_base, to_base in PAIRS:
            numerals = [GENERATORS[corpus](rng, from_base) for _ in range(args.count)]
            array = np.array(numerals)
            items = [to_mpfr(n, from_base) for n in numerals]
            items = [item for item in items if item]
            gmpy2_loop = gmpy2_forms(to_base)[best]
            t_list, t_array, t_gmpy2 = [], [], []
            for _ in range(args.repeat):
                t_list.append(timed(lambda: veltrane.convert(
                    numerals, from_base, to_base, scientific=True, errors="coerce", threads=1)))
                t_gmpy2.append(timed(lambda: gmpy2_loop(items)))
                t_array.append(timed(lambda: veltrane.convert(
                    array, from_base, to_base, scientific=True, errors="coerce", threads=1)))
            rate_list = len(numerals) / statistics.median(t_list)
            rate_array = len(numerals) / statistics.median(t_array)
            rate_gmpy2 = len(items) / statistics.median(t_gmpy2)
            ratio = rate_list / rate_gmpy2
            if smallest is None or ratio < smallest[0]:
                smallest = (ratio, corpus, f"{from_base}->{to_base}")
            print(f"{corpus:>8} {from_base:>3}->{to_base:<3} {rate_list:>12,.0f} "
                  f"{rate_array:>12,.0f} {rate_gmpy2:>12,.0f} {ratio:>10.2f} "
                  f"{rate_array / rate_gmpy2:>11.2f}")
    print(f"smallest ratio (list): {smallest[0]:.2f} ({smallest[1]}, {smallest[2]})")


def scaling(args):
    rng = random.Random(SEEDS["present"])
    numerals = [GENERATORS["present"](rng, 10) for _ in range(args.threads_count)]
    array = np.array(numerals)
    # The fastest of the runs: on a shared machine the others' load takes
    # cores from the two-thread runs more than from the one-thread ones.
    print(f"\nthreads: {args.threads_count} numerals, present corpus, 10->16, "
          f"fastest of {args.repeat} runs ({os.cpu_count()} cores)")
    for name, batch in (("list", numerals), ("array", array)):
        times = {1: [], 2: []}
        # The calling thread's CPU seconds: with the other threads on free
        # cores, the batch would take about that long.
        own = {1: [], 2: []}
        for _ in range(args.repeat):
            for threads in (1, 2):
                cpu = time.thread_time()
                times[threads].append(timed(lambda: veltrane.convert(
                    batch, 10, 16, errors="coerce", threads=threads)))
                own[threads].append(time.thread_time() - cpu)
        one, two = (len(numerals) / min(times[k]) for k in (1, 2))
        print(f"  {name:>5}: threads=1 {one:>12,.0f}/s  threads=2 {two:>12,.0f}/s  "
              f"scaling {two / one:.2f}; calling thread's CPU {min(own[1]):.3f} s and "
              f"{min(own[2]):.3f} s: {min(own[1]) / min(own[2]):.2f}")


def single_call():
    number = 200000
    call = min(timeit.repeat(lambda: veltrane.convert("255"), number=number, repeat=5)) / number
    rt = min(timeit.repeat(lambda: veltrane.convert("0.1", round_trip=True), number=number // 4,
                           repeat=5)) / (number // 4)
    mpfr = gmpy2.mpfr
    peer = min(timeit.repeat(lambda: mpfr("255", 64, 10).digits(16, 15), number=number,
                             repeat=5)) / number
    print(f"\none call: convert(\"255\") {call * 1e9:.0f} ns; convert(\"0.1\", round_trip=True) "
          f"{rt * 1e9:.0f} ns; gmpy2.mpfr(\"255\", 64, 10).digits(16, 15) {peer * 1e9:.0f} ns")


if __name__ == "__main__":
    main()
