// The error bounds of the round-trip search and their tables: log2 of each
// base in double, which powers are certainly normal, the logarithm of a
// stored value, and DigitFilter, which rules string lengths out from the
// value's digits and the powers' own errors (kept per thread, as the powers
// are) before any string is read.
#ifndef VELTRANE_NUMERAL_ROUND_TRIP_BOUNDS_H
#define VELTRANE_NUMERAL_ROUND_TRIP_BOUNDS_H

#include <cmath>
#include <cstdint>

#include "numeral/round_trip_internal.h"
#include "numeric/ext_real.h"

namespace round_trip {

// log2(base) in double, within a few units in its last place on any C
// library: the margins below (and in logOf's uses) are millions of times
// wider, so no decision they make depends on the library.
struct Log2Table {
  double of[kMaxBase + 1];
  // The scales s with s log2(base) strictly inside (-16370, 16370), one in
  // from each end: those normalPower accepts, and a little fewer.
  int lowestScale[kMaxBase + 1];
  int highestScale[kMaxBase + 1];
  Log2Table() : of(), lowestScale(), highestScale() {
    for (int base = kMinBase; base <= kMaxBase; ++base) {
      of[base] = std::log2(static_cast<double>(base));
      lowestScale[base] = static_cast<int>(std::ceil(-16370.0 / of[base])) + 1;
      highestScale[base] = static_cast<int>(std::floor(16370.0 / of[base])) - 1;
    }
  }
};
inline const Log2Table& log2Table() {
  static const Log2Table table;
  return table;
}

// True when P(s) = extPow(base, s) is certainly normal: base^s lies well
// inside the normal range, which P(s) stays within (see powerErrorBound in
// round_trip_bounds.cpp).
inline bool normalPower(int scale, int base) {
  const double exponent = scale * log2Table().of[base];
  return exponent > -16370.0 && exponent < 16370.0;
}

// log_base of the value in double arithmetic, within about 1e-12.
double logOf(const Stored& value, int base);

// Ruling lengths out from the value's digits.
//
// v0 = trunc(value / P(e)) in [1, base) gives, exactly in integers, x_n =
// v0 base^(n-1) for every n: the value in units of the last digit of an
// n-digit string with first-digit exponent e, whose scale is s = e - n + 1.
// Such a string N (below 2^64, so accumulated exactly) reads back exactly
// when value <= N P(s) < value + its unit, that is N in [value / P(s),
// value+ / P(s)). With P(t) = base^t (1 + d_t) and v0 = (value / P(e))
// (1 - r), 0 <= r < 2^-63:
//   value / P(s) = x_n (1 + d_e) / ((1 - r)(1 + d_s)) >= x_n (1 + p),
//   p = (d_e - d_s) / (1 + d_s),
// and the unit u of a normal value is at most 2^-63 of it, so value+ / P(s)
// = x_n (1 + p) (1 + u) / (1 - r) < x_n (1 + p + 2^-62 (1 + 2^-20)), as
// (1 + u) / (1 - r) < 1 + 2^-62 (1 + 2^-62) and |p| is below 2^-39 where
// the powers' errors are below 2^-40. No N reads back when no integer lies
// in that interval, which x_n's fractional part tells exactly. The slack covers the
// errors of d_e and d_s (errorOfPower), of x_n in double (a few parts in
// 2^53) times p, and of the double arithmetic, with room to spare. Powers
// must be normal and the value normal.
//
// Most lengths are ruled out more cheaply first: with |d_t| at most
// powerErrorBound(t), which grows with |t|, one radius x_n (bound(e) + bound
// of the largest |s| + 2^-60) serves every n; as a fixed-point integer it
// grows by exact products by the base, and an x_n whose fractional part
// lies farther than it from every integer has no N.
class DigitFilter {
 public:
  // From v0's image (normal, in [1, base)), with e the exponent of the
  // power it was divided by. False, and the filter stays off, otherwise.
  bool start(const ExtReal& v0, int e, int base, int prefixDigits);

  // True when no string of n digits (all in the prefix) with first-digit
  // exponent e reads back. With alone, also that the powers of the
  // exponents e - 1 .. e + 2 are normal at that length (see the search).
  bool rulesOut(int n, bool alone) {
    if (n >= limit_) return false;
    if (count_ < n) extendTo(n);
    return (alone ? quick_ : ruledOut_)[n];
  }

 private:
  static constexpr int kMaxDigits = kPowerCount;

  // A radius of 2^63 or more rules nothing out: no fraction lies farther
  // than that from both 0 and 1.
  static constexpr std::uint64_t kSaturated = std::uint64_t{1} << 63;

  // Works out ruledOut_ and quick_ up to length target at least.
  void extendTo(int target);

  int base_ = 10;
  int e_ = 0;
  double errorOfE_ = 0;
  int lowestScale_ = 0;
  int highestScale_ = 0;
  int limit_ = 0;  // 0 while off
  int count_ = 0;
  std::uint64_t fraction_ = 0;
  double magnitude_ = 0;  // x_n, within a few parts in 2^53
  std::uint64_t radius_ = 0;  // the cheap radius of x_n in units of 2^-64
  // kSaturated / base: a radius from there up saturates at the next digit
  // (divided once, not at every digit).
  std::uint64_t saturatedBeforeBase_ = 0;
  bool ruledOut_[kMaxDigits + 1];
  bool quick_[kMaxDigits + 1];
};

}  // namespace round_trip

#endif
