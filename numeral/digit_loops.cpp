// The digit generator's shortcuts for FastReal: the exponent estimate in
// double arithmetic, and the digit loop on the significand's bits. Each
// gives the bits of the literal steps it replaces, on the unit and on the
// software instructions alike (see the argument at each).
#include <cstdint>
#include <cstring>

#include "numeral/arithmetic.h"
#include "numeral/digit_alphabet.h"
#include "numeral/digit_words.h"
#include "numeral/log2_middles.h"
#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/ext_math.h"
#include "numeric/product_128.h"
#include "numeric/thread_tables.h"

namespace {

// log2 in double arithmetic on [1, 2), for the estimate below: x = c (1 + r)
// with c the middle of one of 64 equal parts of [1, 2), so |r| < 2^-7, and
// log2(1 + r) by its series to r^5. The series' remainder is below
// |r|^6 / (6 ln 2) < 5.6e-14; the table (extLog2 rounded toward zero to
// double, numeral/log2_middles.h), the quotient r and the polynomial add a
// few 1e-16 more. So the result is within 1e-13 of log2(x).
struct Log2Table {
  double inverseOfMiddle[kLog2Middles];
  constexpr Log2Table() : inverseOfMiddle() {
    for (int i = 0; i < kLog2Middles; ++i) inverseOfMiddle[i] = 1.0 / log2Middle(i);
  }
};
constexpr Log2Table kLog2Table;

double log2Near(double x) {
  const int i = static_cast<int>((x - 1.0) * kLog2Middles);
  const double r = (x - log2Middle(i)) * kLog2Table.inverseOfMiddle[i];
  constexpr double kInverseLn2 = 1.4426950408889634074;
  const double series = r * (1.0 + r * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * 0.2))));
  return kLog2OfMiddle[i] + series * kInverseLn2;
}

}  // namespace

// Why the estimate gives toInt(extLog2(x) / log2(base)) exactly.
// x = m * 2^(E - 63) with m its 64-bit significand, so log2(x) = E +
// log2(m / 2^63). m / 2^63 cut to 53 bits is within 2^-52 (relative) of it,
// which moves its logarithm by less than 3.3e-16, and log2Near adds less
// than 1e-13. The quotient by log2(base) is formed as E / L + t / L, with
// t that logarithm of m / 2^63 and L the same truncated logarithm of the
// base the literal steps divide by
// (cut to double, 2.2e-16 relative), which with the roundings of the
// double operations stays within 1e-11 of log2(x) / L for |E| < 16400. The
// literal quotient is within 2.5 units in the last place of the 64-bit
// significand of that same value: `fyl2x` is within 1.5 of them when not
// rounding to nearest (as documented for the x87 since the Pentium; the
// software instruction, the exact result cut toward zero, is within one) and
// the truncating `fdiv` adds less than one, that is below 5e-15 for
// quotients up to 16400. So both lie within 2e-11 of each other, and
// whenever the estimate lies more than 1e-9 from every integer, both
// truncate toward zero to the same int. The double operations here are the
// target's own IEEE ones, rounding to nearest; the argument needs nothing
// else of them.
// Otherwise, and for zeros, subnormals, non-finite images and bases outside
// 2..36, the caller takes the literal steps.
bool Arithmetic<FastReal>::logBaseEstimate(int base, FastReal x, int* estimate) {
  if (base < kMinBase || base > kMaxBase) return false;
  const ExtReal image = x.toExtReal();
  if (image.signBit() || !isNormalImage(image)) return false;
  const int biased = image.biasedExponent();
  const std::uint64_t significand = image.significand();
  thread_local double inverseLog2OfBase[kMaxBase + 1];
  if (inverseLog2OfBase[base] == 0)
    inverseLog2OfBase[base] = 1.0 / toDouble(cachedLog2OfBase(base).toExtReal());
  const double inverse = inverseLog2OfBase[base];
  // m / 2^63 in [1, 2), cut to 53 bits: exact in double.
  const double fraction = static_cast<double>(significand >> 11) * 0x1p-52;
  const double quotient =
      (biased - ExtFormat::kExponentBias) * inverse + log2Near(fraction) * inverse;
  // Floors by truncation of positive numbers: |quotient| < 16448.
  constexpr double kMargin = 1e-9;
  constexpr int kOffset = 32768;
  const int below = static_cast<int>(quotient - kMargin + kOffset) - kOffset;
  if (below != static_cast<int>(quotient + kMargin + kOffset) - kOffset) return false;
  // No integer within the margin: truncation toward zero is the floor from
  // 0 up and the floor plus one below 0.
  *estimate = quotient > 0 ? below : below + 1;
  return true;
}

int Arithmetic<FastReal>::logBaseRemembered(int base, FastReal x) {
  struct Entry {
    std::uint64_t significand;
    std::uint16_t signAndExponent;
    std::int32_t base;  // 0: empty
    int result;
  };
  const ExtReal image = x.toExtReal();
  Entry* const table = ThreadTables<Entry, 256, 4>::ofThisThread();
  if (table == nullptr) return toInt(logBase(base, x));
  const std::uint64_t significand = image.significand();
  const std::uint16_t signAndExponent = image.signAndExponent();
  const std::uint64_t mixed = (significand ^ (significand >> 29) ^ signAndExponent) *
                              0x9E3779B97F4A7C15ULL;
  Entry& entry = table[((mixed >> 56) ^ static_cast<unsigned>(base)) & 255];
  if (entry.base != base || entry.significand != significand ||
      entry.signAndExponent != signAndExponent)
    entry = {significand, signAndExponent, base, toInt(logBase(base, x))};
  return entry.result;
}

namespace {

// The digit loop for base 2^bits (bits 1 to 5) on a value in [1, base),
// value = significand * 2^(exponent - 63) with 0 <= exponent < bits: every
// step is exact there. The integer part of a value below 2^bits is a digit
// below 32, which the 8-bit store keeps; subtracting it leaves the fraction
// bits, exactly; multiplying a fraction by 2^bits only moves the exponent,
// and no value in the loop comes near the ends of the range. So digit i is
// the i-th group of `bits` bits of the binary expansion from the integer
// part on, zeros past the significand's last bit, and the value left after n
// steps is the bits below the last digit, moved up by one digit, or +0 when
// there are none (x - x and 0 * base give +0). Returns that value. n >= 1.
ExtReal powerOfTwoDigits(char* digits, int n, std::uint64_t significand, int exponent, int bits) {
  // The expansion in a 128-bit window whose top `bits` bits are digit 0;
  // past the window it is zeros, as the significand ends 60 or more bits
  // above the window's end.
  // (Built from its halves, as the WebAssembly build has no 128-bit shift
  // of its own.)
  const int shift = 65 - bits + exponent;  // 60 .. 64
  const std::uint64_t words[2] = {shift == 64 ? significand : significand >> (64 - shift),
                                  shift == 64 ? 0 : significand << shift};
  const unsigned __int128 window = static_cast<unsigned __int128>(words[0]) << 64 | words[1];
  const int inWindow = n < 128 / bits ? n : 128 / bits;
  int i = 0;
  if (bits == 1) {
    for (; i + 8 <= inWindow; i += 8) {
      const std::uint64_t spread = kBitSpread.of[(words[i / 64] >> (56 - i % 64)) & 0xFF];
      storeDigitWord(digits + i, spread);
    }
  } else if (bits == 4) {
    for (; i + 8 <= inWindow; i += 8) {
      const std::uint64_t spread =
          spreadNibbles(static_cast<std::uint32_t>(words[i / 16] >> (32 - 4 * (i % 16))));
      storeDigitWord(digits + i, spread);
    }
  }
  const unsigned mask = (1u << bits) - 1;
  for (; i < inWindow; ++i)
    digits[i] = static_cast<char>(shiftedLow(window, 128 - bits * (i + 1)) & mask);
  if (n > i) std::memset(digits + i, 0, static_cast<std::size_t>(n - i));

  // The bits below the last digit: the low `below` bits of the significand.
  const int below = 63 - exponent - bits * (n - 1);
  if (below <= 0) return ExtReal::fromBits(0, 0);
  const std::uint64_t rest = significand & ((std::uint64_t{1} << below) - 1);
  // rest * 2^-below is the fraction; times 2^bits, exactly.
  return packImage(false, rest, bits - below);
}

// The digit loop on a value from 1 to 2^7, value = fraction * 2^-point with
// 57 <= point <= 63, in fixed point. Once its digit is taken the fraction is
// below 2^point, and the exact product by the base, fraction * base *
// 2^-point, fits the 64-bit significand whole while fraction * base < 2^64:
// then the truncating fmul drops nothing and the point stays. Otherwise fmul
// keeps the top 64 bits of the product, that is floor(product / 2^s) with s
// its bits beyond 64, and the point moves down by s. Either way this is the
// value fmul gives; normalising its significand would change no value, so it
// is left out and each step is one multiplication on the critical path. The
// value stays below base < 2^8, so a 64-bit fraction from a truncation has
// point > 55, and every shift below stays in range. Returns false, having
// written digits but not *value, for a digit the 8-bit store would not keep.
// The value fraction * 2^-point (below 2^64 * 2^-point) in the register
// format, or +0.
FastReal fixedPointValue(std::uint64_t fraction, int point) {
  return FastReal(packImage(false, fraction, -point));
}

// The rest of fixedPointDigits once base * 2^point <= 2^64, for a base of 3
// to 36: then a fraction below 2^point times the base stays below 2^64, so
// no step ever truncates and the point never moves again, and the steps are
// the exact expansion of fraction * 2^-point. Held as the 64-bit fraction x
// = fraction * 2^(64 - point) of the value's fractional part, a step is one
// product: x * base = digit * 2^64 + x', the high word the digit and the low
// word the next x. Two steps are one product by base^2: x * base^2 = (d1 *
// base + d2) * 2^64 + x'' with d1, d2 the two digits, since d2 < base. d1
// is the high word times ceil(2^32 / base), over 2^32: exact for a high word
// below 2^14, whose quotient by the base has a fractional part at most 1 -
// 1/36, to which the reciprocal's error adds less than 2^-18. The first
// digit, fraction >> point, is below 2^7 (the value is below 2^7) and the
// others below the base, so the 8-bit store keeps them all; after the last
// digit the value is the last product's fraction * base * 2^-point, +0 when
// it is 0, as in the literal loop where a zero stays zero.
void alignedDigits(char* digits, int n, std::uint64_t fraction, int point, int base,
                   FastReal* value) {
  digits[0] = static_cast<char>(fraction >> point);
  std::uint64_t x = (fraction & ((std::uint64_t{1} << point) - 1)) << (64 - point);
  const unsigned square = static_cast<unsigned>(base * base);
  const std::uint64_t reciprocal =
      ((std::uint64_t{1} << 32) + static_cast<unsigned>(base) - 1) / static_cast<unsigned>(base);
  int i = 1;
  for (; i + 2 <= n; i += 2) {
    const Product128 product = multiplySmall(x, square);
    const std::uint64_t pair = product.high;
    const std::uint64_t first = (pair * reciprocal) >> 32;
    digits[i] = static_cast<char>(first);
    digits[i + 1] = static_cast<char>(pair - first * static_cast<unsigned>(base));
    x = product.low;
  }
  if (i < n) {
    const Product128 product = multiplySmall(x, static_cast<unsigned>(base));
    digits[i] = static_cast<char>(product.high);
    x = product.low;
  }
  // The fraction after the last digit's subtraction and product.
  const Product128 product = multiplySmall(x, static_cast<unsigned>(base));
  const std::uint64_t integer = product.high;
  const std::uint64_t below = product.low >> (64 - point);
  *value = fixedPointValue((integer << point) | below, point);
}

bool fixedPointDigits(char* digits, int n, std::uint64_t fraction, int point, int base,
                      FastReal* value) {
  // The largest point with base * 2^point <= 2^64, for the bases of
  // alignedDigits.
  const int stablePoint =
      base >= 3 && base <= kMaxBase ? 64 - (64 - __builtin_clzll(static_cast<unsigned>(base - 1))) : -1;
  int i = 0;
  for (; i < n; ++i) {
    if (point <= stablePoint && fraction >> point <= 127) {
      alignedDigits(digits + i, n - i, fraction, point, base, value);
      return true;
    }
    const std::uint64_t digit = fraction >> point;
    if (digit > 127) return false;
    digits[i] = static_cast<char>(digit);
    fraction &= (std::uint64_t{1} << point) - 1;
    const Product128 product = multiplySmall(fraction, static_cast<unsigned>(base));
    if (product.high == 0) {
      fraction = product.low;
    } else {
      const int dropped = 64 - __builtin_clzll(product.high);
      fraction = shiftedDown(product, dropped);
      point -= dropped;
    }
    // (0 - 0) * base is +0, and every later digit 0.
    if (fraction == 0) break;
  }
  if (i < n) {
    std::memset(digits + i + 1, 0, static_cast<std::size_t>(n - i - 1));
    *value = FastReal(ExtReal::fromBits(0, 0));
    return true;
  }
  *value = fixedPointValue(fraction, point);
  return true;
}

}  // namespace

namespace {

// floor(n / bits) for bits 1 to 5 and |n| < 2^15, by a constant divisor
// each (a product, not a division instruction): n plus a multiple of bits
// that makes it positive, divided, less that multiple's quotient.
int floorDivide(int n, int bits) {
  constexpr unsigned kOffset = 1u << 15;
  const unsigned shifted = static_cast<unsigned>(n) + kOffset * static_cast<unsigned>(bits);
  unsigned quotient;
  switch (bits) {
    case 1:
      quotient = shifted;
      break;
    case 2:
      quotient = shifted / 2;
      break;
    case 3:
      quotient = shifted / 3;
      break;
    case 4:
      quotient = shifted / 4;
      break;
    default:
      quotient = shifted / 5;
      break;
  }
  return static_cast<int>(quotient - kOffset);
}

}  // namespace

// Why the digits of a value in base b = 2^k are bit copies. Let v = m *
// 2^(E - 63) be normal and F = floor(E / k), so b^F <= v < b^(F+1), the
// true floor of log_b(v). The literal estimate (toInt of fyl2x(v) /
// log2(b), less 1 below 0) lies within one of F: fyl2x and the truncating
// division are off by a few units in the last place, which can only move
// the quotient across the integer next to it. extPow(b, e) is exactly 2^(k
// e) while k e is an integer of the normal range (extExp2 of an integer is
// exact there), so when k (F - 1) >= -16382 and k (F + 1) <= 16383 the
// power of every possible estimate is normal and exact, the quotient v /
// b^e lies in [1/b, b^2), is normal and so exact, and the two corrections,
// exact multiplications and divisions by b, bring it to v / b^F in [1, b)
// with exponent F whatever the estimate was. That value is m * 2^(E - k F
// - 63) with 0 <= E - k F < k, and its digit loop is powerOfTwoDigits.
//
// With n * bits <= 64 the n digits of powerOfTwoDigits, groups of `bits`
// bits of the expansion from the top, all lie in the window's top 64 bits:
// the n - 1 kept digits are one integer K and the guard digit the group
// below it. Rounding up adds 1 to the last kept digit and carries as K + 1
// does; a carry out of the first digit (every kept digit base - 1) leaves
// the digits 1, 0, ..., 0 and the exponent one up. The trailing zero digits
// are K's trailing zero bits over `bits`, and K is never 0 (its first digit
// is the integer part of a value from 1 up).
bool Arithmetic<FastReal>::roundedPowerOfTwoBaseDigits(char* digits, int n, const ExtReal& image,
                                                       int* e, int* kept, int base) {
  if (base < 2 || base > 32 || (base & (base - 1)) != 0 || n < 2) return false;
  if (!isNormalImage(image)) return false;
  const int biased = image.biasedExponent();
  const std::uint64_t significand = image.significand();
  const int bits = __builtin_ctz(static_cast<unsigned>(base));
  if (n * bits > 64) return false;
  // The argument needs log2(base) to be exactly bits, which `fyl2x` gives for
  // these powers of two; checked once per thread and base all the same.
  thread_local signed char exactLogarithm[33];
  if (exactLogarithm[base] == 0) {
    const int bitsValue = bits;
    const ExtReal exact = ExtReal(bitsValue);
    const ExtReal cached = cachedLog2OfBase(base).toExtReal();
    exactLogarithm[base] =
        std::memcmp(exact.bytes(), cached.bytes(), ExtFormat::kBytes) == 0 ? 1 : -1;
  }
  if (exactLogarithm[base] < 0) return false;
  const int exponent = biased - ExtFormat::kExponentBias;
  int first = floorDivide(exponent, bits);
  if (bits * (first - 1) < 1 - ExtFormat::kExponentBias ||
      bits * (first + 1) > ExtFormat::kExponentBias)
    return false;
  // The window of powerOfTwoDigits: the significand moved up by shift.
  const int shift = 65 - bits + exponent - bits * first;  // 60 .. 64
  const std::uint64_t top = shift == 64 ? significand : significand >> (64 - shift);
  const int keptBits = (n - 1) * bits;
  const unsigned mask = (1u << bits) - 1;
  std::uint64_t integer = top >> (64 - keptBits);
  const unsigned guard = static_cast<unsigned>(top >> (64 - n * bits)) & mask;
  integer += guard > static_cast<unsigned>(base / 2) ? 1 : 0;
  if ((integer >> keptBits) != 0) {
    integer = std::uint64_t{1} << (keptBits - bits);
    first += 1;
  }
  *kept = n - 1 - floorDivide(__builtin_ctzll(integer), bits);
  *e = first;
  // The digits from the top of a 64-bit word: the guard position and every
  // one past the kept digits come out 0.
  const std::uint64_t aligned = integer << (64 - keptBits);
  int i = 0;
  if (bits == 1) {
    for (; i + 8 <= n; i += 8) {
      const std::uint64_t spread = kBitSpread.of[(aligned >> (56 - i)) & 0xFF];
      storeDigitWord(digits + i, spread);
    }
  } else if (bits == 4) {
    for (; i + 8 <= n; i += 8) {
      const std::uint64_t spread =
          spreadNibbles(static_cast<std::uint32_t>(aligned >> (32 - 4 * i)));
      storeDigitWord(digits + i, spread);
    }
  }
  for (; i < n; ++i) digits[i] = static_cast<char>((aligned >> (64 - bits * (i + 1))) & mask);
  return true;
}

bool Arithmetic<FastReal>::extractDigitsExactly(char* digits, int n, FastReal* value, int base) {
  const ExtReal start = value->toExtReal();
  const int biased = start.biasedExponent();
  std::uint64_t significand = start.significand();
  // Positive and normal (integer bit set), and an integer base the product
  // below cannot overflow.
  if (start.signBit() || !isNormalImage(start) || base < 2 || base > 255) return false;
  // value = significand * 2^(exponent - 63)
  int exponent = biased - ExtFormat::kExponentBias;
  if ((base & (base - 1)) == 0 && base <= 32 && n > 0 && exponent >= 0 &&
      exponent < __builtin_ctz(static_cast<unsigned>(base))) {
    *value = FastReal(powerOfTwoDigits(digits, n, significand, exponent,
                                       __builtin_ctz(static_cast<unsigned>(base))));
    return true;
  }
  if ((base & (base - 1)) != 0 && exponent >= 0 && exponent <= 6)
    return fixedPointDigits(digits, n, significand, 63 - exponent, base, value);
  // For a power of two the product keeps the normalised significand and
  // only moves the exponent.
  const int powerOfTwoShift =
      (base & (base - 1)) == 0 ? __builtin_ctz(static_cast<unsigned>(base)) : 0;
  for (int i = 0; i < n; ++i) {
    if (significand == 0) {  // (0 - 0) * base stays +0
      digits[i] = 0;
      continue;
    }
    std::uint64_t digit = 0;
    if (exponent >= 0) {
      if (exponent > 6) return false;  // the digit would not survive the 8-bit store
      const int fractionBits = 63 - exponent;
      digit = significand >> fractionBits;
      significand &= (std::uint64_t{1} << fractionBits) - 1;
      if (digit > 127) return false;
      if (significand == 0) {
        digits[i] = static_cast<char>(digit);
        continue;
      }
      const int leadingZeros = __builtin_clzll(significand);
      significand <<= leadingZeros;
      exponent -= leadingZeros;
    }
    digits[i] = static_cast<char>(digit);
    if (powerOfTwoShift != 0) {
      exponent += powerOfTwoShift;
      continue;
    }
    // The exact product has 64 + shift bits; keeping the top 64 truncates.
    const Product128 product = multiplySmall(significand, static_cast<unsigned>(base));
    const int shift = 64 - __builtin_clzll(product.high);
    significand = shiftedDown(product, shift);
    exponent += shift;
  }
  const std::uint16_t signAndExponent =
      significand == 0 ? 0 : static_cast<std::uint16_t>(exponent + ExtFormat::kExponentBias);
  *value = FastReal(ExtReal::fromBits(significand, signAndExponent));
  return true;
}
