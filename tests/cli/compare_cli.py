#!/usr/bin/env python3
"""Converts the same random numerals with two veltrane-cli programs and
compares everything they write: the texts, the messages on standard error,
the exit status, and the same again with --json and with --round-trip.

    compare_cli.py [--runner=WORD...] [--windows] [--count N] [--seed S] PROGRAM REFERENCE

PROGRAM runs through the command given one word a --runner (qemu for a
program of another processor, the Wine wrapper for a Windows program);
REFERENCE runs as it is. --windows says PROGRAM writes CR LF line ends,
which are compared as LF. The numerals come
from the whole grammar: every input base (from --from and from @ suffixes),
signs, points, exponents over the whole extended range and beyond, blanks,
mixed case, and a share of rejected lines. Every output base from 2 to 36
is used, in standard and in scientific notation, each with a random --from,
plain, with --json and with --round-trip.
Prints the counts and exits 0 when the two agree on every line, else
prints the first differences and exits 1.
"""

import argparse
import json
import math
import random
import subprocess
import sys

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
BASES = range(2, 37)


def in_base(value, base):
    text = ""
    while True:
        value, d = divmod(value, base)
        text = DIGITS[d] + text
        if value == 0:
            return text


def mixed_case(rng, text):
    return "".join(c.lower() if c.isalpha() and rng.random() < 0.5 else c for c in text)


def suffix(rng, base):
    """The base as an @ suffix: one or two decimal digits, or a letter."""
    if 10 <= base <= 35 and rng.random() < 0.4:
        return "@" + mixed_case(rng, DIGITS[base])
    if base < 10 and rng.random() < 0.3:
        return "@0" + str(base)
    return "@" + str(base)


def valid_numeral(rng, run_base):
    """A numeral of the grammar, and the base it is read in."""
    base = run_base
    tail = ""
    if rng.random() < 0.25:
        base = rng.choice(BASES)
        tail = suffix(rng, base)
    sign = rng.choice(["", "", "", "-", "+"])
    digits = rng.randint(1, 24) if rng.random() < 0.9 else rng.randint(25, 80)
    mantissa = "".join(rng.choice(DIGITS[:base]) for _ in range(digits))
    if rng.random() < 0.1:
        mantissa = "0" * rng.randint(1, 8) + mantissa
    whole = len(mantissa)
    if rng.random() < 0.6:
        point = rng.randint(0, len(mantissa) - 1)
        whole = point
        mantissa = mantissa[:point] + "." + mantissa[point:]
    exponent = ""
    if rng.random() < 0.7:
        # Aim at a magnitude: near 1 half the time, else anywhere from below
        # the subnormals to beyond the largest value.
        log2 = rng.uniform(-80, 80) if rng.random() < 0.5 else rng.uniform(-16500, 16450)
        power = int(round(log2 / math.log2(base))) - whole
        marker = rng.choice("eE_") if base <= 14 else "_"
        exponent_sign = ("-" if rng.random() < 0.85 else "-+") if power < 0 else \
            rng.choice(["", "", "+"])
        exponent = marker + exponent_sign + mixed_case(rng, in_base(abs(power), base))
    blanks = (" " * rng.choice([0, 0, 0, 1, 3]), " " * rng.choice([0, 0, 0, 1, 2]))
    text = sign + mixed_case(rng, mantissa) + exponent + tail
    return blanks[0] + text + blanks[1]


def rejected_numeral(rng, run_base):
    """A numeral broken in one of the ways the grammar rules out."""
    text = valid_numeral(rng, run_base).strip()
    kind = rng.randrange(6)
    if kind == 0:  # a character that is no digit, anywhere
        at = rng.randint(0, len(text))
        return text[:at] + rng.choice("G#z.-+_@ ") + text[at:]
    if kind == 1:
        return text + rng.choice([".", "e", "_", "_-", "@", "@1x", "@G6", "1.2"])
    if kind == 2:
        return rng.choice(["", "   ", ".", "-", "+", "@0", "-@0", "1\x002", "\xb5"])
    if kind == 3:
        return "9" * rng.randint(4090, 4200)
    if kind == 4:
        return text.replace(".", "..", 1) if "." in text else text + ".1.2"
    return rng.choice(["-", "+"]) + rng.choice(["-", "+"]) + text.lstrip("+-")


def run_lines(rng, run_base, count):
    lines = []
    for _ in range(count):
        if rng.random() < 0.06:
            lines.append(rejected_numeral(rng, run_base))
        else:
            lines.append(valid_numeral(rng, run_base))
    return lines


def run(argv, data, crlf=False):
    result = subprocess.run(argv, input=data, capture_output=True, timeout=600)
    out, err = result.stdout, result.stderr
    if crlf:
        out, err = out.replace(b"\r\n", b"\n"), err.replace(b"\r\n", b"\n")
    return result.returncode, out, err


def first_difference(numerals, a, b):
    """The first line where two outputs differ, with its numeral."""
    lines_a, lines_b = a.split(b"\n"), b.split(b"\n")
    for i, (x, y) in enumerate(zip(lines_a, lines_b)):
        if x != y:
            numeral = numerals[i] if i < len(numerals) else "?"
            return f"line {i + 1} {numeral[:60]!r}: {x[:200]!r} against {y[:200]!r}"
    return f"{len(lines_a)} lines against {len(lines_b)}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--windows", action="store_true")
    parser.add_argument("--count", type=int, default=6000)
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("program")
    parser.add_argument("reference")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    settings = [(base_to, scientific) for base_to in BASES for scientific in (False, True)]
    outcomes = {}
    compared = 0
    differences = []
    for i, (base_to, scientific) in enumerate(settings):
        base_from = rng.choice(BASES)
        share = args.count // len(settings) + (i < args.count % len(settings))
        numerals = run_lines(rng, base_from, share)
        data = "".join(n + "\n" for n in numerals).encode("latin-1")
        options = ["-f", str(base_from), "-t", str(base_to)] + (["-s"] if scientific else [])
        for extra in ([], ["--json"], ["--round-trip"]):
            argv = options + extra
            mine = run(args.runner + [args.program] + argv, data, args.windows)
            theirs = run([args.reference] + argv, data)
            if extra == ["--json"]:
                json_records = theirs[1]
            if mine == theirs:
                continue
            for name, k in (("exit status", 0), ("standard output", 1), ("standard error", 2)):
                if mine[k] != theirs[k]:
                    where = f"{mine[k]} against {theirs[k]}" if k == 0 else \
                        first_difference(numerals, mine[k], theirs[k])
                    differences.append(f"{' '.join(argv)}: {name}: {where}")
        for line in json_records.decode("utf-8").split("\n")[:-1]:
            outcome = json.loads(line)["outcome"]
            outcomes[outcome] = outcomes.get(outcome, 0) + 1
        compared += len(numerals)

    counts = ", ".join(f"{n} {name}" for name, n in sorted(outcomes.items(), key=lambda x: -x[1]))
    print(f"{compared} numerals ({counts}) in {len(settings)} runs, "
          f"each plain, with --json and with --round-trip")
    if sum(outcomes.values()) != compared:
        print(f"the reference's --json gave {sum(outcomes.values())} records")
        return 1
    if differences:
        print(f"{len(differences)} runs differ:")
        for line in differences[:20]:
            print("  " + line)
        return 1
    print("the same texts, messages, exit statuses and JSON records")
    return 0


if __name__ == "__main__":
    sys.exit(main())
