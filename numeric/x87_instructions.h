// The x87 instructions the arithmetic issues, as functions over 10-byte
// images, in two implementations with the same contracts:
//
//   x87_unit      the instructions themselves, on x86-64 only;
//   x87_software  portable C++17 in integers, no floating-point operation
//                 (a float or double argument is read as its bits).
//
// Every function behaves as its instruction does under control word 0x0F7F
// (64-bit significand, rounding toward zero, every exception masked), on
// every 10-byte input: zeros of both signs, subnormals, pseudo-denormals,
// infinities, quiet and signalling NaNs, and the encodings the unit rejects
// (unnormals, pseudo-NaNs, pseudo-infinities), which give the indefinite.
// The software versions give the unit's bits for every exactly defined
// instruction; for fyl2x and f2xm1, which the unit only approximates (and
// differently from maker to maker), they give the exact result cut toward
// zero, with the unit's special cases.
//
// `x87` names the implementation the build computes with (x87_unit where
// the target has the unit, unless the software arithmetic was chosen);
// nothing outside numeric/ needs to know which it is.
#ifndef VELTRANE_NUMERIC_X87_INSTRUCTIONS_H
#define VELTRANE_NUMERIC_X87_INSTRUCTIONS_H

#include <cstdint>

#include "numeric/ext_real.h"

// The build defines both (numeric/CMakeLists.txt): VELTRANE_X87_UNIT, 1 when
// the target has an x87 unit to compare with or compute on, as the compiler
// told the build; VELTRANE_SOFT_X87, 1 when the build computes with the
// software instructions (always, without the unit). Nothing else tests the
// processor, so the build and the sources cannot disagree.
#if !defined(VELTRANE_X87_UNIT) || !defined(VELTRANE_SOFT_X87)
#error "VELTRANE_X87_UNIT and VELTRANE_SOFT_X87 come from the veltrane::numeric target"
#endif

// The instruction list, declared once for both namespaces.
#define VELTRANE_X87_INSTRUCTION_LIST                                                   \
  /* fild m32, fild m64: exact. */                                                      \
  ExtReal fild32(std::int32_t value);                                                   \
  ExtReal fild64(std::int64_t value);                                                   \
  /* fld m32, fld m64: exact; a signalling NaN is quieted into the wider payload. */    \
  ExtReal fld32(std::uint32_t bits);                                                    \
  ExtReal fld64(std::uint64_t bits);                                                    \
  /* fstp m32, fstp m64: truncating, gradual underflow, overflow to the largest */      \
  /* finite value; the narrow indefinite for the rejected encodings. */                 \
  std::uint32_t fstp32(ExtReal value);                                                  \
  std::uint64_t fstp64(ExtReal value);                                                  \
  /* fistp m32: truncated toward zero; 0x80000000 when out of range or not finite. */   \
  std::int32_t fistp32(ExtReal value);                                                  \
  /* st(0) = a, st(1) = b: a + b, a - b, a * b, a / b. */                               \
  ExtReal fadd(ExtReal a, ExtReal b);                                                   \
  ExtReal fsub(ExtReal a, ExtReal b);                                                   \
  ExtReal fmul(ExtReal a, ExtReal b);                                                   \
  ExtReal fdiv(ExtReal a, ExtReal b);                                                   \
  /* fcom st(1) with a on top, then fstsw, masked with 0x4500: 0x0000 a > b, */         \
  /* 0x0100 a < b, 0x4000 equal, 0x4500 unordered. */                                   \
  std::uint16_t fcom(ExtReal a, ExtReal b);                                             \
  /* fscale with st(0) = a, st(1) = b: a * 2^trunc(b), one rounding. */                 \
  ExtReal fscale(ExtReal a, ExtReal b);                                                 \
  /* frndint: truncated to an integer. */                                               \
  ExtReal frndint(ExtReal value);                                                       \
  /* fabs: the sign bit cleared, every other bit kept. */                               \
  ExtReal fabs(ExtReal value);                                                          \
  /* fyl2x with st(1) = 1: log2(x). */                                                  \
  ExtReal fyl2x(ExtReal x);                                                             \
  /* f2xm1: 2^x - 1 for |x| <= 1; other finite operands come back unchanged. */        \
  ExtReal f2xm1(ExtReal x);                                                             \
  /* fnstcw: the control word in force; the software's is always 0x0F7F. */             \
  std::uint16_t fnstcw();

namespace x87_software {
VELTRANE_X87_INSTRUCTION_LIST
}  // namespace x87_software

#if VELTRANE_X87_UNIT
// Each function starts from `fninit` and control word 0x0F7F, as every
// ExtReal operation does, and leaves that word in force.
namespace x87_unit {
VELTRANE_X87_INSTRUCTION_LIST
}  // namespace x87_unit
#endif

#undef VELTRANE_X87_INSTRUCTION_LIST

#if VELTRANE_X87_UNIT && !VELTRANE_SOFT_X87
namespace x87 = x87_unit;
#define VELTRANE_COMPUTES_ON_UNIT 1
#else
namespace x87 = x87_software;
#define VELTRANE_COMPUTES_ON_UNIT 0
#endif

// For tests whose expectations come from the unit's own last bit of fyl2x
// and f2xm1: true when the build computes on the unit.
constexpr bool kComputesOnX87Unit = VELTRANE_COMPUTES_ON_UNIT != 0;

#endif
