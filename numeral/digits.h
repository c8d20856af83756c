// The digit generator: an ExtReal to rounded significant digits in a base.
#ifndef VELTRANE_NUMERAL_DIGITS_H
#define VELTRANE_NUMERAL_DIGITS_H

#include "numeric/ext_real.h"

// Writes the significant digits of |value| in base (clamped into 2..36) as
// upper-case characters, NUL-terminated, into digits[0 .. maxDigits(base)-1]
// and nowhere else; *count gets the number of digits (1 .. maxDigits-1),
// *negative 1 when value < 0, and *exponent the power of the base that the
// first digit stands for: |value| ~ d0.d1d2... * base^exponent. Zero is "0"
// with exponent 0.
void generateDigits(char* digits, int* count, int* negative, int* exponent, ExtReal value,
                    int base);

#endif
