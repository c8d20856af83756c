// FastReal must give exactly the bits of the literal ExtReal operations.
#include "numeric/fast_real.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "numeric/ext_math.h"
#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"
#include "tests/support/x87_operands.h"

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
#if VELTRANE_COMPUTES_ON_UNIT  // the unit's registers and control word
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
#endif

#if VELTRANE_COMPUTES_ON_UNIT  // the unit's registers and control word
// The mode sets the truncating word from any other (the default word, which
// rounds to nearest, and one with another precision and rounding) and keeps
// it when it is already in force.
TEST(FastReal, TruncatingModeFromAnyControlWord) {
  for (const std::uint16_t before : {0x037F, 0x0C7F, 0x0F7F, 0x007F}) {
    std::uint16_t word = before;
    __asm__ volatile("fldcw %0" : : "m"(word));
    ASSERT_EQ(x87ControlWord(), before);
    X87TruncatingMode mode;
    EXPECT_EQ(x87ControlWord(), ExtFormat::kControlWord) << std::hex << before;
    // Truncation in force: 1 / 3 rounds down, to the literal quotient.
    const int one = 1, three = 3;
    EXPECT_TRUE(exttest::sameBits((FastReal(one) / FastReal(three)).toExtReal(),
                                  ExtReal(one) / ExtReal(three)))
        << std::hex << before;
  }
}
#endif

TEST(FastReal, ConstructorsAreExact) {
  X87TruncatingMode mode;
  const int i = -123456789;
  const double d = 0.1;
  const float f = 0.1f;
  EXPECT_TRUE(exttest::sameBits(FastReal(i).toExtReal(), ExtReal(i)));
  // Every power of two and its neighbours, both signs, the ends of the range.
  for (int bit = 0; bit < 31; ++bit) {
    for (int k : {(1 << bit) - 1, 1 << bit, (1 << bit) + 1}) {
      EXPECT_TRUE(exttest::sameBits(FastReal(k).toExtReal(), ExtReal(k))) << k;
      EXPECT_TRUE(exttest::sameBits(FastReal(-k).toExtReal(), ExtReal(-k))) << -k;
    }
  }
  for (int k : {INT_MIN, INT_MIN + 1, INT_MAX})
    EXPECT_TRUE(exttest::sameBits(FastReal(k).toExtReal(), ExtReal(k))) << k;
  for (int bit = 0; bit < 63; ++bit) {
    const std::int64_t power = std::int64_t{1} << bit;
    for (std::int64_t k : {power - 1, power, power + 1, -power - 1, -power, -power + 1})
      EXPECT_TRUE(exttest::sameBits(FastReal::fromInt64(k).toExtReal(), x87::fild64(k))) << k;
  }
  for (std::int64_t k : {INT64_MIN, INT64_MIN + 1, INT64_MAX})
    EXPECT_TRUE(exttest::sameBits(FastReal::fromInt64(k).toExtReal(), x87::fild64(k))) << k;
  EXPECT_TRUE(exttest::sameBits(FastReal(d).toExtReal(), ExtReal(d)));
  EXPECT_TRUE(exttest::sameBits(FastReal(f).toExtReal(), ExtReal(f)));
  EXPECT_EQ(x87ControlWord(), ExtFormat::kControlWord);
}

}  // namespace

namespace {

// The memoised power is extPow itself, whether it was just computed, found,
// or computed again after a colliding key took its slot (the slot is
// base * 1031 + exponent modulo 16384).
TEST(FastReal, CachedPowersAreTheLiteralPowers) {
  std::mt19937 rng(1031);
  std::vector<std::pair<int, int>> keys;
  for (int i = 0; i < 400; ++i) {
    const int base = static_cast<int>(rng() % 100);
    const int exponent = static_cast<int>(rng() % 10000) - 5000;
    keys.push_back({base, exponent});
    // A key of another base in the same slot.
    const int other = static_cast<int>(rng() % 100);
    keys.push_back({other, exponent + 1031 * (base - other) + 16384 * static_cast<int>(rng() % 3)});
  }
  keys.push_back({10, 2000000000});
  keys.push_back({10, -2000000000});
  for (int round = 0; round < 2; ++round) {
    for (const auto& key : keys) {
      const ExtReal literal = extPow(ExtReal(key.first), ExtReal(key.second));
      X87TruncatingMode mode;
      const ExtReal fast = cachedPower(key.first, key.second).toExtReal();
      ASSERT_TRUE(exttest::sameBits(fast, literal)) << key.first << "^" << key.second;
    }
  }
}

// The software build answers negation, the comparisons and normal products
// from the fields where the operands allow; the instructions decide every
// other case. Both must agree with the literal ExtReal steps on every kind of
// operand: equal magnitudes of either sign, zeros against zeros and
// normals, products at and beside both ends of the normal range, and the
// images the shortcuts leave to the instruction (subnormals, pseudo-denormals,
// infinities, NaNs, rejected encodings). On the unit the same checks hold
// for the register operations.
TEST(FastReal, ShortcutsMatchTheInstructionsOnEveryKindOfOperand) {
  x87test::OperandSource source(2026);
  X87TruncatingMode mode;
  const ExtReal zeros[] = {ExtReal::fromBits(0, 0), ExtReal::fromBits(0, 0x8000)};
  for (int i = 0; i < 300000; ++i) {
    const ExtReal a = i % 16 == 0 ? zeros[(i / 16) % 2] : source.any();
    ExtReal b = source.partner(a);
    if (i % 16 == 1) b = zeros[(i / 16) % 2];
    if (i % 16 == 2) b = a;
    if (i % 16 == 3) b = ExtReal::fromBits(a.significand(), a.signAndExponent() ^ 0x8000);
    const FastReal fa(a), fb(b);
    ASSERT_TRUE(exttest::sameBits((-fa).toExtReal(), -a)) << exttest::describe(a);
    ASSERT_TRUE(exttest::sameBits((fa * fb).toExtReal(), a * b))
        << exttest::describe(a) << " * " << exttest::describe(b);
    ASSERT_TRUE(exttest::sameBits((fa + fb).toExtReal(), a + b))
        << exttest::describe(a) << " + " << exttest::describe(b);
    ASSERT_TRUE(exttest::sameBits((fa - fb).toExtReal(), a - b))
        << exttest::describe(a) << " - " << exttest::describe(b);
    ASSERT_TRUE(exttest::sameBits((fb - fa).toExtReal(), b - a))
        << exttest::describe(b) << " - " << exttest::describe(a);
    ASSERT_EQ(fa < fb, a < b) << exttest::describe(a) << " < " << exttest::describe(b);
    ASSERT_EQ(fa <= fb, a <= b) << exttest::describe(a) << " <= " << exttest::describe(b);
    ASSERT_EQ(fa > fb, a > b) << exttest::describe(a) << " > " << exttest::describe(b);
    ASSERT_EQ(fa >= fb, a >= b) << exttest::describe(a) << " >= " << exttest::describe(b);
    ASSERT_EQ(fa == fb, a == b) << exttest::describe(a) << " == " << exttest::describe(b);
  }
}

}  // namespace
