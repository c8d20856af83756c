// The digit generator: an ExtReal to rounded significant digits in a base.
#ifndef VELTRANE_NUMERAL_DIGITS_H
#define VELTRANE_NUMERAL_DIGITS_H

#include "numeric/ext_image.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// Writes the significant digits of |value| in base (clamped into 2..36) as
// upper-case characters, NUL-terminated, into digits[0 .. maxDigits(base)-1]
// and nowhere else; *count gets the number of digits (1 .. maxDigits-1),
// *negative 1 when value < 0, and *exponent the power of the base that the
// first digit stands for: |value| ~ d0.d1d2... * base^exponent. Zero is "0"
// with exponent 0.
//
// maxDigits(base) digits are made and the last one only decides the rounding
// (up when it exceeds base / 2), so at most maxDigits - 1 are kept and base 2
// always truncates.
//
// Values whose scale factor base^exponent is not a normal number (subnormals
// and values within a factor of about base^2 above them) are converted
// exactly in integer arithmetic instead, and a subnormal with p significant
// bits keeps at most max(1, toInt(log_base(2^p)) - 1) digits. Any other image:
// an infinity gives the digits of the largest finite value of its sign; a
// pseudo-denormal is read as the normal number of equal value; a NaN or an
// image the x87 rejects as an operand (see isNotANumber in numeric/ext_image.h) gives "0" with
// exponent 0 and *negative 0.
void generateDigits(char* digits, int* count, int* negative, int* exponent, ExtReal value,
                    int base);
// The same digits in FastReal arithmetic, bit for bit; needs the mode of an
// X87TruncatingMode in force.
void generateDigits(char* digits, int* count, int* negative, int* exponent, FastReal value,
                    int base);
// The same, for a caller that holds value's image already: image must be
// value.toExtReal().
void generateDigits(char* digits, int* count, int* negative, int* exponent, FastReal value,
                    const ExtReal& image, int base);

#endif
