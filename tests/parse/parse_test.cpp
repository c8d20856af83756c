#include "numeral/parse.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "numeric/ext_math.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::powerOfTwo;
using exttest::sameBits;

namespace {

// Flag values planted before each parse: an accepted numeral must overwrite
// both, a rejected one must leave both.
constexpr int kKept = -1;  // a rejected text: no verdict of overflow either way

ExtReal v(int n) { return ExtReal(n); }
ExtReal zero() { return bits(0, 0); }
// mantissa * base^scale as one truncating multiplication by the power.
ExtReal scaled(int mantissa, int base, int scale) {
  return ExtReal(mantissa) * extPow(ExtReal(base), ExtReal(scale));
}
// Marks rows whose value is not part of the contract: a NaN payload no parse
// can produce. (An overflow's value is always the infinity of its sign.)
ExtReal anyValue() { return bits(0xC0000000DEADBEEFULL, 0xFFFF); }
bool isAnyValue(const ExtReal& x) { return sameBits(x, anyValue()); }

struct ParseCase {
  const char* text;
  int baseIn;
  bool accepted;
  ExtReal value;  // for a rejected text: the digits accumulated before the error
  int baseOut;
  int plus;   // 1: the verdict is kParsePlusOverflow
  int minus;  // 1: the verdict is kParseMinusOverflow
};

ExtReal infinity(bool negative) { return bits(0x8000000000000000ULL, negative ? 0xFFFF : 0x7FFF); }

void runCases(const ParseCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const ParseCase& c = cases[i];
    SCOPED_TRACE(std::string("text \"") + c.text + "\" in base " + std::to_string(c.baseIn));
    ExtReal result = bits(0x8123456789ABCDEFULL, 0x4321);  // must be overwritten
    int base = c.baseIn;
    const ParseVerdict expected = !c.accepted     ? kParseRejected
                                  : c.plus == 1   ? kParsePlusOverflow
                                  : c.minus == 1  ? kParseMinusOverflow
                                                  : kParseValue;
    EXPECT_EQ(parseNumeral(&result, c.text, &base), expected);
    if (expected == kParsePlusOverflow || expected == kParseMinusOverflow) {
      EXPECT_TRUE(sameBits(result, infinity(expected == kParseMinusOverflow)));
    } else if (!isAnyValue(c.value)) {
      EXPECT_TRUE(sameBits(result, c.value));
    }
    EXPECT_EQ(base, c.baseOut);
  }
}

#define RUN_CASES(table) runCases(table, sizeof(table) / sizeof(table[0]))

constexpr int K = kKept;

TEST(ParseNumeral, DegenerateTexts) {
  const ParseCase cases[] = {
      {"", 10, false, zero(), 10, K, K},
      {"-", 10, true, zero(), 10, 0, 0},
      {"+", 10, true, zero(), 10, 0, 0},
      {"-0", 10, true, zero(), 10, 0, 0},  // negation of +0 is +0
      {"0", 10, true, zero(), 10, 0, 0},
      {"+7", 10, true, v(7), 10, 0, 0},
      {".5", 10, true, scaled(5, 10, -1), 10, 0, 0},
      {"-.5", 10, true, -scaled(5, 10, -1), 10, 0, 0},
      {"-12.25", 10, true, -scaled(1225, 10, -2), 10, 0, 0},
      {"5.", 10, false, v(5), 10, K, K},
      {".", 10, false, zero(), 10, K, K},
      {"e5", 10, true, zero(), 10, 0, 0},
      {"_5", 10, true, zero(), 10, 0, 0},
      {"-e5", 10, true, zero(), 10, 0, 0},
  };
  RUN_CASES(cases);
}

TEST(ParseNumeral, Exponents) {
  const ParseCase cases[] = {
      {"1e", 10, false, v(1), 10, K, K},
      {"1e-", 10, false, v(1), 10, K, K},
      {"1e+", 10, false, v(1), 10, K, K},
      {"1e-+", 10, false, v(1), 10, K, K},
      {"1e-+5", 10, true, scaled(1, 10, -5), 10, 0, 0},
      {"1e+5", 10, true, scaled(1, 10, 5), 10, 0, 0},
      {"1e+-5", 10, false, v(1), 10, K, K},
      {"1e--5", 10, false, v(1), 10, K, K},
      {"1e5e5", 10, false, v(1), 10, K, K},
      {"1e5.", 10, false, v(1), 10, K, K},
      {"1E5", 10, true, scaled(1, 10, 5), 10, 0, 0},
      {"1_5", 10, true, scaled(1, 10, 5), 10, 0, 0},
      {"1E5", 16, true, v(485), 16, 0, 0},  // 'E' is a digit from base 15 up
      {"1_10", 16, true, powerOfTwo(64), 16, 0, 0},
      {"1_+A", 16, true, powerOfTwo(40), 16, 0, 0},
      {"1.8_-1", 16, true, ExtReal(0.09375), 16, 0, 0},  // 0x18 / 16^2
      {"1e11", 2, true, v(8), 2, 0, 0},
      {"-1.1e-1", 2, true, ExtReal(-0.75), 2, 0, 0},
      {"2", 2, false, zero(), 2, K, K},
      {"1e2", 2, false, v(1), 2, K, K},
      {"1e2", 14, true, scaled(1, 14, 2), 14, 0, 0},
      {"1e2", 15, true, v(437), 15, 0, 0},
      {"1E2", 15, true, v(437), 15, 0, 0},
      {"1_2", 15, true, scaled(1, 15, 2), 15, 0, 0},
      // Leading zeros of an exponent do not count toward its size.
      {"1e000000000000000000004929", 10, true, scaled(1, 10, 4929), 10, 0, 0},
      {"1e-0000000000000000000001", 10, true, scaled(1, 10, -1), 10, 0, 0},
  };
  RUN_CASES(cases);
}

TEST(ParseNumeral, BaseSuffixes) {
  const ParseCase cases[] = {
      {"12@16", 10, true, v(18), 16, 0, 0},
      {"12@G", 10, true, v(18), 16, 0, 0},
      {"12@g", 10, true, v(18), 16, 0, 0},
      {"12@160", 10, true, v(18), 16, 0, 0},  // after two digits the rest is ignored
      {"12@16x", 10, true, v(18), 16, 0, 0},
      {"1@23@x", 10, true, v(1), 23, 0, 0},
      {"-5@07", 10, true, v(-5), 7, 0, 0},
      {"12@1x", 10, false, zero(), 1, K, K},  // the first suffix digit is already written
      {"12@G6", 10, false, zero(), 16, K, K},
      {"1@9a", 10, false, zero(), 9, K, K},
      {"1@2@3", 10, false, zero(), 2, K, K},
      {"1@0 ", 10, false, zero(), 0, K, K},
      {"12@", 10, false, zero(), 10, K, K},
      {"@", 10, false, zero(), 10, K, K},
      {"@@", 10, false, zero(), 10, K, K},
      {"1@\xC0", 10, false, zero(), 10, K, K},
      {"@16", 10, true, zero(), 16, 0, 0},
      {"-@16", 10, true, zero(), 16, 0, 0},
      {"10@99", 10, true, v(99), 99, 0, 0},
      {"z@37", 10, true, v(35), 37, 0, 0},
      {"0@1", 10, true, zero(), 1, 0, 0},
      {"1@1", 10, false, zero(), 1, K, K},
      {"9@8", 10, false, zero(), 8, K, K},
      // The suffix decides how everything before it reads.
      {"1e@16", 10, true, v(30), 16, 0, 0},
      {"1e5@8", 10, true, powerOfTwo(15), 8, 0, 0},
      {"ff@16", 2, true, v(255), 16, 0, 0},
      // Base 0 admits no digit; its value is 0 * extPow(0, 0), a NaN.
      {"@0", 10, true, scaled(0, 0, 0), 0, 0, 0},
      {"-@00xyz", 10, true, -scaled(0, 0, 0), 0, 0, 0},
  };
  RUN_CASES(cases);
  ExtReal result;
  int base = 10;
  ASSERT_TRUE(parseNumeral(&result, "@0", &base));
  EXPECT_TRUE(exttest::isNaN(result));
}

TEST(ParseNumeral, OtherSyntax) {
  const ParseCase cases[] = {
      {"ff", 16, true, v(255), 16, 0, 0},
      {"FF", 16, true, v(255), 16, 0, 0},
      {"fF", 16, true, v(255), 16, 0, 0},
      {"g", 16, false, zero(), 16, K, K},
      {"Zz", 36, true, v(1295), 36, 0, 0},
      {"a", 10, false, zero(), 10, K, K},
      {"9", 9, false, zero(), 9, K, K},
      {"1 2", 10, false, v(1), 10, K, K},
      {" 1", 10, false, zero(), 10, K, K},
      {"1 ", 10, false, v(1), 10, K, K},
      {"+-1", 10, false, zero(), 10, K, K},
      {"--1", 10, false, zero(), 10, K, K},
      {"1-", 10, false, v(1), 10, K, K},
      {"1+2", 10, false, v(1), 10, K, K},
      {"1.2.3", 10, false, v(12), 10, K, K},
      {"-12.x", 10, false, v(12), 10, K, K},  // accumulated, neither scaled nor signed
      {"\xB1", 10, false, zero(), 10, K, K},
  };
  RUN_CASES(cases);
}

TEST(ParseNumeral, OverflowGuard) {
  const ParseCase cases[] = {
      {"1e4929", 10, true, scaled(1, 10, 4929), 10, 0, 0},
      {"1.5e4930", 10, true, scaled(15, 10, 4929), 10, 0, 0},
      {".1e4931", 10, true, scaled(1, 10, 4930), 10, 0, 0},
      {"0001e4926", 10, true, scaled(1, 10, 4926), 10, 0, 0},
      // Flagged numerals keep the accumulated mantissa, unscaled and unsigned.
      {"1e4930", 10, true, v(1), 10, 1, 0},
      {"-1e4930", 10, true, v(1), 10, 0, 1},
      {"0e5000", 10, true, zero(), 10, 1, 0},
      {"00001e4926", 10, true, v(1), 10, 1, 0},
      {"1e-5000", 10, true, zero(), 10, 0, 0},
      {"-1e-5000", 10, true, zero(), 10, 0, 0},
      // The limit counts positions in any base: 2^4930 would fit.
      {"1e1001101000001", 2, true, powerOfTwo(4929), 2, 0, 0},
      {"1e1001101000010", 2, true, v(1), 2, 1, 0},
  };
  RUN_CASES(cases);
}

TEST(ParseNumeral, OverflowAboveBaseTen) {
  const ExtReal fifteen(15);
  const ParseCase cases[] = {
      // 36^4924 passes the position count but not the extended range.
      {"1_3SS", 36, true, anyValue(), 36, 1, 0},
      {"-1_3SS", 36, true, anyValue(), 36, 0, 1},
      {"0_3SS", 36, true, zero(), 36, 0, 0},
      {"1_-3SS", 36, true, zero(), 36, 0, 0},
      // 16^4095 = 2^16380 fits, 2^16384 does not.
      {"1_FFF", 16, true, powerOfTwo(16380), 16, 0, 0},
      {"F_FFF", 16, true, fifteen * powerOfTwo(16380), 16, 0, 0},
      {"-F_FFF", 16, true, -(fifteen * powerOfTwo(16380)), 16, 0, 0},
      {"1_1000", 16, true, anyValue(), 16, 1, 0},
      {"10_FFF", 16, true, anyValue(), 16, 1, 0},
      {"-10_FFF", 16, true, anyValue(), 16, 0, 1},
      // Exactly the largest finite value: indistinguishable from a saturated
      // product, so it is reported as too large as well.
      {"FFFFFFFFFFFFFFFF_FF0", 16, true, anyValue(), 16, 1, 0},
      {"z_zz@99", 10, true, anyValue(), 99, 1, 0},
  };
  RUN_CASES(cases);
}

TEST(ParseNumeral, ExponentsBeyondIntRange) {
  const ParseCase cases[] = {
      {"1e9999999999", 10, true, v(1), 10, 1, 0},
      {"-1e99999999999", 10, true, v(1), 10, 0, 1},
      {"1e-99999999999", 10, true, zero(), 10, 0, 0},
      {"-1e-99999999999", 10, true, zero(), 10, 0, 0},
      // 32-bit wrap-around would turn these into small exponents.
      {"1e2147483648", 10, true, v(1), 10, 1, 0},
      {"1e4294967297", 10, true, v(1), 10, 1, 0},
      {"1e-4294967297", 10, true, zero(), 10, 0, 0},
      {"0e99999999999999999999", 10, true, zero(), 10, 1, 0},
      {"1_zzzzzzzzzzzzzzzzzzzzzzzzz", 36, true, v(1), 36, 1, 0},
      {"1_-zzzzzzzzzzzzzzzzzzzzzzzz", 36, true, zero(), 36, 0, 0},
      {"123456789.987654321e-999999999", 10, true, zero(), 10, 0, 0},
  };
  RUN_CASES(cases);
}

// The scaling is one multiplication by extPow at the end; where the power is
// not exact the value still lands next to the true one.
TEST(ParseNumeral, InexactPowersAreClose) {
  struct Near {
    const char* text;
    int base;
    double expected;
  };
  const Near cases[] = {
      {".5", 10, 0.5},          {"-.5", 10, -0.5},
      {"1E5", 10, 1e5},         {"1e-+5", 10, 1e-5},
      {"-12.25", 10, -12.25},   {"1e2", 14, 196},
      {"1_2", 15, 225},         {"1.5e300", 10, 1.5e300},
      {"3.14159", 10, 3.14159}, {"z.z", 36, 35 + 35.0 / 36},
      {"1_-1", 3, 1.0 / 3},
  };
  for (const Near& c : cases) {
    ExtReal result;
    int base = c.base;
    ASSERT_TRUE(parseNumeral(&result, c.text, &base)) << c.text;
    EXPECT_NEAR(toDouble(result), c.expected, std::fabs(c.expected) * 1e-15) << c.text;
  }
  // 10^4929 sits in the binade of 2^16373.
  ExtReal big;
  int base = 10;
  ASSERT_TRUE(parseNumeral(&big, "1e4929", &base));
  EXPECT_EQ(big.biasedExponent(), 16383 + static_cast<int>(4929 * std::log2(10.0)));
}

// Each verdict belongs to its own numeral: nothing of an earlier parse shows
// in a later one, whatever their order.
TEST(ParseNumeral, VerdictsAreTheirNumeralsOwn) {
  const struct {
    const char* text;
    ParseVerdict verdict;
  } sequence[] = {
      {"1e4930", kParsePlusOverflow}, {"1e", kParseRejected},         {"1", kParseValue},
      {"-1e4930", kParseMinusOverflow}, {"", kParseRejected},         {"-1e4930", kParseMinusOverflow},
      {"1e4930", kParsePlusOverflow}, {"-1", kParseValue},            {"12@1x", kParseRejected},
  };
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < sizeof sequence / sizeof sequence[0]; ++i) {
      const auto& step = sequence[round == 0 ? i : sizeof sequence / sizeof sequence[0] - 1 - i];
      ExtReal result;
      int base = 10;
      EXPECT_EQ(parseNumeral(&result, step.text, &base), step.verdict) << step.text;
    }
  }
}

// Bases and lengths the dialog never passes must still parse without
// overflow anywhere: this runs under the sanitizers too.
TEST(ParseNumeral, ExtremeBasesAndLengths) {
  const int bases[] = {INT_MIN, -1, 0, 1, 2, 36, 99, 1000, INT_MAX};
  const std::string longDigits(100000, 'z');
  const std::string texts[] = {
      "zz.zz_zzzzzzzzzzzzzzzz",
      "-zz.zz_-zzzzzzzzzzzzzzzz",
      longDigits,
      "." + longDigits,
      "1_" + longDigits,
      "1_-" + longDigits,
      "." + longDigits + "_-" + longDigits,
  };
  for (int b : bases) {
    for (const std::string& text : texts) {
      ExtReal result;
      int base = b;
      const ParseVerdict verdict = parseNumeral(&result, text.c_str(), &base);
      EXPECT_EQ(base, b);
      // 'z' is a digit exactly from base 36 up.
      EXPECT_EQ(verdict != kParseRejected, b >= 36) << text.substr(0, 20) << " in base " << b;
    }
  }
  // A hundred thousand integer digits overflow; as many fraction digits of a
  // number below one do not.
  ExtReal result;
  int base = 10;
  EXPECT_EQ(parseNumeral(&result, std::string(100000, '9').c_str(), &base), kParsePlusOverflow);
  EXPECT_EQ(parseNumeral(&result, ("0." + std::string(100000, '0') + "1").c_str(), &base),
            kParseValue);
  EXPECT_TRUE(sameBits(result, zero()));
}

}  // namespace
