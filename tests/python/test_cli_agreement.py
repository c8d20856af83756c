"""convert and explain against veltrane-cli: random numerals over the whole
grammar, for every pair of bases, plain, scientific and round-trip; the
--json line against explain; each rejected numeral's diagnostic on standard
error against NumeralError."""

import json
import re

import pytest

import veltrane
from numerals import numerals

BASES = range(2, 37)
MODES = [
    ([], {}),
    (["--scientific"], {"scientific": True}),
    (["--round-trip"], {"round_trip": True}),
]


@pytest.mark.parametrize("to_base", BASES)
def test_texts_equal_the_cli_for_every_pair(cli, to_base):
    for from_base in BASES:
        options, kwargs = MODES[(from_base + to_base) % 3]
        batch = numerals(from_base * 100 + to_base, from_base, 8)
        expected, _ = cli(["-f", str(from_base), "-t", str(to_base)] + options, batch)
        got = veltrane.convert(batch, from_base, to_base, errors="coerce", **kwargs)
        assert [text or "ERROR" for text in got] == expected, (from_base, to_base, batch)
        singles = [veltrane.convert(n, from_base, to_base, errors="coerce", **kwargs)
                   for n in batch]
        assert singles == got


@pytest.mark.parametrize("to_base", BASES)
def test_explain_equals_the_json_line(cli, to_base):
    for from_base in range(2 + to_base % 5, 37, 5):
        scientific = (from_base + to_base) % 2 == 1
        batch = numerals(from_base * 1000 + to_base, from_base, 6)
        options = ["-f", str(from_base), "-t", str(to_base), "--json"]
        lines, _ = cli(options + (["--scientific"] if scientific else []), batch)
        assert len(lines) == len(batch)
        for numeral, line in zip(batch, lines):
            assert veltrane.explain(numeral, from_base, to_base, scientific=scientific) == \
                json.loads(line), numeral


MESSAGE = re.compile(r"^veltrane-cli: line (\d+): (.*)$")


@pytest.mark.parametrize("from_base", [2, 8, 10, 16, 36])
def test_numeral_errors_match_the_cli_diagnostics(cli, from_base):
    batch = numerals(7 + from_base, from_base, 400)
    _, errors = cli(["-f", str(from_base), "-t", "10"], batch)
    diagnosed = {}
    for line in errors:
        match = MESSAGE.match(line)
        assert match, line
        diagnosed[int(match.group(1)) - 1] = match.group(2)
    assert diagnosed, "the corpus should hold rejected numerals"
    for i, numeral in enumerate(batch):
        try:
            veltrane.convert(numeral, from_base, 10)
        except veltrane.NumeralError as error:
            assert str(error) == diagnosed.pop(i), numeral
            assert error.numeral == numeral
            if error.column:
                assert f"column {error.column}" in str(error)
    assert not diagnosed, f"the CLI rejected more: {diagnosed}"
