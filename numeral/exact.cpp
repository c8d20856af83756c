#include "numeral/exact.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "numeral/digit_alphabet.h"
#include "numeral/format.h"
#include "numeric/ext_format.h"
#include "numeric/wide_int.h"

namespace {

// A normal value with biased exponent E is significand * 2^(E - kPointBias).
constexpr int kPointBias = ExtFormat::kExponentBias + ExtFormat::kSignificandBits - 1;

// Every operand below fits: a value of the extended range times a power of
// a base below 37 that reaches the other end of the range, about 16,600
// bits; and for the distance of an exact expansion (1,100 digits) of the
// least values in base 36, the power of its last digit, 36^-4281, about
// 22,200 bits. formatUlpDistance refuses texts that would need more.
using Wide = WideInt<400>;

// The value of a digit as this file's numerals write it (upper case), or
// kNotADigit.
int writtenDigitOf(char c) {
  const int d = digitValueOf(c);
  return d != kNotADigit && digitCharacter(d) == c ? d : kNotADigit;
}

// The significant digits of an expansion, as values, at most one past the
// limit so that a cut can be told from a last digit.
struct Expansion {
  char digit[kExactDigitLimit + 1];
  int count = 0;
  int exponent = 0;  // of the first digit
  bool complete = true;
};

// The digits of an integer below 2^(16384 + 64), most significant first.
void expandInteger(Wide n, int base, Expansion* e) {
  // Base 2 needs the most digits: one per bit.
  static constexpr int kMaxDigits = 16384 + 64 + 32;
  char reversed[kMaxDigits];
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
      // Only zeros may be left out of a complete expansion.
      for (int j = i; j >= 0; --j)
        if (reversed[j] != 0) e->complete = false;
      break;
    }
    e->digit[e->count++] = reversed[i];
  }
}

}  // namespace

StoredClass classifyStored(ExtReal value) {
  const int biased = value.biasedExponent();
  const std::uint64_t significand = value.significand();
  if (biased == ExtFormat::kMaxBiasedExponent)
    return significand == kSignificandIntegerBit ? kStoredInfinity : kStoredNotANumber;
  if (biased == 0) return significand == 0 ? kStoredZero : kStoredSubnormal;
  return isNormalImage(value) ? kStoredNormal : kStoredUnnormal;
}

int lastPlaceExponent(ExtReal value) {
  const int biased = value.biasedExponent();
  return (biased == 0 ? 1 : biased) - kPointBias;
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
    // significand * 2^-m: the integer part first, then the fraction digit by
    // digit, each the bits that a multiplication by the base carries to 2^m.
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
    // A chunk of digits a pass: the bits a multiplication by base^digits
    // carries to 2^m are those digits, leading zeros included.
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

namespace {

// An output numeral read back: |value| = mantissa * base^scale.
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
  // Six bits a digit bound every base's: the mantissa never wraps the Wide.
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
  // Every text of a finite extended value has a scale far inside this.
  if (s < -40000 || s > 40000) return false;
  *scale = static_cast<int>(s);
  return true;
}

// Writes r / q (q > 0) with at most six significant digits, cut toward zero.
void writeQuotient(char* out, std::size_t size, bool negative, Wide r, Wide q) {
  if (r.isZero()) {
    std::snprintf(out, size, "0");
    return;
  }
  // The decimal exponent e of the first digit: 10^e <= r/q < 10^(e+1).
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

}  // namespace

bool formatUlpDistance(char* out, std::size_t size, const char* text, int base, ExtReal value) {
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) return false;
  if (base < kMinBase || base > kMaxBase) return false;
  bool textNegative;
  Wide mantissa;
  int scale;
  if (!readOutputNumeral(text, base, &textNegative, &mantissa, &scale)) return false;
  // Every step below is exact only while its values fit the Wide: refuse a
  // text whose digits and scale could pass it. No text the formatter writes
  // for a finite value comes near; a caller's text of many digits or a far
  // exponent may. bitLength(base^12) / 12 exceeds log2(base).
  {
    std::uint64_t power12 = 1;
    for (int i = 0; i < 12; ++i) power12 *= static_cast<std::uint64_t>(base);
    const long long perTwelveDigits = 64 - __builtin_clzll(power12);
    const long long magnitude = scale < 0 ? -static_cast<long long>(scale) : scale;
    const long long scaleBits = (magnitude * perTwelveDigits + 11) / 12;
    const long long lastPlace = lastPlaceExponent(value);
    // The text's numerator, and the stored value's part and the denominator.
    const long long textBits = mantissa.bitLength() + (scale >= 0 ? scaleBits : 0) +
                               (lastPlace < 0 ? -lastPlace : 0);
    const long long storedBits = (scale < 0 ? scaleBits : 0) + 64 + (lastPlace > 0 ? lastPlace : 0);
    if ((textBits > storedBits ? textBits : storedBits) + 64 > Wide::kBits) return false;
  }

  // (text - stored) / 2^q = t / (d * 2^q) - s, with text = t / d and the
  // stored value s * 2^q (s signed): over the common denominator
  //   q >= 0: (t - s * d * 2^q) / (d * 2^q)
  //   q <  0: (t * 2^-q - s * d) / d
  Wide t = mantissa;
  Wide d(1);
  if (scale >= 0)
    t.multiplyByPower(base, scale);
  else
    d.multiplyByPower(base, -scale);
  const int q = lastPlaceExponent(value);
  Wide u = t;  // the text's part of the numerator
  Wide v = d;  // the stored value's part
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
