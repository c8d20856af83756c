"""The package's calls, case by case: results, shapes and kinds, errors and
their fields, arguments of the wrong type, and stored values."""

import os
import pickle
import subprocess
import sys

import numpy as np
import pytest

import veltrane
from veltrane import NumeralError

# numeral, from, to, options, text (as veltrane-cli prints it)
TEXTS = [
    ("255", 10, 16, {}, "FF"),
    ("ff.8", 16, 10, {}, "255.5"),
    ("-0.5", 10, 2, {"scientific": True}, "-1.0_-1"),
    ("3.25", 10, 2, {"scientific": True}, "1.101_+1"),
    ("0.1", 10, 16, {}, "0.19999999999999A"),
    ("0.1", 10, 16, {"round_trip": True}, "0.1999999999999999A"),
    ("0.1", 10, 10, {"round_trip": True}, "0.1"),
    ("12@16", 10, 10, {}, "18"),
    ("  12@16 ", 10, 10, {}, "18"),
    ("1e4930", 10, 10, {}, "+INF"),
    ("-1e4930", 10, 10, {}, "-INF"),
    ("1_3rz", 36, 10, {}, "+INF"),
    ("777", 8, 10, {}, "511"),
    ("1.1@g", 10, 10, {}, "1.0625"),
]


@pytest.mark.parametrize("numeral, from_base, to_base, options, text", TEXTS)
def test_texts(numeral, from_base, to_base, options, text):
    assert veltrane.convert(numeral, from_base, to_base, **options) == text
    assert veltrane.convert([numeral], from_base, to_base, **options) == [text]


def test_version():
    assert veltrane.__version__ == "1.0.0"


# numeral, base, rule, column
ERRORS = [
    ("12G", 10, "digit_too_large", 3),
    ("1-2", 10, "sign_not_first", 2),
    ("1.2.3", 10, "second_point", 4),
    ("5.", 10, "point_without_digit", 2),
    ("1e5e5", 10, "second_exponent", 4),
    ("1e", 10, "exponent_without_digit", 2),
    ("1e+-5", 10, "exponent_sign_order", 4),
    ("1e5.5", 10, "point_in_exponent", 4),
    ("12@", 10, "suffix_missing", 3),
    ("12@G6", 10, "suffix_after_letter", 5),
    ("12@1x", 10, "suffix_second_not_decimal", 5),
    ("12!", 10, "not_a_digit", 3),
    ("   ", 10, "empty", 0),
    ("", 10, "empty", 0),
    ("1\x002", 10, "nul_byte", 2),
    ("1" * (veltrane.MAX_NUMERAL_LENGTH + 1), 10, "too_long", 0),
]


@pytest.mark.parametrize("numeral, base, rule, column", ERRORS)
def test_numeral_errors(numeral, base, rule, column):
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(numeral, base, 16)
    error = raised.value
    assert isinstance(error, ValueError)
    assert (error.numeral, error.rule, error.base, error.index) == (numeral, rule, base, None)
    if rule not in ("empty", "too_long"):
        assert error.column == column
    assert str(error)
    # Whole after pickling, as when it comes back from another process.
    copy = pickle.loads(pickle.dumps(error))
    assert (str(copy), copy.numeral, copy.rule, copy.column, copy.base) == \
        (str(error), error.numeral, error.rule, error.column, error.base)
    # parse reports the same rule.
    with pytest.raises(NumeralError) as parsed:
        veltrane.parse(numeral, base)
    assert parsed.value.rule == rule


def test_the_error_of_a_suffix_base_names_that_base():
    with pytest.raises(NumeralError) as raised:
        veltrane.convert("19@8", 10, 16)
    assert (raised.value.base, raised.value.rule, raised.value.column) == (8, "digit_too_large", 2)


def test_a_batch_raises_for_its_first_failure():
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(["1", "2", "!", "1.2.3"], 10, 16)
    assert (raised.value.numeral, raised.value.index, raised.value.rule) == ("!", 2, "not_a_digit")
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(np.array(["1", "1.2.3", "x"]), 10, 16)
    assert (raised.value.numeral, raised.value.index) == ("1.2.3", 1)


def test_coerce():
    assert veltrane.convert("x", errors="coerce") is None
    assert veltrane.convert(["10", "x", "1e9999"], 10, 10, errors="coerce") == ["10", None, "+INF"]
    out = veltrane.convert(np.array(["10", "x"]), 10, 10, errors="coerce")
    assert out.tolist() == ["10", ""]
    out = veltrane.convert(np.array(["10", "x"], dtype=object), 10, 10, errors="coerce")
    assert out.dtype == object and out.tolist() == ["10", ""]


@pytest.mark.parametrize("bad", [(1, 16), (37, 16), (10, 0), (10, 37), (-10, 10), (2**70, 10),
                                 (10, -2**70)])
def test_bad_bases_raise_value_error(bad):
    for call in (lambda: veltrane.convert("1", *bad),
                 lambda: veltrane.convert(["1"], *bad),
                 lambda: veltrane.convert(np.array(["1"]), *bad),
                 lambda: veltrane.explain("1", *bad)):
        with pytest.raises(ValueError) as raised:
            call()
        assert type(raised.value) is ValueError
    with pytest.raises(ValueError) as raised:
        veltrane.parse("1", bad[0] if bad[0] not in range(2, 37) else bad[1])
    assert type(raised.value) is ValueError


@pytest.mark.parametrize("options", [{"errors": "ignore"}, {"threads": 0}, {"threads": -2}])
def test_bad_options_raise_value_error(options):
    for numerals in (["1"], "1"):
        with pytest.raises(ValueError):
            veltrane.convert(numerals, **options)


@pytest.mark.parametrize("base", [10.0, "10", None, True])
def test_bases_must_be_integers(base):
    for call in (lambda: veltrane.convert("1", base), lambda: veltrane.convert(["1"], 10, base),
                 lambda: veltrane.explain("1", base), lambda: veltrane.parse("1", base),
                 lambda: veltrane.format(bytes(10), base)):
        with pytest.raises(TypeError):
            call()


@pytest.mark.parametrize("threads", [1.5, "2", True])
def test_threads_must_be_a_count(threads):
    for numerals in (["1"], "1"):
        with pytest.raises(TypeError):
            veltrane.convert(numerals, threads=threads)
    assert veltrane.convert(["1"], threads=np.int64(2)) == ["1"]
    # Any count is one: those above what a batch uses too.
    assert veltrane.convert(["1", "2"], threads=2**63) == ["1", "2"]
    assert veltrane.convert("1", threads=2**63) == "1"


NOT_STR = [b"12", bytearray(b"12"), None, 12, 1.5, [b"12"], ["1", None], ("1", 2), [["1"]],
           np.array([1, 2]), np.array([b"1"]), np.array(["1", 3], dtype=object),
           lambda: iter([1]), lambda: (n for n in ["1", b"2"]), {"1": 2}.values(), object()]


@pytest.mark.parametrize("value", NOT_STR, ids=lambda v: type(v).__name__)
def test_non_str_numerals_raise_type_error(value):
    for errors in ("raise", "coerce"):
        with pytest.raises(TypeError):
            # A fresh iterator for each call.
            veltrane.convert(value() if callable(value) else value, errors=errors)


def test_an_at_zero_suffix_gives_no_value():
    with pytest.raises(NumeralError):
        veltrane.convert("12@0")
    assert veltrane.convert(["12@0"], errors="coerce") == [None]


@pytest.mark.parametrize("value", [b"1", None, 1, ["1"]], ids=repr)
def test_explain_and_parse_take_only_str(value):
    with pytest.raises(TypeError):
        veltrane.explain(value)
    with pytest.raises(TypeError):
        veltrane.parse(value, 10)


def test_strings_python_cannot_encode_are_rejected_not_crashed():
    for numeral in ["1\ud800", "\udfff"]:
        with pytest.raises(NumeralError) as raised:
            veltrane.convert(numeral)
        assert raised.value.numeral == numeral
        assert veltrane.convert([numeral], errors="coerce") == [None]
        assert veltrane.explain(numeral)["outcome"] == "rejected"


def test_str_subclasses_and_numpy_str_are_numerals():
    class Text(str):
        pass

    assert veltrane.convert([Text("255"), np.str_("255")]) == ["FF", "FF"]
    assert veltrane.convert(Text("255")) == "FF"


def test_iterables_give_lists():
    assert veltrane.convert(("ff", "10"), 16, 10) == ["255", "16"]
    assert veltrane.convert((n for n in ["ff"]), 16, 10) == ["255"]
    assert veltrane.convert([], 16, 10) == []
    assert veltrane.convert(np.array([], dtype=str)).shape == (0,)


@pytest.mark.parametrize("dtype", [str, object])
def test_arrays_keep_their_shape_and_kind(dtype):
    numerals = np.array([["a", "b", "c"], ["10", "ff", "-1_1"]], dtype=dtype)
    out = veltrane.convert(numerals, 16, 10)
    assert out.shape == (2, 3)
    assert out.tolist() == [["10", "11", "12"], ["16", "255", "-16"]]
    assert out.dtype.kind == ("U" if dtype is str else "O")
    # Not contiguous: a column of a Fortran array, every other item.
    assert veltrane.convert(numerals.T[::2], 16, 10).tolist() == [["10", "16"], ["12", "-16"]]
    scalar = veltrane.convert(np.array("ff", dtype=dtype), 16, 10)
    assert scalar.shape == () and scalar.item() == "255"


def test_unicode_array_items_are_utf8_numerals():
    # NumPy keeps code points; the numeral's bytes are their UTF-8.
    out = veltrane.explain("1é")
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(np.array(["1", "1é"]))
    assert (raised.value.numeral, raised.value.column) == ("1é", 2)
    assert out["numeral"] == "1é"


@pytest.mark.parametrize("order", ["C", "F"])
def test_the_index_in_an_array_of_two_dimensions_is_flat(order):
    numerals = np.array([["a", "b", "c"], ["g", "10", "x"]], order=order)
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(numerals, 16)
    assert raised.value.index == 3
    assert numerals.flat[raised.value.index] == raised.value.numeral == "g"


def test_unicode_arrays_of_either_byte_order_and_any_item():
    native = np.array(["ff", "10", "-1_1"])
    swapped = native.astype(native.dtype.newbyteorder("S"))
    assert swapped.dtype.byteorder != native.dtype.byteorder
    for numerals in (native, swapped):
        assert veltrane.convert(numerals, 16, 10).tolist() == ["255", "16", "-16"]
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(np.array(["1", "1G"], dtype=">U2"), 16)
    assert (raised.value.numeral, raised.value.index) == ("1G", 1)
    # An array viewed from other data holds values that are no code point:
    # the error's numeral stands them as U+FFFD, and is a str Python can use.
    viewed = np.array([0x31, 0x110000, 0x7FFFFFFF], dtype=np.uint32).view("<U3")
    with pytest.raises(NumeralError) as raised:
        veltrane.convert(viewed, 10, 10)
    assert raised.value.numeral == "1\ufffd\ufffd"
    assert raised.value.numeral.encode() == b"1\xef\xbf\xbd\xef\xbf\xbd"
    assert raised.value.column == 2


def test_threads_beyond_what_the_system_starts():
    # Under a cap on address space, the system starts only some of the
    # threads asked for: the calling thread converts the rest, and the
    # process lives on with the same results.
    script = """
import resource, numpy as np, veltrane
batch = [f"{i:x}.8" for i in range(20000)]
expected = veltrane.convert(batch, 16, 10, threads=1)
with open("/proc/self/status") as status:
    size = next(int(l.split()[1]) for l in status if l.startswith("VmSize:")) * 1024
resource.setrlimit(resource.RLIMIT_AS, (size + (96 << 20), resource.RLIM_INFINITY))
for numerals in (batch, np.array(batch), np.array(batch, dtype=object)):
    out = veltrane.convert(numerals, 16, 10, threads=256)
    assert list(out) == expected, type(numerals)
print("ok")
"""
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          timeout=300, env=dict(os.environ, OPENBLAS_NUM_THREADS="1"))
    assert (done.returncode, done.stdout) == (0, "ok\n"), done.stderr


def test_explain_gives_the_json_facts():
    facts = veltrane.explain("0.1", 10, 10)
    assert facts == {"numeral": "0.1", "from": 10, "to": 10, "text": "0.1",
                     "notation": "standard", "outcome": "converted",
                     "stored": "3FFBCCCCCCCCCCCCCCCD", "class": "normal",
                     "exact": "1.000000000000000000013552527156068805425093160010874271392822265625e-1",
                     "exact_complete": True, "ulps": -0.2, "reads_back": True, "round_trip": "0.1"}
    assert veltrane.explain("1e4930", 10, 10)["outcome"] == "overflow"
    assert veltrane.explain("12G")["outcome"] == "rejected"


# numeral, base, the stored image (sign and exponent first, as --json shows it)
STORED = [
    ("0.1", 10, "3FFBCCCCCCCCCCCCCCCD"),
    ("1", 10, "3FFF8000000000000000"),
    ("-2", 10, "C0008000000000000000"),
    ("0", 10, "00000000000000000000"),
    ("1e5000", 10, "7FFF8000000000000000"),
    ("-1e5000", 10, "FFFF8000000000000000"),
]


@pytest.mark.parametrize("numeral, base, image", STORED)
def test_parse_gives_the_stored_bytes_little_endian(numeral, base, image):
    stored = veltrane.parse(numeral, base)
    assert isinstance(stored, bytes) and len(stored) == 10
    assert stored[::-1].hex().upper() == image
    assert veltrane.format(stored, base) == veltrane.convert(numeral, base, base)
    assert veltrane.format(bytearray(stored), 16) == veltrane.format(memoryview(stored), 16)


def test_format_checks_its_stored_value():
    with pytest.raises(TypeError):
        veltrane.format("0123456789", 10)
    with pytest.raises(TypeError):
        veltrane.format(None, 10)
    with pytest.raises(ValueError):
        veltrane.format(b"123", 10)
    with pytest.raises(ValueError):
        veltrane.format(bytes(10), 40)
    # The ten bytes of a view with steps are not where its buffer starts.
    image = veltrane.parse("1", 10)
    spread = np.zeros((2, 10), np.uint8)
    spread[0, :5] = np.frombuffer(image[:5], np.uint8)
    spread[1, :5] = np.frombuffer(image[5:], np.uint8)
    for strided in (spread[:, :5], np.frombuffer(image * 2, np.uint8)[::2],
                    memoryview(image * 2)[::2]):
        with pytest.raises(ValueError, match="strided"):
            veltrane.format(strided, 10)
    assert veltrane.format(np.frombuffer(image, np.uint8).reshape(2, 5), 10) == "1"
    assert veltrane.format(memoryview(b"x" + image)[1:], 10) == "1"
    quiet_nan = bytes.fromhex("00000000000000c0ff7f")
    with pytest.raises(ValueError):
        veltrane.format(quiet_nan, 10)
