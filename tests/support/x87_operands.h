// Random 10-byte images for comparing the software instructions with the
// unit, weighted toward the cases that are hard to get right: every special
// encoding, exponents at both ends of the range, significands of few or
// many bits, and second operands tied to the first so that sums cancel,
// alignments cross the significand's width, and products, quotients and
// scalings land beside the underflow and overflow thresholds or just beside
// a representable value.
#ifndef VELTRANE_TESTS_SUPPORT_X87_OPERANDS_H
#define VELTRANE_TESTS_SUPPORT_X87_OPERANDS_H

#include <cstdint>
#include <random>

#include "numeric/ext_real.h"

namespace x87test {

constexpr std::uint64_t kTop = 1ULL << 63;
constexpr int kBias = 16383;

class OperandSource {
 public:
  explicit OperandSource(std::uint64_t seed) : rng_(seed) {}

  std::uint64_t bits() { return rng_(); }
  // Uniform in [0, n), n > 0 (the slight bias of the modulus is harmless).
  int below(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  int between(int low, int high) { return low + below(high - low + 1); }
  bool coin() { return (rng_() & 1) != 0; }

  // A significand with bit 63 set, in one of several shapes.
  std::uint64_t significand() {
    switch (below(9)) {
      case 0:
        return kTop;
      case 1:
        return ~0ULL;
      case 2:
        return kTop | (bits() >> between(1, 63));  // a run of low bits
      case 3:
        return ~0ULL << between(0, 63);  // ones then zeros
      case 4:
        return kTop | (1ULL << below(63));
      case 5:
        return kTop | (bits() & bits() & bits());  // sparse
      case 6:
        return ~0ULL - static_cast<std::uint64_t>(below(4));  // just below a power of two
      case 7:
        return kTop + static_cast<std::uint64_t>(below(4));  // just above one
      default:
        return kTop | bits();
    }
  }

  // A biased exponent of a normal value: anywhere, near either end, or
  // near 1.
  int biasedExponent() {
    switch (below(4)) {
      case 0:
        return between(1, 140);
      case 1:
        return between(0x7FFE - 140, 0x7FFE);
      case 2:
        return between(kBias - 70, kBias + 70);
      default:
        return between(1, 0x7FFE);
    }
  }

  std::uint16_t sign() { return coin() ? 0x8000 : 0; }

  // Every draw below is sequenced in a statement of its own, so that the
  // operands are the same whichever order a compiler evaluates arguments in.
  static ExtReal image(std::uint16_t sign, int biased, std::uint64_t significand) {
    return ExtReal::fromBits(significand, static_cast<std::uint16_t>(sign | biased));
  }

  ExtReal normal(int biased) {
    const std::uint16_t s = sign();
    return image(s, biased, significand());
  }

  ExtReal subnormal() {
    const std::uint16_t s = sign();
    const std::uint64_t m = significand() >> between(1, 63);
    return image(s, 0, m == 0 ? 1 : m);
  }

  // Any image, every kind represented.
  ExtReal any() {
    const int pick = below(100);
    if (pick < 55) return normal(biasedExponent());
    if (pick < 63) return subnormal();
    const std::uint16_t s = sign();
    if (pick < 67) return image(s, 0, significand());  // pseudo-denormal
    if (pick < 72) return image(s, 0, 0);
    if (pick < 76) return image(s, 0x7FFF, kTop);
    if (pick < 81)  // quiet NaN
      return image(s, 0x7FFF, kTop | (1ULL << 62) | (coin() ? bits() : 0));
    if (pick < 86) {  // signalling NaN
      const std::uint64_t payload = (coin() ? bits() : 1ULL << below(62)) & ((1ULL << 62) - 1);
      return image(s, 0x7FFF, kTop | (payload == 0 ? 1 : payload));
    }
    if (pick < 88) return image(0x8000, 0x7FFF, kTop | (1ULL << 62));  // the indefinite
    if (pick < 92)  // pseudo-NaN or pseudo-infinity
      return image(s, 0x7FFF, coin() ? 0 : significand() & ~kTop);
    // unnormal, zero significand included
    const int biased = biasedExponent();
    return image(s, biased, coin() ? 0 : significand() >> between(1, 63));
  }

  // A second operand for a two-operand instruction with first operand a.
  ExtReal partner(ExtReal a) {
    const int biasedA = a.biasedExponent();
    if (biasedA == 0 || biasedA == 0x7FFF || below(10) < 3) return any();
    const std::uint16_t signA = a.signAndExponent() & 0x8000;
    const std::uint16_t s = sign();
    // b = s * m * 2^(biased - bias), or a subnormal or any image when
    // `biased` falls outside the normal range.
    const auto at = [&](int biased, std::uint64_t m) {
      if (biased < 1) return subnormal();
      if (biased > 0x7FFE) return any();
      return image(s, biased, m);
    };
    switch (below(8)) {
      case 0:  // the same magnitude, either sign: x - x, x / x
        return image(s, biasedA, a.significand());
      case 1:  // a few units away, either sign: cancellation, quotients beside 1
        return at(biasedA, (a.significand() + static_cast<std::uint64_t>(between(-3, 3))) | kTop);
      case 2: {  // alignments at and beyond the significand's width
        static const int gaps[] = {0, 1, 2, 3, 61, 62, 63, 64, 65, 66, 67, 124, 125, 126, 127, 128};
        const int gap = coin() ? gaps[below(16)] : below(140);
        const int biased = biasedA + (coin() ? gap : -gap);
        return at(biased, significand());
      }
      case 3: {  // products near the underflow and overflow thresholds
        const int target = coin() ? -16382 - below(70) : 16384 - below(3);
        return at(target - (biasedA - kBias) + kBias, significand());
      }
      case 4: {  // quotients near the underflow and overflow thresholds
        const int target = coin() ? -16382 - below(70) : 16384 - below(3);
        return at((biasedA - kBias) - target + kBias, significand());
      }
      case 5: {  // a power of two, of a's sign or not: exact results
        const int biased = between(1, 0x7FFE);
        return image(static_cast<std::uint16_t>(signA ^ s), biased, kTop);
      }
      case 6: {  // just beside a power of two: results just beside a's neighbours
        const std::uint64_t m = coin() ? kTop + 1 : ~0ULL;
        return at(between(kBias - 4, kBias + 4), m);
      }
      default:
        return any();
    }
  }

  // A second operand for fscale: trunc lands near the thresholds for a,
  // small integers with fractions, huge and special values.
  ExtReal scale(ExtReal a) {
    switch (below(6)) {
      case 0:
      case 1: {
        int n;
        const int exponentA = a.biasedExponent() - kBias;
        if (a.biasedExponent() != 0 && a.biasedExponent() != 0x7FFF && coin())
          n = (coin() ? -16382 - below(70) : 16384 - below(3)) - exponentA;
        else
          n = between(-70, 70);
        return integerWithFraction(n);
      }
      case 2:
        return normal(between(kBias + 12, kBias + 40));  // beyond every useful scale
      case 3:
        return normal(between(1, kBias + 1));  // |b| below 2^2
      default:
        return any();
    }
  }

  // n plus a fraction of n's sign (so that trunc gives n back).
  ExtReal integerWithFraction(int n) {
    const std::uint16_t s = n < 0 ? 0x8000 : 0;
    const std::uint64_t m = static_cast<std::uint64_t>(n < 0 ? -static_cast<std::int64_t>(n) : n);
    if (m == 0) {  // a fraction alone, or zero
      const int biased = between(1, kBias - 1);
      return image(s, biased, coin() ? 0 : significand());
    }
    const int e = 63 - __builtin_clzll(m);
    const std::uint64_t fraction = coin() ? 0 : (bits() >> (e + 1));
    return image(s, kBias + e, (m << (63 - e)) | fraction);
  }

 private:
  std::mt19937_64 rng_;
};

}  // namespace x87test

#endif
