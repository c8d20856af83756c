// The exact expansion and the ulp distance against the plain algorithms
// they replaced, kept here as the reference: one digit a division by a
// 32-bit power of the base for integers, one multiplication of the whole
// fraction by a 32-bit power a chunk, one digit at a time into the text's
// mantissa, and the distance's six digits by repeated subtraction. Both
// compute exact results, so every text and every flag must be the same, on
// images of every class and exponent and in every base.
#include "numeral/exact.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "numeral/chunk_digits.h"
#include "numeral/digit_alphabet.h"
#include "numeral/format.h"
#include "numeral/power_estimate.h"
#include "numeric/wide_int.h"

namespace {

namespace simple {

using Wide = WideInt<400>;

int scalePastLeadingZeros(Wide* x, int point, int base) {
  if (x->isZero()) return 0;
  const DigitChunk chunk = digitChunkOf(base);
  int zeros = 0;
  while (x->bitLength() + 32 <= point) {
    x->multiplyAdd(chunk.power);
    zeros += chunk.digits;
  }
  for (;;) {
    x->multiplyAdd(static_cast<std::uint64_t>(base));
    if (x->bitLength() > point) {
      x->divideBy(static_cast<std::uint32_t>(base));
      return zeros;
    }
    ++zeros;
  }
}

struct Expansion {
  char digit[kExactDigitLimit + 1];
  int count = 0;
  int exponent = 0;
  bool complete = true;
};

void expandInteger(Wide n, int base, Expansion* e) {
  static constexpr int kMaxDigits = 16384 + 64 + 32;
  static char reversed[kMaxDigits];
  int length = 0;
  const DigitChunk chunk = digitChunkOf(base);
  while (!n.isZero() && length + chunk.digits <= kMaxDigits) {
    std::uint32_t part = n.divideBy(chunk.power);
    for (int i = 0; i < chunk.digits; ++i) {
      reversed[length++] = static_cast<char>(part % static_cast<std::uint32_t>(base));
      part /= static_cast<std::uint32_t>(base);
    }
  }
  while (length > 0 && reversed[length - 1] == 0) --length;
  e->exponent = length - 1;
  e->count = 0;
  for (int i = length - 1; i >= 0; --i) {
    if (e->count == kExactDigitLimit) {
      for (int j = i; j >= 0; --j)
        if (reversed[j] != 0) e->complete = false;
      break;
    }
    e->digit[e->count++] = reversed[i];
  }
}

bool formatExactValue(char* out, ExtReal value, int base) {
  char* p = out;
  if (value.signBit()) *p++ = '-';
  const std::uint64_t significand = value.significand();
  const StoredClass kind = classifyStored(value);
  if (significand == 0 || kind == kStoredInfinity || kind == kStoredNotANumber) {
    std::strcpy(p, "0.0");
    return significand == 0;
  }
  Expansion e;
  const int q = lastPlaceExponent(value);
  if (q >= 0) {
    Wide n(significand);
    n.shiftLeft(q);
    expandInteger(n, base, &e);
  } else {
    const int m = -q;
    Wide fraction(significand);
    std::uint64_t integer = 0;
    if (m < 64) {
      integer = significand >> m;
      fraction = Wide(significand & ((std::uint64_t{1} << m) - 1));
    }
    if (integer != 0) {
      expandInteger(Wide(integer), base, &e);
    } else {
      e.exponent = -scalePastLeadingZeros(&fraction, m, base) - 1;
    }
    const DigitChunk chunk = digitChunkOf(base);
    while (!fraction.isZero() && e.count < kExactDigitLimit) {
      fraction.multiplyAdd(chunk.power);
      std::uint64_t group = fraction.takeFrom(m);
      char digits[32];
      for (int i = chunk.digits - 1; i >= 0; --i) {
        digits[i] = static_cast<char>(group % static_cast<std::uint32_t>(base));
        group /= static_cast<std::uint32_t>(base);
      }
      for (int i = 0; i < chunk.digits; ++i) {
        if (e.count < kExactDigitLimit)
          e.digit[e.count++] = digits[i];
        else if (digits[i] != 0)
          e.complete = false;
      }
    }
    if (!fraction.isZero()) e.complete = false;
  }
  while (e.count > 1 && e.digit[e.count - 1] == 0) --e.count;
  *p++ = digitCharacter(e.digit[0]);
  *p++ = '.';
  if (e.count == 1) *p++ = '0';
  for (int i = 1; i < e.count; ++i) *p++ = digitCharacter(e.digit[i]);
  formatExponent(p, e.exponent, base);
  return e.complete;
}

int writtenDigitOf(char c) {
  const int d = digitValueOf(c);
  return d != kNotADigit && digitCharacter(d) == c ? d : kNotADigit;
}

bool readOutputNumeral(const char* text, int base, bool* negative, Wide* mantissa, int* scale) {
  const char* p = text;
  *negative = *p == '-';
  if (*negative) ++p;
  *mantissa = Wide(0);
  long long s = 0;
  int digits = 0;
  bool point = false;
  for (; *p != '\0' && *p != '_' && *p != 'e'; ++p) {
    if (*p == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    const int d = writtenDigitOf(*p);
    if (d >= base) return false;
    mantissa->multiplyAdd(static_cast<std::uint64_t>(base), static_cast<std::uint64_t>(d));
    if (point) --s;
    ++digits;
  }
  if (digits == 0 || digits * 6 > Wide::kBits - 128) return false;
  if (*p != '\0') {
    if (*p != (base == 10 ? 'e' : '_')) return false;
    ++p;
    const bool negativeExponent = *p == '-';
    if (*p != '-' && *p != '+') return false;
    ++p;
    if (*p == '\0') return false;
    long long exponent = 0;
    for (; *p != '\0'; ++p) {
      const int d = writtenDigitOf(*p);
      if (d >= base || exponent > 100000) return false;
      exponent = exponent * base + d;
    }
    s += negativeExponent ? -exponent : exponent;
  }
  if (s < -40000 || s > 40000) return false;
  *scale = static_cast<int>(s);
  return true;
}

void writeQuotient(char* out, std::size_t size, bool negative, Wide r, Wide q) {
  if (r.isZero()) {
    std::snprintf(out, size, "0");
    return;
  }
  int e = 0;
  if (compare(r, q) >= 0) {
    for (;;) {
      Wide next = q;
      next.multiplyAdd(10);
      if (compare(next, r) > 0) break;
      q = next;
      ++e;
    }
  } else {
    do {
      r.multiplyAdd(10);
      --e;
    } while (compare(r, q) < 0);
  }
  char digits[6];
  int count = 0;
  for (; count < 6; ++count) {
    int d = 0;
    while (compare(r, q) >= 0) {
      r.subtract(q);
      ++d;
    }
    digits[count] = static_cast<char>('0' + d);
    r.multiplyAdd(10);
  }
  while (count > 1 && digits[count - 1] == '0') --count;
  char text[40];
  char* p = text;
  if (negative) *p++ = '-';
  if (e >= 6 || e < -4) {
    *p++ = digits[0];
    if (count > 1) {
      *p++ = '.';
      for (int i = 1; i < count; ++i) *p++ = digits[i];
    }
    std::snprintf(p, sizeof text - static_cast<std::size_t>(p - text), "e%d", e);
  } else if (e >= 0) {
    for (int i = 0; i <= e; ++i) *p++ = i < count ? digits[i] : '0';
    if (count > e + 1) {
      *p++ = '.';
      for (int i = e + 1; i < count; ++i) *p++ = digits[i];
    }
    *p = '\0';
  } else {
    *p++ = '0';
    *p++ = '.';
    for (int i = -1; i > e; --i) *p++ = '0';
    for (int i = 0; i < count; ++i) *p++ = digits[i];
    *p = '\0';
  }
  std::snprintf(out, size, "%s", text);
}

bool formatUlpDistance(char* out, std::size_t size, const char* text, int base, ExtReal value) {
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) return false;
  if (base < kMinBase || base > kMaxBase) return false;
  bool textNegative;
  Wide mantissa;
  int scale;
  if (!readOutputNumeral(text, base, &textNegative, &mantissa, &scale)) return false;
  {
    std::uint64_t power12 = 1;
    for (int i = 0; i < 12; ++i) power12 *= static_cast<std::uint64_t>(base);
    const long long perTwelveDigits = 64 - __builtin_clzll(power12);
    const long long magnitude = scale < 0 ? -static_cast<long long>(scale) : scale;
    const long long scaleBits = (magnitude * perTwelveDigits + 11) / 12;
    const long long lastPlace = lastPlaceExponent(value);
    const long long textBits = mantissa.bitLength() + (scale >= 0 ? scaleBits : 0) +
                               (lastPlace < 0 ? -lastPlace : 0);
    const long long storedBits = (scale < 0 ? scaleBits : 0) + 64 + (lastPlace > 0 ? lastPlace : 0);
    if ((textBits > storedBits ? textBits : storedBits) + 64 > Wide::kBits) return false;
  }
  Wide t = mantissa;
  Wide d(1);
  if (scale >= 0)
    t.multiplyByPower(base, scale);
  else
    d.multiplyByPower(base, -scale);
  const int q = lastPlaceExponent(value);
  Wide u = t;
  Wide v = d;
  v.multiplyAdd(value.significand());
  Wide denominator = d;
  if (q >= 0) {
    v.shiftLeft(q);
    denominator.shiftLeft(q);
  } else {
    u.shiftLeft(-q);
  }
  const bool storedNegative = value.signBit() && value.significand() != 0;
  if (mantissa.isZero()) textNegative = false;
  bool negative;
  if (textNegative != storedNegative) {
    u.add(v);
    negative = textNegative;
  } else if (compare(u, v) >= 0) {
    u.subtract(v);
    negative = textNegative;
  } else {
    v.subtract(u);
    u = v;
    negative = !textNegative;
  }
  writeQuotient(out, size, negative, u, denominator);
  return true;
}

}  // namespace simple

// Images of every kind: significands of one bit, of all ones, of a few low
// bits, or random; biased exponents over the whole range, near 1 (where the
// command line's numerals mostly lie), at the bottom (subnormals and
// pseudo-denormals) and at the top.
ExtReal randomImage(std::mt19937_64& random) {
  std::uint64_t significand;
  switch (random() % 6) {
    case 0:
      significand = std::uint64_t{1} << (random() % 64);
      break;
    case 1:
      significand = ~std::uint64_t{0} << (random() % 64);
      break;
    case 2:
      significand = random() >> (random() % 64);
      break;
    default:
      significand = random() | (std::uint64_t{1} << 63);
  }
  int exponent;
  switch (random() % 5) {
    case 0:
      exponent = static_cast<int>(random() % 0x7FFF);
      break;
    case 1:
      exponent = static_cast<int>(random() % 40);
      break;
    case 2:
      exponent = 0x7FFE - static_cast<int>(random() % 40);
      break;
    default:
      exponent = 0x3FFF - 1100 + static_cast<int>(random() % 2200);
  }
  if (exponent == 0 && random() % 2 == 0) significand >>= random() % 64;  // subnormals
  const std::uint16_t sign = random() % 3 == 0 ? 0x8000 : 0;
  return ExtReal::fromBits(significand, static_cast<std::uint16_t>(sign | exponent));
}

std::string randomDigits(std::mt19937_64& random, int base, int count) {
  std::string digits;
  for (int i = 0; i < count; ++i)
    digits += digitCharacter(static_cast<int>(random() % static_cast<std::uint64_t>(base)));
  return digits;
}

// A numeral of the output syntax near value, for formatUlpDistance: value's
// exact expansion or its formatted text, with digits changed, cut or added
// and its exponent moved a little, and now and then a character it must
// refuse.
std::string randomTextNear(std::mt19937_64& random, ExtReal value, int base) {
  static char exact[kExactTextSize];
  char text[kFormatBufferSize];
  std::string numeral;
  if (random() % 2 == 0) {
    formatExactValue(exact, value, base);
    numeral = exact;
  } else {
    int scientific = 1;
    formatNumeral(text, value, base, &scientific);
    numeral = text;
  }
  const std::size_t marker = numeral.find(base == 10 ? 'e' : '_');
  std::string mantissa = numeral.substr(0, marker);
  std::string exponent = marker == std::string::npos ? "" : numeral.substr(marker);
  if (mantissa.find('.') == std::string::npos) mantissa += ".0";
  const std::size_t point = mantissa.find('.');
  switch (random() % 4) {
    case 0:  // a few digits changed
      for (int i = 0; i < 3; ++i) {
        const std::size_t at = 1 + point + random() % (mantissa.size() - point);
        if (at < mantissa.size())
          mantissa[at] = digitCharacter(static_cast<int>(random() % static_cast<std::uint64_t>(base)));
      }
      break;
    case 1:  // cut
      mantissa.resize(point + 1 + random() % (mantissa.size() - point));
      if (mantissa.back() == '.') mantissa += '0';
      break;
    case 2:  // digits added
      mantissa += randomDigits(random, base, 1 + static_cast<int>(random() % 40));
      break;
    default:  // the point moved: a different scale
      if (point >= 1 && point + 2 < mantissa.size()) std::swap(mantissa[point], mantissa[point + 1]);
  }
  std::string result = mantissa + exponent;
  // Refused: a character that is no digit; a second point; or (in bases
  // from 17 up, where G is a digit) an exponent too far for the integers.
  if (random() % 50 == 0) result += "#.G"[random() % 3];
  return result;
}

void expectSameDistance(const std::string& text, int base, ExtReal value) {
  char fast[64] = "untouched";
  char reference[64] = "untouched";
  const bool fastKnown = formatUlpDistance(fast, sizeof fast, text.c_str(), base, value);
  const bool referenceKnown =
      simple::formatUlpDistance(reference, sizeof reference, text.c_str(), base, value);
  ASSERT_EQ(fastKnown, referenceKnown) << text << " in base " << base;
  ASSERT_STREQ(fast, reference) << text << " in base " << base << ", image "
                                << value.signAndExponent() << ":" << value.significand();
}

// Texts in the bases up to 10, whose digits are read eight at a time, with
// one byte at every place of runs of 1 to 40 digits: a digit, the largest
// digit, the first byte past the base's digits, the bytes on either side of
// the digits ('/' and ':'), a letter, a point and a byte from 0x80 up,
// before an exponent or not. The digit reader must take exactly the digits
// the simple one takes.
TEST(ExactDifferential, DistancesOfTextsWithAByteAtEveryPlace) {
  const ExtReal value = ExtReal::fromBits(0xB504F333F9DE6484ULL, 16383 + 20);
  for (int base = 2; base <= 10; ++base) {
    const std::string odd[] = {"0", std::string(1, static_cast<char>('0' + base - 1)),
                               std::string(1, static_cast<char>('0' + base)), "/", ":", "A",
                               ".", "\xB7"};
    for (int length = 1; length <= 40; ++length) {
      for (int at = 0; at < length; ++at) {
        for (const std::string& byte : odd) {
          std::string digits;
          for (int i = 0; i < length; ++i) digits += static_cast<char>('0' + (i * 7 + 1) % base);
          digits.replace(static_cast<std::size_t>(at), 1, byte);
          expectSameDistance(digits, base, value);
          expectSameDistance("-" + digits + (base == 10 ? "e+3" : "_+3"), base, value);
          expectSameDistance("1." + digits, base, value);
        }
      }
    }
  }
}

// writeChunkDigits against a division per digit, for every count of
// digits a 64-bit chunk holds, on the values where a fixed-point digit
// would first go wrong: runs of the largest digit (base^i - 1 and the
// chunk's top minus small amounts), powers, and random values.
template <unsigned base>
void expectChunkDigits(std::mt19937_64& random) {
  const WordChunk chunk = wordChunkOf(static_cast<int>(base));
  std::uint64_t limit = 1;
  for (int count = 1; count <= chunk.digits; ++count) {
    limit *= base;
    std::vector<std::uint64_t> values = {0, 1, limit - 1, limit / 2, limit - 2};
    for (std::uint64_t power = base; power < limit; power *= base) {
      values.insert(values.end(), {power - 1, power, limit - power, limit - power - 1,
                                   (limit / power) * power - 1, power * (base - 1) - 1});
    }
    for (int i = 0; i < 200; ++i) values.push_back(random() % limit);
    for (std::uint64_t value : values) {
      char fast[64];
      char reference[64];
      std::uint64_t rest = value;
      for (int i = count - 1; i >= 0; --i) {
        reference[i] = digitCharacter(static_cast<int>(rest % base));
        rest /= base;
      }
      // By pairs of digits, and a digit at a time as in the WebAssembly
      // module.
      writeChunkDigits<base, true>(fast, value, count);
      ASSERT_EQ(std::string(fast, static_cast<std::size_t>(count)),
                std::string(reference, static_cast<std::size_t>(count)))
          << value << " in base " << base << ", " << count << " digits";
      writeChunkDigits<base, false>(fast, value, count);
      ASSERT_EQ(std::string(fast, static_cast<std::size_t>(count)),
                std::string(reference, static_cast<std::size_t>(count)))
          << value << " in base " << base << ", " << count << " digits, singly";
    }
  }
}

template <unsigned... bases>
void expectChunkDigitsInBases(std::mt19937_64& random) {
  (expectChunkDigits<bases>(random), ...);
}

TEST(ExactDifferential, ChunkDigitsAgreeWithDivision) {
  std::mt19937_64 random(0xC4D);
  expectChunkDigitsInBases<2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                           22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36>(random);
}

TEST(ExactDifferential, ExpansionsAgreeWithTheSimpleAlgorithm) {
  std::mt19937_64 random(0xE4AC7);
  static char fast[kExactTextSize + 64];
  static char reference[kExactTextSize + 64];
  for (int i = 0; i < 3000; ++i) {
    const ExtReal value = randomImage(random);
    const int base = kMinBase + static_cast<int>(random() % (kMaxBase - kMinBase + 1));
    const bool fastComplete = formatExactValue(fast, value, base);
    const bool referenceComplete = simple::formatExactValue(reference, value, base);
    ASSERT_STREQ(fast, reference) << "base " << base << ", image " << value.signAndExponent()
                                  << ":" << value.significand();
    ASSERT_EQ(fastComplete, referenceComplete) << reference;
    // The expansion read back: 0 ulps when complete, a sliver below when cut.
    if (classifyStored(value) != kStoredInfinity && classifyStored(value) != kStoredNotANumber)
      expectSameDistance(fast, base, value);
  }
}

// Fractions that end after every count of chunks, in every base, over one
// to eight limbs: the chunks go two passes at a time while two are wanted,
// so an expansion may end with the first of a pair (in an even base) or
// stop at the limit in either. Also the length formatExactValue reports.
TEST(ExactDifferential, FractionsEndingAtEveryChunk) {
  static char fast[kExactTextSize + 64];
  static char reference[kExactTextSize + 64];
  for (int base = kMinBase; base <= kMaxBase; ++base) {
    for (int point = 1; point <= 8 * 64; point += 7) {
      for (const std::uint64_t significand :
           {std::uint64_t{1} << 63, (std::uint64_t{1} << 63) | 1, ~std::uint64_t{0}}) {
        // significand * 2^(point - 63 - point) lies in [2^-point, 2^(1 - point)).
        const int biased = 16383 - point;
        const ExtReal value = ExtReal::fromBits(significand, static_cast<std::uint16_t>(biased));
        std::size_t length = 0;
        const bool fastComplete = formatExactValue(fast, value, base, &length);
        const bool referenceComplete = simple::formatExactValue(reference, value, base);
        ASSERT_STREQ(fast, reference) << "base " << base << ", point " << point;
        ASSERT_EQ(fastComplete, referenceComplete) << base << " " << point;
        ASSERT_EQ(length, std::strlen(fast));
      }
    }
  }
}

// Integers significand * 2^q over the whole range of q, in one base at a
// time going up (the powers of 2^64 kept per thread are extended), then
// down (they are reused), then with the base changing at every value (they
// are built again), against the simple algorithm's divisions.
TEST(ExactDifferential, IntegersOfEveryExponent) {
  static char fast[kExactTextSize + 64];
  static char reference[kExactTextSize + 64];
  const int bases[] = {3, 10, 7, 36, 31, 6};
  const std::uint64_t significands[] = {std::uint64_t{1} << 63, ~std::uint64_t{0},
                                        0x8000000000000001ULL, 0xC0FFEE1234567891ULL};
  std::vector<int> exponents;
  for (int q = 0; q <= 16320; q += q < 256 ? 13 : 509) exponents.push_back(q);
  exponents.push_back(16320);
  const auto expectSame = [&](int base, std::uint64_t significand, int q) {
    const ExtReal value =
        ExtReal::fromBits(significand, static_cast<std::uint16_t>(q + 16383 + 63));
    const bool fastComplete = formatExactValue(fast, value, base);
    const bool referenceComplete = simple::formatExactValue(reference, value, base);
    ASSERT_STREQ(fast, reference) << "base " << base << ", q " << q;
    ASSERT_EQ(fastComplete, referenceComplete) << base << " " << q;
  };
  for (const int base : bases) {
    for (const int q : exponents) expectSame(base, significands[q % 4], q);
    for (auto q = exponents.rbegin(); q != exponents.rend(); ++q)
      expectSame(base, significands[(*q + 1) % 4], *q);
  }
  for (std::size_t i = 0; i < exponents.size(); ++i)
    expectSame(bases[i % 6], significands[i % 4], exponents[exponents.size() - 1 - i]);
}

TEST(ExactDifferential, DistancesAgreeWithTheSimpleAlgorithm) {
  std::mt19937_64 random(0xD157);
  for (int i = 0; i < 20000; ++i) {
    const ExtReal value = randomImage(random);
    const int base = kMinBase + static_cast<int>(random() % (kMaxBase - kMinBase + 1));
    if (classifyStored(value) == kStoredInfinity || classifyStored(value) == kStoredNotANumber)
      continue;
    if (random() % 2 == 0) {
      // The formatted text of the value, as the command line measures it.
      char text[kFormatBufferSize];
      int scientific = static_cast<int>(random() % 2);
      formatNumeral(text, value, base, &scientific);
      expectSameDistance(text, base, value);
    } else {
      expectSameDistance(randomTextNear(random, value, base), base, value);
    }
  }
}

}  // namespace

namespace {

// Distances that are whole or short numbers of ulps, where the text's
// digits fit 64 bits: the expansion of a neighbouring image (same exponent,
// significand a few units off, or one of its low bits changed) read as the
// text, in every base, complete or cut to a few digits. In bases 2^k these
// land exactly on the six-digit grid ("51", "-0.25"), so an estimate of the
// distance must be exact there or give way to the exact division.
TEST(ExactDifferential, DistancesToNeighboursAgreeWithTheSimpleAlgorithm) {
  std::mt19937_64 random(0x4E16);
  static char exact[kExactTextSize];
  const std::int64_t offsets[] = {0, 1, -1, 2, -3, 51, -51, 1000, -99999, 123456, 1 << 20};
  for (int i = 0; i < 1500; ++i) {
    const ExtReal value = randomImage(random);
    if (classifyStored(value) == kStoredInfinity || classifyStored(value) == kStoredNotANumber)
      continue;
    const int base = kMinBase + static_cast<int>(random() % (kMaxBase - kMinBase + 1));
    for (std::int64_t offset : offsets) {
      std::uint64_t significand = value.significand() + static_cast<std::uint64_t>(offset);
      if (random() % 4 == 0) significand ^= std::uint64_t{1} << (random() % 8);
      const ExtReal neighbour = ExtReal::fromBits(significand, value.signAndExponent());
      formatExactValue(exact, neighbour, base);
      std::string text = exact;
      // Now and then only the first digits (up to the exponent marker).
      if (random() % 3 == 0) {
        const std::size_t marker = text.find(base == 10 ? 'e' : '_');
        const std::size_t keep = 2 + random() % 20;
        if (marker != std::string::npos && keep < marker) text.erase(keep, marker - keep);
      }
      expectSameDistance(text, base, value);
    }
  }
}

}  // namespace

namespace {

// estimatePower's bracket against the exact power: p * 2^exponent <=
// base^n < (p + 2 error) * 2^exponent, for both signs of n, in every base,
// and equality where the error is 0.
TEST(ExactDifferential, PowerEstimatesBracketTheExactPower) {
  using Big = WideInt<400>;
  std::mt19937_64 random(0x90E5);
  for (int i = 0; i < 3000; ++i) {
    const int base = kMinBase + static_cast<int>(random() % (kMaxBase - kMinBase + 1));
    const int n = static_cast<int>(random() % 2 == 0 ? random() % 64 : random() % 3000);
    const int exponent = random() % 2 == 0 ? n : -n;
    const PowerEstimate estimate = estimatePower(base, exponent);
    ASSERT_EQ(estimate.p >> 127, 1u) << base << "^" << exponent;
    Big low = Big::from128(estimate.p);
    Big high = Big::from128(estimate.p);
    high.add(Big::from128(static_cast<unsigned __int128>(2 * estimate.error)));
    Big power(1);
    power.multiplyByPower(base, n);
    // Compare low and high * 2^exponent with base^exponent over a common
    // denominator.
    Big left = power;  // base^n, or 1 when the power is a reciprocal
    if (exponent < 0) left = Big(1);
    Big lowSide = low;
    Big highSide = high;
    if (exponent < 0) {
      lowSide = multiplyShifted(low, power, 0);
      highSide = multiplyShifted(high, power, 0);
    }
    if (estimate.exponent >= 0) {
      lowSide.shiftLeft(estimate.exponent);
      highSide.shiftLeft(estimate.exponent);
    } else {
      left.shiftLeft(-estimate.exponent);
    }
    if (estimate.error == 0) {
      ASSERT_EQ(compare(lowSide, left), 0) << base << "^" << exponent;
    } else {
      ASSERT_LE(compare(lowSide, left), 0) << base << "^" << exponent;
      ASSERT_GT(compare(highSide, left), 0) << base << "^" << exponent;
    }
  }
}

}  // namespace
