// The round-trip text against the parser itself: it reads back to the same
// 10 bytes, no text of one digit fewer does (by an independent search over
// whole digit strings and by brute force near the value), none of its own
// length lies nearer, the literal arithmetic finds the same texts, and every
// platform the same texts. Set VELTRANE_LONG_TESTS=1 for ten times the
// random values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeral/round_trip.h"
#include "numeral/round_trip_candidates.h"
#include "numeral/round_trip_internal.h"
#include "numeric/fast_real.h"
#include "numeric/wide_int.h"
#include "numeric/x87_instructions.h"
#include "tests/format/exact_reference.h"
#include "tests/support/ext_testing.h"

using exttest::bits;

namespace {

const char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

int scaled(int count) {
  const char* longTests = std::getenv("VELTRANE_LONG_TESTS");
  return longTests != nullptr && longTests[0] == '1' ? 10 * count : count;
}

std::string roundTrip(const ExtReal& value, int base, int scientific,
                      RoundTripOutcome* outcome = nullptr) {
  X87TruncatingMode mode;
  std::vector<char> out(kRoundTripMaxLength + 1);
  const RoundTripOutcome o =
      roundTripNumeral(out.data(), kRoundTripMaxLength, FastReal(value), base, scientific);
  if (outcome != nullptr) *outcome = o;
  return o == kRoundTripFound ? std::string(out.data()) : std::string();
}

std::string hex(const ExtReal& v) { return exttest::describe(v); }

// What a numeral stores, or "" when it is rejected or overflows.
std::string stored(const std::string& text, int base) {
  ExtReal value;
  if (!readBack(text.c_str(), base, &value)) return "";
  return hex(value);
}

// A text's significant digits (first to last non-zero) and the exponent of
// the first, read from its layout; "0" for zero.
struct Significant {
  std::string digits;
  int exponent = 0;
  bool negative = false;
};

Significant significantOf(const std::string& text, int base) {
  Significant s;
  std::string body = text;
  if (!body.empty() && body[0] == '-') {
    s.negative = true;
    body.erase(0, 1);
  }
  int exponent = 0;
  const std::size_t marker = body.find(base == 10 ? 'e' : '_');
  if (marker != std::string::npos) {
    const std::string suffix = body.substr(marker + 1);
    body.erase(marker);
    int magnitude = 0;
    for (std::size_t i = 1; i < suffix.size(); ++i)
      magnitude = magnitude * base + static_cast<int>(std::strchr(kDigits, suffix[i]) - kDigits);
    exponent = suffix[0] == '-' ? -magnitude : magnitude;
  }
  const std::size_t point = body.find('.');
  const std::string whole = body.substr(0, point);
  const std::string all = point == std::string::npos ? whole : whole + body.substr(point + 1);
  int first = static_cast<int>(whole.size()) - 1 + exponent;  // of all[0]
  std::size_t lead = 0;
  while (lead + 1 < all.size() && all[lead] == '0') ++lead;
  std::string digits = all.substr(lead);
  first -= static_cast<int>(lead);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  s.digits = digits;
  s.exponent = digits == "0" ? 0 : first;
  return s;
}

// The text of significant digits d (no leading or trailing zero) with
// first-digit exponent e, laid out by the rules of the plain text: standard
// notation as the formatter pads it; scientific notation with at least one
// digit after the point and as many zeros after the digits as the parser's
// guard needs (the digit positions, 1 + e - fraction digits, at most 4930).
std::string textOf(const std::string& d, int e, int base, bool scientific, bool negative) {
  if (scientific) {
    int fraction = d.size() == 1 ? 1 : static_cast<int>(d.size()) - 1;
    if (e + 1 - fraction > 4930) fraction = e + 1 - 4930;
    std::string digits = d;
    digits.resize(static_cast<std::size_t>(fraction) + 1, '0');
    std::vector<char> out(digits.size() + 64);
    int notation = 1;
    layoutNumeral(out.data(), digits.c_str(), static_cast<int>(digits.size()), negative ? 1 : 0, e,
                  base, 1 << 28, &notation);
    return out.data();
  }
  std::vector<char> out(d.size() + static_cast<std::size_t>(e < 0 ? -e : e) + 8);
  int notation = 0;
  layoutNumeral(out.data(), d.c_str(), static_cast<int>(d.size()), negative ? 1 : 0, e, base,
                1 << 28, &notation);
  return out.data();
}

// Random finite values the parser can store, over the whole range: normal
// values of every exponent, with extra weight near both ends and next to the
// places where the guard starts asking for zeros in `base`, and subnormals.
ExtReal randomValue(std::mt19937_64& random, int base) {
  const std::uint16_t sign = random() % 2 ? 0x8000 : 0;
  int biased;
  switch (random() % 8) {
    case 0:  // subnormal
      return bits(random() >> (1 + random() % 63), sign);
    case 1:
      biased = 1 + static_cast<int>(random() % 300);
      break;
    case 2:
      biased = 0x7FFE - static_cast<int>(random() % 300);
      break;
    case 3: {
      // Next to base^4930, where the guard starts.
      const int guard = static_cast<int>(4930 * std::log2(static_cast<double>(base)));
      biased = 16383 + guard - 40 + static_cast<int>(random() % 80);
      if (biased > 0x7FFE) biased = 0x7FFE - static_cast<int>(random() % 80);
      break;
    }
    default:
      biased = 1 + static_cast<int>(random() % 0x7FFE);
  }
  ExtReal v = bits(random() | 0x8000000000000000ULL, static_cast<std::uint16_t>(sign | biased));
  if (v.significand() == ~0ULL && biased == 0x7FFE) v = bits(~1ULL, v.signAndExponent());
  return v;
}

// The least string of `length` digits of the base, read at first-digit
// exponent e in the notation, that stores at least (threshold 0) or above
// (threshold 1) the magnitude target: digit by digit, each the least that
// still reaches with every later digit at its largest. Lexicographic order
// is numeric order for one length, and the stored value never decreases
// with it; "" when none reaches.
std::string leastString(const ExtReal& magnitude, int length, int e, int base, bool scientific,
                        int threshold) {
  auto reaches = [&](const std::string& s) {
    ExtReal v;
    const std::string text = textOf(s, e, base, scientific, false);
    // Overflow lies above every value.
    if (!readBack(text.c_str(), base, &v)) return true;
    const int c = v < magnitude ? -1 : (std::memcmp(v.bytes(), magnitude.bytes(), 10) == 0 ? 0 : 1);
    return c >= threshold;
  };
  std::string s(static_cast<std::size_t>(length), kDigits[base - 1]);
  if (!reaches(s)) return "";
  for (int i = 0; i < length; ++i) {
    int low = i == 0 ? 1 : 0;
    int high = base - 1;
    while (low < high) {
      const int middle = (low + high) / 2;
      s[i] = kDigits[middle];
      if (reaches(s))
        high = middle;
      else
        low = middle + 1;
    }
    s[i] = kDigits[low];
  }
  return s;
}

// True when some text of exactly `length` significant digits with
// first-digit exponent e reads back to value: the strings that store the
// value form an interval [least at or above, least above), and one of them
// must end in a digit other than 0 (with a trailing 0 it has fewer digits).
bool someTextOfLength(const ExtReal& value, int length, int e, int base, bool scientific) {
  const ExtReal magnitude = bits(value.significand(), value.signAndExponent() & 0x7FFF);
  const std::string low = leastString(magnitude, length, e, base, scientific, 0);
  if (low.empty()) return false;
  if (stored(textOf(low, e, base, scientific, false), base) != hex(magnitude)) return false;
  if (low.back() != '0') return true;
  // low ends in 0; the string after it ends in 1 and stores the value unless
  // it is the least one above.
  const std::string above = leastString(magnitude, length, e, base, scientific, 1);
  std::string next = low;
  next.back() = '1';
  return above.empty() || next < above;
}

TEST(RoundTripText, ReadsBackToTheSameBytesInEveryBase) {
  std::mt19937_64 random(0x2021);
  int found = 0, none = 0, tooLong = 0;
  for (int i = 0; i < scaled(200); ++i) {
    for (int base = 2; base <= 36; ++base) {
      const ExtReal value = randomValue(random, base);
      for (int scientific = 0; scientific <= 1; ++scientific) {
        X87TruncatingMode mode;
        // Standard notation only where the plain text has it.
        if (scientific == 0 && plainNotation(FastReal(value), base, 0) == 1) continue;
        RoundTripOutcome outcome;
        const std::string text = roundTrip(value, base, scientific, &outcome);
        const std::string where = hex(value) + " base " + std::to_string(base) + ": " + text;
        if (outcome == kRoundTripNone) {
          ++none;
          continue;
        }
        if (outcome == kRoundTripTooLong) {
          ++tooLong;
          // Only in bases 2 and 3, whose guard zeros run into the thousands.
          EXPECT_TRUE(base == 2 || base == 3) << where;
          continue;
        }
        ++found;
        EXPECT_EQ(stored(text, base), hex(value)) << where;
        EXPECT_LE(text.size(), kRoundTripMaxLength) << where;
        EXPECT_EQ(text.find('@'), std::string::npos) << where;
        // Its own layout: the text rebuilt from its significant digits.
        const Significant s = significantOf(text, base);
        EXPECT_EQ(textOf(s.digits, s.exponent, base, scientific == 1, s.negative), text) << where;
      }
    }
  }
  // Most values without a text are subnormal (one in eight here).
  EXPECT_GT(found, (found + none + tooLong) * 8 / 10);
  std::printf("%d texts, %d values without one, %d longer than %zu bytes\n", found, none, tooLong,
              kRoundTripMaxLength);
}

TEST(RoundTripText, NoTextOfOneDigitFewerReadsBack) {
  std::mt19937_64 random(0x5407);
  const int bases[] = {2, 3, 7, 10, 16, 35, 36};
  int checked = 0;
  for (int i = 0; i < scaled(40); ++i) {
    for (int base : bases) {
      // Values whose texts are short enough to search whole.
      const std::uint16_t biased = static_cast<std::uint16_t>(16383 - 900 + random() % 1800);
      const ExtReal value = bits(random() | 0x8000000000000000ULL, biased);
      const std::string text = roundTrip(value, base, 1);
      ASSERT_FALSE(text.empty()) << hex(value);
      const Significant s = significantOf(text, base);
      const int shorter = static_cast<int>(s.digits.size()) - 1;
      if (shorter < 1) continue;
      for (int e = s.exponent - 1; e <= s.exponent + 1; ++e) {
        EXPECT_FALSE(someTextOfLength(value, shorter, e, base, true))
            << hex(value) << " base " << base << ": " << text << ", " << shorter
            << " digits with exponent " << e;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, scaled(40) * 5);
}

// The value's digits near the text of one digit fewer, every one of them.
TEST(RoundTripText, BruteForceNearTheValueFindsNoShorterText) {
  std::mt19937_64 random(0xB207);
  for (int i = 0; i < scaled(60); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const std::uint16_t biased = static_cast<std::uint16_t>(16383 - 200 + random() % 400);
    const ExtReal value = bits(random() | 0x8000000000000000ULL, biased);
    const std::string text = roundTrip(value, base, 1);
    const Significant s = significantOf(text, base);
    const int shorter = static_cast<int>(s.digits.size()) - 1;
    if (shorter < 1) continue;
    // The text's first `shorter` digits, and 300 strings either side.
    for (int e = s.exponent - 1; e <= s.exponent + 1; ++e) {
      // Where texts of that exponent come nearest to the value: its own
      // digits, all digits base - 1 below them, 1 and zeros above.
      std::string middle = s.digits.substr(0, static_cast<std::size_t>(shorter));
      if (e < s.exponent) middle.assign(static_cast<std::size_t>(shorter), kDigits[base - 1]);
      if (e > s.exponent) middle = "1" + std::string(static_cast<std::size_t>(shorter - 1), '0');
      // Step down 300 strings, then walk up 600.
      auto step = [&](std::string* d, int by) {
        for (int k = shorter - 1; k >= 0; --k) {
          const int v = static_cast<int>(std::strchr(kDigits, (*d)[k]) - kDigits) + by;
          if (v >= 0 && v < base) {
            (*d)[k] = kDigits[v];
            return true;
          }
          (*d)[k] = kDigits[by > 0 ? 0 : base - 1];
        }
        return false;
      };
      std::string d = middle;
      for (int k = 0; k < 300 && step(&d, -1) && d[0] != '0';) ++k;
      if (d[0] == '0') d[0] = '1';
      for (int k = 0; k < 600; ++k) {
        if (d.back() != '0' || shorter == 1) {
          const std::string candidate = textOf(d, e, base, true, value.signBit());
          EXPECT_NE(stored(candidate, base), hex(value))
              << hex(value) << " base " << base << ": " << text << " but also " << candidate;
        }
        if (!step(&d, 1)) break;
      }
    }
  }
}

// |d0.d1... base^exponent - |value||, exactly, scaled by a factor that
// depends only on the value, base, exponent and digit count (as in
// exactref::measure), for comparing two digit strings of one length.
exactref::Big distanceOf(const ExtReal& value, const std::string& digits, int exponent, int base) {
  using namespace exactref;
  const int biased = value.biasedExponent();
  const int twoPower = (biased == 0 ? 1 : biased) - 16383 - 63;
  const int unitPower = exponent - static_cast<int>(digits.size()) + 1;
  Big d;
  for (char c : digits) mulAdd(&d, static_cast<std::uint32_t>(base), digitOf(c));
  mulPow(&d, static_cast<std::uint32_t>(base), unitPower > 0 ? unitPower : 0);
  shiftLeft(&d, twoPower < 0 ? -twoPower : 0);
  Big v = fromU64(value.significand());
  shiftLeft(&v, twoPower > 0 ? twoPower : 0);
  mulPow(&v, static_cast<std::uint32_t>(base), unitPower < 0 ? -unitPower : 0);
  return compare(d, v) >= 0 ? subtract(d, v) : subtract(v, d);
}

// A value read from a text of c digits has a round-trip text of at most c
// digits, and of c digits none farther from the value than that text: the
// lengths a short text reads back at, which the search must not miss.
TEST(RoundTripText, ValuesOfShortTextsHaveTextsAsShort) {
  std::mt19937_64 random(0x5407);
  int compared = 0;
  for (int i = 0; i < scaled(4000); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const int length = 1 + static_cast<int>(random() % 14);
    std::string digits(1, kDigits[1 + random() % static_cast<unsigned>(base - 1)]);
    for (int k = 1; k < length; ++k) digits += kDigits[random() % static_cast<unsigned>(base)];
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    // Exponents near 0, over the whole range, and where the guard starts.
    int e;
    const double range = 16380 / std::log2(static_cast<double>(base));
    switch (random() % 3) {
      case 0:
        e = static_cast<int>(random() % 60) - 30;
        break;
      case 1:
        e = static_cast<int>((static_cast<double>(random() % 20000) / 10000.0 - 1.0) * range);
        break;
      default:
        e = 4928 + static_cast<int>(random() % 8);
        if (e > range) e = static_cast<int>(range) - static_cast<int>(random() % 8);
    }
    const bool scientific = random() % 4 != 0 || e < -10 || e > 40;
    const std::string text = textOf(digits, e, base, scientific, random() % 2 == 1);
    ExtReal value;
    if (text.size() > kRoundTripMaxLength || !readBack(text.c_str(), base, &value) ||
        value.significand() == 0)
      continue;
    RoundTripOutcome outcome;
    const std::string shortest = roundTrip(value, base, scientific ? 1 : 0, &outcome);
    ASSERT_EQ(outcome, kRoundTripFound) << text << " in base " << base << ": " << hex(value);
    const Significant s = significantOf(shortest, base);
    ASSERT_LE(s.digits.size(), digits.size()) << text << " in base " << base << ": " << shortest;
    if (s.digits.size() == digits.size() && s.digits != digits && s.exponent == e) {
      const int c = exactref::compare(distanceOf(value, s.digits, e, base),
                                      distanceOf(value, digits, e, base));
      EXPECT_TRUE(c < 0 || (c == 0 && s.digits < digits))
          << text << " in base " << base << ": " << shortest;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0);
}

// Among the texts of its length the round-trip text lies nearest to the
// value: its neighbours that also read back are no nearer.
TEST(RoundTripText, NearestOfItsLength) {
  std::mt19937_64 random(0x4EA7);
  int compared = 0;
  for (int i = 0; i < scaled(3000); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const std::uint16_t biased = static_cast<std::uint16_t>(16383 - 3000 + random() % 6000);
    const ExtReal value = bits(random() | 0x8000000000000000ULL, biased);
    const std::string text = roundTrip(value, base, 1);
    const Significant s = significantOf(text, base);
    const std::string target = hex(value);
    const exactref::Big own = distanceOf(value, s.digits, s.exponent, base);
    for (int by : {-2, -1, 1, 2}) {
      std::string d = s.digits;
      int k = static_cast<int>(d.size()) - 1;
      int v = static_cast<int>(std::strchr(kDigits, d[k]) - kDigits) + by;
      if (v <= 0 || v >= base) continue;  // another length or a borrow
      d[k] = kDigits[v];
      if (stored(textOf(d, s.exponent, base, true, false), base) != target) continue;
      // The nearer has the smaller distance; a tie goes to the smaller
      // magnitude.
      const int c = exactref::compare(own, distanceOf(value, d, s.exponent, base));
      EXPECT_TRUE(c < 0 || (c == 0 && by > 0))
          << target << " base " << base << ": " << text << " vs " << d;
      ++compared;
    }
  }
  EXPECT_GT(compared, scaled(3000) / 4);
}

// The literal ExtReal arithmetic (every parser step from a fresh x87 state)
// finds the same texts as FastReal's shortcuts.
TEST(RoundTripText, LiteralArithmeticGivesTheSameTexts) {
  std::mt19937_64 random(0x11E2);
  for (int i = 0; i < scaled(20); ++i) {
    for (int base = 2; base <= 36; ++base) {
      ExtReal value = randomValue(random, base);
      // Keep the literal runs short: no value whose texts need guard zeros,
      // whose every probe takes a step per zero.
      const int guard = 16383 + static_cast<int>(4930 * std::log2(static_cast<double>(base))) - 64;
      if (value.biasedExponent() > guard)
        value = bits(value.significand(),
                     static_cast<std::uint16_t>((value.signAndExponent() & 0x8000) | guard));
      for (int scientific = 0; scientific <= 1; ++scientific) {
        X87TruncatingMode mode;
        if (scientific == 0 && plainNotation(FastReal(value), base, 0) == 1) continue;
        std::vector<char> literal(kRoundTripMaxLength + 1);
        const RoundTripOutcome a =
            roundTripNumeral(literal.data(), kRoundTripMaxLength, value, base, scientific);
        RoundTripOutcome b;
        const std::string fast = roundTrip(value, base, scientific, &b);
        EXPECT_EQ(a, b) << hex(value) << " base " << base;
        EXPECT_EQ(std::string(literal.data()), fast) << hex(value) << " base " << base;
      }
    }
  }
}

// Texts of more digits than the strings' first K (the prefix, which alone
// accumulates; each digit past it only multiplies by the base): FastReal
// takes each such length back through those products, the literal
// arithmetic probes it string by string. Values whose texts run past K by
// up to 80 digits, in bases that reach that far, in both notations (the
// literal probes take a step per digit, so no longer texts here).
TEST(RoundTripText, TextsPastThePrefixAsTheLiteralArithmetic) {
  std::mt19937_64 random(0x9A57);
  for (const int base : {3, 5, 7, 10, 36}) {
    const int k = round_trip::kPowers.prefixDigits[base];
    // In bases 3, 5 and 7 texts of 3 to 80 digits past K (from values below
    // 2^8000, whose texts stay short enough for the literal probes); in 10
    // and 36, where texts past K are rare, any.
    const bool far = base < 10;
    int compared = 0;
    for (int attempt = 0; attempt < scaled(8000) && compared < scaled(6); ++attempt) {
      const int top = far ? ExtFormat::kExponentBias + 8000 : 0x7FFE;
      const ExtReal value =
          bits(random() | 0x8000000000000000ULL, static_cast<std::uint16_t>(1 + random() % top));
      const int scientific = static_cast<int>(attempt % 2);
      X87TruncatingMode mode;
      if (scientific == 0 && plainNotation(FastReal(value), base, 0) == 1) continue;
      RoundTripOutcome fastOutcome;
      const std::string fast = roundTrip(value, base, scientific, &fastOutcome);
      const std::size_t digits = significantOf(fast, base).digits.size();
      if (digits < static_cast<std::size_t>(k) + (far ? 3 : 1) ||
          digits > static_cast<std::size_t>(k) + 80)
        continue;
      std::vector<char> literal(kRoundTripMaxLength + 1);
      const RoundTripOutcome literalOutcome =
          roundTripNumeral(literal.data(), kRoundTripMaxLength, value, base, scientific);
      EXPECT_EQ(literalOutcome, fastOutcome) << hex(value) << " base " << base;
      EXPECT_EQ(std::string(literal.data()), fast) << hex(value) << " base " << base;
      ++compared;
    }
    EXPECT_EQ(compared, scaled(6)) << "base " << base;
  }
}

// For one stored length and scale the stored value never decreases as the
// digit string grows: the property every search here rests on.
TEST(RoundTripText, StoredValueGrowsWithTheDigits) {
  std::mt19937_64 random(0x3A4D);
  for (int i = 0; i < scaled(4000); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const int length = 1 + static_cast<int>(random() % 45);
    const int exponent = static_cast<int>(random() % 9000) - 4500;
    std::vector<std::string> strings(6);
    for (std::string& s : strings) {
      s.clear();
      s += kDigits[1 + random() % static_cast<unsigned>(base - 1)];
      for (int k = 1; k < length; ++k) s += kDigits[random() % static_cast<unsigned>(base)];
      // Near neighbours now and then, where the truncations collide.
      if (random() % 2) s = strings[0].substr(0, s.size() - 1) + s.back();
    }
    std::sort(strings.begin(), strings.end());
    ExtReal previous = bits(0, 0);
    for (const std::string& s : strings) {
      ExtReal v;
      const std::string text = textOf(s, exponent, base, true, false);
      if (!readBack(text.c_str(), base, &v)) v = exttest::largestFinite();  // overflow: on top
      EXPECT_TRUE(previous <= v) << text << " in base " << base;
      previous = v;
    }
  }
}

struct Case {
  const char* stored;  // 20 hex digits
  int base;
  int scientific;
  const char* text;  // nullptr: none
};

ExtReal fromHex(const char* h) {
  const std::string s(h);
  return bits(std::stoull(s.substr(4), nullptr, 16),
              static_cast<std::uint16_t>(std::stoul(s.substr(0, 4), nullptr, 16)));
}

// Fixed values: the texts of the software instructions.
const Case kCases[] = {
    // 0.1: its plain text 0.19999999999999A stores ...CD00; the round-trip
    // text is its exact expansion (in a base that is a power of two).
    {"3FFBCCCCCCCCCCCCCCCD", 16, 0, "0.1999999999999999A"},
    {"3FFBCCCCCCCCCCCCCCCD", 10, 0, "0.1"},
    {"3FFBCCCCCCCCCCCCCCCD", 10, 1, "1.0e-1"},
    {"3FFBCCCCCCCCCCCCCCCD", 2, 1,
     "1.100110011001100110011001100110011001100110011001100110011001101_-100"},
    // 0.02: its plain text 0.02 stores a neighbour.
    {"3FF9A3D70A3D70A3D70A", 10, 0, "0.019999999999999999917"},
    {"3FFE8000000000000000", 3, 0, "0.11111111111111111111111111111111111100212"},
    // 1 in base 35: "1.0" (35 times 35^-1) stores 1 + 2^-63; "1" stores 1.
    {"3FFF8000000000000000", 35, 1, "Y.YYYYYYYYYYR7_-1"},
    {"3FFF8000000000000000", 35, 0, "1"},
    {"3FFF8000000000000001", 35, 1, "1.0"},
    {"00000000000000000000", 7, 0, "0"},
    {"00000000000000000000", 7, 1, "0.0"},
    {"80000000000000000000", 10, 0, nullptr},  // -0: no text stores it
    {"4006FF00000000000000", 16, 0, "FF"},
    {"C006FF00000000000000", 36, 0, "-73"},
    {"400B9C40000000000000", 10, 0, "5000"},
    // Subnormals: two units of the least one is 1.0_-100000000111100 (the
    // ".0" makes its power 2^-16445); one unit has none, its power would be
    // 2^-16446.
    {"00000000000000000002", 2, 1, "1.0_-100000000111100"},
    {"00000000000000000001", 2, 1, nullptr},
    {"00000000000000000001", 10, 1, nullptr},
    {"000000000000000000FF", 3, 1, nullptr},
    {"0000000000000000FFFF", 35, 1, "1.IHF_-2LI"},
    // 2^5000 in base 2: 71 zeros keep the guard's count at 4930.
    {"53878000000000000000", 2, 1,
     "1.00000000000000000000000000000000000000000000000000000000000000000000000_+1001110001000"},
    // 2^9020 in base 2 takes 4,091 zeros (beyond the 4,096 bytes veltrane-cli
    // once read): FixedValues builds this text.
    {"633B8000000000000000", 2, 1, "1.(4091 zeros)_+10001100111100"},
    // The largest finite value is overflow to the parser; the one below it.
    {"7FFEFFFFFFFFFFFFFFFF", 10, 1, nullptr},
    {"7FFEFFFFFFFFFFFFFFFE", 36, 1, "1.F6LAE5CV1ZVF_+2G1"},
    {"7FFEFFFFFFFFFFFFFFFE", 35, 1, "2.3GUX0J2PX7LT_+2L9"},
};

// The texts are those of the software instructions, on every machine. On
// the x87 unit the powers of a base other than 2 may differ from them in the
// last bit, by maker, and so may the shortest text that reads back: there
// each text must read back, and the texts are compared in base 2 only.
TEST(RoundTripText, FixedValues) {
  for (const Case& c : kCases) {
    const bool exactOnThisMachine = !kComputesOnX87Unit || c.base == 2;
    const ExtReal value = fromHex(c.stored);
    RoundTripOutcome outcome;
    const std::string text = roundTrip(value, c.base, c.scientific, &outcome);
    std::string expected = c.text != nullptr ? c.text : "";
    const std::size_t zeros = expected.find("(4091 zeros)");
    if (zeros != std::string::npos) expected.replace(zeros, 12, std::string(4091, '0'));
    if (c.text == nullptr) {
      if (exactOnThisMachine) {
        EXPECT_NE(outcome, kRoundTripFound) << c.stored << " base " << c.base << ": " << text;
      }
      continue;
    }
    if (exactOnThisMachine) {
      EXPECT_EQ(text, expected) << c.stored << " base " << c.base;
    }
    EXPECT_EQ(stored(text, c.base), hex(value)) << c.stored << " base " << c.base;
  }
}

// FNV-1a over the texts of random values in every base: every build on the
// software instructions (x86-64, aarch64 under qemu) must give this digest.
// On the x87 unit the texts follow the maker's last bit of fyl2x and f2xm1
// through extPow, so no one digest holds there.
TEST(RoundTripText, EveryPlatformGivesTheSameTexts) {
  if (kComputesOnX87Unit) GTEST_SKIP() << "the unit's fyl2x and f2xm1 differ between makers";
  std::mt19937_64 random(0xD16E);
  std::uint64_t digest = 0xcbf29ce484222325ULL;
  auto mix = [&digest](const std::string& s) {
    for (unsigned char ch : s + "\n") {
      digest ^= ch;
      digest *= 0x100000001b3ULL;
    }
  };
  for (int i = 0; i < 40; ++i) {
    for (int base = 2; base <= 36; ++base) {
      const ExtReal value = randomValue(random, base);
      RoundTripOutcome outcome;
      mix(roundTrip(value, base, 1, &outcome));
      mix(std::to_string(static_cast<int>(outcome)));
    }
  }
  // (0xea88e9e7f2bdbdc6 with texts cut at 4,096 bytes, before the limit
  // held the longest texts of bases 2 and 3.)
  EXPECT_EQ(digest, 0x7408833571b2fe43ULL) << std::hex << digest;
}

// shorterThanRoundTrip says a text does not read back only where the parser
// agrees: on the plain texts of random values of every class and the texts
// shortened from the round-trip text, with and without zeros after the last
// digit, and on fixed layouts where it must not tell.
TEST(RoundTripText, ShorterTextsThanTheRoundTripDoNotReadBack) {
  std::mt19937_64 random(0x5A0B);
  X87TruncatingMode mode;
  int told = 0;
  for (int i = 0; i < scaled(200); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const ExtReal value = randomValue(random, base);
    const std::string rt = roundTrip(value, base, 1);
    if (rt.empty()) continue;
    char plain[kFormatBufferSize];
    int notation = 1;
    formatNumeral(plain, FastReal(value), base, &notation);
    std::vector<std::string> texts = {plain};
    // The round-trip text cut to fewer digits, and with a zero appended.
    const Significant s = significantOf(rt, base);
    for (std::size_t cut = 1; cut < s.digits.size(); cut += 1 + random() % 3) {
      const std::string digits = s.digits.substr(0, cut);
      texts.push_back(textOf(digits, s.exponent, base, true, s.negative));
      texts.push_back(textOf(digits + "0", s.exponent, base, true, s.negative));
    }
    for (const std::string& text : texts) {
      if (!shorterThanRoundTrip(text.c_str(), rt.c_str(), base)) continue;
      ++told;
      EXPECT_NE(stored(text, base), hex(value))
          << hex(value) << " base " << base << ": " << text << " against " << rt;
    }
  }
  EXPECT_GT(told, scaled(200));

  struct Case {
    const char* text;
    const char* roundTrip;
    int base;
    bool shorter;
  };
  const Case cases[] = {
      {"1.5", "1.53", 10, true},
      {"-1.5e-3", "-1.53e-3", 10, true},
      {"1.50", "1.53", 10, false},      // a zero after the last digit reads otherwise
      {"1.0", "1.01", 10, true},        // one digit, written d.0
      {"1.53", "1.53", 10, false},      // as long
      {"1.534", "1.53", 10, false},     // longer
      {"0.0", "1.5", 10, false},        // zero
      {"+INF", "1.5", 10, false},       // not a numeral
      {"1.5", "", 10, false},           // no round-trip text
      {"A.B_+Z", "A.BC_+Z", 36, true},  // the suffix of another base
      {"1.1_+1001110001000", "1.11_+1001110001000", 2, false},  // past the guard: zeros follow
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shorterThanRoundTrip(c.text, c.roundTrip, c.base), c.shorter)
        << c.text << " against " << c.roundTrip << " base " << c.base;
  }
}

// The nearest candidate of a narrow range against the exact distances
// |N base^k - value|, all brought to integers: ranges around the value's
// position, beside it, of one and two candidates, in every base and for
// values above and below 1 (positions from the 128-bit estimate of the
// power and from the exact division both).
TEST(RoundTripText, NearestCandidateAgainstExactDistances) {
  using Big = WideInt<64>;
  using u128 = unsigned __int128;
  std::mt19937_64 random(0xCA4D);
  int checked = 0;
  for (int i = 0; i < scaled(4000); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    const round_trip::Stored value = {random() | 0x8000000000000000ULL,
                                      static_cast<int>(random() % 500) - 250};
    // The first digit's exponent and a length whose candidates hold x.
    const double log = (std::log2(static_cast<double>(value.significand)) + value.binaryExponent) /
                       std::log2(static_cast<double>(base));
    const int e = static_cast<int>(std::floor(log));
    const int k0 = round_trip::kPowers.prefixDigits[base];
    const int c = 1 + static_cast<int>(random() % static_cast<unsigned>(k0));
    const int k = e - c + 1;
    // Everything times base^a 2^b: N base^(k + a) 2^b against sig base^a 2^(q + b).
    const int a = k < 0 ? -k : 0;
    const int b = value.binaryExponent < 0 ? -value.binaryExponent : 0;
    Big target(value.significand);
    target.multiplyByPower(base, a);
    target.shiftLeft(value.binaryExponent + b);
    Big unit(1);  // base^(k + a) 2^b, the value of N = 1
    unit.multiplyByPower(base, k + a);
    unit.shiftLeft(b);
    Big floorOfX;
    Big rest;
    divide(target, unit, &floorOfX, &rest);
    if (!floorOfX.fitsIn128()) continue;
    const u128 first = round_trip::powerOf(base, c - 1);
    const u128 last = round_trip::powerOf(base, c) - 1;
    const u128 x = floorOfX.low128();
    // A range near x (or beside it), within the c-digit strings.
    const long long from = static_cast<long long>(random() % 9) - 6;
    const long long width = static_cast<long long>(random() % 4);
    const u128 low0 = from < 0 && x < static_cast<u128>(-from) ? 0 : x + from;
    round_trip::Candidates range;
    range.e = e;
    range.low = low0 < first ? first : low0 > last ? last : low0;
    range.high = range.low + static_cast<u128>(width) > last ? last : range.low + width;
    range.extra = 0;
    bool anyText = false;
    for (u128 n = range.low; n <= range.high; ++n) anyText = anyText || n % base != 0;
    if (!anyText) continue;
    // The nearest N that is no multiple of the base, the smaller of two as
    // near.
    u128 best = 0;
    Big bestDistance;
    bool have = false;
    for (u128 n = range.low; n <= range.high; ++n) {
      if (c >= 2 && n % base == 0) continue;
      Big at = multiplyShifted(Big::from128(n), unit, 0);
      Big distance = at;
      if (compare(at, target) >= 0) {
        distance.subtract(target);
      } else {
        distance = target;
        distance.subtract(at);
      }
      if (!have || compare(distance, bestDistance) < 0) {
        best = n;
        bestDistance = distance;
        have = true;
      }
    }
    const u128 got = round_trip::nearestNarrow(range, base, c, value);
    ASSERT_TRUE(got == best) << "base " << base << ", significand " << value.significand
                             << " * 2^" << value.binaryExponent << ", " << c << " digits";
    ++checked;
  }
  EXPECT_GT(checked, scaled(4000) / 2);
  std::printf("%d ranges checked\n", checked);
}

// plainNotation is the notation formatNumeral writes, near powers of the
// base and for subnormals too.
TEST(RoundTripText, PlainNotationIsTheFormattersNotation) {
  std::mt19937_64 random(0x707A);
  X87TruncatingMode mode;
  for (int i = 0; i < scaled(3000); ++i) {
    const int base = 2 + static_cast<int>(random() % 35);
    ExtReal value = randomValue(random, base);
    if (i % 3 == 0) {
      // A power of the base, or a neighbour of one.
      int b = base;
      FastReal v;
      const std::string text = "1_" + std::string(1, "+-"[random() % 2]) +
                               std::to_string(static_cast<int>(random() % 10));
      if (parseNumeral(&v, text.c_str(), &b)) value = v.toExtReal();
      value = bits(value.significand() + (random() % 3) - 1, value.signAndExponent());
    }
    for (int scientific = 0; scientific <= 1; ++scientific) {
      char out[kFormatBufferSize];
      int notation = scientific;
      formatNumeral(out, FastReal(value), base, &notation);
      EXPECT_EQ(plainNotation(FastReal(value), base, scientific), notation)
          << hex(value) << " base " << base << ": " << out;
    }
  }
}

}  // namespace
