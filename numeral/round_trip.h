// The round-trip text: the shortest numeral in an output base that the
// parser, reading it in that base, stores as exactly a given 80-bit value.
//
// The plain text (formatNumeral) keeps maxDigits - 1 digits rounded on a
// guard digit, and the parser's powers truncate, so the plain text often
// reads back to a neighbour of the value: 0.1 stored as 3FFB
// CCCCCCCCCCCCCCCD is 0.19999999999999A in base 16, which reads back as
// 3FFB CCCCCCCCCCCCCD00. Its round-trip text, 0.1999999999999999A, reads
// back as 3FFB CCCCCCCCCCCCCCCD.
#ifndef VELTRANE_NUMERAL_ROUND_TRIP_H
#define VELTRANE_NUMERAL_ROUND_TRIP_H

#include <cstddef>

#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// The longest round-trip text searched for, in bytes: veltrane-cli reads no
// longer numeral.
constexpr std::size_t kRoundTripMaxLength = 12288;

enum RoundTripOutcome {
  kRoundTripFound = 0,  // the text was written
  kRoundTripNone,       // no numeral of the base and notation reads back to the value
  kRoundTripTooLong,    // none of at most maxLength bytes does (longer ones are not sought)
};

// Writes into out (maxLength + 1 bytes; maxLength is taken as at most
// kRoundTripMaxLength) the round-trip text of value in base (2..36): a
// numeral that parseNumeral, reading it in base, accepts without overflow and
// stores as exactly the 10 bytes of value, with
//   - the fewest significant digits (first non-zero digit to last non-zero
//     one; the zeros of the layout below do not count);
//   - among those, the one whose exact value is nearest to value's, and of two
//     as near the one of smaller magnitude;
// laid out as formatNumeral lays out text, in the notation asked for (non-zero
// scientific: scientific notation; 0: standard notation, whatever the
// exponent; the caller passes the notation of the plain text): a '-' for a
// negative value, upper-case digits, no '@' suffix, standard notation with
// the integer zeros and the leading "0." and zeros it needs, scientific
// notation with at least one digit after the point and formatExponent's
// suffix. In scientific notation the zeros after the last significant digit
// are written where, and as many as, the parser's overflow guard needs to
// accept the numeral: a numeral 1.0_+e in base 2 counts e - 1 + 1 digit
// positions, so from e = 4931 up the text is 1. and e - 4929 zeros.
// Zero is "0" (standard) or "0.0" (scientific).
//
// Returns kRoundTripFound with the text in out; otherwise out is "". There is
// none for a NaN, an infinity, -0, a pseudo-denormal or the largest finite
// value (the parser never stores those), for a base outside 2..36, and for
// the values no numeral reaches: mostly subnormal values and a few just
// above them, whose texts would need powers of the base that are subnormal
// or 0 (the README counts them). Texts longer than maxLength are not sought:
// in base 2 from 2^9008 up and in base 3 from 3^9013 up every text is.
RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, ExtReal value, int base,
                                  int scientific);
// The same text computed in FastReal arithmetic, bit for bit; needs the mode
// of an X87TruncatingMode in force. Allocates nothing.
RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, FastReal value, int base,
                                  int scientific);

// True when text, in scientific notation in base (2..36), certainly does not
// read back to the value whose round-trip text in scientific notation,
// roundTripText, is known (kRoundTripFound): text has fewer significant
// digits, and its digits are laid out as those of the search's texts of
// that length, none of which reads back, as the search went past that
// length. False where that does not follow (readBack then tells), for
// instance for a text with zeros after its last significant digit.
bool shorterThanRoundTrip(const char* text, const char* roundTripText, int base);

// The notation formatNumeral writes value in, for base (2..36) and its
// scientific argument: 1 scientific, 0 standard (also for values it writes
// no digits for). Computes the digits' exponent only where the value lies
// near a power of the base or is subnormal. Needs the mode of an
// X87TruncatingMode in force.
int plainNotation(FastReal value, int base, int scientific);

// What parseNumeral stores for text read in base (2..36) into *stored; false
// when it rejects the text or reports overflow (then *stored is not
// written) or when an '@' suffix names another base. Sets the mode of an
// X87TruncatingMode.
bool readBack(const char* text, int base, ExtReal* stored);

// True when readBack gives exactly the 10 bytes of value.
bool readsBack(const char* text, int base, const ExtReal& value);

#endif
