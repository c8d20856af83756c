#!/usr/bin/env python3
"""Times veltrane-cli against a GNU MPFR program doing the same job.

    bench/cli_vs_mpfr.py [--cli PATH --mpfr PATH] [--count N] [--repeat R]

Without --cli/--mpfr it configures and builds both in build/bench (native
preset, -DVELTRANE_BENCH=ON). For each base pair it generates N random
numerals (fixed seed), converts them with each program from a file to a file,
keeps the best of R runs, and prints conversions per second for each program,
their ratio, and how many results are the same text. veltrane-cli runs with
--scientific so that both write the same layout; MPFR works at a 64-bit
significand, rounding toward zero, and writes as many significant digits as
Veltrane does for the output base.
"""

import argparse
import math
import os
import random
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAIRS = [(10, 16), (16, 10), (10, 2), (2, 10), (36, 7)]
DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"


def build(build_dir):
    subprocess.run(["cmake", "--preset", "native", "-B", build_dir, "-DVELTRANE_BENCH=ON"],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "veltrane-cli",
                    "mpfr_convert"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return (os.path.join(build_dir, "cli", "veltrane-cli"),
            os.path.join(build_dir, "bench", "mpfr_convert"))


def in_base(value, base):
    text = ""
    while True:
        value, d = divmod(value, base)
        text = DIGITS[d] + text
        if value == 0:
            return text


def numeral(rng, base):
    """A numeral of about 64 bits of digits, with a fraction and an exponent
    that keep it well inside the extended range."""
    digits = rng.randint(1, int(64 / math.log2(base)))
    mantissa = "".join(rng.choice(DIGITS[:base]) for _ in range(digits))
    if digits > 1 and rng.random() < 0.7:
        point = rng.randint(0, digits - 1)
        mantissa = mantissa[:point] + "." + mantissa[point:]
    text = ("-" if rng.random() < 0.5 else "") + mantissa
    if rng.random() < 0.5:
        exponent = rng.randint(-40, 40)
        marker = rng.choice("eE_") if base < 15 else "_"
        text += marker + ("-" if exponent < 0 else "") + in_base(abs(exponent), base)
    return text


def best_time(argv, source, sink, repeat):
    best = None
    for _ in range(repeat):
        with open(source, "rb") as src, open(sink, "wb") as dst:
            started = time.perf_counter()
            subprocess.run(argv, stdin=src, stdout=dst, check=False)
            elapsed = time.perf_counter() - started
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli")
    parser.add_argument("--mpfr")
    parser.add_argument("--count", type=int, default=1000000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "bench"))
    args = parser.parse_args()
    if bool(args.cli) != bool(args.mpfr):
        parser.error("give both --cli and --mpfr, or neither")
    cli, mpfr = (args.cli, args.mpfr) if args.cli else build(args.build_dir)

    rng = random.Random(20240229)
    print(f"{args.count} numerals per pair, best of {args.repeat} runs")
    print(f"{'bases':>8} {'veltrane/s':>12} {'mpfr/s':>12} {'ratio':>7} {'same text':>10}")
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "in")
        out_cli = os.path.join(work, "cli")
        out_mpfr = os.path.join(work, "mpfr")
        for base_from, base_to in PAIRS:
            with open(source, "w") as f:
                for _ in range(args.count):
                    f.write(numeral(rng, base_from) + "\n")
            t_cli = best_time([cli, "-f", str(base_from), "-t", str(base_to), "-s"],
                              source, out_cli, args.repeat)
            t_mpfr = best_time([mpfr, str(base_from), str(base_to)], source, out_mpfr,
                               args.repeat)
            with open(out_cli) as a, open(out_mpfr) as b:
                results = list(zip(a, b))
            if len(results) != args.count:
                sys.exit(f"{base_from}->{base_to}: {len(results)} results for {args.count}")
            same = sum(x == y for x, y in results)
            rate_cli = args.count / t_cli
            rate_mpfr = args.count / t_mpfr
            print(f"{base_from:>3}->{base_to:<4} {rate_cli:>12,.0f} {rate_mpfr:>12,.0f} "
                  f"{rate_cli / rate_mpfr:>7.2f} {100.0 * same / args.count:>9.1f}%")


if __name__ == "__main__":
    main()
