"""Random numerals over the whole grammar, well formed and not, for the
Python package's tests: signs, digits of mixed case, points, the exponent
markers e, E and _ with their sign forms (-, +, -+), @ suffixes (decimal or
a letter, right or wrong), blanks around, exponents over the whole range
(overflows and subnormals included), and broken forms (a character replaced,
inserted or dropped)."""

import random

DIGITS = "0123456789abcdefghijklmnopqrstuvwxyz"


def in_base(value, base):
    text = ""
    while True:
        value, d = divmod(value, base)
        text = DIGITS[d] + text
        if value == 0:
            return text


def mixed_case(rng, text):
    return "".join(c.upper() if c.isalpha() and rng.random() < 0.5 else c for c in text)


def suffix(rng, base):
    if rng.random() < 0.5 and 10 <= base <= 35:
        return "@" + DIGITS[base]
    return "@" + str(base)


def well_formed(rng, base):
    """A numeral that base reads: it converts or overflows."""
    digits = "".join(rng.choice(DIGITS[:base]) for _ in range(rng.randint(1, 24)))
    if rng.random() < 0.6 and len(digits) > 1:
        point = rng.randint(0, len(digits) - 1)
        digits = digits[:point] + "." + digits[point:]
    sign = rng.choice(["", "", "-", "+"])
    exponent = ""
    if rng.random() < 0.6:
        # Powers over the whole range and a little beyond it.
        power = int(rng.uniform(-5200, 5200) / (base.bit_length() - 0.5))
        if rng.random() < 0.5:
            power = rng.randint(-30, 30)
        marker = rng.choice("eE_") if base < 15 else "_"
        exponent_sign = ("-" + ("+" if rng.random() < 0.2 else "")) if power < 0 else \
            ("+" if rng.random() < 0.1 else "")
        exponent = marker + exponent_sign + in_base(abs(power), base)
    return sign + mixed_case(rng, digits) + exponent


def numeral(rng, base):
    """A numeral of any shape, mostly well formed, in base (or in the base
    of its @ suffix), possibly with blanks around it."""
    own = base
    at = ""
    if rng.random() < 0.1:
        own = rng.randint(2, 36)
        at = suffix(rng, own)
    text = well_formed(rng, own) + at
    roll = rng.random()
    if roll < 0.08:
        # One character replaced, inserted or dropped.
        i = rng.randint(0, len(text) - 1)
        c = rng.choice(DIGITS + ".-+_eE@ xZ!é")
        text = rng.choice([text[:i] + c + text[i + 1:], text[:i] + c + text[i:],
                           text[:i] + text[i + 1:]])
    elif roll < 0.1:
        text = rng.choice(["", "  ", ".", "-", "1.", "1e", "1_-", "--1", "1.2.3", "1e5e5",
                           "12@", "12@0", "12@G6", "12@1x", "1e+-5", "1e5.5", "0", "-0.0"])
    if rng.random() < 0.05:
        text = " " * rng.randint(1, 2) + text + " " * rng.randint(0, 2)
    return text


def numerals(seed, base, count):
    rng = random.Random(seed)
    return [numeral(rng, base) for _ in range(count)]
