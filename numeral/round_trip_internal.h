// What the files of the round-trip search share: the 128-bit integers that
// strings are counted in, the powers of each base below 2^127 and the
// prefix length K, a text's shape (its string length, scale and bytes), and
// a stored value as significand and binary exponent. How the search works is
// told in round_trip.cpp.
#ifndef VELTRANE_NUMERAL_ROUND_TRIP_INTERNAL_H
#define VELTRANE_NUMERAL_ROUND_TRIP_INTERNAL_H

#include <cstdint>

#include "numeral/digit_alphabet.h"
#include "numeral/parse.h"
#include "numeral/round_trip.h"
#include "numeric/ext_real.h"
#include "numeric/wide_int.h"

namespace round_trip {

using u128 = unsigned __int128;

constexpr int kGuard = static_cast<int>(kMaxDigitPositions);
constexpr std::uint64_t kIntegerBit = 0x8000000000000000ULL;
// A finite value is significand * 2^(max(E, 1) - kPointBias).
constexpr int kPointBias = ExtFormat::kExponentBias + ExtFormat::kSignificandBits - 1;
// The exponents of a value's text: its own, one below (a text just under a
// power of the base) and two above (a subnormal value's texts may be twice
// its value and its power half the ideal one).
constexpr int kExponentsTried = 4;

// The exact comparisons of the search (a text's value against a stored
// value, and the digits of a stored value): they need at most a text of
// kRoundTripMaxLength digits of base 36 (log2(36) < 5.3 bits a digit) times
// 2^16,510 (the subnormal grid and a significand) and a few bits more; a
// fifth more is kept. Only the limbs in use cost time.
constexpr int kNaturalLimbs =
    static_cast<int>((kRoundTripMaxLength * 53 / 10 + 16510) * 6 / 5 / 64 + 1);
using Natural = WideInt<kNaturalLimbs>;

// base^i for i = 0 .. kPowerCount - 1, below 2^127, and K for each base.
constexpr int kPowerCount = 68;
struct Powers {
  u128 of[kMaxBase + 1][kPowerCount];
  int prefixDigits[kMaxBase + 1];
  constexpr Powers() : of(), prefixDigits() {
    for (int base = kMinBase; base <= kMaxBase; ++base) {
      u128 p = 1;
      int k = 1;
      for (int i = 0; i < kPowerCount; ++i) {
        of[base][i] = p;
        if (p < (static_cast<u128>(1) << 64)) k = i + 2;
        if (p <= (~static_cast<u128>(0) >> 8)) p *= static_cast<u128>(base);
      }
      prefixDigits[base] = k;
    }
  }
};
inline constexpr Powers kPowers;

inline u128 powerOf(int base, int i) { return kPowers.of[base][i]; }

// The digits of an exponent suffix: 'e' or '_', the sign and the magnitude.
// The magnitude's digits are counted against the powers of the base, not
// by divisions (a division by a base known only at run time is slow).
inline int suffixLength(int exponent, int base) {
  if (exponent == 0) return 0;
  const unsigned magnitude =
      exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
  // base^32 > 2^32 > magnitude for every base, so the count stops by 32.
  int digits = 1;
  while (magnitude >= kPowers.of[base][digits]) ++digits;
  return 2 + digits;
}

// The string length n and scale s of a text of c significant digits with
// first-digit exponent e, and its length in bytes without the sign. Texts of
// one (n, s) differ only in their digits: a text of c digits is a string of
// n whose last n - c digits are zero.
struct Shape {
  int n;
  int scale;
  int bytes;
  bool accepted;  // the parser's guard admits it
};

inline Shape shapeOf(int c, int e, bool scientific, int suffixBytes) {
  Shape shape;
  if (scientific) {
    // One integer digit; the guard needs scale + 1 <= kGuard.
    int fraction = c == 1 ? 1 : c - 1;
    const int guardFraction = e + 1 - kGuard;
    if (guardFraction > fraction) fraction = guardFraction;
    shape.n = fraction + 1;
    shape.scale = e - fraction;
    shape.bytes = 2 + fraction + suffixBytes;
    shape.accepted = true;
    return shape;
  }
  if (e >= 0) {
    const int integerDigits = e + 1;
    shape.n = c > integerDigits ? c : integerDigits;
    shape.scale = c > integerDigits ? integerDigits - c : 0;
    shape.bytes = c > integerDigits ? c + 1 : integerDigits;
    shape.accepted = integerDigits + shape.scale <= kGuard;
    return shape;
  }
  // "0." and -e - 1 zeros before the digits.
  shape.n = c;
  shape.scale = e + 1 - c;
  shape.bytes = 2 + (-e - 1) + c;
  shape.accepted = true;
  return shape;
}

// A stored value m * 2^q, m its significand.
struct Stored {
  std::uint64_t significand;
  int binaryExponent;
};

inline Stored storedOf(const ExtReal& image) {
  const int biased = image.biasedExponent();
  return {image.significand(), (biased == 0 ? 1 : biased) - kPointBias};
}

}  // namespace round_trip

#endif
