// The truncating x87 operations against exact integer arithmetic rounded
// toward zero, on random normal operands.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "numeric/ext_real.h"
#include "tests/support/ext_testing.h"

namespace {

using u128 = unsigned __int128;

// Packs sign, unbiased exponent and an exact magnitude m * 2^shift (m != 0)
// into a truncated normal ExtReal; the exponent stays within the normal range
// for the operands generated below.
ExtReal truncatedFrom(bool negative, u128 magnitude, int shift) {
  int top = 127;
  while (!((magnitude >> top) & 1)) --top;
  const std::uint64_t significand =
      static_cast<std::uint64_t>(top >= 63 ? magnitude >> (top - 63) : magnitude << (63 - top));
  const int unbiased = top + shift;
  return ExtReal::fromBits(significand,
                           static_cast<std::uint16_t>((negative ? 0x8000 : 0) + unbiased + 16383));
}

struct Operand {
  bool negative;
  std::uint64_t significand;  // integer bit set
  int unbiased;               // value = significand * 2^(unbiased - 63)
  ExtReal value() const {
    return ExtReal::fromBits(
        significand, static_cast<std::uint16_t>((negative ? 0x8000 : 0) + unbiased + 16383));
  }
};

Operand randomOperand(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> exponent(-2000, 2000);
  return {static_cast<bool>(rng() & 1), rng() | 0x8000000000000000ULL, exponent(rng)};
}

TEST(ExtRealReference, MultiplicationTruncatesExactProduct) {
  std::mt19937_64 rng(20261208);
  for (int i = 0; i < 20000; ++i) {
    const Operand a = randomOperand(rng), b = randomOperand(rng);
    const u128 product = static_cast<u128>(a.significand) * b.significand;
    const ExtReal expected =
        truncatedFrom(a.negative != b.negative, product, (a.unbiased - 63) + (b.unbiased - 63));
    ASSERT_TRUE(exttest::sameBits(a.value() * b.value(), expected)) << i;
  }
}

TEST(ExtRealReference, DivisionTruncatesExactQuotient) {
  std::mt19937_64 rng(8);
  for (int i = 0; i < 20000; ++i) {
    const Operand a = randomOperand(rng), b = randomOperand(rng);
    // (a << 64) / b has 64 or 65 significant bits; dropping the remainder
    // only ever lowers the magnitude, so truncation is exact.
    const u128 quotient = (static_cast<u128>(a.significand) << 64) / b.significand;
    const ExtReal expected = truncatedFrom(a.negative != b.negative, quotient,
                                           (a.unbiased - 63) - 64 - (b.unbiased - 63));
    ASSERT_TRUE(exttest::sameBits(a.value() / b.value(), expected)) << i;
  }
}

TEST(ExtRealReference, AdditionOfSameSignTruncatesExactSum) {
  std::mt19937_64 rng(77);
  for (int i = 0; i < 20000; ++i) {
    Operand a = randomOperand(rng), b = randomOperand(rng);
    b.negative = a.negative;
    b.unbiased = a.unbiased - static_cast<int>(rng() % 63);  // exact sum fits 128 bits
    const int gap = a.unbiased - b.unbiased;
    const u128 sum = (static_cast<u128>(a.significand) << gap) + b.significand;
    const ExtReal expected = truncatedFrom(a.negative, sum, b.unbiased - 63);
    ASSERT_TRUE(exttest::sameBits(a.value() + b.value(), expected)) << i;
    ASSERT_TRUE(exttest::sameBits(b.value() + a.value(), expected)) << i;
  }
}

TEST(ExtRealReference, SubtractionTruncatesExactDifference) {
  std::mt19937_64 rng(99);
  for (int i = 0; i < 20000; ++i) {
    Operand a = randomOperand(rng), b = randomOperand(rng);
    a.negative = b.negative = false;
    b.unbiased = a.unbiased - 1 - static_cast<int>(rng() % 62);  // a > b, fits 128 bits
    const int gap = a.unbiased - b.unbiased;
    const u128 difference = (static_cast<u128>(a.significand) << gap) - b.significand;
    ASSERT_TRUE(
        exttest::sameBits(a.value() - b.value(), truncatedFrom(false, difference, b.unbiased - 63)))
        << i;
    ASSERT_TRUE(
        exttest::sameBits(b.value() - a.value(), truncatedFrom(true, difference, b.unbiased - 63)))
        << i;
  }
}

}  // namespace
