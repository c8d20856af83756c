// fyl2x (y = 1) and f2xm1 in their special cases, as measured on the unit,
// one row per case, against the software and the unit. Where a row's
// operand reaches the approximation itself, the expected bits are the exact
// result cut toward zero: the software must give them, while a unit may be
// a unit off depending on its maker (log2 of 2^k for k < 0 on Intel, 2^1 - 1
// on AMD), so for the unit such a row is only reported.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"
#include "tests/support/x87_cases.h"

namespace {

using namespace x87test;

using exttest::describe;
using exttest::sameBits;

struct Row {
  const char* what;
  ExtReal x;
  ExtReal expected;
  bool exactOnly;  // the exact truncation, which a unit need not give
};

void expectRows(ExtReal (*software)(ExtReal), ExtReal (*unit)(ExtReal), const Row* rows,
                std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const Row& row = rows[i];
    EXPECT_TRUE(sameBits(software(row.x), row.expected)) << "software: " << row.what;
    if (unit == nullptr) continue;
    const ExtReal fromUnit = unit(row.x);
    if (!row.exactOnly)
      EXPECT_TRUE(sameBits(fromUnit, row.expected)) << "unit: " << row.what;
    else if (!sameBits(fromUnit, row.expected))
      std::printf("for information: the unit gives %s for %s, the exact truncation %s\n",
                  describe(fromUnit).c_str(), row.what, describe(row.expected).c_str());
  }
}

#if VELTRANE_X87_UNIT
ExtReal (*const kUnitFyl2x)(ExtReal) = x87_unit::fyl2x;
ExtReal (*const kUnitF2xm1)(ExtReal) = x87_unit::f2xm1;
#else
ExtReal (*const kUnitFyl2x)(ExtReal) = nullptr;
ExtReal (*const kUnitF2xm1)(ExtReal) = nullptr;
#endif

TEST(X87TranscendentalCases, Fyl2x) {
  const Row rows[] = {
      {"log2(+0)", zero(), minusInf(), false},
      {"log2(-0)", minusZero(), minusInf(), false},
      {"log2(-1)", minusOne(), indefinite(), false},
      {"log2(-inf)", minusInf(), indefinite(), false},
      {"log2 of a negative subnormal", negated(smallestSubnormal()), indefinite(), false},
      {"log2 of a negative pseudo-denormal", negated(pseudoDenormal()), indefinite(), false},
      {"log2(+inf)", plusInf(), plusInf(), false},
      {"log2(1)", one(), zero(), false},
      {"a signalling NaN is quieted", negated(signalingNaN(5)), negated(quietNaN(5)), false},
      {"a quiet NaN", quietNaN(5), quietNaN(5), false},
      {"the indefinite", indefinite(), indefinite(), false},
      {"unnormal", unnormal(), indefinite(), false},
      {"negative unnormal", negated(unnormal()), indefinite(), false},
      {"pseudo-NaN", pseudoNaN(), indefinite(), false},
      {"pseudo-infinity", pseudoInfinity(), indefinite(), false},
      {"log2(2)", two(), one(), false},
      {"log2(2^16383)", image(0x7FFE, kTop), image(0x400C, 0xFFFC000000000000ULL), false},
      {"log2(0.5)", half(), minusOne(), true},
      {"log2(2^-16382)", smallestNormal(), image(0xC00C, 0xFFF8000000000000ULL), true},
      {"log2 of a pseudo-denormal 2^-16382", image(0x0000, kTop),
       image(0xC00C, 0xFFF8000000000000ULL), true},
      {"log2 of the smallest subnormal", smallestSubnormal(), image(0xC00D, 0x807A000000000000ULL),
       true},
  };
  expectRows(x87_software::fyl2x, kUnitFyl2x, rows, sizeof rows / sizeof rows[0]);
}

TEST(X87TranscendentalCases, F2xm1) {
  const ExtReal justAboveOne = image(0x3FFF, kTop | 1);
  const Row rows[] = {
      {"+0", zero(), zero(), false},
      {"-0", minusZero(), minusZero(), false},
      {"a signalling NaN is quieted", signalingNaN(5), quietNaN(5), false},
      {"a negative quiet NaN", negated(quietNaN(5)), negated(quietNaN(5)), false},
      {"unnormal", unnormal(), indefinite(), false},
      {"unnormal zero", unnormalZero(), indefinite(), false},
      {"pseudo-NaN", pseudoNaN(), indefinite(), false},
      {"pseudo-infinity", pseudoInfinity(), indefinite(), false},
      {"2^+inf - 1", plusInf(), plusInf(), false},
      {"2^-inf - 1", minusInf(), minusOne(), false},
      {"2 comes back unchanged", two(), two(), false},
      {"-5 comes back unchanged", minusFive(), minusFive(), false},
      {"just above 1 comes back unchanged", justAboveOne, justAboveOne, false},
      {"just below -1 comes back unchanged", negated(justAboveOne), negated(justAboveOne), false},
      {"largest comes back unchanged", largest(), largest(), false},
      {"2^-1 - 1", minusOne(), image(0xBFFE, kTop), false},
      {"2^1 - 1", one(), one(), true},
      {"2^-0.5 - 1 lies in (-0.5, -0.25)", negated(half()), image(0xBFFD, 0x95F619980C4336F7ULL),
       true},
      {"of the smallest subnormal", smallestSubnormal(), zero(), true},
      {"of the smallest subnormal, negative", negated(smallestSubnormal()), minusZero(), true},
  };
  expectRows(x87_software::f2xm1, kUnitF2xm1, rows, sizeof rows / sizeof rows[0]);
}

}  // namespace
