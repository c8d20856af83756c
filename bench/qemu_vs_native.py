#!/usr/bin/env python3
"""Times the aarch64 veltrane-cli under qemu next to the x86-64 one on the
same software arithmetic, in the same run.

    bench/qemu_vs_native.py [--aarch64 PATH --native PATH] [--count N]
                            [--repeat R] [--corpus present|wide|both]

Without --aarch64/--native it builds the two: the release-aarch64 preset
(the program of the arm64 package) and the soft preset's program in Release
(build/bench-soft). For each corpus and base pair of bench/cli_vs_mpfr.py it
converts N numerals with each program as a whole process from a file to a
file, alternating the two, and prints the median conversions per second of
each, their ratio, and the share of identical output (it must be all).

Emulation speed says nothing about an aarch64 machine: qemu translates every
instruction, and the figures only show what the tests under qemu cost.
"""

import argparse
import os
import random
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cli_vs_mpfr import GENERATORS, PAIRS, ROOT, SEEDS, timed  # noqa: E402

QEMU = ["qemu-aarch64-static", "-L", "/usr/aarch64-linux-gnu"]


def build():
    soft_dir = os.path.join(ROOT, "build", "bench-soft")
    steps = [
        ["cmake", "--preset", "release-aarch64"],
        ["cmake", "--build", "--preset", "release-aarch64", "-j2", "--target", "veltrane-cli"],
        ["cmake", "--preset", "soft", "-B", soft_dir, "-DCMAKE_BUILD_TYPE=Release",
         "-DVELTRANE_TESTS=OFF"],
        ["cmake", "--build", soft_dir, "-j2", "--target", "veltrane-cli"],
    ]
    for step in steps:
        subprocess.run(step, cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return (os.path.join(ROOT, "build", "release-aarch64", "cli", "veltrane-cli"),
            os.path.join(soft_dir, "cli", "veltrane-cli"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--aarch64")
    parser.add_argument("--native")
    parser.add_argument("--count", type=int, default=50000)
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--corpus", choices=["present", "wide", "both"], default="both")
    args = parser.parse_args()
    if bool(args.aarch64) != bool(args.native):
        parser.error("give both --aarch64 and --native, or neither")
    aarch64, native = (args.aarch64, args.native) if args.aarch64 else build()
    corpora = ["present", "wide"] if args.corpus == "both" else [args.corpus]

    print(f"{args.count} numerals per pair, median of {args.repeat} runs")
    print(f"{'corpus':>8} {'bases':>8} {'qemu/s':>12} {'native/s':>12} {'native/qemu':>12} "
          f"{'same text':>10}")
    ratios = []
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "in")
        outputs = {"qemu": os.path.join(work, "qemu"), "native": os.path.join(work, "native")}
        for corpus in corpora:
            rng = random.Random(SEEDS[corpus])
            for base_from, base_to in PAIRS:
                with open(source, "w") as f:
                    for _ in range(args.count):
                        f.write(GENERATORS[corpus](rng, base_from) + "\n")
                options = ["-f", str(base_from), "-t", str(base_to)]
                argv = {"qemu": QEMU + [aarch64] + options, "native": [native] + options}
                times = {"qemu": [], "native": []}
                for _ in range(args.repeat):
                    for name in times:
                        times[name].append(timed(argv[name], source, outputs[name]))
                with open(outputs["qemu"], "rb") as a, open(outputs["native"], "rb") as b:
                    results = list(zip(a, b))
                if len(results) != args.count:
                    sys.exit(f"{corpus} {base_from}->{base_to}: {len(results)} results "
                             f"for {args.count}")
                same = sum(x == y for x, y in results)
                rate = {name: args.count / statistics.median(t) for name, t in times.items()}
                ratios.append(rate["native"] / rate["qemu"])
                print(f"{corpus:>8} {base_from:>3}->{base_to:<4} {rate['qemu']:>12,.0f} "
                      f"{rate['native']:>12,.0f} {ratios[-1]:>12.1f} "
                      f"{100.0 * same / args.count:>9.1f}%", flush=True)
    print(f"the native program is {min(ratios):.1f} to {max(ratios):.1f} times as fast")


if __name__ == "__main__":
    main()
