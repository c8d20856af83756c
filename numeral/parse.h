// Reading numerals: text in a base (2 to 36, or 0 to 99 through an '@'
// suffix) to an ExtReal, every step truncating.
//
// Grammar: [sign] digits [ '.' digit+ ] [ ('e'|'E'|'_') ['-'] ['+'] digit+ ] [ '@' suffix ]
// where 'e'/'E' are exponent markers only in bases below 15 (digit 14 above).
#ifndef VELTRANE_NUMERAL_PARSE_H
#define VELTRANE_NUMERAL_PARSE_H

#include <cstddef>

#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// What parseNumeral found. kParseRejected is 0, so that the verdict reads as
// a bool: true for an accepted numeral, overflowing or not.
enum ParseVerdict {
  kParseRejected = 0,   // a syntax error
  kParseValue,          // a numeral and its value
  kParsePlusOverflow,   // a numeral too large to hold, without '-': "+INF"
  kParseMinusOverflow,  // the same with a leading '-': "-INF"
};

// Digit positions (scale plus integer digits) beyond this count are reported
// as overflow without computing the value. In base 10 this keeps every
// accepted value inside the extended range; in other bases it is only a
// coarse first test (see isLargestFinite in parse.cpp).
constexpr long long kMaxDigitPositions = 4930;

// 1 if c is a digit character ('0'-'9', 'a'-'z', 'A'-'Z') whose value is
// below limit, else 0. Writes the value to *value whenever c is a digit
// character, even when the result is 0; otherwise leaves it untouched.
int digitValue(int* value, char c, int limit);

// Parses the NUL-terminated text in base *base. Returns the verdict, with
// the value in *result: for an overflow the infinity of the numeral's sign,
// which formatNumeral writes as "+INF" or "-INF". Always writes *result;
// writes *base when the text has an '@' followed by a digit character.
// Keeps no state: the verdict and the value are the whole outcome.
ParseVerdict parseNumeral(ExtReal* result, const char* text, int* base);

// The same parse in FastReal arithmetic, bit for bit; needs the mode of an
// X87TruncatingMode in force.
ParseVerdict parseNumeral(FastReal* result, const char* text, int* base);

// parseNumeral(result, text, base) for a caller that knows the text's
// length (the offset of its NUL) and has already looked for its first '@':
// suffix points at it, or is nullptr when the text has none. (A caller that
// copies the text anyway finds both on the way; the parser then skips its
// own search, and reads runs of binary digits eight at a time up to the
// known end.)
ParseVerdict parseNumeralWithSuffixAt(FastReal* result, const char* text, std::size_t length,
                                      const char* suffix, int* base);

#endif
