#include "numeral/parse.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "numeral/arithmetic.h"
#include "numeral/digit_alphabet.h"
#include "numeric/ext_math.h"
#include "numeric/fast_real.h"

namespace {

// An exponent's magnitude saturates here. Any exponent this large already
// decides the outcome (overflow, or a power that underflows to zero), and it
// keeps the scale far inside the int range that extPow's argument needs.
constexpr long long kExponentCap = 999999999;

// The most negative scale handed to extPow. Every base from 2 up gives a
// power of zero long before this, and base 1 gives 1 for any scale, so the
// clamp only matters for texts of more than a billion fraction digits.
constexpr long long kMinScale = -2000000000;

// Base suffix: '@' then one character, a letter (base 10..35) or a decimal
// digit, optionally followed by a second decimal digit. `suffix` points just
// past the '@'. Writes the base as soon as its first character is known;
// anything after a two-digit base is ignored. Returns 0 for a malformed
// suffix.
int readBaseSuffix(const char* suffix, int* base) {
  int first;
  if (!digitValue(&first, suffix[0], 37)) return 0;
  *base = first;
  if (first >= 10) return suffix[1] == '\0';
  const char next = suffix[1];
  if (next == '\0') return 1;
  if (next < '0' || next > '9') return 0;
  *base = 10 * first + (next - '0');
  return 1;
}

// One mantissa digit: two separate truncating steps, as every digit costs
// exactly one multiply and one add.
template <class Real>
void appendDigit(Real* mantissa, int base, int digit) {
  *mantissa *= Real(base);
  *mantissa += Real(digit);
}

// The mantissa of a numeral in base `base`, digit by digit. For ExtReal
// every digit takes the literal steps on the value itself.
template <class Real>
class Mantissa {
 public:
  Mantissa(Real* value, int base) : value_(value), base_(base) {}
  void append(int digit) { appendDigit(value_, base_, digit); }
  void finish() {}

 private:
  Real* value_;
  int base_;
};

// For FastReal the digits are first gathered in a 64-bit integer. While the
// integer and every step towards it (value * base, then + digit, both
// integers below 2^64) stay below 2^64, each of them has at most 64
// significant bits, so every truncating fmul and fadd of the literal steps
// was exact and the x87 value equals the integer: loading it once gives the
// same bits. Starting from +0, a zero mantissa stays +0 in both. At the
// first step that would pass 2^64 the exact value is loaded and the rest of
// the digits take the literal steps.
// Per base, the largest integer n with n * base + base - 1 < 2^64.
struct ExactBound {
  std::uint64_t of[100];
  constexpr ExactBound() : of() {
    for (int base = 1; base < 100; ++base)
      of[base] = (UINT64_MAX - static_cast<std::uint64_t>(base - 1)) / static_cast<unsigned>(base);
  }
};
constexpr ExactBound kExactBound;

template <>
class Mantissa<FastReal> {
 public:
  // A caller's own base outside 0 to 99 has no bound: every step from a
  // non-zero integer on takes the checked road.
  Mantissa(FastReal* value, int base)
      : value_(value),
        base_(static_cast<unsigned>(base)),
        bound_(base_ < 100 ? kExactBound.of[base_] : 0) {}
  // The parser only appends digits below the base. The common step, small
  // enough to inline into the parser's loops; the rest out of line.
  void append(int digit) {
    if (integer_ <= bound_) {
      integer_ = integer_ * base_ + static_cast<unsigned>(digit);
      return;
    }
    const Steps after = stepBeyondBound({integer_, exact_}, value_, base_, digit);
    integer_ = after.integer;
    exact_ = after.exact;
  }
  // Appends eight binary digits, the bits of `bits` from the most
  // significant, while the integer takes them exactly; false (and nothing
  // appended) otherwise.
  bool appendEightBits(unsigned bits) {
    if ((integer_ >> 56) != 0) return false;
    integer_ = integer_ << 8 | bits;
    return true;
  }
  // Leaves the mantissa in the value; call before the value is read.
  void finish() {
    if (exact_) *value_ = exactValue(integer_);
  }

 private:
  // An integer below 2^64 as the x87 value of equal magnitude: `fild` of a
  // 64-bit integer is exact, +0 for 0. From 2^63 up, n - 2^63 is loaded and
  // 2^63 added, which is exact too as the sum has 64 significant bits.
  static FastReal exactValue(std::uint64_t n) {
    const std::int64_t low = static_cast<std::int64_t>(n & 0x7FFFFFFFFFFFFFFFULL);
    FastReal result = FastReal::fromInt64(low);
    if (n >> 63) result += FastReal(ExtReal::fromBits(0x8000000000000000ULL, 16383 + 63));
    return result;
  }

  // The integer and whether it still holds the mantissa exactly.
  struct Steps {
    std::uint64_t integer;
    bool exact;
  };

  // A step from above the bound: while exact, the integer steps that still
  // fit in 64 bits, then the literal steps on the loaded value. Static, with
  // the state passed and returned by value: the object's address does not
  // escape, so the common step keeps the integer in a register.
  __attribute__((noinline)) static Steps stepBeyondBound(Steps steps, FastReal* value,
                                                         unsigned base, int digit) {
    if (steps.exact) {
      // Both builtins write the wrapped result even when they overflow.
      std::uint64_t scaled, sum;
      if (!__builtin_mul_overflow(steps.integer, std::uint64_t{base}, &scaled) &&
          !__builtin_add_overflow(scaled, static_cast<std::uint64_t>(digit), &sum))
        return {sum, true};
      *value = exactValue(steps.integer);
      // Above every bound from base 2 up: no more integer steps.
      steps = {UINT64_MAX, false};
    }
    appendDigit(value, static_cast<int>(base), digit);
    return steps;
  }

  FastReal* value_;
  unsigned base_;
  std::uint64_t bound_;  // at or below it integer * base + digit stays below 2^64
  std::uint64_t integer_ = 0;
  bool exact_ = true;
};

// The literal negation of a negative numeral's value; for FastReal without
// a branch on the sign.
void applySign(ExtReal* value, bool negative) {
  if (negative) *value = -*value;
}
void applySign(FastReal* value, bool negative) { *value = negatedIf(*value, negative); }

// An accepted numeral too large to hold: the infinity of its sign in the
// result, and the verdict that says so.
template <class Real>
ParseVerdict overflow(Real* result, bool negative) {
  *result = Real(ExtReal::fromBits(0x8000000000000000ULL,
                                   static_cast<std::uint16_t>(ExtFormat::kMaxBiasedExponent |
                                                              (negative ? 0x8000 : 0))));
  return negative ? kParseMinusOverflow : kParsePlusOverflow;
}

// Under rounding toward zero an overflow gives the largest finite value
// instead of an infinity, so a non-negative product that reaches it did not
// fit.
bool isLargestFinite(const ExtReal& value) {
  return value.significand() == UINT64_MAX &&
         value.biasedExponent() == ExtFormat::kMaxBiasedExponent - 1;
}
bool isLargestFinite(const FastReal& value) { return isLargestFinite(value.toExtReal()); }

}  // namespace

int digitValue(int* value, char c, int limit) {
  const int v = digitValueOf(c);
  if (v == kNotADigit) return 0;
  *value = v;
  return v < limit ? 1 : 0;
}

namespace {

// digitValueOf by character code (kNotADigit, which no base admits, for
// every other byte): the loops of the parser look a character up once
// instead of testing three ranges.
struct DigitTable {
  int of[256];
  constexpr DigitTable() : of() {
    for (int c = 0; c < 256; ++c) of[c] = digitValueOf(static_cast<char>(c));
  }
};
constexpr DigitTable kDigitTable;

// The literal steps of an ExtReal mantissa go digit by digit.
template <class Real>
const char* appendBinaryRun(Mantissa<Real>*, const char* p, const char*) {
  return p;
}

// Runs of binary digits, eight at a time: from p, while eight bytes remain
// before end, are all '0' or '1', and the mantissa takes them exactly.
// Returns where the run stops; the digit loops go on from there. Bytes are
// read as little-endian words; other hosts take the loops alone.
const char* appendBinaryRun(Mantissa<FastReal>* mantissa, const char* p, const char* end) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if ((word & (0xFE * kOnes)) != '0' * kOnes) break;
    // Bit 8j (digit j) moves to bit 63 - j: the first digit on top. No two
    // of the 64 partial products share a bit, so nothing carries.
    const unsigned bits = static_cast<unsigned>(((word & kOnes) * 0x8040201008040201ULL) >> 56);
    if (!mantissa->appendEightBits(bits)) break;
  }
#else
  (void)mantissa;
  (void)end;
#endif
  return p;
}

// digitValue(value, c, limit) where only a true result's value is read.
inline bool digitBelow(int* value, char c, int limit) {
  *value = kDigitTable.of[static_cast<unsigned char>(c)];
  return *value < limit;
}

// The parser proper, for both arithmetics (see fast_real.h).
// `at` is the text's first '@', or nullptr when it has none; `end` is the
// text's NUL, or nullptr when not known.
template <class Real>
ParseVerdict parseNumeralIn(Real* result, const char* text, const char* at, const char* end,
                            int* base) {
  *result = Real(0.0);
  if (text[0] == '\0') return kParseRejected;

  // Pass 1: the base suffix, which decides the digits of everything before it.
  if (at != nullptr && !readBaseSuffix(at + 1, base)) return kParseRejected;
  const int radix = *base;

  // Pass 2: the numeral part, from the start of the text up to the '@' or
  // the end. Counts are 64-bit so that no text length can overflow them.
  const char* p = text;
  const bool negative = *p == '-';
  p += negative || *p == '+';

  int digit;
  Mantissa<Real> mantissa(result, radix);
  // Where the digits, the exponent and the suffix can be: before the '@',
  // or the NUL.
  const char* const numeralEnd = at != nullptr ? at : end;
  const bool binaryRuns = radix == 2 && numeralEnd != nullptr;
  const char* const integerStart = p;
  if (binaryRuns) p = appendBinaryRun(&mantissa, p, numeralEnd);
  while (digitBelow(&digit, *p, radix)) {
    mantissa.append(digit);
    ++p;
  }
  const long long integerDigits = p - integerStart;
  long long scale = 0;

  if (*p == '.') {
    ++p;
    if (!digitBelow(&digit, *p, radix)) {
      mantissa.finish();
      return kParseRejected;
    }
    const char* const fractionStart = p;
    if (binaryRuns) p = appendBinaryRun(&mantissa, p, numeralEnd);
    while (digitBelow(&digit, *p, radix)) {
      mantissa.append(digit);
      ++p;
    }
    scale = fractionStart - p;
  }
  mantissa.finish();

  // Where 'e' and 'E' are digits (bases 15 and up) the loops above have
  // consumed them, so only '_' can reach this test there.
  if (*p == 'e' || *p == 'E' || *p == '_') {
    ++p;
    const bool negativeExponent = *p == '-';
    p += negativeExponent;
    p += *p == '+';
    if (!digitBelow(&digit, *p, radix)) return kParseRejected;
    long long exponent = 0;
    do {
      exponent = exponent * radix + digit;
      if (exponent > kExponentCap) exponent = kExponentCap;
      ++p;
    } while (digitBelow(&digit, *p, radix));
    scale += negativeExponent ? -exponent : exponent;
  }

  if (*p != '\0' && *p != '@') return kParseRejected;

  // The guard counts digit positions in the input base, whatever the base.
  if (scale + integerDigits > kMaxDigitPositions) return overflow(result, negative);

  if (scale < kMinScale) scale = kMinScale;
  const int power = static_cast<int>(scale);
  // From base 2 up the power for a scale of 0 is exactly 1 (0 * log2(base)
  // is 0, and 2^0 is 1 in every step of extPow), and a finite value times 1
  // is itself, so the fast path skips the multiplication.
  if (!(std::is_same<Real, FastReal>::value && power == 0 && radix >= 2))
    *result *= Arithmetic<Real>::power(radix, power);
  // Bases above 10 can pass the guard and still exceed the extended range.
  // (A zero mantissa gives zero whatever the power, so it never lands here.)
  if (isLargestFinite(*result)) return overflow(result, negative);
  applySign(result, negative);
  return kParseValue;
}

}  // namespace

ParseVerdict parseNumeral(ExtReal* result, const char* text, int* base) {
  return parseNumeralIn(result, text, std::strchr(text, '@'), nullptr, base);
}

ParseVerdict parseNumeral(FastReal* result, const char* text, int* base) {
  return parseNumeralIn(result, text, std::strchr(text, '@'), nullptr, base);
}

ParseVerdict parseNumeralWithSuffixAt(FastReal* result, const char* text, std::size_t length,
                                      const char* suffix, int* base) {
  return parseNumeralIn(result, text, suffix, text + length, base);
}
