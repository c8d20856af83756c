#include "numeric/ext_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "numeric/startup.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::sameBits;
using exttest::withinUlps;

namespace {

// fyl2x and f2xm1 may differ in the last bit between processor makers.
constexpr unsigned long long kApproxUlps = 4;

TEST(TwoPow64, HoldsExactlyTwoToThe64) {
  const unsigned char expected[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0x40};
  EXPECT_EQ(std::memcmp(twoPow64.bytes(), expected, 10), 0) << exttest::describe(twoPow64);
  EXPECT_GT(twoPow64StartupTicket(), 0);
}

TEST(ExtLog2, ExactAndEdgeValues) {
  EXPECT_TRUE(sameBits(extLog2(ExtReal(1)), bits(0, 0)));
  EXPECT_TRUE(sameBits(extLog2(ExtReal(8)), ExtReal(3)));
  EXPECT_TRUE(sameBits(extLog2(ExtReal(0.0)), exttest::minusInf()));
  EXPECT_TRUE(sameBits(extLog2(ExtReal(-0.0)), exttest::minusInf()));
  EXPECT_TRUE(exttest::isNaN(extLog2(ExtReal(-1))));
  EXPECT_TRUE(exttest::isNaN(extLog2(exttest::minusInf())));
  EXPECT_TRUE(exttest::isNaN(extLog2(exttest::quietNaN())));
  EXPECT_TRUE(sameBits(extLog2(exttest::plusInf()), exttest::plusInf()));
  // Whole powers of two from 1 up are exact on every processor, which keeps
  // maxDigits of bases 2, 4 and 16 from being one short. Below 1, some
  // processors' fyl2x under rounding toward zero lands one unit short of -k;
  // the digit generator's estimate tolerates that.
  for (int k = -16382; k <= 16383; k += 97) {
    if (k >= 0)
      EXPECT_TRUE(sameBits(extLog2(exttest::powerOfTwo(k)), ExtReal(k))) << k;
    else
      EXPECT_TRUE(withinUlps(extLog2(exttest::powerOfTwo(k)), ExtReal(k), 1)) << k;
  }
}

TEST(ExtExp2, ExactPowersAndFractions) {
  EXPECT_TRUE(sameBits(extExp2(ExtReal(0)), ExtReal(1)));
  EXPECT_TRUE(sameBits(extExp2(ExtReal(10)), ExtReal(1024)));
  EXPECT_TRUE(sameBits(extExp2(ExtReal(-3)), ExtReal(0.125)));
  for (int k = -16382; k <= 16383; k += 89)
    EXPECT_TRUE(sameBits(extExp2(ExtReal(k)), exttest::powerOfTwo(k))) << k;
  // 2^2.5 = 4 * sqrt(2); 2^-2.5 = 2^-2 * 2^-0.5.
  const ExtReal sqrt2 = bits(0xB504F333F9DE6484ULL, 16383);  // sqrt(2) truncated
  EXPECT_TRUE(withinUlps(extExp2(ExtReal(2.5)), ExtReal(4) * sqrt2, kApproxUlps));
  const ExtReal rsqrt2Quarter = bits(0xB504F333F9DE6484ULL, 16383 - 3);  // 2^-2.5
  EXPECT_TRUE(withinUlps(extExp2(ExtReal(-2.5)), rsqrt2Quarter, kApproxUlps));
  EXPECT_NEAR(toDouble(extExp2(ExtReal(-2.5))), 0.1767767, 1e-7);
  EXPECT_TRUE(exttest::isNaN(extExp2(exttest::plusInf())));
  EXPECT_TRUE(exttest::isNaN(extExp2(exttest::minusInf())));
  EXPECT_TRUE(exttest::isNaN(extExp2(exttest::quietNaN())));
  EXPECT_TRUE(sameBits(extExp2(ExtReal(20000)), exttest::largestFinite()));
  EXPECT_TRUE(sameBits(extExp2(ExtReal(-20000)), bits(0, 0)));
}

TEST(ExtPow, ExactAndDegenerateCases) {
  EXPECT_TRUE(sameBits(extPow(ExtReal(2), ExtReal(64)), twoPow64));
  EXPECT_TRUE(sameBits(extPow(ExtReal(2), ExtReal(-3)), ExtReal(0.125)));
  EXPECT_TRUE(sameBits(extPow(ExtReal(4), ExtReal(-7)), exttest::powerOfTwo(-14)));
  EXPECT_TRUE(sameBits(extPow(ExtReal(16), ExtReal(16)), exttest::powerOfTwo(64)));
  for (int base = 2; base <= 36; ++base) {
    EXPECT_TRUE(sameBits(extPow(ExtReal(base), ExtReal(0)), ExtReal(1))) << base;
    EXPECT_TRUE(sameBits(extLogBase(ExtReal(base), ExtReal(1)), bits(0, 0))) << base;
  }
  EXPECT_TRUE(sameBits(extPow(ExtReal(1), ExtReal(12345)), ExtReal(1)));
  EXPECT_TRUE(sameBits(extPow(ExtReal(1), ExtReal(-12345)), ExtReal(1)));
  EXPECT_TRUE(exttest::isNaN(extPow(ExtReal(-2), ExtReal(2))));
  EXPECT_TRUE(exttest::isNaN(extPow(ExtReal(0), ExtReal(5))));
  EXPECT_TRUE(exttest::isNaN(extPow(ExtReal(0), ExtReal(0))));
  // Non-exact powers come out within a few units of the truncated value.
  EXPECT_TRUE(withinUlps(extPow(ExtReal(10), ExtReal(5)), ExtReal(100000), 16));
  EXPECT_TRUE(withinUlps(extPow(ExtReal(3), ExtReal(4)), ExtReal(81), 16));
  EXPECT_TRUE(withinUlps(extPow(ExtReal(10), ExtReal(-1)), ExtReal(1) / ExtReal(10), 16));
}

TEST(ExtLogBase, DigitCapacityOf64Bits) {
  EXPECT_TRUE(sameBits(extLogBase(ExtReal(2), twoPow64), ExtReal(64)));
  EXPECT_TRUE(sameBits(extLogBase(ExtReal(16), twoPow64), ExtReal(16)));
  EXPECT_TRUE(sameBits(extLogBase(ExtReal(4), twoPow64), ExtReal(32)));
  EXPECT_NEAR(toDouble(extLogBase(ExtReal(10), twoPow64)), 19.2659197, 1e-6);
  EXPECT_TRUE(std::isinf(toDouble(extLogBase(ExtReal(1), ExtReal(5)))));
}

// floor(64 / log2(base)) without floating point: the largest n with
// base^n <= 2^64.
int referenceMaxDigits(int base) {
  unsigned __int128 power = 1;
  const unsigned __int128 limit = static_cast<unsigned __int128>(1) << 64;
  int n = 0;
  while (power * static_cast<unsigned>(base) <= limit) {
    power *= static_cast<unsigned>(base);
    ++n;
  }
  return n;
}

TEST(MaxDigits, EveryBaseMatchesIndependentCount) {
  const struct {
    int base, digits;
  } fixed[] = {{2, 64},  {3, 40},  {4, 32},  {8, 21}, {10, 19},
               {16, 16}, {30, 13}, {31, 12}, {36, 12}};
  for (const auto& f : fixed) EXPECT_EQ(maxDigits(f.base), f.digits) << f.base;
  for (int base = 2; base <= 36; ++base)
    EXPECT_EQ(maxDigits(base), referenceMaxDigits(base)) << base;
}

TEST(DoubleExponent, ReadsTheBiasedField) {
  const struct {
    double value;
    int exponent;
  } cases[] = {{1.0, 0},      {0.75, -1},      {1024.0, 10},     {-8.0, 3},  {0.0, -1023},
               {-0.0, -1023}, {5e-324, -1023}, {HUGE_VAL, 1024}, {NAN, 1024}};
  for (const auto& c : cases) EXPECT_EQ(doubleExponent(c.value), c.exponent) << c.value;
}

}  // namespace
