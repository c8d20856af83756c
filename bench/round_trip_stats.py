#!/usr/bin/env python3
"""How plain texts and round-trip texts read back, base pair by base pair.

    bench/round_trip_stats.py [--cli PATH] [--count N] [--seed S] [PAIR...]

PAIR is A:B (default: 10:16 16:10 10:2 2:10 10:10 36:7 7:36 3:10). For each
pair it writes N random numerals of base A over the grammar's whole range
(mantissas of 1 to 20 digits, a point in most, exponents that spread the
values from the subnormals to the largest value; no '@' suffix), converts them
with veltrane-cli --json, and counts, among those with a stored value:
- how many plain texts read back to the same stored value (reads_back);
- how many have a round-trip text, and the average and largest length of the
  round-trip text against the plain text, in bytes;
- those without one: how many are subnormal, and the least and largest
  exponent (in base B) among them, and how many of those are "too long"
  (veltrane-cli's note names its byte limit);
- A->B->A: the round-trip text read back in B, and the round-trip text of
  that in A, give the value again.
Without --cli it uses build/native/cli/veltrane-cli.

With --bases it counts instead, for every output base 2 to 36, the stored
values without a round-trip text among N values spread evenly over the
binary exponents of the whole range (numerals of base 16 with 16 digits,
which store exactly, and one in eight a subnormal written in base 2), by
kind, and the largest of them as a power of two. With --longest, for every
output base, the longest round-trip text of values in the top eighth of
the range and of the largest values the parser stores, both signs, and how
many of those have none.
"""

import argparse
import math
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from cli_vs_mpfr import DIGITS, ROOT, in_base  # noqa: E402

PAIRS = ["10:16", "16:10", "10:2", "2:10", "10:10", "36:7", "7:36", "3:10"]


def numeral(rng, base):
    """1 to 20 digits, most with a point, times base^exponent log-uniform
    over 2^-16470 .. 2^16380."""
    count = rng.randint(1, 20)
    digits = [rng.choice(DIGITS[:base]) for _ in range(count)]
    if count > 1 and rng.random() < 0.7:
        digits.insert(rng.randint(0, count - 1), ".")
    exponent = int(round(rng.uniform(-16470, 16380) / math.log2(base)))
    sign = "-" if rng.random() < 0.3 else ""
    return f"{sign}{''.join(digits)}_{'-' if exponent < 0 else ''}{in_base(abs(exponent), base)}"


def run(cli, args, lines):
    data = "".join(line + "\n" for line in lines).encode()
    result = subprocess.run([cli] + args, input=data, capture_output=True, check=False)
    return result.stdout.decode().split("\n")[:-1], result.stderr.decode().split("\n")[:-1]


def json_lines(cli, base_from, base_to, lines):
    import json
    out, _ = run(cli, ["--json", "-f", str(base_from), "-t", str(base_to)], lines)
    return [json.loads(line) for line in out]


def exponent_of(exact, base):
    """The first digit's exponent of an "exact" field (scientific syntax)."""
    marker = "e" if base == 10 else "_"
    if marker not in exact:
        return 0
    suffix = exact.split(marker)[1]
    value = int(suffix[1:], base)
    return -value if suffix[0] == "-" else value


def stored_value_numeral(rng):
    """A base-16 numeral that stores a random value exactly: 16 digits (the
    first not 0) times a power of 16, normal over the whole range, one in
    eight subnormal."""
    if rng.random() < 0.125:
        # Subnormal: m 2^-16445 with m below 2^63, written in base 2.
        bits = rng.randint(1, 63)
        mantissa = in_base(rng.getrandbits(bits) | (1 << (bits - 1)), 2)
        return mantissa + "_-" + in_base(16445, 2) + "@2"
    mantissa = in_base(rng.getrandbits(64) | (1 << 63), 16)
    exponent = rng.randint(-4095, 4095)  # of the first digit
    return (mantissa[0] + "." + mantissa[1:] + "_" + ("-" if exponent < 0 else "") +
            in_base(abs(exponent), 16))


def log2_of_stored(hex20):
    """log2 of the magnitude of a stored image (20 hex digits)."""
    biased = int(hex20[:4], 16) & 0x7FFF
    significand = int(hex20[4:], 16)
    return math.log2(significand) + max(biased, 1) - 16383 - 63


def longest_table(cli, count, seed):
    rng = random.Random(seed)
    numerals = []
    for _ in range(count):
        mantissa = in_base(rng.getrandbits(64) | (1 << 63), 16)
        exponent = rng.randint(3584, 4095)  # of the first digit: 2^14336 and up
        sign = "-" if rng.random() < 0.5 else ""
        numerals.append(f"{sign}{mantissa[0]}.{mantissa[1:]}_{in_base(exponent, 16)}")
    # The largest value the parser stores (the largest finite one it reports
    # as overflow), 2^16383, and their negatives.
    for top in ["F.FFFFFFFFFFFFFFE_FFF", "8.0_FFF"]:
        numerals += [top, "-" + top]
    print(f"{len(numerals)} values from 2^14336 up (seed {seed}), per output base")
    print(f"{'base':>4} {'longest round-trip text':>24} {'without one':>12}")
    for base in range(2, 37):
        out, notes = run(cli, ["-r", "-f", "16", "-t", str(base)], numerals)
        print(f"{base:>4} {max(len(line) for line in out):>24} {len(notes):>12}", flush=True)


def bases_table(cli, count, seed):
    rng = random.Random(seed)
    numerals = [stored_value_numeral(rng) for _ in range(count)]
    print(f"{count} stored values spread over the whole range (seed {seed}), per output base")
    print(f"{'base':>4} {'values':>6} {'no text':>8} {'subnormal':>9} {'of them':>8} "
          f"{'normal, too long':>17} {'other':>6} {'exponents in base':>18} "
          f"{'largest, log2':>14}")
    for base in range(2, 37):
        records = json_lines(cli, 16, base, numerals)
        _, notes = run(cli, ["-r", "-f", "16", "-t", str(base)], numerals)
        long_ = sum(" of at most " in n for n in notes)
        values = [r for r in records if r["stored"] is not None]
        none = [r for r in values if r["round_trip"] is None]
        subnormals = sum(r["class"] == "subnormal" for r in values)
        subnormal = sum(r["class"] == "subnormal" for r in none)
        others = [exponent_of(r["exact"], base) for r in none if r["class"] == "normal"]
        span = f"{min(others)}..{max(others)}" if others else "-"
        largest = max((log2_of_stored(r["stored"]) for r in none), default=None)
        largest = f"{largest:.1f}" if largest is not None else "-"
        print(f"{base:>4} {len(values):>6} {100.0 * len(none) / len(values):>7.2f}% "
              f"{subnormals:>9} {100.0 * subnormal / max(subnormals, 1):>7.1f}% "
              f"{long_:>17} {len(others) - long_:>6} {span:>18} {largest:>14}", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "native", "cli",
                                                      "veltrane-cli"))
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=2107)
    parser.add_argument("--bases", action="store_true")
    parser.add_argument("--longest", action="store_true")
    parser.add_argument("pairs", nargs="*", default=PAIRS)
    args = parser.parse_args()
    if args.bases:
        bases_table(args.cli, args.count, args.seed)
        return 0
    if args.longest:
        longest_table(args.cli, args.count, args.seed)
        return 0
    print(f"{args.count} numerals per pair over the whole range, seed {args.seed}")
    print(f"{'pair':>6} {'values':>6} {'plain reads back':>17} {'round trip':>11} "
          f"{'plain len avg/max':>18} {'rt len avg/max':>15} {'none':>5} {'of them':>26} "
          f"{'A->B->A':>8}")
    for pair in args.pairs:
        base_from, base_to = (int(b) for b in pair.split(":"))
        rng = random.Random(args.seed * 1000 + base_from * 37 + base_to)
        numerals = [numeral(rng, base_from) for _ in range(args.count)]
        records = json_lines(args.cli, base_from, base_to, numerals)
        rt_texts, notes = run(args.cli, ["-r", "-f", str(base_from), "-t", str(base_to)],
                              numerals)
        noted_long = sum(" of at most " in n for n in notes)
        values = [(r, t) for r, t in zip(records, rt_texts) if r["stored"] is not None]
        reads_back = sum(r["reads_back"] for r, _ in values)
        found = [(r, t) for r, t in values if r["round_trip"] is not None]
        none = [r for r, _ in values if r["round_trip"] is None]
        plain_lengths = [len(r["text"]) for r, _ in values]
        rt_lengths = [len(r["round_trip"]) for r, _ in found]
        subnormal = sum(r["class"] == "subnormal" for r in none)
        exponents = [exponent_of(r["exact"], base_to) for r in none if r["class"] == "normal"]
        span = f"{min(exponents)}..{max(exponents)}" if exponents else "-"
        # A->B->A with --round-trip: the text in B, read in B, and its text in A.
        back, _ = run(args.cli, ["-r", "-f", str(base_to), "-t", str(base_from)],
                      [t for _, t in found])
        direct, _ = run(args.cli, ["-r", "-f", str(base_from), "-t", str(base_from)],
                        [r["numeral"] for r, _ in found])
        same = sum(x == y for x, y in zip(back, direct))
        print(f"{base_from:>2}->{base_to:<3} {len(values):>6} "
              f"{100.0 * reads_back / len(values):>16.1f}% "
              f"{100.0 * len(found) / len(values):>10.1f}% "
              f"{sum(plain_lengths) / len(plain_lengths):>10.1f}/{max(plain_lengths):<7} "
              f"{sum(rt_lengths) / max(len(rt_lengths), 1):>7.1f}/{max(rt_lengths, default=0):<7} "
              f"{len(none):>5} {subnormal:>4} subnormal, {noted_long:>3} long, e {span:<9} "
              f"{same:>4}/{len(found)}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
