// BigNatural against 128-bit arithmetic where that reaches, and against its
// own identities (q d + r = n, r < d) on numbers of thousands of bits.
#include "numeral/big_natural.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace {

using u128 = unsigned __int128;

u128 random128(std::mt19937_64& random) {
  const int bits = 1 + static_cast<int>(random() % 128);
  u128 v = (static_cast<u128>(random()) << 64) | random();
  return bits == 128 ? v : v & ((static_cast<u128>(1) << bits) - 1);
}

BigNatural randomBig(std::mt19937_64& random, int limbs) {
  BigNatural x(random() | 1);
  for (int i = 1; i < limbs; ++i) x.multiplyAdd(~0ULL, random());
  return x;
}

TEST(BigNatural, AgreesWith128BitArithmetic) {
  std::mt19937_64 random(0xB16);
  for (int i = 0; i < 20000; ++i) {
    const u128 a = random128(random);
    u128 b = random128(random);
    if (b == 0) b = 1;
    BigNatural x(a);
    ASSERT_EQ(x.low128(), a);
    int length = 0;
    for (u128 t = a; t != 0; t >>= 1) ++length;
    ASSERT_EQ(x.bitLength(), length);
    BigNatural q, r;
    divide(x, BigNatural(b), &q, &r);
    ASSERT_EQ(q.low128(), a / b);
    ASSERT_EQ(r.low128(), a % b);
    EXPECT_EQ(compare(BigNatural(a), BigNatural(b)), a < b ? -1 : (a == b ? 0 : 1));
    const int shift = static_cast<int>(random() % 130);
    BigNatural right(a);
    right.shiftRight(shift);
    ASSERT_EQ(right.low128(), shift >= 128 ? 0 : a >> shift);
    ASSERT_EQ(BigNatural(a).lowBitsZero(shift),
              shift >= 128 ? a == 0 : (a & ((static_cast<u128>(1) << shift) - 1)) == 0);
    const std::uint64_t small = (random() % 1000) + 1;
    ASSERT_EQ(BigNatural(a).modSmall(small), static_cast<std::uint64_t>(a % small));
    if (a < (static_cast<u128>(1) << 60)) {
      BigNatural p(a);
      p.multiplyByPower(7, 20);  // 7^20 < 2^57
      u128 expected = a;
      for (int k = 0; k < 20; ++k) expected *= 7;
      ASSERT_EQ(p.low128(), expected);
    }
  }
}

TEST(BigNatural, DivisionOfLongNumbers) {
  std::mt19937_64 random(0xD1F);
  for (int i = 0; i < 400; ++i) {
    const BigNatural n = randomBig(random, 1 + static_cast<int>(random() % 300));
    BigNatural d = randomBig(random, 1 + static_cast<int>(random() % 200));
    // Divisors whose top limb is small or all ones stress the estimates.
    if (i % 4 == 1) d.shiftRight(static_cast<int>(random() % 60));
    if (d.isZero()) d.assign(3);
    BigNatural q, r;
    divide(n, d, &q, &r);
    EXPECT_LT(compare(r, d), 0);
    BigNatural back = q;
    back.multiplyBy(d);
    back.add(r);
    EXPECT_EQ(compare(back, n), 0) << i;
  }
}

TEST(BigNatural, PowersAndSubtraction) {
  // 10^40 - 10^20 - 1, by powers, then back by division.
  BigNatural big(1);
  big.multiplyByPower(10, 40);
  BigNatural small(1);
  small.multiplyByPower(10, 20);
  big.subtract(small);
  big.subtract(BigNatural(1));
  BigNatural q, r;
  divide(big, small, &q, &r);
  const u128 ten19 = 10000000000000000000ULL;
  EXPECT_EQ(q.low128(), ten19 * 10 - 2);
  EXPECT_EQ(r.low128(), ten19 * 10 - 1);
  // 36^1000 has 5170 bits, and is 2^1000 times an odd number.
  BigNatural p(1);
  p.multiplyByPower(36, 1000);
  EXPECT_EQ(p.bitLength(), 5170);
  EXPECT_TRUE(p.lowBitsZero(2000));
  EXPECT_FALSE(p.lowBitsZero(2001));
  EXPECT_EQ(p.modSmall(9), 0u);
  EXPECT_EQ(p.modSmall(5), 1u);  // 36 = 1 mod 5
}

}  // namespace
