#include "numeral/digits.h"

#include <cstdint>
#include <cstring>

#include "numeral/arithmetic.h"
#include "numeral/digit_alphabet.h"
#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/ext_math.h"
#include "numeric/wide_int.h"

namespace {

constexpr std::uint16_t kSignMask = 0x8000;

// A subnormal is significand * 2^-kSubnormalPoint; a normal value with biased
// exponent E is significand * 2^-(kSubnormalPoint + 1 - E).
constexpr int kSubnormalPoint = ExtFormat::kExponentBias - 1 + ExtFormat::kSignificandBits - 1;

// ---------------------------------------------------------------------------
// Exact conversion of the smallest values.
//
// Near the bottom of the range the power base^exponent that the floating
// scaling divides by is itself subnormal (or zero), and extPow's error grows
// with the size of the exponent anyway. There the value significand * 2^-point
// is multiplied by base^k in integers until its integer part (the bits at and
// above `point`) is a first digit, and the digits are then peeled off exactly.

// Room for significand * base^k below base * 2^kSubnormalPoint, with margin.
using Wide = WideInt<(kSubnormalPoint + 64) / 64 + 1>;

// Writes the first n digit values of significand * 2^-point in base into
// digits[0 .. n-1] and returns the exponent of the first one. Requires a
// non-zero significand and a value below 1 (point >= 64).
int exactDigits(char* digits, int n, std::uint64_t significand, int point, int base) {
  Wide x(significand);
  // Past the leading zeros (x stays below 2^point, so the first digit is
  // never overshot), then one step more brings the first digit, 1 .. base-1,
  // above the point.
  const int scale = scalePastLeadingZeros(&x, point, base) + 1;
  x.multiplyAdd(static_cast<std::uint64_t>(base));

  for (int i = 0; i < n; ++i) {
    digits[i] = static_cast<char>(x.bitsFrom(point));
    x.clearFrom(point);
    x.multiplyAdd(static_cast<std::uint64_t>(base));
  }
  return -scale;
}

// How many digits (the guard included) a subnormal's significand supports:
// the count that 64 bits give, toInt(log_base(2^64)), scaled down to its
// significant bits, and at least one kept digit and the guard.
int digitsForSubnormal(std::uint64_t significand, int base) {
  int bits = 0;
  for (std::uint64_t s = significand; s != 0; s >>= 1) ++bits;
  const ExtReal twoPowBits = packImage(false, 1, bits);
  const int n = toInt(extLogBase(ExtReal(base), twoPowBits));
  return n < 2 ? 2 : n;
}

// ---------------------------------------------------------------------------

std::uint64_t loadWord(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, 8);
  return word;
}

void storeWord(char* at, std::uint64_t word) { std::memcpy(at, &word, 8); }

// Step 14 on the eight digits at `at`, of which the first `kept` (1 to 8)
// are kept and the rest are 0 and stay 0. Where all eight are values 0 to
// 35, adding 0x76 to a byte sets its top bit exactly for 10 to 35 and
// carries into no other byte, so each byte becomes v + '0', plus 7 ('A' -
// '0' - 10) from 10 up, as digitCharacter makes it. Any other byte (a stray
// value the literal loop can store for an out-of-range start) takes
// digitCharacter itself.
void convertWord(char* at, int kept) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  const std::uint64_t word = loadWord(at);
  if ((((word & (0x7F * kOnes)) + 0x5C * kOnes) | word) & (0x80 * kOnes)) {
    for (int k = 0; k < kept; ++k) at[k] = digitCharacter(at[k]);
    return;
  }
  const std::uint64_t keep = kept == 8 ? ~0ULL : (std::uint64_t{1} << (8 * kept)) - 1;
  const std::uint64_t letters = ((word + 0x76 * kOnes) >> 7) & kOnes;
  storeWord(at, (word + 0x30 * kOnes + 7 * letters) & keep);
}

// Step 14 on n digit values of which the first `kept` are kept and the rest
// are 0: eight digits at a time while eight remain in the n positions.
// Digits from kept on are 0 already and are left alone.
__attribute__((always_inline)) inline void writeCharacters(char* digits, int n, int kept) {
  int i = 0;
  for (; i + 8 <= kept; i += 8) convertWord(digits + i, 8);
  if (i < kept && i + 8 <= n) {
    convertWord(digits + i, kept - i);
  } else {
    for (; i < kept; ++i) digits[i] = digitCharacter(digits[i]);
  }
}

// Steps 9 to 14: rounds digit values 0 .. n-2 on the guard digit n-1, drops
// trailing zeros and turns the kept values into characters.
void roundDigits(char* digits, int n, int base, int* exponent, int* count) {
  // Step 9: a guard digit of exactly base / 2 truncates.
  const int roundUp = digits[n - 1] > base / 2;
  // Step 10: the guard position becomes the terminator.
  digits[n - 1] = 0;
  // Step 11. The carry nearly always stops at the last kept digit: that case
  // adds roundUp without a branch on it.
  int carry = roundUp;
  if (n >= 2 && digits[n - 2] + roundUp < base) {
    digits[n - 2] = static_cast<char>(digits[n - 2] + roundUp);
    carry = 0;
  }
  for (int i = n - 2; carry && i >= 0; --i) {
    if (digits[i] >= base - 1) {
      digits[i] = 0;
    } else {
      digits[i] = static_cast<char>(digits[i] + 1);
      carry = 0;
    }
  }
  // Step 12: every kept digit was base - 1 and is now 0.
  if (carry) {
    for (int i = n - 1; i > 0; --i) digits[i] = digits[i - 1];
    digits[0] = 1;
    *exponent += 1;
  }
  // Step 13. The first digit is never 0 here; the floor of 1 only keeps the
  // formatter's promise of at least one digit for any input. Most often the
  // last kept digit is not 0, which one byte tells: the digits were just
  // stored byte by byte, and a wider load would wait for those stores.
  // Otherwise the scan runs over all n digits, eight at a time, and keeps
  // the last non-zero one by selection rather than by an exit that depends
  // on the digits.
  int kept = 1;
  if (n >= 2 && digits[n - 2] != 0) {
    kept = n - 1;
  } else {
    const int words = n / 8;
    for (int w = 0; w < words; ++w) {
      const std::uint64_t word = loadWord(digits + 8 * w);
      // Little-endian: the highest non-zero byte is the last non-zero digit.
      const int last = 8 * w + (63 - __builtin_clzll(word | 1)) / 8 + 1;
      kept = word != 0 ? last : kept;
    }
    for (int i = 8 * words; i < n; ++i) kept = digits[i] != 0 ? i + 1 : kept;
  }
  writeCharacters(digits, n, kept);
  *count = kept;
}

void writeZero(char* digits, int* count, int* exponent) {
  digits[0] = '0';
  digits[1] = '\0';
  *exponent = 0;
  *count = 1;
}

// Images the arithmetic would misread become the finite value they stand
// for: an infinity saturates to the largest finite value (as an overflowing
// operation would give), and a pseudo-denormal, which the x87 reads with
// exponent 1, is written with that exponent.
ExtReal finiteImage(ExtReal value) {
  const std::uint16_t sign = value.signAndExponent() & kSignMask;
  if (isInfinity(value))
    return ExtReal::fromBits(
        ~0ULL, static_cast<std::uint16_t>(sign | (ExtFormat::kMaxBiasedExponent - 1)));
  if (classifyImage(value) == ImageClass::kPseudoDenormal)
    return packImage(sign != 0, value.significand(), 1 - ExtFormat::kExponentBias - 63);
  return value;
}

}  // namespace

namespace {

// Steps 2 and 3 on a value that is not a NaN, image its image: sets
// *negative and makes value |value| when it is below zero (-0 is not), then
// returns 1 for a zero. The literal comparisons and negation for ExtReal.
int takeSign(ExtReal* value, const ExtReal&, int* negative) {
  if (*value < ExtReal(0)) {
    *negative = 1;
    *value = -*value;
  }
  return *value == ExtReal(0.0);
}

// For FastReal the same from the image's bits: below zero exactly when the
// sign bit is set and the value is not a zero, and a zero exactly when
// exponent and significand are 0 (a denormal is not; pseudo-denormals and
// NaNs never get here). Then 0 - value is |value|, which `fabs` gives
// without a branch; it also turns -0 into +0, which only ever goes on to the
// zero test.
int takeSign(FastReal* value, const ExtReal& image, int* negative) {
  const int zero = image.biasedExponent() == 0 && image.significand() == 0;
  *negative = image.signBit() && !zero;
  *value = magnitudeOf(*value);
  return zero;
}

// Steps 1 to 14, for both arithmetics.
// image is imageOf(value).
template <class Real>
void generateDigitsIn(char* digits, int* count, int* negative, int* exponent, Real value,
                      const ExtReal& image, int base) {
  // Step 1.
  *negative = 0;
  if (base < kMinBase) base = kMinBase;
  if (base > kMaxBase) base = kMaxBase;

  if (isNotANumber(image)) {
    writeZero(digits, count, exponent);
    return;
  }
  // finiteImage changes only infinities and pseudo-denormals, both outside
  // the normal exponents; reloading an unchanged image would give the value
  // it came from.
  const int biased = image.biasedExponent();
  const bool mayChange = biased == 0 || biased == ExtFormat::kMaxBiasedExponent;
  const ExtReal finite = mayChange ? finiteImage(image) : image;
  if (mayChange && std::memcmp(finite.bytes(), image.bytes(), ExtFormat::kBytes) != 0)
    value = Real(finite);

  // Steps 2 and 3.
  if (takeSign(&value, finite, negative)) {
    writeZero(digits, count, exponent);
    return;
  }

  int e;
  const int digitCount = Arithmetic<Real>::maxDigits(base);
  int kept;
  if (Arithmetic<Real>::roundedPowerOfTwoBaseDigits(digits, digitCount, finite, &e, &kept, base)) {
    writeCharacters(digits, digitCount, kept);
    *count = kept;
    *exponent = e;
    return;
  }

  // Step 4: truncation toward zero rounds a negative logarithm up, hence the
  // -1; the corrections below repair an estimate that is one off.
  e = Arithmetic<Real>::logBaseTruncated(base, value);
  if (e < 0) e -= 1;

  const Real power = Arithmetic<Real>::power(base, e);
  const int subnormal = finite.biasedExponent() == 0;
  int n;
  if (!subnormal && imageOf(power).biasedExponent() != 0) {
    const Real b(base);
    // Step 5.
    value = value / power;
    // Step 6: once in each direction, in this order.
    if (value >= b) {
      value /= b;
      e += 1;
    }
    if (value < Real(1)) {
      value *= b;
      e -= 1;
    }
    // Step 7.
    n = digitCount;
    // Step 8: subtract the digit, then multiply.
    Arithmetic<Real>::extractDigits(digits, n, &value, b, base);
  } else {
    const int point = subnormal ? kSubnormalPoint : kSubnormalPoint + 1 - finite.biasedExponent();
    n = subnormal ? digitsForSubnormal(finite.significand(), base) : digitCount;
    e = exactDigits(digits, n, finite.significand(), point, base);
  }

  roundDigits(digits, n, base, &e, count);
  *exponent = e;
}

}  // namespace

void generateDigits(char* digits, int* count, int* negative, int* exponent, ExtReal value,
                    int base) {
  generateDigitsIn(digits, count, negative, exponent, value, value, base);
}

void generateDigits(char* digits, int* count, int* negative, int* exponent, FastReal value,
                    int base) {
  generateDigitsIn(digits, count, negative, exponent, value, value.toExtReal(), base);
}

void generateDigits(char* digits, int* count, int* negative, int* exponent, FastReal value,
                    const ExtReal& image, int base) {
  generateDigitsIn(digits, count, negative, exponent, value, image, base);
}
