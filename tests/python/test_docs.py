"""The examples in the package's help run and give what they show."""

import doctest

import veltrane


def test_help_examples():
    failed, attempted = doctest.testmod(veltrane, optionflags=doctest.NORMALIZE_WHITESPACE)
    assert attempted >= 15
    assert failed == 0


def test_help_shows_an_example():
    for function in (veltrane.convert, veltrane.explain, veltrane.parse, veltrane.format):
        assert ">>> " in function.__doc__
