// The round-trip search: for each count of significant digits, the shapes a
// text can take, the prefixes of each that read back (round_trip_reader),
// the lengths ruled out early (round_trip_bounds), and the nearest text
// among those found (round_trip_candidates); and the notation of the plain
// text. The reading back of a finished text is in read_back.cpp.
#include "numeral/round_trip.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "numeral/arithmetic.h"
#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/round_trip_bounds.h"
#include "numeral/round_trip_candidates.h"
#include "numeral/round_trip_internal.h"
#include "numeral/round_trip_reader.h"
#include "numeric/ext_math.h"

// How the search works, and why it is complete.
//
// The parser reads a numeral as one mantissa, all its digits d_1 .. d_n in
// order (integer digits, fraction digits, and any zeros the layout writes),
// and a scale s (the exponent less the fraction digits). It accumulates
// a <- trunc(trunc(a * base) + d) from a = +0, stores trunc(a * P(s)) with
// P(s) = extPow(base, s) (for s = 0 the fast path skips the product by 1),
// and negates for a '-'. A numeral is thus a digit string and a scale; a text
// of c significant digits with exponent e has one string length n and one
// scale s, fixed by the notation (see Shape): scientific d.ddd_e has n = c
// and s = e - c + 1, except that one digit is written d.0 (n = 2) and that
// the overflow guard may ask for zeros after the last digit; standard
// notation pads integers with zeros (s = 0) and writes fractions with n = c.
//
// Monotone. For one n and s, the stored value never decreases as the string
// grows in numeric order (for strings of one length, lexicographic order).
// Let D < D' and let P < P' be their first n - 1 digits when those differ
// (else the last digits alone differ and one truncated sum is monotone).
// By induction acc(P) <= acc(P'). While the exact prefix values stay below
// 2^64 every step is exact, so acc(P) < acc(P') and, being integers, the
// exact a' * base exceeds a * base + d for every digit d; truncation, the
// largest representable value at or below, keeps the order. Once a value
// reaches 2^64 its unit in the last place is at least 2, the product's
// at least 2 * 2^floor(log2 base) > base - 1 >= d, so adding a digit changes
// nothing: the strings agree in value from there on or keep their order.
// Multiplying by P(s) and truncating keep the order too, and an overflow
// (the largest finite value, reported as +INF) lies above every value.
//
// Only the first K digits matter. K is the least k with base^(k-1) >= 2^64,
// so the first K digits of a string (the first one not zero) already hold a
// value of 2^64 or more, and every later digit is ignored as shown above: a
// string is its first K digits (its prefix) and its length. So for one (n,
// s), the prefixes that read back to the value form one interval of
// integers below base^K < 2^75, which a search over the prefixes, with the
// parser's own steps as the test, finds exactly (Group).
//
// Complete. Every text of c significant digits and exponent e is a string of
// its (n, s) whose last n - c digits are zero. The search takes c = 1, 2,
// ..., and for each the exponents a text of c digits can have, and finds in
// the interval of that (n, s) every prefix, hence every text, of c digits
// that reads back. The first c with a text is the shortest. A text's value
// lies within 2^-44 of the stored value's (the power's relative error is
// below 2^-46 and the accumulation's below 2^-50 for P(s) normal), so
// unless the stored value lies within 2^-30 of a power of the base only its
// own exponent is searched (the others by their own test below).
//
// How far. The search stops at the first c with a text, or when every text
// of c digits is longer than maxLength bytes (length never decreases with
// c), or when every power left is zero (P(s) = 0: nothing but 0 reads back).
// Each longer length brings a new power, and so new chances, so there is no
// smaller bound: the largest digit count it can need is the byte limit,
// kRoundTripMaxLength less the sign, the point and the exponent's 3 to 18
// bytes. In practice a text has at most a few digits
// more than K, where the strings reach 2^64: K = 65 digits in base 2, 42 in
// base 3, 33 in base 4, 29 in base 5, 26 in base 6, 24 in base 7, 23 in
// base 8, 22 in base 9, 21 in base 10, 17 in bases 16 and 17 and 14 in
// bases 31 to 36 (lengths measured are in the README).
// Where the guard asks for zeros, every text with that exponent has the
// same n and s = 4929, so all of them are one interval; beyond K + 1
// significant digits they add nothing, and the search goes on at the
// lengths past the zeros.
//
// Nearest. Among the texts of the shortest length, the one nearest to the
// stored value is taken from each interval by the exact position of the
// value among the candidates (Natural), and between exponents by exact
// distances.
//
// Powers of two. In bases 2, 4, 8, 16 and 32 the powers are exact and the
// accumulation keeps the top 64 bits of the string, so a text reads back
// exactly when its top 64 bits times the power are the value: the exact
// expansion is the only shortest text (see powerOfTwoText).

namespace round_trip {
namespace {

// True when log2(base) comes out as exactly `bits` in this arithmetic, so
// that the powers of base 2^bits are exact.
template <class Real>
bool exactLogarithm(int base, int bits);
template <>
bool exactLogarithm<FastReal>(int base, int bits) {
  const ExtReal log = cachedLog2OfBase(base).toExtReal();
  const ExtReal exact(bits);
  return std::memcmp(log.bytes(), exact.bytes(), ExtFormat::kBytes) == 0;
}
template <>
bool exactLogarithm<ExtReal>(int base, int bits) {
  const ExtReal log = extLog2(ExtReal(base));
  const ExtReal exact(bits);
  return std::memcmp(log.bytes(), exact.bytes(), ExtFormat::kBytes) == 0;
}

// The text in base 2^bits. There P(s) is exactly 2^(bits s) (or 0 below the
// subnormals), and the accumulation keeps the top 64 bits of the string
// (multiplying by the base only moves the exponent; a digit added to a value
// of 2^64 or more falls below its last place), so a string M reads back
// exactly when trunc64(M) * 2^(bits s) is the value. If trunc64(M) = M the
// text's value is the value; otherwise M lies in [W, W + 2^(t - 64)) with W
// the value's string of t > 64 bits, whose lowest set bit is at or above
// bit t - 64 as the significand has 64 bits: no number in that interval has
// more trailing zero bits than W, none fewer digits. So every text that
// reads back has the exact expansion's exponent and at least its digits,
// and the exact expansion, where it reads back, is the one shortest text,
// at distance 0. Returns false when it does not read back (a subnormal
// whose last digit would stand below 2^-16445), for the general search.
template <class Real>
bool powerOfTwoText(Reader<Real>* reader, const Stored& value, int base, int bits,
                    bool scientific, std::size_t maxLength, bool negative, char* out,
                    RoundTripOutcome* outcome) {
  const int zeros = __builtin_ctzll(value.significand);
  const std::uint64_t odd = value.significand >> zeros;
  const int q = value.binaryExponent + zeros;
  const int last = q >= 0 ? q / bits : -((-q + bits - 1) / bits);  // floor(q / bits)
  const u128 n = static_cast<u128>(odd) << (q - bits * last);
  int c = 0;
  for (u128 t = n; t != 0; t >>= bits) ++c;
  const int e = last + c - 1;
  const Shape shape = shapeOf(c, e, scientific, suffixLength(e, base));
  if (!shape.accepted) return false;
  if (static_cast<std::size_t>(shape.bytes) + (negative ? 1 : 0) > maxLength) {
    *outcome = kRoundTripTooLong;
    return true;
  }
  if (!reader->setShape(shape.n, shape.scale)) return false;
  // The string's prefix: the digits of n, then zeros up to its length.
  const int k = reader->prefixDigits();
  const u128 prefix = c <= k ? n * powerOf(base, k - c) : n / powerOf(base, c - k);
  if (reader->compare(prefix) != 0) return false;
  writeNarrow(out, n, c, shape.n, e, base, scientific, negative);
  *outcome = kRoundTripFound;
  return true;
}

template <class Real>
RoundTripOutcome roundTripIn(char* out, std::size_t maxLength, Real value, int base,
                             int scientific) {
  out[0] = '\0';
  if (maxLength > kRoundTripMaxLength) maxLength = kRoundTripMaxLength;
  if (base < kMinBase || base > kMaxBase) return kRoundTripNone;
  const ExtReal image = imageOf(value);
  const bool sci = scientific != 0;
  const bool negative = image.signBit();
  const int biased = image.biasedExponent();
  const std::uint64_t significand = image.significand();
  // The parser stores no NaN, infinity, pseudo-denormal, -0 or largest
  // finite value (that one it reports as overflow).
  if (isNotANumber(image) || isInfinity(image) ||
      (biased == 0 && (significand & kIntegerBit) != 0) ||
      (biased == ExtFormat::kMaxBiasedExponent - 1 && significand == ~std::uint64_t{0}))
    return kRoundTripNone;
  if (significand == 0) {
    if (negative) return kRoundTripNone;
    const char* zero = sci ? "0.0" : "0";
    if (std::strlen(zero) > maxLength) return kRoundTripTooLong;
    std::strcpy(out, zero);
    return kRoundTripFound;
  }
  const ExtReal magnitude = ExtReal::fromBits(significand, static_cast<std::uint16_t>(biased));
  const Real target(magnitude);
  const Stored stored = storedOf(magnitude);
  Reader<Real> reader(base, magnitude);
  const std::size_t signBytes = negative ? 1 : 0;

  if ((base & (base - 1)) == 0) {
    const int bits = __builtin_ctz(static_cast<unsigned>(base));
    RoundTripOutcome outcome;
    if (exactLogarithm<Real>(base, bits) &&
        powerOfTwoText(&reader, stored, base, bits, sci, maxLength, negative, out, &outcome))
      return outcome;
  }

  // The exponents a text can have. Where the value and the text's power are
  // normal, a text's value lies within 2^-44 of the value: only the value's
  // own exponent, or one beside it when the value lies within a part in 10^6
  // of a power of the base (in logarithm, far beyond the double estimate's
  // error of about 1e-12). Otherwise (see kExponentsTried) all four.
  const double logarithm = logOf(stored, base);
  const int own = static_cast<int>(std::floor(logarithm));
  const bool normal = biased != 0;
  const bool justAbovePower = logarithm - own < 1e-6;
  const bool justBelowPower = own + 1 - logarithm < 1e-6;
  const int prefixDigits = kPowers.prefixDigits[base];
  DigitFilter filter;
  if (normal && !justAbovePower && !justBelowPower && normalPower(own, base))
    filter.start(imageOf(target / Arithmetic<Real>::power(base, own)), own, base, prefixDigits);
  Group groups[kExponentsTried];
  int suffixBytes[kExponentsTried];
  for (int i = 0; i < kExponentsTried; ++i) suffixBytes[i] = suffixLength(own - 1 + i, base);

  Candidates found[kExponentsTried];
  // Mostly only the value's own exponent can hold a text: when the value is
  // normal and not near a power of the base, no text needs the guard's zeros,
  // and the powers of every exponent tried are normal at this length (their
  // scales lie within own - 1 - f .. own + 2 - f, f the fraction digits a
  // text of c digits has without the guard).
  const bool ownAlone = normal && !justAbovePower && !justBelowPower && own + 3 <= kGuard;
  // The first length whose text of the own exponent is longer than
  // maxLength (shapeOf's lengths, without the guard).
  int ownFitsBelow;
  {
    const long long room = static_cast<long long>(maxLength) - static_cast<long long>(signBytes);
    long long below;
    if (sci)
      below = room - 2 - suffixBytes[1] >= 1 ? room - suffixBytes[1] : 1;
    else if (own >= 0)
      below = own + 1 > room ? 1 : (room - 1 >= own + 1 ? room : own + 2);
    else
      below = room + own;
    ownFitsBelow = static_cast<int>(below < 1 ? 1 : (below > 1 << 20 ? 1 << 20 : below));
  }
  for (int c = 1;; ++c) {
    // The lengths the value's digits rule out, at little cost.
    while (ownAlone && c < ownFitsBelow) {
      const int n = sci ? (c == 1 ? 2 : c) : (own >= 0 && c <= own + 1 ? own + 1 : c);
      if (!filter.rulesOut(n, true)) break;
      ++c;
    }
    int foundCount = 0;
    bool anyShort = false;  // some text of c digits fits in maxLength
    bool anyLive = false;   // some has a power above 0 or a scale that will not fall
    int lastTried = kExponentsTried - 1;
    int i = 0;
    if (ownAlone) {
      const int fraction = sci && c == 1 ? 1 : c - 1;
      if (normalPower(own - 1 - fraction, base) && normalPower(own + 2 - fraction, base)) {
        const Shape shape = shapeOf(c, own, sci, suffixBytes[1]);
        // Where the own text is too long the others are looked at too, as
        // their texts may be shorter.
        if (static_cast<std::size_t>(shape.bytes) + signBytes <= maxLength) i = lastTried = 1;
      }
    }
    for (; i <= lastTried; ++i) {
      const int e = own - 1 + i;
      const Shape shape = shapeOf(c, e, sci, suffixBytes[i]);
      if (!shape.accepted || static_cast<std::size_t>(shape.bytes) + signBytes > maxLength)
        continue;
      anyShort = true;
      Group& group = groups[i];
      if (group.n != shape.n || group.scale != shape.scale) {
        const bool possible = e == own || (e == own - 1 && justAbovePower) ||
                              (e == own + 1 && justBelowPower);
        // Elsewhere only a subnormal value or power lets a text stray that far.
        if ((possible && !(e == own && filter.rulesOut(shape.n, false))) ||
            !normal || !normalPower(shape.scale, base)) {
          solveGroup(&reader, target, base, shape.n, shape.scale, &group);
        } else {
          group.n = shape.n;
          group.scale = shape.scale;
          group.empty = true;
          group.zeroPower = false;
        }
      }
      if (!group.zeroPower || shape.scale >= 0) anyLive = true;
      if (group.empty) continue;
      // The texts of c digits: strings whose last n - c digits are zero.
      const int k = group.prefixDigits;
      Candidates& range = found[foundCount];
      range.e = e;
      if (c <= k) {
        const u128 step = powerOf(base, k - c);
        range.low = (group.low + step - 1) / step;
        range.high = group.high / step;
        if (range.low > range.high) continue;
        if (range.low == range.high && range.low % static_cast<unsigned>(base) == 0) continue;
        range.extra = 0;
      } else {
        range.low = group.low;
        range.high = group.high;
        range.extra = c - k;
      }
      ++foundCount;
    }
    if (foundCount == 0) {
      // Longer texts are no shorter in bytes, and a power that is 0 stays 0
      // as the scale falls.
      if (!anyShort) return kRoundTripTooLong;
      if (!anyLive) return kRoundTripNone;
      continue;
    }
    if (foundCount == 1 && found[0].extra == 0) {
      const int e = found[0].e;
      writeNarrow(out, nearestNarrow(found[0], base, c, stored), c,
                  shapeOf(c, e, sci, suffixBytes[e - own + 1]).n, e, base, sci, negative);
    } else {
      writeNearestOfMany(out, found, foundCount, c, base, sci, negative, stored);
    }
    return kRoundTripFound;
  }
}

}  // namespace
}  // namespace round_trip

RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, ExtReal value, int base,
                                  int scientific) {
  return round_trip::roundTripIn(out, maxLength, value, base, scientific);
}

RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, FastReal value, int base,
                                  int scientific) {
  return round_trip::roundTripIn(out, maxLength, value, base, scientific);
}

namespace {

// The significant digits of a scientific-notation text as formatNumeral
// and roundTripNumeral write it ([-]d.ddd and formatExponent's suffix), its
// string length n (every digit of the mantissa) and its exponent; false for
// zero and for a text not of that layout. The mantissa's digits are not
// looked at one by one: the suffix is found by memchr, and the zeros before
// it are counted back.
bool scientificShape(const char* text, int base, int* significant, int* n, int* exponent) {
  const char* p = text;
  if (*p == '-') ++p;
  if (*p < '1' || *p > 'Z' || p[1] != '.' || p[2] == '\0') return false;
  const std::size_t length = std::strlen(p);
  const char* end = static_cast<const char*>(std::memchr(p, base == 10 ? 'e' : '_', length));
  int e = 0;
  if (end == nullptr) {
    end = p + length;
  } else {
    const char* q = end + 1;
    const bool negative = *q == '-';
    if (!negative && *q != '+') return false;
    for (++q; *q != '\0'; ++q) {
      const int d = *q <= '9' ? *q - '0' : *q - 'A' + 10;
      if (d < 0 || d >= base || e > (1 << 20)) return false;
      e = e * base + d;
    }
    if (negative) e = -e;
  }
  // p[0] is the first digit, p[j] the j-th from j = 2 on, past the point.
  const char* last = end - 1;
  while (*last == '0') --last;
  *significant = last == p + 1 ? 1 : static_cast<int>(last - p);
  *n = static_cast<int>(end - p) - 1;
  *exponent = e;
  return true;
}

}  // namespace

bool shorterThanRoundTrip(const char* text, const char* roundTripText, int base) {
  if (base < kMinBase || base > kMaxBase) return false;
  int c;
  int n;
  int e;
  int found;
  int foundN;
  int foundE;
  if (!scientificShape(text, base, &c, &n, &e) ||
      !scientificShape(roundTripText, base, &found, &foundN, &foundE))
    return false;
  // The search tried every length below the one it found, with the texts
  // of shapeOf's layout (whose string length does not depend on the
  // suffix): a text of c digits laid out so reads the same string, of n
  // digits at scale e - n + 1.
  return c < found && n == round_trip::shapeOf(c, e, true, 0).n;
}

int plainNotation(FastReal value, int base, int scientific) {
  using round_trip::logOf;
  using round_trip::storedOf;
  if (scientific != 0) return 1;
  const ExtReal image = value.toExtReal();
  if (base < kMinBase || base > kMaxBase || isNotANumber(image) || isInfinity(image) ||
      image.significand() == 0)
    return 0;
  // The digits' exponent is the value's own (floor of its logarithm) unless
  // the value lies near a power of the base: the generator's scaled value
  // is within 2^-44 of value / base^own, and its rounding carries out of the
  // first digit only within base^-(maxDigits - 2) of the next power. The
  // subnormals' fewer digits round coarser.
  int exponent;
  const double logarithm = logOf(storedOf(image), base);
  const int own = static_cast<int>(std::floor(logarithm));
  if (image.biasedExponent() != 0 && logarithm - own >= 1e-6 && own + 1 - logarithm >= 1e-6) {
    exponent = own;
  } else {
    char digits[kFormatBufferSize];
    int count;
    int negative;
    generateDigits(digits, &count, &negative, &exponent, value, base);
  }
  const int limit = Arithmetic<FastReal>::maxDigits(base);
  return exponent >= limit + 2 || exponent <= -limit ? 1 : 0;
}

