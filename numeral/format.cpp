#include "numeral/format.h"

#include <cstring>

#include "numeral/digit_alphabet.h"
#include "numeral/digits.h"
#include "numeral/parse.h"
#include "numeral/arithmetic.h"
#include "numeric/ext_math.h"

namespace {

// generateDigits needs at most 64 bytes; the rest is headroom.
constexpr int kDigitBufferSize = 252;

// Writes the digits of magnitude in base, least significant first, and
// returns their count. One instance per base, so that the division by the
// base is a multiplication by a constant.
template <unsigned base>
int writeMagnitude(char* out, unsigned magnitude) {
  int count = 0;
  do {
    out[count++] = digitCharacter(static_cast<int>(magnitude % base));
    magnitude /= base;
  } while (magnitude != 0);
  return count;
}

template <unsigned... bases>
struct MagnitudeWriters {
  int (*of[kMaxBase + 1])(char*, unsigned);
  constexpr MagnitudeWriters() : of() { ((of[bases] = &writeMagnitude<bases>), ...); }
};
constexpr MagnitudeWriters<2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                           22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36>
    kMagnitudeWriters;

// Writes text and its NUL at out.
void writeText(char* out, const char* text) { std::memcpy(out, text, std::strlen(text) + 1); }

}  // namespace

void formatExponent(char* out, int exponent, int base) {
  if (exponent == 0) {
    out[0] = '\0';
    return;
  }
  if (base < kMinBase) base = kMinBase;
  if (base > kMaxBase) base = kMaxBase;
  out[0] = base == 10 ? 'e' : '_';
  out[1] = exponent < 0 ? '-' : '+';
  // Unsigned, so that the magnitude of INT_MIN is representable.
  const unsigned magnitude =
      exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
  const int end = 2 + kMagnitudeWriters.of[base](out + 2, magnitude);
  out[end] = '\0';
  // Made least significant first; reverse to reading order.
  for (int i = 2, j = end - 1; i < j; ++i, --j) {
    const char swap = out[i];
    out[i] = out[j];
    out[j] = swap;
  }
}

void layoutNumeral(char* out, const char* digits, int count, int negative, int exponent, int base,
                   int maxDigits, int* scientific) {
  int at = 0;
  if (negative) out[at++] = '-';

  const int useScientific = exponent >= maxDigits + 2 || exponent <= -maxDigits || *scientific != 0;
  if (!useScientific) {
    if (exponent < 0) {
      out[at++] = '0';
      out[at++] = '.';
      for (int k = 0; k < -exponent - 1; ++k) out[at++] = '0';
    }
    // Digits 0 .. exponent, then a point only when more digits follow.
    const int beforePoint = exponent >= 0 && exponent < count - 1 ? exponent + 1 : count;
    std::memcpy(out + at, digits, static_cast<std::size_t>(beforePoint));
    at += beforePoint;
    if (beforePoint < count) {
      out[at++] = '.';
      std::memcpy(out + at, digits + beforePoint, static_cast<std::size_t>(count - beforePoint));
      at += count - beforePoint;
    }
    if (exponent >= 0 && exponent + 1 > count)
      for (int k = 0; k < exponent + 1 - count; ++k) out[at++] = '0';
    out[at] = '\0';
    *scientific = 0;
    return;
  }

  out[at++] = digits[0];
  out[at++] = '.';
  if (count == 1) out[at++] = '0';
  if (count > 1) {
    std::memcpy(out + at, digits + 1, static_cast<std::size_t>(count - 1));
    at += count - 1;
  }
  formatExponent(out + at, exponent, base);
  *scientific = 1;
}

namespace {

// generateDigits, handing on the image where it takes one.
void generateDigitsOf(char* digits, int* count, int* negative, int* exponent, ExtReal value,
                      const ExtReal&, int base) {
  generateDigits(digits, count, negative, exponent, value, base);
}
void generateDigitsOf(char* digits, int* count, int* negative, int* exponent, FastReal value,
                      const ExtReal& image, int base) {
  generateDigits(digits, count, negative, exponent, value, image, base);
}

template <class Real>
void formatNumeralIn(char* out, Real value, int base, int* scientific) {
  const ExtReal image = imageOf(value);
  if (base < kMinBase || base > kMaxBase || isNotANumber(image)) {
    writeText(out, "ERROR");
    return;
  }
  if (isInfinity(image)) {
    writeText(out, image.signBit() ? "-INF" : "+INF");
    return;
  }

  const int digitLimit = Arithmetic<Real>::maxDigits(base);
  char digits[kDigitBufferSize];
  int count;
  int negative;
  int exponent;
  generateDigitsOf(digits, &count, &negative, &exponent, value, image, base);
  layoutNumeral(out, digits, count, negative, exponent, base, digitLimit, scientific);
}

}  // namespace

void formatNumeral(char* out, ExtReal value, int base, int* scientific) {
  formatNumeralIn(out, value, base, scientific);
}

void formatNumeral(char* out, FastReal value, int base, int* scientific) {
  formatNumeralIn(out, value, base, scientific);
}
