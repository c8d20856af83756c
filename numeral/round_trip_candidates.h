// The candidate digits of the round-trip search: among the texts of the
// shortest length that read back, the one nearest to the stored value, and
// writing its digits out as formatNumeral lays out text.
#ifndef VELTRANE_NUMERAL_ROUND_TRIP_CANDIDATES_H
#define VELTRANE_NUMERAL_ROUND_TRIP_CANDIDATES_H

#include "numeral/round_trip_internal.h"

namespace round_trip {

// The texts of c significant digits with first-digit exponent e are the N
// in [low, high] that are no multiple of the base (a last digit 0 would
// make a shorter text); with more digits than a prefix (extra > 0), N runs
// over the prefixes [low, high] followed by any `extra` digits.
struct Candidates {
  int e;
  u128 low;
  u128 high;
  int extra;
};

// The nearest of a narrow range (extra == 0).
u128 nearestNarrow(const Candidates& range, int base, int c, const Stored& value);

// Writes the text of the c digits of n (below base^c), a string of
// stringLength digits with first-digit exponent e.
void writeNarrow(char* out, u128 n, int c, int stringLength, int e, int base, bool scientific,
                 bool negative);

// Picks the nearest of the candidates of c digits (of up to kExponentsTried
// exponents) and writes its text.
void writeNearestOfMany(char* out, const Candidates* found, int count, int c, int base,
                        bool scientific, bool negative, const Stored& value);

}  // namespace round_trip

#endif
