// FastReal on the x87 unit: values held in the unit's registers, each
// operation one volatile asm statement issuing the instruction itself, under
// the control word that X87TruncatingMode puts in force. Included through
// numeric/x87_fast_real.h by numeric/fast_real.h, which tells the contract.
#ifndef VELTRANE_NUMERIC_X87_UNIT_FAST_REAL_H
#define VELTRANE_NUMERIC_X87_UNIT_FAST_REAL_H

#include <cstdint>
#include <cstring>

#include "numeric/ext_real.h"

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
    // Stored at an 8-byte boundary and read back as its 8-byte significand
    // and 2-byte sign and exponent: aligned, those loads take their bytes
    // from the store itself rather than waiting for it to reach the cache.
    struct alignas(8) Image {
      unsigned char bytes[ExtFormat::kBytes];
    } image;
    long double v = v_;
    __asm__ volatile("fstpt %0" : "=m"(image) : "t"(v) : "st");
    std::uint64_t significand;
    std::uint16_t signAndExponent;
    std::memcpy(&significand, image.bytes, 8);
    std::memcpy(&signAndExponent, image.bytes + 8, 2);
    return ExtReal::fromBits(significand, signAndExponent);
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

#endif
