// What the x87 unit does in mode 0x0F7F in every special case, as measured
// on the unit, one row per case: checked against the software instructions
// everywhere, and against the unit itself where the target has one, so that
// a unit that behaved otherwise would show here first.
#include <gtest/gtest.h>

#include <cstdint>

#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"
#include "tests/support/x87_cases.h"

namespace {

using namespace x87test;

using exttest::sameBits;

enum class Op { kAdd, kSub, kMul, kDiv, kScale, kRndint, kAbs };

ExtReal apply(const InstructionSet& set, Op op, ExtReal a, ExtReal b) {
  switch (op) {
    case Op::kAdd:
      return set.fadd(a, b);
    case Op::kSub:
      return set.fsub(a, b);
    case Op::kMul:
      return set.fmul(a, b);
    case Op::kDiv:
      return set.fdiv(a, b);
    case Op::kScale:
      return set.fscale(a, b);
    case Op::kRndint:
      return set.frndint(a);
    case Op::kAbs:
      return set.fabs(a);
  }
  return a;
}

// An instruction with an extended result; b is ignored by the one-operand ones.
struct Row {
  const char* what;
  Op op;
  ExtReal a, b;
  ExtReal expected;
};

void expectRows(const Row* rows, std::size_t count) {
  for (const InstructionSet& set : instructionSets())
    for (std::size_t i = 0; i < count; ++i) {
      const Row& row = rows[i];
      const ExtReal got = apply(set, row.op, row.a, row.b);
      EXPECT_TRUE(sameBits(got, row.expected)) << set.name << ": " << row.what;
    }
}

#define EXPECT_ROWS(rows) expectRows(rows, sizeof(rows) / sizeof(rows[0]))

const ExtReal kTwoPointNine = image(0x4000, 0xB999999999999999ULL);
const ExtReal kHugeScale = image(0x4013, kTop);  // 2^20

TEST(X87Behaviour, InvalidOperationsGiveTheIndefinite) {
  const Row rows[] = {
      {"0 / 0", Op::kDiv, zero(), zero(), indefinite()},
      {"-0 / +0", Op::kDiv, minusZero(), zero(), indefinite()},
      {"inf - inf", Op::kSub, plusInf(), plusInf(), indefinite()},
      {"inf + -inf", Op::kAdd, plusInf(), minusInf(), indefinite()},
      {"-inf - -inf", Op::kSub, minusInf(), minusInf(), indefinite()},
      {"0 * inf", Op::kMul, zero(), plusInf(), indefinite()},
      {"-inf * 0", Op::kMul, minusInf(), zero(), indefinite()},
      {"inf / -inf", Op::kDiv, plusInf(), minusInf(), indefinite()},
      {"0 * 2^+inf", Op::kScale, zero(), plusInf(), indefinite()},
      {"-0 * 2^+inf", Op::kScale, minusZero(), plusInf(), indefinite()},
      {"inf * 2^-inf", Op::kScale, plusInf(), minusInf(), indefinite()},
      {"-inf * 2^-inf", Op::kScale, minusInf(), minusInf(), indefinite()},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, NaNOperandsPropagateQuieted) {
  const Row rows[] = {
      {"qNaN + 1", Op::kAdd, quietNaN(5), one(), quietNaN(5)},
      {"1 + qNaN", Op::kAdd, one(), quietNaN(5), quietNaN(5)},
      {"sNaN * 2 is quieted", Op::kMul, signalingNaN(5), two(), quietNaN(5)},
      {"-sNaN keeps its sign", Op::kMul, two(), negated(signalingNaN(5)), negated(quietNaN(5))},
      {"sNaN * 0", Op::kMul, signalingNaN(7), zero(), quietNaN(7)},
      {"inf / qNaN", Op::kDiv, plusInf(), quietNaN(9), quietNaN(9)},
      {"0 / sNaN", Op::kDiv, zero(), signalingNaN(9), quietNaN(9)},
      {"qNaN - inf", Op::kSub, quietNaN(3), plusInf(), quietNaN(3)},
      {"quiet beats a larger signalling", Op::kAdd, signalingNaN(kQuiet - 1), quietNaN(1),
       quietNaN(1)},
      {"quiet beats a larger signalling, swapped", Op::kMul, quietNaN(1), signalingNaN(kQuiet - 1),
       quietNaN(1)},
      {"two quiet: the larger significand", Op::kDiv, quietNaN(1), quietNaN(2), quietNaN(2)},
      {"two quiet: the larger significand, swapped", Op::kDiv, quietNaN(2), quietNaN(1),
       quietNaN(2)},
      {"two quiet: larger wins over sign", Op::kSub, quietNaN(1), negated(quietNaN(2)),
       negated(quietNaN(2))},
      {"two signalling: the larger significand", Op::kSub, signalingNaN(1), signalingNaN(2),
       quietNaN(2)},
      {"a tie gives the positive one", Op::kAdd, negated(quietNaN(3)), quietNaN(3), quietNaN(3)},
      {"a tie gives the positive one, swapped", Op::kAdd, quietNaN(3), negated(quietNaN(3)),
       quietNaN(3)},
      {"a signalling tie gives the positive one", Op::kMul, negated(signalingNaN(3)),
       signalingNaN(3), quietNaN(3)},
      {"the indefinite is a quiet NaN like another", Op::kAdd, indefinite(), quietNaN(1),
       quietNaN(1)},
      {"fscale of a NaN", Op::kScale, quietNaN(4), one(), quietNaN(4)},
      {"fscale by a NaN", Op::kScale, one(), negated(signalingNaN(4)), negated(quietNaN(4))},
      {"fscale by a NaN beside an infinity", Op::kScale, plusInf(), quietNaN(4), quietNaN(4)},
      {"frndint quiets", Op::kRndint, signalingNaN(6), zero(), quietNaN(6)},
      {"frndint keeps a quiet NaN", Op::kRndint, negated(quietNaN(6)), zero(),
       negated(quietNaN(6))},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, RejectedEncodingsGiveTheIndefiniteEvenBesideANaN) {
  const Row rows[] = {
      {"pseudo-NaN + 1", Op::kAdd, pseudoNaN(), one(), indefinite()},
      {"1 + pseudo-infinity", Op::kAdd, one(), pseudoInfinity(), indefinite()},
      {"unnormal * 2", Op::kMul, unnormal(), two(), indefinite()},
      {"unnormal zero / 1", Op::kDiv, unnormalZero(), one(), indefinite()},
      {"1 / unnormal zero", Op::kDiv, one(), unnormalZero(), indefinite()},
      {"0 * pseudo-infinity", Op::kMul, zero(), pseudoInfinity(), indefinite()},
      {"qNaN - unnormal", Op::kSub, quietNaN(1), unnormal(), indefinite()},
      {"sNaN + pseudo-NaN", Op::kAdd, signalingNaN(1), pseudoNaN(), indefinite()},
      {"fscale of an unnormal", Op::kScale, unnormal(), one(), indefinite()},
      {"fscale by a pseudo-infinity", Op::kScale, one(), pseudoInfinity(), indefinite()},
      {"frndint of an unnormal", Op::kRndint, unnormal(), zero(), indefinite()},
      {"frndint of a pseudo-NaN", Op::kRndint, pseudoNaN(), zero(), indefinite()},
      {"fabs keeps a pseudo-NaN but its sign", Op::kAbs, negated(pseudoNaN()), zero(), pseudoNaN()},
      {"fabs keeps an unnormal but its sign", Op::kAbs, negated(unnormal()), zero(), unnormal()},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, PseudoDenormalsAreValuesAndResultsAreNormalised) {
  const ExtReal normalised = image(0x0001, kTop | 1);
  const Row rows[] = {
      {"pseudo-denormal * 1", Op::kMul, pseudoDenormal(), one(), normalised},
      {"pseudo-denormal + 0", Op::kAdd, pseudoDenormal(), zero(), normalised},
      {"pseudo-denormal * 2^0", Op::kScale, pseudoDenormal(), zero(), normalised},
      {"pseudo-denormal - smallest normal", Op::kSub, pseudoDenormal(), smallestNormal(),
       smallestSubnormal()},
      {"frndint of a pseudo-denormal", Op::kRndint, negated(pseudoDenormal()), zero(), minusZero()},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, UnderflowIsGradualAndCutTowardZero) {
  const Row rows[] = {
      {"2^-16382 / 2", Op::kMul, smallestNormal(), half(), image(0x0000, 0x4000000000000000ULL)},
      {"cut onto the 2^-16445 grid", Op::kDiv, image(0x0001, ~0ULL), two(),
       image(0x0000, 0x7FFFFFFFFFFFFFFFULL)},
      {"negative, cut toward zero", Op::kDiv, image(0x8001, ~0ULL), two(),
       image(0x8000, 0x7FFFFFFFFFFFFFFFULL)},
      {"below the smallest subnormal", Op::kMul, smallestSubnormal(), half(), zero()},
      {"below the smallest subnormal, negative", Op::kMul, smallestSubnormal(), negated(half()),
       minusZero()},
      {"subnormal operands are exact", Op::kMul, image(0x0000, 3), two(), image(0x0000, 6)},
      {"smallest normal - smallest subnormal", Op::kSub, smallestNormal(), smallestSubnormal(),
       image(0x0000, 0x7FFFFFFFFFFFFFFFULL)},
      {"two subnormals sum to a normal", Op::kAdd, image(0x0000, 0x4000000000000000ULL),
       image(0x0000, 0x4000000000000000ULL), smallestNormal()},
      {"a product far below", Op::kMul, smallestNormal(), smallestNormal(), zero()},
      {"a quotient far below, negative", Op::kDiv, negated(smallestSubnormal()), largest(),
       minusZero()},
      {"fscale underflows in one cut", Op::kScale, image(0x0001, ~0ULL), negated(one()),
       image(0x0000, 0x7FFFFFFFFFFFFFFFULL)},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, OverflowGivesTheLargestFiniteValueAndDivisionByZeroAnInfinity) {
  const Row rows[] = {
      {"largest * 2", Op::kMul, largest(), two(), largest()},
      {"-largest * 2", Op::kMul, minusLargest(), two(), minusLargest()},
      {"largest + largest", Op::kAdd, largest(), largest(), largest()},
      {"-largest - largest", Op::kSub, minusLargest(), largest(), minusLargest()},
      {"largest / 0.5", Op::kDiv, largest(), half(), largest()},
      {"largest * 2^20", Op::kScale, largest(), kHugeScale, largest()},
      {"1 / +0", Op::kDiv, one(), zero(), plusInf()},
      {"1 / -0", Op::kDiv, one(), minusZero(), minusInf()},
      {"-1 / -0", Op::kDiv, minusOne(), minusZero(), plusInf()},
      {"smallest subnormal / 0", Op::kDiv, smallestSubnormal(), zero(), plusInf()},
      {"inf / 0", Op::kDiv, minusInf(), zero(), minusInf()},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, FscaleScalesByTheTruncatedExponent) {
  const Row rows[] = {
      {"1 * 2^trunc(2.9)", Op::kScale, one(), kTwoPointNine, image(0x4001, kTop)},
      {"1 * 2^trunc(-2.9)", Op::kScale, one(), negated(kTwoPointNine), image(0x3FFD, kTop)},
      {"1 * 2^trunc(0.5)", Op::kScale, one(), half(), one()},
      {"1 * 2^(2^20)", Op::kScale, one(), kHugeScale, largest()},
      {"1 * 2^-(2^20)", Op::kScale, one(), negated(kHugeScale), zero()},
      {"-1 * 2^-(2^20)", Op::kScale, minusOne(), negated(kHugeScale), minusZero()},
      {"-1 * 2^largest", Op::kScale, minusOne(), largest(), minusLargest()},
      {"2 * 2^+inf", Op::kScale, two(), plusInf(), plusInf()},
      {"-2 * 2^+inf", Op::kScale, negated(two()), plusInf(), minusInf()},
      {"2 * 2^-inf", Op::kScale, two(), minusInf(), zero()},
      {"-2 * 2^-inf", Op::kScale, negated(two()), minusInf(), minusZero()},
      {"inf * 2^+inf", Op::kScale, plusInf(), plusInf(), plusInf()},
      {"-0 * 2^-inf", Op::kScale, minusZero(), minusInf(), minusZero()},
      {"-inf * 2^5", Op::kScale, minusInf(), five(), minusInf()},
      {"-0 * 2^5", Op::kScale, minusZero(), five(), minusZero()},
      {"subnormal * 2^5", Op::kScale, smallestSubnormal(), five(), image(0x0000, 32)},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, FrndintTruncates) {
  const ExtReal big = image(0x403E, kTop | 1);  // 2^63 + 1
  const Row rows[] = {
      {"2.9", Op::kRndint, kTwoPointNine, zero(), two()},
      {"-2.9", Op::kRndint, negated(kTwoPointNine), zero(), negated(two())},
      {"0.5", Op::kRndint, half(), zero(), zero()},
      {"-0.5", Op::kRndint, negated(half()), zero(), minusZero()},
      {"2^63 + 1 is unchanged", Op::kRndint, big, zero(), big},
      {"largest is unchanged", Op::kRndint, minusLargest(), zero(), minusLargest()},
      {"+inf", Op::kRndint, plusInf(), zero(), plusInf()},
      {"-inf", Op::kRndint, minusInf(), zero(), minusInf()},
      {"-0", Op::kRndint, minusZero(), zero(), minusZero()},
      {"a subnormal", Op::kRndint, negated(smallestSubnormal()), zero(), minusZero()},
  };
  EXPECT_ROWS(rows);
}

TEST(X87Behaviour, SignsOfZeros) {
  const Row rows[] = {
      {"x - x", Op::kSub, five(), five(), zero()},
      {"-x - -x", Op::kSub, minusFive(), minusFive(), zero()},
      {"x + -x", Op::kAdd, five(), minusFive(), zero()},
      {"-x + x", Op::kAdd, minusFive(), five(), zero()},
      {"(+0) + (-0)", Op::kAdd, zero(), minusZero(), zero()},
      {"(-0) - (-0)", Op::kSub, minusZero(), minusZero(), zero()},
      {"(-0) + (-0)", Op::kAdd, minusZero(), minusZero(), minusZero()},
      {"(-0) - (+0)", Op::kSub, minusZero(), zero(), minusZero()},
      {"0 * -5", Op::kMul, zero(), minusFive(), minusZero()},
      {"-0 * -5", Op::kMul, minusZero(), minusFive(), zero()},
      {"0 / -5", Op::kDiv, zero(), minusFive(), minusZero()},
      {"-5 / inf", Op::kDiv, minusFive(), plusInf(), minusZero()},
      {"-0 - 5 is -5", Op::kSub, minusZero(), five(), minusFive()},
      {"the negation 0 - 0", Op::kSub, zero(), zero(), zero()},
      {"the negation 0 - (-0)", Op::kSub, zero(), minusZero(), zero()},
  };
  EXPECT_ROWS(rows);
}

// Rows with a result that is not an extended real.
struct BitsRow {
  const char* what;
  ExtReal a;
  std::uint64_t expected;
};

template <typename Result>
void expectBits(const char* instruction, Result (*InstructionSet::*member)(ExtReal),
                const BitsRow* rows, std::size_t count) {
  for (const InstructionSet& set : instructionSets())
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t got = static_cast<std::uint64_t>((set.*member)(rows[i].a)) &
                                (sizeof(Result) == 8 ? ~0ULL : 0xFFFFFFFFULL);
      EXPECT_EQ(got, rows[i].expected)
          << set.name << " " << instruction << ": " << rows[i].what << std::hex;
    }
}

TEST(X87Behaviour, NarrowingStoresTruncateWithGradualUnderflow) {
  const BitsRow doubles[] = {
      {"1 + 2^-60", image(0x3FFF, kTop | 8), 0x3FF0000000000000ULL},
      {"-(1 + 2^-60)", image(0xBFFF, kTop | 8), 0xBFF0000000000000ULL},
      {"just below 2", image(0x3FFF, ~0ULL), 0x3FFFFFFFFFFFFFFFULL},
      {"2^-1023, subnormal", image(0x3C00, kTop), 0x0008000000000000ULL},
      {"2^-1074", image(0x3BCD, kTop), 0x0000000000000001ULL},
      {"below 2^-1074", image(0x3BCC, ~0ULL), 0},
      {"below 2^-1074, negative", image(0xBBCC, ~0ULL), 0x8000000000000000ULL},
      {"an extended subnormal", smallestSubnormal(), 0},
      {"a pseudo-denormal, negative", negated(pseudoDenormal()), 0x8000000000000000ULL},
      {"2^1024", image(0x43FF, kTop), 0x7FEFFFFFFFFFFFFFULL},
      {"-largest", minusLargest(), 0xFFEFFFFFFFFFFFFFULL},
      {"+inf", plusInf(), 0x7FF0000000000000ULL},
      {"-0", minusZero(), 0x8000000000000000ULL},
      {"the indefinite", indefinite(), 0xFFF8000000000000ULL},
      {"a signalling NaN keeps its top payload, quieted", signalingNaN(0x800),
       0x7FF8000000000001ULL},
      {"a negative NaN", image(0xFFFF, 0xC123456789ABCDEFULL), 0xFFF82468ACF13579ULL},
      {"a NaN with payload below the kept bits", signalingNaN(0x7FF), 0x7FF8000000000000ULL},
      {"pseudo-infinity", pseudoInfinity(), 0xFFF8000000000000ULL},
      {"pseudo-NaN", negated(pseudoNaN()), 0xFFF8000000000000ULL},
      {"unnormal", unnormal(), 0xFFF8000000000000ULL},
  };
  expectBits("fstp m64", &InstructionSet::fstp64, doubles, sizeof doubles / sizeof doubles[0]);
  const BitsRow floats[] = {
      {"1 + 2^-30", image(0x3FFF, kTop | (1ULL << 33)), 0x3F800000},
      {"2^-149", image(0x3F6A, kTop), 0x00000001},
      {"below 2^-149", image(0x3F69, ~0ULL), 0},
      {"below 2^-149, negative", image(0xBF69, ~0ULL), 0x80000000},
      {"2^-127, subnormal", image(0x3F80, kTop), 0x00400000},
      {"2^128", image(0x407F, kTop), 0x7F7FFFFF},
      {"-2^128", image(0xC07F, kTop), 0xFF7FFFFF},
      {"-inf", minusInf(), 0xFF800000},
      {"the indefinite", indefinite(), 0xFFC00000},
      {"a NaN keeps its top payload", image(0xFFFF, 0xC123456789ABCDEFULL), 0xFFC12345},
      {"a signalling NaN is quieted", signalingNaN(1ULL << 40), 0x7FC00001},
      {"pseudo-infinity", pseudoInfinity(), 0xFFC00000},
      {"unnormal zero", unnormalZero(), 0xFFC00000},
  };
  expectBits("fstp m32", &InstructionSet::fstp32, floats, sizeof floats / sizeof floats[0]);
}

TEST(X87Behaviour, FistpTruncatesAndMarksWhatIsOutOfRange) {
  const BitsRow rows[] = {
      {"-2147483648.5 is in range", image(0xC01E, 0x8000000080000000ULL), 0x80000000},
      {"2147483647.9", image(0x401D, 0xFFFFFFFFCCCCCCCCULL), 0x7FFFFFFF},
      {"2^31", image(0x401E, kTop), 0x80000000},
      {"-2^31 - 1", image(0xC01E, 0x8000000100000000ULL), 0x80000000},
      {"-2.9", negated(kTwoPointNine), 0xFFFFFFFE},
      {"0.5", half(), 0},
      {"-0", minusZero(), 0},
      {"a subnormal", negated(smallestSubnormal()), 0},
      {"+inf", plusInf(), 0x80000000},
      {"-inf", minusInf(), 0x80000000},
      {"a NaN", quietNaN(0), 0x80000000},
      {"unnormal", unnormal(), 0x80000000},
      {"largest", largest(), 0x80000000},
  };
  expectBits("fistp m32", &InstructionSet::fistp32, rows, sizeof rows / sizeof rows[0]);
}

TEST(X87Behaviour, FcomOrdersByValue) {
  struct CompareRow {
    const char* what;
    ExtReal a, b;
    std::uint16_t expected;
  };
  const CompareRow rows[] = {
      {"2 > 1", two(), one(), 0x0000},
      {"1 < 2", one(), two(), 0x0100},
      {"1 = 1", one(), one(), 0x4000},
      {"+0 = -0", zero(), minusZero(), 0x4000},
      {"-0 < smallest subnormal", minusZero(), smallestSubnormal(), 0x0100},
      {"-5 < -1", minusFive(), minusOne(), 0x0100},
      {"-inf < -largest", minusInf(), minusLargest(), 0x0100},
      {"+inf = +inf", plusInf(), plusInf(), 0x4000},
      {"subnormals by value", image(0x0000, 2), smallestSubnormal(), 0x0000},
      {"a pseudo-denormal equals its normal form", pseudoDenormal(), image(0x0001, kTop | 1),
       0x4000},
      {"a pseudo-denormal above a subnormal", pseudoDenormal(), image(0x0000, ~0ULL >> 1), 0x0000},
      {"qNaN", quietNaN(0), one(), 0x4500},
      {"sNaN", one(), signalingNaN(1), 0x4500},
      {"the same NaN", quietNaN(0), quietNaN(0), 0x4500},
      {"pseudo-NaN", pseudoNaN(), one(), 0x4500},
      {"unnormal", zero(), unnormal(), 0x4500},
      {"pseudo-infinity", pseudoInfinity(), pseudoInfinity(), 0x4500},
  };
  for (const InstructionSet& set : instructionSets())
    for (const CompareRow& row : rows)
      EXPECT_EQ(set.fcom(row.a, row.b), row.expected) << set.name << ": " << row.what;
}

TEST(X87Behaviour, LoadsAreExactAndQuietSignallingNaNs) {
  struct LoadRow {
    const char* what;
    ExtReal got;
    ExtReal expected;
  };
  for (const InstructionSet& set : instructionSets()) {
    const LoadRow rows[] = {
        {"fld m32 7F800001", set.fld32(0x7F800001), image(0x7FFF, 0xC000010000000000ULL)},
        {"fld m32 FFC00000", set.fld32(0xFFC00000), indefinite()},
        {"fld m32 -inf", set.fld32(0xFF800000), minusInf()},
        {"fld m32 smallest subnormal", set.fld32(0x00000001), image(0x3F6A, kTop)},
        {"fld m32 largest subnormal", set.fld32(0x807FFFFF), image(0xBF80, 0xFFFFFE0000000000ULL)},
        {"fld m32 -0", set.fld32(0x80000000), minusZero()},
        {"fld m64 7FF0000000000001", set.fld64(0x7FF0000000000001ULL),
         image(0x7FFF, 0xC000000000000800ULL)},
        {"fld m64 quiet NaN", set.fld64(0xFFFFFFFFFFFFFFFFULL), image(0xFFFF, ~0ULL << 11)},
        {"fld m64 smallest subnormal", set.fld64(1), image(0x3BCD, kTop)},
        {"fld m64 largest", set.fld64(0x7FEFFFFFFFFFFFFFULL), image(0x43FE, ~0ULL << 11)},
        {"fild m32 INT32_MIN", set.fild32(INT32_MIN), image(0xC01E, kTop)},
        {"fild m32 -1", set.fild32(-1), minusOne()},
        {"fild m32 0", set.fild32(0), zero()},
        {"fild m64 INT64_MIN", set.fild64(INT64_MIN), image(0xC03E, kTop)},
        {"fild m64 INT64_MAX", set.fild64(INT64_MAX), image(0x403D, ~0ULL << 1)},
    };
    for (const LoadRow& row : rows)
      EXPECT_TRUE(sameBits(row.got, row.expected)) << set.name << ": " << row.what;
  }
}

}  // namespace
