// Tests of an 80-bit image by its fields alone, with no arithmetic: what the
// layout of ExtFormat implies, written once.
#ifndef VELTRANE_NUMERIC_EXT_FORMAT_H
#define VELTRANE_NUMERIC_EXT_FORMAT_H

#include <cstdint>

#include "numeric/ext_real.h"

// The explicit integer bit of the significand (bit 63).
constexpr std::uint64_t kSignificandIntegerBit = std::uint64_t{1} << 63;

// A normal number of either sign: biased exponent from 1 to 0x7FFE and the
// integer bit set. Zeros, subnormals, pseudo-denormals, unnormals,
// infinities and NaNs are not.
inline bool isNormalImage(const ExtReal& value) {
  const int biased = value.biasedExponent();
  return biased != 0 && biased != ExtFormat::kMaxBiasedExponent &&
         (value.significand() & kSignificandIntegerBit) != 0;
}

#endif
