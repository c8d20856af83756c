// The instructions on the x87 unit itself. Each function is one asm
// statement that starts with `fninit` and control word 0x0F7F (X87_SETUP),
// loads its operands from memory at full width and stores its result at
// full width, so nothing the compiler emits can run between the set-up and
// the instruction, and constant folding (which would round to nearest) can
// never stand in for it.
#include <cstdint>

#include "numeric/fast_real.h"
#include "numeric/x87_asm.h"
#include "numeric/x87_instructions.h"

namespace x87_unit {

// Loads b, then a on top, applies OPERATION to st(0) (a, the left operand)
// and st(1) (b), stores st(0) with a pop and pops b.
#define DEFINE_X87_BINARY(name, operation)                                          \
  ExtReal name(ExtReal a, ExtReal b) {                                              \
    ExtReal result;                                                                 \
    std::uint16_t cw;                                                               \
    __asm__ volatile(X87_SETUP "fldt %[b]\n\tfldt %[a]\n\t" operation "\n\t"         \
                               "fstpt %[r]\n\tfstp %%st(0)"                         \
                     : [r] "=m"(result), [cw] "=m"(cw)                              \
                     : [a] "m"(a), [b] "m"(b)                                       \
                     : X87_CLOBBERS);                                               \
    return result;                                                                  \
  }

DEFINE_X87_BINARY(fadd, "fadd %%st(1), %%st")
DEFINE_X87_BINARY(fsub, "fsub %%st(1), %%st")
DEFINE_X87_BINARY(fmul, "fmul %%st(1), %%st")
DEFINE_X87_BINARY(fdiv, "fdiv %%st(1), %%st")
DEFINE_X87_BINARY(fscale, "fscale")

#undef DEFINE_X87_BINARY

// One operand in, one result out, through the register stack: MOVES loads
// the operand (%[v]), works on st(0) if it has to, and stores and pops it
// into %[r].
#define DEFINE_X87_MOVE(Result, name, Operand, moves)     \
  Result name(Operand value) {                           \
    Result result;                                       \
    std::uint16_t cw;                                    \
    __asm__ volatile(X87_SETUP moves                     \
                     : [r] "=m"(result), [cw] "=m"(cw)   \
                     : [v] "m"(value)                    \
                     : X87_CLOBBERS);                    \
    return result;                                       \
  }

DEFINE_X87_MOVE(ExtReal, fild32, std::int32_t, "fildl %[v]\n\tfstpt %[r]")
DEFINE_X87_MOVE(ExtReal, fild64, std::int64_t, "fildll %[v]\n\tfstpt %[r]")
DEFINE_X87_MOVE(ExtReal, fld32, std::uint32_t, "flds %[v]\n\tfstpt %[r]")
DEFINE_X87_MOVE(ExtReal, fld64, std::uint64_t, "fldl %[v]\n\tfstpt %[r]")
DEFINE_X87_MOVE(std::uint32_t, fstp32, ExtReal, "fldt %[v]\n\tfstps %[r]")
DEFINE_X87_MOVE(std::uint64_t, fstp64, ExtReal, "fldt %[v]\n\tfstpl %[r]")
DEFINE_X87_MOVE(std::int32_t, fistp32, ExtReal, "fldt %[v]\n\tfistpl %[r]")
DEFINE_X87_MOVE(ExtReal, frndint, ExtReal, "fldt %[v]\n\tfrndint\n\tfstpt %[r]")
DEFINE_X87_MOVE(ExtReal, fabs, ExtReal, "fldt %[v]\n\tfabs\n\tfstpt %[r]")
DEFINE_X87_MOVE(ExtReal, f2xm1, ExtReal, "fldt %[v]\n\tf2xm1\n\tfstpt %[r]")
// log2(x) with y = 1 below x.
DEFINE_X87_MOVE(ExtReal, fyl2x, ExtReal, "fld1\n\tfldt %[v]\n\tfyl2x\n\tfstpt %[r]")

#undef DEFINE_X87_MOVE

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

std::uint16_t fnstcw() {
  std::uint16_t cw;
  __asm__ volatile("fnstcw %[cw]" : [cw] "=m"(cw));
  return cw;
}

}  // namespace x87_unit

// X87TruncatingMode's set-up, for FastReal on the unit (a build on the
// software instructions has none). Between functions the register stack is
// empty (both calling conventions require it), and with every exception
// masked the status flags change no result; so when the control word is
// already right there is nothing to do (the constructor's test), and
// skipping `fninit` also keeps its cleared precision flag from slowing down
// the next inexact operation.
#if VELTRANE_COMPUTES_ON_UNIT
void X87TruncatingMode::setUp() {
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP : [cw] "=m"(cw) : : X87_CLOBBERS);
}
#endif
