// Random values over the whole range and every base: formatted, then read
// back, and compared. Digits are not exact here: extPow truncates, and its
// error grows with the size of the exponent, on the way out and on the way
// back in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"
#include "tests/format/exact_reference.h"
#include "tests/support/ext_testing.h"

using exttest::bits;

namespace {

// Largest relative differences measured over 420,000 round trips and 56,000
// exact comparisons: 2^-49.8 for the round trip and 2^-48.95 for the digits
// alone, both near the ends of the range.
constexpr double kRoundTripBound = -48.0;  // log2 of the relative difference
constexpr double kDigitsBound = -48.0;

// From here down the parser's own power base^(exponent - digits) is no longer
// a normal number and reading back loses bits; the digits themselves are
// checked exactly below this point too.
constexpr int kLowestRoundTripExponent = 66;
constexpr std::uint16_t kLowestRoundTripExponentField = kLowestRoundTripExponent;
constexpr int kHighestExponent = ExtFormat::kMaxBiasedExponent - 1;

// Fixed values at the ends, tried before the random ones.
const ExtReal kEdgeValues[] = {
    exttest::largestFinite(),
    bits(~0ULL, 0xFFFE),
    bits(0x8000000000000000ULL, 0x7FFE),
    bits(0xFFFFFFFFFFFFF000ULL, 0x7FFE),
    bits(0x8000000000000000ULL, kLowestRoundTripExponentField),
    bits(~0ULL, kLowestRoundTripExponentField),
    ExtReal(1),
    bits(~0ULL, 16382),  // 1 - 2^-64
};

// Random finite normal value: the whole exponent range, with extra weight on
// a few binades at each end where the errors are largest.
ExtReal randomValue(std::mt19937_64& random, int lowestExponent) {
  int biased;
  switch (random() % 4) {
    case 0:
      biased = lowestExponent + static_cast<int>(random() % 8);
      break;
    case 1:
      biased = kHighestExponent - static_cast<int>(random() % 8);
      break;
    default:
      biased =
          lowestExponent +
          static_cast<int>(random() % static_cast<unsigned>(kHighestExponent - lowestExponent + 1));
  }
  const std::uint16_t sign = random() % 2 ? 0x8000 : 0;
  return bits(random() | 0x8000000000000000ULL, static_cast<std::uint16_t>(sign | biased));
}

double log2RelativeDifference(const ExtReal& a, const ExtReal& b) {
  const ExtReal diff = a > b ? a - b : b - a;
  const ExtReal magnitude = b < ExtReal(0) ? -b : b;
  return std::log2(toDouble(diff / magnitude));
}

TEST(RoundTrip, ScientificTextReadsBackInTheSameBase) {
  std::mt19937_64 random(0x5EED);
  double worst = -INFINITY;
  std::string worstCase;
  int compared = 0;
  int beyondGuard = 0;
  int roundedPastLargest = 0;
  const int edges = static_cast<int>(sizeof kEdgeValues / sizeof kEdgeValues[0]);
  for (int i = 0; i < 1200 + edges; ++i) {
    const ExtReal value =
        i < edges ? kEdgeValues[i] : randomValue(random, kLowestRoundTripExponent);
    const int negativeValue = value < ExtReal(0);
    for (int base = 2; base <= 36; ++base) {
      char text[kFormatBufferSize];
      int scientific = 1;
      formatNumeral(text, value, base, &scientific);
      ASSERT_EQ(scientific, 1);
      const std::string where =
          exttest::describe(value) + " base " + std::to_string(base) + ": " + text;

      // The parser flags overflow once the digit positions (one before the
      // point, minus those after it, plus the exponent) pass 4930, in any base.
      char digits[64];
      int count, negative, exponent;
      generateDigits(digits, &count, &negative, &exponent, value, base);
      const int fractionDigits = count > 1 ? count - 1 : 1;
      const bool pastGuard = 1 - fractionDigits + exponent > 4930;

      ExtReal back;
      int parseBase = base;
      const ParseVerdict verdict = parseNumeral(&back, text, &parseBase);
      ASSERT_NE(verdict, kParseRejected) << where;
      ASSERT_EQ(parseBase, base);
      const ParseVerdict overflow = negativeValue ? kParseMinusOverflow : kParsePlusOverflow;
      if (pastGuard) {
        EXPECT_EQ(verdict, overflow) << where;
        ++beyondGuard;
        continue;
      }
      if (verdict != kParseValue) {
        // Digits rounded up past the largest finite value: only for values
        // within that rounding of it.
        const ExtReal largest = exttest::largestFinite();
        ASSERT_LT(log2RelativeDifference(negativeValue ? -value : value, largest), kRoundTripBound)
            << where;
        EXPECT_EQ(verdict, overflow) << where;
        ++roundedPastLargest;
        continue;
      }
      const double d = log2RelativeDifference(back, value);
      if (d > worst) {
        worst = d;
        worstCase = where;
      }
      ASSERT_LT(d, kRoundTripBound) << where;
      ++compared;
    }
  }
  EXPECT_GT(compared, 20000);
  std::printf(
      "round trip: %d compared, worst relative difference 2^%.2f (%s); %d past the parser's "
      "guard, %d rounded past the largest value\n",
      compared, worst, worstCase.c_str(), beyondGuard, roundedPastLargest);
}

// The digits alone against the exact value, now down to the smallest normal
// exponents, where the scaling is still done in floating point.
TEST(RoundTrip, DigitsAgainstTheExactValue) {
  std::mt19937_64 random(0xD161);
  double worst = -INFINITY;
  std::string worstCase;
  const int edges = static_cast<int>(sizeof kEdgeValues / sizeof kEdgeValues[0]);
  for (int i = 0; i < 160 + edges; ++i) {
    const ExtReal value = i < edges ? kEdgeValues[i] : randomValue(random, 1);
    for (int base = 2; base <= 36; ++base) {
      char digits[64];
      int count, negative, exponent;
      generateDigits(digits, &count, &negative, &exponent, value, base);
      EXPECT_EQ(negative, value < ExtReal(0));
      const double d = exactref::measure(value, digits, exponent, base).log2Relative;
      if (d > worst) {
        worst = d;
        worstCase = exttest::describe(value) + " base " + std::to_string(base) + ": " + digits;
      }
      ASSERT_LT(d, kDigitsBound) << exttest::describe(value) << " base " << base << ": " << digits
                                 << " e" << exponent;
    }
  }
  std::printf("digits: worst relative difference 2^%.2f (%s)\n", worst, worstCase.c_str());
}

}  // namespace
