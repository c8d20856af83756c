#include "numeric/ext_real.h"

#include <cstring>

#include "numeric/x87_asm.h"

namespace {

// Loads b, then a on top, applies INSN with st(0) as destination (so the
// object is the left operand), stores with a pop and pops b.
#define DEFINE_X87_BINARY(name, insn)                  \
  ExtReal name(const ExtReal& a, const ExtReal& b) {   \
    ExtReal result;                                    \
    std::uint16_t cw;                                  \
    __asm__ volatile(X87_SETUP                         \
                     "fldt %[b]\n\t"                   \
                     "fldt %[a]\n\t" insn              \
                     " %%st(1), %%st\n\t"              \
                     "fstpt %[r]\n\t"                  \
                     "fstp %%st(0)"                    \
                     : [r] "=m"(result), [cw] "=m"(cw) \
                     : [a] "m"(a), [b] "m"(b)          \
                     : X87_CLOBBERS);                  \
    return result;                                     \
  }

DEFINE_X87_BINARY(x87Add, "fadd")
DEFINE_X87_BINARY(x87Sub, "fsub")
DEFINE_X87_BINARY(x87Mul, "fmul")
DEFINE_X87_BINARY(x87Div, "fdiv")

#undef DEFINE_X87_BINARY

// C3, C2 and C0 of the status word after `fcom` of a against b.
constexpr std::uint16_t kConditionMask = 0x4500;
constexpr std::uint16_t kGreater = 0x0000;
constexpr std::uint16_t kLess = 0x0100;
constexpr std::uint16_t kEqual = 0x4000;

std::uint16_t x87CompareStatus(const ExtReal& a, const ExtReal& b) {
  std::uint16_t cw;
  std::uint16_t status;
  __asm__ volatile(X87_SETUP
                   "fldt %[b]\n\t"
                   "fldt %[a]\n\t"
                   "fcom %%st(1)\n\t"
                   "fstsw %%ax\n\t"
                   "fstp %%st(0)\n\t"
                   "fstp %%st(0)"
                   : [cw] "=m"(cw), "=a"(status)
                   : [a] "m"(a), [b] "m"(b)
                   : X87_CLOBBERS);
  return static_cast<std::uint16_t>(status & kConditionMask);
}

}  // namespace

ExtReal::ExtReal(const int& value) {
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fildl %[v]\n\tfstpt %[r]"
                   : [r] "=m"(*this), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
}

ExtReal::ExtReal(const float& value) {
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "flds %[v]\n\tfstpt %[r]"
                   : [r] "=m"(*this), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
}

ExtReal::ExtReal(const double& value) {
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldl %[v]\n\tfstpt %[r]"
                   : [r] "=m"(*this), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
}

ExtReal ExtReal::operator+(ExtReal b) const { return x87Add(*this, b); }
ExtReal ExtReal::operator-(ExtReal b) const { return x87Sub(*this, b); }
ExtReal ExtReal::operator*(ExtReal b) const { return x87Mul(*this, b); }
ExtReal ExtReal::operator/(ExtReal b) const { return x87Div(*this, b); }

ExtReal ExtReal::operator+=(ExtReal b) {
  *this = x87Add(*this, b);
  return *this;
}
ExtReal ExtReal::operator-=(ExtReal b) {
  *this = x87Sub(*this, b);
  return *this;
}
ExtReal ExtReal::operator*=(ExtReal b) {
  *this = x87Mul(*this, b);
  return *this;
}
ExtReal ExtReal::operator/=(ExtReal b) {
  *this = x87Div(*this, b);
  return *this;
}

ExtReal ExtReal::operator-() const {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP
                   "fldt %[a]\n\t"
                   "fldz\n\t"
                   "fsub %%st(1), %%st\n\t"
                   "fstpt %[r]\n\t"
                   "fstp %%st(0)"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [a] "m"(*this)
                   : X87_CLOBBERS);
  return result;
}

int ExtReal::operator<(ExtReal b) const { return x87CompareStatus(*this, b) == kLess; }
int ExtReal::operator<=(ExtReal b) const {
  const std::uint16_t s = x87CompareStatus(*this, b);
  return s == kEqual || s == kLess;
}
int ExtReal::operator>(ExtReal b) const { return x87CompareStatus(*this, b) == kGreater; }
int ExtReal::operator>=(ExtReal b) const {
  const std::uint16_t s = x87CompareStatus(*this, b);
  return s == kEqual || s == kGreater;
}
int ExtReal::operator==(ExtReal b) const { return x87CompareStatus(*this, b) == kEqual; }

int toInt(ExtReal value) {
  int result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfistpl %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

double toDouble(ExtReal value) {
  double result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfstpl %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

float toFloat(ExtReal value) {
  float result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfstps %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

std::uint16_t x87ControlWord() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %[cw]" : [cw] "=m"(cw));
  return cw;
}
