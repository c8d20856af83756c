// Reading numerals: text in a base (2 to 36, or 0 to 99 through an '@'
// suffix) to an ExtReal, every step truncating.
//
// Grammar: [sign] digits [ '.' digit+ ] [ ('e'|'E'|'_') ['-'] ['+'] digit+ ] [ '@' suffix ]
// where 'e'/'E' are exponent markers only in bases below 15 (digit 14 above).
#ifndef VELTRANE_NUMERAL_PARSE_H
#define VELTRANE_NUMERAL_PARSE_H

#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// Overflow flags of the last accepted numeral. Every accepted numeral writes
// both (at most one is 1); a rejected one leaves both alone. 0 at start-up.
extern int plusInfinity;
extern int minusInfinity;

// Digit positions (scale plus integer digits) beyond this count are reported
// as overflow without computing the value. In base 10 this keeps every
// accepted value inside the extended range; in other bases it is only a
// coarse first test (see isLargestFinite in parse.cpp).
constexpr long long kMaxDigitPositions = 4930;

// 1 if c is a digit character ('0'-'9', 'a'-'z', 'A'-'Z') whose value is
// below limit, else 0. Writes the value to *value whenever c is a digit
// character, even when the result is 0; otherwise leaves it untouched.
int digitValue(int* value, char c, int limit);

// Parses the NUL-terminated text in base *base. Returns true for a numeral
// (including one too large to hold, reported through the flags) and false for
// a syntax error. Always writes *result; writes *base when the text has an
// '@' followed by a digit character; writes both flags only when it returns
// true. When it reports overflow, *result holds no meaningful value.
bool parseNumeral(ExtReal* result, const char* text, int* base);

// The same parse in FastReal arithmetic, bit for bit; needs the mode of an
// X87TruncatingMode in force.
bool parseNumeral(FastReal* result, const char* text, int* base);

#endif
