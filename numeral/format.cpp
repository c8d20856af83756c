#include "numeral/format.h"

#include <cstring>
#include <utility>

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

template <class Offsets>
struct MagnitudeWriters;
template <unsigned... offsets>
struct MagnitudeWriters<std::integer_sequence<unsigned, offsets...>> {
  int (*of[kMaxBase + 1])(char*, unsigned);
  constexpr MagnitudeWriters() : of() {
    ((of[kMinBase + offsets] = &writeMagnitude<kMinBase + offsets>), ...);
  }
};
// One writer for each base from kMinBase to kMaxBase.
constexpr MagnitudeWriters<std::make_integer_sequence<unsigned, kMaxBase - kMinBase + 1>>
    kMagnitudeWriters;

// Writes text and its NUL at out; returns the text's length.
int writeText(char* out, const char* text) {
  const std::size_t length = std::strlen(text);
  std::memcpy(out, text, length + 1);
  return static_cast<int>(length);
}

}  // namespace

int formatExponent(char* out, int exponent, int base) {
  if (exponent == 0) {
    out[0] = '\0';
    return 0;
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
  return end;
}

int layoutNumeral(char* out, const char* digits, int count, int negative, int exponent, int base,
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
    return at;
  }

  out[at++] = digits[0];
  out[at++] = '.';
  if (count == 1) out[at++] = '0';
  if (count > 1) {
    std::memcpy(out + at, digits + 1, static_cast<std::size_t>(count - 1));
    at += count - 1;
  }
  *scientific = 1;
  return at + formatExponent(out + at, exponent, base);
}

namespace {

// generateDigits, handing on the image where it takes one.
void generateDigitsOf(char* digits, int* count, int* negative, int* exponent, ExtReal value,
                      const ExtReal&, int base) {
  generateDigits(digits, count, negative, exponent, value, base);
}
void generateDigitsOf(char* digits, int* count, int* negative, int* exponent,
                      const FastReal& value, const ExtReal& image, int base) {
  generateDigits(digits, count, negative, exponent, value, image, base);
}

template <class Real>
int formatNumeralIn(char* out, const Real& value, int base, int* scientific) {
  const ExtReal image = imageOf(value);
  if (base < kMinBase || base > kMaxBase || isNotANumber(image)) return writeText(out, "ERROR");
  if (isInfinity(image)) return writeText(out, image.signBit() ? "-INF" : "+INF");

  const int digitLimit = Arithmetic<Real>::maxDigits(base);
  char digits[kDigitBufferSize];
  int count;
  int negative;
  int exponent;
  generateDigitsOf(digits, &count, &negative, &exponent, value, image, base);
  return layoutNumeral(out, digits, count, negative, exponent, base, digitLimit, scientific);
}

}  // namespace

int formatNumeral(char* out, ExtReal value, int base, int* scientific) {
  return formatNumeralIn(out, value, base, scientific);
}

int formatNumeral(char* out, const FastReal& value, int base, int* scientific) {
  return formatNumeralIn(out, value, base, scientific);
}
