// The numeral formatter: an ExtReal to standard or scientific text.
#ifndef VELTRANE_NUMERAL_FORMAT_H
#define VELTRANE_NUMERAL_FORMAT_H

#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// The size of the output buffer every caller supplies.
constexpr int kFormatBufferSize = 250;

// Writes value in base (2..36, trusted) into out (kFormatBufferSize bytes,
// NUL-terminated). Values that have no digits leave *scientific unchanged:
// an infinity (what the parser stores for a numeral that overflows) is
// "+INF" or "-INF" by its sign, and a NaN (any image isNotANumber accepts) is
// "ERROR". Otherwise *scientific != 0 on entry asks for
// scientific notation; the formatter also switches to it when the exponent
// lies outside -maxDigits < exponent < maxDigits + 2. On return *scientific
// is 1 for scientific text and 0 for standard text. Returns the text's
// length (the offset of its NUL).
//
// A base outside 2..36, which the callers never pass, also gives
// "ERROR" rather than text in a base that the digits were not made in.
int formatNumeral(char* out, ExtReal value, int base, int* scientific);
// The same text in FastReal arithmetic, bit for bit; needs the mode of an
// X87TruncatingMode in force. (By reference: a caller's value that was just
// stored is then read as it was written, not copied by other widths.)
int formatNumeral(char* out, const FastReal& value, int base, int* scientific);

// The layout half of formatNumeral, from what generateDigits returned:
// count (1 .. maxDigits - 1) digit characters, the sign, and the exponent of
// the first digit, for base (2..36) with maxDigits = maxDigits(base). Chooses
// the notation as formatNumeral does, writes at most 2 * maxDigits + 1 bytes
// for standard notation and fewer for scientific notation (within
// kFormatBufferSize for maxDigits <= 64), and sets *scientific likewise.
// Standard text has a point only when digits follow it; scientific text has
// at least one digit after the point and the suffix of formatExponent.
// Returns the text's length.
int layoutNumeral(char* out, const char* digits, int count, int negative, int exponent, int base,
                  int maxDigits, int* scientific);

// Writes the exponent suffix at out: nothing for exponent 0, otherwise 'e'
// (base 10) or '_' (other bases), a sign, and the magnitude in base, upper
// case; then a NUL. At most 35 bytes for any int exponent; a base outside
// 2..36 is taken as the nearest of them. Returns the suffix's length.
int formatExponent(char* out, int exponent, int base);

#endif
