#include "numeric/x87_software_log_exp.h"

#include <atomic>
#include <cstdint>

#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/wide_int.h"
#include "numeric/x87_software_exp2_powers.h"

// How every result is found
// =========================
//
// Enclosures. A pass at precision F computes in fixed point: a real value v
// is held as an integer scaled by 2^F. Every quantity is an Enclosure: an
// integer lo and a bound err with
//
//     lo <= v * 2^F <= lo + err                                         (E)
//
// for the exact real v it stands for. Each operation below takes
// enclosures and returns one, and its comment proves (E) for the result from
// (E) for the operands; so by induction every enclosure a pass computes
// holds its exact value. The bounds are carried at run time, as integers
// rounded up, so they are as tight as the arguments allow and no constant
// has to be re-derived when a series runs one term longer.
//
// Ziv's test. A pass ends with an enclosure [lo, lo + err] of the exact
// magnitude M at some scale. Truncation toward zero onto the extended format
// is monotone, so when lo and lo + err truncate to the same extended value,
// so does M, and that value is the result: the reason for every result is
// this test, passed. When the two ends truncate differently, the pass
// decided nothing and the next pass, with twice the bits, runs.
//
// Why the passes end. M could fail every test only if it were itself a
// value the truncation can land on (a dyadic rational), since an interval of
// shrinking width around any other real eventually fits between two such
// values. The answers given up front are exactly the dyadic ones:
//   - log2(x) for x = m * 2^k is rational only when x is a power of two
//     (then it is the integer k, answered exactly); otherwise it is
//     irrational.
//   - 2^x - 1 for a dyadic x with 0 < |x| < 1 is irrational (2^(p/q) with
//     q > 1 in lowest terms is irrational); x = 1 and x = -1 give the
//     answers 1 and -0.5, exactly.
// The passes run at 128 bits (with tables), then 256, 512, 1024, 2048 and
// 4096 bits. No table of worst cases is published for 64-bit log2 and exp2,
// so the ladder goes far beyond the expected need: over the at most 2^80
// arguments, the closest approach of a result to a truncation boundary is
// expected around 2^-(64 + 80 + a few) relative, which the 256-bit pass
// already resolves with a margin of about 100 bits. An argument that the
// 4096-bit pass still could not decide would have to lie within 2^-4000 of
// a boundary; none is known. Should one ever appear, the result is the
// truncation of the lower end of its 4096-bit enclosure, and it is counted
// in TranscendentalCounts::unresolved (the tests assert that it stays 0).
//
// The error bounds. The bound of a result is the err of its final
// enclosure, built operation by operation from the lemmas, so (E) holds
// for it by the induction above. What the bounds come to (units of 2^-F,
// the largest over random arguments of the whole domain, arguments next to
// 1 and tiny ones included):
//   - the table pass (F = 128): below 400 units, at most 2^-111 relative to
//     the result;
//   - the direct passes: about 9F units for log2 and 5F for 2^x - 1, at most
//     2^-(F - 15) relative to the result.
// The relative size holds because every magnitude is carried at a scale
// where it has at least F - 15 bits: arguments next to 1 (log2) and small
// arguments (2^x - 1) at a scale of their own, below. A pass fails Ziv's
// test only when the exact result lies within that relative distance of a
// 64-bit boundary, so the table pass fails on about one argument in 2^46,
// and in practice only the 64-bit direct first pass of the tests ever
// escalates.

namespace {

// floor(sqrt(2) * 2^63): significands above it are folded below 1 (see the
// direct logarithm).
constexpr std::uint64_t kSqrt2Significand = 0xB504F333F9DE6484ULL;

// An error bound this large decides nothing; arithmetic on bounds saturates
// there instead of wrapping.
constexpr std::uint64_t kUseless = std::uint64_t{1} << 60;

std::uint64_t addBounds(std::uint64_t a, std::uint64_t b) {
  return a >= kUseless || b >= kUseless || a + b >= kUseless ? kUseless : a + b;
}

// bound * 2^shift, rounded up; kUseless when that is not below it.
std::uint64_t scaleBound(std::uint64_t bound, int shift) {
  if (bound == 0) return 0;
  if (bound >= kUseless) return kUseless;
  if (shift >= 0) return shift >= 60 || bound >= (kUseless >> shift) ? kUseless : bound << shift;
  if (shift <= -62) return 1;  // bound < 2^60
  return ((bound - 1) >> -shift) + 1;
}

template <int N>
constexpr int fractionBits() {
  return 64 * (N - 1);
}

// (E) above. A pass at N limbs has F = 64 * (N - 1) fraction bits and one
// limb for the integer part; every value a pass holds is below 8.
template <int N>
struct Enclosure {
  WideInt<N> lo;
  std::uint64_t err = 0;
};

template <int N>
Enclosure<N> exactly(const WideInt<N>& value) {
  Enclosure<N> e;
  e.lo = value;
  return e;
}

template <int N>
Enclosure<N> one() {
  return exactly(WideInt<N>::powerOfTwo(fractionBits<N>()));
}

// a + b. The exact sum lies between the sums of the ends: err adds.
template <int N>
Enclosure<N> add(const Enclosure<N>& a, const Enclosure<N>& b) {
  Enclosure<N> r = a;
  r.lo.add(b.lo);
  r.err = addBounds(a.err, b.err);
  return r;
}

// a - b, for a whose exact value is not below b's. The exact difference lies
// in [a.lo - (b.lo + b.err), a.lo + a.err - b.lo], of width a.err + b.err.
// When the lower end would be negative the enclosure is useless (its pass
// then fails Ziv's test).
template <int N>
Enclosure<N> subtract(const Enclosure<N>& a, const Enclosure<N>& b) {
  WideInt<N> high = b.lo;
  high.add(WideInt<N>(b.err));
  Enclosure<N> r;
  if (b.err >= kUseless || compare(a.lo, high) < 0) {
    r.err = kUseless;
    return r;
  }
  r.lo = a.lo;
  r.lo.subtract(high);
  r.err = addBounds(a.err, b.err);
  return r;
}

// a * b. With A, B the exact scaled values, A <= a.lo + a.err and
// B <= b.lo + b.err, so
//   A * B - a.lo * b.lo <= a.err * b.lo + b.err * a.lo + a.err * b.err,
// and dividing by 2^F, with b.lo < 2^bitLength(b.lo):
//   A * B / 2^F <= floor(a.lo * b.lo / 2^F) + 1
//                  + a.err * 2^(bitLength(b.lo) - F)
//                  + b.err * 2^(bitLength(a.lo) - F) + a.err * b.err / 2^F,
// where the last term is below 1 for bounds below 2^30 (F >= 64). The lower
// end holds as all the values are non-negative and lo <= A, B.
template <int N>
Enclosure<N> multiply(const Enclosure<N>& a, const Enclosure<N>& b) {
  constexpr int F = fractionBits<N>();
  Enclosure<N> r;
  r.lo = multiplyShifted(a.lo, b.lo, N - 1);
  std::uint64_t err = 1;
  err = addBounds(err, scaleBound(a.err, b.lo.bitLength() - F));
  err = addBounds(err, scaleBound(b.err, a.lo.bitLength() - F));
  if (a.err != 0 && b.err != 0)
    err = addBounds(
        err, a.err < (std::uint64_t{1} << 30) && b.err < (std::uint64_t{1} << 30) ? 1 : kUseless);
  r.err = err;
  return r;
}

// a / d for 0 < d < 2^32: A / d <= (a.lo + a.err) / d
//                                < floor(a.lo / d) + 1 + a.err / d.
template <int N>
Enclosure<N> divide(const Enclosure<N>& a, std::uint32_t d) {
  Enclosure<N> r = a;
  r.lo.divideBy(d);
  r.err = addBounds(1, (a.err + d - 1) / d);
  return r;
}

// a / 2^bits, the same argument as for divide.
template <int N>
Enclosure<N> shiftDown(const Enclosure<N>& a, int bits) {
  if (bits <= 0) return a;
  Enclosure<N> r = a;
  r.lo.shiftRight(bits);
  r.err = addBounds(1, scaleBound(a.err, -bits));
  return r;
}

// ---------------------------------------------------------------------------
// ln 2 and 1/ln 2 at each precision, computed on first use.

template <int N>
struct Ln2 {
  Enclosure<N> value;    // ln 2
  Enclosure<N> inverse;  // 1 / ln 2
};

// ln 2 = 2 atanh(1/3) = (2/3) * sum over k >= 0 of 9^-k / (2k + 1).
// The powers p_k = (2/3) 9^-k are enclosed by repeated division (lemma of
// divide); the loop stops at the first k whose enclosure has lo = 0, where
// p_k <= err, and the rest of the series,
//   sum over j >= k of p_j / (2j + 1) <= p_k / (2k + 1) * 9/8 < p_k,
// is added to the bound. 1/ln 2 is bracketed by 2^2F divided by the two
// ends of ln 2's enclosure.
template <int N>
Ln2<N> computeLn2() {
  constexpr int F = fractionBits<N>();
  Enclosure<N> power = divide(exactly(WideInt<N>::powerOfTwo(F + 1)), 3);
  Enclosure<N> sum = power;
  for (std::uint32_t k = 1;; ++k) {
    power = divide(power, 9);
    if (power.lo.isZero()) {
      sum.err = addBounds(sum.err, power.err);
      break;
    }
    sum = add(sum, divide(power, 2 * k + 1));
  }
  Ln2<N> c;
  c.value = sum;
  using Wide = WideInt<2 * N>;
  // Every limb of high is set (GCC cannot follow the limbs in use of a
  // widened value through add, and warns under link-time optimisation).
  std::uint64_t limbs[2 * N] = {};
  for (int i = 0; i < N; ++i) limbs[i] = sum.lo.limb(i);
  Wide high = Wide::fromLimbs(limbs);
  high.add(Wide(sum.err));
  const Wide lower = divideShifted(Wide(1), 2 * F, high);
  Wide upper = divideShifted(Wide(1), 2 * F, Wide(sum.lo));
  upper.add(Wide(1));
  c.inverse.lo = WideInt<N>(lower);
  upper.subtract(lower);
  c.inverse.err = upper.size() <= 1 ? upper.limb(0) : kUseless;
  return c;
}

template <int N>
const Ln2<N>& ln2() {
  static const Ln2<N> constants = computeLn2<N>();
  return constants;
}

// ---------------------------------------------------------------------------
// The end of a pass: Ziv's test.

// w * 2^-scale (w >= 0) cut toward zero onto the extended format, the sign
// from `negative` (see packImage). Only w's top 128 bits can reach the
// image: its last place lies at most 64 bits below w's top bit, so cutting
// the bits below those 128 first moves no cut.
template <int K>
ExtReal truncateOnto(const WideInt<K>& w, int scale, bool negative) {
  const int bits = w.bitLength();
  if constexpr (K > 2) {
    if (bits > 128) {
      const int drop = bits - 128;
      const unsigned __int128 top =
          (static_cast<unsigned __int128>(w.bitsFrom(drop + 64)) << 64) | w.bitsFrom(drop);
      return packImage(negative, top, drop - scale);
    }
  }
  return packImage(negative, w.low128(), -scale);
}

// Ziv's test on the magnitude enclosed by [lo, lo + err] * 2^-scale: true
// and the result in *out when both ends truncate alike.
template <int K>
bool decide(const WideInt<K>& lo, std::uint64_t err, int scale, bool negative, ExtReal* out) {
  const ExtReal low = truncateOnto(lo, scale, negative);
  *out = low;
  if (err >= kUseless) return false;
  WideInt<K> hi = lo;
  hi.add(WideInt<K>(err));
  const ExtReal high = truncateOnto(hi, scale, negative);
  return low.significand() == high.significand() &&
         low.signAndExponent() == high.signAndExponent();
}

// ---------------------------------------------------------------------------
// log2
//
// The argument is x = f * 2^e with f = m / 2^63 in [1, 2), and m > 2^63 (the
// power of two is answered up front). Then log2 x = e + L with L = log2 f in
// (0, 1), and the result's magnitude is M = e + L for e >= 0 and -e - L for
// e < 0, negative in the second case.
//
// M is near 0 in two places only: e = 0 with f next to 1 (M = L), and e = -1
// with f next to 2 (M = 1 - L); the passes' reductions keep M above 2^-15
// everywhere else (see each). In both places the passes write M as the
// logarithm of a number next to 1, lambda * 2^-z, and carry it at the scale
// 2^-(F + z), so it keeps F bits relative to itself however small it is.

// |log2 g| * 2^z for the g that the direct pass reduces f to, enclosed at
// scale 2^-F.
template <int N>
struct LogParts {
  Enclosure<N> lambda;
  int z;
  bool folded;  // g = f / 2 (below 1), else g = f (above 1)
};

// The direct logarithm, for f in (1, 2): g = f, or f / 2 when f > sqrt(2),
// so that g lies in [1/sqrt 2, sqrt 2] and
//   ln g = 2 atanh(s),  s = (g - 1) / (g + 1),  |s| <= 0.1716,
//   atanh |s| = |s| * W(s^2),  W(t) = sum over k >= 0 of t^k / (2k + 1).
// |s| = a / b exactly, with integers a, b. sigma = |s| * 2^z lies in
// [1/2, 2) for z = bitLength(b) - bitLength(a), and is computed as one
// exact floor (err 1). Then t = sigma^2 * 2^-2z and W(t) by its terms:
// q_k = t^k by repeated multiplication, each term q_k / (2k + 1). The loop
// stops at the first k with q_k.lo = 0, where t^k <= q_k.err, and the rest
//   sum over j >= k of t^j / (2j + 1) <= t^k / (2k + 1) / (1 - t) < t^k
// (t <= 0.0295) joins the bound. Finally
//   |log2 g| * 2^z = 2 * sigma * W(t) * (1 / ln 2),
// each step by the lemmas above: about F / 5 terms of 2 units each.
template <int N>
LogParts<N> directLog2Parts(std::uint64_t m) {
  constexpr int F = fractionBits<N>();
  LogParts<N> parts;
  parts.folded = m > kSqrt2Significand;
  using Wide = WideInt<N + 1>;
  // g - 1 = (m - 2^63) / 2^63 and g + 1 = (m + 2^63) / 2^63; folded,
  // 1 - g = (2^64 - m) / 2^64 and 1 + g = (2^64 + m) / 2^64.
  const Wide a(parts.folded ? 0 - m : m - kSignificandIntegerBit);
  Wide b(m);
  b.add(parts.folded ? Wide::powerOfTwo(64) : Wide(kSignificandIntegerBit));
  parts.z = b.bitLength() - a.bitLength();
  Enclosure<N> sigma;
  sigma.lo = WideInt<N>(divideShifted(a, F + parts.z, b));
  sigma.err = 1;
  const Enclosure<N> t = shiftDown(multiply(sigma, sigma), 2 * parts.z);

  Enclosure<N> power = one<N>();
  Enclosure<N> w = one<N>();
  for (std::uint32_t k = 1;; ++k) {
    power = multiply(power, t);
    if (power.lo.isZero()) {
      w.err = addBounds(w.err, power.err);
      break;
    }
    w = add(w, divide(power, 2 * k + 1));
  }
  Enclosure<N> lnScaled = multiply(sigma, w);  // atanh|s| * 2^z, below 2.03
  lnScaled.lo.shiftLeft(1);
  lnScaled.err = addBounds(lnScaled.err, lnScaled.err);
  parts.lambda = multiply(lnScaled, ln2<N>().inverse);
  return parts;
}

// A term of M besides the integer and lambda: an enclosure at scale 2^-F in
// [0, 1), added or subtracted.
template <int N>
struct SignedTerm {
  const Enclosure<N>* value;
  bool positive;
};

// Ziv's test on M = integer + (the terms) + lambdaSign * lambda * 2^-z.
// Without terms, M is carried at scale 2^-(F + z), where integer * 2^(F + z)
// is exact and lambda enters unshifted, so lambda's bound is M's bound.
// With terms, M > 2^-15 (the callers' reductions see to it) and the scale is
// 2^-F, lambda shifted down to it (lemma of shiftDown). The positive parts
// add up to P, the negative ones to Q, and M lies in
// [P.lo - Q.lo - Q.err, P.lo + P.err - Q.lo].
template <int N>
bool finishLog2(std::uint32_t integer, const SignedTerm<N>* terms, int termCount,
                const Enclosure<N>& lambda, bool lambdaPositive, int z, bool negative,
                ExtReal* out) {
  using Wide = WideInt<N + 2>;
  const int scale = fractionBits<N>() + (termCount != 0 ? 0 : z);
  Wide positive(integer);
  positive.shiftLeft(scale);
  Wide negativePart;
  std::uint64_t positiveErr = 0;
  std::uint64_t negativeErr = 0;
  auto take = [&](const Enclosure<N>& part, bool partPositive) {
    (partPositive ? positive : negativePart).add(Wide(part.lo));
    std::uint64_t& err = partPositive ? positiveErr : negativeErr;
    err = addBounds(err, part.err);
  };
  take(termCount != 0 ? shiftDown(lambda, z) : lambda, lambdaPositive);
  for (int i = 0; i < termCount; ++i) take(*terms[i].value, terms[i].positive);
  negativePart.add(Wide(negativeErr));
  if (negativeErr >= kUseless || compare(positive, negativePart) < 0) {
    *out = ExtReal::fromBits(0, 0);
    return false;
  }
  positive.subtract(negativePart);
  return decide(positive, addBounds(positiveErr, negativeErr), scale, negative, out);
}

// A direct pass: the result's magnitude from the parts.
//   unfolded: L = lambda 2^-z;      M = e + L, or -e - L for e < 0;
//   folded:   L = 1 - lambda 2^-z;  M = (e + 1) - lambda 2^-z, or
//                                     (-e - 1) + lambda 2^-z for e < 0.
template <int N>
bool directLog2Pass(std::uint64_t m, int e, ExtReal* out) {
  const LogParts<N> parts = directLog2Parts<N>(m);
  const bool negative = e < 0;
  std::uint32_t integer = static_cast<std::uint32_t>(negative ? -e : e);
  bool lambdaPositive = !negative;
  if (parts.folded) {
    integer = negative ? integer - 1 : integer + 1;
    lambdaPositive = negative;
  }
  return finishLog2<N>(integer, nullptr, 0, parts.lambda, lambdaPositive, parts.z, negative, out);
}

// ---------------------------------------------------------------------------
// The table passes (Tang's method) at F = 128, with tables enclosed once by
// the direct pass at the same precision.

constexpr int kTableLimbs = 3;
using Fast = Enclosure<kTableLimbs>;
constexpr int kTableFraction = fractionBits<kTableLimbs>();

// Widens an enclosure by `below` units downward and `above` upward.
Fast widen(Fast x, std::uint64_t below, std::uint64_t above) {
  if (below != 0) {
    const WideInt<kTableLimbs> step(below);
    if (compare(x.lo, step) < 0) {
      x.err = addBounds(x.err, x.lo.limb(0));
      x.lo = WideInt<kTableLimbs>();
    } else {
      x.lo.subtract(step);
      x.err = addBounds(x.err, below);
    }
  }
  x.err = addBounds(x.err, above);
  return x;
}

// |log2 g| at scale 2^-F for the g the direct pass reduces f = m / 2^63 to
// (f, or f / 2 when *folded): for the table entries.
Fast reducedLog2(std::uint64_t m, bool* folded) {
  const LogParts<kTableLimbs> parts = directLog2Parts<kTableLimbs>(m);
  *folded = parts.folded;
  return shiftDown(parts.lambda, parts.z);
}

// log2 f = tau1_j + tau2_k + log2(1 + r), in two exact reductions:
//   - The top 7 fraction bits of f pick j and a factor c1 = k1 / 2^16 near
//     1 / (1 + (j + 1/2) / 128); f * c1 = 1 + r1 exactly (m * k1 has 81
//     bits), with |r1| < 2^-8 for 0 < j < 127. tau1 = 16 - log2 k1, in
//     [0, 1]. j = 0 takes k1 = 2^16 (tau1 = 0, r1 = f - 1 in [0, 2^-7)) and
//     j = 127 takes k1 = 2^15 (tau1 = 1, r1 = f / 2 - 1 in [-2^-8, 0)).
//   - k = floor(r1 * 2^15), in [-128, 255], picks c2 = k2 / 2^24 near
//     1 / (1 + (k + 1/2) 2^-15); (1 + r1) c2 = 1 + r exactly (m k1 k2 has
//     at most 105 bits), tau2 = 24 - log2 k2, of either sign and below
//     0.012 in magnitude. k = 0 and k = -1 take k2 = 2^24 (tau2 = 0,
//     r = r1); over every j and k, |r| <= 2^-15 (checked exactly with
//     rationals at the ends of every interval: the largest |r| is that of
//     k = 0 and k = -1).
// So M can be near 0 only where the taus are exact: f next to 1 (j = 0,
// k = 0, e = 0) or next to 2 (j = 127, k = -1, e = -1), with r = f - 1 or
// f / 2 - 1. Elsewhere M >= log2(1 + 2^-15) > 2^-15.
// The factors and the reciprocals are cheap and made at once. The 510
// logarithms tau1 and tau2 each take a direct pass: all of them together
// cost about a millisecond natively (tens of milliseconds in a browser's
// first, unoptimised compilation of the module), while a run of conversions
// needs a handful. So each is computed on its first use (TableLogarithms).
struct Log2Table {
  std::uint32_t factor1[128];
  std::uint32_t factor2[384];  // index k + 128
  Fast reciprocal[24];         // 1 / (n + 1)
};

// round(2^16 / (1 + (j + 1/2) / 128)) = round(2^24 / (257 + 2j)), with the
// ends as above.
std::uint32_t factor1Of(int j) {
  return j == 0     ? 1u << 16
         : j == 127 ? 1u << 15
                    : ((1u << 25) / (257 + 2 * j) + 1) / 2;
}

// round(2^24 / (1 + (k + 1/2) 2^-15)) = round(2^40 / (2^16 + 2k + 1)), with
// 2^24 for k = 0 and k = -1.
std::uint32_t factor2Of(int k) {
  return k == 0 || k == -1
             ? 1u << 24
             : static_cast<std::uint32_t>(
                   ((std::uint64_t{1} << 41) / ((1 << 16) + 2 * k + 1) + 1) / 2);
}

Log2Table computeLog2Table() {
  Log2Table table;
  for (int j = 0; j < 128; ++j) table.factor1[j] = factor1Of(j);
  for (int k = -128; k <= 255; ++k) table.factor2[k + 128] = factor2Of(k);
  for (int n = 0; n < 24; ++n)
    table.reciprocal[n] = divide(one<kTableLimbs>(), static_cast<std::uint32_t>(n + 1));
  return table;
}

const Log2Table& log2Table() {
  static const Log2Table table = computeLog2Table();
  return table;
}

// A table logarithm: its magnitude, and its sign.
struct TableLogarithm {
  Fast magnitude;
  bool positive = true;
};

// tau1 = 1 - log2(k1 / 2^15), with k1 / 2^15 in (1, 2): 1 - |log2 g|
// unfolded, |log2 g| folded (log2(k1 / 2^15) = 1 + log2 g). For 0 < j < 127.
TableLogarithm computeTau1(int j) {
  bool folded;
  const Fast reduced = reducedLog2(std::uint64_t{factor1Of(j)} << 48, &folded);
  return {folded ? reduced : subtract(one<kTableLimbs>(), reduced), true};
}

// tau2 = -log2(k2 / 2^24). Above 1, k2 / 2^24 = (k2 2^39) / 2^63 is
// unfolded: tau2 = -|log2 g|. Below 1, (k2 2^40) / 2^63 is folded and
// k2 / 2^24 = g itself: tau2 = |log2 g|. For k2 != 2^24.
TableLogarithm computeTau2(int k) {
  const std::uint64_t k2 = factor2Of(k);
  bool folded;
  const int shift = k2 > std::uint64_t{1} << 24 ? 39 : 40;
  const Fast magnitude = reducedLog2(k2 << shift, &folded);
  return {magnitude, folded};
}

// The logarithms of one kind (tau1 by j, or tau2 by k + 128), each computed
// by the thread that first needs it and kept for every thread. An entry is
// empty, being written, or ready; only the thread that moves it from empty
// to being written writes it, and it publishes it with a release store that
// the readers' acquire load pairs with. A thread that finds an entry being
// written computes its own copy, which is the same, rather than wait.
template <int kEntries, TableLogarithm (*compute)(int)>
class TableLogarithms {
 public:
  TableLogarithm at(int index, int argument) {
    Slot& slot = slots_[index];
    if (slot.state.load(std::memory_order_acquire) == kReady) return slot.value;
    const TableLogarithm value = compute(argument);
    unsigned char expected = kEmpty;
    if (slot.state.compare_exchange_strong(expected, kWriting, std::memory_order_acquire)) {
      slot.value = value;
      slot.state.store(kReady, std::memory_order_release);
    }
    return value;
  }

 private:
  static constexpr unsigned char kEmpty = 0, kWriting = 1, kReady = 2;
  struct Slot {
    std::atomic<unsigned char> state{kEmpty};
    TableLogarithm value;
  };
  Slot slots_[kEntries];
};

TableLogarithm tau1(int j) {
  static TableLogarithms<128, computeTau1> logarithms;
  return logarithms.at(j, j);
}

TableLogarithm tau2(int k) {
  static TableLogarithms<384, computeTau2> logarithms;
  return logarithms.at(k + 128, k);
}

// sum over n <= degree of c_n (-x)^n (alternating) or c_n x^n by Horner's
// rule, each step by the lemmas of multiply and add or subtract. In the
// alternating case every nested sum c_n - x (c_(n+1) - ...) is positive
// (the c_n decrease and x < 1), as subtract requires.
Fast horner(const Fast* coefficients, int degree, const Fast& x, bool alternating) {
  Fast sum = coefficients[degree];
  for (int n = degree - 1; n >= 0; --n) {
    const Fast product = multiply(sum, x);
    sum = alternating ? subtract(coefficients[n], product) : add(coefficients[n], product);
  }
  return sum;
}

// ln(1 + r) = r H(r), H(r) = sum over n >= 0 of (-r)^n / (n + 1), for
// |r| = magnitude < 2^-b (b >= 14), summed by Horner's rule up to degree K,
// the least with b (K + 1) + floor(log2(K + 2)) >= F + 1. The rest is below
//   |r|^(K+1) / (K + 2) / (1 - |r|) < 2^-F,
// one unit, on the side of the first omitted term: widened both ways for
// r > 0 (where the terms alternate), upward for r < 0.
Fast log1pQuotient(const Fast& magnitude, bool rPositive, const Log2Table& table) {
  const int b = kTableFraction - magnitude.lo.bitLength();
  int degree = 0;
  while (b * (degree + 1) + (31 - __builtin_clz(static_cast<unsigned>(degree + 2))) <
         kTableFraction + 1)
    ++degree;
  if (degree >= 24) return Fast{WideInt<kTableLimbs>(), kUseless};  // never: b >= 14
  return widen(horner(table.reciprocal, degree, magnitude, rPositive), rPositive ? 1 : 0, 1);
}

bool tableLog2Pass(std::uint64_t m, int e, ExtReal* out) {
  constexpr int N = kTableLimbs;
  constexpr int F = kTableFraction;
  const Log2Table& table = log2Table();
  const int j = static_cast<int>((m >> 56) & 127);
  // 1 + r1 = m k1 / 2^79.
  WideInt<N> product(m);
  product.multiplyAdd(table.factor1[j]);
  const WideInt<N> unit1 = WideInt<N>::powerOfTwo(79);
  int k;  // floor(r1 2^15) = floor((m k1 - 2^79) / 2^64)
  if (compare(product, unit1) >= 0) {
    WideInt<N> d = product;
    d.subtract(unit1);
    k = static_cast<int>(d.limb(1));
  } else {
    WideInt<N> d = unit1;
    d.subtract(product);
    k = -static_cast<int>(d.limb(1)) - (d.limb(0) != 0 ? 1 : 0);
  }
  // 1 + r = m k1 k2 / 2^103.
  product.multiplyAdd(table.factor2[k + 128]);
  const WideInt<N> unit = WideInt<N>::powerOfTwo(103);
  const bool rPositive = compare(product, unit) >= 0;
  WideInt<N> d = rPositive ? product : unit;  // |r| = d / 2^103
  d.subtract(rPositive ? unit : product);

  Enclosure<N> lambda;  // |log2(1 + r)| * 2^z
  int z = 0;
  if (!d.isZero()) {
    z = 104 - d.bitLength();  // rho = |r| 2^z in [1/2, 1)
    WideInt<N> rho = d;
    rho.shiftLeft(F + z - 103);
    WideInt<N> r = d;
    r.shiftLeft(F - 103);
    const Fast quotient = log1pQuotient(exactly(r), rPositive, table);
    lambda = multiply(multiply(exactly(rho), quotient), ln2<N>().inverse);
  }
  // L = tau1 + tau2 + (rPositive ? 1 : -1) lambda 2^-z; M = |e| + (e < 0 ? -L : L).
  const bool negative = e < 0;
  std::uint32_t integer = static_cast<std::uint32_t>(negative ? -e : e);
  SignedTerm<N> terms[2];
  int termCount = 0;
  TableLogarithm first, second;
  if (j == 127) {
    integer = negative ? integer - 1 : integer + 1;
  } else if (j != 0) {
    first = tau1(j);
    terms[termCount++] = {&first.magnitude, !negative};
  }
  if (table.factor2[k + 128] != 1u << 24) {
    second = tau2(k);
    terms[termCount++] = {&second.magnitude, second.positive != negative};
  }
  return finishLog2<N>(integer, terms, termCount, lambda, rPositive != negative, z, negative, out);
}

// ---------------------------------------------------------------------------
// 2^x - 1
//
// x = +-X * 2^e with X = m / 2^63 in [1, 2), e <= 0, |x| < 1 (x = +-1 is
// answered up front). With v = |x| ln 2 <= ln 2,
//   2^x - 1 = e^v - 1  =  v * S+(v),  S+(v) = sum over n >= 0 of v^n / (n + 1)!
//   2^x - 1 = e^-v - 1 = -v * S-(v), S-(v) = sum of (-v)^n / (n + 1)!
// with S+ in [1, 1.45) and S- in (0.72, 1]: the magnitude is
// (X ln 2) * S * 2^e, a number in [0.5, 2) times a power of two, so it is
// carried at the scale 2^-(F - e) with F bits relative to itself, down to
// the smallest arguments and into the subnormal range.

// S+(v) or S-(v) for v in [0, ln 2]. c_n = v^n / (n + 1)! by
// c_n = c_(n-1) * v / (n + 1); the loop stops at the first n with
// c_n.lo = 0, where c_n <= err. The terms decrease (v < n + 2), so the rest
// of the series is below c_n / (1 - ln 2 / 3) < 2 c_n for S+, and of
// magnitude at most c_n for the alternating S-, whose even and odd terms are
// summed apart and both widened by it.
template <int N>
Enclosure<N> expSeries(const Enclosure<N>& v, bool alternating) {
  Enclosure<N> term = one<N>();
  Enclosure<N> even = one<N>();
  // Zero with its lowest limb set, for the same reason as in computeLn2.
  Enclosure<N> odd = exactly(WideInt<N>(std::uint64_t{0}));
  for (std::uint32_t n = 1;; ++n) {
    term = divide(multiply(term, v), n + 1);
    if (term.lo.isZero()) {
      if (alternating) {
        even.err = addBounds(even.err, term.err);
        odd.err = addBounds(odd.err, term.err);
      } else {
        even.err = addBounds(even.err, addBounds(term.err, term.err));
      }
      break;
    }
    if (alternating && (n & 1) != 0)
      odd = add(odd, term);
    else
      even = add(even, term);
  }
  return alternating ? subtract(even, odd) : even;
}

// (X ln 2) * S(|x| ln 2): the magnitude of 2^x - 1 at scale 2^-(F - e).
template <int N>
Enclosure<N> directExp2m1(bool negative, std::uint64_t m, int e) {
  constexpr int F = fractionBits<N>();
  WideInt<N> x(m);
  x.shiftLeft(F - 63);
  const Enclosure<N> scaled = multiply(exactly(x), ln2<N>().value);  // X ln 2
  const Enclosure<N> v = shiftDown(scaled, -e);
  return multiply(scaled, expSeries(v, negative));
}

template <int N>
bool directExp2m1Pass(bool negative, std::uint64_t m, int e, ExtReal* out) {
  const Enclosure<N> magnitude = directExp2m1<N>(negative, m, e);
  return decide(magnitude.lo, magnitude.err, fractionBits<N>() - e, negative, out);
}

// The table pass (Tang's method).
//   x > 0, x >= 2^-7: j = floor(128 x) >= 1, r = x - j / 128 in [0, 2^-7):
//     2^x - 1 = (T_j - 1) + T_j (2^r - 1),  T_j = 2^(j / 128);
//   x < 0, |x| >= 2^-7: y = 1 + x in (0, 1 - 2^-7], j = floor(128 y), r
//   likewise:
//     |2^x - 1| = 1 - 2^y / 2 = 1 - (T_j + T_j (2^r - 1)) / 2;
// with 2^r - 1 = (r ln 2) S+(r ln 2). The magnitude is at least
// 1 - 2^(-1/128) > 2^-8, so scale 2^-F keeps F - 8 bits of it. T_0 = 1
// exactly; the other T_j are enclosed once by the direct pass.
//   |x| < 2^-7: the direct formula (X ln 2) S(|x| ln 2) 2^e, carried at
//   scale 2^-(F - e) as in the direct pass.
// Either way v = r ln 2 or |x| ln 2 is below 2^-7 * 1.39 < 2^-6.5, and
// S(v) is summed by Horner's rule up to degree K, the least with
// b (K + 1) + lf(K + 2) >= F + 2, where the upper end of v's enclosure is
// below 2^-b (so v is) and lf(n) <= log2 n! is the sum of floor(log2 i) for
// i <= n. The rest of the series,
//   v^(K+1) / (K+2)! * (1 + v / (K + 3) + ...) < 2 v^(K+1) / (K+2)!,
// is then below one unit: upward for S+, both ways for the alternating S-.
struct Exp2Table {
  Fast power[128];             // 2^(j / 128)
  Fast inverseFactorial[24];   // 1 / (n + 1)!
  int log2FactorialFloor[26];  // lf(n)
};

// 2^(j / 128) as the direct pass encloses it.
Fast computeExp2Power(int j) {
  if (j == 0) return one<kTableLimbs>();
  // j / 128 = (j 2^(63 - top)) 2^((top - 7) - 63), top the index of j's
  // highest bit; the direct pass gives 2^(j/128) - 1 at scale 2^-(F - e).
  const int top = 31 - __builtin_clz(static_cast<unsigned>(j));
  const int e = top - 7;
  const Fast fraction =
      shiftDown(directExp2m1<kTableLimbs>(false, std::uint64_t(j) << (63 - top), e), -e);
  return add(one<kTableLimbs>(), fraction);
}

// The powers from their written-out rows (x87_software_exp2_powers.h),
// the rest computed: a few divisions.
Exp2Table computeExp2Table() {
  static_assert(kExp2Powers == 128 && kTableLimbs == 3, "the rows' shape");
  Exp2Table table;
  for (int j = 0; j < kExp2Powers; ++j) {
    table.power[j].lo = WideInt<kTableLimbs>::fromLimbs(kExp2PowerRows[j]);
    table.power[j].err = kExp2PowerRows[j][3];
  }
  Fast coefficient = one<kTableLimbs>();
  for (int n = 0; n < 24; ++n) {
    coefficient = divide(coefficient, static_cast<std::uint32_t>(n + 1));
    table.inverseFactorial[n] = coefficient;
  }
  table.log2FactorialFloor[0] = 0;
  for (int n = 1; n < 26; ++n)
    table.log2FactorialFloor[n] =
        table.log2FactorialFloor[n - 1] + (31 - __builtin_clz(static_cast<unsigned>(n)));
  return table;
}

const Exp2Table& exp2Table() {
  static const Exp2Table table = computeExp2Table();
  return table;
}

bool sameEnclosure(const Fast& a, const Fast& b) {
  for (int i = 0; i < kTableLimbs; ++i)
    if (a.lo.limb(i) != b.lo.limb(i)) return false;
  return a.err == b.err;
}

Fast hornerExpSeries(const Fast& v, bool alternating, const Exp2Table& table) {
  WideInt<kTableLimbs> upper = v.lo;  // v's upper end: v < 2^-b
  upper.add(WideInt<kTableLimbs>(v.err));
  const int b = kTableFraction - upper.bitLength();
  int degree = 0;
  while (b * (degree + 1) + table.log2FactorialFloor[degree + 2] < kTableFraction + 2) ++degree;
  if (degree >= 24) return Fast{WideInt<kTableLimbs>(), kUseless};  // never: b >= 6
  return widen(horner(table.inverseFactorial, degree, v, alternating), alternating ? 1 : 0, 1);
}

bool tableExp2m1Pass(bool negative, std::uint64_t m, int e, ExtReal* out) {
  constexpr int N = kTableLimbs;
  constexpr int F = kTableFraction;
  const Exp2Table& table = exp2Table();
  if (e < -7) {
    WideInt<N> x(m);
    x.shiftLeft(F - 63);
    const Fast scaled = multiply(exactly(x), ln2<N>().value);  // X ln 2
    const Fast magnitude =
        multiply(scaled, hornerExpSeries(shiftDown(scaled, -e), negative, table));
    return decide(magnitude.lo, magnitude.err, F - e, negative, out);
  }
  WideInt<N> y(m);  // |x| 2^F, exact
  y.shiftLeft(F - 63 + e);
  if (negative) {
    WideInt<N> complement = WideInt<N>::powerOfTwo(F);
    complement.subtract(y);
    y = complement;
  }
  const int j = static_cast<int>(y.bitsFrom(F - 7));
  y.clearFrom(F - 7);  // r
  const Fast v = multiply(exactly(y), ln2<N>().value);
  const Fast fraction = multiply(v, hornerExpSeries(v, false, table));  // 2^r - 1
  const Fast& power = table.power[j];
  const Fast grown = multiply(power, fraction);
  const Fast magnitude = negative ? subtract(one<N>(), shiftDown(add(power, grown), 1))
                                  : add(subtract(power, one<N>()), grown);
  return decide(magnitude.lo, magnitude.err, F, negative, out);
}

// ---------------------------------------------------------------------------
// The passes in order, and their counts.

thread_local TranscendentalCounts log2Tally = {};
thread_local TranscendentalCounts exp2m1Tally = {};

using Log2Pass = bool (*)(std::uint64_t, int, ExtReal*);
using Exp2m1Pass = bool (*)(bool, std::uint64_t, int, ExtReal*);

constexpr Log2Pass kLog2Passes[kTranscendentalPasses] = {tableLog2Pass,      directLog2Pass<5>,
                                                         directLog2Pass<9>,  directLog2Pass<17>,
                                                         directLog2Pass<33>, directLog2Pass<65>};
constexpr Exp2m1Pass kExp2m1Passes[kTranscendentalPasses] = {
    tableExp2m1Pass,      directExp2m1Pass<5>,  directExp2m1Pass<9>,
    directExp2m1Pass<17>, directExp2m1Pass<33>, directExp2m1Pass<65>};

// The result of the first pass that decides: `first`, then the passes of
// the ladder from index `next` on. Should none decide, the last pass's
// lower end, counted as unresolved (see the top of the file).
ExtReal runLog2(Log2Pass first, int next, std::uint64_t m, int e) {
  ++log2Tally.results;
  ++log2Tally.passes[0];
  ExtReal result;
  if (first(m, e, &result)) return result;
  for (int i = next; i < kTranscendentalPasses; ++i) {
    ++log2Tally.passes[i];
    if (kLog2Passes[i](m, e, &result)) return result;
  }
  ++log2Tally.unresolved;
  return result;
}

ExtReal runExp2m1(Exp2m1Pass first, int next, bool negative, std::uint64_t m, int e) {
  ++exp2m1Tally.results;
  ++exp2m1Tally.passes[0];
  ExtReal result;
  if (first(negative, m, e, &result)) return result;
  for (int i = next; i < kTranscendentalPasses; ++i) {
    ++exp2m1Tally.passes[i];
    if (kExp2m1Passes[i](negative, m, e, &result)) return result;
  }
  ++exp2m1Tally.unresolved;
  return result;
}

// The integer k as an image: exact, as it has at most 25 bits.
ExtReal integerImage(int k) {
  const std::uint64_t magnitude =
      static_cast<std::uint64_t>(k < 0 ? -static_cast<long long>(k) : k);
  return packImage(k < 0, magnitude, 0);
}

// The answers that need no pass, or nullptr-like false when a pass must run.
bool log2UpFront(std::uint64_t m, int e, ExtReal* out) {
  if (m != kSignificandIntegerBit) return false;
  *out = integerImage(e);  // log2(2^e) = e
  return true;
}

bool exp2m1UpFront(bool negative, std::uint64_t m, int e, ExtReal* out) {
  if (e < 0) return false;
  if (e > 0 || m != kSignificandIntegerBit) {
    *out = indefinite();  // outside the contract: |x| > 1
    return true;
  }
  // 2^1 - 1 = 1 and 2^-1 - 1 = -0.5, exactly.
  *out = packImage(negative, 1, negative ? -1 : 0);
  return true;
}

}  // namespace

ExtReal truncatedLog2(std::uint64_t significand, int exponent) {
  ExtReal result;
  if (log2UpFront(significand, exponent, &result)) return result;
  return runLog2(tableLog2Pass, 1, significand, exponent);
}

ExtReal truncatedExp2m1(bool negative, std::uint64_t significand, int exponent) {
  ExtReal result;
  if (exp2m1UpFront(negative, significand, exponent, &result)) return result;
  return runExp2m1(tableExp2m1Pass, 1, negative, significand, exponent);
}

TranscendentalCounts log2Counts() { return log2Tally; }
TranscendentalCounts exp2m1Counts() { return exp2m1Tally; }
void resetTranscendentalCounts() {
  log2Tally = TranscendentalCounts{};
  exp2m1Tally = TranscendentalCounts{};
}

namespace x87_software_testing {

// The direct pass of each precision the tests may start from: 64 bits, then
// the ladder's 128 to 4096; and the index of the ladder's next pass.
constexpr int kDirectStarts = 7;
constexpr Log2Pass kDirectLog2[kDirectStarts] = {
    directLog2Pass<2>,  directLog2Pass<3>,  directLog2Pass<5>, directLog2Pass<9>,
    directLog2Pass<17>, directLog2Pass<33>, directLog2Pass<65>};
constexpr Exp2m1Pass kDirectExp2m1[kDirectStarts] = {
    directExp2m1Pass<2>,  directExp2m1Pass<3>,  directExp2m1Pass<5>, directExp2m1Pass<9>,
    directExp2m1Pass<17>, directExp2m1Pass<33>, directExp2m1Pass<65>};

int directStart(int firstPassBits) {
  int start = 0;
  while (start + 1 < kDirectStarts && (64 << (start + 1)) <= firstPassBits) ++start;
  return start;  // 64 << start bits, the largest not above firstPassBits
}

ExtReal truncatedLog2Direct(int firstPassBits, std::uint64_t significand, int exponent) {
  ExtReal result;
  if (log2UpFront(significand, exponent, &result)) return result;
  const int start = directStart(firstPassBits);
  return runLog2(kDirectLog2[start], start < 2 ? 1 : start, significand, exponent);
}

ExtReal truncatedExp2m1Direct(int firstPassBits, bool negative, std::uint64_t significand,
                              int exponent) {
  ExtReal result;
  if (exp2m1UpFront(negative, significand, exponent, &result)) return result;
  const int start = directStart(firstPassBits);
  return runExp2m1(kDirectExp2m1[start], start < 2 ? 1 : start, negative, significand, exponent);
}

bool exp2PowersAreTheirComputation() {
  const Exp2Table& table = exp2Table();
  for (int j = 0; j < kExp2Powers; ++j)
    if (!sameEnclosure(table.power[j], computeExp2Power(j))) return false;
  return true;
}

}  // namespace x87_software_testing
