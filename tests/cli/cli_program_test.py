#!/usr/bin/env python3
"""Runs the veltrane-cli program itself: arguments, standard input, messages,
exit statuses and a large piped input.

    cli_program_test.py [--runner=WORD...] [--version V] [--lines N] [--windows]
                        [--max-memory-kib K] PROGRAM

--runner runs the program through an emulator, one --runner=WORD for each
word of its command: the Wine wrapper for the Windows build, qemu with its
-L for the aarch64 build. --windows says the program is a Windows console
program: it writes CR LF line ends on its output streams, and /? asks it for
its help.
"""

import argparse
import json
import math
import os
import random
import select
import subprocess
import sys
import tempfile
import time
import unittest
from fractions import Fraction

ARGS = None


def command(*args):
    return ARGS.runner + [ARGS.program] + list(args)


def normalise(data, stream):
    """Checks the platform's line ends and turns them into LF."""
    if ARGS.windows:
        bare_lf = data.replace(b"\r\n", b"").count(b"\n")
        if bare_lf:
            raise AssertionError(f"{stream}: {bare_lf} line ends without CR")
        return data.replace(b"\r\n", b"\n")
    return data


def run(*args, stdin=b"", stdout=subprocess.PIPE):
    """Runs the program with stdin given as bytes or as a file descriptor."""
    source = {"input": stdin} if isinstance(stdin, bytes) else {"stdin": stdin}
    result = subprocess.run(command(*args), stdout=stdout, stderr=subprocess.PIPE,
                            timeout=600, **source)
    out = normalise(result.stdout, "stdout") if result.stdout is not None else None
    return result.returncode, out, normalise(result.stderr, "stderr")


def watch_peak_memory(proc):
    """Waits for proc and returns its peak resident memory in KiB, or None
    where /proc does not tell. The figure is the program's own: a child's
    resource usage would also count the memory of the forked test runner."""
    peak = None
    status = f"/proc/{proc.pid}/status"
    while proc.poll() is None:
        try:
            with open(status) as f:
                for field in f:
                    if field.startswith("VmHWM:"):
                        peak = int(field.split()[1])
        except OSError:
            pass
        time.sleep(0.05)
    return peak


def lines(data):
    return data.decode("latin-1").split("\n")[:-1]


# Numeral, input base, output base, scientific: the text the dialog shows.
DIALOG_TEXTS = [
    ("255", 10, 16, False, "FF"),
    ("255", 10, 16, True, "F.F_+1"),
    ("255", 10, 2, False, "11111111"),
    ("-255", 10, 36, False, "-73"),
    ("-0.5", 10, 2, False, "-0.1"),
    ("-0.5", 10, 2, True, "-1.0_-1"),
    ("-0.5", 10, 10, True, "-5.0e-1"),
    ("0.75", 10, 16, True, "C.0_-1"),
    ("36", 10, 36, True, "1.0_+1"),
    ("FF", 16, 10, False, "255"),
    ("1_10", 16, 16, False, "10000000000000000"),
    ("1_10", 16, 16, True, "1.0_+10"),  # the exponent is written in the base too
    ("1e11", 2, 10, False, "8"),
    ("12@16", 10, 10, False, "18"),
    ("12@g", 10, 10, False, "18"),
    ("  12@16  ", 10, 10, False, "18"),
    ("1e4930", 10, 16, False, "+INF"),
    ("-1e4930", 10, 16, False, "-INF"),
    ("1e1000001", 2, 2, False, "1" + "0" * 65),
    ("1e1000010", 2, 2, False, "1.0_+1000010"),  # switched to scientific
    ("1e30", 10, 10, False, "1.0e+30"),
    ("1e-19", 10, 10, False, "1.0e-19"),
    ("0", 10, 10, True, "0.0"),
    ("5", 10, 10, True, "5.0"),
    (".5", 10, 16, False, "0.8"),
    ("-", 10, 16, False, "0"),
    ("0" * 40 + "255", 10, 16, False, "FF"),  # longer than the dialog reads
    ("5.", 10, 16, False, "ERROR"),
    ("1e", 10, 16, False, "ERROR"),
    ("1e+-5", 10, 16, False, "ERROR"),
    ("12@1x", 10, 16, False, "ERROR"),
    ("2", 2, 10, False, "ERROR"),
    ("g", 16, 10, False, "ERROR"),
    ("1 2", 10, 16, False, "ERROR"),
    ("", 10, 16, False, "ERROR"),
    ("   ", 10, 16, False, "ERROR"),
]

SUFFIX_RULE = "an '@' suffix is one or two decimal digits or one letter"


class Conversions(unittest.TestCase):
    def test_dialog_texts_from_standard_input(self):
        groups = {}
        for numeral, base_from, base_to, scientific, text in DIALOG_TEXTS:
            groups.setdefault((base_from, base_to, scientific), []).append((numeral, text))
        for (base_from, base_to, scientific), cases in groups.items():
            args = ["--from", str(base_from), "--to", str(base_to)]
            if scientific:
                args.append("--scientific")
            data = "".join(n + "\n" for n, _ in cases).encode()
            status, out, err = run(*args, stdin=data)
            expected = [t for _, t in cases]
            self.assertEqual(lines(out), expected, args)
            rejected = expected.count("ERROR")
            self.assertEqual(status, 1 if rejected else 0, args)
            self.assertEqual(len(lines(err)), rejected, err)

    def test_dialog_texts_from_arguments(self):
        for numeral, base_from, base_to, scientific, text in DIALOG_TEXTS:
            args = ["-f", str(base_from), "-t", str(base_to)] + (["-s"] if scientific else [])
            status, out, _ = run(*args, "--", numeral)
            self.assertEqual(lines(out), [text], numeral)
            self.assertEqual(status, 1 if text == "ERROR" else 0, numeral)

    def test_nothing_carries_over_between_numerals(self):
        status, out, _ = run("-t", "10", "12@16", "12", "1e30", "5", "1e4930", "1")
        self.assertEqual(lines(out), ["18", "12", "1.0e+30", "5", "+INF", "1"])
        self.assertEqual(status, 0)

    def test_negative_numerals_after_double_dash(self):
        status, out, _ = run("--to", "2", "--", "-0.5", "-1", "--help")
        self.assertEqual(lines(out), ["-0.1", "-1", "ERROR"])
        self.assertEqual(status, 1)

    def test_options_after_numerals(self):
        status, out, _ = run("255", "--to", "2")
        self.assertEqual((status, lines(out)), (0, ["11111111"]))


class Messages(unittest.TestCase):
    def test_rejected_arguments_name_their_position(self):
        status, out, err = run("255", "xyz", "-t", "16", "12@1x")
        self.assertEqual(status, 1)
        self.assertEqual(lines(out), ["FF", "ERROR", "ERROR"])
        self.assertEqual(lines(err), [
            'veltrane-cli: argument 2: "xyz" is not a numeral in base 10: '
            "'x' at column 1 is not a digit below 10",
            'veltrane-cli: argument 5: "12@1x" is not a numeral: '
            "'x' at column 5 is not a decimal digit; " + SUFFIX_RULE,
        ])

    def test_rejected_lines_name_their_line(self):
        data = b"255\n\nff\n" + b"9" * 12289 + b"\n2\x005\n \xb5 \n"
        status, out, err = run("-f", "16", stdin=data)
        self.assertEqual(status, 1)
        self.assertEqual(lines(out), ["255", "ERROR", "FF", "ERROR", "ERROR", "ERROR"])
        self.assertEqual(lines(err), [
            "veltrane-cli: line 2: empty numeral",
            "veltrane-cli: line 4: numeral longer than 12288 bytes",
            'veltrane-cli: line 5: "2\\x005": NUL byte inside the numeral at column 2',
            'veltrane-cli: line 6: "\\xB5" is not a numeral in base 16: '
            "byte 0xB5 at column 1 is not a digit",
        ])


# Numeral, base, the message after "line 1: ".
DIAGNOSES = [
    ("12G", 16, '"12G" is not a numeral in base 16: '
                "'G' at column 3 is not a digit below 16"),
    ("5.", 10, '"5." is not a numeral in base 10: '
               "the point at column 2 is not followed by a digit below 10"),
    (".", 10, '"." is not a numeral in base 10: '
              "the point at column 1 is not followed by a digit below 10"),
    ("1e", 10, '"1e" is not a numeral in base 10: '
               "the exponent marker 'e' at column 2 is not followed by a digit below 10"),
    ("1e+-5", 10, '"1e+-5" is not a numeral in base 10: '
                  "the sign '-' at column 4 is out of place; an exponent marker takes an "
                  "optional '-', then an optional '+'"),
    ("1-2", 10, '"1-2" is not a numeral in base 10: the sign \'-\' at column 2 is not first'),
    ("10@", 10, '"10@" is not a numeral: '
                "the '@' at column 3 is not followed by a base; " + SUFFIX_RULE),
    ("12@1x", 10, '"12@1x" is not a numeral: '
                  "'x' at column 5 is not a decimal digit; " + SUFFIX_RULE),
    ("12@G6", 10, '"12@G6" is not a numeral: '
                  "'6' at column 5 follows the letter base 'G', which ends the numeral"),
    ("12@#", 10, '"12@#" is not a numeral: \'#\' at column 4 is not a base; ' + SUFFIX_RULE),
    ("19@8", 10, '"19@8" is not a numeral in base 8: \'9\' at column 2 is not a digit below 8'),
    ("1.2.3", 10, '"1.2.3" is not a numeral in base 10: a second point at column 4'),
    ("1e5.5", 10, '"1e5.5" is not a numeral in base 10: '
                  "the point at column 4 is in the exponent, which is whole"),
    ("1_5_5", 16, '"1_5_5" is not a numeral in base 16: '
                  "a second exponent marker '_' at column 4"),
    ("  1 2  ", 10, '"1 2" is not a numeral in base 10: \' \' at column 2 is not a digit'),
    ("\u00e9t\u00e9", 10, '"\\xC3\\xA9t\\xC3\\xA9" is not a numeral in base 10: '
                          "byte 0xC3 at column 1 is not a digit"),
    ("", 10, "empty numeral"),
    ("@0", 10, "\"@0\": the '@0' base suffix at column 1 names no number"),
    ("+@00xyz", 10, "\"+@00xyz\": the '@0' base suffix at column 2 names no number"),
    ("7" * 12289, 10, "numeral longer than 12288 bytes"),
    ("1\x002", 10, '"1\\x002": NUL byte inside the numeral at column 2'),
]


class Diagnostics(unittest.TestCase):
    def test_each_rule_with_its_column(self):
        for numeral, base, message in DIAGNOSES:
            status, out, err = run("-f", str(base), stdin=numeral.encode() + b"\n")
            self.assertEqual((status, lines(out)), (1, ["ERROR"]), numeral)
            self.assertEqual(err.decode("latin-1"), f"veltrane-cli: line 1: {message}\n")

    def test_arguments_are_counted_as_given(self):
        # Options between numerals keep every numeral's argument number;
        # every option applies to every numeral.
        status, out, err = run("1", "-st", "2", "x", "--fr=16", "--", "-G")
        self.assertEqual((status, lines(out)), (1, ["1.0", "ERROR", "ERROR"]))
        self.assertEqual(lines(err), [
            'veltrane-cli: argument 4: "x" is not a numeral in base 16: '
            "'x' at column 1 is not a digit below 16",
            'veltrane-cli: argument 7: "-G" is not a numeral in base 16: '
            "'G' at column 2 is not a digit below 16",
        ])


class OptionForms(unittest.TestCase):
    def test_getopt_forms(self):
        for args, expected in [
            (["-st", "2", "255"], "1.1111111_+111"),
            (["-st2", "255"], "1.1111111_+111"),
            (["-s", "-t", "2", "255"], "1.1111111_+111"),
            (["--to=2", "255"], "11111111"),
            (["--sci", "255"], "F.F_+1"),
            (["--fr", "16", "--t=10", "ff"], "255"),
            (["-f16", "-t", "10", "ff"], "255"),
            (["255", "--to", "8", "--sc"], "3.77_+2"),
            (["-t", "2", "--", "-0.5"], "-0.1"),
        ]:
            status, out, err = run(*args)
            self.assertEqual((status, lines(out), err), (0, [expected], b""), args)

    def test_usage_errors_of_getopt_forms(self):
        for args, message in [
            (["-st"], "option '-t' needs a base from 2 to 36"),
            (["--fr"], "option '--from' needs a base from 2 to 36"),
            (["--sci=1", "5"], "option '--sci' takes no value"),
            (["-sx", "5"], "unknown option '-x' in '-sx'; try 'veltrane-cli --help'"),
            (["--j", "2", "5"],
             "option '--j' is ambiguous (--jobs, --json); try 'veltrane-cli --help'"),
            (["--j=2", "5"],
             "option '--j' is ambiguous (--jobs, --json); try 'veltrane-cli --help'"),
            (["--jz", "5"], "unknown option '--jz'; try 'veltrane-cli --help'"),
            (["--explain", "--json", "5"], "options '--explain' and '--json' exclude each other"),
        ]:
            status, out, err = run(*args)
            self.assertEqual((status, out), (2, b""), args)
            self.assertEqual(err.decode(), f"veltrane-cli: {message}\n", args)

    def test_slash_question_mark(self):
        status, out, err = run("/?")
        if ARGS.windows:
            self.assertEqual((status, err), (0, b""))
            self.assertTrue(out.startswith(b"Usage: veltrane-cli"), out)
        else:
            self.assertEqual((status, lines(out)), (1, ["ERROR"]))
        # After "--" it is a numeral everywhere.
        self.assertEqual(run("--", "/?")[:2], (1, b"ERROR\n"))

    def test_help_documents_the_new_options(self):
        text = run("--help")[1].decode()
        for word in ("--explain", "--json", "exact_complete", "ulps", "-st 2", "--sci",
                     "byte order mark", "column", "-r, --round-trip", "reads_back",
                     "round_trip"):
            self.assertIn(word, text)


class ByteOrderMark(unittest.TestCase):
    def test_a_mark_at_the_start_is_ignored(self):
        status, out, err = run(stdin=b"\xef\xbb\xbf255\r\n\xef\xbb\xbf1\n")
        self.assertEqual(status, 1)
        self.assertEqual(lines(out), ["FF", "ERROR"])  # only at the very start
        self.assertIn(b"line 2:", err)
        self.assertEqual(run(stdin=b"\xef\xbb\xbf"), (0, b"", b""))


# --- Exact rational reference for --explain and --json ----------------------

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
JSON_KEYS = ["numeral", "from", "to", "text", "notation", "outcome", "stored", "class",
             "exact", "exact_complete", "ulps", "reads_back", "round_trip"]


def to_base(n, base):
    """The digits of a non-negative integer."""
    if n == 0:
        return "0"
    out = []
    while n:
        n, d = divmod(n, base)
        out.append(DIGITS[d])
    return "".join(reversed(out))


def exponent_suffix(e, base):
    if e == 0:
        return ""
    return ("e" if base == 10 else "_") + ("-" if e < 0 else "+") + to_base(abs(e), base)


def stored_value(hex20):
    """The 80-bit image as (sign bit, biased exponent, significand, exact value)."""
    sign_exponent, significand = int(hex20[:4], 16), int(hex20[4:], 16)
    sign, biased = sign_exponent >> 15, sign_exponent & 0x7FFF
    q = max(biased, 1) - 16446
    value = Fraction(significand) * Fraction(2) ** q
    return sign, biased, significand, q, -value if sign else value


def exact_text(value, negative, base, limit=1100):
    """The expansion in Veltrane's scientific syntax, cut after limit digits."""
    sign = "-" if negative else ""
    x = abs(value)
    if x == 0:
        return sign + "0.0", True
    n, d = x.numerator, x.denominator
    # The exponent of the first digit: base^e <= x < base^(e+1).
    e = int((n.bit_length() - d.bit_length()) / math.log2(base)) - 2
    while not (n * base ** max(-e - 1, 0) < d * base ** max(e + 1, 0)):
        e += 1
    while not (n * base ** max(-e, 0) >= d * base ** max(e, 0)):
        e -= 1
    shift = limit - 1 - e  # x * base^shift has exactly `limit` integer digits
    scaled_n = n * base ** max(shift, 0)
    scaled_d = d * base ** max(-shift, 0)
    digits, rest = divmod(scaled_n, scaled_d)
    text = to_base(digits, base).rstrip("0")
    return sign + text[0] + "." + (text[1:] or "0") + exponent_suffix(e, base), rest == 0


def text_value(text, base):
    """The value of an output numeral."""
    negative = text.startswith("-")
    body = text.lstrip("-")
    marker = "e" if base == 10 else "_"
    exponent = 0
    if marker in body:
        body, suffix = body.split(marker)
        exponent = int(suffix[1:], base) * (-1 if suffix[0] == "-" else 1)
    whole, _, fraction = body.partition(".")
    value = Fraction(int(whole + fraction, base)) * Fraction(base) ** (exponent - len(fraction))
    return -value if negative else value


def strict_json(line):
    return json.loads(line, parse_constant=lambda c: (_ for _ in ()).throw(ValueError(c)))


def random_numerals(rng, count):
    """Numerals in random bases spread over the whole extended range, subnormals
    and overflow included, with a few fixed cases."""
    cases = [("0.1", 10), ("0", 10), ("-0", 10), ("1e-100000000111101", 2),
             ("1e-100000000111100", 2), ("-1.1e-100000000111110", 2), ("1e4931", 10),
             ("ffffffffffffffff_1000", 16), ("1e-4950", 10), ("255", 10), ("-0.5", 10),
             ("1_-a", 36), ("2.5", 7), ("1e4929", 10), ("ffff@16", 10)]
    while len(cases) < count:
        base = rng.choice([2, 3, 7, 10, 16, 36])
        mantissa = "".join(rng.choice(DIGITS[:base]) for _ in range(rng.randint(1, 30)))
        point = rng.randint(0, len(mantissa))
        mantissa = mantissa[:point] + "." + mantissa[point:] if point < len(mantissa) else mantissa
        # One in four near the bottom of the range, where values are subnormal.
        low, high = (-16470, 16400) if rng.random() < 0.75 else (-16440, -16350)
        exponent = rng.randint(int(low / math.log2(base)), int(high / math.log2(base)))
        sign = rng.choice(["", "-"])
        numeral = sign + mantissa + "_" + ("-" if exponent < 0 else "") + to_base(abs(exponent), base)
        cases.append((numeral, base))
    return cases


class ExplainAndJson(unittest.TestCase):
    def check_json_line(self, record, numeral, base_from, base_to, plain_text):
        self.assertEqual(list(record), JSON_KEYS)
        self.assertEqual(record["numeral"], numeral)
        self.assertEqual(record["to"], base_to)
        self.assertEqual(record["text"], plain_text)
        if record["outcome"] == "overflow":
            self.assertIn(plain_text, ("+INF", "-INF"))
            for key in ("notation", "stored", "class", "exact", "exact_complete", "ulps",
                        "reads_back", "round_trip"):
                self.assertIsNone(record[key], key)
            return
        self.assertEqual(record["outcome"], "converted", record)
        self.assertIsInstance(record["reads_back"], bool)
        self.assertTrue(record["round_trip"] is None or isinstance(record["round_trip"], str))
        self.assertEqual(record["from"], base_from)
        self.assertIn(record["notation"], ("standard", "scientific"))
        self.assertRegex(record["stored"], "^[0-9A-F]{20}$")
        sign, biased, significand, q, stored = stored_value(record["stored"])
        expected_class = ("zero" if significand == 0 else "subnormal" if biased == 0
                          else "normal")
        self.assertEqual(record["class"], expected_class)
        exact, complete = exact_text(stored, sign == 1, base_to)
        self.assertEqual(record["exact"], exact, numeral)
        self.assertEqual(record["exact_complete"], complete, numeral)
        # ulps: at least 3 (here 6) significant digits, cut toward zero.
        ulps = (text_value(plain_text, base_to) - stored) / Fraction(2) ** q
        shown = Fraction(repr(record["ulps"])) if isinstance(record["ulps"], float) \
            else Fraction(record["ulps"])
        self.assertTrue(isinstance(record["ulps"], (int, float)))
        if ulps == 0:
            self.assertEqual(shown, 0)
        else:
            self.assertEqual(shown == 0 or (shown > 0) == (ulps > 0), True, numeral)
            self.assertLessEqual(abs(shown), abs(ulps), numeral)
            self.assertLess(abs(ulps) - abs(shown), abs(ulps) * Fraction(1, 10 ** 5), numeral)
        return exact, ulps

    def test_json_against_exact_rational_arithmetic(self):
        rng = random.Random(14)
        # Wine starts the program slowly: fewer numerals, so fewer runs.
        cases = random_numerals(rng, 160 if ARGS.windows else 400)
        by_bases = {}
        for numeral, base in cases:
            by_bases.setdefault((base, rng.choice([2, 3, 10, 16, 36])), []).append(numeral)
        checked = 0
        for (base_from, base_to), numerals in by_bases.items():
            data = "".join(n + "\n" for n in numerals).encode()
            args = ["-f", str(base_from), "-t", str(base_to)]
            _, plain, _ = run(*args, stdin=data)
            status, out, err = run(*args, "--json", stdin=data)
            self.assertEqual(status, 0, err)
            records = [strict_json(line) for line in out.decode().split("\n")[:-1]]
            self.assertEqual(len(records), len(numerals))
            for record, numeral, text in zip(records, numerals, lines(plain)):
                base = int(numeral.split("@")[1]) if "@" in numeral else base_from
                self.check_json_line(record, numeral, base, base_to, text)
                checked += 1
        self.assertEqual(checked, len(cases))

    def test_the_example_of_one_tenth(self):
        status, out, _ = run("--json", "-t", "10", "0.1")
        self.assertEqual(status, 0)
        self.assertEqual(strict_json(out.decode()), {
            "numeral": "0.1", "from": 10, "to": 10, "text": "0.1", "notation": "standard",
            "outcome": "converted", "stored": "3FFBCCCCCCCCCCCCCCCD", "class": "normal",
            "exact": "1.000000000000000000013552527156068805425093160010874271392822265625e-1",
            "exact_complete": True, "ulps": -0.2, "reads_back": True, "round_trip": "0.1"})

    def test_json_of_rejected_and_odd_lines(self):
        data = b"12G\n\n@0\n\xff\xc3\xa9\"\\\n1\x002\n" + b"1" * 12289 + b"\n1_2000\n-1_2000\n"
        status, out, _ = run("--json", "-f", "16", stdin=data)
        self.assertEqual(status, 1)
        records = [strict_json(line) for line in out.decode("utf-8").split("\n")[:-1]]
        self.assertEqual([r["outcome"] for r in records], [
            "rejected", "empty", "no_value", "rejected", "nul_byte", "too_long", "overflow",
            "overflow"])
        self.assertEqual(records[3]["numeral"], "\ufffd\u00e9\"\\")
        self.assertEqual(records[4]["numeral"], "1\u00002")
        self.assertIsNone(records[5]["numeral"])
        self.assertEqual(records[2]["from"], 0)
        for r in records:
            self.assertEqual(list(r), JSON_KEYS)
            self.assertIsNone(r["stored"])
            self.assertIsNone(r["ulps"])
            self.assertIsNone(r["reads_back"])
            self.assertIsNone(r["round_trip"])
            self.assertIn(r["text"], ("ERROR", "+INF", "-INF"))

    def test_longest_reports(self):
        # Numerals of the greatest length whose every byte the report escapes
        # (six bytes each in JSON), several lines of them in a row, then one
        # that converts: each report whole, on a line of its own.
        longest = [b"\x01" * 12288, b"\xff" * 12288, b"\x1f" * 12287 + b"1"]
        data = b"\n".join(longest * 3) + b"\n255\n"
        for mode in ("--json", "--explain"):
            status, out, _ = run(mode, stdin=data)
            self.assertEqual(status, 1)
            if mode == "--explain":
                blocks = out.decode("utf-8").split("\n\n")
                self.assertEqual(len(blocks), 11)
                self.assertTrue(blocks[9].startswith('numeral:   "255"'), blocks[9][:40])
                continue
            records = [strict_json(line) for line in out.decode("utf-8").split("\n")[:-1]]
            self.assertEqual([r["numeral"] for r in records],
                             [n.decode("utf-8", "replace") for n in longest * 3] + ["255"])
            self.assertEqual(records[-1]["text"], "FF")

    def test_explain_blocks_agree_with_json(self):
        rng = random.Random(41)
        cases = random_numerals(rng, 40)
        numerals = [n for n, b in cases if b == 10]
        data = "".join(n + "\n" for n in numerals + ["12G"]).encode()
        _, out, _ = run("-t", "16", "--json", stdin=data)
        records = [strict_json(line) for line in out.decode().split("\n")[:-1]]
        status, out, _ = run("-t", "16", "--explain", stdin=data)
        self.assertEqual(status, 1)
        blocks = out.decode().split("\n\n")
        self.assertEqual(blocks[-1], "")
        self.assertEqual(len(blocks) - 1, len(records))
        for block, record in zip(blocks, records):
            fields = dict(line.split(":", 1) for line in block.split("\n") if ":" in line[:10])
            fields = {k: v.strip() for k, v in fields.items()}
            self.assertEqual(fields["numeral"], json.dumps(record["numeral"]))
            self.assertEqual(fields["bases"], f"from {record['from']} to 16")
            self.assertTrue(fields["text"].startswith(record["text"]))
            if record["stored"] is None:
                self.assertTrue("rejected" in fields or fields["stored"].startswith("none"))
                continue
            self.assertTrue(fields["stored"].startswith(record["stored"] + ": sign "))
            self.assertIn(", " + record["class"], fields["stored"])
            self.assertEqual(fields["exact"], record["exact"])
            self.assertEqual(("(cut after" in block), not record["exact_complete"])
            distance = fields["distance"].split(" ")[0]
            self.assertEqual(float(distance), record["ulps"])
            self.assertEqual(distance[0] in "+-" or distance == "0", True)


def numerals_in_base(rng, base, count):
    """Numerals of one base over the whole extended range, subnormals and
    the guard's edge included."""
    out = []
    for _ in range(count):
        mantissa = "".join(rng.choice(DIGITS[:base]) for _ in range(rng.randint(1, 25)))
        point = rng.randint(0, len(mantissa))
        if point < len(mantissa):
            mantissa = mantissa[:point] + "." + mantissa[point:]
        low, high = rng.choice([(-16470, 16380), (-16445, -16300), (-40, 40)])
        exponent = rng.randint(int(low / math.log2(base)), int(high / math.log2(base)))
        sign = rng.choice(["", "-"])
        out.append(sign + mantissa + "_" + ("-" if exponent < 0 else "") +
                   to_base(abs(exponent), base))
    return out


def stored_of(lines_in, base_from, base_to=16):
    """The stored image of each line (None where there is none)."""
    data = "".join(n + "\n" for n in lines_in).encode()
    _, out, _ = run("--json", "-f", str(base_from), "-t", str(base_to), stdin=data)
    return [strict_json(line)["stored"] for line in out.decode().split("\n")[:-1]]


def noted_lines(err):
    """The line numbers stderr says have no round-trip text."""
    noted = set()
    for line in lines(err):
        if "reads back to the stored value" in line:
            noted.add(int(line.split("line ")[1].split(":")[0]))
    return noted


class RoundTrip(unittest.TestCase):
    PAIRS = [(10, 16), (16, 10), (10, 2), (2, 10), (10, 10), (36, 7), (7, 36), (3, 10),
             (35, 36), (36, 35), (2, 3)]

    def test_texts_read_back_and_come_back(self):
        rng = random.Random(21)
        count = 40 if ARGS.runner else 150
        for base_from, base_to in self.PAIRS:
            numerals = numerals_in_base(rng, base_from, count)
            data = "".join(n + "\n" for n in numerals).encode()
            status, out, err = run("-r", "-f", str(base_from), "-t", str(base_to), stdin=data)
            self.assertEqual(status, 0, err)
            texts = lines(out)
            noted = noted_lines(err)
            stored = stored_of(numerals, base_from)
            # Each text, read in the output base, stores the same 10 bytes.
            back = stored_of(texts, base_to)
            for number, (numeral, text, a, b) in enumerate(zip(numerals, texts, stored, back), 1):
                if a is None or number in noted:
                    continue
                self.assertEqual(b, a, f"{numeral} {base_from}->{base_to}: {text}")
                self.assertNotIn("@", text)
            # And back: the text of the value in base A, from either side.
            data_back = "".join(t + "\n" for t in texts).encode()
            _, again, _ = run("-r", "-f", str(base_to), "-t", str(base_from), stdin=data_back)
            _, direct, _ = run("-r", "-f", str(base_from), "-t", str(base_from), stdin=data)
            for number, (numeral, x, y, a) in enumerate(
                    zip(numerals, lines(again), lines(direct), stored), 1):
                if a is None or number in noted:
                    continue
                self.assertEqual(x, y, f"{numeral} {base_from}->{base_to}->{base_from}")

    def test_reads_back_and_round_trip_in_json(self):
        rng = random.Random(22)
        for base_from, base_to in [(10, 16), (36, 7), (2, 10)]:
            numerals = numerals_in_base(rng, base_from, 30 if ARGS.runner else 100)
            data = "".join(n + "\n" for n in numerals).encode()
            _, out, _ = run("--json", "-f", str(base_from), "-t", str(base_to), stdin=data)
            records = [strict_json(line) for line in out.decode().split("\n")[:-1]]
            _, rt, _ = run("-r", "-f", str(base_from), "-t", str(base_to), stdin=data)
            plain_back = stored_of([r["text"] for r in records], base_to)
            for record, text, back in zip(records, lines(rt), plain_back):
                if record["stored"] is None:
                    self.assertIsNone(record["reads_back"])
                    continue
                self.assertEqual(record["reads_back"], back == record["stored"], record)
                if record["round_trip"] is None:
                    self.assertEqual(text, record["text"])
                else:
                    self.assertEqual(text, record["round_trip"])

    def test_plain_text_and_a_note_where_there_is_none(self):
        data = b"0.1\n1e-100000000111101@2\n1e3000\n1e4930\n12G\n255\n"
        status, out, err = run("-r", "-t", "2", stdin=data)
        self.assertEqual(status, 1)  # for 12G alone
        # 10^3000 is about 2^9966: 9966 - 4929 fraction digits keep the
        # guard's count at 4930, beyond the 4,096 bytes of an earlier limit.
        self.assertTrue(lines(out)[2].startswith("1.1011100011100100100110011010100010001"))
        self.assertEqual(len(lines(out)[2]), 1 + 1 + (9965 - 4929) + 2 + 14)
        self.assertEqual(lines(out)[0], "0.0001100110011001100110011001100110011001100110011001100"
                                        "110011001101")
        self.assertEqual(lines(out)[5], "11111111")
        self.assertEqual(lines(err), [
            # In scientific notation 1.0_-100000000111101 stands for 10 (binary)
            # times 2^-16446, a power that is 0.
            "veltrane-cli: line 2: no numeral in base 2 reads back to the stored value "
            "00000000000000000001; the plain text is shown",
            'veltrane-cli: line 5: "12G" is not a numeral in base 10: '
            "'G' at column 3 is not a digit below 10",
        ])
        status, out, err = run("-r", "-t", "10", "--", "1e-100000000111101@2", "-0.1")
        self.assertEqual((status, lines(out)), (0, ["4.0e-4951", "-0.1"]))
        self.assertEqual(lines(err), [
            "veltrane-cli: argument 5: no numeral in base 10 reads back to the stored value "
            "00000000000000000001; the plain text is shown"])

    def test_the_example_in_the_help(self):
        self.assertEqual(run("0.1")[:2], (0, b"0.19999999999999A\n"))
        self.assertEqual(run("-r", "0.1")[:2], (0, b"0.1999999999999999A\n"))
        _, out, _ = run("--explain", "0.1")
        self.assertIn("reads back: no, the text is stored as 3FFBCCCCCCCCCCCCCD00\n"
                      "round trip: 0.1999999999999999A\n", out.decode())


class StandardInput(unittest.TestCase):
    def test_crlf_and_missing_last_line_end(self):
        status, out, _ = run(stdin=b"255\r\n\r\n-1\r\n12@16\r\n7")
        self.assertEqual(lines(out), ["FF", "ERROR", "-1", "12", "7"])
        self.assertEqual(status, 1)

    def test_empty_input(self):
        self.assertEqual(run(stdin=b""), (0, b"", b""))

    def test_line_length_limit(self):
        longest = b" " * 12285 + b"255"
        data = longest + b"\r\n" + longest + b" \n" + b"1" * 100000 + b"\n" + longest
        status, out, _ = run(stdin=data)
        self.assertEqual(lines(out), ["FF", "ERROR", "ERROR", "FF"])
        self.assertEqual(status, 1)

    def test_output_keeps_pace_with_a_pipe(self):
        # Each answer must arrive before the next line is written.
        proc = subprocess.Popen(command("-t", "2"), stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            for numeral, text in [(b"255", b"11111111"), (b"-0.5", b"-0.1"), (b"x", b"ERROR")]:
                proc.stdin.write(numeral + b"\n")
                proc.stdin.flush()
                ready, _, _ = select.select([proc.stdout], [], [], 60)
                self.assertTrue(ready, f"no answer to {numeral!r}")
                self.assertEqual(normalise(proc.stdout.readline(), "stdout").rstrip(b"\n"), text)
            proc.stdin.close()
            self.assertEqual(proc.wait(timeout=60), 1)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            proc.stdout.close()
            proc.stderr.close()

    def test_large_input_in_constant_memory(self):
        # Nine kinds of lines, two of them rejected, repeated to the count.
        pattern = [
            (b"255" + b" " * 60, b"FF"),
            (b" " * 60 + b"-0.5\r", b"-0.8"),
            (b" " * 30 + b"12@16" + b" " * 30, b"12"),
            (b"1e4930", b"+INF"),
            (b"xyz", b"ERROR"),
            (b"", b"ERROR"),
            (b"123456789.123456789e-5", b"4D2.916151E82777"),
            (b"0." + b"0" * 30 + b"1", b"2.073ACCB12D0FF4_-1A"),
            (b"1" * 38, b"8.5BEC12B4B9A40D_+1E"),
        ]
        count = ARGS.lines
        repeats = count // len(pattern)
        count = repeats * len(pattern)
        block = b"".join(n + b"\n" for n, _ in pattern)
        expected_block = b"".join(t + b"\n" for _, t in pattern)
        with tempfile.TemporaryFile() as source, tempfile.TemporaryFile() as sink:
            for _ in range(repeats // 1000):
                source.write(block * 1000)
            source.write(block * (repeats % 1000))
            size = source.tell()
            source.seek(0)
            started = time.monotonic()
            proc = subprocess.Popen(command("--from", "10", "--to", "16"), stdin=source,
                                    stdout=sink, stderr=subprocess.DEVNULL)
            peak_kib = watch_peak_memory(proc)
            seconds = time.monotonic() - started
            self.assertEqual(proc.returncode, 1)
            sink.seek(0)
            out = normalise(sink.read(), "stdout")
        self.assertEqual(out.count(b"\n"), count)
        self.assertEqual(out, expected_block * repeats)
        print(f"\n{count} lines ({size >> 20} MiB) in {seconds:.1f} s", file=sys.stderr)
        if not ARGS.runner:  # (under an emulator the figure would be the emulator's)
            # A million lines are far more than this, so nothing grows with them.
            if ARGS.lines >= 1000000:
                self.assertGreater(size, 32 << 20)
            self.assertIsNotNone(peak_kib)
            print(f"peak resident memory {peak_kib} KiB", file=sys.stderr)
            if ARGS.max_memory_kib:
                self.assertLess(peak_kib, ARGS.max_memory_kib, "peak resident memory in KiB")


class ExitStatus(unittest.TestCase):
    def test_usage_errors(self):
        for args, named in [
            (["--from", "37", "255"], "'--from'"),
            (["-t", "1", "255"], "'-t'"),
            (["-t", "1 6"], "'-t'"),
            (["255", "--to"], "'--to'"),
            (["--bogus", "255"], "'--bogus'"),
            (["-0.5"], "'-0.5'"),
        ]:
            status, out, err = run(*args, stdin=b"255\n")
            self.assertEqual(status, 2, args)
            self.assertEqual(out, b"", args)  # nothing is converted
            self.assertEqual(len(lines(err)), 1, err)
            self.assertIn(named, err.decode(), args)
            if named in ("'--from'", "'-t'", "'--to'"):
                self.assertIn("2 to 36", err.decode())

    def test_help_and_version(self):
        status, out, err = run("--help")
        self.assertEqual((status, err), (0, b""))
        text = out.decode()
        self.assertTrue(text.startswith("Usage: veltrane-cli"), text)
        for word in ("--from", "--to", "--scientific", "--"):
            self.assertIn(word, text)
        self.assertEqual(run("--version"), (0, f"veltrane-cli {ARGS.version}\n".encode(), b""))

    def test_a_numeral_naming_no_number_is_rejected(self):
        # Base 0 from an '@0' suffix admits only an empty numeral, whose
        # value is not a number: ERROR, said on stderr, and exit status 1.
        status, out, err = run("--", "@0", "-@0", "+@00", "@00xyz", "255")
        self.assertEqual(status, 1)
        self.assertEqual(lines(out), ["ERROR", "ERROR", "ERROR", "ERROR", "FF"])
        self.assertEqual(lines(err)[0],
                         "veltrane-cli: argument 2: \"@0\": "
                         "the '@0' base suffix at column 1 names no number")
        self.assertEqual(len(lines(err)), 4)

    def test_overflow_counts_as_converted(self):
        self.assertEqual(run("1e4930", "-t", "10")[0], 0)

    def test_texts_of_outcomes_that_are_numerals(self):
        # From base 24 up -INF and INF are numerals, and from base 28 up
        # ERROR: they convert (status 0, nothing on stderr, a distance), and
        # only a real overflow is an overflow, in the same bases.
        for base in range(23, 37):
            spelled = ["-INF", "INF", "ERROR"]
            overflowing = "-1_" + to_base(5000, base)
            stdin = ("\n".join(spelled + [overflowing]) + "\n").encode()
            status, out, err = run("--from", str(base), "--to", str(base), "--json", stdin=stdin)
            records = [json.loads(line) for line in lines(out)]
            numerals = [n for n in spelled if (n == "ERROR" and base >= 28) or
                        (n != "ERROR" and base >= 24)]
            self.assertEqual(status, 0 if len(numerals) == 3 else 1, base)
            self.assertEqual(len(lines(err)), 3 - len(numerals), (base, err))
            for numeral, record in zip(spelled, records):
                if numeral in numerals:
                    self.assertEqual((record["outcome"], record["text"], record["ulps"]),
                                     ("converted", numeral, 0), (base, record))
                    self.assertTrue(record["reads_back"], (base, record))
                else:
                    self.assertEqual((record["outcome"], record["text"], record["ulps"]),
                                     ("rejected", "ERROR", None), (base, record))
            self.assertEqual((records[3]["outcome"], records[3]["text"], records[3]["ulps"]),
                             ("overflow", "-INF", None), (base, records[3]))
            # --explain shows the distance of a value, and the plain run's
            # exit status is the same.
            status, out, _ = run("--from", str(base), "--to", str(base), "--explain", "--",
                                 *numerals)
            self.assertEqual(status, 0)
            self.assertEqual(out.decode().count("\ndistance:  0 ulp"), len(numerals), base)
            if numerals:
                self.assertEqual(run("--from", str(base), "--to", str(base), "--", *numerals),
                                 (0, ("\n".join(numerals) + "\n").encode(), b""))

    def test_unreadable_input(self):
        if ARGS.windows:
            self.skipTest("needs a program for this system")
        directory = os.open("/", os.O_RDONLY)
        try:
            status, out, err = run(stdin=directory)
        finally:
            os.close(directory)
        self.assertEqual((status, out), (3, b""))
        self.assertIn(b"cannot read standard input before the first line", err)

    def test_unwritable_output(self):
        if ARGS.windows or not os.path.exists("/dev/full"):
            self.skipTest("needs /dev/full and a program for this system")
        with open("/dev/full", "wb") as full:
            status, _, err = run("255", stdout=full)
        self.assertEqual(status, 3)
        self.assertIn(b"cannot write", err)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", action="append", default=[])
    parser.add_argument("--version", default="")
    parser.add_argument("--lines", type=int, default=1000000)
    parser.add_argument("--windows", action="store_true")
    # Peak resident memory allowed for the large input; 0 skips the check
    # (a sanitizer's shadow memory is no measure of the program's).
    parser.add_argument("--max-memory-kib", type=int, default=8 << 10)
    parser.add_argument("program")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
