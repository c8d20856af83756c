#include "numeric/ext_real.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::sameBits;

namespace {

#if VELTRANE_COMPUTES_ON_UNIT
void loadDefaultControlWord() {
  const std::uint16_t cw = 0x037F;
  __asm__ volatile("fldcw %0" : : "m"(cw));
}
#endif

TEST(ExtReal, IsExactlyTheTenByteImage) {
  EXPECT_EQ(sizeof(ExtReal), 10u);
  const ExtReal a = bits(0x0123456789ABCDEFULL, 0xFEDC);
  ExtReal b;
  b = a;
  EXPECT_EQ(std::memcmp(a.bytes(), b.bytes(), 10), 0);
  const unsigned char expected[10] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01, 0xDC, 0xFE};
  EXPECT_EQ(std::memcmp(a.bytes(), expected, 10), 0);
}

struct ConstructorCase {
  const char* what;
  ExtReal value;
  std::uint64_t significand;
  std::uint16_t signAndExponent;
};

TEST(ExtReal, ConstructorsAreExact) {
  const int intMin = INT_MIN, intMax = INT_MAX, three = 3, minusFive = -5, zeroInt = 0;
  const float tenthF = 0.1f;
  const double tenth = 0.1, negZero = -0.0, tiny = 4.9406564584124654e-324;
  const ConstructorCase cases[] = {
      {"int 3", ExtReal(three), 0xC000000000000000ULL, 0x4000},
      {"int -5", ExtReal(minusFive), 0xA000000000000000ULL, 0xC001},
      {"int 0", ExtReal(zeroInt), 0, 0},
      {"INT_MIN", ExtReal(intMin), 0x8000000000000000ULL, 0xC01E},
      {"INT_MAX", ExtReal(intMax), 0xFFFFFFFE00000000ULL, 0x401D},
      {"float 0.1", ExtReal(tenthF), 0xCCCCCD0000000000ULL, 0x3FFB},
      {"double 0.1", ExtReal(tenth), 0xCCCCCCCCCCCCD000ULL, 0x3FFB},
      {"double -0.0", ExtReal(negZero), 0, 0x8000},
      {"smallest double subnormal", ExtReal(tiny), 0x8000000000000000ULL, 0x3BCD},
  };
  for (const auto& c : cases)
    EXPECT_TRUE(sameBits(c.value, bits(c.significand, c.signAndExponent))) << c.what;
}

struct ArithmeticCase {
  const char* what;
  ExtReal result;
  ExtReal expected;
};

TEST(ExtReal, ArithmeticTruncatesAndTakesObjectAsLeftOperand) {
  const ExtReal one(1), three(3), four(4), five(5), ten(10), zero(0), minusOne(-1);
  const ExtReal largest = exttest::largestFinite();
  const ExtReal two(2);
  const ArithmeticCase cases[] = {
      {"3 - 5", three - five, ExtReal(-2)},
      {"1 / 4", one / four, ExtReal(0.25)},
      {"1 / 3 truncated", one / three, bits(0xAAAAAAAAAAAAAAAAULL, 16383 - 2)},
      {"1 / 10 truncated", one / ten, bits(0xCCCCCCCCCCCCCCCCULL, 16383 - 4)},
      {"-1 / 3 truncated toward zero", minusOne / three,
       bits(0xAAAAAAAAAAAAAAAAULL, 0x8000 | (16383 - 2))},
      {"2 * 3", two * three, ExtReal(6)},
      {"3 + 4", three + four, ExtReal(7)},
      {"1 / 0", one / zero, exttest::plusInf()},
      {"-1 / 0", minusOne / zero, exttest::minusInf()},
      {"largest * 2 saturates", largest * two, largest},
      {"largest + largest saturates", largest + largest, largest},
      {"-largest * 2 saturates", (-largest) * two, bits(~0ULL, 0xFFFE)},
      {"x - x is +0", three - three, bits(0, 0)},
      {"smallest subnormal / 2 underflows to +0", exttest::smallestSubnormal() / two, bits(0, 0)},
      // 1 + 2^-64 does not fit 64 bits: truncated back to 1.
      {"1 + 2^-64 truncates", one + exttest::powerOfTwo(-64), one},
      // 1 - 2^-70 truncates down to the largest value below 1.
      {"1 - 2^-70 truncates", one - exttest::powerOfTwo(-70), bits(~0ULL, 16382)},
  };
  for (const auto& c : cases) EXPECT_TRUE(sameBits(c.result, c.expected)) << c.what;
  EXPECT_TRUE(exttest::isNaN(zero / zero));
}

TEST(ExtReal, CompoundAssignmentReturnsSeparateCopy) {
  ExtReal a(5);
  ExtReal copy = (a += ExtReal(2));
  EXPECT_TRUE(sameBits(a, ExtReal(7)));
  copy = ExtReal(100);
  EXPECT_TRUE(sameBits(a, ExtReal(7)));

  ExtReal b(10);
  EXPECT_TRUE(sameBits(b -= ExtReal(4), ExtReal(6)));
  EXPECT_TRUE(sameBits(b *= ExtReal(3), ExtReal(18)));
  EXPECT_TRUE(sameBits(b /= ExtReal(36), ExtReal(0.5)));
  EXPECT_TRUE(sameBits(b, ExtReal(0.5)));
  ExtReal c(1);
  c /= ExtReal(3);
  EXPECT_TRUE(sameBits(c, bits(0xAAAAAAAAAAAAAAAAULL, 16381)));
}

TEST(ExtReal, NegationGivesPositiveZeroForBothZeros) {
  const double plusZero = 0.0, minusZero = -0.0;
  EXPECT_TRUE(sameBits(-ExtReal(plusZero), bits(0, 0)));
  EXPECT_TRUE(sameBits(-ExtReal(minusZero), bits(0, 0)));
  EXPECT_TRUE(sameBits(-ExtReal(3), ExtReal(-3)));
  EXPECT_TRUE(sameBits(-exttest::plusInf(), exttest::minusInf()));
  EXPECT_TRUE(exttest::isNaN(-exttest::quietNaN()));
}

struct CompareCase {
  const char* what;
  ExtReal a, b;
  int less, lessEqual, greater, greaterEqual, equal;
};

TEST(ExtReal, ComparisonTable) {
  const ExtReal nan = exttest::quietNaN();
  const CompareCase cases[] = {
      {"1 vs 2", ExtReal(1), ExtReal(2), 1, 1, 0, 0, 0},
      {"2 vs 1", ExtReal(2), ExtReal(1), 0, 0, 1, 1, 0},
      {"2 vs 2", ExtReal(2), ExtReal(2), 0, 1, 0, 1, 1},
      {"+0 vs -0", ExtReal(0.0), ExtReal(-0.0), 0, 1, 0, 1, 1},
      {"-inf vs largest", exttest::minusInf(), exttest::largestFinite(), 1, 1, 0, 0, 0},
      {"NaN vs 1", nan, ExtReal(1), 0, 0, 0, 0, 0},
      {"1 vs NaN", ExtReal(1), nan, 0, 0, 0, 0, 0},
      {"NaN vs itself", nan, nan, 0, 0, 0, 0, 0},
      {"0/0 vs itself", ExtReal(0) / ExtReal(0), ExtReal(0) / ExtReal(0), 0, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.a < c.b, c.less) << c.what;
    EXPECT_EQ(c.a <= c.b, c.lessEqual) << c.what;
    EXPECT_EQ(c.a > c.b, c.greater) << c.what;
    EXPECT_EQ(c.a >= c.b, c.greaterEqual) << c.what;
    EXPECT_EQ(c.a == c.b, c.equal) << c.what;
  }
}

TEST(ExtReal, ToIntTruncatesAndGivesIndefiniteOutOfRange) {
  struct Case {
    const char* what;
    ExtReal value;
    int expected;
  } const cases[] = {
      {"2.9", ExtReal(2.9), 2},
      {"-2.9", ExtReal(-2.9), -2},
      {"-2147483648.5 truncates into range", ExtReal(-2147483648.5), INT_MIN},
      {"2147483647.9", ExtReal(2147483647.9), INT_MAX},
      {"3000000000", ExtReal(3000000000.0), INT_MIN},
      {"2147483648", ExtReal(2147483648.0), INT_MIN},
      {"NaN", exttest::quietNaN(), INT_MIN},
      {"+inf", exttest::plusInf(), INT_MIN},
      {"-inf", exttest::minusInf(), INT_MIN},
      {"-0.9", ExtReal(-0.9), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(toInt(c.value), c.expected) << c.what;
}

TEST(ExtReal, NarrowingRoundsTowardZero) {
  const ExtReal tenth = ExtReal(1) / ExtReal(10);
  const double d = toDouble(tenth);
  std::uint64_t dbits;
  std::memcpy(&dbits, &d, 8);
  EXPECT_EQ(dbits, 0x3FB9999999999999ULL);  // nearest would be ...9A
  const double minusTenth = toDouble(-tenth);
  std::memcpy(&dbits, &minusTenth, 8);
  EXPECT_EQ(dbits, 0xBFB9999999999999ULL);
  const float f = toFloat(tenth);
  std::uint32_t fbits;
  std::memcpy(&fbits, &f, 4);
  EXPECT_EQ(fbits, 0x3DCCCCCCu);  // nearest would be ...CD
  EXPECT_EQ(toDouble(exttest::largestFinite()), DBL_MAX);
  EXPECT_EQ(toDouble(-exttest::largestFinite()), -DBL_MAX);
  EXPECT_EQ(toFloat(exttest::largestFinite()), FLT_MAX);
  EXPECT_EQ(toDouble(exttest::plusInf()), HUGE_VAL);
  EXPECT_EQ(toFloat(exttest::minusInf()), -HUGE_VALF);
  const double nan = toDouble(exttest::quietNaN());
  EXPECT_NE(nan, nan);
}

// The mode of the unit; the software instructions have no other.
#if VELTRANE_COMPUTES_ON_UNIT
TEST(ExtReal, EveryOperationLeavesControlWord0F7F) {
  const ExtReal a(7), b(3);
  ExtReal c;
  int ignored = 0;
  // Each entry runs one operation; the control word is reset in between.
  auto check = [&](const char* what, auto&& op) {
    loadDefaultControlWord();
    ASSERT_EQ(x87ControlWord(), 0x037F);
    op();
    EXPECT_EQ(x87ControlWord(), ExtFormat::kControlWord) << what;
  };
  const int i = 3;
  const float f = 1.5f;
  const double d = 2.5;
  check("int constructor", [&] { c = ExtReal(i); });
  check("float constructor", [&] { c = ExtReal(f); });
  check("double constructor", [&] { c = ExtReal(d); });
  check("+", [&] { c = a + b; });
  check("-", [&] { c = a - b; });
  check("*", [&] { c = a * b; });
  check("/", [&] { c = a / b; });
  check("+=", [&] { c += b; });
  check("-=", [&] { c -= b; });
  check("*=", [&] { c *= b; });
  check("/=", [&] { c /= b; });
  check("unary -", [&] { c = -a; });
  check("<", [&] { ignored += a < b; });
  check("<=", [&] { ignored += a <= b; });
  check(">", [&] { ignored += a > b; });
  check(">=", [&] { ignored += a >= b; });
  check("==", [&] { ignored += a == b; });
  check("toInt", [&] { ignored += toInt(a); });
  check("toDouble", [&] { ignored += static_cast<int>(toDouble(a)); });
  check("toFloat", [&] { ignored += static_cast<int>(toFloat(a)); });
  EXPECT_GE(ignored, 0);
}
#endif

TEST(IsNormalImage, EveryClassOfImage) {
  struct Row {
    std::uint64_t significand;
    std::uint16_t signAndExponent;
    bool normal;
  };
  const Row rows[] = {
      {0, 0x0000, false},                      // +0
      {0, 0x8000, false},                      // -0
      {1, 0x0000, false},                      // smallest subnormal
      {0x8000000000000000ULL, 0x0000, false},  // pseudo-denormal
      {0x8000000000000000ULL, 0x0001, true},   // smallest normal
      {0x8000000000000000ULL, 0xBFFF, true},   // -1
      {~0ULL, 0x7FFE, true},                   // largest finite
      {0x7FFFFFFFFFFFFFFFULL, 0x3FFF, false},  // unnormal
      {0, 0x4000, false},                      // unnormal zero significand
      {0x8000000000000000ULL, 0x7FFF, false},  // +infinity
      {0xC000000000000000ULL, 0xFFFF, false},  // the indefinite
      {0, 0x7FFF, false},                      // pseudo-infinity
  };
  for (const Row& row : rows)
    EXPECT_EQ(isNormalImage(exttest::bits(row.significand, row.signAndExponent)), row.normal)
        << exttest::describe(exttest::bits(row.significand, row.signAndExponent));
}

}  // namespace
