#include "numeral/digits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeric/ext_math.h"
#include "tests/format/exact_reference.h"
#include "tests/format/literal_digits.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::powerOfTwo;

namespace {

constexpr char kGuardByte = '\x5A';
// Room for the largest generator output plus a fence of guard bytes.
constexpr int kFence = 64;

struct Digits {
  std::string text;  // the NUL-terminated result, as a string
  int count;
  int negative;
  int exponent;
  int usedBytes;  // one past the last byte that differs from the guard fill
};

// Runs generateDigits into a buffer pre-filled with guard bytes.
Digits generate(const ExtReal& value, int base) {
  char buffer[64 + kFence];
  std::memset(buffer, kGuardByte, sizeof buffer);
  Digits r{};
  r.count = r.negative = r.exponent = -999;
  generateDigits(buffer, &r.count, &r.negative, &r.exponent, value, base);
  r.usedBytes = 0;
  for (int i = 0; i < static_cast<int>(sizeof buffer); ++i)
    if (buffer[i] != kGuardByte) r.usedBytes = i + 1;
  buffer[sizeof buffer - 1] = '\0';
  r.text = buffer;
  return r;
}

int clampBase(int base) { return base < 2 ? 2 : (base > 36 ? 36 : base); }

// Everything the formatter relies on, whatever the input.
::testing::AssertionResult wellFormed(const Digits& r, int base) {
  const int n = maxDigits(clampBase(base));
  if (r.count < 1 || r.count > n - 1) return ::testing::AssertionFailure() << "count " << r.count;
  if (static_cast<int>(r.text.size()) != r.count)
    return ::testing::AssertionFailure() << "text '" << r.text << "' vs count " << r.count;
  if (r.usedBytes > n) return ::testing::AssertionFailure() << "wrote " << r.usedBytes << " bytes";
  if (r.negative != 0 && r.negative != 1) return ::testing::AssertionFailure() << "negative";
  for (char c : r.text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')))
      return ::testing::AssertionFailure() << "character " << int(c) << " in " << r.text;
    if ((c <= '9' ? c - '0' : c - 'A' + 10) >= clampBase(base))
      return ::testing::AssertionFailure() << "digit " << c << " in base " << clampBase(base);
  }
  if (r.text != "0" && r.text[0] == '0')
    return ::testing::AssertionFailure() << "leading zero in " << r.text;
  return ::testing::AssertionSuccess();
}

struct DigitCase {
  const char* label;
  ExtReal value;
  int base;
  const char* digits;
  int exponent;
  int negative;
};

void checkCases(const DigitCase* cases, int n) {
  for (int i = 0; i < n; ++i) {
    const DigitCase& c = cases[i];
    const Digits r = generate(c.value, c.base);
    EXPECT_EQ(r.text, c.digits) << c.label << " base " << c.base;
    EXPECT_EQ(r.count, static_cast<int>(std::strlen(c.digits))) << c.label;
    EXPECT_EQ(r.exponent, c.exponent) << c.label << " base " << c.base;
    EXPECT_EQ(r.negative, c.negative) << c.label;
    EXPECT_TRUE(wellFormed(r, c.base)) << c.label;
  }
}

const std::string ones63(63, '1');
// 1, then zeros, then 1: count digits in all.
std::string oneZerosOne(int count) { return "1" + std::string(count - 2, '0') + "1"; }
const std::string tenOf18 = oneZerosOne(18);
const std::string threeOf39 = oneZerosOne(39);
const ExtReal kTwoMinusUlp = bits(~0ULL, 16383);                  // 2 - 2^-63, all 64 bits set
const ExtReal kSixteenMinusUlp = bits(~0ULL, 16386);              // 16 - 2^-60
const ExtReal kTenMinusUlp = bits(0x9FFFFFFFFFFFFFFFULL, 16386);  // 10 - 2^-60
ExtReal onePlus(std::uint64_t low) { return bits(0x8000000000000000ULL | low, 16383); }

TEST(GenerateDigits, SmallWholeAndFractionalValues) {
  const DigitCase cases[] = {
      {"0", ExtReal(0), 10, "0", 0, 0},
      {"-0", ExtReal(-0.0), 10, "0", 0, 0},
      {"-0", ExtReal(-0.0), 2, "0", 0, 0},
      {"255", ExtReal(255), 16, "FF", 1, 0},
      {"255", ExtReal(255), 2, "11111111", 7, 0},
      {"-255", ExtReal(-255), 36, "73", 1, 1},
      {"-0.5", ExtReal(-0.5), 2, "1", -1, 1},
      {"-0.5", ExtReal(-0.5), 10, "5", -1, 1},
      {"0.25", ExtReal(0.25), 10, "25", -1, 0},
      {"2^65", powerOfTwo(65), 2, "1", 65, 0},
      {"2^-64", powerOfTwo(-64), 2, "1", -64, 0},
      {"1", ExtReal(1), 36, "1", 0, 0},
      {"35", ExtReal(35), 36, "Z", 0, 0},
      {"1/8", ExtReal(0.125), 2, "1", -3, 0},  // log is exactly -3: corrected upward
      {"1000", ExtReal(1000), 10, "1", 3, 0},
  };
  checkCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(GenerateDigits, GuardDigitAndCarry) {
  const DigitCase cases[] = {
      // Base 2 drops the 64th bit and never rounds.
      {"2-2^-63", kTwoMinusUlp, 2, ones63.c_str(), 0, 0},
      {"1+2^-63", onePlus(1), 2, "1", 0, 0},
      // Guard F, carry through fourteen F digits into the first.
      {"2-2^-63", kTwoMinusUlp, 16, "2", 0, 0},
      // Carry out of the first digit.
      {"16-2^-60", kSixteenMinusUlp, 16, "1", 1, 0},
      {"10-2^-60", kTenMinusUlp, 10, "1", 1, 0},
      // Guard equal to base / 2 truncates; one above rounds up without a long carry.
      {"1+2^-57", onePlus(1ULL << 6), 16, "1", 0, 0},
      {"1+9*2^-60", onePlus(9ULL << 3), 16, "100000000000001", 0, 0},
      {"1+6*2^-60", onePlus(6ULL << 3), 10, "1", 0, 0},              // guard 5
      {"1+7*2^-60", onePlus(7ULL << 3), 10, tenOf18.c_str(), 0, 0},  // guard 6
      {"1+2^-61", onePlus(1ULL << 2), 3, "1", 0, 0},                 // guard 1 = 3 / 2
      {"1+3*2^-62", onePlus(3ULL << 1), 3, threeOf39.c_str(), 0, 0},
  };
  checkCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(GenerateDigits, BaseIsClampedInto2To36) {
  for (int base : {-7, 0, 1}) {
    const Digits r = generate(ExtReal(255), base);
    EXPECT_EQ(r.text, "11111111") << base;
    EXPECT_EQ(r.exponent, 7) << base;
    EXPECT_EQ(generate(kTwoMinusUlp, base).text, ones63) << base;
    EXPECT_LE(generate(kTwoMinusUlp, base).usedBytes, 64) << base;
  }
  for (int base : {37, 99, 1000}) {
    const Digits r = generate(ExtReal(-255), base);
    EXPECT_EQ(r.text, "73") << base;
    EXPECT_EQ(r.exponent, 1) << base;
    EXPECT_EQ(r.negative, 1) << base;
    EXPECT_LE(generate(kTwoMinusUlp, base).usedBytes, 12) << base;
  }
}

// Every base makes exactly maxDigits digits, so a value with all bits set
// shows how far the buffer is written: never past maxDigits - 1.
TEST(GenerateDigits, KeepsAtMostMaxDigitsMinusOneAndWritesNoFurther) {
  for (int base = 2; base <= 36; ++base) {
    const int n = maxDigits(base);
    for (const ExtReal& v : {kTwoMinusUlp, ExtReal(1.0 / 3), ExtReal(3.141592653589793),
                             bits(0xB504F333F9DE6484ULL, 16383)}) {
      const Digits r = generate(v, base);
      EXPECT_TRUE(wellFormed(r, base)) << base << " " << exttest::describe(v);
      EXPECT_LE(r.usedBytes, n) << base;
    }
  }
}

// ---------------------------------------------------------------------------
// The bottom of the range, where the scale factor is not a normal number.

// Kept digits a subnormal with `bits` significant bits may show.
int subnormalDigitLimit(int significantBits, int base) {
  const int n = static_cast<int>(std::floor(significantBits / std::log2(base) + 1e-9));
  return n - 1 < 1 ? 1 : n - 1;
}

TEST(GenerateDigitsSmallValues, SmallestSubnormalAndSmallestNormal) {
  const ExtReal tiny = exttest::smallestSubnormal();  // 2^-16445
  const ExtReal smallestNormal = powerOfTwo(-16382);
  const DigitCase cases[] = {
      // One significant bit: one kept digit, rounded on the guard.
      {"2^-16445", tiny, 2, "1", -16445, 0},
      {"2^-16445", tiny, 10, "4", -4951, 0},  // 3.645...e-4951
      {"2^-16445", tiny, 16, "8", -4112, 0},  // 2^3 * 16^-4112
      {"2^-16445", tiny, 36, "1", -3181, 0},  // 1.G... in base 36
      {"-2^-16445", -tiny, 10, "4", -4951, 1},
      // 3.36210314311209350626e-4932: guard 6 rounds up.
      {"2^-16382", smallestNormal, 10, "336210314311209351", -4932, 0},
      {"2^-16382", smallestNormal, 16, "4", -4096, 0},
      {"2^-16382", smallestNormal, 2, "1", -16382, 0},
      {"2^-16382", smallestNormal, 36, "2TA7CETSKKC", -3169, 0},
      {"2^-16384", powerOfTwo(-16382) * ExtReal(0.25), 16, "1", -4096, 0},
  };
  checkCases(cases, sizeof cases / sizeof cases[0]);
}

TEST(GenerateDigitsSmallValues, PseudoDenormalReadsAsExponentOne) {
  // Integer bit set with exponent field 0: the x87 reads 2^-16382.
  const Digits r = generate(bits(0x8000000000000000ULL, 0), 10);
  EXPECT_EQ(r.text, "336210314311209351");
  EXPECT_EQ(r.exponent, -4932);
  EXPECT_EQ(generate(bits(0x8000000000000000ULL, 0x8000), 16).negative, 1);
}

// Random values from the smallest subnormal to a few binades above the
// normal range: the digits must be the exact value to within one unit in the
// last kept digit wherever the scale factor is not normal, and a subnormal
// keeps no more digits than its significant bits support.
TEST(GenerateDigitsSmallValues, MatchExactValueWithinOneUnit) {
  std::mt19937_64 random(20240611);
  double worstUnits = -INFINITY;
  int checked = 0;
  for (int i = 0; i < 240; ++i) {
    const int biased = static_cast<int>(random() % 12);  // 0 = subnormal
    const int significantBits = biased == 0 ? 1 + static_cast<int>(random() % 63) : 64;
    std::uint64_t significand = random();
    if (significantBits < 64) significand &= (1ULL << significantBits) - 1;
    significand |= 1ULL << (significantBits - 1);
    const ExtReal value = bits(significand, static_cast<std::uint16_t>(biased));
    for (int base = 2; base <= 36; ++base) {
      const Digits r = generate(value, base);
      ASSERT_TRUE(wellFormed(r, base)) << exttest::describe(value) << " base " << base;
      if (biased == 0) {
        EXPECT_LE(r.count, subnormalDigitLimit(significantBits, base))
            << exttest::describe(value) << " base " << base;
      }
      // Scale factor base^exponent clearly below the normal range.
      if (r.exponent * std::log2(base) > -16383.0) continue;
      const exactref::DigitError err = exactref::measure(value, r.text, r.exponent, base);
      EXPECT_LT(err.log2Units, 0.0)
          << exttest::describe(value) << " base " << base << ": " << r.text << " e" << r.exponent;
      worstUnits = std::max(worstUnits, err.log2Units);
      ++checked;
    }
  }
  EXPECT_GT(checked, 1000);
  std::printf("small values: %d checked, worst error %.3f units of the last digit\n", checked,
              std::exp2(worstUnits));
}

// ---------------------------------------------------------------------------
// Images that are not ordinary numbers, and arbitrary images.

TEST(GenerateDigitsImages, NaNsAndRejectedEncodingsGiveZero) {
  const ExtReal images[] = {
      exttest::quietNaN(),
      bits(0xC000000000000000ULL, 0xFFFF),  // negative quiet NaN
      bits(0x8000000000000001ULL, 0x7FFF),  // signalling NaN
      bits(0x4000000000000000ULL, 0x7FFF),  // pseudo-NaN
      bits(0, 0x7FFF),                      // pseudo-infinity
      bits(0x7FFFFFFFFFFFFFFFULL, 0x3FFF),  // unnormal
      bits(0, 0xC000),                      // pseudo-zero
  };
  for (const ExtReal& v : images) {
    EXPECT_TRUE(isNotANumber(v)) << exttest::describe(v);
    EXPECT_FALSE(isInfinity(v)) << exttest::describe(v);
    for (int base : {2, 10, 36}) {
      const Digits r = generate(v, base);
      EXPECT_EQ(r.text, "0") << exttest::describe(v);
      EXPECT_EQ(r.exponent, 0);
      EXPECT_EQ(r.negative, 0);
      EXPECT_TRUE(wellFormed(r, base));
    }
  }
  for (const ExtReal& v : {ExtReal(1), ExtReal(0.0), exttest::smallestSubnormal(),
                           bits(0x8000000000000000ULL, 0), exttest::largestFinite()}) {
    EXPECT_FALSE(isNotANumber(v)) << exttest::describe(v);
    EXPECT_FALSE(isInfinity(v)) << exttest::describe(v);
  }
}

TEST(GenerateDigitsImages, InfinitiesSaturateToTheLargestFiniteValue) {
  EXPECT_TRUE(isInfinity(exttest::plusInf()));
  EXPECT_TRUE(isInfinity(exttest::minusInf()));
  for (int base = 2; base <= 36; ++base) {
    const Digits largest = generate(exttest::largestFinite(), base);
    const Digits plus = generate(exttest::plusInf(), base);
    const Digits minus = generate(exttest::minusInf(), base);
    EXPECT_EQ(plus.text, largest.text) << base;
    EXPECT_EQ(plus.exponent, largest.exponent) << base;
    EXPECT_EQ(plus.negative, 0);
    EXPECT_EQ(minus.text, largest.text) << base;
    EXPECT_EQ(minus.negative, 1);
  }
}

TEST(GenerateDigitsImages, LargestFiniteValue) {
  const ExtReal largest = exttest::largestFinite();  // (1 - 2^-64) * 2^16384
  // log2 of it comes out as exactly 16384 on the processors we know (the
  // x87 logarithm is not truncated), and the power 2^16384 saturates to the
  // value itself: one digit 1 at 2^16384. A truncated logarithm would give
  // the 63 leading ones instead. Either is within the last kept bit.
  const Digits b2 = generate(largest, 2);
  if (b2.text == "1") {
    EXPECT_EQ(b2.exponent, 16384);
  } else {
    EXPECT_EQ(b2.text, ones63);
    EXPECT_EQ(b2.exponent, 16383);
  }
  // Sixteen F digits: the guard F carries out of the first digit.
  const Digits b16 = generate(largest, 16);
  EXPECT_EQ(b16.text, "1");
  EXPECT_EQ(b16.exponent, 4096);
  // 1.18973149535723176502e+4932 and 1F6LAE5CV1T... in base 36: extPow's
  // error this far out reaches the last few digits, so only the leading ones
  // are fixed; the exact comparison bounds the rest.
  const Digits b10 = generate(largest, 10);
  EXPECT_EQ(b10.text.substr(0, 13), "1189731495357");
  EXPECT_EQ(b10.exponent, 4932);
  const Digits b36 = generate(largest, 36);
  EXPECT_EQ(b36.text.substr(0, 8), "1F6LAE5C");
  EXPECT_EQ(b36.exponent, 3169);
  EXPECT_LT(exactref::measure(largest, b10.text, b10.exponent, 10).log2Relative, -45.0);
  EXPECT_LT(exactref::measure(largest, b36.text, b36.exponent, 36).log2Relative, -45.0);
}

// Raw 10-byte images of every kind, every base from -2 to 40.
TEST(GenerateDigitsImages, AnyImageStaysInsideTheBuffer) {
  std::mt19937_64 random(77);
  for (int i = 0; i < 400; ++i) {
    std::uint64_t significand = random();
    std::uint16_t top = static_cast<std::uint16_t>(random());
    // Bias toward the edges: exponent fields 0, 1, 0x7FFE and 0x7FFF.
    const int pick = static_cast<int>(random() % 6);
    if (pick < 4) {
      const std::uint16_t edges[] = {0, 1, 0x7FFE, 0x7FFF};
      top = static_cast<std::uint16_t>((top & 0x8000) | edges[pick]);
    }
    if (random() % 4 == 0) significand &= random();
    const ExtReal v = bits(significand, top);
    for (int base = -2; base <= 40; ++base) {
      const Digits r = generate(v, base);
      ASSERT_TRUE(wellFormed(r, base)) << exttest::describe(v) << " base " << base;
    }
  }
}

}  // namespace

namespace {

// Bases 2, 4, 8, 16 and 32 take a path of bit copies on the fast arithmetic;
// it must give the literal digits, count, sign and exponent over the whole
// normal range, next to the ends of the range where the powers stop being
// normal and exact, and on powers of two and all-ones significands.
TEST(GenerateDigitsPowerOfTwoBases, FastDigitsAreTheLiteralDigits) {
  std::mt19937_64 rng(16);
  std::vector<ExtReal> values;
  for (int i = 0; i < 3000; ++i) {
    const std::uint16_t biased = static_cast<std::uint16_t>(1 + rng() % 0x7FFE);
    values.push_back(exttest::bits(rng() | 0x8000000000000000ULL,
                                   static_cast<std::uint16_t>(biased | ((rng() & 1) << 15))));
  }
  for (int biased = 1; biased < 0x7FFF; biased += (biased < 200 || biased > 0x7F00) ? 1 : 97) {
    for (std::uint64_t significand : {0x8000000000000000ULL, ~0ULL, 0x8000000000000001ULL}) {
      values.push_back(exttest::bits(significand, static_cast<std::uint16_t>(biased)));
    }
  }
  for (int base : {2, 4, 8, 16, 32}) {
    for (const ExtReal& value : values) {
      expectLiteralDigits(value, base);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace
