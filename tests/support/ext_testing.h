// Helpers shared by the tests: building and comparing ExtReal images.
#ifndef VELTRANE_TESTS_SUPPORT_EXT_TESTING_H
#define VELTRANE_TESTS_SUPPORT_EXT_TESTING_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "numeric/ext_real.h"

namespace exttest {

inline ExtReal bits(std::uint64_t significand, std::uint16_t signAndExponent) {
  return ExtReal::fromBits(significand, signAndExponent);
}
inline ExtReal largestFinite() { return bits(~0ULL, 0x7FFE); }
inline ExtReal plusInf() { return bits(0x8000000000000000ULL, 0x7FFF); }
inline ExtReal minusInf() { return bits(0x8000000000000000ULL, 0xFFFF); }
inline ExtReal quietNaN() { return bits(0xC000000000000000ULL, 0x7FFF); }
inline ExtReal smallestSubnormal() { return bits(1, 0); }
// 2^k for -16382 <= k <= 16383, written directly into the image.
inline ExtReal powerOfTwo(int k) {
  return bits(0x8000000000000000ULL, static_cast<std::uint16_t>(k + 16383));
}

inline bool isNaN(const ExtReal& v) {
  return v.biasedExponent() == 0x7FFF && (v.significand() << 1) != 0;
}

inline std::string describe(const ExtReal& v) {
  char text[64];
  std::snprintf(text, sizeof text, "[%04X %016llX]", v.signAndExponent(),
                static_cast<unsigned long long>(v.significand()));
  return text;
}

inline ::testing::AssertionResult sameBits(const ExtReal& actual, const ExtReal& expected) {
  if (actual.signAndExponent() == expected.signAndExponent() &&
      actual.significand() == expected.significand())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got " << describe(actual) << ", expected " << describe(expected);
}

// Distance in units of the last place between two finite values of the same
// sign (both normal or subnormal); large when the signs differ.
inline unsigned long long ulpDistance(const ExtReal& a, const ExtReal& b) {
  // Subnormals, then each binade of 2^63 values: consecutive finite values
  // of one sign get consecutive ordinals.
  auto ordinal = [](const ExtReal& v) {
    const __int128 e = v.biasedExponent();
    const __int128 s = v.significand();
    const __int128 o = e == 0 ? s : (((e - 1) << 63) + s);
    return v.signBit() ? -o : o;
  };
  const __int128 d = ordinal(a) - ordinal(b);
  const __int128 m = d < 0 ? -d : d;
  return m > static_cast<__int128>(~0ULL) ? ~0ULL : static_cast<unsigned long long>(m);
}

inline ::testing::AssertionResult withinUlps(const ExtReal& actual, const ExtReal& expected,
                                             unsigned long long ulps) {
  const unsigned long long d = ulpDistance(actual, expected);
  if (d <= ulps) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << describe(actual) << ", expected "
                                       << describe(expected) << " (" << d << " ulps apart)";
}

}  // namespace exttest

#endif
