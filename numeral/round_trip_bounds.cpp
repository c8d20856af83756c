// The error bounds of the round-trip search: how far the powers P(s) may lie
// from base^s (a bound from the instructions' accuracy, and each power's own
// error measured against a 128-bit power, memoised per thread), and the
// digit filter built on them.
#include "numeral/round_trip_bounds.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "numeric/fast_real.h"
#include "numeric/thread_tables.h"

namespace round_trip {
namespace {

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
  struct Tag;
  return memoisedByBaseAndExponent<Tag, double, 8192, 4>(
      base, s, [=] { return errorOfPower(cachedPower(base, s).toExtReal(), base, s); });
}

// floor(x) for |x| < 2^62, without a library call.
double floorOfSmall(double x) {
  const double t = static_cast<double>(static_cast<std::int64_t>(x));
  return x < t ? t - 1.0 : t;
}

}  // namespace

bool DigitFilter::start(const ExtReal& v0, int e, int base, int prefixDigits) {
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
  // 2^(exponent - 63) exactly, exponent being 0 to 5, without a call.
  magnitude_ = static_cast<double>(v0.significand()) * (0x1p-63 * (1 << exponent));
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
  saturatedBeforeBase_ = kSaturated / static_cast<unsigned>(base);

  count_ = 0;
  extendTo(1);
  return true;
}

void DigitFilter::extendTo(int target) {
  // The state in locals for the loop, stored back once. Past target the loop
  // goes on while the cheap radius alone rules lengths out (the search asks
  // for the next length until one is not ruled out), and stops at the first
  // length it does not, once that is worked out.
  int n = count_;
  std::uint64_t fraction = fraction_;
  double magnitude = magnitude_;
  std::uint64_t radius = radius_;
  const unsigned base = static_cast<unsigned>(base_);
  // The lengths whose scale and its neighbours' (scale - 1 .. scale + 2)
  // are normal: there a length the cheap radius rules out is ruled out for
  // the search's every use, with nothing more to work out.
  const int quickFrom = e_ + 3 - highestScale_;
  const int quickTo = e_ - lowestScale_;
  for (;;) {
    ++n;
    if (n > 1) {
      fraction = static_cast<std::uint64_t>(static_cast<u128>(fraction) * base);
      magnitude *= base_;
      radius = radius >= saturatedBeforeBase_ ? kSaturated : radius * base;
    }
    if (n >= quickFrom && n <= quickTo && fraction > radius && ~fraction >= radius) {
      ruledOut_[n] = quick_[n] = true;
      if (n >= target && n + 1 >= limit_) break;
      continue;
    }
    const int scale = e_ - n + 1;
    const bool normal = scale >= lowestScale_ && scale <= highestScale_;
    const bool cheaply = normal && fraction > radius && ~fraction >= radius;
    bool ruledOut = cheaply;
    if (normal && !ruledOut && magnitude < 0x1p62) {
      const double errorOfS = cachedErrorOfPower(base_, scale);
      if (std::fabs(errorOfS) <= 0x1p-40) {
        // (d_e - d_s) / (1 + d_s) within d_s^2 |d_e - d_s|, below 2^-119.
        const double p = (errorOfE_ - errorOfS) * (1.0 - errorOfS);
        const double slack =
            magnitude * (0x1p-100 + (std::fabs(errorOfE_) + std::fabs(errorOfS)) * 0x1p-44 +
                         std::fabs(p) * 0x1p-43) +
            0x1p-40;
        const double f = static_cast<double>(fraction) * 0x1p-64;
        const double low = f + magnitude * p - slack;
        const double high = f + magnitude * (p + 0x1.00001p-62) + slack;
        // No integer in [low, high] (both below 2^23 in magnitude).
        const double lowFloor = floorOfSmall(low);
        ruledOut = floorOfSmall(high) == lowFloor && low != lowFloor;
      }
    }
    ruledOut_[n] = ruledOut;
    quick_[n] = ruledOut && scale - 1 >= lowestScale_ && scale + 2 <= highestScale_;
    if (n >= target && (!cheaply || n + 1 >= limit_)) break;
  }
  count_ = n;
  fraction_ = fraction;
  magnitude_ = magnitude;
  radius_ = radius;
}

// log_base of the value in double arithmetic, within about 1e-12.
double logOf(const Stored& value, int base) {
  const int zeros = __builtin_clzll(value.significand);
  const double fraction = static_cast<double>(value.significand << zeros) * 0x1p-63;
  return (std::log2(fraction) + (value.binaryExponent + 63 - zeros)) / log2Table().of[base];
}


}  // namespace round_trip
