#!/usr/bin/env python3
"""Times veltrane-cli against a GNU MPFR program doing the same job.

    bench/cli_vs_mpfr.py [--cli PATH --soft-cli PATH --mpfr PATH --floor PATH]
                         [--count N] [--repeat R] [--corpus present|wide|both]

Without the four paths it configures and builds veltrane-cli, mpfr_convert and
conversion_floor in build/bench (native preset, -DVELTRANE_BENCH=ON), and the
software arithmetic's veltrane-cli in build/bench-soft (soft preset), both in
Release, the optimisation the packages are built with (-O3); each
is timed in the same runs, and the software build also against the x87 one. For each corpus and base pair it generates N
random numerals (each corpus has its own generator and fixed seed), converts
them with each program as a whole process from a file to a file, alternating
the two programs, and takes the median of R runs of each. It prints
conversions per second for each program, their ratio, and how many results
are the same text; then the rate of veltrane-cli --round-trip on the same
numerals, timed in the same alternation, and its ratio to MPFR's plain
conversion; then the rate of veltrane-cli --json (the exact expansion, the
ulp distance and the round-trip text of every numeral) and its share of the
plain rate, timed in the same alternation; then the smallest ratio of
each. veltrane-cli runs with
--scientific so that both write the same layout; MPFR works at a 64-bit
significand, rounding toward zero, and writes as many significant digits as
Veltrane does for the output base.

Then veltrane-cli --jobs 2 against --jobs 1 (10 -> 16, wide corpus) on
--jobs-count numerals (10^6), the median of R runs each, alternating.

It also runs bench/conversion_floor on each corpus and pair: the x87
instructions a conversion cannot avoid, timed in registers (floor ns), the
same with the x87 steps of the exponent estimate (+log ns), and the whole
conversion of each numeral in that process (convert, ns); then
veltrane-cli's nanoseconds per numeral as a whole process and their ratio to
the floor.

The corpora:
- present: numerals of about 64 bits of digits, half of them with an
  exponent between -40 and 40;
- wide: about 70 % with an exponent marker (e, E or _, only _ from base 15
  up) whose power base^exponent is log-uniform between 10^-300 and 10^300,
  some exponent signs written -+; about 29 % plain numerals; 0.2 % zeros.
  Mantissas of 11.7 digits on average, at most 28 characters in all, letters
  in mixed case, 35 % negative, about 3 % with an @ base suffix.
"""

import argparse
import math
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAIRS = [(10, 16), (16, 10), (10, 2), (2, 10), (36, 7), (10, 10)]
DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
SEEDS = {"present": 20240229, "wide": 20261209}
MAX_LENGTH = 28


def build(build_dir):
    subprocess.run(["cmake", "--preset", "native", "-B", build_dir, "-DVELTRANE_BENCH=ON",
                    "-DCMAKE_BUILD_TYPE=Release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "veltrane-cli",
                    "mpfr_convert", "conversion_floor"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    return (os.path.join(build_dir, "cli", "veltrane-cli"),
            os.path.join(build_dir, "bench", "mpfr_convert"),
            os.path.join(build_dir, "bench", "conversion_floor"))


def build_soft(build_dir):
    """veltrane-cli on the software x87 instructions (the soft preset)."""
    subprocess.run(["cmake", "--preset", "soft", "-B", build_dir, "-DVELTRANE_TESTS=OFF",
                    "-DCMAKE_BUILD_TYPE=Release"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j2", "--target", "veltrane-cli"],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    return os.path.join(build_dir, "cli", "veltrane-cli")


def in_base(value, base):
    text = ""
    while True:
        value, d = divmod(value, base)
        text = DIGITS[d] + text
        if value == 0:
            return text


def present_numeral(rng, base):
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


def suffix_for(rng, base):
    """The numeral's own base as an @ suffix: decimal, or a letter from 10 up."""
    if 10 <= base <= 35 and rng.random() < 0.5:
        letter = DIGITS[base]
        return "@" + (letter.lower() if rng.random() < 0.5 else letter)
    return "@" + str(base)


def wide_numeral(rng, base):
    """A numeral whose exponent spreads the value over the whole double range
    and beyond; see the module's description for the shape."""
    if rng.random() < 0.002:
        return rng.choice(["0", "-0", "0.0", "0" * rng.randint(2, 6), "0e1" if base < 15 else "0_1"])
    sign = "-" if rng.random() < 0.35 else ""
    suffix = suffix_for(rng, base) if rng.random() < 0.03 else ""
    exponent_text = ""
    if rng.random() < 0.706:
        # base^exponent log-uniform between 10^-300 and 10^300.
        exponent = int(round(rng.uniform(-300.0, 300.0) / math.log10(base)))
        marker = rng.choice("eE_") if base < 15 else "_"
        exponent_sign = ""
        if exponent < 0:
            exponent_sign = "-+" if rng.random() < 0.1 else "-"
        elif rng.random() < 0.05:
            exponent_sign = "+"
        exponent_text = marker + exponent_sign + in_base(abs(exponent), base)
    room = MAX_LENGTH - len(sign) - len(suffix) - len(exponent_text)
    digits = min(rng.randint(1, 22) + (1 if rng.random() < 0.2 else 0), room - 1)
    mantissa = [rng.choice(DIGITS[:base]) for _ in range(digits)]
    mantissa = "".join(c.lower() if c.isalpha() and rng.random() < 0.5 else c for c in mantissa)
    if rng.random() < 0.6:
        point = rng.randint(0, digits - 1)
        mantissa = mantissa[:point] + "." + mantissa[point:]
    return sign + mantissa + exponent_text + suffix


GENERATORS = {"present": present_numeral, "wide": wide_numeral}


def timed(argv, source, sink):
    with open(source, "rb") as src, open(sink, "wb") as dst:
        started = time.perf_counter()
        subprocess.run(argv, stdin=src, stdout=dst, stderr=subprocess.DEVNULL, check=False)
        return time.perf_counter() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli")
    parser.add_argument("--mpfr")
    parser.add_argument("--floor")
    parser.add_argument("--count", type=int, default=200000)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--corpus", choices=["present", "wide", "both"], default="both")
    parser.add_argument("--soft-cli")
    parser.add_argument("--jobs-count", type=int, default=1000000)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--soft-build-dir", default=os.path.join(ROOT, "build", "bench-soft"))
    args = parser.parse_args()
    given = [bool(args.cli), bool(args.mpfr), bool(args.floor), bool(args.soft_cli)]
    if any(given) and not all(given):
        parser.error("give all of --cli, --soft-cli, --mpfr and --floor, or none")
    cli, mpfr, floor = (args.cli, args.mpfr, args.floor) if args.cli else build(args.build_dir)
    soft_cli = args.soft_cli if args.soft_cli else build_soft(args.soft_build_dir)
    corpora = ["present", "wide"] if args.corpus == "both" else [args.corpus]

    print(f"{args.count} numerals per pair, median of {args.repeat} runs")
    print(f"{'corpus':>8} {'bases':>8} {'veltrane/s':>12} {'mpfr/s':>12} {'ratio':>7} "
          f"{'same text':>10} {'floor ns':>9} {'+log ns':>9} {'convert':>9} {'cli ns':>7} "
          f"{'cli/floor':>9} {'soft/s':>12} {'soft ratio':>10} {'soft/x87':>8} "
          f"{'round-trip/s':>13} {'rt ratio':>9} {'json/s':>10} {'json/plain':>10}")
    smallest = None
    smallest_soft = None
    smallest_round_trip = None
    smallest_json = None
    floors = []
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "in")
        out_cli = os.path.join(work, "cli")
        out_mpfr = os.path.join(work, "mpfr")
        out_round_trip = os.path.join(work, "round_trip")
        for corpus in corpora:
            rng = random.Random(SEEDS[corpus])
            generate = GENERATORS[corpus]
            for base_from, base_to in PAIRS:
                with open(source, "w") as f:
                    for _ in range(args.count):
                        f.write(generate(rng, base_from) + "\n")
                options = ["-f", str(base_from), "-t", str(base_to), "-s"]
                cli_argv = [cli] + options
                soft_argv = [soft_cli] + options
                round_trip_argv = cli_argv + ["--round-trip"]
                json_argv = cli_argv + ["--json"]
                mpfr_argv = [mpfr, str(base_from), str(base_to)]
                out_soft = out_cli + "-soft"
                t_cli, t_soft, t_mpfr, t_round_trip, t_json = [], [], [], [], []
                for _ in range(args.repeat):
                    t_cli.append(timed(cli_argv, source, out_cli))
                    t_mpfr.append(timed(mpfr_argv, source, out_mpfr))
                    t_soft.append(timed(soft_argv, source, out_soft))
                    t_round_trip.append(timed(round_trip_argv, source, out_round_trip))
                    t_json.append(timed(json_argv, source, os.devnull))
                with open(out_cli) as a, open(out_mpfr) as b:
                    results = list(zip(a, b))
                if len(results) != args.count:
                    sys.exit(f"{corpus} {base_from}->{base_to}: {len(results)} results "
                             f"for {args.count}")
                with open(out_soft) as a:
                    soft_lines = sum(1 for _ in a)
                if soft_lines != args.count:
                    sys.exit(f"{corpus} {base_from}->{base_to}: {soft_lines} soft results "
                             f"for {args.count}")
                same = sum(x == y for x, y in results)
                rate_cli = args.count / statistics.median(t_cli)
                rate_soft = args.count / statistics.median(t_soft)
                rate_mpfr = args.count / statistics.median(t_mpfr)
                ratio = rate_cli / rate_mpfr
                soft_ratio = rate_soft / rate_mpfr
                if smallest is None or ratio < smallest[0]:
                    smallest = (ratio, corpus, base_from, base_to)
                if smallest_soft is None or soft_ratio < smallest_soft[0]:
                    smallest_soft = (soft_ratio, corpus, base_from, base_to)
                with open(out_round_trip) as f:
                    if sum(1 for _ in f) != args.count:
                        sys.exit(f"{corpus} {base_from}->{base_to}: round trip is short")
                rate_round_trip = args.count / statistics.median(t_round_trip)
                round_trip_ratio = rate_round_trip / rate_mpfr
                if smallest_round_trip is None or round_trip_ratio < smallest_round_trip[0]:
                    smallest_round_trip = (round_trip_ratio, corpus, base_from, base_to)
                rate_json = args.count / statistics.median(t_json)
                json_share = rate_json / rate_cli
                if smallest_json is None or json_share < smallest_json[0]:
                    smallest_json = (json_share, corpus, base_from, base_to)
                with open(source, "rb") as src:
                    measured = subprocess.run([floor, str(base_from), str(base_to),
                                               str(args.repeat)], stdin=src, check=True,
                                              capture_output=True, text=True).stdout.split()
                floor_ns, log_floor_ns, convert_ns = (float(measured[i]) for i in (1, 3, 5))
                cli_ns = 1e9 / rate_cli
                floors.append((cli_ns / floor_ns, convert_ns / floor_ns, cli_ns / log_floor_ns))
                print(f"{corpus:>8} {base_from:>3}->{base_to:<4} {rate_cli:>12,.0f} "
                      f"{rate_mpfr:>12,.0f} {ratio:>7.2f} {100.0 * same / args.count:>9.1f}% "
                      f"{floor_ns:>9.1f} {log_floor_ns:>9.1f} {convert_ns:>9.0f} "
                      f"{cli_ns:>7.0f} {cli_ns / floor_ns:>9.1f} {rate_soft:>12,.0f} "
                      f"{soft_ratio:>10.2f} {rate_soft / rate_cli:>8.2f} "
                      f"{rate_round_trip:>13,.0f} {round_trip_ratio:>9.2f} {rate_json:>10,.0f} "
                      f"{100.0 * json_share:>9.1f}%", flush=True)
        # --jobs 2 against --jobs 1 on one large input.
        rng = random.Random(SEEDS["wide"] + 1)
        with open(source, "w") as f:
            for _ in range(args.jobs_count):
                f.write(wide_numeral(rng, 10) + "\n")
        t_one, t_two = [], []
        for _ in range(args.repeat):
            t_one.append(timed([cli, "-j", "1"], source, out_cli))
            t_two.append(timed([cli, "-j", "2"], source, out_round_trip))
        with open(out_cli, "rb") as a, open(out_round_trip, "rb") as b:
            if a.read() != b.read():
                sys.exit("--jobs 2 wrote other bytes than --jobs 1")
        one = args.jobs_count / statistics.median(t_one)
        two = args.jobs_count / statistics.median(t_two)
        print(f"--jobs 1: {one:,.0f}/s, --jobs 2: {two:,.0f}/s on {args.jobs_count} numerals "
              f"({os.cpu_count()} cores): {two / one:.2f} times")
    for label, k in (("veltrane-cli (whole process) over the floor", 0),
                     ("convertLine (in process) over the floor", 1),
                     ("veltrane-cli over the floor with fyl2x", 2)):
        values = [f[k] for f in floors]
        print(f"{label}: {min(values):.1f} to {max(values):.1f} times")
    ratio, corpus, base_from, base_to = smallest
    print(f"smallest ratio: {ratio:.2f} ({corpus}, {base_from}->{base_to})")
    ratio, corpus, base_from, base_to = smallest_soft
    print(f"smallest ratio of the software arithmetic: {ratio:.2f} "
          f"({corpus}, {base_from}->{base_to})")
    ratio, corpus, base_from, base_to = smallest_round_trip
    print(f"smallest round-trip ratio (--round-trip against MPFR's plain conversion): "
          f"{ratio:.2f} ({corpus}, {base_from}->{base_to})")
    share, corpus, base_from, base_to = smallest_json
    print(f"smallest --json share of the plain rate: {100.0 * share:.1f} % "
          f"({corpus}, {base_from}->{base_to})")


if __name__ == "__main__":
    main()
