// FastReal on the software instructions: there are no registers and no mode
// to keep, so FastReal is the software arithmetic itself, a 10-byte image
// with the unit version's interface, and X87TruncatingMode does nothing.
// Included through numeric/x87_fast_real.h by numeric/fast_real.h, which
// tells the contract.
#ifndef VELTRANE_NUMERIC_X87_SOFTWARE_FAST_REAL_H
#define VELTRANE_NUMERIC_X87_SOFTWARE_FAST_REAL_H

#include <cstdint>

#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
#include "numeric/product_128.h"
#include "numeric/x87_instructions.h"

class X87TruncatingMode {
 public:
  X87TruncatingMode() {}
  X87TruncatingMode(const X87TruncatingMode&) = delete;
  X87TruncatingMode& operator=(const X87TruncatingMode&) = delete;
};

// The software instructions' common cases, inlined: where both operands are
// normal (biased exponent 1 to 0x7FFE, integer bit set) or zero, the
// instruction's result follows from the fields alone, and FastReal takes it
// here; every other image goes to the instruction itself.
namespace fast_software {

// Normal or a zero of either sign.
inline bool isOrdinary(const ExtReal& x) {
  const ImageClass c = classifyImage(x);
  return c == ImageClass::kNormal || c == ImageClass::kZero;
}

// For ordinary a and b, the sign of a - b as `fcom` orders them: -1, 0 or 1.
// A zero (either sign, significand and exponent 0) has the least magnitude
// and no sign in a comparison; between normals the larger magnitude is the
// larger biased exponent, then the larger significand.
inline int orderOf(const ExtReal& a, const ExtReal& b) {
  const bool zeroA = a.biasedExponent() == 0, zeroB = b.biasedExponent() == 0;
  const bool negativeA = a.signBit() && !zeroA, negativeB = b.signBit() && !zeroB;
  if (negativeA != negativeB) return negativeA ? -1 : 1;
  const unsigned __int128 magnitudeA =
      (static_cast<unsigned __int128>(a.biasedExponent()) << 64) | a.significand();
  const unsigned __int128 magnitudeB =
      (static_cast<unsigned __int128>(b.biasedExponent()) << 64) | b.significand();
  const int order = magnitudeA < magnitudeB ? -1 : magnitudeA > magnitudeB ? 1 : 0;
  return negativeA ? -order : order;
}

// 0 - x for an ordinary x: a normal x changes sign exactly (its negation is
// representable, so the truncation drops nothing), and either zero gives
// +0, as an exact zero difference does when not rounding downward.
inline ExtReal negationOf(const ExtReal& x) {
  if (x.biasedExponent() == 0) return ExtReal::fromBits(0, 0);
  return ExtReal::fromBits(x.significand(), static_cast<std::uint16_t>(x.signAndExponent() ^ 0x8000));
}

// a * b for normal a and b whose truncated product is normal: the exact
// product of the significands has its top bit at 127 or 126, and keeping
// the 64 bits from there down cuts the magnitude, that is truncates toward
// zero; the exponent is the sum of the two, one more for a carry into bit
// 127. Returns false, having written nothing, where the product's exponent
// leaves the normal range (overflow, underflow, subnormal results), which
// the instruction handles.
inline bool normalProduct(const ExtReal& a, const ExtReal& b, ExtReal* product) {
  const Product128 exact = multiply64(a.significand(), b.significand());
  const int carry = static_cast<int>(exact.high >> 63);
  const std::uint64_t significand = carry != 0 ? exact.high : shiftedDown(exact, 63);
  const int biased =
      a.biasedExponent() + b.biasedExponent() - ExtFormat::kExponentBias + carry;
  if (biased < 1 || biased >= ExtFormat::kMaxBiasedExponent) return false;
  // packImage's normal case, with the range already known: the fields
  // directly, as this is the multiplication's common path.
  const std::uint16_t sign = (a.signAndExponent() ^ b.signAndExponent()) & kSignAndExponentSignBit;
  *product = ExtReal::fromBits(significand, static_cast<std::uint16_t>(sign | biased));
  return true;
}

// a + b, or a - b with subtract, for normal a and b whose truncated result
// is normal, by the instruction's own rule (addFinite in x87_software.cpp):
// in fine units of 2^(exponent - 125) of the larger operand, the smaller
// one aligned to it and, past a gap of 62, its lost bits jammed into the
// lowest fine bit, so that cutting the fine result cuts where the exact one
// does. An exact zero is +0. Returns false, having written nothing, where
// the result's exponent leaves the normal range, which the instruction
// handles.
inline bool normalSum(const ExtReal& a, const ExtReal& b, bool subtract, ExtReal* sum) {
  using u128 = unsigned __int128;
  const bool aLarger = a.biasedExponent() != b.biasedExponent()
                           ? a.biasedExponent() > b.biasedExponent()
                           : a.significand() >= b.significand();
  const ExtReal& large = aLarger ? a : b;
  const ExtReal& small = aLarger ? b : a;
  const bool largeNegative = large.signBit() != (subtract && !aLarger);
  const bool smallNegative = small.signBit() != (subtract && aLarger);
  const int gap = large.biasedExponent() - small.biasedExponent();
  const u128 x = static_cast<u128>(large.significand()) << 62;
  u128 y = 1;  // a gap of 126 or more leaves only the jammed bit
  if (gap < 126) {
    const u128 shifted = static_cast<u128>(small.significand()) << 62;
    y = shiftDown128(shifted, gap);
    if (gap > 62 && anyLowBits(shifted, gap)) y |= 1;
  }
  u128 fine;
  if (largeNegative == smallNegative) {
    fine = x + y;
  } else {
    if (x == y) {
      *sum = ExtReal::fromBits(0, 0);
      return true;
    }
    fine = x - y;
  }
  // Normalised to 64 bits, cutting below them; a result of 64 bits or
  // fewer (a difference that cancelled) is exact and moves up.
  const std::uint64_t high = static_cast<std::uint64_t>(fine >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(fine);
  const int top = high != 0 ? 127 - __builtin_clzll(high) : 63 - __builtin_clzll(low);
  const int biased = large.biasedExponent() + top - 125;
  if (biased < 1 || biased >= ExtFormat::kMaxBiasedExponent) return false;
  const std::uint64_t significand =
      top >= 63 ? shiftedLow(fine, top - 63) : low << (63 - top);
  const std::uint16_t sign = largeNegative ? kSignAndExponentSignBit : 0;
  *sum = ExtReal::fromBits(significand, static_cast<std::uint16_t>(sign | biased));
  return true;
}

// The image of a 64-bit integer, as `fild` loads it: exact, +0 for 0.
inline ExtReal imageOfInteger(std::int64_t value) {
  if (value == 0) return ExtReal::fromBits(0, 0);
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int leadingZeros = __builtin_clzll(magnitude);
  return ExtReal::fromBits(
      magnitude << leadingZeros,
      static_cast<std::uint16_t>((negative ? kSignAndExponentSignBit : 0) |
                                 (ExtFormat::kExponentBias + 63 - leadingZeros)));
}

}  // namespace fast_software

class FastReal {
 public:
  FastReal() {}
  explicit FastReal(const int& value) : v_(fast_software::imageOfInteger(value)) {}
  explicit FastReal(const double& value) : v_(value) {}
  explicit FastReal(const float& value) : v_(value) {}
  explicit FastReal(const ExtReal& value) : v_(value) {}
  static FastReal fromInt64(const std::int64_t& value) {
    return FastReal(fast_software::imageOfInteger(value));
  }

  ExtReal toExtReal() const { return v_; }

  FastReal operator+(FastReal b) const { return sum(b, false); }
  FastReal operator-(FastReal b) const { return sum(b, true); }
  FastReal operator*(FastReal b) const {
    ExtReal product;
    if (isNormalImage(v_) && isNormalImage(b.v_) && fast_software::normalProduct(v_, b.v_, &product))
      return FastReal(product);
    return FastReal(v_ * b.v_);
  }
  FastReal operator/(FastReal b) const { return FastReal(v_ / b.v_); }
  FastReal operator+=(FastReal b) { return *this = *this + b; }
  FastReal operator-=(FastReal b) { return *this = *this - b; }
  FastReal operator*=(FastReal b) { return *this = *this * b; }
  FastReal operator/=(FastReal b) { return *this = *this / b; }
  FastReal operator-() const {
    return FastReal(fast_software::isOrdinary(v_) ? fast_software::negationOf(v_) : -v_);
  }

  int operator<(FastReal b) const { return ordered(b) ? order(b) < 0 : v_ < b.v_; }
  int operator<=(FastReal b) const { return ordered(b) ? order(b) <= 0 : v_ <= b.v_; }
  int operator>(FastReal b) const { return ordered(b) ? order(b) > 0 : v_ > b.v_; }
  int operator>=(FastReal b) const { return ordered(b) ? order(b) >= 0 : v_ >= b.v_; }
  int operator==(FastReal b) const { return ordered(b) ? order(b) == 0 : v_ == b.v_; }

 private:
  bool ordered(FastReal b) const {
    return fast_software::isOrdinary(v_) && fast_software::isOrdinary(b.v_);
  }
  int order(FastReal b) const { return fast_software::orderOf(v_, b.v_); }
  FastReal sum(FastReal b, bool subtract) const {
    ExtReal result;
    if (isNormalImage(v_) && isNormalImage(b.v_) &&
        fast_software::normalSum(v_, b.v_, subtract, &result))
      return FastReal(result);
    return FastReal(subtract ? v_ - b.v_ : v_ + b.v_);
  }
  ExtReal v_;
};

// |x| by `fabs`; for x below zero exactly 0 - x.
inline FastReal magnitudeOf(FastReal x) { return FastReal(x87::fabs(x.toExtReal())); }
inline FastReal negatedIf(FastReal x, bool negate) { return negate ? -x : x; }
inline int toInt(FastReal value) { return toInt(value.toExtReal()); }

inline FastReal extLog2(FastReal x) { return FastReal(extLog2(x.toExtReal())); }
inline FastReal extExp2(FastReal x) { return FastReal(extExp2(x.toExtReal())); }
inline FastReal extLogBase(FastReal base, FastReal x) {
  return FastReal(extLogBase(base.toExtReal(), x.toExtReal()));
}
inline FastReal extPow(FastReal base, FastReal exponent) {
  return FastReal(extPow(base.toExtReal(), exponent.toExtReal()));
}

#endif
