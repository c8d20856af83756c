// ExtReal: one value in the x87 80-bit double-extended format.
//
// Every operation (all but the default constructor and copying) starts with
// `fninit` and loads control word 0x0F7F, so it runs with a 64-bit
// significand, rounding toward zero and every exception masked, and it leaves
// that control word in force when it returns. Results are therefore always
// truncated: an overflow gives the largest finite value of its sign, never an
// infinity, and no floating-point condition ever reaches the caller.
//
// Operands are loaded from memory at full width and results stored back at
// full width, so holding an intermediate result in an ExtReal loses nothing.
#ifndef VELTRANE_NUMERIC_EXT_REAL_H
#define VELTRANE_NUMERIC_EXT_REAL_H

#include <cstdint>
#include <cstring>

#include "numeric/ext_format.h"

class ExtReal {
 public:
  // Leaves the 10 bytes unwritten; every user assigns before reading.
  ExtReal() {}
  // Exact conversions in (`fild` m32, `fld` m32, `fld` m64).
  explicit ExtReal(const int& value);
  explicit ExtReal(const float& value);
  explicit ExtReal(const double& value);

  // The object is always the left operand: a - b, a / b.
  ExtReal operator+(ExtReal b) const;
  ExtReal operator-(ExtReal b) const;
  ExtReal operator*(ExtReal b) const;
  ExtReal operator/(ExtReal b) const;
  // Update the object and return a separate copy of its new value.
  ExtReal operator+=(ExtReal b);
  ExtReal operator-=(ExtReal b);
  ExtReal operator*=(ExtReal b);
  ExtReal operator/=(ExtReal b);
  // 0 - a: both zeros give +0, a NaN stays a NaN.
  ExtReal operator-() const;

  // 1 when the relation holds, else 0. Every comparison with a NaN gives 0;
  // +0 and -0 compare equal. (There is deliberately no operator!=.)
  int operator<(ExtReal b) const;
  int operator<=(ExtReal b) const;
  int operator>(ExtReal b) const;
  int operator>=(ExtReal b) const;
  int operator==(ExtReal b) const;

  // Raw access to the little-endian image, for tests and diagnostics.
  // Inline, as the fast path reads images between operations.
  static ExtReal fromBits(std::uint64_t significand, std::uint16_t signAndExponent) {
    ExtReal value;
    std::memcpy(value.bytes_, &significand, 8);
    std::memcpy(value.bytes_ + 8, &signAndExponent, 2);
    return value;
  }
  std::uint64_t significand() const {
    std::uint64_t s;
    std::memcpy(&s, bytes_, 8);
    return s;
  }
  // bit 15 sign, bits 0-14 biased exponent
  std::uint16_t signAndExponent() const {
    std::uint16_t se;
    std::memcpy(&se, bytes_ + 8, 2);
    return se;
  }
  int biasedExponent() const { return signAndExponent() & 0x7FFF; }
  bool signBit() const { return (signAndExponent() & 0x8000) != 0; }
  const unsigned char* bytes() const { return bytes_; }

 private:
  unsigned char bytes_[ExtFormat::kBytes];
};

static_assert(sizeof(ExtReal) == 10, "ExtReal must be exactly the 10-byte x87 image");

// `fistp` to 32 bits: truncates toward zero; a NaN, an infinity or a value
// whose truncation lies outside the int range gives -2147483648.
int toInt(ExtReal value);
// `fstp` to a narrower real, rounding toward zero: a finite magnitude beyond
// the target range becomes its largest finite value; infinities and NaNs
// carry over.
double toDouble(ExtReal value);
float toFloat(ExtReal value);

// Reads the calling thread's x87 control word (for tests of the mode).
std::uint16_t x87ControlWord();

#endif
