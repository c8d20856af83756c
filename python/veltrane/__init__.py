"""Veltrane: real numerals converted between bases 2 to 36, exactly as
``veltrane-cli`` converts them.

Every value is an x87 80-bit extended real and every arithmetic step
truncates (64-bit significand, rounding toward zero), so the digits are
those of that arithmetic, bit for bit. The work is done by libveltrane.

>>> import veltrane
>>> veltrane.convert("255")
'FF'
>>> veltrane.convert(["ff", "-0.8", "1_10"], from_base=16, to_base=10)
['255', '-0.5', '18446744073709551600']

Batches (lists, tuples, any iterable of ``str``, NumPy arrays) are
converted without the GIL, split over all cores when they are large.
"""

import operator as _operator
import sys as _sys
from typing import Any as _Any

from . import _veltrane

__version__ = "1.0.0"
__all__ = ["NumeralError", "convert", "explain", "format", "parse", "__version__"]

#: The longest numeral read, in bytes of UTF-8, blanks included.
MAX_NUMERAL_LENGTH = _veltrane.MAX_NUMERAL_LENGTH


class NumeralError(ValueError):
    """A numeral that gives no value: it breaks a rule of the grammar, is
    empty, too long, holds a NUL character, or names no number (``@0``).

    ``str(error)`` is what ``veltrane-cli`` writes on standard error about
    the numeral (without its ``veltrane-cli: line N:`` prefix).

    Attributes:
        numeral: the numeral as given.
        rule: the rule broken (``"digit_too_large"``, ``"not_a_digit"``,
            ``"second_point"``, ...), or for a numeral that breaks none the
            outcome: ``"empty"``, ``"too_long"``, ``"nul_byte"`` or
            ``"no_value"``.
        column: the 1-based column (byte of UTF-8) of the fault in the
            numeral without its surrounding blanks; 0 where none applies
            (an empty or too long numeral).
        base: the base the numeral was read in (its ``@`` suffix's, or
            ``from_base``).
        index: the numeral's place in a batch (in an array of several
            dimensions, its place in C order, as ``array.flat[index]``),
            or None for one numeral.

    >>> try:
    ...     convert("12G", to_base=10)
    ... except NumeralError as error:
    ...     print(error, "|", error.rule, error.column, error.base)
    "12G" is not a numeral in base 10: 'G' at column 3 is not a digit below 10 | digit_too_large 3 10
    """

    def __init__(self, message: str, numeral: str, rule: str, column: int, base: int,
                 index: "int | None" = None) -> None:
        super().__init__(message)
        self.numeral = numeral
        self.rule = rule
        self.column = column
        self.base = base
        self.index = index

    def __reduce__(self) -> "tuple[_Any, ...]":
        # Every field, so that the error crosses process boundaries (Dask's
        # workers, multiprocessing) whole.
        return (type(self), (str(self), self.numeral, self.rule, self.column, self.base,
                             self.index))


_veltrane.set_error_class(NumeralError)


_SCIENTIFIC = _veltrane.SCIENTIFIC
_ROUND_TRIP = _veltrane.ROUND_TRIP
_convert_one = _veltrane.convert_one


def _flags(scientific: bool, round_trip: bool) -> int:
    return (_SCIENTIFIC if scientific else 0) | (_ROUND_TRIP if round_trip else 0)


def _base(base: int, name: str) -> int:
    """base as an int from 2 to 36: ValueError for another number, TypeError
    for what is no integer."""
    if isinstance(base, bool):
        raise TypeError(f"{name} must be an int, not bool")
    base = _operator.index(base)
    if not 2 <= base <= 36:
        raise ValueError(f"{name} must be a base from 2 to 36, not {base}")
    return base


def _threads(threads: "int | None") -> int:
    if threads is None:
        return 0
    if isinstance(threads, bool):
        raise TypeError("threads must be None or an int, not bool")
    try:
        threads = _operator.index(threads)
    except TypeError:
        raise TypeError(f"threads must be None or an int, not {type(threads).__name__}") from None
    if threads < 1:
        raise ValueError(f"threads must be None or at least 1, not {threads}")
    # No batch uses more than 256 threads, so any count above is as good.
    return min(threads, 256)


def convert(numerals, from_base=10, to_base=16, *, scientific=False, round_trip=False,
            errors="raise", threads=None):
    """Converts numerals from from_base to to_base as veltrane-cli does.

    numerals is one ``str``, which gives one ``str``; or a NumPy array of
    ``str`` (dtype ``U`` or object), which gives an array of the same shape
    and kind; or any other iterable of ``str`` (list, tuple, pandas Series,
    generator), which gives a list. Each text is what ``veltrane-cli``
    prints for the numeral with the same options: digits, ``+INF`` or
    ``-INF``. A numeral's ``@`` suffix overrides from_base for that numeral.

    Args:
        from_base, to_base: bases from 2 to 36 (``ValueError`` otherwise).
        scientific: scientific notation (``-s``); values too large or too
            small for standard notation switch to it on their own anyway.
        round_trip: the round-trip text (``-r``): the shortest numeral of
            to_base that reads back as the same stored value; where a value
            has none, its plain text.
        errors: ``"raise"`` raises NumeralError for the first numeral that
            gives no value; ``"coerce"`` puts None there (``""`` in an
            array).
        threads: None converts a large batch on all cores and a small one
            on the calling thread; N uses at most N threads (and never
            more than 256). The results are the same, in input order,
            whatever the count.

    Raises:
        NumeralError: a numeral gives no value (with errors="raise").
        ValueError: a base outside 2..36, or a bad errors or threads.
        TypeError: a numeral that is not a str (bytes, None, a number).

    >>> convert("255")
    'FF'
    >>> convert("-0.5", to_base=2, scientific=True)
    '-1.0_-1'
    >>> convert("0.1", round_trip=True)
    '0.1999999999999999A'
    >>> convert(["ff", "12@8", "1_2000"], from_base=16, to_base=10)
    ['255', '10', '+INF']
    >>> convert(["7", "8", "x"], from_base=8, to_base=10, errors="coerce")
    ['7', None, None]
    >>> import numpy
    >>> convert(numpy.array([["a", "b"], ["c", "10"]]), 16, 2)
    array([['1010', '1011'],
           ['1100', '10000']], dtype='<U5')

    On a pandas DataFrame column:

    >>> import pandas
    >>> frame = pandas.DataFrame({"hex": ["ff", "0.8", "-1_2"]})
    >>> frame["dec"] = convert(frame["hex"], from_base=16, to_base=10)
    >>> frame
        hex   dec
    0    ff   255
    1   0.8   0.5
    2  -1_2  -256
    """
    # One numeral first, with the least work before the call.
    flags = (_SCIENTIFIC if scientific else 0) | (_ROUND_TRIP if round_trip else 0)
    if errors == "raise":
        coerce = False
    elif errors == "coerce":
        coerce = True
    else:
        raise ValueError(f'errors must be "raise" or "coerce", not {errors!r}')
    if isinstance(numerals, str):
        if threads is not None:
            _threads(threads)
        return _convert_one(numerals, from_base, to_base, flags, coerce)
    from_base = _base(from_base, "from_base")
    to_base = _base(to_base, "to_base")
    count = _threads(threads)
    numpy = _sys.modules.get("numpy")
    if numpy is not None and isinstance(numerals, numpy.ndarray):
        return _convert_array(numpy, numerals, from_base, to_base, flags, coerce, count)
    if isinstance(numerals, (bytes, bytearray, memoryview)) or numerals is None:
        raise TypeError(f"numerals must be a str or an iterable of str, "
                        f"not {type(numerals).__name__}")
    if not isinstance(numerals, (list, tuple)):
        try:
            numerals = list(numerals)
        except TypeError:
            raise TypeError(f"numerals must be a str or an iterable of str, "
                            f"not {type(numerals).__name__}") from None
    return _veltrane.convert_sequence(numerals, from_base, to_base, flags, coerce, count)


def _convert_array(numpy, numerals, from_base, to_base, flags, coerce, count):
    if numerals.dtype.kind not in "UO":
        raise TypeError(f"numerals must be str: an array of str (dtype U) or of objects, "
                        f"not of dtype {numerals.dtype}")
    # Items of str in the machine's byte order, which the module reads.
    order = numerals.dtype.newbyteorder("=") if numerals.dtype.kind == "U" else None
    flat = numpy.ascontiguousarray(numerals, dtype=order).reshape(-1)
    out = _veltrane.convert_array(flat, from_base, to_base, flags, coerce, count)
    return out.reshape(numerals.shape)


def explain(numeral, from_base=10, to_base=16, *, scientific=False):
    """What ``veltrane-cli --json`` says about one numeral, as a dict.

    The keys: numeral, from, to, text, notation, outcome, stored, class,
    exact, exact_complete, ulps, reads_back, round_trip (see the README's
    table). A numeral that gives no value raises nothing here: its outcome
    says why (``"rejected"``, ``"empty"``, ...).

    >>> facts = explain("0.1", to_base=10)
    >>> facts["stored"], facts["text"], facts["reads_back"]
    ('3FFBCCCCCCCCCCCCCCCD', '0.1', True)
    >>> explain("12G")["outcome"]
    'rejected'
    """
    return _veltrane.explain(numeral, _base(from_base, "from_base"), _base(to_base, "to_base"),
                             _flags(scientific, False))


def parse(numeral, base):
    """Reads numeral in base (its ``@`` suffix overrides base) and gives the
    value stored: the 10 bytes of the 80-bit image in memory order
    (little-endian: significand first, then sign and exponent). A numeral
    that overflows gives the infinity of its sign; one that gives no value
    raises NumeralError.

    >>> parse("0.1", 10).hex()
    'cdccccccccccccccfb3f'
    >>> parse("-1", 10).hex()
    '0000000000000080ffbf'
    """
    if not isinstance(numeral, str):
        raise TypeError(f"a numeral must be a str, not {type(numeral).__name__}")
    return _veltrane.parse(numeral, _base(base, "base"))


def format(stored, base, *, scientific=False, round_trip=False):
    """Writes a stored value (10 bytes, as parse gives) in base, as
    convert writes a numeral's value: ``format(parse(x, b), t)`` is
    ``convert(x, b, t)``. An infinity gives ``+INF`` or ``-INF``; a NaN (or
    an image the x87 rejects) raises ValueError.

    >>> format(parse("0.1", 10), 16)
    '0.19999999999999A'
    >>> format(parse("0.1", 10), 16, round_trip=True)
    '0.1999999999999999A'
    """
    return _veltrane.format(stored, _base(base, "base"), _flags(scientific, round_trip))
