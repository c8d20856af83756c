// FastReal: the arithmetic of ExtReal without re-initialising the x87 unit
// for every operation.
//
// ExtReal starts each operation with `fninit` and control word 0x0F7F and
// passes values between operations as 10-byte memory images. Both only cost
// time: the mode never changes, and an x87 register holds the full extended
// format, so a value kept in a register is the same value. FastReal issues the
// same instructions (fadd, fsub, fmul, fdiv, fistp, fyl2x, f2xm1, fscale,
// frndint) on register operands and so gives bit-identical results, provided
// control word 0x0F7F is in force: create an X87TruncatingMode first, on the
// same thread, and call no code that changes the control word meanwhile
// (ExtReal operations leave it at 0x0F7F, so they may be mixed in).
//
// Every operation is a volatile asm statement, so the compiler can neither
// fold constants (it would round to nearest), nor replace the instruction,
// nor move it ahead of the mode set-up.
//
// Where the build computes with the software instructions there are no
// registers and no mode to keep: FastReal is then the software arithmetic
// itself, a 10-byte image with the same interface, and X87TruncatingMode
// does nothing.
#ifndef VELTRANE_NUMERIC_FAST_REAL_H
#define VELTRANE_NUMERIC_FAST_REAL_H

#include <cstdint>
#include <cstring>

#include "numeric/ext_format.h"
#include "numeric/ext_math.h"
#include "numeric/ext_real.h"
#include "numeric/x87_instructions.h"

#if VELTRANE_COMPUTES_ON_UNIT

// Puts the calling thread's x87 unit into the mode every operation expects,
// control word 0x0F7F (by `fninit` and the ExtReal set-up, unless the word is
// already in force). The mode stays after destruction, as after any ExtReal
// operation.
// Inline, as it runs once a numeral: when the word is already in force it is
// one `fnstcw` and a comparison.
class X87TruncatingMode {
 public:
  X87TruncatingMode() {
    std::uint16_t cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    if (cw != ExtFormat::kControlWord) setUp();
  }
  X87TruncatingMode(const X87TruncatingMode&) = delete;
  X87TruncatingMode& operator=(const X87TruncatingMode&) = delete;

 private:
  static void setUp();
};

class FastReal {
 public:
  FastReal() {}
  explicit FastReal(const int& value) { __asm__ volatile("fildl %1" : "=t"(v_) : "m"(value)); }
  explicit FastReal(const double& value) { __asm__ volatile("fldl %1" : "=t"(v_) : "m"(value)); }
  explicit FastReal(const float& value) { __asm__ volatile("flds %1" : "=t"(v_) : "m"(value)); }
  explicit FastReal(const ExtReal& value) { __asm__ volatile("fldt %1" : "=t"(v_) : "m"(value)); }
  // `fild` of a 64-bit integer: exact.
  static FastReal fromInt64(const std::int64_t& value) {
    FastReal out;
    __asm__ volatile("fildll %1" : "=t"(out.v_) : "m"(value));
    return out;
  }

  ExtReal toExtReal() const {
    ExtReal out;
    long double v = v_;
    __asm__ volatile("fstpt %0" : "=m"(out) : "t"(v) : "st");
    return out;
  }

  FastReal operator+(FastReal b) const { return binary<'+'>(v_, b.v_); }
  FastReal operator-(FastReal b) const { return binary<'-'>(v_, b.v_); }
  FastReal operator*(FastReal b) const { return binary<'*'>(v_, b.v_); }
  FastReal operator/(FastReal b) const { return binary<'/'>(v_, b.v_); }
  FastReal operator+=(FastReal b) { return *this = *this + b; }
  FastReal operator-=(FastReal b) { return *this = *this - b; }
  FastReal operator*=(FastReal b) { return *this = *this * b; }
  FastReal operator/=(FastReal b) { return *this = *this / b; }
  // 0 - a, as `fldz; fsub`: both zeros give +0.
  FastReal operator-() const {
    long double zero;
    __asm__ volatile("fldz" : "=t"(zero));
    return binary<'-'>(zero, v_);
  }

  // The relations `fcom` gives, read from `fcomi`'s flags by the compiler's
  // own comparisons: every comparison with a NaN (or an operand the unit
  // rejects, which both instructions report as unordered) is 0.
  int operator<(FastReal b) const { return v_ < b.v_; }
  int operator<=(FastReal b) const { return v_ <= b.v_; }
  int operator>(FastReal b) const { return v_ > b.v_; }
  int operator>=(FastReal b) const { return v_ >= b.v_; }
  int operator==(FastReal b) const { return v_ == b.v_; }

  long double raw() const { return v_; }
  static FastReal fromRaw(long double v) {
    FastReal out;
    out.v_ = v;
    return out;
  }

 private:
  template <char op>
  static FastReal binary(long double a, long double b) {
    long double r;
    // a on top, b beneath, result in st(0): the object is the left operand.
    if constexpr (op == '+') __asm__ volatile("fadd %%st(1), %%st" : "=t"(r) : "0"(a), "u"(b));
    if constexpr (op == '-') __asm__ volatile("fsub %%st(1), %%st" : "=t"(r) : "0"(a), "u"(b));
    if constexpr (op == '*') __asm__ volatile("fmul %%st(1), %%st" : "=t"(r) : "0"(a), "u"(b));
    if constexpr (op == '/') __asm__ volatile("fdiv %%st(1), %%st" : "=t"(r) : "0"(a), "u"(b));
    return fromRaw(r);
  }
  long double v_;
};

// |x| by `fabs`. For x below zero that is exactly 0 - x, the literal
// negation; -0 and +0 give +0, as 0 - x does for both.
inline FastReal magnitudeOf(FastReal x) {
  long double r;
  __asm__ volatile("fabs" : "=t"(r) : "0"(x.raw()));
  return FastReal::fromRaw(r);
}

// negate ? 0 - x : x, both computed and the one chosen by `fcmove`, so that
// a sign that changes from one numeral to the next costs no branch. 0 - x is
// the literal negation's own `fsub`.
inline FastReal negatedIf(FastReal x, bool negate) {
  long double r;
  const int flag = negate ? 1 : 0;
  __asm__ volatile(
      "fldz\n\t"
      "fsub %%st(1), %%st\n\t"
      "testl %2, %2\n\t"
      "fcmove %%st(1), %%st\n\t"
      "fstp %%st(1)"
      : "=t"(r)
      : "0"(x.raw()), "r"(flag)
      : "cc");
  return FastReal::fromRaw(r);
}

inline int toInt(FastReal value) {
  int result;
  long double v = value.raw();
  __asm__ volatile("fistpl %0" : "=m"(result) : "t"(v) : "st");
  return result;
}

// The same steps as extLog2, extExp2, extLogBase and extPow, in registers.
inline FastReal extLog2(FastReal x) {
  long double r;
  const long double one = 1;
  __asm__ volatile("fyl2x" : "=t"(r) : "0"(x.raw()), "u"(one) : "st(1)");
  return FastReal::fromRaw(r);
}

inline FastReal extExp2(FastReal x) {
  long double integerPart;
  __asm__ volatile("frndint" : "=t"(integerPart) : "0"(x.raw()));
  const FastReal fraction = x - FastReal::fromRaw(integerPart);
  long double fractionPower;
  __asm__ volatile("f2xm1" : "=t"(fractionPower) : "0"(fraction.raw()));
  long double scaled;
  const long double one = 1;
  __asm__ volatile("fscale" : "=t"(scaled) : "0"(one), "u"(integerPart));
  const int oneInt = 1;
  return FastReal::fromRaw(scaled) * (FastReal::fromRaw(fractionPower) + FastReal(oneInt));
}

inline FastReal extLogBase(FastReal base, FastReal x) {
  const FastReal logOfBase = extLog2(base);
  const FastReal logOfX = extLog2(x);
  return logOfX / logOfBase;
}

inline FastReal extPow(FastReal base, FastReal exponent) {
  const FastReal logOfBase = extLog2(base);
  return extExp2(exponent * logOfBase);
}

#else  // the software instructions

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
  return isNormalImage(x) || (x.biasedExponent() == 0 && x.significand() == 0);
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
  const unsigned __int128 exact = static_cast<unsigned __int128>(a.significand()) * b.significand();
  const int carry = static_cast<int>(exact >> 127);
  const std::uint64_t significand = static_cast<std::uint64_t>(exact >> (63 + carry));
  const int biased =
      a.biasedExponent() + b.biasedExponent() - ExtFormat::kExponentBias + carry;
  if (biased < 1 || biased >= ExtFormat::kMaxBiasedExponent) return false;
  const std::uint16_t sign = (a.signAndExponent() ^ b.signAndExponent()) & 0x8000;
  *product = ExtReal::fromBits(significand, static_cast<std::uint16_t>(sign | biased));
  return true;
}

}  // namespace fast_software

class FastReal {
 public:
  FastReal() {}
  explicit FastReal(const int& value) : v_(value) {}
  explicit FastReal(const double& value) : v_(value) {}
  explicit FastReal(const float& value) : v_(value) {}
  explicit FastReal(const ExtReal& value) : v_(value) {}
  static FastReal fromInt64(const std::int64_t& value) { return FastReal(x87::fild64(value)); }

  ExtReal toExtReal() const { return v_; }

  FastReal operator+(FastReal b) const { return FastReal(v_ + b.v_); }
  FastReal operator-(FastReal b) const { return FastReal(v_ - b.v_); }
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

// maxDigits(base) for bases 2 to 36 from a per-thread table filled on first
// use with maxDigits itself, so the values are the same by construction;
// other bases are computed.
int cachedMaxDigits(int base);

// extLog2(ExtReal(base)) for bases 0 to 99 (every base a numeral can name)
// from a per-thread table filled on first use with extLog2 itself; other
// bases are computed.
FastReal cachedLog2OfBase(int base);

// extPow(base, exponent) computed by FastReal with the cached logarithm,
// memoised per thread (for the first eight threads that ask) in a
// direct-mapped table of 16384 entries (256 KB): the power depends only on
// the two ints, and conversions in a batch reuse few of them.
FastReal cachedPower(int base, int exponent);

#endif
