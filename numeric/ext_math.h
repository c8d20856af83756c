// Logarithms and powers to any base, built only from the x87 base-2
// primitives (`fyl2x`, `f2xm1`, `fscale`, `frndint`), every step truncating.
#ifndef VELTRANE_NUMERIC_EXT_MATH_H
#define VELTRANE_NUMERIC_EXT_MATH_H

#include "numeric/ext_real.h"

// Exactly 2^64, computed at start-up as extPow(2, 64) after the conversion
// state's initialiser (see startup.h). Read-only afterwards.
extern ExtReal twoPow64;

// log2(x) by one `fyl2x`: exact for powers of two; +0 for 1, -inf for +-0,
// NaN below zero or for a NaN, +inf for +inf.
ExtReal extLog2(ExtReal x);
// 2^x as 2^trunc(x) * (2^frac(x) - 1 + 1): exact for integral x in range; a
// NaN for +-inf or a NaN; the largest finite value on overflow.
ExtReal extExp2(ExtReal x);
// log2(x) / log2(base). Base 2, 4 and 16 divide by exactly 1, 2 and 4.
ExtReal extLogBase(ExtReal base, ExtReal x);
// 2^(exponent * log2(base)). Exact when log2(base) is exact and the product
// is an integer in range; a NaN for a base <= 0; 1 for exponent 0.
ExtReal extPow(ExtReal base, ExtReal exponent);
// Unbiased exponent field of d (bits 52-62, less 1023): -1023 for zeros and
// denormals, 1024 for infinities and NaNs. Uses no floating-point instruction.
int doubleExponent(double d);

// How many digits of `base` the 64-bit significand holds:
// toInt(extLogBase(base, twoPow64)), that is floor(64 / log2(base)).
// 64 for base 2, 19 for base 10, 16 for base 16, 12 for base 36.
int maxDigits(int base);

#endif
