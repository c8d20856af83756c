// WideInt against 128-bit arithmetic where that reaches, against its own
// identities (q d + r = n, r < d) on numbers of thousands of bits, and the
// long division against the bit-at-a-time one.
#include "numeric/wide_int.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using u128 = unsigned __int128;
// The round-trip search's capacity.
using Big = WideInt<700>;

u128 random128(std::mt19937_64& random) {
  const int bits = 1 + static_cast<int>(random() % 128);
  u128 v = (static_cast<u128>(random()) << 64) | random();
  return bits == 128 ? v : v & ((static_cast<u128>(1) << bits) - 1);
}

Big randomBig(std::mt19937_64& random, int limbs) {
  Big x(random() | 1);
  for (int i = 1; i < limbs; ++i) x.multiplyAdd(~0ULL, random());
  return x;
}

// Limbs drawn from the values that make the quotient estimates of a long
// division go wrong: 0, 1, all ones, the top bit alone and just under it.
template <int Limbs>
WideInt<Limbs> patterned(std::mt19937_64& random, int limbs) {
  constexpr std::uint64_t kPatterns[] = {0, 1, ~0ULL, 0x8000000000000000ULL, 0x7FFFFFFFFFFFFFFFULL};
  WideInt<Limbs> x;
  for (int i = 0; i < limbs; ++i) {
    x.shiftLeft(64);
    const std::uint64_t pattern = random() % 6 == 5 ? random() : kPatterns[random() % 5];
    x.add(WideInt<Limbs>(pattern));
  }
  return x;
}

// q d + r = n and r < d, with the product in twice the capacity so that
// nothing is reduced.
template <int Limbs>
void expectDivision(const WideInt<Limbs>& n, const WideInt<Limbs>& d, const WideInt<Limbs>& q,
                    const WideInt<Limbs>& r) {
  EXPECT_LT(compare(r, d), 0);
  WideInt<2 * Limbs> back = multiplyShifted(WideInt<2 * Limbs>(q), WideInt<2 * Limbs>(d), 0);
  back.add(WideInt<2 * Limbs>(r));
  EXPECT_EQ(compare(back, WideInt<2 * Limbs>(n)), 0);
}

TEST(WideInt, AgreesWith128BitArithmetic) {
  std::mt19937_64 random(0xB16);
  for (int i = 0; i < 20000; ++i) {
    const u128 a = random128(random);
    u128 b = random128(random);
    if (b == 0) b = 1;
    const Big x = Big::from128(a);
    ASSERT_EQ(x.low128(), a);
    ASSERT_TRUE(x.fitsIn128());
    int length = 0;
    for (u128 t = a; t != 0; t >>= 1) ++length;
    ASSERT_EQ(x.bitLength(), length);
    Big q, r;
    divide(x, Big::from128(b), &q, &r);
    ASSERT_EQ(q.low128(), a / b);
    ASSERT_EQ(r.low128(), a % b);
    EXPECT_EQ(compare(Big::from128(a), Big::from128(b)), a < b ? -1 : (a == b ? 0 : 1));
    const int shift = static_cast<int>(random() % 130);
    Big right = x;
    right.shiftRight(shift);
    ASSERT_EQ(right.low128(), shift >= 128 ? 0 : a >> shift);
    ASSERT_EQ(x.lowBitsZero(shift),
              shift >= 128 ? a == 0 : (a & ((static_cast<u128>(1) << shift) - 1)) == 0);
    ASSERT_EQ(x.bit(shift), shift < 128 && ((a >> shift) & 1) != 0);
    const std::uint32_t small = static_cast<std::uint32_t>(random() % 1000) + 1;
    ASSERT_EQ(x.remainderBy(small), static_cast<std::uint32_t>(a % small));
    const std::uint64_t addend = random() >> (random() % 64);
    Big sum = x;
    sum.addSmall(addend);
    const u128 expectedSum = a + addend;
    if (expectedSum >= a) {  // no 129th bit
      ASSERT_EQ(sum.low128(), expectedSum);
    } else {
      ASSERT_EQ(sum.bitLength(), 129);
      ASSERT_EQ(sum.low128(), expectedSum);
    }
    if (a < (static_cast<u128>(1) << 60)) {
      Big p = x;
      p.multiplyByPower(7, 20);  // 7^20 < 2^57
      u128 expected = a;
      for (int k = 0; k < 20; ++k) expected *= 7;
      ASSERT_EQ(p.low128(), expected);
    }
  }
}

TEST(WideInt, DivisionOfLongNumbers) {
  std::mt19937_64 random(0xD1F);
  for (int i = 0; i < 400; ++i) {
    const Big n = randomBig(random, 1 + static_cast<int>(random() % 300));
    Big d = randomBig(random, 1 + static_cast<int>(random() % 200));
    // Divisors whose top limb is small or all ones stress the estimates.
    if (i % 4 == 1) d.shiftRight(static_cast<int>(random() % 60));
    if (d.isZero()) d = Big(3);
    Big q, r;
    divide(n, d, &q, &r);
    expectDivision(n, d, q, r);
  }
}

TEST(WideInt, DivisionWithCorrectedEstimates) {
  // In 64-bit digits, Knuth's case that needs the add-back: the top digits
  // ask for one more than the quotient digit.
  WideInt<8> n =
      WideInt<8>::from128((static_cast<u128>(0x7FFFFFFFFFFFFFFFULL) << 64) | 0x8000000000000000ULL);
  n.shiftLeft(128);
  WideInt<8> d = WideInt<8>::powerOfTwo(191);
  d.add(WideInt<8>(1));
  WideInt<8> q, r;
  divide(n, d, &q, &r);
  expectDivision(n, d, q, r);
  EXPECT_EQ(compare(q, divideShifted(n, 0, d)), 0);

  // Patterned operands, against the bit-at-a-time division.
  std::mt19937_64 random(0xADD);
  for (int i = 0; i < 3000; ++i) {
    const WideInt<8> a = patterned<8>(random, 1 + static_cast<int>(random() % 8));
    WideInt<8> b = patterned<8>(random, 1 + static_cast<int>(random() % 5));
    if (b.isZero()) b = WideInt<8>(~0ULL);
    divide(a, b, &q, &r);
    expectDivision(a, b, q, r);
    ASSERT_EQ(compare(q, divideShifted(a, 0, b)), 0) << i;
  }
}

TEST(WideInt, DivisionAtCapacityAndInPlace) {
  // A numerator of every limb: normalising it needs a digit past the array.
  WideInt<3> all(~0ULL);
  all.shiftLeft(64);
  all.add(WideInt<3>(~0ULL));
  all.shiftLeft(64);
  all.add(WideInt<3>(~0ULL));
  ASSERT_EQ(all.bitLength(), 192);
  for (std::uint64_t divisor : {3ULL, 10ULL, 0x10000000FULL, ~0ULL}) {
    WideInt<3> q, r;
    divide(all, WideInt<3>(divisor), &q, &r);
    expectDivision(all, WideInt<3>(divisor), q, r);
    WideInt<3> byDigits = all;
    if (divisor < 0x100000000ULL) {
      EXPECT_EQ(r.low128(), byDigits.divideBy(static_cast<std::uint32_t>(divisor)));
      EXPECT_EQ(compare(q, byDigits), 0);
    }
  }
  // The quotient into the numerator, the remainder into the denominator,
  // over a value of an earlier, longer quotient.
  std::mt19937_64 random(0x1A5);
  for (int i = 0; i < 100; ++i) {
    const Big n = randomBig(random, 1 + static_cast<int>(random() % 40));
    const Big d = randomBig(random, 1 + static_cast<int>(random() % 40));
    Big q = n;
    Big r = d;
    divide(q, r, &q, &r);
    expectDivision(n, d, q, r);
  }
  // Below the denominator: a quotient of 0 over whatever it held.
  Big q = Big(5);
  q.shiftLeft(3000);
  Big r;
  divide(Big(7), Big(9), &q, &r);
  EXPECT_TRUE(q.isZero());
  EXPECT_EQ(r.low128(), 7u);
  // A zero denominator is outside the contract, but reads nothing outside
  // the array: a quotient of 0, the numerator left.
  q = Big(5);
  divide(Big(7), Big(), &q, &r);
  EXPECT_TRUE(q.isZero());
  EXPECT_EQ(r.low128(), 7u);
}

TEST(WideInt, PowersAndSubtraction) {
  // 10^40 - 10^20 - 1, by powers, then back by division.
  Big big(1);
  big.multiplyByPower(10, 40);
  Big small(1);
  small.multiplyByPower(10, 20);
  big.subtract(small);
  big.subtract(Big(1));
  Big q, r;
  divide(big, small, &q, &r);
  const u128 ten19 = 10000000000000000000ULL;
  EXPECT_EQ(q.low128(), ten19 * 10 - 2);
  EXPECT_EQ(r.low128(), ten19 * 10 - 1);
  // 36^1000 has 5170 bits, and is 2^1000 times an odd number.
  Big p(1);
  p.multiplyByPower(36, 1000);
  EXPECT_EQ(p.bitLength(), 5170);
  EXPECT_TRUE(p.lowBitsZero(2000));
  EXPECT_FALSE(p.lowBitsZero(2001));
  EXPECT_TRUE(p.bit(2000));
  EXPECT_FALSE(p.bit(1999));
  EXPECT_EQ(p.remainderBy(9), 0u);
  EXPECT_EQ(p.remainderBy(5), 1u);  // 36 = 1 mod 5
  // The powers of every base, whole 64-bit chunks and a rest, against one
  // digit at a time.
  for (int base = 2; base <= 36; ++base) {
    for (int exponent : {1, 12, 13, 40, 41, 64, 130}) {
      Big byChunks(3);
      byChunks.multiplyByPower(base, exponent);
      Big byDigits(3);
      for (int k = 0; k < exponent; ++k) byDigits.multiplyAdd(static_cast<std::uint64_t>(base));
      EXPECT_EQ(compare(byChunks, byDigits), 0) << base << "^" << exponent;
    }
  }
}

TEST(WideInt, LongPowersBySquaringAgreeWithDigits) {
  // Long enough that the chunks' power is made by squaring, on values of one
  // limb and of many; each against a digit at a time.
  std::mt19937_64 random(0x5A9);
  for (int base = 2; base <= 36; ++base) {
    for (int exponent : {8 * 12, 8 * 40 + 7, 500, 1001, 3000}) {
      for (int limbs : {1, 7}) {
        const Big start = randomBig(random, limbs);
        Big bySquares = start;
        bySquares.multiplyByPower(base, exponent);
        Big byDigits = start;
        for (int k = 0; k < exponent; ++k) byDigits.multiplyAdd(static_cast<std::uint64_t>(base));
        ASSERT_EQ(compare(bySquares, byDigits), 0) << base << "^" << exponent;
      }
    }
  }
  // Squares against the general product, lengths 1 to 40 limbs, the carry
  // patterns of all-ones limbs included.
  for (int i = 0; i < 300; ++i) {
    const int limbs = 1 + static_cast<int>(random() % 40);
    const WideInt<100> x = i % 3 == 0 ? patterned<100>(random, limbs)
                                      : WideInt<100>(randomBig(random, limbs));
    ASSERT_EQ(compare(squared(x), multiplyShifted(x, x, 0)), 0) << i;
  }
  WideInt<4> ones(~0ULL);
  ones.shiftLeft(64);
  ones.add(WideInt<4>(~0ULL));  // 2^128 - 1: its square fills all four limbs
  EXPECT_EQ(compare(squared(ones), multiplyShifted(ones, ones, 0)), 0);
  EXPECT_TRUE(squared(WideInt<4>()).isZero());
}

TEST(WideInt, DivisionByAWordThroughItsReciprocal) {
  // Divisors of every shift, the base chunks among them, against the long
  // division; numerators of many limbs and of the carry patterns.
  std::mt19937_64 random(0xD1F);
  std::vector<std::uint64_t> divisors = {1, 2, 3, 7, 10, ~0ULL, 1ULL << 63, (1ULL << 63) + 1,
                                         (1ULL << 32) - 1, 1ULL << 32};
  for (int base = 2; base <= 36; ++base) divisors.push_back(wordChunkOf(base).power);
  for (int i = 0; i < 200; ++i) divisors.push_back(random() >> (random() % 64) | 1);
  for (std::uint64_t d : divisors) {
    const WordDivisor divisor(d);
    for (int k = 0; k < 5; ++k) {
      const int limbs = 1 + static_cast<int>(random() % 30);
      const WideInt<32> n = k % 2 == 0 ? patterned<32>(random, limbs)
                                       : WideInt<32>(randomBig(random, limbs));
      WideInt<32> q = n;
      const std::uint64_t r = q.divideBy(divisor);
      WideInt<32> longQ, longR;
      divide(n, WideInt<32>(d), &longQ, &longR);
      ASSERT_EQ(compare(q, longQ), 0) << d;
      ASSERT_EQ(r, longR.limb(0)) << d;
    }
  }
  // The chunks of 64-bit powers: the largest power of the base below 2^64.
  for (int base = 2; base <= 36; ++base) {
    const WordChunk chunk = wordChunkOf(base);
    EXPECT_GT(static_cast<u128>(chunk.power) * static_cast<unsigned>(base), ~0ULL) << base;
    std::uint64_t power = 1;
    for (int i = 0; i < chunk.digits; ++i) power *= static_cast<std::uint64_t>(base);
    EXPECT_EQ(power, chunk.power) << base;
  }
}

TEST(WideInt, TwoDivisionsInOneSweepAgreeWithTwoDivisions) {
  // divideTwiceBy against two calls of divideBy: divisors of every shift
  // (the base chunks among them), numerators of one limb up, of the carry
  // patterns, zero, and values just under and at a power of the divisor.
  std::mt19937_64 random(0x2D1);
  std::vector<std::uint64_t> divisors = {
      1, 2, 3, 7, 10, ~0ULL, 1ULL << 63, (1ULL << 63) + 1, (1ULL << 32) - 1};
  for (int base = 2; base <= 36; ++base) divisors.push_back(wordChunkOf(base).power);
  for (int i = 0; i < 100; ++i) divisors.push_back(random() >> (random() % 64) | 1);
  for (std::uint64_t d : divisors) {
    const WordDivisor divisor(d);
    std::vector<WideInt<32>> numerators = {WideInt<32>(), WideInt<32>(d - 1), WideInt<32>(d)};
    WideInt<32> square(d);
    square.multiplyAdd(d);
    numerators.push_back(square);
    square.subtract(WideInt<32>(1));
    numerators.push_back(square);
    for (int k = 0; k < 6; ++k) {
      const int limbs = 1 + static_cast<int>(random() % 30);
      numerators.push_back(k % 2 == 0 ? patterned<32>(random, limbs)
                                      : WideInt<32>(randomBig(random, limbs)));
    }
    for (const WideInt<32>& n : numerators) {
      WideInt<32> once = n;
      const std::uint64_t first = once.divideBy(divisor);
      const std::uint64_t second = once.divideBy(divisor);
      WideInt<32> both = n;
      std::uint64_t firstOfBoth = 1;
      std::uint64_t secondOfBoth = 1;
      both.divideTwiceBy(divisor, &firstOfBoth, &secondOfBoth);
      ASSERT_EQ(firstOfBoth, first) << d;
      ASSERT_EQ(secondOfBoth, second) << d;
      ASSERT_EQ(compare(both, once), 0) << d;
      ASSERT_EQ(both.size(), once.size()) << d;
    }
  }
}

TEST(WideInt, ScalingPastLeadingZeros) {
  // The largest k with x base^k < 2^point, against one digit at a time.
  std::mt19937_64 random(0x5CA);
  for (int i = 0; i < 2000; ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const int point = 1 + static_cast<int>(random() % 3000);
    Big x(random() >> (random() % 64) | 1);
    if (x.bitLength() > point) x = Big(1);
    Big scaled = x;
    const int zeros = scalePastLeadingZeros(&scaled, point, base);
    int k = 0;
    Big byDigits = x;
    for (;;) {
      Big next = byDigits;
      next.multiplyAdd(static_cast<std::uint64_t>(base));
      if (next.bitLength() > point) break;
      byDigits = next;
      ++k;
    }
    ASSERT_EQ(zeros, k) << base << " " << point;
    ASSERT_EQ(compare(scaled, byDigits), 0) << base << " " << point;
  }
}

TEST(WideInt, AddSmallCarriesAcrossLimbs) {
  // 2^320 - 1 plus 1 is 2^320; plus 2 more, 2^320 + 2.
  Big x(1);
  x.shiftLeft(320);
  x.subtract(Big(1));
  EXPECT_EQ(x.bitLength(), 320);
  x.addSmall(1);
  EXPECT_EQ(compare(x, Big::powerOfTwo(320)), 0);
  x.addSmall(2);
  EXPECT_EQ(x.bitLength(), 321);
  EXPECT_TRUE(x.bit(1));
  EXPECT_EQ(x.remainderBy(1u << 31), 2u);
  Big zero;
  zero.addSmall(0);
  EXPECT_TRUE(zero.isZero());
  zero.addSmall(~0ULL);
  EXPECT_EQ(zero.low128(), static_cast<u128>(~0ULL));
}

TEST(WideInt, ShortValuesOverLongOnes) {
  // The limbs above a value's length are left as they were: every operation
  // that grows a value over them must not read them back.
  std::mt19937_64 random(0x57A);
  for (int i = 0; i < 200; ++i) {
    const Big longer = randomBig(random, 20 + static_cast<int>(random() % 20));
    const u128 a = random128(random);
    const u128 b = random128(random) >> 2;
    Big x = longer;
    x = Big::from128(a >> 2);
    x.add(Big::from128(b));  // below 2^127: no carry out of 128 bits
    ASSERT_EQ(x.low128(), (a >> 2) + b);
    ASSERT_TRUE(x.fitsIn128());
    x = longer;
    x.shiftRight(64 * 40);
    x.addSmall(~0ULL);
    x.addSmall(1);
    ASSERT_EQ(x.low128(), static_cast<u128>(1) << 64);
    x = longer;
    x.clearFrom(64);
    x.shiftLeft(200);
    ASSERT_EQ(x.bitLength(), longer.limb(0) == 0 ? 0 : 200 + 64 - __builtin_clzll(longer.limb(0)));
    ASSERT_EQ(x.limb(3), longer.limb(0) << 8);
    ASSERT_EQ(x.limb(2), 0u);
    Big y = Big::powerOfTwo(64 * 30 + 5);
    y = longer;
    y = Big::powerOfTwo(70);
    ASSERT_EQ(y.size(), 2);
    ASSERT_EQ(y.limb(0), 0u);
    ASSERT_EQ(y.limb(1), 64u);
  }
}

}  // namespace
