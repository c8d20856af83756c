// FastReal must give exactly the bits of the literal ExtReal operations.
#include "numeric/fast_real.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "numeric/arithmetic.h"
#include "numeric/ext_math.h"
#include "tests/support/ext_testing.h"

namespace {

std::vector<ExtReal> interestingValues() {
  std::vector<ExtReal> values = {
      ExtReal(0),
      ExtReal(-0.0),
      ExtReal(1),
      ExtReal(-1),
      ExtReal(10),
      ExtReal(1) / ExtReal(3),
      exttest::largestFinite(),
      -exttest::largestFinite(),
      exttest::plusInf(),
      exttest::minusInf(),
      exttest::quietNaN(),
      exttest::smallestSubnormal(),
      exttest::bits(0x8000000000000000ULL, 1),  // smallest normal
      exttest::bits(0x7FFFFFFFFFFFFFFFULL, 0),  // largest subnormal
  };
  std::mt19937_64 rng(42);
  for (int i = 0; i < 400; ++i) {
    const std::uint16_t exponent = static_cast<std::uint16_t>(rng() % 0x7FFF);
    values.push_back(exttest::bits(rng() | (exponent ? 0x8000000000000000ULL : 0),
                                   static_cast<std::uint16_t>(exponent | ((rng() & 1) << 15))));
  }
  for (int i = 0; i < 100; ++i) {
    const int k = static_cast<int>(rng() % 200) - 100;
    values.push_back(ExtReal(k));
  }
  return values;
}

TEST(FastReal, ArithmeticMatchesLiteralOperationsBitForBit) {
  const std::vector<ExtReal> values = interestingValues();
  X87TruncatingMode mode;
  for (const ExtReal& a : values) {
    const FastReal fa(a);
    EXPECT_TRUE(exttest::sameBits((-fa).toExtReal(), -a)) << exttest::describe(a);
    EXPECT_EQ(toInt(fa), toInt(a)) << exttest::describe(a);
    for (std::size_t j = 0; j < values.size(); j += 7) {
      const ExtReal& b = values[j];
      const FastReal fb(b);
      ASSERT_TRUE(exttest::sameBits((fa + fb).toExtReal(), a + b));
      ASSERT_TRUE(exttest::sameBits((fa - fb).toExtReal(), a - b));
      ASSERT_TRUE(exttest::sameBits((fa * fb).toExtReal(), a * b));
      ASSERT_TRUE(exttest::sameBits((fa / fb).toExtReal(), a / b));
      ASSERT_EQ(fa < fb, a < b);
      ASSERT_EQ(fa <= fb, a <= b);
      ASSERT_EQ(fa > fb, a > b);
      ASSERT_EQ(fa >= fb, a >= b);
      ASSERT_EQ(fa == fb, a == b);
    }
  }
}

TEST(FastReal, PowersAndLogarithmsMatchLiteralOperations) {
  X87TruncatingMode mode;
  for (int base = 0; base <= 99; ++base) {
    const ExtReal b(base);
    for (int e = -5000; e <= 5000; e += 37) {
      const ExtReal x(e);
      ASSERT_TRUE(exttest::sameBits(extPow(FastReal(b), FastReal(x)).toExtReal(), extPow(b, x)))
          << base << "^" << e;
    }
    ASSERT_TRUE(exttest::sameBits(extLogBase(FastReal(b), FastReal(twoPow64)).toExtReal(),
                                  extLogBase(b, twoPow64)));
  }
  for (const ExtReal& x : interestingValues()) {
    ASSERT_TRUE(exttest::sameBits(extLog2(FastReal(x)).toExtReal(), extLog2(x)));
    ASSERT_TRUE(exttest::sameBits(extLogBase(FastReal(ExtReal(7)), FastReal(x)).toExtReal(),
                                  extLogBase(ExtReal(7), x)));
  }
}

// Nothing re-initialises the unit between fast operations, so one that left
// a value behind on the eight-register stack would corrupt the ninth
// operation after it.
TEST(FastReal, LongRunsWithoutReinitialisationKeepTheStackBalanced) {
  X87TruncatingMode mode;
  const int three = 3;
  FastReal x(three);
  for (int i = 0; i < 100; ++i) {
    x = -x;
    x = x * FastReal(three) / FastReal(three);
    const int eight = 8;
    ASSERT_EQ(toInt(extExp2(extLog2(FastReal(eight)))), 8) << i;  // both exact
    ASSERT_EQ(toInt(x < FastReal(0) ? -x : x), 3) << i;
  }
  std::uint16_t tagWord;
  unsigned char environment[28];
  __asm__ volatile("fnstenv %0" : "=m"(environment));
  std::memcpy(&tagWord, environment + 8, 2);
  EXPECT_EQ(tagWord, 0xFFFF) << "registers left in use";
}

TEST(FastReal, ConstructorsAreExact) {
  X87TruncatingMode mode;
  const int i = -123456789;
  const double d = 0.1;
  const float f = 0.1f;
  EXPECT_TRUE(exttest::sameBits(FastReal(i).toExtReal(), ExtReal(i)));
  EXPECT_TRUE(exttest::sameBits(FastReal(d).toExtReal(), ExtReal(d)));
  EXPECT_TRUE(exttest::sameBits(FastReal(f).toExtReal(), ExtReal(f)));
  EXPECT_EQ(x87ControlWord(), ExtFormat::kControlWord);
}

}  // namespace

namespace {

// The integer digit loop of the fast path against the literal x87 steps, on
// values around the digit range of every base (below 1, inside [1, base),
// above it, and past the 8-bit store) and on the odd cases.
TEST(FastReal, DigitExtractionMatchesLiteralSteps) {
  std::mt19937_64 rng(1234);
  std::vector<ExtReal> starts = {
      ExtReal(0),          ExtReal(-0.0),     ExtReal(1),    ExtReal(-5),
      ExtReal(127),        ExtReal(128),      ExtReal(1000), exttest::smallestSubnormal(),
      exttest::quietNaN(), exttest::plusInf()};
  for (int i = 0; i < 3000; ++i) {
    const int unbiased = static_cast<int>(rng() % 16) - 6;  // 2^-6 .. 2^9
    starts.push_back(
        exttest::bits(rng() | 0x8000000000000000ULL, static_cast<std::uint16_t>(16383 + unbiased)));
  }
  for (int base = 2; base <= 36; ++base) {
    for (std::size_t k = 0; k < starts.size(); k += (base % 5) + 1) {
      char literalDigits[64], fastDigits[64];
      ExtReal literalValue = starts[k];
      Arithmetic<ExtReal>::extractDigits(literalDigits, 64, &literalValue, ExtReal(base), base);
      X87TruncatingMode mode;
      FastReal fastValue(starts[k]);
      Arithmetic<FastReal>::extractDigits(fastDigits, 64, &fastValue, FastReal(base), base);
      ASSERT_EQ(std::memcmp(literalDigits, fastDigits, 64), 0)
          << "base " << base << " from " << exttest::describe(starts[k]);
      ASSERT_TRUE(exttest::sameBits(fastValue.toExtReal(), literalValue))
          << "base " << base << " from " << exttest::describe(starts[k]);
    }
  }
}

}  // namespace
