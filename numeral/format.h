// The numeral formatter: an ExtReal to standard or scientific text.
#ifndef VELTRANE_NUMERAL_FORMAT_H
#define VELTRANE_NUMERAL_FORMAT_H

#include "numeric/ext_real.h"

// The size of the output buffer every caller supplies.
constexpr int kFormatBufferSize = 250;

// Writes value in base (2..36, trusted) into out (kFormatBufferSize bytes,
// NUL-terminated). "+INF"/"-INF" when the last parse overflowed, leaving
// *scientific unchanged. Otherwise *scientific != 0 on entry asks for
// scientific notation; the formatter also switches to it when the exponent
// lies outside -maxDigits < exponent < maxDigits + 2. On return *scientific
// is 1 for scientific text and 0 for standard text.
void formatNumeral(char* out, ExtReal value, int base, int* scientific);

// Writes the exponent suffix at out: nothing for exponent 0, otherwise 'e'
// (base 10) or '_' (other bases), a sign, and the magnitude in base, upper
// case; then a NUL.
void formatExponent(char* out, int exponent, int base);

#endif
