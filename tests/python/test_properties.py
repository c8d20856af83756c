"""Properties, checked by hypothesis on numerals drawn from the grammar:
round-trip texts read back as the same stored bytes, format(parse(x)) is
convert(x), a batch is its single calls, and every thread count gives the
same batch."""

import random

import numpy as np
from hypothesis import given, strategies as st

import veltrane
from numerals import numeral

bases = st.integers(min_value=2, max_value=36)
# Numerals from the generator of the CLI tests, driven by hypothesis's seed;
# and numerals hypothesis builds itself from the grammar's characters.
generated = st.builds(lambda seed, base: (numeral(random.Random(seed), base), base),
                      st.integers(0, 2**32), bases)
CHARACTERS = "0123456789abcdefghijklmnopqrstuvwxyzABCZ.-+_eE@ "
built = st.tuples(st.text(alphabet=CHARACTERS, max_size=30), bases)
numerals = st.one_of(generated, built)


@given(numerals, bases)
def test_round_trip_texts_read_back(item, to_base):
    text, from_base = item
    facts = veltrane.explain(text, from_base, to_base)
    if facts["round_trip"] is None:
        return
    stored = veltrane.parse(text, from_base)
    assert veltrane.parse(facts["round_trip"], to_base) == stored
    assert veltrane.convert(text, from_base, to_base, round_trip=True) == facts["round_trip"]
    assert veltrane.format(stored, to_base, round_trip=True) == facts["round_trip"]


@given(numerals, bases, st.booleans())
def test_format_of_parse_is_convert(item, to_base, scientific):
    text, from_base = item
    converted = veltrane.convert(text, from_base, to_base, scientific=scientific, errors="coerce")
    if converted is None:
        return
    stored = veltrane.parse(text, from_base)
    assert veltrane.format(stored, to_base, scientific=scientific) == converted


@given(st.lists(numerals, max_size=40), bases, bases, st.booleans())
def test_a_batch_is_its_single_calls(items, from_base, to_base, round_trip):
    texts = [text for text, _ in items]
    singles = [veltrane.convert(t, from_base, to_base, round_trip=round_trip, errors="coerce")
               for t in texts]
    assert veltrane.convert(texts, from_base, to_base, round_trip=round_trip,
                            errors="coerce") == singles
    array = veltrane.convert(np.array(texts, dtype=str), from_base, to_base,
                             round_trip=round_trip, errors="coerce")
    assert array.tolist() == [s or "" for s in singles]


@given(st.lists(numerals, min_size=1, max_size=60), bases, st.integers(1, 7))
def test_any_thread_count_gives_the_same_batch(items, to_base, threads):
    texts = [text for text, _ in items]
    one = veltrane.convert(texts, 10, to_base, errors="coerce", threads=1)
    assert veltrane.convert(texts, 10, to_base, errors="coerce", threads=threads) == one
    assert veltrane.convert(np.array(texts, dtype=object), 10, to_base, errors="coerce",
                            threads=threads).tolist() == [s or "" for s in one]
    assert veltrane.convert(np.array(texts), 10, to_base, errors="coerce",
                            threads=threads).tolist() == [s or "" for s in one]
    # The first failure is the same one whatever the thread count.
    failures = [i for i, s in enumerate(one) if s is None]
    if failures:
        try:
            veltrane.convert(texts, 10, to_base, threads=threads)
        except veltrane.NumeralError as error:
            assert error.index == failures[0]
        else:
            raise AssertionError("no NumeralError")
