#include "numeric/ext_real.h"

#include <cstring>

#include "numeric/x87_instructions.h"

namespace {

// C3, C2 and C0 of the status word after `fcom` of a against b.
constexpr std::uint16_t kGreater = 0x0000;
constexpr std::uint16_t kLess = 0x0100;
constexpr std::uint16_t kEqual = 0x4000;

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace

ExtReal::ExtReal(const int& value) { *this = x87::fild32(value); }
ExtReal::ExtReal(const float& value) { *this = x87::fld32(bitsOf(value)); }
ExtReal::ExtReal(const double& value) { *this = x87::fld64(bitsOf(value)); }

ExtReal ExtReal::operator+(ExtReal b) const { return x87::fadd(*this, b); }
ExtReal ExtReal::operator-(ExtReal b) const { return x87::fsub(*this, b); }
ExtReal ExtReal::operator*(ExtReal b) const { return x87::fmul(*this, b); }
ExtReal ExtReal::operator/(ExtReal b) const { return x87::fdiv(*this, b); }

ExtReal ExtReal::operator+=(ExtReal b) {
  *this = x87::fadd(*this, b);
  return *this;
}
ExtReal ExtReal::operator-=(ExtReal b) {
  *this = x87::fsub(*this, b);
  return *this;
}
ExtReal ExtReal::operator*=(ExtReal b) {
  *this = x87::fmul(*this, b);
  return *this;
}
ExtReal ExtReal::operator/=(ExtReal b) {
  *this = x87::fdiv(*this, b);
  return *this;
}

// `fldz` then `fsub`: 0 - a.
ExtReal ExtReal::operator-() const { return x87::fsub(ExtReal::fromBits(0, 0), *this); }

int ExtReal::operator<(ExtReal b) const { return x87::fcom(*this, b) == kLess; }
int ExtReal::operator<=(ExtReal b) const {
  const std::uint16_t s = x87::fcom(*this, b);
  return s == kEqual || s == kLess;
}
int ExtReal::operator>(ExtReal b) const { return x87::fcom(*this, b) == kGreater; }
int ExtReal::operator>=(ExtReal b) const {
  const std::uint16_t s = x87::fcom(*this, b);
  return s == kEqual || s == kGreater;
}
int ExtReal::operator==(ExtReal b) const { return x87::fcom(*this, b) == kEqual; }

int toInt(ExtReal value) { return x87::fistp32(value); }

double toDouble(ExtReal value) {
  const std::uint64_t bits = x87::fstp64(value);
  double result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

float toFloat(ExtReal value) {
  const std::uint32_t bits = x87::fstp32(value);
  float result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

std::uint16_t x87ControlWord() { return x87::fnstcw(); }
