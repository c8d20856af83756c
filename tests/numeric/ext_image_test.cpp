// The image routines every part of the arithmetic shares: the classifier of
// encodings, the packing of an exact value into an image, the indefinite, and
// the 128-by-64-bit division. Each is checked against the instructions
// themselves (the unit where there is one, the software instructions
// everywhere) or against the compiler's own 128-bit arithmetic.
#include "numeric/ext_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "numeric/divide_128.h"
#include "numeric/product_128.h"
#include "numeric/x87_instructions.h"
#include "tests/support/ext_testing.h"
#include "tests/support/x87_cases.h"

using exttest::bits;
using exttest::sameBits;

namespace {

struct ClassCase {
  const char* what;
  std::uint64_t significand;
  std::uint16_t exponent;  // biased, without the sign
  ImageClass expected;
};

const ClassCase kClassCases[] = {
    {"zero", 0, 0, ImageClass::kZero},
    {"smallest subnormal", 1, 0, ImageClass::kSubnormal},
    {"largest subnormal", 0x7FFFFFFFFFFFFFFFULL, 0, ImageClass::kSubnormal},
    {"pseudo-denormal", 0x8000000000000000ULL, 0, ImageClass::kPseudoDenormal},
    {"pseudo-denormal, all ones", ~0ULL, 0, ImageClass::kPseudoDenormal},
    {"least normal", 0x8000000000000000ULL, 1, ImageClass::kNormal},
    {"one", 0x8000000000000000ULL, 0x3FFF, ImageClass::kNormal},
    {"largest finite", ~0ULL, 0x7FFE, ImageClass::kNormal},
    {"unnormal, exponent 1", 0x4000000000000000ULL, 1, ImageClass::kUnnormal},
    {"unnormal zero significand", 0, 0x3FFF, ImageClass::kUnnormal},
    {"unnormal, top exponent", 0x7FFFFFFFFFFFFFFFULL, 0x7FFE, ImageClass::kUnnormal},
    {"infinity", 0x8000000000000000ULL, 0x7FFF, ImageClass::kInfinity},
    {"quiet NaN", 0xC000000000000000ULL, 0x7FFF, ImageClass::kQuietNaN},
    {"quiet NaN with payload", 0xC000000000000001ULL, 0x7FFF, ImageClass::kQuietNaN},
    {"signalling NaN", 0x8000000000000001ULL, 0x7FFF, ImageClass::kSignalingNaN},
    {"signalling NaN, high payload", 0xBFFFFFFFFFFFFFFFULL, 0x7FFF, ImageClass::kSignalingNaN},
    {"pseudo-infinity", 0, 0x7FFF, ImageClass::kPseudoInfinity},
    {"pseudo-NaN", 0x4000000000000000ULL, 0x7FFF, ImageClass::kPseudoNaN},
    {"pseudo-NaN, low bit", 1, 0x7FFF, ImageClass::kPseudoNaN},
};

TEST(ClassifyImage, EveryEncodingOfBothSigns) {
  for (const ClassCase& c : kClassCases) {
    for (std::uint16_t sign : {0, 0x8000}) {
      const ExtReal v = bits(c.significand, static_cast<std::uint16_t>(sign | c.exponent));
      EXPECT_EQ(classifyImage(v), c.expected) << c.what << " " << exttest::describe(v);
      EXPECT_EQ(isNormalImage(v), c.expected == ImageClass::kNormal) << c.what;
      EXPECT_EQ(isInfinity(v) != 0, c.expected == ImageClass::kInfinity) << c.what;
    }
  }
}

// What the instructions make of each class is the classifier's contract: an
// operation on a rejected encoding gives the indefinite, one on a NaN a NaN,
// and one on a number (pseudo-denormals included) a number.
TEST(ClassifyImage, AgreesWithWhatTheInstructionsDo) {
  const ExtReal one = bits(0x8000000000000000ULL, 0x3FFF);
  for (const x87test::InstructionSet& set : x87test::instructionSets()) {
    for (const ClassCase& c : kClassCases) {
      const ExtReal v = bits(c.significand, c.exponent);
      const ExtReal sum = set.fadd(v, one);
      EXPECT_EQ(isRejectedImage(v), static_cast<bool>(sameBits(sum, indefinite())))
          << set.name << " " << c.what;
      const bool nanResult = classifyImage(sum) == ImageClass::kQuietNaN;
      EXPECT_EQ(isNotANumber(v) != 0, nanResult) << set.name << " " << c.what;
    }
    // The indefinite is what an invalid operation gives: infinity - infinity.
    const ExtReal inf = bits(0x8000000000000000ULL, 0x7FFF);
    EXPECT_TRUE(sameBits(set.fsub(inf, inf), indefinite())) << set.name;
  }
}

// packImage against the instructions: the exact integer M = high * 2^64 +
// low is formed by fmul and one truncating fadd, and fscale by the scale cuts
// it once more, onto the 64-bit significand or the subnormal grid, which
// nest, so the two cuts are one.
ExtReal fromUnsigned(const x87test::InstructionSet& set, std::uint64_t v) {
  const ExtReal half = set.fild64(static_cast<std::int64_t>(v >> 1));
  return set.fadd(set.fadd(half, half), set.fild64(static_cast<std::int64_t>(v & 1)));
}

ExtReal referencePack(const x87test::InstructionSet& set, bool negative, unsigned __int128 m,
                      int scale) {
  const ExtReal two64 = bits(0x8000000000000000ULL, 0x3FFF + 64);
  const ExtReal high = fromUnsigned(set, static_cast<std::uint64_t>(m >> 64));
  const ExtReal whole =
      set.fadd(set.fmul(high, two64), fromUnsigned(set, static_cast<std::uint64_t>(m)));
  const ExtReal scaled = set.fscale(whole, set.fild32(scale));
  return bits(scaled.significand(),
              static_cast<std::uint16_t>(scaled.signAndExponent() | (negative ? 0x8000 : 0)));
}

TEST(PackImage, NamedCases) {
  const unsigned __int128 two64 = static_cast<unsigned __int128>(1) << 64;
  struct Case {
    const char* what;
    bool negative;
    unsigned __int128 magnitude;
    int scale;
    ExtReal expected;
  };
  const Case cases[] = {
      {"zero keeps its sign", true, 0, 5, bits(0, 0x8000)},
      {"one", false, 1, 0, bits(0x8000000000000000ULL, 0x3FFF)},
      {"minus one half", true, 1, -1, bits(0x8000000000000000ULL, 0xBFFE)},
      {"2^64 + 1 cut to 2^64", false, two64 + 1, 0, bits(0x8000000000000000ULL, 0x3FFF + 64)},
      {"128 ones cut to 64", false, ~static_cast<unsigned __int128>(0), 0,
       bits(~0ULL, 0x3FFF + 127)},
      {"least normal", false, 1, -16382, bits(0x8000000000000000ULL, 1)},
      {"largest subnormal", false, (static_cast<unsigned __int128>(1) << 63) - 1, -16382 - 63,
       bits(0x7FFFFFFFFFFFFFFFULL, 0)},
      {"smallest subnormal", false, 1, -16445, bits(1, 0)},
      {"below the grid: a zero of the sign", true, 1, -16446, bits(0, 0x8000)},
      {"largest finite", false, ~0ULL, 16383 - 63, bits(~0ULL, 0x7FFE)},
      {"overflow to the largest finite", true, 1, 16384, bits(~0ULL, 0xFFFE)},
  };
  for (const Case& c : cases)
    EXPECT_TRUE(sameBits(packImage(c.negative, c.magnitude, c.scale), c.expected)) << c.what;
}

TEST(PackImage, AgreesWithTheInstructionsOnRandomValues) {
  std::mt19937_64 random(2025);
  for (const x87test::InstructionSet& set : x87test::instructionSets()) {
    for (int i = 0; i < 20000; ++i) {
      const int bitsWide = 1 + static_cast<int>(random() % 128);
      unsigned __int128 m = (static_cast<unsigned __int128>(random()) << 64) | random();
      m >>= 128 - bitsWide;
      if (m == 0) m = 1;
      // Scales reaching normal, subnormal, underflowing and overflowing results.
      const int scale = static_cast<int>(random() % 33200) - 16600;
      const bool negative = (random() & 1) != 0;
      ASSERT_TRUE(sameBits(packImage(negative, m, scale), referencePack(set, negative, m, scale)))
          << set.name << " bits " << bitsWide << " scale " << scale;
    }
  }
}

TEST(Divide128By64, AgainstTheCompilersDivision) {
  std::mt19937_64 random(7);
  std::vector<std::uint64_t> divisors = {1ULL << 63, (1ULL << 63) + 1, ~0ULL, ~0ULL - 1,
                                         0x8000000100000000ULL, 0xFFFFFFFF00000000ULL};
  for (int i = 0; i < 200; ++i) divisors.push_back(random() | (1ULL << 63));
  for (const std::uint64_t divisor : divisors) {
    std::vector<std::uint64_t> highs = {0, 1, divisor - 1, divisor >> 1, divisor >> 32};
    for (int i = 0; i < 50; ++i) highs.push_back(random() % divisor);
    for (const std::uint64_t high : highs) {
      for (const std::uint64_t low : {std::uint64_t{0}, ~std::uint64_t{0}, random(), random()}) {
        const unsigned __int128 n = (static_cast<unsigned __int128>(high) << 64) | low;
        std::uint64_t rest = 0;
        const std::uint64_t quotient = divide128By64(high, low, divisor, &rest);
        ASSERT_EQ(quotient, static_cast<std::uint64_t>(n / divisor))
            << std::hex << high << " " << low << " / " << divisor;
        ASSERT_EQ(rest, static_cast<std::uint64_t>(n % divisor))
            << std::hex << high << " " << low << " % " << divisor;
      }
    }
  }
}

// The product by 32-bit halves (the WebAssembly build's) and the shift of a
// product, against the compiler's 128-bit arithmetic: the edges of both
// halves, every factor the digit loops pass (bases and their squares), and
// random ones.
TEST(Product128, SmallByHalvesAgainstTheCompilersProduct) {
  std::mt19937_64 random(11);
  std::vector<std::uint64_t> xs = {0, 1, 0xFFFFFFFFULL, 0x100000000ULL, 1ULL << 63, ~0ULL,
                                   ~0ULL - 1, 0x8000000000000001ULL, 0xFFFFFFFF00000000ULL};
  for (int i = 0; i < 300; ++i) xs.push_back(random() >> (random() % 64));
  std::vector<std::uint32_t> factors = {0, 1, 0xFFFFFFFFu, 0x80000000u};
  for (std::uint32_t base = 2; base <= 36; ++base) {
    factors.insert(factors.end(), {base, base * base});
  }
  for (int i = 0; i < 40; ++i) factors.push_back(static_cast<std::uint32_t>(random()));
  for (const std::uint64_t x : xs) {
    for (const std::uint32_t factor : factors) {
      const unsigned __int128 exact = static_cast<unsigned __int128>(x) * factor;
      const Product128 halves = multiplySmallByHalves(x, factor);
      ASSERT_EQ(halves.high, static_cast<std::uint64_t>(exact >> 64))
          << std::hex << x << " * " << factor;
      ASSERT_EQ(halves.low, static_cast<std::uint64_t>(exact)) << std::hex << x << " * " << factor;
      const Product128 product = multiplySmall(x, factor);
      ASSERT_EQ(product.high, halves.high);
      ASSERT_EQ(product.low, halves.low);
      for (const int shift : {1, 2, 5, 8, 31, 32, 63}) {
        ASSERT_EQ(shiftedDown(product, shift), static_cast<std::uint64_t>(exact >> shift))
            << std::hex << x << " * " << factor << " >> " << std::dec << shift;
      }
    }
  }
}

TEST(Product128, ByHalvesAgainstTheCompilersProduct) {
  std::mt19937_64 random(13);
  std::vector<std::uint64_t> xs = {0, 1, 0xFFFFFFFFULL, 0x100000000ULL, 1ULL << 63, ~0ULL,
                                   ~0ULL - 1, 0x8000000000000001ULL, 0xFFFFFFFF00000000ULL};
  for (int i = 0; i < 200; ++i) xs.push_back(random() >> (random() % 64));
  for (const std::uint64_t x : xs) {
    for (const std::uint64_t y : xs) {
      const unsigned __int128 exact = static_cast<unsigned __int128>(x) * y;
      const Product128 halves = multiplyByHalves(x, y);
      ASSERT_EQ(halves.high, static_cast<std::uint64_t>(exact >> 64))
          << std::hex << x << " * " << y;
      ASSERT_EQ(halves.low, static_cast<std::uint64_t>(exact)) << std::hex << x << " * " << y;
      const Product128 product = multiply64(x, y);
      ASSERT_EQ(product.high, halves.high);
      ASSERT_EQ(product.low, halves.low);
    }
  }
}

// The shifts by 64-bit halves (the WebAssembly build's) against the
// compiler's 128-bit shifts and masks, at every count.
TEST(Product128, ShiftsByHalvesAgainstTheCompilersShifts) {
  std::mt19937_64 random(17);
  std::vector<unsigned __int128> values = {0, 1, ~static_cast<unsigned __int128>(0),
                                           static_cast<unsigned __int128>(1) << 64,
                                           static_cast<unsigned __int128>(1) << 127,
                                           (static_cast<unsigned __int128>(1) << 64) - 1};
  for (int i = 0; i < 100; ++i) {
    values.push_back(((static_cast<unsigned __int128>(random()) << 64) | random()) >>
                     (random() % 128));
  }
  for (const unsigned __int128 value : values) {
    const std::uint64_t high = static_cast<std::uint64_t>(value >> 64);
    const std::uint64_t low = static_cast<std::uint64_t>(value);
    for (int count = 0; count < 128; ++count) {
      ASSERT_EQ(shiftedLowByHalves(high, low, count), static_cast<std::uint64_t>(value >> count))
          << std::hex << high << ":" << low << " >> " << std::dec << count;
      ASSERT_EQ(shiftedLow(value, count), static_cast<std::uint64_t>(value >> count));
      ASSERT_TRUE(shiftDown128(value, count) == value >> count) << count;
      const bool any = (value & ((static_cast<unsigned __int128>(1) << count) - 1)) != 0;
      ASSERT_EQ(anyLowBitsByHalves(high, low, count), any)
          << std::hex << high << ":" << low << " below " << std::dec << count;
      ASSERT_EQ(anyLowBits(value, count), any);
    }
  }
}

}  // namespace
