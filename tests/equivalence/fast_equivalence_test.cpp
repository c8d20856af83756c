// The FastReal conversion path against the literal ExtReal one: identical
// texts, notation flags, bases and overflow flags on random numerals from the
// whole grammar, on numerals with exponents over the whole range, and on
// long base-2 and base-3 mantissas. 10^5 conversions by default; set VELTRANE_LONG_TESTS=1 for
// 10^7.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

namespace {

const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kAnyCharacter[] = "0123456789aAeEfFzZ_.+-@ #\x80\xff";

class NumeralSource {
 public:
  explicit NumeralSource(unsigned seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  bool chance(int percent) { return below(100) < percent; }

  // A digit of the base, upper or lower case alike; now and then any digit.
  char digit(int base) {
    if (chance(2)) return kDigits[below(62)];
    const int value = below(base);
    if (value >= 10 && chance(50)) return static_cast<char>('A' + value - 10);
    return kDigits[value];
  }

  // The exponent of a power base^exponent log-uniform over 10^-limit ..
  // 10^limit, written in the base after a marker, now and then with "-+".
  std::string wideExponent(int base, double limit) {
    std::string text;
    text += base < 15 && chance(60) ? (chance(50) ? 'e' : 'E') : '_';
    const double decimal = (static_cast<double>(rng_()) / 4294967295.0 * 2.0 - 1.0) * limit;
    long magnitude = std::lround(decimal / std::log10(static_cast<double>(base)));
    if (magnitude < 0) {
      text += chance(15) ? "-+" : "-";
      magnitude = -magnitude;
    } else if (chance(5)) {
      text += '+';
    }
    std::string digits;
    do {
      digits.insert(digits.begin(), kDigits[magnitude % base]);
      magnitude /= base;
    } while (magnitude != 0);
    return text + digits;
  }

  // Mostly exponents spread over the whole double range, some over the
  // whole extended range and into the subnormals; mantissas of up to 22
  // digits in mixed case, a point in most.
  std::string wideNumeral(int base) {
    std::string text;
    if (chance(35)) text += '-';
    const int digits = 1 + below(22);
    for (int i = 0; i < digits; ++i) text += digit(base);
    if (chance(60)) text.insert(text.size() - static_cast<std::size_t>(1 + below(digits)), ".");
    if (chance(80)) text += wideExponent(base, chance(85) ? 300.0 : 4960.0);
    return text;
  }

  // Base 2 or 3 mantissas on both sides of 2^64 (64 binary, 41 ternary
  // digits) and far beyond, with and without a point and an exponent.
  std::string longMantissa(int base) {
    std::string text;
    if (chance(35)) text += '-';
    const int limit = base == 2 ? 64 : 41;
    const int digits = chance(50) ? limit - 4 + below(9) : 1 + below(3 * limit);
    if (chance(10)) text.append(static_cast<std::size_t>(1 + below(8)), '0');
    text += '1';
    for (int i = 1; i < digits; ++i) text += chance(3) ? kDigits[base - 1] : digit(base);
    if (chance(40)) text.insert(text.size() - static_cast<std::size_t>(1 + below(digits)), ".");
    if (chance(50)) text += wideExponent(base, chance(90) ? 300.0 : 4960.0);
    return text;
  }

  std::string numeral(int base) {
    if (chance(3)) {  // noise
      std::string text;
      for (int n = below(12); n > 0; --n) text += kAnyCharacter[below(sizeof kAnyCharacter - 1)];
      return text;
    }
    std::string text;
    if (chance(15)) text += chance(50) ? '-' : '+';
    const int integerDigits = chance(10) ? 0 : 1 + below(chance(10) ? 30 : 12);
    if (chance(5)) text.append(static_cast<std::size_t>(below(6)), '0');
    for (int i = 0; i < integerDigits; ++i) text += digit(base);
    if (chance(40)) {
      text += '.';
      for (int i = chance(2) ? 0 : 1 + below(15); i > 0; --i) text += digit(base);
    }
    if (chance(45)) {
      text += base < 15 && chance(60) ? (chance(50) ? 'e' : 'E') : '_';
      if (chance(50)) text += '-';
      if (chance(10)) text += '+';
      // Mostly ordinary exponents; some near the ends of the range and some
      // far beyond it, into the overflow guard and the subnormals.
      const int exponentDigits = chance(3) ? 0 : (chance(8) ? 5 + below(10) : 1 + below(4));
      for (int i = 0; i < exponentDigits; ++i) text += digit(base);
    }
    if (chance(12)) {
      text += '@';
      if (chance(40)) {
        text += static_cast<char>('0' + below(10));
        if (chance(70)) text += static_cast<char>('0' + below(10));
      } else if (chance(90)) {
        text += static_cast<char>((chance(50) ? 'a' : 'A') + below(26));
      }
    }
    return text;
  }

 private:
  std::mt19937 rng_;
};

struct Outcome {
  bool accepted;
  int base;
  int plus, minus;
  char text[kFormatBufferSize];
  int scientific;
};

template <class Real>
Outcome convert(const std::string& numeral, int inputBase, int outputBase, int scientific) {
  Outcome out{};
  Real value;
  out.base = inputBase;
  const ParseVerdict verdict = parseNumeral(&value, numeral.c_str(), &out.base);
  out.accepted = verdict != kParseRejected;
  out.scientific = scientific;
  if (out.accepted) formatNumeral(out.text, value, outputBase, &out.scientific);
  out.plus = verdict == kParsePlusOverflow;
  out.minus = verdict == kParseMinusOverflow;
  return out;
}

long conversionCount() {
  const char* longTests = std::getenv("VELTRANE_LONG_TESTS");
  return longTests != nullptr && longTests[0] == '1' ? 10000000L : 100000L;
}

TEST(FastEquivalence, RandomConversionsGiveIdenticalTexts) {
  NumeralSource source(20261208);
  const long count = conversionCount();
  long accepted = 0, overflowed = 0, scientificOut = 0;
  // In batches: the literal conversions first, then the fast ones back to
  // back with no re-initialisation in between, as the command-line
  // converter runs them.
  constexpr int kBatch = 1000;
  struct Job {
    std::string numeral;
    int inputBase, outputBase, scientific;
    Outcome literal;
  };
  std::vector<Job> jobs(kBatch);
  for (long done = 0; done < count; done += kBatch) {
    for (Job& job : jobs) {
      job.inputBase = 2 + source.below(35);
      job.outputBase = 2 + source.below(35);
      job.scientific = source.below(2);
      const int shape = source.below(100);
      if (shape < 55) {
        job.numeral = source.numeral(job.inputBase);
      } else if (shape < 80) {
        job.numeral = source.wideNumeral(job.inputBase);
      } else {
        job.inputBase = 2 + source.below(2);
        job.numeral = source.longMantissa(job.inputBase);
      }
      job.literal = convert<ExtReal>(job.numeral, job.inputBase, job.outputBase, job.scientific);
    }
    X87TruncatingMode mode;
    for (const Job& job : jobs) {
      const Outcome fast =
          convert<FastReal>(job.numeral, job.inputBase, job.outputBase, job.scientific);
      const Outcome& literal = job.literal;
      ASSERT_EQ(fast.accepted, literal.accepted) << job.numeral;
      ASSERT_EQ(fast.base, literal.base) << job.numeral;
      ASSERT_EQ(fast.plus, literal.plus) << job.numeral;
      ASSERT_EQ(fast.minus, literal.minus) << job.numeral;
      if (!literal.accepted) continue;
      ASSERT_STREQ(fast.text, literal.text)
          << job.numeral << " from base " << job.inputBase << " to base " << job.outputBase;
      ASSERT_EQ(fast.scientific, literal.scientific) << job.numeral;
      ++accepted;
      overflowed += literal.plus + literal.minus;
      scientificOut += literal.scientific;
    }
  }
  // The generator must reach every kind of outcome, or the comparison says little.
  EXPECT_GT(accepted, count / 2);
  EXPECT_GT(overflowed, count / 1000);
  EXPECT_GT(scientificOut, count / 4);
  EXPECT_LT(accepted, count);
}

}  // namespace
