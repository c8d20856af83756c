#!/usr/bin/env python3
"""veltrane-cli --jobs against one thread: the same bytes on standard output
and standard error and the same exit status, whatever the lines; the same
handling of a read error and of a full output device; bounded memory.

    jobs_test.py [--lines N] [--max-memory-kib K] PROGRAM
"""

import argparse
import os
import pty
import random
import subprocess
import sys
import tempfile
import time
import unittest

ARGS = None
DIGITS = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"


def run(args, stdin, stdout=subprocess.PIPE):
    result = subprocess.run([ARGS.program] + args, stdin=stdin, stdout=stdout,
                            stderr=subprocess.PIPE, timeout=600)
    return result.returncode, result.stdout, result.stderr


def random_line(rng):
    """Good, rejected, overflowing, empty, over-long and NUL-bearing lines."""
    kind = rng.random()
    if kind < 0.55:
        digits = "".join(rng.choice(DIGITS[:10]) for _ in range(rng.randint(1, 20)))
        if rng.random() < 0.5:
            point = rng.randint(0, len(digits) - 1)
            digits = digits[:point] + "." + digits[point:]
        if rng.random() < 0.4:
            digits += "e" + rng.choice(["", "-", "+"]) + str(rng.randint(0, 400))
        return (rng.choice(["", "-", " "]) + digits + rng.choice(["", " ", "\r"])).encode()
    if kind < 0.65:
        return rng.choice([b"1e4930", b"-1e5000", b"ff_zzz@36", b"1_3rz@36"])
    if kind < 0.75:
        return rng.choice([b"12G", b"1..2", b"5.", b"1e", b"@", b"12@1x", b"--3", b"@0"])
    if kind < 0.8:
        return rng.choice([b"", b"   ", b"\r"])
    if kind < 0.85:
        # The longest reports: bytes that --json and --explain write escaped.
        return rng.choice([b"1", b"\x01", b"\xff"]) * rng.choice([12288, 12289, 13000])
    if kind < 0.9:
        return b"12\x003"
    if kind < 0.95:
        return bytes(rng.randrange(256) for _ in range(rng.randint(1, 12))).replace(b"\n", b"")
    return "".join(rng.choice(DIGITS[:16]) for _ in range(rng.randint(1, 16))).encode() + b"@16"


class SameAsOneThread(unittest.TestCase):
    def expect_same(self, args, data, jobs=(2, 3, 8)):
        with tempfile.TemporaryFile() as source:
            source.write(data)
            source.seek(0)
            single = run(args, source)
            for n in jobs:
                source.seek(0)
                self.assertEqual(run(["-j", str(n)] + args, source), single, (args, n))
        return single

    def test_random_lines_in_every_mode(self):
        rng = random.Random(20261209)
        for final_newline in (True, False):
            data = b"\n".join(random_line(rng) for _ in range(ARGS.lines))
            if final_newline:
                data += b"\n"
            for args in (["-t", "10"], ["-s", "-t", "2"], ["--json", "-t", "7"],
                         ["--explain"], ["-r", "-t", "10"], ["-f", "16", "-t", "36"]):
                status, out, err = self.expect_same(args, data)
                self.assertEqual(status, 1)  # rejected lines are among them
                self.assertTrue(err.startswith(b"veltrane-cli: line "), err[:80])

    def test_short_inputs_and_all_cores(self):
        for data in (b"", b"255", b"255\n", b"x\n255", b"\xef\xbb\xbf255\n7\n"):
            self.expect_same([], data, jobs=(0, 2, 8))

    def test_long_lines_across_reads_and_chunks(self):
        # Lines around the length where a line stops being kept whole, and
        # lines longer than one read of the input, with CR LF ends, after a
        # byte order mark, and at the very end without a line end.
        cases = []
        for length in (16381, 16382, 16383, 16384, 16385, 65535, 65536, 70000, 200000):
            for digit, end in ((b"7", b"\n"), (b"1", b"\r\n"), (b"\x00", b"\r\r\n")):
                cases.append(digit * length + end + b"255\n")
        for lead in (b"", b"\xef\xbb\xbf", b"12\n" * 5000):
            data = lead + b"".join(cases) + b"8" * 70000 + b"\r"
            self.expect_same(["-t", "10"], data, jobs=(2, 3))
            self.expect_same(["--json"], data[:400000], jobs=(2,))

    def test_input_in_pieces(self):
        # Pieces written one at a time into a pipe, split inside lines, CR
        # LF pairs and the byte order mark: the lines and answers are those
        # of one thread.
        pieces = [b"\xef", b"\xbb\xbf2", b"55\r", b"\n1", b"6\n\n", b"x", b"y\n", b"0.5"]
        results = []
        for jobs in ("1", "2", "3"):
            proc = subprocess.Popen([ARGS.program, "-j", jobs, "-t", "2"], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            for piece in pieces:
                proc.stdin.write(piece)
                proc.stdin.flush()
                time.sleep(0.05)
            out, err = proc.communicate(timeout=60)
            results.append((proc.returncode, out, err))
        self.assertEqual(results[0][:2], (1, b"11111111\n10000\nERROR\nERROR\n0.1\n"))
        self.assertEqual(results[1], results[0])
        self.assertEqual(results[2], results[0])

    def test_read_error_in_the_middle(self):
        # A pseudo-terminal whose other end closes gives EIO once its lines
        # are read: the lines before it are converted, then the message.
        results = []
        for jobs in ("1", "2", "3"):
            master, slave = pty.openpty()
            os.write(slave, b"255\nxyz\n" * 50 + b"16\n")
            proc = subprocess.Popen([ARGS.program, "-j", jobs], stdin=master,
                                    stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            time.sleep(0.5)
            os.close(slave)
            out, err = proc.communicate(timeout=60)
            os.close(master)
            results.append((proc.returncode, out, err))
        self.assertEqual(results[0][0], 3)
        self.assertIn(b"cannot read standard input after line 101: ", results[0][2])
        self.assertEqual(results[0][1].count(b"\n"), 101)
        self.assertEqual(results[1], results[0])
        self.assertEqual(results[2], results[0])

    def test_full_output_device(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("needs /dev/full")
        data = b"255\n0.1\n" * 200000
        results = []
        for jobs in ("1", "2", "8"):
            with tempfile.TemporaryFile() as source, open("/dev/full", "wb") as full:
                source.write(data)
                source.seek(0)
                results.append(run(["-j", jobs], source, stdout=full))
        self.assertEqual(results[0][0], 3)
        self.assertIn(b"cannot write the output", results[0][2])
        self.assertEqual(results[1], results[0])
        self.assertEqual(results[2], results[0])

    def test_usage_errors(self):
        for value in ("x", "-1", "257", "1.5", ""):
            status, out, err = run(["-j", value, "255"], subprocess.DEVNULL)
            self.assertEqual((status, out), (2, b""), value)
            self.assertIn(b"threads", err)
        self.assertEqual(run(["--jobs"], subprocess.DEVNULL)[0], 2)
        self.assertEqual(run(["--jobs=2", "255"], subprocess.DEVNULL)[1], b"FF\n")

    def test_memory_stays_bounded(self):
        # --json lines of up to 1,100 digits, from two threads: the peak
        # stays far below what the whole output would take.
        lines = ARGS.lines * 10
        with tempfile.TemporaryFile() as source:
            for i in range(lines // 1000):
                source.write(b"".join(b"0.%d\n" % (i * 1000 + k) for k in range(1000)))
            source.seek(0)
            proc = subprocess.Popen([ARGS.program, "-j", "2", "--json", "-t", "7"], stdin=source,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            peak = None
            while proc.poll() is None:
                try:
                    with open(f"/proc/{proc.pid}/status") as f:
                        for field in f:
                            if field.startswith("VmHWM:"):
                                peak = int(field.split()[1])
                except OSError:
                    pass
                time.sleep(0.02)
        self.assertEqual(proc.returncode, 0)
        if ARGS.max_memory_kib and peak is not None:
            print(f"\npeak resident memory with -j 2 --json: {peak} KiB", file=sys.stderr)
            self.assertLess(peak, ARGS.max_memory_kib)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--lines", type=int, default=20000)
    parser.add_argument("--max-memory-kib", type=int, default=64 * 1024)
    parser.add_argument("program")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
