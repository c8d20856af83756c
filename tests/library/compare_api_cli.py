#!/usr/bin/env python3
"""The C interface gives veltrane-cli's texts, --json lines and --explain
blocks byte for byte: random numerals over the whole grammar go through
veltrane-cli and through api_lines (the interface doing the program's job),
and both standard outputs, both standard errors and both exit statuses must
be the same.

    compare_api_cli.py [--runner=WORD...] [--count N] [--limit L] API_LINES VELTRANE_CLI
"""

import argparse
import random
import subprocess
import sys

DIGITS = "0123456789abcdefghijklmnopqrstuvwxyz"
SPECIAL = ["+INF", "-INF", "INF", "ERROR", "@0", "-@00", "", "   ", "1e4930", "-1e4930",
           "-1_3rz@36", "0.1", "-0", "12@1x", "12@", "1.2.3", "--5", "5.", "1e+-5"]
SUFFIXES = ["@16", "@g", "@G", "@2", "@36", "@0", "@", "@1x", "@Z", "@99", "@37", "@G6"]


def digit(rng, base):
    if rng.random() < 0.03:
        return rng.choice("!z9. _-+")
    d = DIGITS[rng.randrange(base)]
    return d.upper() if rng.random() < 0.5 else d


def numeral(rng, base, limit):
    kind = rng.random()
    if kind < 0.1:
        return rng.choice(SPECIAL)
    if kind < 0.15:
        # Past the guard, in the numeral's own base.
        return rng.choice(["", "-"]) + "1" + ("e" if base < 15 else "_") + DIGITS[base - 1] * 14
    if kind < 0.16:
        return "1" * (limit + rng.choice([0, 1, 50]))  # at and past the line limit
    text = " " * rng.choice([0, 0, 0, 1, 2])
    text += rng.choice(["", "", "-", "+"])
    text += "".join(digit(rng, base) for _ in range(rng.randrange(0, 25)))
    if rng.random() < 0.5:
        text += "." + "".join(digit(rng, base) for _ in range(rng.randrange(0, 25)))
    if rng.random() < 0.35:
        text += "e" if base < 15 and rng.random() < 0.5 else "_"
        text += rng.choice(["", "-", "+", "-+"])
        text += "".join(digit(rng, base) for _ in range(rng.randrange(0, 5)))
    if rng.random() < 0.15:
        text += rng.choice(SUFFIXES)
    return text + " " * rng.choice([0, 0, 0, 1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--count", type=int, default=400)
    parser.add_argument("--runs", type=int, default=16)
    parser.add_argument("--limit", type=int, default=4096)
    parser.add_argument("--seed", type=int, default=25)
    parser.add_argument("api_lines")
    parser.add_argument("cli")
    args = parser.parse_args()

    rng = random.Random(args.seed)
    modes = ["text", "json", "explain"]
    failures = 0
    for run in range(args.runs):
        base_from, base_to = rng.randrange(2, 37), rng.randrange(2, 37)
        if run < 2:
            base_from = base_to = 31 if run == 0 else 36  # where -INF and ERROR are numerals
        flags = rng.choice(["-", "s", "r", "sr"])
        mode = modes[run % 3]
        data = "\n".join(numeral(rng, base_from, args.limit) for _ in range(args.count)) + "\n"
        data = data.encode("latin-1")
        options = ["--from", str(base_from), "--to", str(base_to)]
        if "s" in flags:
            options.append("--scientific")
        if "r" in flags:
            options.append("--round-trip")
        if mode != "text":
            options.append("--" + mode)
        cli = subprocess.run(args.runner + [args.cli] + options, input=data,
                             capture_output=True, timeout=600)
        api = subprocess.run(args.runner + [args.api_lines, str(base_from), str(base_to), flags,
                                            mode], input=data, capture_output=True, timeout=600)
        where = f"run {run}: {' '.join(options)}"
        for name, a, b in [("stdout", cli.stdout, api.stdout), ("stderr", cli.stderr, api.stderr),
                           ("status", cli.returncode, api.returncode)]:
            if a != b:
                failures += 1
                print(f"{where}: {name} differs", file=sys.stderr)
                if isinstance(a, bytes):
                    la, lb = a.split(b"\n"), b.split(b"\n")
                    for i, (x, y) in enumerate(zip(la, lb)):
                        if x != y:
                            print(f"  line {i + 1}:\n  cli {x[:300]!r}\n  api {y[:300]!r}",
                                  file=sys.stderr)
                            break
                    else:
                        print(f"  {len(la)} lines against {len(lb)}", file=sys.stderr)
                else:
                    print(f"  {a} against {b}", file=sys.stderr)
        print(f"{where}: {len(cli.stdout)} bytes of output compared")
    if failures:
        sys.exit(1)


if __name__ == "__main__":
    main()
