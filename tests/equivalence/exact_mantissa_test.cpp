// The fast parser gathers mantissa digits in a 64-bit integer while every
// literal step would be exact, then continues with the literal steps. Here
// it meets the literal parser, bit for bit, on mantissas on both sides of
// 2^64 in every base a numeral can name, where the switch happens.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeral/parse.h"
#include "numeral/arithmetic.h"
#include "numeric/fast_real.h"
#include "tests/support/ext_testing.h"

namespace {

const char kUpper[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kLower[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// n in base, with at least `width` digits (leading zeros), letters in
// random case.
std::string inBase(unsigned __int128 n, int base, int width, std::mt19937& rng) {
  std::string text;
  do {
    const int d = static_cast<int>(n % static_cast<unsigned>(base));
    text.insert(text.begin(), (rng() & 1) ? kUpper[d] : kLower[d]);
    n /= static_cast<unsigned>(base);
  } while (n != 0);
  while (static_cast<int>(text.size()) < width) text.insert(text.begin(), '0');
  return text;
}

struct Parsed {
  bool accepted;
  int base, plus, minus;
  ExtReal value;
};

template <class Real>
Parsed parse(const std::string& text, int base) {
  Parsed out{};
  out.base = base;
  Real value;
  const ParseVerdict verdict = parseNumeral(&value, text.c_str(), &out.base);
  out.accepted = verdict != kParseRejected;
  out.plus = verdict == kParsePlusOverflow;
  out.minus = verdict == kParseMinusOverflow;
  out.value = imageOf(value);
  return out;
}

void expectSameParse(const std::string& text, int base) {
  const Parsed literal = parse<ExtReal>(text, base);
  X87TruncatingMode mode;
  const Parsed fast = parse<FastReal>(text, base);
  ASSERT_EQ(fast.accepted, literal.accepted) << text << " in base " << base;
  ASSERT_EQ(fast.base, literal.base) << text;
  ASSERT_EQ(fast.plus, literal.plus) << text;
  ASSERT_EQ(fast.minus, literal.minus) << text;
  // The value is defined on every path, a rejected numeral's included.
  ASSERT_TRUE(exttest::sameBits(fast.value, literal.value)) << text << " in base " << base;
}

TEST(ExactMantissa, AgreesWithTheLiteralStepsAroundTwoToThe64) {
  std::mt19937 rng(64);
  const unsigned __int128 twoTo64 = static_cast<unsigned __int128>(1) << 64;
  for (int base = 2; base <= 99; ++base) {
    // Bases above 36 come from a suffix and have no digits above z: their
    // mantissas are written in base 36 and read in base, which gives other
    // values but the same steps under test.
    const int digitBase = base < 36 ? base : 36;
    const std::string suffix = base <= 36 && (rng() & 1) ? "" : "@" + std::to_string(base);
    const int defaultBase = suffix.empty() ? base : 10;
    std::vector<unsigned __int128> mantissas = {0,           1,           twoTo64 - 1,  twoTo64,
                                                twoTo64 + 1, twoTo64 * 2, twoTo64 * 255};
    // The largest integer a step may reach, and its neighbours: just below
    // 2^64 after the multiplication, and after the addition.
    const unsigned __int128 top = (twoTo64 - 1) / static_cast<unsigned>(base);
    for (int d = 0; d < digitBase; ++d) {
      mantissas.push_back(top * static_cast<unsigned>(base) + static_cast<unsigned>(d));
      mantissas.push_back((top + 1) * static_cast<unsigned>(base) + static_cast<unsigned>(d));
    }
    for (int i = 0; i < 60; ++i) {
      // Random values of 1 to 80 bits, and values close to 2^64.
      const int bitCount = 1 + static_cast<int>(rng() % 80);
      unsigned __int128 n = (static_cast<unsigned __int128>(rng()) << 64) |
                            (static_cast<unsigned __int128>(rng()) << 32) | rng();
      n &= (static_cast<unsigned __int128>(1) << bitCount) - 1;
      mantissas.push_back(n);
      mantissas.push_back(twoTo64 - 1 - (rng() % 5000));
      mantissas.push_back(twoTo64 + (rng() % 5000));
    }
    for (const unsigned __int128 n : mantissas) {
      std::string digits = inBase(n, digitBase, static_cast<int>(rng() % 3), rng);
      const std::string sign = rng() % 3 == 0 ? "-" : "";
      expectSameParse(sign + digits + suffix, defaultBase);
      // The same digits split by a point, scaled by an exponent, or cut short
      // by a malformed fraction or exponent.
      const std::size_t point = rng() % (digits.size() + 1);
      const std::string split = digits.substr(0, point) + "." + digits.substr(point);
      if (point < digits.size()) expectSameParse(sign + split + suffix, defaultBase);
      expectSameParse(sign + digits + "_1" + suffix, defaultBase);
      expectSameParse(sign + digits + "_-" + suffix, defaultBase);
      expectSameParse(sign + digits + "." + suffix, defaultBase);
    }
  }
}

// The parse of a copied numeral, which knows its length and reads runs of
// binary digits eight at a time, meets the literal parser: runs of every
// length up to 130 digits on both sides of the point (through the 2^56 and
// 2^64 bounds of the exact integer), with exponents and suffixes, and runs
// broken by a digit 2, a second point or a NUL.
TEST(ExactMantissa, BinaryRunsAgreeWithTheLiteralSteps) {
  std::mt19937 rng(2);
  auto randomBits = [&](std::size_t n) {
    std::string bits;
    for (std::size_t i = 0; i < n; ++i) bits += static_cast<char>('0' + (rng() & 1));
    // All ones and all zeros too, the extremes of each length.
    if (rng() % 8 == 0) bits.assign(n, rng() & 1 ? '1' : '0');
    return bits;
  };
  for (int round = 0; round < 3000; ++round) {
    const std::size_t length = 1 + rng() % 130;
    std::string text = randomBits(length);
    if (rng() % 2) text.insert(rng() % (length + 1), ".");
    if (rng() % 3 == 0) text.insert(0, rng() % 2 ? "-" : "+");
    if (rng() % 4 == 0) text += "e-1" + randomBits(rng() % 9);
    if (rng() % 4 == 0) text[rng() % text.size()] = "2.\0"[rng() % 3];
    const bool suffix = rng() % 4 == 0;
    if (suffix) text += "@2";
    const int base = suffix ? 10 : 2;
    const std::size_t textLength = std::strlen(text.c_str());
    const char* at = std::strchr(text.c_str(), '@');

    Parsed literal = parse<ExtReal>(text, base);
    X87TruncatingMode mode;
    Parsed copied{};
    copied.base = base;
    FastReal value;
    const ParseVerdict verdict =
        parseNumeralWithSuffixAt(&value, text.c_str(), textLength, at, &copied.base);
    ASSERT_EQ(verdict != kParseRejected, literal.accepted) << text;
    ASSERT_EQ(copied.base, literal.base) << text;
    ASSERT_EQ(verdict == kParsePlusOverflow, literal.plus != 0) << text;
    ASSERT_EQ(verdict == kParseMinusOverflow, literal.minus != 0) << text;
    ASSERT_TRUE(exttest::sameBits(imageOf(value), literal.value)) << text;
  }
}

}  // namespace
