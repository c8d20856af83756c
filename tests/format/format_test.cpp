#include "numeral/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeral/digits.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::powerOfTwo;

namespace {

constexpr int kStandard = 0;
constexpr int kScientific = 1;
constexpr int kUnchanged = -1;  // expected flag: the value it had on entry
constexpr char kGuardByte = '\x5A';
constexpr int kFence = 32;

class FormatTest : public ::testing::Test {};

struct Formatted {
  std::string text;
  int scientific;
  int usedBytes;  // one past the last byte that differs from the guard fill
};

// Runs formatNumeral into a kFormatBufferSize buffer followed by a fence,
// everything pre-filled with guard bytes.
Formatted format(const ExtReal& value, int base, int askScientific) {
  char buffer[kFormatBufferSize + kFence];
  std::memset(buffer, kGuardByte, sizeof buffer);
  Formatted r{};
  r.scientific = askScientific;
  formatNumeral(buffer, value, base, &r.scientific);
  for (int i = 0; i < static_cast<int>(sizeof buffer); ++i)
    if (buffer[i] != kGuardByte) r.usedBytes = i + 1;
  buffer[sizeof buffer - 1] = '\0';
  r.text = buffer;
  return r;
}

std::string repeat(char c, int n) { return std::string(n, c); }

struct FormatCase {
  const char* label;
  ExtReal value;
  int base;
  int ask;
  std::string text;
  int flag;
};

void checkFormatCases(const FormatCase* cases, int n) {
  for (int i = 0; i < n; ++i) {
    const FormatCase& c = cases[i];
    const Formatted r = format(c.value, c.base, c.ask);
    EXPECT_EQ(r.text, c.text) << c.label << " in base " << c.base;
    EXPECT_EQ(r.scientific, c.flag == kUnchanged ? c.ask : c.flag) << c.label;
    EXPECT_LE(r.usedBytes, static_cast<int>(c.text.size()) + 1) << c.label;
  }
}

TEST_F(FormatTest, ValuesToText) {
  const FormatCase cases[] = {
      {"255", ExtReal(255), 16, kStandard, "FF", 0},
      {"255", ExtReal(255), 16, kScientific, "F.F_+1", 1},
      {"255", ExtReal(255), 8, kScientific, "3.77_+2", 1},
      {"255", ExtReal(255), 2, kStandard, "11111111", 0},
      {"255", ExtReal(255), 10, kStandard, "255", 0},
      {"-255", ExtReal(-255), 36, kStandard, "-73", 0},
      {"-0.5", ExtReal(-0.5), 2, kStandard, "-0.1", 0},
      {"-0.5", ExtReal(-0.5), 2, kScientific, "-1.0_-1", 1},
      {"-0.5", ExtReal(-0.5), 10, kStandard, "-0.5", 0},
      {"-0.5", ExtReal(-0.5), 10, kScientific, "-5.0e-1", 1},
      {"0.25", ExtReal(0.25), 10, kStandard, "0.25", 0},
      {"0.5", ExtReal(0.5), 16, kStandard, "0.8", 0},
      {"0.75", ExtReal(0.75), 16, kScientific, "C.0_-1", 1},
      {"5", ExtReal(5), 10, kScientific, "5.0", 1},
      {"35", ExtReal(35), 36, kScientific, "Z.0", 1},
      {"36", ExtReal(36), 36, kScientific, "1.0_+1", 1},
      {"4096", ExtReal(4096), 16, kScientific, "1.0_+3", 1},
      {"1/1024", ExtReal(1.0 / 1024), 2, kScientific, "1.0_-1010", 1},
      {"2^65", powerOfTwo(65), 2, kStandard, "1" + repeat('0', 65), 0},
      {"2^66", powerOfTwo(66), 2, kStandard, "1.0_+1000010", 1},
      {"2^-63", powerOfTwo(-63), 2, kStandard, "0." + repeat('0', 62) + "1", 0},
      {"2^-64", powerOfTwo(-64), 2, kStandard, "1.0_-1000000", 1},
      {"2^68", powerOfTwo(68), 16, kStandard, "1" + repeat('0', 17), 0},
      {"2^72", powerOfTwo(72), 16, kStandard, "1.0_+12", 1},
      {"2^-60", powerOfTwo(-60), 16, kStandard, "0.000000000000001", 0},
      {"2^-64", powerOfTwo(-64), 16, kStandard, "1.0_-10", 1},
      {"2-2^-63", bits(~0ULL, 16383), 2, kStandard, "1." + repeat('1', 62), 0},
      {"16-2^-60", bits(~0ULL, 16386), 16, kStandard, "10", 0},
  };
  checkFormatCases(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(FormatTest, ZeroInEveryBase) {
  for (int base = 2; base <= 36; ++base) {
    for (const ExtReal& zero : {ExtReal(0), ExtReal(-0.0)}) {
      const Formatted standard = format(zero, base, kStandard);
      EXPECT_EQ(standard.text, "0") << base;
      EXPECT_EQ(standard.scientific, 0);
      const Formatted scientific = format(zero, base, kScientific);
      EXPECT_EQ(scientific.text, "0.0") << base;
      EXPECT_EQ(scientific.scientific, 1);
    }
  }
}

// What the parser stores for a numeral that overflows, the infinity of its
// sign, is "+INF" or "-INF", with the notation left as asked; and a parse
// that overflowed before leaves nothing behind for the next value.
TEST_F(FormatTest, OverflowIsItsInfinityAndLeavesTheNotationAlone) {
  for (int ask : {0, 1, 5}) {
    for (int base : {2, 10, 36}) {
      for (const char* numeral : {"1e4930", "-1e4930"}) {
        ExtReal value;
        int parseBase = 10;
        const ParseVerdict verdict = parseNumeral(&value, numeral, &parseBase);
        ASSERT_EQ(verdict, numeral[0] == '-' ? kParseMinusOverflow : kParsePlusOverflow);
        Formatted r = format(value, base, ask);
        EXPECT_EQ(r.text, numeral[0] == '-' ? "-INF" : "+INF");
        EXPECT_EQ(r.scientific, ask);
        EXPECT_EQ(r.usedBytes, 5);
        r = format(ExtReal(255), base, 0);
        EXPECT_NE(r.text.find("INF"), 0u) << r.text;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Layout alone, from given digits, in base 10 (maxDigits 19).

struct LayoutCase {
  const char* digits;
  int negative;
  int exponent;
  int ask;
  std::string text;
  int flag;
};

TEST(LayoutNumeral, Base10Table) {
  const LayoutCase cases[] = {
      {"1", 0, 30, kStandard, "1.0e+30", 1},
      {"1", 0, 20, kStandard, "1" + repeat('0', 20), 0},
      {"1", 0, 21, kStandard, "1.0e+21", 1},
      {"1", 0, -18, kStandard, "0." + repeat('0', 17) + "1", 0},
      {"1", 0, -19, kStandard, "1.0e-19", 1},
      {"12345", 0, 2, kStandard, "123.45", 0},
      {"12345", 0, 4, kStandard, "12345", 0},
      {"12345", 0, 6, kStandard, "1234500", 0},
      {"12345", 1, -3, kStandard, "-0.0012345", 0},
      {"12345", 1, -3, kScientific, "-1.2345e-3", 1},
  };
  for (const LayoutCase& c : cases) {
    char out[kFormatBufferSize];
    std::memset(out, kGuardByte, sizeof out);
    int scientific = c.ask;
    layoutNumeral(out, c.digits, static_cast<int>(std::strlen(c.digits)), c.negative, c.exponent,
                  10, 19, &scientific);
    EXPECT_EQ(std::string(out), c.text) << c.digits << " e" << c.exponent;
    EXPECT_EQ(scientific, c.flag) << c.digits << " e" << c.exponent;
  }
}

TEST(LayoutNumeral, PointOnlyWhenDigitsFollowIt) {
  struct Row {
    const char* digits;
    int exponent;
    const char* text;
  } rows[] = {
      {"1", 0, "1"},      {"15", 0, "1.5"},   {"15", 1, "15"},   {"15", 2, "150"},
      {"15", -1, "0.15"}, {"123", 1, "12.3"}, {"7", -2, "0.07"},
  };
  for (const Row& row : rows) {
    char out[kFormatBufferSize];
    int scientific = 0;
    layoutNumeral(out, row.digits, static_cast<int>(std::strlen(row.digits)), 0, row.exponent, 10,
                  19, &scientific);
    EXPECT_STREQ(out, row.text);
    EXPECT_EQ(scientific, 0);
  }
}

TEST(LayoutNumeral, StandardRangeEdgesPerBase) {
  // Standard notation only while -maxDigits < exponent < maxDigits + 2.
  for (int base = 2; base <= 36; ++base) {
    const int n = maxDigits(base);
    char out[kFormatBufferSize];
    for (int exponent : {-n, -n + 1, n + 1, n + 2}) {
      int scientific = 0;
      layoutNumeral(out, "1", 1, 1, exponent, base, n, &scientific);
      const int expectScientific = exponent <= -n || exponent >= n + 2;
      EXPECT_EQ(scientific, expectScientific) << base << " e" << exponent;
      EXPECT_EQ(out[0], '-');
      if (!expectScientific) {
        const std::size_t digits = exponent < 0 ? 2 + (-exponent - 1) + 1 : exponent + 1;
        EXPECT_EQ(std::strlen(out), 1 + digits) << base << " e" << exponent;
      }
    }
  }
}

// ---------------------------------------------------------------------------

TEST(FormatExponent, SuffixInTheOutputBase) {
  struct Row {
    int exponent;
    int base;
    const char* text;
  } rows[] = {
      {0, 10, ""},        {0, 2, ""},           {1, 10, "e+1"},        {-1, 10, "e-1"},
      {16, 16, "_+10"},   {66, 2, "_+1000010"}, {-64, 2, "_-1000000"}, {35, 36, "_+Z"},
      {-36, 36, "_-10"},  {4932, 10, "e+4932"}, {-4112, 16, "_-1010"}, {3169, 36, "_+2G1"},
      {255, 15, "_+120"},
  };
  for (const Row& row : rows) {
    char out[40];
    std::memset(out, kGuardByte, sizeof out);
    formatExponent(out, row.exponent, row.base);
    EXPECT_STREQ(out, row.text) << row.exponent << " base " << row.base;
  }
}

TEST(FormatExponent, ExtremeIntsFitIn35Bytes) {
  char out[35 + kFence];
  std::memset(out, kGuardByte, sizeof out);
  formatExponent(out, INT_MIN, 2);
  EXPECT_EQ(std::string(out), "_-1" + repeat('0', 31));
  for (int i = 35; i < static_cast<int>(sizeof out); ++i) ASSERT_EQ(out[i], kGuardByte);
  formatExponent(out, INT_MAX, 2);
  EXPECT_EQ(std::string(out), "_+" + repeat('1', 31));
  formatExponent(out, INT_MIN, 36);
  EXPECT_STREQ(out, "_-ZIK0ZK");
}

// Each base writes its exponent digits with a division by a constant of its
// own; every base against a plain reference, on the ends of the int range,
// powers of the base and their neighbours, and random exponents. Bases
// outside 2..36 are taken as the nearest of them.
TEST(FormatExponent, EveryBaseAgainstAReference) {
  const auto reference = [](long long exponent, int base) {
    if (exponent == 0) return std::string();
    std::string digits;
    for (long long m = exponent < 0 ? -exponent : exponent; m != 0; m /= base)
      digits.insert(digits.begin(), "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"[m % base]);
    return std::string(base == 10 ? "e" : "_") + (exponent < 0 ? "-" : "+") + digits;
  };
  std::mt19937 rng(36);
  for (int base = 0; base <= 40; ++base) {
    const int effective = base < 2 ? 2 : (base > 36 ? 36 : base);
    std::vector<long long> exponents = {INT_MIN, INT_MAX, INT_MIN + 1, 1, -1, 35, -35};
    for (long long p = effective; p < INT_MAX; p *= effective) {
      exponents.insert(exponents.end(), {p - 1, p, p + 1, -p, 1 - p});
    }
    for (int i = 0; i < 200; ++i) exponents.push_back(static_cast<int>(rng()));
    for (const long long exponent : exponents) {
      char out[40];
      formatExponent(out, static_cast<int>(exponent), base);
      ASSERT_EQ(std::string(out), reference(exponent, effective)) << exponent << " base " << base;
    }
  }
}

// ---------------------------------------------------------------------------
// Values without digits, and the ends of the range.

TEST_F(FormatTest, NotANumberIsErrorAndLeavesTheNotationAlone) {
  const ExtReal images[] = {
      exttest::quietNaN(),
      bits(0xC000000000000000ULL, 0xFFFF),
      bits(0x8000000000000001ULL, 0x7FFF),
      bits(0, 0x7FFF),                      // pseudo-infinity
      bits(0x7FFFFFFFFFFFFFFFULL, 0x3FFF),  // unnormal
  };
  for (const ExtReal& v : images) {
    for (int ask : {0, 1, 5}) {
      const Formatted r = format(v, 10, ask);
      EXPECT_EQ(r.text, "ERROR") << exttest::describe(v);
      EXPECT_EQ(r.scientific, ask);
      EXPECT_EQ(r.usedBytes, 6);
    }
  }
}

TEST_F(FormatTest, InfinitiesBySign) {
  for (int ask : {0, 1}) {
    for (int base : {2, 16}) {
      Formatted r = format(exttest::plusInf(), base, ask);
      EXPECT_EQ(r.text, "+INF");
      EXPECT_EQ(r.scientific, ask);
      r = format(exttest::minusInf(), base, ask);
      EXPECT_EQ(r.text, "-INF");
      EXPECT_EQ(r.scientific, ask);
    }
  }
}

TEST_F(FormatTest, BaseOutsideTwoTo36IsError) {
  for (int base : {-1, 0, 1, 37, 100}) {
    const Formatted r = format(ExtReal(255), base, 1);
    EXPECT_EQ(r.text, "ERROR") << base;
    EXPECT_EQ(r.scientific, 1);
  }
}

TEST_F(FormatTest, SmallestSubnormalAndLargestFinite) {
  const ExtReal tiny = exttest::smallestSubnormal();
  const ExtReal largest = exttest::largestFinite();
  const FormatCase cases[] = {
      {"2^-16445", tiny, 2, kStandard, "1.0_-100000000111101", 1},
      {"2^-16445", tiny, 10, kStandard, "4.0e-4951", 1},
      {"2^-16445", tiny, 16, kStandard, "8.0_-1010", 1},
      {"2^-16445", tiny, 36, kStandard, "1.0_-2GD", 1},
      {"-2^-16445", -tiny, 16, kScientific, "-8.0_-1010", 1},
      {"largest", largest, 16, kStandard, "1.0_+1000", 1},
      {"-largest", -largest, 16, kStandard, "-1.0_+1000", 1},
      {"pseudo-denormal", bits(0x8000000000000000ULL, 0), 10, kStandard,
       "3.36210314311209351e-4932", 1},
  };
  checkFormatCases(cases, sizeof cases / sizeof cases[0]);
  // The logarithm of the largest value may come out as exactly 16384, and
  // the saturated power then makes it 2^16384 (see the digit tests).
  const Formatted b2 = format(largest, 2, kStandard);
  EXPECT_TRUE(b2.text == "1.0_+100000000000000" ||
              b2.text == "1." + repeat('1', 62) + "_+11111111111111")
      << b2.text;
  // extPow's error this far out reaches the last digits: only the leading
  // digits and the exponent are fixed.
  const Formatted b10 = format(largest, 10, kStandard);
  EXPECT_EQ(b10.text.substr(0, 15), "1.1897314953572") << b10.text;
  EXPECT_EQ(b10.text.substr(b10.text.size() - 6), "e+4932") << b10.text;
  EXPECT_EQ(b10.scientific, 1);
  const Formatted b36 = format(largest, 36, kStandard);
  EXPECT_EQ(b36.text.substr(0, 9), "1.F6LAE5C") << b36.text;
  EXPECT_EQ(b36.text.substr(b36.text.size() - 5), "_+2G1") << b36.text;
}

TEST_F(FormatTest, LongestTextFitsTheBuffer) {
  // Negative, exponent -63, 63 ones: "-0." then 62 zeros then 63 ones.
  const Formatted longest = format(bits(~0ULL, 0x8000 | (16383 - 63)), 2, kStandard);
  EXPECT_EQ(longest.text, "-0." + repeat('0', 62) + repeat('1', 63));
  EXPECT_EQ(longest.usedBytes, 129);

  std::mt19937_64 random(4242);
  int longestSeen = 0;
  for (int i = 0; i < 300; ++i) {
    const ExtReal v =
        bits(random(),
             static_cast<std::uint16_t>(i % 3 == 0 ? random() : (random() & 0x807F) + 16383 - 64));
    for (int base = 2; base <= 36; ++base) {
      for (int ask : {0, 1}) {
        const Formatted r = format(v, base, ask);
        ASSERT_LE(r.usedBytes, kFormatBufferSize) << exttest::describe(v) << " base " << base;
        ASSERT_EQ(static_cast<int>(r.text.size()) + 1, r.usedBytes) << exttest::describe(v);
        longestSeen = std::max(longestSeen, r.usedBytes);
      }
    }
  }
  EXPECT_LE(longestSeen, 129);
}

// ---------------------------------------------------------------------------
// From text in one base to text in another.

struct EndToEndCase {
  const char* text;
  int inputBase;
  int outputBase;
  int ask;
  std::string expected;
  int flag;
};

TEST_F(FormatTest, ParseInOneBaseFormatInAnother) {
  const EndToEndCase cases[] = {
      {"255", 10, 16, kStandard, "FF", 0},
      {"FF", 16, 10, kStandard, "255", 0},
      {"255", 10, 36, kStandard, "73", 0},
      {"ZZ", 36, 10, kStandard, "1295", 0},
      {"-1.5e3", 10, 16, kStandard, "-5DC", 0},  // 1500 = 5*256 + 13*16 + 12
      {"-1.5e3", 10, 10, kScientific, "-1.5e+3", 1},
      {"0.1", 10, 10, kStandard, "0.1", 0},  // 10^-1 is inexact; rounding hides it
      {"0.1", 2, 10, kStandard, "0.5", 0},
      {"0.0001100110011", 2, 10, kStandard, "0.0999755859375", 0},  // 819 / 8192
      {"3.2", 4, 2, kStandard, "11.1", 0},
      {"-7.8@16", 10, 10, kStandard, "-7.5", 0},
      {"1_10", 16, 2, kStandard, "1" + repeat('0', 64), 0},  // 16^16 = 2^64
      {"1_10", 16, 2, kScientific, "1.0_+1000000", 1},
      {"1_-1", 16, 10, kStandard, "0.0625", 0},
      // 16^-4096 = 2^-16384, a subnormal with 62 significant bits.
      {"1_-1000", 16, 16, kStandard, "1.0_-1000", 1},
      {"1_-1000", 16, 2, kStandard, "1.0_-100000000000000", 1},
      {"1e-5000", 10, 10, kStandard, "0", 0},  // the power underflows to zero
      {"1e4930", 10, 16, kScientific, "+INF", kUnchanged},
      {"-1e4930", 10, 16, kStandard, "-INF", kUnchanged},
      {"@0", 10, 10, kScientific, "ERROR", kUnchanged},  // zero times a NaN power
  };
  for (const EndToEndCase& c : cases) {
    ExtReal value;
    int base = c.inputBase;
    ASSERT_TRUE(parseNumeral(&value, c.text, &base)) << c.text;
    const Formatted r = format(value, c.outputBase, c.ask);
    EXPECT_EQ(r.text, c.expected) << c.text << " from base " << c.inputBase << " to "
                                  << c.outputBase;
    EXPECT_EQ(r.scientific, c.flag == kUnchanged ? c.ask : c.flag) << c.text;
  }
}

// 0.1 is not a finite binary fraction and the parse lands within a few units
// of the last bit on either side of it, so base 2 (which truncates) fixes all
// but the last few of its 63 digits.
TEST_F(FormatTest, DecimalTenthInBinary) {
  ExtReal value;
  int base = 10;
  ASSERT_TRUE(parseNumeral(&value, "0.1", &base));
  const Formatted r = format(value, 2, kStandard);
  const std::string expectedPrefix = "0.000" + [] {
    std::string s;
    for (int i = 0; i < 15; ++i) s += "1100";
    return s;
  }();
  EXPECT_EQ(r.text.substr(0, expectedPrefix.size()), expectedPrefix) << r.text;
  EXPECT_LE(r.text.size(), 5u + 63u);
  EXPECT_EQ(r.scientific, 0);
}

}  // namespace
