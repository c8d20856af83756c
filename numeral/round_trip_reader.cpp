// The read-back check of the round-trip search: for one string length n and
// scale s, the interval of prefixes whose strings the parser stores as
// exactly the value. The parser's steps are taken literally (Reader), or,
// for FastReal where every digit lies in the prefix, in integers, which give
// the same bits (see "The accumulation in integers").
#include "numeral/round_trip_reader.h"

#include <cstdint>
#include <type_traits>

namespace round_trip {
namespace {

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

// The x87 image of a representable integer below 2^128 (exact).
ExtReal imageOfRepresentable(u128 a) { return packImage(false, a, 0); }

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

// ---------------------------------------------------------------------------
// Strings longer than the prefix, in FastReal.
//
// Past its first K digits a string's digits add nothing: each only
// multiplies the accumulation by the base, truncated, a = T(a * base). A
// probe of such a string takes a product per digit, and the search probes
// each length about a hundred times; a value whose shortest text runs to
// thousands of digits (large values in base 3, say) then cost milliseconds
// a length. Here each length costs a few products per digit past the
// prefix, and mostly far fewer: the accumulations that read back, an
// interval of representable values, are taken back through the products
// one at a time, and where no value of the step before gives one of them
// (as happens within a few steps for most lengths) the length has none.
//
// With L representable, T(x) >= L exactly when x >= L, so the least
// representable a with T(a * m) >= L is the least at or above L / m: the
// truncated quotient or the value after it. The largest a with T(a * m)
// <= H is the one below the least with T(a * m) >= H's successor.

// The representable neighbours of a positive normal value.
ExtReal nextUp(const ExtReal& v) {
  const std::uint64_t significand = v.significand() + 1;
  if (significand == 0)
    return ExtReal::fromBits(std::uint64_t{1} << 63,
                             static_cast<std::uint16_t>(v.biasedExponent() + 1));
  return ExtReal::fromBits(significand, static_cast<std::uint16_t>(v.biasedExponent()));
}
ExtReal nextDown(const ExtReal& v) {
  if (v.significand() == std::uint64_t{1} << 63)
    return ExtReal::fromBits(~std::uint64_t{0}, static_cast<std::uint16_t>(v.biasedExponent() - 1));
  return ExtReal::fromBits(v.significand() - 1, static_cast<std::uint16_t>(v.biasedExponent()));
}

// The least representable a with T(a * m) >= bound, for a bound and a
// quotient well inside the normal range.
template <class Real>
ExtReal leastProductAtLeast(const ExtReal& bound, const Real& m) {
  const Real limit(bound);
  const ExtReal q = imageOf(limit / m);
  return Real(q) * m < limit ? nextUp(q) : q;
}

// True when v is normal with its biased exponent in [low, high].
bool exponentWithin(const ExtReal& v, int low, int high) {
  return (v.significand() >> 63) != 0 && v.biasedExponent() >= low && v.biasedExponent() <= high;
}

// solveGroup for n > k digits in FastReal: false, with the group
// untouched, where a value could leave the range this works in (then the
// probes answer).
template <class Real>
bool solvePastPrefix(const Reader<Real>& reader, const Real& target, int base, int n, int k,
                     u128 last, Group* group) {
  // Accumulations lie between 2^64 and T(base^n); the quotients below stay
  // far from both ends of the range.
  constexpr int kLowest = ExtFormat::kExponentBias + 64;
  constexpr int kHighest = ExtFormat::kMaxBiasedExponent - 64;
  const ExtReal targetImage = imageOf(target);
  if (!exponentWithin(targetImage, 1, kHighest)) return false;
  // The accumulations of n digits that read back: [low, high].
  ExtReal low = targetImage;
  ExtReal high = targetImage;
  if (reader.multiplies()) {
    const ExtReal q = imageOf(target / reader.power());
    if (!exponentWithin(q, 1, kHighest)) return false;
    low = leastProductAtLeast(targetImage, reader.power());
    high = nextDown(leastProductAtLeast(nextUp(targetImage), reader.power()));
  }
  const Real baseValue(base);
  for (int digits = n; digits > k; --digits) {
    // No accumulation of more than k digits lies below 2^64.
    if (!exponentWithin(high, kLowest, kHighest) || !exponentWithin(low, 1, kHighest)) {
      if (high.biasedExponent() < kLowest) return true;
      return false;
    }
    if (Real(low) > Real(high)) return true;
    // The accumulations of digits - 1 digits whose product reaches them.
    low = leastProductAtLeast(low, baseValue);
    high = nextDown(leastProductAtLeast(nextUp(high), baseValue));
  }
  if (Real(low) > Real(high)) return true;
  // The prefixes of k digits that accumulate into [low, high].
  const Floor lowFloor = floorOf(low);
  const Floor highFloor = floorOf(high);
  const u128 lowPrefix = leastAccumulatingTo(lowFloor.value + (lowFloor.integral ? 0 : 1), k, base);
  const u128 highPrefix = highFloor.value == ~static_cast<u128>(0)
                              ? last
                              : leastAccumulatingTo(highFloor.value + 1, k, base) - 1;
  if (lowPrefix > highPrefix || lowPrefix > last) return true;
  group->low = lowPrefix;
  group->high = highPrefix;
  group->empty = false;
  return true;
}

}  // namespace

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
  if (std::is_same<Real, FastReal>::value && n > k &&
      solvePastPrefix(*reader, target, base, n, k, last, group))
    return;
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

template void solveGroup<ExtReal>(Reader<ExtReal>* reader, const ExtReal& target, int base, int n,
                                  int scale, Group* group);
template void solveGroup<FastReal>(Reader<FastReal>* reader, const FastReal& target, int base,
                                   int n, int scale, Group* group);

}  // namespace round_trip
