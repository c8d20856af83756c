// The instructions on the x87 unit itself. Each function is one asm
// statement that starts with `fninit` and control word 0x0F7F (X87_SETUP),
// loads its operands from memory at full width and stores its result at
// full width, so nothing the compiler emits can run between the set-up and
// the instruction, and constant folding (which would round to nearest) can
// never stand in for it.
#include <cstring>

#include "numeric/x87_asm.h"
#include "numeric/x87_instructions.h"

namespace x87_unit {

namespace {

// Loads b, then a on top, applies INSN with st(0) as destination (so a is
// the left operand), stores with a pop and pops b.
#define DEFINE_X87_BINARY(name, insn)                                               \
  ExtReal name##Of(const ExtReal& a, const ExtReal& b) {                            \
    ExtReal result;                                                                 \
    std::uint16_t cw;                                                               \
    __asm__ volatile(X87_SETUP "fldt %[b]\n\tfldt %[a]\n\t" insn " %%st(1), %%st\n\t" \
                               "fstpt %[r]\n\tfstp %%st(0)"                         \
                     : [r] "=m"(result), [cw] "=m"(cw)                              \
                     : [a] "m"(a), [b] "m"(b)                                       \
                     : X87_CLOBBERS);                                               \
    return result;                                                                  \
  }

DEFINE_X87_BINARY(add, "fadd")
DEFINE_X87_BINARY(sub, "fsub")
DEFINE_X87_BINARY(mul, "fmul")
DEFINE_X87_BINARY(div, "fdiv")

#undef DEFINE_X87_BINARY

// Loads the operand, applies INSN to st(0) and stores it.
#define DEFINE_X87_UNARY(name, insn)                                                 \
  ExtReal name##Of(const ExtReal& x) {                                               \
    ExtReal result;                                                                  \
    std::uint16_t cw;                                                                \
    __asm__ volatile(X87_SETUP "fldt %[x]\n\t" insn "\n\tfstpt %[r]"                 \
                     : [r] "=m"(result), [cw] "=m"(cw)                               \
                     : [x] "m"(x)                                                    \
                     : X87_CLOBBERS);                                                \
    return result;                                                                   \
  }

DEFINE_X87_UNARY(rndint, "frndint")
DEFINE_X87_UNARY(abs, "fabs")
DEFINE_X87_UNARY(twoToXMinusOne, "f2xm1")

#undef DEFINE_X87_UNARY

}  // namespace

ExtReal fild32(std::int32_t value) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fildl %[v]\n\tfstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

ExtReal fild64(std::int64_t value) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fildll %[v]\n\tfstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

ExtReal fld32(std::uint32_t bits) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "flds %[v]\n\tfstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(bits)
                   : X87_CLOBBERS);
  return result;
}

ExtReal fld64(std::uint64_t bits) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldl %[v]\n\tfstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(bits)
                   : X87_CLOBBERS);
  return result;
}

std::uint32_t fstp32(ExtReal value) {
  std::uint32_t result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfstps %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

std::uint64_t fstp64(ExtReal value) {
  std::uint64_t result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfstpl %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

std::int32_t fistp32(ExtReal value) {
  std::int32_t result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP "fldt %[v]\n\tfistpl %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [v] "m"(value)
                   : X87_CLOBBERS);
  return result;
}

ExtReal fadd(ExtReal a, ExtReal b) { return addOf(a, b); }
ExtReal fsub(ExtReal a, ExtReal b) { return subOf(a, b); }
ExtReal fmul(ExtReal a, ExtReal b) { return mulOf(a, b); }
ExtReal fdiv(ExtReal a, ExtReal b) { return divOf(a, b); }

std::uint16_t fcom(ExtReal a, ExtReal b) {
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
  return static_cast<std::uint16_t>(status & 0x4500);
}

ExtReal fscale(ExtReal a, ExtReal b) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP
                   "fldt %[b]\n\t"
                   "fldt %[a]\n\t"
                   "fscale\n\t"
                   "fstpt %[r]\n\t"
                   "fstp %%st(0)"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [a] "m"(a), [b] "m"(b)
                   : X87_CLOBBERS);
  return result;
}

ExtReal frndint(ExtReal value) { return rndintOf(value); }
ExtReal fabs(ExtReal value) { return absOf(value); }

ExtReal fyl2x(ExtReal x) {
  ExtReal result;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP
                   "fld1\n\t"
                   "fldt %[x]\n\t"
                   "fyl2x\n\t"
                   "fstpt %[r]"
                   : [r] "=m"(result), [cw] "=m"(cw)
                   : [x] "m"(x)
                   : X87_CLOBBERS);
  return result;
}

ExtReal f2xm1(ExtReal x) { return twoToXMinusOneOf(x); }

std::uint16_t fnstcw() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %[cw]" : [cw] "=m"(cw));
  return cw;
}

}  // namespace x87_unit
