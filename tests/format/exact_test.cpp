// Exact expansions of stored images and the ulp distance of a text from
// them, on values worked out by hand or with exact rationals.
#include "numeral/exact.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

constexpr std::uint64_t kOneTenth = 0xCCCCCCCCCCCCCCCDULL;  // 0.1 as extPow leaves it
constexpr std::uint64_t kThird = 0xAAAAAAAAAAAAAAAAULL;     // with 0x3FFD: below 1/3
constexpr std::uint64_t kOne = 0x8000000000000000ULL;
constexpr std::uint64_t kAllOnes = ~0ULL;

ExtReal image(std::uint64_t significand, int signAndExponent) {
  return ExtReal::fromBits(significand, static_cast<std::uint16_t>(signAndExponent));
}

struct Expansion {
  std::uint64_t significand;
  int signAndExponent;
  int base;
  const char* text;  // the whole text, or its first characters when cut
  const char* suffix;
  bool complete;
};

const Expansion kExpansions[] = {
    {kOneTenth, 0x3FFB, 10,
     "1.000000000000000000013552527156068805425093160010874271392822265625e-1", "", true},
    {kOneTenth, 0x3FFB, 16, "1.999999999999999A_-1", "", true},
    {kOneTenth, 0x3FFB, 2, "1.100110011001100110011001100110011001100110011001100110011001101_-100",
     "", true},
    {kOne, 0x3FFF, 10, "1.0", "", true},
    {kOne, 0x3FFF, 3, "1.0", "", true},
    {0xFF00000000000000ULL, 0x3FFF + 7, 16, "F.F_+1", "", true},
    {kOne, 0x8000 | 0x3FFE, 2, "-1.0_-1", "", true},
    {kOne, 0x3FFE, 7, "3.333333333", "3333_-1", false},  // 1/2 in base 7 never ends
    {0, 0, 7, "0.0", "", true},
    {0, 0x8000, 10, "-0.0", "", true},
    {kOne, 0x3FFF + 64, 10, "1.8446744073709551616e+19", "", true},
    {kAllOnes, 0x7FFE, 16, "F.FFFFFFFFFFFFFFF_+FFF", "", true},  // the largest finite value
    {kOne, 0x7FFE, 10, "5.9486574767861588254287966331400356538172234354825511873633", "e+4931",
     false},  // 2^16383 has 4,932 digits
    {kThird, 0x3FFD, 10, "3.333333333333333333152632971252415927665424533188343048095703125e-1", "",
     true},
    {kThird, 0x3FFD, 3, "2.222222222222222222222222222222222222222100012112120001022", "100002_-2",
     false},
    // The smallest subnormal, 2^-16445.
    {1, 0, 2, "1.0_-100000000111101", "", true},
    {1, 0, 16, "8.0_-1010", "", true},
    {1, 0, 10, "3.6451995318824746025284059336194198163990508156935633437209", "e-4951", false},
    // A pseudo-denormal is read with exponent 1, as the x87 does.
    {kOne, 0, 2, "1.0_-11111111111110", "", true},
};

TEST(FormatExactValue, KnownExpansions) {
  for (const Expansion& e : kExpansions) {
    char out[kExactTextSize];
    const bool complete = formatExactValue(out, image(e.significand, e.signAndExponent), e.base);
    const std::string text = out;
    EXPECT_EQ(complete, e.complete) << e.text;
    if (e.complete) {
      EXPECT_EQ(text, e.text);
      continue;
    }
    EXPECT_EQ(text.substr(0, std::string(e.text).size()), e.text);
    EXPECT_EQ(text.substr(text.size() - std::string(e.suffix).size()), e.suffix) << text;
    // Cut after 1,100 significant digits: the point and the suffix aside.
    const std::size_t digits = text.size() - std::string(e.suffix).size() - 1;
    EXPECT_LE(digits, static_cast<std::size_t>(kExactDigitLimit)) << text;
    EXPECT_GE(digits, static_cast<std::size_t>(kExactDigitLimit) - 10) << text;
  }
}

TEST(StoredValue, ClassesAndLastPlaces) {
  EXPECT_EQ(classifyStored(image(0, 0)), kStoredZero);
  EXPECT_EQ(classifyStored(image(0, 0x8000)), kStoredZero);
  EXPECT_EQ(classifyStored(image(1, 0)), kStoredSubnormal);
  EXPECT_EQ(classifyStored(image(kOneTenth, 0x3FFB)), kStoredNormal);
  EXPECT_EQ(classifyStored(image(1, 0x3FFB)), kStoredUnnormal);
  EXPECT_EQ(classifyStored(image(kOne, 0x7FFF)), kStoredInfinity);
  EXPECT_EQ(classifyStored(image(kOne | 1, 0xFFFF)), kStoredNotANumber);
  EXPECT_EQ(lastPlaceExponent(image(kOneTenth, 0x3FFB)), -67);
  EXPECT_EQ(lastPlaceExponent(image(kOne, 0x3FFF)), -63);
  EXPECT_EQ(lastPlaceExponent(image(1, 0)), -16445);
  EXPECT_EQ(lastPlaceExponent(image(0, 0)), -16445);
  EXPECT_EQ(lastPlaceExponent(image(kOne, 1)), -16445);
  EXPECT_EQ(lastPlaceExponent(image(kAllOnes, 0x7FFE)), 16320);
}

struct Distance {
  const char* text;
  int base;
  std::uint64_t significand;
  int signAndExponent;
  const char* ulps;  // null: the text has no value
};

const Distance kDistances[] = {
    {"0.1", 10, kOneTenth, 0x3FFB, "-0.2"},
    {"-0.1", 10, kOneTenth, 0x8000 | 0x3FFB, "0.2"},
    {"1.0e-1", 10, kOneTenth, 0x3FFB, "-0.2"},
    {"0.19999999999999A", 16, kOneTenth, 0x3FFB, "51"},
    {"1.999999999999999A_-1", 16, kOneTenth, 0x3FFB, "0"},
    {"1", 10, kOne, 0x3FFF, "0"},
    {"0", 10, 0, 0, "0"},
    {"4.0e-4951", 10, 1, 0, "0.0973336"},
    {"3.33e-1", 10, kThird, 0x3FFD, "-1.22978e16"},  // -1537228672809129218 / 125
    {"0.33333333333333333", 10, kThird, 0x3FFD, "-122.311"},
    {"0.5", 10, kThird, 0x3FFD, "6.14891e18"},  // exactly 6148914691236517206: six digits, cut
    {"-0.5", 10, kThird, 0x3FFD, "-3.07445e19"},
    {"0.0000000000000000001", 10, kOne, 0x3FFF, "-9.22337e18"},
    {"FF", 16, 0xFF00000000000000ULL, 0x3FFF + 7, "0"},
    {"1.0_+1", 2, kOne, 0x3FFF, "9.22337e18"},
    {"+INF", 10, kOne, 0x3FFF, nullptr},
    {"-INF", 10, kOne, 0x3FFF, nullptr},
    {"ERROR", 10, kOne, 0x3FFF, nullptr},
    // In bases from 24 (28) up these texts are numerals and have a distance:
    // ERROR in base 36 is 24810219, -INF in base 24 is -10935.
    {"ERROR", 36, kOne, 0x3FFF, "2.28833e26"},  // (24810219 - 1) * 2^63
    {"-INF", 24, kOne, 0x3FFF, "-1.00866e23"},  // (-10935 - 1) * 2^63
    {"1e5", 16, kOne, 0x3FFF, nullptr},  // 'e' is no output marker in base 16
    // Scales and lengths far beyond any text of a stored value would pass
    // the exact arithmetic's width: refused, not wrapped.
    {"1_-U00", 36, kOne, 0x3FFF, nullptr},  // 36^-38880
    {"1_+U00", 36, kOne, 0x3FFF, nullptr},
    {"1_-2GD", 36, kOne, 0x3FFF, "-9.22337e18"},  // 36^-3181, as far as a subnormal's text
    {"ff", 16, 0xFF00000000000000ULL, 0x3FFF + 7, nullptr},  // output digits are upper case
    // The bytes just past '9' and before 'A', which a range one off would
    // read as digits of base 16, and a byte from 128 up, are no digits.
    {"1:", 16, kOne, 0x3FFF, nullptr},
    {"1@", 16, kOne, 0x3FFF, nullptr},
    {"1\xC1", 36, kOne, 0x3FFF, nullptr},
    {"1", 10, kOne, 0x7FFF, nullptr},    // an infinity has no last place
};

TEST(FormatUlpDistance, KnownDistances) {
  for (const Distance& d : kDistances) {
    char out[64] = "untouched";
    const bool known =
        formatUlpDistance(out, sizeof out, d.text, d.base, image(d.significand, d.signAndExponent));
    EXPECT_EQ(known, d.ulps != nullptr) << d.text;
    EXPECT_STREQ(out, d.ulps != nullptr ? d.ulps : "untouched") << d.text;
  }
}

// The expansion of a value, cut after 1,100 digits, lies below it by less
// than one unit of its last place: the distance is negative and tiny. For the
// least values in base 36 the last digit's power is 36^-4281, the widest
// operand of the exact arithmetic.
TEST(FormatUlpDistance, OfTheCutExpansionOfTheLeastValues) {
  for (int base : {3, 10, 35, 36}) {
    for (std::uint64_t significand : {1ULL, 0x7FFFFFFFFFFFFFFFULL}) {
      const ExtReal value = image(significand, 0);
      char text[kExactTextSize];
      ASSERT_FALSE(formatExactValue(text, value, base)) << base;  // cut
      char out[64];
      ASSERT_TRUE(formatUlpDistance(out, sizeof out, text, base, value)) << base;
      const std::string distance = out;
      EXPECT_EQ(distance[0], '-') << base << ": " << distance;
      EXPECT_NE(distance.find("e-"), std::string::npos) << base << ": " << distance;
    }
  }
}

}  // namespace
