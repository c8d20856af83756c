// The read-back check of the round-trip search: the parser's own steps on a
// string of digits (Reader), in either arithmetic, and the interval of
// prefixes of one string length and scale that read back to a value
// (solveGroup, in round_trip_reader.cpp).
#ifndef VELTRANE_NUMERAL_ROUND_TRIP_READER_H
#define VELTRANE_NUMERAL_ROUND_TRIP_READER_H

#include <cstdint>
#include <type_traits>

#include "numeral/arithmetic.h"
#include "numeral/round_trip_internal.h"
#include "numeric/ext_image.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

namespace round_trip {

// The integer y as the x87 value of equal magnitude (exact: y < 2^64).
inline ExtReal imageOfInteger(std::uint64_t y) { return packImage(false, y, 0); }

// Reads strings of n digits whose first prefixDigits digits are a given
// integer, the rest zeros (or, past K, any digits), at scale s, and tells how
// the stored value compares with the target.
template <class Real>
class Reader {
 public:
  Reader(int base, const ExtReal& target)
      : base_(base), target_(target), baseValue_(base) {}

  // Sets the string length and scale; false when every string of them
  // reads as 0 (the power underflowed), which never equals the target.
  bool setShape(int n, int scale) {
    n_ = n;
    prefixDigits_ = n < kPowers.prefixDigits[base_] ? n : kPowers.prefixDigits[base_];
    // The fast parser skips the product by the power 1 of scale 0.
    multiply_ = !(std::is_same<Real, FastReal>::value && scale == 0);
    power_ = Arithmetic<Real>::power(base_, scale);
    const ExtReal image = imageOf(power_);
    return !(image.biasedExponent() == 0 && image.significand() == 0);
  }
  int prefixDigits() const { return prefixDigits_; }
  const Real& power() const { return power_; }
  bool multiplies() const { return multiply_; }

  // -1, 0 or 1 as the value stored for a string that accumulated to a is
  // below, equal to or above the target.
  int compareAccumulated(const ExtReal& a) const {
    Real v(a);
    if (multiply_) v = v * power_;
    return v < target_ ? -1 : (v == target_ ? 0 : 1);
  }

  // -1, 0 or 1 as the value stored for the string with this prefix is below,
  // equal to or above the target. Results past the largest finite value
  // (which the parser reports as overflow) come out above.
  int compare(u128 prefix) const {
    Real a = accumulate(prefix);
    for (int i = prefixDigits_; i < n_; ++i) appendZero(&a);
    if (multiply_) a = a * power_;
    return a < target_ ? -1 : (a == target_ ? 0 : 1);
  }

 private:
  // The prefix's digits from +0, as Mantissa<Real> in parse.cpp: for
  // FastReal the exact integer while the digits stay below 2^64, then the
  // literal steps; for ExtReal the literal steps throughout.
  Real accumulate(u128 prefix) const {
    int digits[kPowerCount];
    int count = 0;
    if (std::is_same<Real, FastReal>::value) {
      while (prefix >> 64 != 0) {
        digits[count++] = static_cast<int>(prefix % static_cast<unsigned>(base_));
        prefix /= static_cast<unsigned>(base_);
      }
      Real a(imageOfInteger(static_cast<std::uint64_t>(prefix)));
      while (count > 0) appendDigit(&a, digits[--count]);
      return a;
    }
    for (int i = 0; i < prefixDigits_; ++i) {
      digits[count++] = static_cast<int>(prefix % static_cast<unsigned>(base_));
      prefix /= static_cast<unsigned>(base_);
    }
    Real a(0.0);
    while (count > 0) appendDigit(&a, digits[--count]);
    return a;
  }
  void appendDigit(Real* a, int digit) const {
    *a = *a * baseValue_;
    *a = *a + Real(digit);
  }
  // For FastReal adding +0 to a positive value is left out: it changes no bit.
  void appendZero(Real* a) const {
    *a = *a * baseValue_;
    if (!std::is_same<Real, FastReal>::value) *a = *a + Real(0);
  }

  int base_;
  Real target_;
  Real baseValue_;
  int n_ = 0;
  int prefixDigits_ = 0;
  bool multiply_ = true;
  Real power_;
};

// The prefixes of one (n, s) that read back: [low, high], or none.
struct Group {
  int n = -1;
  int scale = 0;
  int prefixDigits = 0;
  bool zeroPower = false;  // P(s) is 0: every string reads as 0
  bool empty = true;
  u128 low = 0;
  u128 high = 0;
};

// Finds the prefixes of (n, s) that read back to the target; the reader
// is set to (n, s). Defined for ExtReal and FastReal.
template <class Real>
void solveGroup(Reader<Real>* reader, const Real& target, int base, int n, int scale,
                Group* group);

}  // namespace round_trip

#endif
