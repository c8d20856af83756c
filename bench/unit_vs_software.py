#!/usr/bin/env python3
"""Counts the texts that differ between the x87 unit and the software
instructions, base pair by base pair.

    bench/unit_vs_software.py [--unit PATH --soft PATH] [--count N] [--round-trip]

The unit's fyl2x and f2xm1 approximate the exact result within about one
unit in the last place, differently from maker to maker, while the software
instructions give the exact result cut toward zero; every other instruction
gives the same bits on both. This converts the same random numerals (the
"wide" corpus of bench/cli_vs_mpfr.py, fixed seeds) with veltrane-cli on
each arithmetic and prints, per pair, how many texts differ, so that the
rate on the machine at hand can be measured. Without --unit/--soft it uses
build/native and build/soft. --round-trip compares the round-trip texts
instead, which depend on the last bit of the output base's powers as well.
"""

import argparse
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cli_vs_mpfr  # noqa: E402  (the corpus generators)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAIRS = [(10, 16), (16, 10), (10, 2), (2, 10), (10, 10), (2, 3), (10, 3), (36, 7), (7, 36)]


def maker():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown processor"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--unit", default=os.path.join(ROOT, "build", "native", "cli", "veltrane-cli"))
    parser.add_argument("--soft", default=os.path.join(ROOT, "build", "soft", "cli", "veltrane-cli"))
    parser.add_argument("--count", type=int, default=100000)
    parser.add_argument("--round-trip", action="store_true")
    args = parser.parse_args()
    extra = ["--round-trip"] if args.round_trip else []
    print(f"{maker()}: {args.count} numerals per pair" + (", round-trip texts" if extra else ""))
    print(f"{'bases':>8} {'differ':>8} {'one in':>8}")
    total = differ_total = 0
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "in")
        for index, (base_from, base_to) in enumerate(PAIRS):
            rng = random.Random(20261209 + index)
            with open(source, "w") as f:
                for _ in range(args.count):
                    f.write(cli_vs_mpfr.wide_numeral(rng, base_from) + "\n")
            outputs = []
            for program in (args.unit, args.soft):
                with open(source, "rb") as src:
                    outputs.append(subprocess.run(
                        [program, "-f", str(base_from), "-t", str(base_to)] + extra, stdin=src,
                        capture_output=True, check=False).stdout.splitlines())
            if len(outputs[0]) != args.count or len(outputs[1]) != args.count:
                sys.exit(f"{base_from}->{base_to}: a program did not answer every numeral")
            differ = sum(a != b for a, b in zip(*outputs))
            total += args.count
            differ_total += differ
            one_in = f"{args.count / differ:,.0f}" if differ else "-"
            print(f"{base_from:>3}->{base_to:<4} {differ:>8} {one_in:>8}", flush=True)
    print(f"all pairs: {differ_total} of {total}, one in "
          f"{total / differ_total if differ_total else float('inf'):,.0f}")


if __name__ == "__main__":
    main()
