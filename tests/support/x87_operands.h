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

  ExtReal normal(int biased) {
    return ExtReal::fromBits(significand(), static_cast<std::uint16_t>(sign() | biased));
  }

  ExtReal subnormal() {
    std::uint64_t s = significand() >> between(1, 63);
    return ExtReal::fromBits(s == 0 ? 1 : s, sign());
  }

  // Any image, every kind represented.
  ExtReal any() {
    const int pick = below(100);
    if (pick < 55) return normal(biasedExponent());
    if (pick < 63) return subnormal();
    if (pick < 67) return ExtReal::fromBits(significand(), sign());  // pseudo-denormal
    if (pick < 72) return ExtReal::fromBits(0, sign());
    if (pick < 76) return ExtReal::fromBits(kTop, static_cast<std::uint16_t>(sign() | 0x7FFF));
    if (pick < 81)  // quiet NaN
      return ExtReal::fromBits(kTop | (1ULL << 62) | (coin() ? bits() : 0),
                               static_cast<std::uint16_t>(sign() | 0x7FFF));
    if (pick < 86) {  // signalling NaN
      std::uint64_t payload = (coin() ? bits() : 1ULL << below(62)) & ((1ULL << 62) - 1);
      return ExtReal::fromBits(kTop | (payload == 0 ? 1 : payload),
                               static_cast<std::uint16_t>(sign() | 0x7FFF));
    }
    if (pick < 88) return ExtReal::fromBits(kTop | (1ULL << 62), 0xFFFF);  // the indefinite
    if (pick < 92)  // pseudo-NaN or pseudo-infinity
      return ExtReal::fromBits(coin() ? 0 : significand() & ~kTop,
                               static_cast<std::uint16_t>(sign() | 0x7FFF));
    // unnormal, zero significand included
    return ExtReal::fromBits(coin() ? 0 : significand() >> between(1, 63),
                             static_cast<std::uint16_t>(sign() | biasedExponent()));
  }

  // A second operand for a two-operand instruction with first operand a.
  ExtReal partner(ExtReal a) {
    const int biasedA = a.biasedExponent();
    if (biasedA == 0 || biasedA == 0x7FFF || below(10) < 3) return any();
    const std::uint16_t signA = a.signAndExponent() & 0x8000;
    const auto at = [&](std::uint64_t s, int biased, std::uint16_t sign) {
      if (biased < 1 || biased > 0x7FFE)  // out of the normal range: a subnormal instead
        return biased < 1 ? subnormal() : any();
      return ExtReal::fromBits(s, static_cast<std::uint16_t>(sign | biased));
    };
    switch (below(8)) {
      case 0:  // the same magnitude, either sign: x - x, x / x
        return ExtReal::fromBits(a.significand(), static_cast<std::uint16_t>(sign() | biasedA));
      case 1: {  // a few units away, either sign: cancellation, quotients beside 1
        const std::uint64_t s = a.significand() + static_cast<std::uint64_t>(between(-3, 3));
        return at(s | kTop, biasedA, sign());
      }
      case 2: {  // alignments at and beyond the significand's width
        static const int gaps[] = {0, 1, 2, 3, 61, 62, 63, 64, 65, 66, 67, 124, 125, 126, 127, 128};
        const int gap = coin() ? gaps[below(16)] : below(140);
        return at(significand(), biasedA + (coin() ? gap : -gap), sign());
      }
      case 3: {  // products near the underflow and overflow thresholds
        const int target = coin() ? -16382 - below(70) : 16384 - below(3);
        return at(significand(), target - (biasedA - kBias) + kBias, sign());
      }
      case 4: {  // quotients near the underflow and overflow thresholds
        const int target = coin() ? -16382 - below(70) : 16384 - below(3);
        return at(significand(), (biasedA - kBias) - target + kBias, sign());
      }
      case 5:  // a power of two, the same sign or not: exact results
        return at(kTop, between(1, 0x7FFE), signA ^ sign());
      case 6:  // just beside a power of two: results just beside a's neighbours
        return at(coin() ? kTop + 1 : ~0ULL, between(kBias - 4, kBias + 4), sign());
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
    if (m == 0) return ExtReal::fromBits(coin() ? 0 : significand(), static_cast<std::uint16_t>(s | between(1, kBias - 1)));
    const int e = 63 - __builtin_clzll(m);
    const std::uint64_t fraction = coin() ? 0 : (bits() >> (e + 1));
    return ExtReal::fromBits((m << (63 - e)) | fraction, static_cast<std::uint16_t>(s | (kBias + e)));
  }

 private:
  std::mt19937_64 rng_;
};

}  // namespace x87test

#endif
