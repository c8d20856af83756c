// Exact arithmetic on stored values: the complete expansion of an 80-bit
// image in a base, and the distance of a formatted text from it, both in
// integers, with no floating-point step.
#ifndef VELTRANE_NUMERAL_EXACT_H
#define VELTRANE_NUMERAL_EXACT_H

#include <cstddef>

#include "numeric/ext_real.h"

// Expansions are cut (not rounded) after this many significant digits.
constexpr int kExactDigitLimit = 1100;

// Room for an expansion: sign, 1,100 digits, the point, the exponent suffix.
constexpr std::size_t kExactTextSize = kExactDigitLimit + 48;

// What an image holds, as the reports name it: classifyImage's classes
// (numeric/ext_image.h) with the NaNs and the pseudo-infinity together.
enum StoredClass {
  kStoredZero,
  kStoredSubnormal,  // biased exponent 0, significand not 0 (pseudo-denormals included)
  kStoredNormal,
  kStoredUnnormal,  // exponent 1..0x7FFE with the integer bit clear
  kStoredInfinity,
  kStoredNotANumber,
};

StoredClass classifyStored(ExtReal value);

// The exponent q of the last place of value's significand: the value is
// significand * 2^q, with q = max(biased exponent, 1) - 16446 (so 2^-16445
// for zero and subnormals). For finite images only.
int lastPlaceExponent(ExtReal value);

// Writes the exact value of a finite image (any class but infinity and NaN)
// in base (2..36) into out (kExactTextSize bytes): '-' when the sign bit is
// set, the first significant digit, '.', the further digits without trailing
// zeros (at least one digit, so zero is "0.0"), then formatExponent's suffix
// for the exponent of the first digit. Digits are upper case. Returns true
// when every non-zero digit is written, false when the expansion was cut at
// kExactDigitLimit significant digits (always so for a fraction in a base
// without the factor 2, unless the fraction ends within the limit). When
// length is not null, it receives the text's length (without the NUL).
bool formatExactValue(char* out, ExtReal value, int base, std::size_t* length = nullptr);

// Reads text as an output numeral of base (2..36): an optional '-', digits
// '0'-'9' and 'A'-'Z' with at most one '.', and an optional suffix of 'e'
// (base 10) or '_' (other bases), a sign and digits of the base. Writes into
// out (size bytes) (text - value) / 2^lastPlaceExponent(value), computed
// exactly and then written as a JSON number of at most six significant
// digits, cut toward zero, without trailing zeros: "-0.2", "51", "0",
// "1.33333e-7". Returns false (out untouched) when text is not such a
// numeral ("+INF"; "ERROR" below base 28) or value is not finite.
bool formatUlpDistance(char* out, std::size_t size, const char* text, int base, ExtReal value);

#endif
