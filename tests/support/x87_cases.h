// The instruction sets under test, side by side, and named images for the
// tables of the x87 unit's documented behaviour.
#ifndef VELTRANE_TESTS_SUPPORT_X87_CASES_H
#define VELTRANE_TESTS_SUPPORT_X87_CASES_H

#include <cstdint>
#include <vector>

#include "numeric/ext_real.h"
#include "numeric/x87_instructions.h"

namespace x87test {

// One implementation's exactly defined instructions, for tables that run
// against each.
struct InstructionSet {
  const char* name;
  ExtReal (*fild32)(std::int32_t);
  ExtReal (*fild64)(std::int64_t);
  ExtReal (*fld32)(std::uint32_t);
  ExtReal (*fld64)(std::uint64_t);
  std::uint32_t (*fstp32)(ExtReal);
  std::uint64_t (*fstp64)(ExtReal);
  std::int32_t (*fistp32)(ExtReal);
  ExtReal (*fadd)(ExtReal, ExtReal);
  ExtReal (*fsub)(ExtReal, ExtReal);
  ExtReal (*fmul)(ExtReal, ExtReal);
  ExtReal (*fdiv)(ExtReal, ExtReal);
  std::uint16_t (*fcom)(ExtReal, ExtReal);
  ExtReal (*fscale)(ExtReal, ExtReal);
  ExtReal (*frndint)(ExtReal);
  ExtReal (*fabs)(ExtReal);
};

// clang-format off
#define VELTRANE_X87_SET(ns)                                                           \
  InstructionSet{#ns, ns::fild32, ns::fild64, ns::fld32, ns::fld64, ns::fstp32,        \
                 ns::fstp64, ns::fistp32, ns::fadd, ns::fsub, ns::fmul, ns::fdiv,      \
                 ns::fcom, ns::fscale, ns::frndint, ns::fabs}
// clang-format on

// The software always; the unit where the target has one.
inline std::vector<InstructionSet> instructionSets() {
  std::vector<InstructionSet> sets{VELTRANE_X87_SET(x87_software)};
#if VELTRANE_X87_UNIT
  sets.push_back(VELTRANE_X87_SET(x87_unit));
#endif
  return sets;
}

#undef VELTRANE_X87_SET

inline ExtReal image(std::uint16_t signAndExponent, std::uint64_t significand) {
  return ExtReal::fromBits(significand, signAndExponent);
}

constexpr std::uint64_t kTop = 1ULL << 63;
constexpr std::uint64_t kQuiet = 1ULL << 62;

inline ExtReal zero() { return image(0x0000, 0); }
inline ExtReal minusZero() { return image(0x8000, 0); }
inline ExtReal half() { return image(0x3FFE, kTop); }
inline ExtReal one() { return image(0x3FFF, kTop); }
inline ExtReal minusOne() { return image(0xBFFF, kTop); }
inline ExtReal two() { return image(0x4000, kTop); }
inline ExtReal five() { return image(0x4001, 0xA000000000000000ULL); }
inline ExtReal minusFive() { return image(0xC001, 0xA000000000000000ULL); }
inline ExtReal plusInf() { return image(0x7FFF, kTop); }
inline ExtReal minusInf() { return image(0xFFFF, kTop); }
inline ExtReal largest() { return image(0x7FFE, ~0ULL); }
inline ExtReal minusLargest() { return image(0xFFFE, ~0ULL); }
inline ExtReal smallestSubnormal() { return image(0x0000, 1); }
inline ExtReal smallestNormal() { return image(0x0001, kTop); }
inline ExtReal indefinite() { return image(0xFFFF, kTop | kQuiet); }
inline ExtReal quietNaN(std::uint64_t payload) { return image(0x7FFF, kTop | kQuiet | payload); }
inline ExtReal signalingNaN(std::uint64_t payload) { return image(0x7FFF, kTop | payload); }
inline ExtReal negated(ExtReal v) {
  return image(static_cast<std::uint16_t>(v.signAndExponent() ^ 0x8000), v.significand());
}
// The encodings the unit rejects.
inline ExtReal pseudoInfinity() { return image(0x7FFF, 0); }
inline ExtReal pseudoNaN() { return image(0x7FFF, 0x4000000000000005ULL); }
inline ExtReal unnormal() { return image(0x3FFF, 0x4000000000000000ULL); }
inline ExtReal unnormalZero() { return image(0x4005, 0); }
// Exponent 0 with the integer bit set: 2^-16382 * (1 + 2^-63).
inline ExtReal pseudoDenormal() { return image(0x0000, kTop | 1); }

}  // namespace x87test

#endif
