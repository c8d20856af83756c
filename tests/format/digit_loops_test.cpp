// The digit generator's shortcuts for FastReal must give exactly the bits of
// the literal steps they replace.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "numeral/arithmetic.h"
#include "numeral/digits.h"
#include "numeral/log2_middles.h"
#include "numeric/ext_math.h"
#include "numeric/fast_real.h"
#include "tests/format/literal_digits.h"
#include "tests/support/ext_testing.h"

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

namespace {

// Significands that reach the corners of the integer digit loops: random
// ones, all ones, a single bit, a few bits (the fraction runs out early) and
// runs of ones at the bottom (the last digits and the remainder).
std::vector<std::uint64_t> digitLoopSignificands(std::mt19937_64& rng, int count) {
  const std::uint64_t top = 0x8000000000000000ULL;
  std::vector<std::uint64_t> significands = {top, ~0ULL, top | 1, top | (top >> 1), top | 0xFF};
  for (int i = 0; i < count; ++i) {
    switch (i % 4) {
      case 0:
        significands.push_back(rng() | top);
        break;
      case 1:
        significands.push_back(top | (rng() & rng() & rng()));
        break;
      case 2:
        significands.push_back(top | (std::uint64_t{1} << (rng() % 63)));
        break;
      default:
        significands.push_back(top | (~0ULL >> (1 + rng() % 63)));
        break;
    }
  }
  return significands;
}

// The two exact digit loops over their whole domains, against the literal
// steps: for bases 2, 4, 8, 16 and 32 every value in [1, base); for every
// other base up to 255 every value in [1, 128), whose digits may pass the
// 8-bit store above base 128. Digit counts from 1 (the remainder moves by a
// single digit) to 64.
TEST(FastReal, DigitLoopShortcutsMatchLiteralStepsOnTheirDomains) {
  std::mt19937_64 rng(77);
  const char* longTests = std::getenv("VELTRANE_LONG_TESTS");
  const int perBase = longTests != nullptr && longTests[0] == '1' ? 2000 : 60;
  const std::vector<std::uint64_t> significands = digitLoopSignificands(rng, perBase);
  const int counts[] = {1, 2, 3, 12, 19, 20, 40, 64};
  for (int base = 2; base <= 255; ++base) {
    const bool powerOfTwo = (base & (base - 1)) == 0;
    if (powerOfTwo && base > 32) continue;
    const int topExponent = powerOfTwo ? __builtin_ctz(static_cast<unsigned>(base)) - 1 : 6;
    for (std::size_t k = 0; k < significands.size(); ++k) {
      const int exponent = static_cast<int>(k % static_cast<std::size_t>(topExponent + 1));
      const ExtReal start =
          exttest::bits(significands[k], static_cast<std::uint16_t>(16383 + exponent));
      const int n = counts[k % (sizeof counts / sizeof counts[0])];
      char literalDigits[64], fastDigits[64];
      std::memset(literalDigits, 0x55, sizeof literalDigits);
      std::memset(fastDigits, 0x55, sizeof fastDigits);
      ExtReal literalValue = start;
      Arithmetic<ExtReal>::extractDigits(literalDigits, n, &literalValue, ExtReal(base), base);
      X87TruncatingMode mode;
      FastReal fastValue(start);
      Arithmetic<FastReal>::extractDigits(fastDigits, n, &fastValue, FastReal(base), base);
      // Compared past n too: nothing beyond the n digits may be written.
      ASSERT_EQ(std::memcmp(literalDigits, fastDigits, sizeof fastDigits), 0)
          << "base " << base << ", " << n << " digits from " << exttest::describe(start);
      ASSERT_TRUE(exttest::sameBits(fastValue.toExtReal(), literalValue))
          << "base " << base << ", " << n << " digits from " << exttest::describe(start);
    }
  }
}

}  // namespace

namespace {

// The exponent estimate without `fyl2x` against the literal truncated
// quotient, on values over the whole normal range and, where it matters, next
// to the powers of every base: the powers themselves (which must fall back)
// and values a few units of the last place away, up to far ones.
TEST(FastReal, LogBaseEstimateIsTheLiteralTruncation) {
  std::mt19937_64 rng(4951);
  const char* longTests = std::getenv("VELTRANE_LONG_TESTS");
  const int randomPerBase = longTests != nullptr && longTests[0] == '1' ? 200000 : 3000;
  long estimated = 0, total = 0;
  for (int base = 2; base <= 36; ++base) {
    std::vector<ExtReal> values;
    for (int i = 0; i < randomPerBase; ++i) {
      const std::uint16_t biased = static_cast<std::uint16_t>(1 + rng() % 0x7FFE);
      values.push_back(exttest::bits(rng() | 0x8000000000000000ULL, biased));
    }
    for (int k = -4950; k <= 4950; k += 1 + static_cast<int>(rng() % 40)) {
      const ExtReal power = extPow(ExtReal(base), ExtReal(k));
      if (power.biasedExponent() == 0 || power.biasedExponent() == 0x7FFF) continue;
      const std::int64_t steps[] = {0, 1, -1, 2, -2, 1000, -1000, 1 << 20, -(1 << 20)};
      for (std::int64_t step : steps) {
        const std::uint64_t m = power.significand() + static_cast<std::uint64_t>(step);
        if ((m >> 63) == 0) continue;
        values.push_back(exttest::bits(m, power.signAndExponent()));
      }
    }
    X87TruncatingMode mode;
    for (std::size_t i = 0; i < values.size(); ++i) {
      const FastReal x(values[i]);
      const int literal = toInt(extLog2(x) / cachedLog2OfBase(base));
      int estimate;
      const bool random = i < static_cast<std::size_t>(randomPerBase);
      total += random;
      if (!Arithmetic<FastReal>::logBaseEstimate(base, x, &estimate)) continue;
      estimated += random;
      ASSERT_EQ(estimate, literal) << "base " << base << ", " << exttest::describe(values[i]);
    }
  }
  // Nearly every value away from the powers takes the estimate.
  EXPECT_GT(estimated, total - total / 100);
}

// The written-out table of the estimate is extLog2 of each middle, rounded
// toward zero to double: exactly so on the software instructions; within a
// unit of the double's last place on an x87 unit, whose fyl2x may differ in
// its last bit.
TEST(FastReal, Log2MiddlesAreExtLog2TruncatedToDouble) {
  for (int i = 0; i < kLog2Middles; ++i) {
    const double literal = toDouble(extLog2(ExtReal(log2Middle(i))));
    if (VELTRANE_SOFT_X87 || !VELTRANE_X87_UNIT)
      EXPECT_EQ(kLog2OfMiddle[i], literal) << i;
    else
      EXPECT_LE(std::fabs(kLog2OfMiddle[i] - literal), std::ldexp(1.0, -53)) << i;
  }
}

// The remembered fallback against the literal truncated quotient: values at
// and next to powers of every base, their negatives, and zeros, in three
// passes of which the later ones meet what the first kept, and with bases
// and values interleaved so that entries replace one another. A kept result
// must never answer for another value or base.
TEST(FastReal, LogBaseRememberedIsTheLiteralTruncation) {
  std::vector<std::pair<int, ExtReal>> cases;
  for (int base = 2; base <= 36; ++base) {
    for (int k = -400; k <= 400; k += 7) {
      const ExtReal power = extPow(ExtReal(base), ExtReal(k));
      for (const std::int64_t step : {0, 1, -1, 3}) {
        const std::uint64_t m = power.significand() + static_cast<std::uint64_t>(step);
        if ((m >> 63) == 0) continue;
        cases.emplace_back(base, exttest::bits(m, power.signAndExponent()));
        cases.emplace_back(base, exttest::bits(m, power.signAndExponent() | 0x8000));
      }
    }
    cases.emplace_back(base, ExtReal(0));
  }
  X87TruncatingMode mode;
  std::mt19937_64 rng(36);
  for (int pass = 0; pass < 3; ++pass) {
    for (const auto& [base, value] : cases) {
      const FastReal x(value);
      ASSERT_EQ(Arithmetic<FastReal>::logBaseRemembered(base, x),
                toInt(extLog2(x) / cachedLog2OfBase(base)))
          << "pass " << pass << ", base " << base << ", " << exttest::describe(value);
    }
    std::shuffle(cases.begin(), cases.end(), rng);
  }
}

// The power-of-two bases take their digits as bit copies, with the first
// digit's exponent the floor of the value's exponent over log2(base). Every
// exponent of the normal range, both ends (where the shortcut hands over to
// the literal steps) included, in each of those bases, against the literal
// digit generator: the floor must hold for negative exponents and at every
// multiple of the bits per digit.
TEST(FastReal, PowerOfTwoDigitsMatchTheLiteralGeneratorAtEveryExponent) {
  std::mt19937_64 rng(32);
  for (int base = 2; base <= 32; base *= 2) {
    for (int biased = 1; biased < 0x7FFF; ++biased) {
      const std::uint64_t significand =
          biased % 3 == 0 ? 0x8000000000000000ULL : rng() | 0x8000000000000000ULL;
      const ExtReal value = exttest::bits(
          significand, static_cast<std::uint16_t>(biased | (biased % 2 == 0 ? 0x8000 : 0)));
      expectLiteralDigits(value, base);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace

namespace {

// The rounding of the power-of-two bases on their digits as one integer, at
// its corners: a guard digit just below, at and above half the base, kept
// digits all base - 1 (the carry runs out of the first digit), runs of
// trailing zero digits (dropped, or made by the carry), and a single kept
// non-zero digit, at every offset of the first digit's bits and at
// exponents across the range, against the literal digit generator.
TEST(FastReal, PowerOfTwoRoundingCornersMatchTheLiteralGenerator) {
  std::mt19937_64 rng(64);
  for (int base = 2; base <= 32; base *= 2) {
    const int bits = __builtin_ctz(static_cast<unsigned>(base));
    const int n = maxDigits(base);
    const int keptBits = (n - 1) * bits;
    const std::uint64_t keptMask = (std::uint64_t{1} << keptBits) - 1;
    const unsigned guards[] = {0u, static_cast<unsigned>(base / 2) - (base > 2 ? 1 : 0),
                               static_cast<unsigned>(base / 2),
                               static_cast<unsigned>(base / 2) + 1,
                               static_cast<unsigned>(base - 1)};
    for (int offset = 0; offset < bits; ++offset) {
      // The significand's top bit is bit shift - 1 of the top 64 bits of the
      // expansion, where the first digit holds offset + 1 bits.
      const int shift = 65 - bits + offset;
      for (int pattern = 0; pattern < 5; ++pattern) {
        for (const unsigned guard : guards) {
          if (guard >= static_cast<unsigned>(base)) continue;
          for (int trial = 0; trial < 8; ++trial) {
            std::uint64_t kept = rng() & keptMask;
            if (pattern == 1) kept = keptMask;  // every kept digit base - 1
            if (pattern == 2)  // the last few kept digits base - 1
              kept |= (std::uint64_t{1} << (bits * (1 + trial))) - 1;
            if (pattern == 3)  // trailing zero digits
              kept &= ~((std::uint64_t{1} << (bits * (1 + trial))) - 1);
            if (pattern == 4) kept = 0;  // the first digit alone
            // The first digit: its top bit at offset, the rest as drawn.
            const int firstShift = keptBits - bits;
            kept &= ~(static_cast<std::uint64_t>(base - 1) << firstShift);
            kept |= (pattern == 1 ? (std::uint64_t{2} << offset) - 1
                                  : (std::uint64_t{1} << offset) |
                                        (rng() & ((std::uint64_t{1} << offset) - 1)))
                    << firstShift;
            std::uint64_t top = kept << (64 - keptBits);
            top |= static_cast<std::uint64_t>(guard) << (64 - n * bits);
            if (n * bits < 64 && trial % 2 == 1)
              top |= rng() & ((std::uint64_t{1} << (64 - n * bits)) - 1);
            std::uint64_t significand = shift == 64 ? top : top << (64 - shift);
            if (shift < 64 && trial % 4 == 3)
              significand |= rng() & ((std::uint64_t{1} << (64 - shift)) - 1);
            ASSERT_NE(significand >> 63, 0u) << "base " << base << ", offset " << offset;
            const int first = static_cast<int>(rng() % 4001) - 2000;
            const int biased = 16383 + bits * first + offset;
            const ExtReal value = exttest::bits(
                significand, static_cast<std::uint16_t>(biased | (trial % 3 == 0 ? 0x8000 : 0)));
            expectLiteralDigits(value, base);
            if (::testing::Test::HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

}  // namespace
