#include "numeral/round_trip.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "numeral/arithmetic.h"
#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/ext_math.h"
#include "numeric/thread_tables.h"
#include "numeric/wide_int.h"

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

namespace {

using u128 = unsigned __int128;

constexpr int kMinBase = 2;
constexpr int kMaxBase = 36;
constexpr int kGuard = static_cast<int>(kMaxDigitPositions);
constexpr std::uint64_t kIntegerBit = 0x8000000000000000ULL;
// A finite value is significand * 2^(max(E, 1) - kPointBias).
constexpr int kPointBias = ExtFormat::kExponentBias + ExtFormat::kSignificandBits - 1;
// The exponents of a value's text: its own, one below (a text just under a
// power of the base) and two above (a subnormal value's texts may be twice
// its value and its power half the ideal one).
constexpr int kExponentsTried = 4;

// The exact comparisons of the search (a text's value against a stored
// value, and the digits of a stored value): they need at most a text of
// kRoundTripMaxLength digits of base 36 (log2(36) < 5.3 bits a digit) times
// 2^16,510 (the subnormal grid and a significand) and a few bits more; a
// fifth more is kept. Only the limbs in use cost time.
constexpr int kNaturalLimbs =
    static_cast<int>((kRoundTripMaxLength * 53 / 10 + 16510) * 6 / 5 / 64 + 1);
using Natural = WideInt<kNaturalLimbs>;

// base^i for i = 0 .. kPowerCount - 1, below 2^127, and K for each base.
constexpr int kPowerCount = 68;
struct Powers {
  u128 of[kMaxBase + 1][kPowerCount];
  int prefixDigits[kMaxBase + 1];
  constexpr Powers() : of(), prefixDigits() {
    for (int base = kMinBase; base <= kMaxBase; ++base) {
      u128 p = 1;
      int k = 1;
      for (int i = 0; i < kPowerCount; ++i) {
        of[base][i] = p;
        if (p < (static_cast<u128>(1) << 64)) k = i + 2;
        if (p <= (~static_cast<u128>(0) >> 8)) p *= static_cast<u128>(base);
      }
      prefixDigits[base] = k;
    }
  }
};
constexpr Powers kPowers;

u128 powerOf(int base, int i) { return kPowers.of[base][i]; }

// The digits of an exponent suffix: 'e' or '_', the sign and the magnitude.
int suffixLength(int exponent, int base) {
  if (exponent == 0) return 0;
  unsigned magnitude =
      exponent < 0 ? 0u - static_cast<unsigned>(exponent) : static_cast<unsigned>(exponent);
  int digits = 0;
  do {
    magnitude /= static_cast<unsigned>(base);
    ++digits;
  } while (magnitude != 0);
  return 2 + digits;
}

// The string length n and scale s of a text of c significant digits with
// first-digit exponent e, and its length in bytes without the sign. Texts of
// one (n, s) differ only in their digits: a text of c digits is a string of
// n whose last n - c digits are zero.
struct Shape {
  int n;
  int scale;
  int bytes;
  bool accepted;  // the parser's guard admits it
};

inline Shape shapeOf(int c, int e, bool scientific, int suffixBytes) {
  Shape shape;
  if (scientific) {
    // One integer digit; the guard needs scale + 1 <= kGuard.
    int fraction = c == 1 ? 1 : c - 1;
    const int guardFraction = e + 1 - kGuard;
    if (guardFraction > fraction) fraction = guardFraction;
    shape.n = fraction + 1;
    shape.scale = e - fraction;
    shape.bytes = 2 + fraction + suffixBytes;
    shape.accepted = true;
    return shape;
  }
  if (e >= 0) {
    const int integerDigits = e + 1;
    shape.n = c > integerDigits ? c : integerDigits;
    shape.scale = c > integerDigits ? integerDigits - c : 0;
    shape.bytes = c > integerDigits ? c + 1 : integerDigits;
    shape.accepted = integerDigits + shape.scale <= kGuard;
    return shape;
  }
  // "0." and -e - 1 zeros before the digits.
  shape.n = c;
  shape.scale = e + 1 - c;
  shape.bytes = 2 + (-e - 1) + c;
  shape.accepted = true;
  return shape;
}

// The integer y as the x87 value of equal magnitude (exact: y < 2^64).
ExtReal imageOfInteger(std::uint64_t y) {
  if (y == 0) return ExtReal::fromBits(0, 0);
  const int zeros = __builtin_clzll(y);
  return ExtReal::fromBits(y << zeros,
                           static_cast<std::uint16_t>(ExtFormat::kExponentBias + 63 - zeros));
}

// floor(v) for v >= 0 as a 128-bit integer (saturated), and whether v is an
// integer.
struct Floor {
  u128 value;
  bool integral;
};
Floor floorOf(const ExtReal& v) {
  const int biased = v.biasedExponent();
  const std::uint64_t significand = v.significand();
  if (biased == 0 || (significand >> 63) == 0) return {0, significand == 0};
  const int exponent = biased - ExtFormat::kExponentBias;
  if (exponent < 0) return {0, false};
  if (exponent >= 127) return {~static_cast<u128>(0), true};
  if (exponent >= 63) return {static_cast<u128>(significand) << (exponent - 63), true};
  const int fractionBits = 63 - exponent;
  return {significand >> fractionBits,
          (significand & ((std::uint64_t{1} << fractionBits) - 1)) == 0};
}

// ---------------------------------------------------------------------------
// The parser's steps on one string, in either arithmetic.

// Reads strings of n digits whose first prefixDigits digits are a given
// integer, the rest zeros (or, past K, any digits), at scale s, and tells how
// the stored value compares with the target.
template <class Real>
class Reader {
 public:
  Reader(int base, const ExtReal& target)
      : base_(base), target_(target), baseValue_(base) {}

  // Sets the string length and scale; false when every string of them
  // reads as 0 (the power underflowed), which never equals the target.
  bool setShape(int n, int scale) {
    n_ = n;
    prefixDigits_ = n < kPowers.prefixDigits[base_] ? n : kPowers.prefixDigits[base_];
    // The fast parser skips the product by the power 1 of scale 0.
    multiply_ = !(std::is_same<Real, FastReal>::value && scale == 0);
    power_ = Arithmetic<Real>::power(base_, scale);
    const ExtReal image = imageOf(power_);
    return !(image.biasedExponent() == 0 && image.significand() == 0);
  }
  int prefixDigits() const { return prefixDigits_; }
  const Real& power() const { return power_; }
  bool multiplies() const { return multiply_; }

  // -1, 0 or 1 as the value stored for a string that accumulated to a is
  // below, equal to or above the target.
  int compareAccumulated(const ExtReal& a) const {
    Real v(a);
    if (multiply_) v = v * power_;
    return v < target_ ? -1 : (v == target_ ? 0 : 1);
  }

  // -1, 0 or 1 as the value stored for the string with this prefix is below,
  // equal to or above the target. Results past the largest finite value
  // (which the parser reports as overflow) come out above.
  int compare(u128 prefix) const {
    Real a = accumulate(prefix);
    for (int i = prefixDigits_; i < n_; ++i) appendZero(&a);
    if (multiply_) a = a * power_;
    return a < target_ ? -1 : (a == target_ ? 0 : 1);
  }

 private:
  // The prefix's digits from +0, as Mantissa<Real> in parse.cpp: for
  // FastReal the exact integer while the digits stay below 2^64, then the
  // literal steps; for ExtReal the literal steps throughout.
  Real accumulate(u128 prefix) const {
    int digits[kPowerCount];
    int count = 0;
    if (std::is_same<Real, FastReal>::value) {
      while (prefix >> 64 != 0) {
        digits[count++] = static_cast<int>(prefix % static_cast<unsigned>(base_));
        prefix /= static_cast<unsigned>(base_);
      }
      Real a(imageOfInteger(static_cast<std::uint64_t>(prefix)));
      while (count > 0) appendDigit(&a, digits[--count]);
      return a;
    }
    for (int i = 0; i < prefixDigits_; ++i) {
      digits[count++] = static_cast<int>(prefix % static_cast<unsigned>(base_));
      prefix /= static_cast<unsigned>(base_);
    }
    Real a(0.0);
    while (count > 0) appendDigit(&a, digits[--count]);
    return a;
  }
  void appendDigit(Real* a, int digit) const {
    *a = *a * baseValue_;
    *a = *a + Real(digit);
  }
  // For FastReal adding +0 to a positive value is left out: it changes no bit.
  void appendZero(Real* a) const {
    *a = *a * baseValue_;
    if (!std::is_same<Real, FastReal>::value) *a = *a + Real(0);
  }

  int base_;
  Real target_;
  Real baseValue_;
  int n_ = 0;
  int prefixDigits_ = 0;
  bool multiply_ = true;
  Real power_;
};

// ---------------------------------------------------------------------------
// The accumulation in integers.
//
// Every value the accumulation reaches is an integer, and an x87 step on
// integers (fmul by the base, fadd of a digit) gives the exact result
// truncated to 64 significant bits, which integers do exactly: T64 below.
// FastReal's searches use that, and the literal ExtReal steps, which the
// tests compare them with, do not.

int bitLength(u128 y) {
  const std::uint64_t high = static_cast<std::uint64_t>(y >> 64);
  if (high != 0) return 128 - __builtin_clzll(high);
  const std::uint64_t low = static_cast<std::uint64_t>(y);
  return low == 0 ? 0 : 64 - __builtin_clzll(low);
}

// y truncated toward zero to 64 significant bits.
u128 truncate64(u128 y) {
  const int bits = bitLength(y);
  return bits <= 64 ? y : y & ~((static_cast<u128>(1) << (bits - 64)) - 1);
}

// The distance from a representable integer a >= 1 to the next one.
u128 spacingAt(u128 a) {
  const int bits = bitLength(a);
  return bits <= 64 ? 1 : static_cast<u128>(1) << (bits - 64);
}

// The x87 image of a representable integer below 2^128.
ExtReal imageOfRepresentable(u128 a) {
  const int bits = bitLength(a);
  if (bits == 0) return ExtReal::fromBits(0, 0);
  const std::uint64_t significand = static_cast<std::uint64_t>(bits <= 64 ? a << (64 - bits)
                                                                          : a >> (bits - 64));
  return ExtReal::fromBits(significand,
                           static_cast<std::uint16_t>(ExtFormat::kExponentBias + bits - 1));
}

// One accumulation step: the product by the base, then the digit.
u128 step(u128 a, unsigned digit, unsigned base) {
  return truncate64(truncate64(a * base) + digit);
}

// The strings of n digits (n = K - 1 or K, the lengths that reach 2^64) in
// [2^64, 2^64 base) (r = 1) or [2^64 base, 2^64 base^2) (r = 2) as their
// prefixes below 2^64 and r more digits: the prefixes from lowPrefix (whose
// digits start at lowDigit) to highPrefix (whose digits end at highDigit),
// digits most significant first.
struct Region {
  bool empty;
  u128 lowPrefix;
  u128 highPrefix;
  unsigned lowDigit[2];
  unsigned highDigit[2];
};
struct Regions {
  Region of[kMaxBase + 1][2][2];  // [base][n - (K - 1)][r - 1]
  Regions() : of() {
    const u128 two64 = static_cast<u128>(1) << 64;
    for (unsigned base = kMinBase; base <= kMaxBase; ++base) {
      int k = 1;
      u128 p = 1;
      while (p < two64) {
        p *= base;
        ++k;
      }  // p = base^(K-1)
      for (int length = 0; length < 2; ++length) {
        const u128 first = length == 0 ? p / base : p;
        const u128 last = (length == 0 ? p : p * base) - 1;
        for (int r = 1; r <= 2; ++r) {
          const u128 block = r == 1 ? base : base * base;
          const u128 regionLow = r == 1 ? two64 : two64 * base;
          const u128 regionHigh = (r == 1 ? two64 * base : two64 * base * base) - 1;
          const u128 low = first > regionLow ? first : regionLow;
          const u128 high = last < regionHigh ? last : regionHigh;
          Region& region = of[base][length][r - 1];
          region.empty = low > high;
          if (region.empty) continue;
          region.lowPrefix = low / block;
          region.highPrefix = high / block;
          const unsigned lowTail = static_cast<unsigned>(low % block);
          const unsigned highTail = static_cast<unsigned>(high % block);
          region.lowDigit[0] = r == 1 ? lowTail : lowTail / base;
          region.lowDigit[1] = r == 1 ? 0 : lowTail % base;
          region.highDigit[0] = r == 1 ? highTail : highTail / base;
          region.highDigit[1] = r == 1 ? 0 : highTail % base;
        }
      }
    }
  }
};
// Built on first use, so that a run without round trips does not build it.
const Regions& regions() {
  static const Regions table;
  return table;
}

// The accumulation of prefix p and digits d[0 .. r-1].
u128 accumulateTail(u128 p, const unsigned* d, int r, unsigned base) {
  u128 a = step(p, d[0], base);
  return r == 2 ? step(a, d[1], base) : a;
}

// The least string of n digits (n <= K; K - 1 and K reach 2^64) whose
// accumulation is at least a, or one past the last. Below 2^64 a string
// accumulates to itself. From 2^64 up it is its prefix below 2^64 and r
// more digits (see Region), taken in order; as the accumulation never
// exceeds the string, the prefix is at least floor(a / base^r). Prefix, then
// digit by digit, lexicographic order is numeric order.
u128 leastAccumulatingTo(u128 a, int n, int base) {
  const u128 two64 = static_cast<u128>(1) << 64;
  const u128 first = powerOf(base, n - 1);
  const u128 last = powerOf(base, n) - 1;
  if (a < two64) {
    if (first >= two64) return first;
    const u128 s = a > first ? a : first;
    return s <= last ? s : last + 1;
  }
  const int length = n - (kPowers.prefixDigits[base] - 1);
  if (length < 0) return last + 1;  // every string lies below 2^64
  const unsigned b = static_cast<unsigned>(base);
  for (int r = 1; r <= 2; ++r) {
    const Region& region = regions().of[base][length][r - 1];
    if (region.empty) continue;
    const u128 block = r == 1 ? b : b * b;
    // The largest digits a prefix can take.
    auto highest = [&](u128 prefix, unsigned* d) {
      const bool edge = prefix == region.highPrefix;
      d[0] = edge ? region.highDigit[0] : b - 1;
      d[1] = edge ? region.highDigit[1] : b - 1;
    };
    unsigned d[2];
    highest(region.highPrefix, d);
    if (accumulateTail(region.highPrefix, d, r, b) < a) continue;
    // The least prefix whose largest string reaches a: gallop, then halve.
    u128 below = a / block;
    if (below < region.lowPrefix) below = region.lowPrefix;
    highest(below, d);
    if (accumulateTail(below, d, r, b) >= a) below -= 1;  // all smaller ones fall short
    u128 above = below + 1;
    for (u128 jump = 1;; jump *= 2) {
      highest(above, d);
      if (accumulateTail(above, d, r, b) >= a) break;
      below = above;
      above = region.highPrefix - above > jump ? above + jump : region.highPrefix;
    }
    while (above - below > 1) {
      const u128 middle = below + (above - below) / 2;
      highest(middle, d);
      if (accumulateTail(middle, d, r, b) >= a)
        above = middle;
      else
        below = middle;
    }
    // Then the least digits of that prefix, one at a time.
    const bool lowEdge = above == region.lowPrefix;
    const bool highEdge = above == region.highPrefix;
    unsigned lowest[2] = {lowEdge ? region.lowDigit[0] : 0, 0};
    unsigned top[2];
    highest(above, top);
    for (int i = 0; i < r; ++i) {
      // Digits before i are fixed; those after take their largest values.
      unsigned low = lowest[i];
      unsigned high = top[i];
      auto reaches = [&](unsigned digit) {
        unsigned t[2] = {d[0], d[1]};
        t[i] = digit;
        if (i == 0 && r == 2)
          t[1] = highEdge && digit == region.highDigit[0] ? region.highDigit[1] : b - 1;
        return accumulateTail(above, t, r, b) >= a;
      };
      while (low < high) {
        const unsigned middle = low + (high - low) / 2;
        if (reaches(middle))
          high = middle;
        else
          low = middle + 1;
      }
      d[i] = low;
      if (i == 0 && r == 2) {
        lowest[1] = lowEdge && low == region.lowDigit[0] ? region.lowDigit[1] : 0;
        top[1] = highEdge && low == region.highDigit[0] ? region.highDigit[1] : b - 1;
      }
    }
    return above * block + (r == 1 ? d[0] : d[0] * b + d[1]);
  }
  return last + 1;
}

// The prefixes of one (n, s) that read back: [low, high], or none.
struct Group {
  int n = -1;
  int scale = 0;
  int prefixDigits = 0;
  bool zeroPower = false;  // P(s) is 0: every string reads as 0
  bool empty = true;
  u128 low = 0;
  u128 high = 0;
};

// A few remembered results of Reader::compare, as the searches below ask
// twice for some prefixes.
template <class Real>
class Probe {
 public:
  explicit Probe(const Reader<Real>& reader) : reader_(reader) {}
  int compare(u128 prefix) {
    for (int i = 0; i < kSlots; ++i)
      if (used_[i] && prefix_[i] == prefix) return result_[i];
    const int result = reader_.compare(prefix);
    prefix_[next_] = prefix;
    result_[next_] = result;
    used_[next_] = true;
    next_ = (next_ + 1) % kSlots;
    return result;
  }

 private:
  static constexpr int kSlots = 4;
  const Reader<Real>& reader_;
  u128 prefix_[kSlots] = {};
  int result_[kSlots] = {};
  bool used_[kSlots] = {};
  int next_ = 0;
};

// The least prefix in [below + 1, above] whose comparison is at least
// `threshold` (0: at or above the target; 1: above it), given that it holds
// at `above` (or above is last + 1) and fails at `below` (or below is first
// - 1); a guess inside narrows the interval first by galloping from it.
template <class Real>
u128 leastAtLeast(Probe<Real>* probe, u128 below, u128 above, u128 guess, int threshold) {
  if (guess > below && guess < above) {
    if (probe->compare(guess) >= threshold) {
      above = guess;
      for (u128 step = 1; above - below > 1; step *= 2) {
        const u128 next = above - below > step ? above - step : below + 1;
        if (next == above) break;
        if (probe->compare(next) >= threshold) {
          above = next;
        } else {
          below = next;
          break;
        }
      }
    } else {
      below = guess;
      for (u128 step = 1; above - below > 1; step *= 2) {
        const u128 next = above - below > step ? below + step : above - 1;
        if (next == below) break;
        if (probe->compare(next) >= threshold) {
          above = next;
          break;
        }
        below = next;
      }
    }
  }
  while (above - below > 1) {
    const u128 middle = below + (above - below) / 2;
    if (probe->compare(middle) >= threshold)
      above = middle;
    else
      below = middle;
  }
  return above;
}

// solveGroup for strings whose digits all lie in the prefix, in FastReal:
// first the accumulated values that read back, an interval [lowA, highA] of
// representable integers, from two quotients and one or two products; then
// the strings that accumulate into it, in integers.
//
// With q = trunc(target / P(s)), q <= target / P(s) < q + (q's unit): every
// representable a below ceil(q) reads below the target, and the next
// representable value above ceil(q) (q itself from 2^63 up, where q is an
// integer) at or above it; so lowA is ceil(q) or that next one. Likewise with
// q' = trunc(target+ / P(s)), target+ the value above the target: highA is
// floor(q') when q' is no integer, else q' or the representable below it.
template <class Real>
void solveByAccumulation(const Reader<Real>& reader, const Real& target, int base, u128 last,
                         Group* group) {
  const u128 two63 = static_cast<u128>(1) << 63;
  // No string of n digits accumulates beyond `last`.
  const u128 beyond = last + 1;
  u128 lowA;
  u128 highA;
  const ExtReal targetImage = imageOf(target);
  if (!reader.multiplies()) {
    const Floor t = floorOf(targetImage);
    if (!t.integral || t.value > last) return;
    lowA = highA = t.value;
  } else {
    const Floor q = floorOf(imageOf(target / reader.power()));
    if (q.value > beyond) return;
    u128 candidate = q.value >= two63 || q.integral ? q.value : q.value + 1;
    if (candidate == 0) candidate = 1;
    int side = reader.compareAccumulated(imageOfRepresentable(candidate));
    if (side > 0) return;
    if (side < 0) {
      candidate += spacingAt(candidate);
      if (reader.compareAccumulated(imageOfRepresentable(candidate)) != 0) return;
    }
    lowA = candidate;
    // The value above the target: one more unit in its last place.
    std::uint64_t significand = targetImage.significand() + 1;
    int exponent = targetImage.biasedExponent();
    if (significand == 0) {
      significand = 0x8000000000000000ULL;
      ++exponent;
    } else if (exponent == 0 && (significand >> 63) != 0) {
      exponent = 1;  // a subnormal's successor can be the least normal value
    }
    const ExtReal above = ExtReal::fromBits(significand, static_cast<std::uint16_t>(exponent));
    const Floor q2 = floorOf(imageOf(Real(above) / reader.power()));
    if (q2.value >= beyond) {
      highA = beyond;  // every string of n digits reads at or below the target
    } else if (q2.value < two63 && !q2.integral) {
      highA = q2.value;
    } else {
      highA = q2.value;
      if (reader.compareAccumulated(imageOfRepresentable(highA)) != 0)
        highA -= spacingAt(highA - 1);
    }
    if (highA < lowA) return;
  }
  const int n = group->n;
  const u128 low = leastAccumulatingTo(lowA, n, base);
  const u128 high = leastAccumulatingTo(highA + 1, n, base) - 1;
  if (low > high || low > last) return;
  group->low = low;
  group->high = high;
  group->empty = false;
}

// Finds the prefixes of (n, s) that read back to the target; the reader
// is set to (n, s).
template <class Real>
void solveGroup(Reader<Real>* reader, const Real& target, int base, int n, int scale,
                Group* group) {
  group->n = n;
  group->scale = scale;
  group->empty = true;
  group->zeroPower = !reader->setShape(n, scale);
  if (group->zeroPower) return;
  const int k = reader->prefixDigits();
  group->prefixDigits = k;
  const u128 first = powerOf(base, k - 1);
  const u128 last = powerOf(base, k) - 1;
  if (std::is_same<Real, FastReal>::value && n == k) {
    solveByAccumulation(*reader, target, base, last, group);
    return;
  }
  Probe<Real> probe(*reader);

  // The estimate only steers the search: target / P(s) is what the string
  // must accumulate to, and the zeros past the prefix multiply it by
  // about base^(n - k).
  Real quotient = reader->multiplies() ? target / reader->power() : target;
  if (n > k) quotient = quotient / Arithmetic<Real>::power(base, n - k);
  const Floor estimate = floorOf(imageOf(quotient));
  // Prefixes at or below `below` read below the target, those at or above
  // `above` at or above it; first - 1 and last + 1 stand for "none".
  u128 below = first - 1;
  u128 above = last + 1;
  u128 guess = estimate.value;
  // With every digit in the prefix and the prefix below 2^63, the string
  // accumulates to itself exactly and the value is trunc(prefix * P(s)).
  // The quotient q truncates the exact one, so q <= target / P(s) < q + 1:
  // the prefix ceil(q) - 1 reads below the target, ceil(q) + 1 at or above.
  if (n == k && estimate.value < (static_cast<u128>(1) << 63)) {
    const u128 ceiling = estimate.value + (estimate.integral ? 0 : 1);
    if (ceiling > last + 1) {
      below = last;
    } else if (ceiling >= first + 1) {
      below = ceiling - 1;
    }
    if (ceiling + 1 < first) {
      above = first;
    } else if (ceiling + 1 <= last) {
      above = ceiling + 1;
    }
    guess = ceiling;
  }
  const u128 low = leastAtLeast(&probe, below, above, guess, 0);
  if (low > last || probe.compare(low) != 0) return;
  group->high = leastAtLeast(&probe, low, last + 1, low + 1, 1) - 1;
  group->low = low;
  group->empty = false;
}

// ---------------------------------------------------------------------------
// Ruling lengths out from the value's digits.

// log2(base) in double, within a few units in its last place on any C
// library: the margins below (and in logOf's uses) are millions of times
// wider, so no decision they make depends on the library.
struct Log2Table {
  double of[kMaxBase + 1];
  // The scales s with s log2(base) strictly inside (-16370, 16370), one in
  // from each end: those normalPower accepts, and a little fewer.
  int lowestScale[kMaxBase + 1];
  int highestScale[kMaxBase + 1];
  Log2Table() : of(), lowestScale(), highestScale() {
    for (int base = kMinBase; base <= kMaxBase; ++base) {
      of[base] = std::log2(static_cast<double>(base));
      lowestScale[base] = static_cast<int>(std::ceil(-16370.0 / of[base])) + 1;
      highestScale[base] = static_cast<int>(std::floor(16370.0 / of[base])) - 1;
    }
  }
};
const Log2Table& log2Table() {
  static const Log2Table table;
  return table;
}

// A bound on |P(s) / base^s - 1| for P(s) = extPow(base, s) normal, from
// the instructions' documented accuracy. log2(base) comes from `fyl2x`
// within 1.5 units in its last place and is truncated: relative error below
// 2^-61. p = s * log2(base) truncated adds 2^-63, so p is within
// |s log2(base)| 2^-60.6 of the exact exponent. extExp2 splits p exactly,
// f2xm1 is within 1.5 units of 2^f - 1 (below 2^-62 absolute), the sum with
// 1 and the final product truncate: together within 2^-60 of 2^p,
// relative. So P(s) is within ln 2 |s log2(base)| 2^-60.6 + 2^-60 of
// base^s; the bound rounds both terms up. The software instructions are
// exact before their truncation and meet it too.
double powerErrorBound(int scale, int base) {
  return (std::fabs(static_cast<double>(scale)) * log2Table().of[base] + 4.0) * 0x1p-60;
}

// True when P(s) is certainly normal: base^s lies well inside the normal
// range, which the bound above keeps P(s) within.
bool normalPower(int scale, int base) {
  const double exponent = scale * log2Table().of[base];
  return exponent > -16370.0 && exponent < 16370.0;
}

// ---------------------------------------------------------------------------
// The powers' own errors.
//
// base^k for 0 <= k < 2^15 as a 128-bit binary floating value from a table
// of base^(2^i): products truncated to 128 bits lose less than 2^-127 each;
// base^(2^i) is exact up to i = 4 (base^16 < 2^83) and the squarings double
// the error, so base^(2^14) is within 2^-112 and a product of at most 15
// entries within 2^-110, never above the exact value.

struct Wide {
  u128 m;  // top bit set
  int x;   // value m * 2^x
};

Wide multiplyWide(const Wide& a, const Wide& b) {
  const std::uint64_t a1 = static_cast<std::uint64_t>(a.m >> 64);
  const std::uint64_t a0 = static_cast<std::uint64_t>(a.m);
  const std::uint64_t b1 = static_cast<std::uint64_t>(b.m >> 64);
  const std::uint64_t b0 = static_cast<std::uint64_t>(b.m);
  const u128 p00 = static_cast<u128>(a0) * b0;
  const u128 p01 = static_cast<u128>(a0) * b1;
  const u128 p10 = static_cast<u128>(a1) * b0;
  const u128 p11 = static_cast<u128>(a1) * b1;
  const u128 middle = (p00 >> 64) + static_cast<std::uint64_t>(p01) + static_cast<std::uint64_t>(p10);
  const u128 high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
  // Both factors lie in [2^127, 2^128): the product's top bit is bit 255 or 254.
  if ((high >> 127) != 0) return {high, a.x + b.x + 128};
  return {(high << 1) | (static_cast<std::uint64_t>(middle) >> 63), a.x + b.x + 127};
}

struct WidePowers {
  static constexpr int kBits = 15;
  Wide of[kMaxBase + 1][kBits];  // base^(2^i)
  WidePowers() : of() {
    for (int base = kMinBase; base <= kMaxBase; ++base) {
      const int bits = 32 - __builtin_clz(static_cast<unsigned>(base));
      of[base][0] = {static_cast<u128>(base) << (128 - bits), bits - 128};
      for (int i = 1; i < kBits; ++i) of[base][i] = multiplyWide(of[base][i - 1], of[base][i - 1]);
    }
  }
};
const WidePowers& widePowers() {
  static const WidePowers table;
  return table;
}

Wide widePower(int base, int k) {
  const WidePowers& table = widePowers();
  Wide result = {static_cast<u128>(1) << 127, -127};
  for (int i = 0; k != 0; ++i, k >>= 1)
    if (k & 1) result = multiplyWide(result, table.of[base][i]);
  return result;
}

double toDouble(u128 v) {
  return static_cast<double>(static_cast<std::uint64_t>(v >> 64)) * 0x1p64 +
         static_cast<double>(static_cast<std::uint64_t>(v));
}

// (a - b) / b for a and b within a factor 2 of each other, else a large
// value.
double relativeDifference(const Wide& a, const Wide& b) {
  if (a.x == b.x) {
    return a.m >= b.m ? toDouble(a.m - b.m) / toDouble(b.m) : -(toDouble(b.m - a.m) / toDouble(b.m));
  }
  if (a.x == b.x + 1) return toDouble(a.m - (b.m >> 1)) / toDouble(b.m >> 1);
  if (a.x + 1 == b.x) return -(toDouble(b.m - (a.m >> 1)) / toDouble(b.m));
  return 1.0;
}

// P(s) / base^s - 1 for the power P(s) (a normal image), d say, within
// 2^-109 + |d| 2^-51: the wide power's error, and the double conversions
// and quotient.
double errorOfPower(const ExtReal& power, int base, int s) {
  const Wide p = {static_cast<u128>(power.significand()) << 64,
                  power.biasedExponent() - kPointBias - 64};
  const int magnitude = s < 0 ? -s : s;
  if (magnitude >= (1 << WidePowers::kBits) || (p.m >> 127) == 0) return 1.0;
  const Wide exact = widePower(base, magnitude);
  if (s >= 0) return relativeDifference(p, exact);
  const Wide product = multiplyWide(p, exact);  // P(s) base^-s
  return relativeDifference(product, Wide{static_cast<u128>(1) << 127, -127});
}

// errorOfPower of cachedPower(base, s), memoised per thread as cachedPower
// is.
double cachedErrorOfPower(int base, int s) {
  struct Entry {
    double error;
    std::int32_t s;
    std::int32_t base;  // 0: empty
  };
  constexpr unsigned kEntries = 8192;
  Entry* const cache = ThreadTables<Entry, kEntries, 4>::ofThisThread();
  if (cache == nullptr) return errorOfPower(cachedPower(base, s).toExtReal(), base, s);
  const unsigned slot =
      (static_cast<unsigned>(base) * 1031u + static_cast<unsigned>(s)) & (kEntries - 1);
  Entry& entry = cache[slot];
  if (entry.base == base && entry.s == s) return entry.error;
  const ExtReal power = cachedPower(base, s).toExtReal();
  entry = {errorOfPower(power, base, s), s, base};
  return entry.error;
}

// ---------------------------------------------------------------------------
// Ruling lengths out from the value's digits.
//
// v0 = trunc(value / P(e)) in [1, base) gives, exactly in integers, x_n =
// v0 base^(n-1) for every n: the value in units of the last digit of an
// n-digit string with first-digit exponent e, whose scale is s = e - n + 1.
// Such a string N (below 2^64, so accumulated exactly) reads back exactly
// when value <= N P(s) < value + its unit, that is N in [value / P(s),
// value+ / P(s)). With P(t) = base^t (1 + d_t) and v0 = (value / P(e))
// (1 - r), 0 <= r < 2^-63:
//   value / P(s) = x_n (1 + d_e) / ((1 - r)(1 + d_s)) >= x_n (1 + p),
//   p = (d_e - d_s) / (1 + d_s),
// and the unit of a normal value is at most 2^-63 of it, so value+ / P(s) <
// x_n (1 + p + 2^-60). No N reads back when no integer lies in that
// interval, which x_n's fractional part tells exactly. The slack covers the
// errors of d_e and d_s (errorOfPower), of x_n in double (a few parts in
// 2^53) times p, and of the double arithmetic, with room to spare. Powers
// must be normal and the value normal.
//
// Most lengths are ruled out more cheaply first: with |d_t| at most
// powerErrorBound(t), which grows with |t|, one radius x_n (bound(e) + bound
// of the largest |s| + 2^-60) serves every n; as a fixed-point integer it
// grows by exact products by the base, and an x_n whose fractional part
// lies farther than it from every integer has no N.
// floor(x) for |x| < 2^62, without a library call.
double floorOfSmall(double x) {
  const double t = static_cast<double>(static_cast<std::int64_t>(x));
  return x < t ? t - 1.0 : t;
}

class DigitFilter {
 public:
  // From v0's image (normal, in [1, base)), with e the exponent of the
  // power it was divided by. False, and the filter stays off, otherwise.
  bool start(const ExtReal& v0, int e, int base, int prefixDigits) {
    base_ = base;
    e_ = e;
    const int exponent = v0.biasedExponent() - ExtFormat::kExponentBias;
    if (v0.biasedExponent() == 0 || exponent < 0 || exponent > 5 ||
        (v0.significand() >> 63) == 0 || !normalPower(e, base))
      return false;
    // v0 * 2^64 = significand * 2^(exponent + 1): 64 fraction bits, exactly.
    const u128 scaled = static_cast<u128>(v0.significand()) << (exponent + 1);
    if ((scaled >> 64) >= static_cast<unsigned>(base)) return false;
    errorOfE_ = cachedErrorOfPower(base, e);
    if (std::fabs(errorOfE_) > 0x1p-40) return false;
    fraction_ = static_cast<std::uint64_t>(scaled);
    magnitude_ = static_cast<double>(v0.significand()) * std::ldexp(1.0, exponent - 63);
    lowestScale_ = log2Table().lowestScale[base];
    highestScale_ = log2Table().highestScale[base];
    // Strings with digits past the prefix do not accumulate exactly.
    limit_ = prefixDigits < kMaxDigits ? prefixDigits : kMaxDigits;
    // The cheap radius of x_1 = v0 in units of 2^-64, rounded up; the
    // largest |s| is that of n = 1 or n = limit.
    const int farthest =
        std::abs(e) > std::abs(e - limit_ + 1) ? std::abs(e) : std::abs(e - limit_ + 1);
    const double bound = powerErrorBound(e, base) + powerErrorBound(farthest, base) + 0x1p-60;
    const double radius = magnitude_ * bound * (1.0 + 1e-9) * 0x1p64;
    radius_ = radius < 0x1p62 ? static_cast<std::uint64_t>(radius) + 1 : kSaturated;

    count_ = 0;
    extend();
    return true;
  }

  // True when no string of n digits (all in the prefix) with first-digit
  // exponent e reads back. With alone, also that the powers of the
  // exponents e - 1 .. e + 2 are normal at that length (see the search).
  bool rulesOut(int n, bool alone) {
    if (n >= limit_) return false;
    while (count_ < n) extend();
    return (alone ? quick_ : ruledOut_)[n];
  }

 private:
  static constexpr int kMaxDigits = kPowerCount;

  // A radius of 2^63 or more rules nothing out: no fraction lies farther
  // than that from both 0 and 1.
  static constexpr std::uint64_t kSaturated = std::uint64_t{1} << 63;

  void extend() {
    const int n = ++count_;
    if (n > 1) {
      const u128 product = static_cast<u128>(fraction_) * static_cast<unsigned>(base_);
      fraction_ = static_cast<std::uint64_t>(product);
      magnitude_ *= base_;
      radius_ = radius_ >= kSaturated / static_cast<unsigned>(base_)
                    ? kSaturated
                    : radius_ * static_cast<unsigned>(base_);
    }
    const int scale = e_ - n + 1;
    const bool normal = scale >= lowestScale_ && scale <= highestScale_;
    ruledOut_[n] = normal && fraction_ > radius_ && ~fraction_ >= radius_;
    if (normal && !ruledOut_[n] && magnitude_ < 0x1p62) {
      const double errorOfS = cachedErrorOfPower(base_, scale);
      if (std::fabs(errorOfS) <= 0x1p-40) {
        // (d_e - d_s) / (1 + d_s) within d_s^2 |d_e - d_s|, below 2^-119.
        const double p = (errorOfE_ - errorOfS) * (1.0 - errorOfS);
        const double slack =
            magnitude_ * (0x1p-100 + (std::fabs(errorOfE_) + std::fabs(errorOfS)) * 0x1p-44 +
                          std::fabs(p) * 0x1p-43) +
            0x1p-40;
        const double f = static_cast<double>(fraction_) * 0x1p-64;
        const double low = f + magnitude_ * p - slack;
        const double high = f + magnitude_ * (p + 0x1p-60) + slack;
        // No integer in [low, high] (both below 2^23 in magnitude).
        const double lowFloor = floorOfSmall(low);
        ruledOut_[n] = floorOfSmall(high) == lowFloor && low != lowFloor;
      }
    }
    quick_[n] = ruledOut_[n] && scale - 1 >= lowestScale_ && scale + 2 <= highestScale_;
  }

  int base_ = 10;
  int e_ = 0;
  double errorOfE_ = 0;
  int lowestScale_ = 0;
  int highestScale_ = 0;
  int limit_ = 0;  // 0 while off
  int count_ = 0;
  std::uint64_t fraction_ = 0;
  double magnitude_ = 0;  // x_n, within a few parts in 2^53
  std::uint64_t radius_ = 0;  // the cheap radius of x_n in units of 2^-64
  bool ruledOut_[kMaxDigits + 1];
  bool quick_[kMaxDigits + 1];
};

// ---------------------------------------------------------------------------
// The nearest text among candidates.

// The texts of c significant digits with first-digit exponent e are the N
// in [low, high] that are no multiple of the base (a last digit 0 would
// make a shorter text); with more digits than a prefix (extra > 0), N runs
// over the prefixes [low, high] followed by any `extra` digits.
struct Candidates {
  int e;
  u128 low;
  u128 high;
  int extra;
};

// A stored value m * 2^q, m its significand.
struct Stored {
  std::uint64_t significand;
  int binaryExponent;
};

// floor(2x) and whether 2x is an integer, for x = value * base^-k: the
// value in units of base^k, the place of a text's last digit.
void doubledPosition(const Stored& value, int base, int k, Natural* floorOfTwice,
                     bool* integral) {
  Natural numerator(value.significand);
  Natural denominator(1);
  if (k < 0)
    numerator.multiplyByPower(base, -k);
  else
    denominator.multiplyByPower(base, k);
  const int shift = value.binaryExponent + 1;
  if (shift >= 0) {
    numerator.shiftLeft(shift);
  } else if (k <= 0) {
    // The denominator is a power of two.
    *floorOfTwice = numerator;
    floorOfTwice->shiftRight(-shift);
    *integral = numerator.lowBitsZero(-shift);
    return;
  } else {
    denominator.shiftLeft(-shift);
  }
  Natural rest;
  divide(numerator, denominator, floorOfTwice, &rest);
  *integral = rest.isZero();
}

// The same, saturated into 128 bits (x beyond every narrow candidate).
__attribute__((noinline)) u128 doubledPosition128(const Stored& value, int base, int k,
                                                  bool* integral) {
  Natural twice;
  doubledPosition(value, base, k, &twice, integral);
  return twice.fitsIn128() ? twice.low128() : ~static_cast<u128>(0);
}

// The candidate nearest to x, given G = floor(2x) and whether 2x = G: round
// x with a half going down, keep it in [low, high], and where it ends in 0
// take the neighbour on x's side (the lower one on a tie). Number is u128 or
// Natural.
template <class Number>
void roundInto(const Number& low, const Number& high, int base, const Number& floorOfTwice,
               bool integral, Number* n);

int compareNumbers(u128 a, u128 b) { return a < b ? -1 : (a == b ? 0 : 1); }
int compareNumbers(const Natural& a, const Natural& b) { return compare(a, b); }
void halve(u128* a) { *a >>= 1; }
void halve(Natural* a) { a->shiftRight(1); }
void twice(u128* a) { *a <<= 1; }
void twice(Natural* a) { a->shiftLeft(1); }
void increment(u128* a) { *a += 1; }
void increment(Natural* a) { a->addSmall(1); }
void decrement(u128* a) { *a -= 1; }
void decrement(Natural* a) { a->subtract(Natural(1)); }
bool isOdd(u128 a) { return (a & 1) != 0; }
bool isOdd(const Natural& a) { return a.bit(0); }
unsigned remainderOf(u128 a, int base) { return static_cast<unsigned>(a % static_cast<unsigned>(base)); }
unsigned remainderOf(const Natural& a, int base) {
  return a.remainderBy(static_cast<std::uint32_t>(base));
}

template <class Number>
void roundInto(const Number& low, const Number& high, int base, const Number& floorOfTwice,
               bool integral, Number* n) {
  Number rounded = floorOfTwice;
  halve(&rounded);
  if (isOdd(floorOfTwice) && !integral) increment(&rounded);
  if (compareNumbers(rounded, low) < 0) rounded = low;
  if (compareNumbers(rounded, high) > 0) rounded = high;
  *n = rounded;
  if (remainderOf(rounded, base) != 0) return;
  const bool hasDown = compareNumbers(rounded, low) > 0;
  Number up = rounded;
  increment(&up);
  const bool hasUp = compareNumbers(up, high) <= 0;
  bool takeUp = hasUp && !hasDown;
  if (hasUp && hasDown) {
    Number doubled = rounded;
    twice(&doubled);
    const int side = compareNumbers(doubled, floorOfTwice);
    takeUp = side < 0 || (side == 0 && !integral);
  }
  if (takeUp)
    *n = up;
  else
    decrement(n);
}

// The nearest of a narrow range (extra == 0).
u128 nearestNarrow(const Candidates& range, int base, int c, const Stored& value) {
  if (range.low == range.high) return range.low;
  if (range.high - range.low == 1 && c >= 2) {
    if (remainderOf(range.low, base) == 0) return range.high;
    if (remainderOf(range.high, base) == 0) return range.low;
  }
  bool integral = false;
  const u128 position = doubledPosition128(value, base, range.e - c + 1, &integral);
  u128 n = 0;
  roundInto<u128>(range.low, range.high, base, position, integral, &n);
  return n;
}

// The nearest of any range, in Natural.
__attribute__((noinline)) void nearestWide(const Candidates& range, int base, int c,
                                           const Stored& value, Natural* n) {
  Natural low = Natural::from128(range.low);
  Natural high = Natural::from128(range.high + 1);
  low.multiplyByPower(base, range.extra);
  high.multiplyByPower(base, range.extra);
  high.subtract(Natural(1));
  Natural position;
  bool integral = false;
  doubledPosition(value, base, range.e - c + 1, &position, &integral);
  roundInto<Natural>(low, high, base, position, integral, n);
}

// Compares |n1 base^k1 - value| with |n2 base^k2 - value| (-1, 0, 1), and
// tells in *smaller how n1 base^k1 compares with n2 base^k2. All three are
// brought to integers by one common factor base^a 2^b.
__attribute__((noinline)) int compareDistances(const Stored& value, int base, const Natural& n1,
                                               int k1, const Natural& n2, int k2,
                                               int* smaller) {
  int common = 0;
  if (-k1 > common) common = -k1;
  if (-k2 > common) common = -k2;
  const int twos = value.binaryExponent < 0 ? -value.binaryExponent : 0;
  Natural a = n1;
  a.multiplyByPower(base, k1 + common);
  a.shiftLeft(twos);
  Natural b = n2;
  b.multiplyByPower(base, k2 + common);
  b.shiftLeft(twos);
  Natural v(value.significand);
  v.multiplyByPower(base, common);
  v.shiftLeft(value.binaryExponent + twos);
  *smaller = compare(a, b);
  auto distance = [&v](Natural* x) {
    if (compare(*x, v) >= 0) {
      x->subtract(v);
    } else {
      Natural d = v;
      d.subtract(*x);
      *x = d;
    }
  };
  distance(&a);
  distance(&b);
  return compare(a, b);
}

// ---------------------------------------------------------------------------
// Writing the text.

char digitCharacter(unsigned value) {
  return static_cast<char>(value < 10 ? '0' + value : 'A' + (value - 10));
}

// Lays out the c digits at digits (room for the string's n digits and a NUL)
// with first-digit exponent e; in scientific notation the string's n - c
// zeros follow the digits.
void layOut(char* out, char* digits, int c, int n, int e, int base, bool scientific,
            bool negative) {
  const int count = scientific ? n : c;
  for (int i = c; i < count; ++i) digits[i] = '0';
  digits[count] = '\0';
  int notation = scientific ? 1 : 0;
  // A limit no exponent reaches keeps the notation asked for.
  constexpr int kNoSwitch = 1 << 28;
  layoutNumeral(out, digits, count, negative ? 1 : 0, e, base, kNoSwitch, &notation);
}

// The c digits of n (below base^c) at digits, one instance per base so
// that the divisions by it are multiplications by constants: one 128-bit
// division splits off the low digits that fit 64 bits.
template <unsigned base>
void writeDigitsOf(char* digits, u128 n, int c) {
  constexpr int kLowDigits = [] {
    int count = 0;
    for (std::uint64_t p = base; p <= UINT64_MAX / base; p *= base) ++count;
    return count;
  }();
  constexpr std::uint64_t kChunk = [] {
    std::uint64_t p = 1;
    for (int i = 0; i < kLowDigits; ++i) p *= base;
    return p;
  }();
  std::uint64_t low = static_cast<std::uint64_t>(n);
  std::uint64_t high = 0;
  if (c > kLowDigits) {
    // n < 2^80, so n / chunk < 2^17 comes from a double estimate within one
    // and a correction.
    const std::uint64_t top = static_cast<std::uint64_t>(n >> 64);
    high = static_cast<std::uint64_t>((static_cast<double>(top) * 0x1p64 +
                                       static_cast<double>(static_cast<std::uint64_t>(n))) /
                                      static_cast<double>(kChunk));
    u128 rest;
    for (;;) {
      const u128 product = static_cast<u128>(high) * kChunk;
      if (product > n) {
        --high;
        continue;
      }
      rest = n - product;
      if (rest >= kChunk) {
        ++high;
        continue;
      }
      break;
    }
    low = static_cast<std::uint64_t>(rest);
  }
  int i = c - 1;
  for (int j = 0; j < kLowDigits && i >= 0; ++j, --i) {
    digits[i] = digitCharacter(static_cast<unsigned>(low % base));
    low /= base;
  }
  for (; i >= 0; --i) {
    digits[i] = digitCharacter(static_cast<unsigned>(high % base));
    high /= base;
  }
}

template <unsigned... bases>
struct DigitWriters {
  void (*of[kMaxBase + 1])(char*, u128, int);
  constexpr DigitWriters() : of() { ((of[bases] = &writeDigitsOf<bases>), ...); }
};
constexpr DigitWriters<2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                       23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36>
    kDigitWriters;

void writeNarrow(char* out, u128 n, int c, int stringLength, int e, int base, bool scientific,
                 bool negative) {
  char digits[kRoundTripMaxLength + 2];
  kDigitWriters.of[base](digits, n, c);
  layOut(out, digits, c, stringLength, e, base, scientific, negative);
}

__attribute__((noinline)) void writeWide(char* out, Natural n, int c, int stringLength, int e,
                                         int base, bool scientific, bool negative) {
  char digits[kRoundTripMaxLength + 2];
  for (int i = c - 1; i >= 0; --i)
    digits[i] = digitCharacter(n.divideBy(static_cast<std::uint32_t>(base)));
  layOut(out, digits, c, stringLength, e, base, scientific, negative);
}

// Picks the nearest of the candidates of c digits (of up to kExponentsTried
// exponents) and writes its text.
__attribute__((noinline)) void writeNearestOfMany(char* out, const Candidates* found, int count,
                                                  int c, int base, bool scientific, bool negative,
                                                  const Stored& value) {
  Natural best;
  int bestIndex = -1;
  for (int i = 0; i < count; ++i) {
    Natural n;
    if (found[i].extra == 0)
      n = Natural::from128(nearestNarrow(found[i], base, c, value));
    else
      nearestWide(found[i], base, c, value, &n);
    int smaller = 0;
    const int distance =
        bestIndex < 0 ? -1
                      : compareDistances(value, base, n, found[i].e - c + 1, best,
                                         found[bestIndex].e - c + 1, &smaller);
    if (distance < 0 || (distance == 0 && smaller < 0)) {
      best = n;
      bestIndex = i;
    }
  }
  const int e = found[bestIndex].e;
  writeWide(out, best, c, shapeOf(c, e, scientific, suffixLength(e, base)).n, e, base, scientific, negative);
}

// ---------------------------------------------------------------------------

Stored storedOf(const ExtReal& image) {
  const int biased = image.biasedExponent();
  return {image.significand(), (biased == 0 ? 1 : biased) - kPointBias};
}

// log_base of the value in double arithmetic, within about 1e-12.
double logOf(const Stored& value, int base) {
  const int zeros = __builtin_clzll(value.significand);
  const double fraction = static_cast<double>(value.significand << zeros) * 0x1p-63;
  return (std::log2(fraction) + (value.binaryExponent + 63 - zeros)) / log2Table().of[base];
}

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

RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, ExtReal value, int base,
                                  int scientific) {
  return roundTripIn(out, maxLength, value, base, scientific);
}

RoundTripOutcome roundTripNumeral(char* out, std::size_t maxLength, FastReal value, int base,
                                  int scientific) {
  return roundTripIn(out, maxLength, value, base, scientific);
}

int plainNotation(FastReal value, int base, int scientific) {
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

bool readBack(const char* text, int base, ExtReal* stored) {
  X87TruncatingMode mode;
  FastReal value;
  int readBase = base;
  const bool accepted = parseNumeral(&value, text, &readBase) == kParseValue && readBase == base;
  if (accepted) *stored = value.toExtReal();
  return accepted;
}

bool readsBack(const char* text, int base, const ExtReal& value) {
  ExtReal stored;
  return readBack(text, base, &stored) &&
         std::memcmp(stored.bytes(), value.bytes(), ExtFormat::kBytes) == 0;
}
