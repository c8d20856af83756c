// The exact transcendental cores: their exact results, rows checked against
// mpmath, the escalation of Ziv's strategy, and (for information only) how
// often this machine's own x87 unit agrees with the exact truncation.
#include "numeric/x87_software_log_exp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"

using exttest::bits;
using exttest::sameBits;

namespace {

constexpr std::uint64_t kOne = 0x8000000000000000ULL;

// The integer k as an image, built bit by bit.
ExtReal integerImage(int k) {
  if (k == 0) return bits(0, 0);
  std::uint64_t magnitude = static_cast<std::uint64_t>(k < 0 ? -k : k);
  int exponent = 63;
  while ((magnitude & kOne) == 0) {
    magnitude <<= 1;
    --exponent;
  }
  return bits(magnitude, static_cast<std::uint16_t>((k < 0 ? 0x8000 : 0) | (16383 + exponent)));
}

TEST(TruncatedLog2, PowersOfTwoGiveTheirExponentExactly) {
  // Every power of two from the smallest subnormal to the largest binade.
  for (int k = -16445; k <= 16383; ++k)
    ASSERT_TRUE(sameBits(truncatedLog2(kOne, k), integerImage(k))) << "2^" << k;
  // A few written out, so that integerImage itself is checked.
  EXPECT_TRUE(sameBits(truncatedLog2(kOne, 0), bits(0, 0)));
  EXPECT_TRUE(sameBits(truncatedLog2(kOne, -3), bits(0xC000000000000000ULL, 0xC000)));
  EXPECT_TRUE(sameBits(truncatedLog2(kOne, 16383), bits(0xFFFC000000000000ULL, 0x400C)));
  EXPECT_TRUE(sameBits(truncatedLog2(kOne, -16445), bits(0x807A000000000000ULL, 0xC00D)));
}

struct Log2Row {
  std::uint64_t significand;
  int exponent;
  std::uint64_t resultSignificand;
  std::uint16_t resultSignAndExponent;
};

// Expected images from mpmath at 320 bits, cut toward zero.
TEST(TruncatedLog2, RowsFromTheReference) {
  const Log2Row rows[] = {
      {0x8000000000000001ULL, 0, 0xB8AA3B295C17F0BBULL, 0x3FC0},       // 1 + 2^-63
      {0xFFFFFFFFFFFFFFFFULL, -1, 0xB8AA3B295C17F0BCULL, 0xBFBF},      // 1 - 2^-64
      {0xFFFFFFFFFFFFFFFFULL, 0, 0xFFFFFFFFFFFFFFFEULL, 0x3FFE},       // 2 - 2^-63
      {0xFFFFFFFFFFFFFFFFULL, 16383, 0xFFFFFFFFFFFFFFFFULL, 0x400C},   // largest finite
      {0xC000000000000000ULL, -16444, 0x8076D47FCB8C0852ULL, 0xC00D},  // subnormal 3 * 2^-16445
      {0x8000000000000001ULL, -16445, 0x8079FFFFFFFFFFFFULL, 0xC00D},  // just above 2^-16445
      {0xB504F333F9DE6484ULL, 0, 0xFFFFFFFFFFFFFFFEULL, 0x3FFD},       // sqrt(2), from below
      {0xB504F333F9DE6485ULL, 0, 0x8000000000000001ULL, 0x3FFE},       // sqrt(2), from above
      {0xA000000000000000ULL, 3, 0xD49A784BCD1B8AFEULL, 0x4000},       // 10
  };
  for (const Log2Row& row : rows)
    EXPECT_TRUE(sameBits(truncatedLog2(row.significand, row.exponent),
                         bits(row.resultSignificand, row.resultSignAndExponent)))
        << std::hex << row.significand << " * 2^" << std::dec << row.exponent;
}

struct Exp2m1Row {
  bool negative;
  std::uint64_t significand;
  int exponent;
  std::uint64_t resultSignificand;
  std::uint16_t resultSignAndExponent;
};

TEST(TruncatedExp2m1, RowsFromTheReference) {
  const Exp2m1Row rows[] = {
      // +-1 are exact: 2^1 - 1 = 1 and 2^-1 - 1 = -1/2. The AMD unit gives
      // 3FFE:FFFFFFFFFFFFFFFF for +1, one unit below the exact 1.
      {false, kOne, 0, kOne, 0x3FFF},
      {true, kOne, 0, kOne, 0xBFFE},
      {false, kOne, -1, 0xD413CCCFE7799211ULL, 0x3FFD},                   // sqrt(2) - 1
      {true, kOne, -1, 0x95F619980C4336F7ULL, 0xBFFD},                    // 1/sqrt(2) - 1
      {false, 0xFFFFFFFFFFFFFFFFULL, -1, 0xFFFFFFFFFFFFFFFEULL, 0x3FFE},  // 1 - 2^-64
      {true, 0xFFFFFFFFFFFFFFFFULL, -1, 0xFFFFFFFFFFFFFFFFULL, 0xBFFD},
      {false, kOne, -7, 0xB1ED4FD999AB6C25ULL, 0x3FF7},  // the first table boundary
      {true, kOne, -7, 0xB0F751C2383BDA29ULL, 0xBFF7},
      {false, kOne + 1, -64, 0xB17217F7D1CF79ADULL, 0x3FBE},
      {false, kOne, -16000, 0xB17217F7D1CF79ABULL, 0x017E},
      // Gradual underflow: ln 2 * 2^-16382 lands on the subnormal grid, and
      // ln 2 * 2^-16445 is below its first step, a zero of x's sign.
      {false, kOne, -16382, 0x58B90BFBE8E7BCD5ULL, 0x0000},
      {true, kOne, -16382, 0x58B90BFBE8E7BCD5ULL, 0x8000},
      {false, kOne, -16445, 0, 0x0000},
      {true, kOne, -16445, 0, 0x8000},
      {true, 0xFFFFFFFFFFFFFFFFULL, -16446, 0, 0x8000},
  };
  for (const Exp2m1Row& row : rows)
    EXPECT_TRUE(sameBits(truncatedExp2m1(row.negative, row.significand, row.exponent),
                         bits(row.resultSignificand, row.resultSignAndExponent)))
        << (row.negative ? "-" : "") << std::hex << row.significand << " * 2^" << std::dec
        << row.exponent;
}

// The table pass starts from 2^(j / 128) written out in the sources: each
// must be the enclosure the direct pass computes for it.
TEST(TruncatedExp2m1, WrittenPowersAreTheirComputation) {
  EXPECT_TRUE(x87_software_testing::exp2PowersAreTheirComputation());
}

TEST(TruncatedExp2m1, OutsideTheOperandRangeGivesTheIndefinite) {
  const ExtReal indefinite = bits(0xC000000000000000ULL, 0xFFFF);
  EXPECT_TRUE(sameBits(truncatedExp2m1(false, kOne + 1, 0), indefinite));
  EXPECT_TRUE(sameBits(truncatedExp2m1(true, kOne, 1), indefinite));
}

// Random arguments of both functions, as (negative, significand, exponent).
struct Argument {
  bool negative;
  std::uint64_t significand;
  int exponent;
};

// The draws are sequenced one by one, so that every compiler draws the
// same arguments.
Argument randomLog2Argument(std::mt19937_64& rng) {
  Argument a;
  a.negative = false;
  a.significand = rng() | kOne;
  const bool nearOne = rng() % 2 == 0;
  a.exponent = nearOne ? static_cast<int>(rng() % 4) - 2  // results in (-2, 2)
                       : static_cast<int>(rng() % 32829) - 16445;
  return a;
}

Argument randomExp2m1Argument(std::mt19937_64& rng) {
  Argument a;
  a.exponent = -1;
  while (a.exponent > -70 && rng() % 2 == 0) --a.exponent;
  a.negative = rng() % 2 == 0;
  a.significand = rng() | kOne;
  return a;
}

// The 64-bit direct first pass often cannot decide; the passes after it
// must then give the same result as the table pass, and the counts must
// show the escalation.
TEST(TruncatedLog2Exp2m1, EscalationGivesTheSameResults) {
  std::mt19937_64 rng(18);
  for (int function = 0; function < 2; ++function) {
    resetTranscendentalCounts();
    int escalated = 0;
    for (int i = 0; i < 4000; ++i) {
      const Argument a = function == 0 ? randomLog2Argument(rng) : randomExp2m1Argument(rng);
      const TranscendentalCounts before = function == 0 ? log2Counts() : exp2m1Counts();
      const ExtReal direct =
          function == 0 ? x87_software_testing::truncatedLog2Direct(64, a.significand, a.exponent)
                        : x87_software_testing::truncatedExp2m1Direct(64, a.negative, a.significand,
                                                                      a.exponent);
      const TranscendentalCounts after = function == 0 ? log2Counts() : exp2m1Counts();
      escalated += after.passes[1] != before.passes[1];
      const ExtReal table = function == 0 ? truncatedLog2(a.significand, a.exponent)
                                          : truncatedExp2m1(a.negative, a.significand, a.exponent);
      ASSERT_TRUE(sameBits(direct, table))
          << (function == 0 ? "log2 " : "exp2m1 ") << (a.negative ? "-" : "") << std::hex
          << a.significand << " * 2^" << std::dec << a.exponent;
    }
    const TranscendentalCounts counts = function == 0 ? log2Counts() : exp2m1Counts();
    EXPECT_EQ(counts.results, 8000u);  // no exact answers among these
    EXPECT_EQ(counts.passes[0], 8000u);
    EXPECT_GT(escalated, 100) << "the 64-bit first pass should often fail Ziv's test";
    EXPECT_EQ(counts.unresolved, 0u);
  }
}

// Each direct pass of the ladder as the first pass, on arguments it decides
// itself (the table pass leaves the ladder almost nothing to do).
TEST(TruncatedLog2Exp2m1, EveryDirectPassGivesTheSameResults) {
  std::mt19937_64 rng(2);
  for (int bits = 128; bits <= 4096; bits *= 2) {
    for (int i = 0; i < (bits <= 1024 ? 200 : 10); ++i) {
      const Argument l = randomLog2Argument(rng);
      EXPECT_TRUE(
          sameBits(x87_software_testing::truncatedLog2Direct(bits, l.significand, l.exponent),
                   truncatedLog2(l.significand, l.exponent)))
          << bits << " bits: log2 " << std::hex << l.significand << " * 2^" << std::dec
          << l.exponent;
      const Argument x = randomExp2m1Argument(rng);
      EXPECT_TRUE(sameBits(
          x87_software_testing::truncatedExp2m1Direct(bits, x.negative, x.significand, x.exponent),
          truncatedExp2m1(x.negative, x.significand, x.exponent)))
          << bits << " bits: exp2m1 " << (x.negative ? "-" : "") << std::hex << x.significand
          << " * 2^" << std::dec << x.exponent;
    }
  }
}

TEST(TruncatedLog2Exp2m1, ExactAnswersRunNoPass) {
  resetTranscendentalCounts();
  truncatedLog2(kOne, 12);
  truncatedExp2m1(true, kOne, 0);
  EXPECT_EQ(log2Counts().results, 0u);
  EXPECT_EQ(exp2m1Counts().results, 0u);
  truncatedLog2(kOne + 1, 12);
  EXPECT_EQ(log2Counts().results, 1u);
  EXPECT_EQ(log2Counts().passes[0], 1u);
}

#if VELTRANE_X87_UNIT
// ---------------------------------------------------------------------------
// For information, never asserted: how often this machine's unit gives the
// exact truncation. It depends on the maker.

// The image of significand * 2^(exponent - 63), subnormal where it must be.
ExtReal imageOf(bool negative, std::uint64_t significand, int exponent) {
  const std::uint16_t sign = negative ? 0x8000 : 0;
  if (exponent >= -16382)
    return bits(significand, static_cast<std::uint16_t>(sign | (exponent + 16383)));
  return bits(significand >> (-16382 - exponent), sign);
}

// The maker, from /proc/cpuinfo where there is one, else from cpuid.
std::string maker() {
  if (std::FILE* f = std::fopen("/proc/cpuinfo", "r")) {
    char line[256];
    std::string vendor, model;
    while (std::fgets(line, sizeof line, f) != nullptr) {
      std::string text(line);
      const std::size_t colon = text.find(':');
      if (colon == std::string::npos) continue;
      std::string value = text.substr(colon + 2);
      if (!value.empty() && value.back() == '\n') value.pop_back();
      if (vendor.empty() && text.rfind("vendor_id", 0) == 0) vendor = value;
      if (model.empty() && text.rfind("model name", 0) == 0) model = value;
    }
    std::fclose(f);
    if (!vendor.empty()) return vendor + ", " + model;
  }
  unsigned int regs[4] = {};
  __asm__("cpuid" : "=a"(regs[0]), "=b"(regs[1]), "=c"(regs[2]), "=d"(regs[3]) : "a"(0));
  char vendor[13] = {};
  std::memcpy(vendor, &regs[1], 4);
  std::memcpy(vendor + 4, &regs[3], 4);
  std::memcpy(vendor + 8, &regs[2], 4);
  return vendor;
}

struct Agreement {
  int cases = 0;
  int above = 0;  // the unit one or more units larger in magnitude
  int below = 0;
};

void tally(Agreement* a, const ExtReal& unit, const ExtReal& exact) {
  ++a->cases;
  if (sameBits(unit, exact)) return;
  // Same sign: the magnitudes order as (exponent, significand).
  const bool larger = unit.biasedExponent() != exact.biasedExponent()
                          ? unit.biasedExponent() > exact.biasedExponent()
                          : unit.significand() > exact.significand();
  ++(larger ? a->above : a->below);
}

void report(const char* what, const Agreement& a) {
  std::printf("  %-38s %6d cases: agree %6d (%.2f %%); unit +1: %5d, unit -1: %5d\n", what, a.cases,
              a.cases - a.above - a.below, 100.0 * (a.cases - a.above - a.below) / a.cases, a.above,
              a.below);
}

TEST(UnitAgreement, PrintsHowOftenTheUnitGivesTheExactTruncation) {
  std::printf("  this machine's unit: %s\n", maker().c_str());
  std::mt19937_64 rng(20261209);
  constexpr int kCases = 100000;
  Agreement whole, nearOne, subnormal, uniform, tiny;
  for (int i = 0; i < kCases; ++i) {
    const std::uint64_t m = rng() | kOne;
    const int e = static_cast<int>(rng() % 32766) - 16382;
    tally(&whole, x87_unit::fyl2x(imageOf(false, m, e)), truncatedLog2(m, e));
    const int near = static_cast<int>(rng() % 2) - 1;  // x in [0.5, 2)
    tally(&nearOne, x87_unit::fyl2x(imageOf(false, m, near)), truncatedLog2(m, near));
  }
  for (int i = 0; i < kCases / 10; ++i) {
    const int bitsUsed = 1 + static_cast<int>(rng() % 63);
    std::uint64_t s = (rng() >> (64 - bitsUsed)) | (std::uint64_t{1} << (bitsUsed - 1));
    const int e = bitsUsed - 16446;
    s <<= 64 - bitsUsed;
    tally(&subnormal, x87_unit::fyl2x(imageOf(false, s, e)), truncatedLog2(s, e));
  }
  for (int i = 0; i < kCases; ++i) {
    const Argument a = randomExp2m1Argument(rng);
    tally(&uniform, x87_unit::f2xm1(imageOf(a.negative, a.significand, a.exponent)),
          truncatedExp2m1(a.negative, a.significand, a.exponent));
  }
  for (int i = 0; i < kCases / 10; ++i) {
    const bool negative = rng() % 2 == 0;
    const std::uint64_t m = rng() | kOne;
    const int e = -65 - static_cast<int>(rng() % 16000);
    tally(&tiny, x87_unit::f2xm1(imageOf(negative, m, e)), truncatedExp2m1(negative, m, e));
  }
  report("fyl2x (y = 1), normal x, whole range", whole);
  report("fyl2x (y = 1), x in [0.5, 2)", nearOne);
  report("fyl2x (y = 1), subnormal x", subnormal);
  report("f2xm1, x uniform in (-1, 1)", uniform);
  report("f2xm1, |x| below 2^-64", tiny);
  std::printf("  f2xm1(+1) on the unit: %s (exact: 1)\n",
              exttest::describe(x87_unit::f2xm1(bits(kOne, 0x3FFF))).c_str());
}
#endif

}  // namespace

namespace {

// The table logarithms are filled on first use by whichever thread needs
// one: threads that race to fill the same entries must all get the results
// that one thread gets alone afterwards. (Earlier tests of this program
// fill entries too; run alone, with --gtest_filter, it starts from an empty
// table.)
TEST(TruncatedLog2, ThreadsFillingTheTableTogetherAgree) {
  std::mt19937_64 rng(0x7AB1E);
  std::vector<Argument> arguments;
  for (int i = 0; i < 3000; ++i) arguments.push_back(randomLog2Argument(rng));
  constexpr int kThreads = 4;
  std::vector<std::vector<ExtReal>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&arguments, &results, t] {
      for (const Argument& a : arguments)
        results[t].push_back(truncatedLog2(a.significand, a.exponent));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const ExtReal alone = truncatedLog2(arguments[i].significand, arguments[i].exponent);
    for (int t = 0; t < kThreads; ++t)
      ASSERT_TRUE(sameBits(results[t][i], alone)) << "thread " << t << ", argument " << i;
  }
}

}  // namespace
