// Raw 10-byte ExtReal images (every NaN, infinity, denormal, pseudo-denormal
// and unnormal encoding included) and a base 0..40 through generateDigits
// and formatNumeral; normal values must also survive the round trip through
// text in the same base. The exact expansion of every finite image is a
// well-formed scientific numeral that lies 0 ulps from the image when it is
// complete and less than one ulp toward zero when it was cut; a power-of-two
// base always gives it complete, a fraction in an odd base never does.
//   bytes 0-9: the image; byte 10: base (mod 41); byte 11: bit 0 scientific.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "fuzz/json_check.h"
#include "numeral/digits.h"
#include "numeral/exact.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"

namespace {

constexpr int kDigitBuffer = 64;  // enough for base 2, the longest
constexpr int kGuard = 32;
constexpr unsigned char kPoison = 0x5A;

int clampBase(int base) { return base < 2 ? 2 : (base > 36 ? 36 : base); }

void checkDigits(const ExtReal& value, int base) {
  unsigned char buffer[kGuard + kDigitBuffer + kGuard];
  std::memset(buffer, kPoison, sizeof buffer);
  char* digits = reinterpret_cast<char*>(buffer + kGuard);
  int count = -1, negative = -1, exponent = 0;
  generateDigits(digits, &count, &negative, &exponent, value, base);
  const int effectiveBase = clampBase(base);
  const int limit = maxDigits(effectiveBase);
  for (int i = 0; i < kGuard; ++i) FUZZ_CHECK(buffer[i] == kPoison);
  for (int i = kGuard + limit; i < static_cast<int>(sizeof buffer); ++i)
    FUZZ_CHECK(buffer[i] == kPoison);
  FUZZ_CHECK(count >= 1 && count <= limit - 1);
  FUZZ_CHECK(negative == 0 || negative == 1);
  for (int i = 0; i < count; ++i) FUZZ_CHECK(fuzzcheck::digitOf(digits[i]) < effectiveBase);
  FUZZ_CHECK(digits[count] == '\0');
}

bool isFinite(const ExtReal& v) { return v.biasedExponent() != 0x7FFF; }

// Relative difference |a - b| / |a| as a double, for a nonzero normal a.
double relativeDifference(const ExtReal& a, const ExtReal& b) {
  ExtReal difference = (a - b) / a;
  if (difference < ExtReal(0)) difference = -difference;
  return toDouble(difference);
}

void checkRoundTrip(const ExtReal& value, int base) {
  // Normal values far enough above the subnormal range that the parser's own
  // power of the base stays normal; the integer bit must be set (no unnormals).
  if (!isFinite(value) || value.biasedExponent() < 70 || !(value.significand() >> 63)) return;
  char text[kFormatBufferSize];
  int scientific = 1;
  formatNumeral(text, value, base, &scientific);
  int parseBase = base;
  ExtReal back;
  const ParseVerdict verdict = parseNumeral(&back, text, &parseBase);
  FUZZ_CHECK(verdict != kParseRejected);
  if (verdict != kParseValue) return;  // the guard declines the text
  const double bound = 1.0 / (1ULL << 45);
  const double difference = relativeDifference(value, back);
  if (!(difference <= bound)) {
    std::fprintf(stderr, "round trip of %s in base %d: relative difference %g\n", text, base,
                 difference);
    FUZZ_CHECK(difference <= bound);
  }
}

void checkExact(const ExtReal& value, int base, const char* text) {
  const StoredClass kind = classifyStored(value);
  char distance[64];
  if (kind == kStoredInfinity || kind == kStoredNotANumber) {
    FUZZ_CHECK(!formatUlpDistance(distance, sizeof distance, "1", base, value));
    return;
  }
  char exact[kExactTextSize + kGuard];
  std::memset(exact, static_cast<char>(kPoison), sizeof exact);
  const bool complete = formatExactValue(exact, value, base);
  for (std::size_t i = kExactTextSize; i < sizeof exact; ++i)
    FUZZ_CHECK(exact[i] == static_cast<char>(kPoison));
  FUZZ_CHECK(std::memchr(exact, '\0', kExactTextSize) != nullptr);
  FUZZ_CHECK(fuzzcheck::isWellFormedNumeral(exact, base, 1));
  if ((base & (base - 1)) == 0) FUZZ_CHECK(complete);
  const int q = lastPlaceExponent(value);
  const bool hasFraction =
      value.significand() != 0 && q < 0 && (q <= -64 || (value.significand() << (64 + q)) != 0);
  if (base % 2 == 1 && hasFraction) FUZZ_CHECK(!complete);

  FUZZ_CHECK(formatUlpDistance(distance, sizeof distance, exact, base, value));
  FUZZ_CHECK(fuzzcheck::isJsonNumber(distance));
  if (complete) {
    FUZZ_CHECK(std::strcmp(distance, "0") == 0);
  } else {
    // Cut toward zero: opposite in sign to the value, and far below one ulp.
    FUZZ_CHECK((distance[0] == '-') == !value.signBit());
    FUZZ_CHECK(std::strchr(distance, 'e') != nullptr);
  }
  // The formatted text has a distance too, unless it is no numeral of the
  // base: "+INF" never is, "-INF" is one from base 24 up and "ERROR" (an
  // unnormal's text) from base 28 up.
  bool hasValue = true;
  if (std::strcmp(text, "+INF") == 0) hasValue = false;
  if (std::strcmp(text, "-INF") == 0) hasValue = base >= 24;
  if (std::strcmp(text, "ERROR") == 0) hasValue = base >= 28;
  FUZZ_CHECK(formatUlpDistance(distance, sizeof distance, text, base, value) == hasValue);
  if (hasValue) FUZZ_CHECK(fuzzcheck::isJsonNumber(distance));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return 0;
  std::uint64_t significand;
  std::uint16_t signAndExponent;
  std::memcpy(&significand, data, 8);
  std::memcpy(&signAndExponent, data + 8, 2);
  const ExtReal value = ExtReal::fromBits(significand, signAndExponent);
  const int base = data[10] % 41;
  checkDigits(value, base);
  if (base < 2 || base > 36) return 0;

  char text[kFormatBufferSize + kGuard];
  std::memset(text, static_cast<char>(kPoison), sizeof text);
  int scientific = data[11] & 1;
  formatNumeral(text, value, base, &scientific);
  FUZZ_CHECK(std::memchr(text, '\0', kFormatBufferSize) != nullptr);
  for (int i = kFormatBufferSize; i < kFormatBufferSize + kGuard; ++i)
    FUZZ_CHECK(text[i] == static_cast<char>(kPoison));
  if (std::strcmp(text, "ERROR") != 0 && std::strcmp(text, "+INF") != 0 &&
      std::strcmp(text, "-INF") != 0)
    FUZZ_CHECK(fuzzcheck::isWellFormedNumeral(text, base, scientific));
  checkRoundTrip(value, base);
  checkExact(value, base, text);
  return 0;
}
