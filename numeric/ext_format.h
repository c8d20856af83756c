// The x87 80-bit double-extended format: its layout, its named bits and the
// floating-point mode, named once. What these imply for an image (its class,
// packing a value into one, the indefinite) is in numeric/ext_image.h.
#ifndef VELTRANE_NUMERIC_EXT_FORMAT_H
#define VELTRANE_NUMERIC_EXT_FORMAT_H

#include <cstdint>

struct ExtFormat {
  static constexpr int kBytes = 10;
  static constexpr int kSignificandBits = 64;  // explicit integer bit 63
  static constexpr int kExponentBias = 16383;
  static constexpr int kMaxBiasedExponent = 0x7FFF;  // infinities and NaNs
  static constexpr int kSignBit = 79;
  // All exceptions masked, 64-bit precision, rounding toward zero.
  static constexpr std::uint16_t kControlWord = 0x0F7F;
};

// The explicit integer bit of the significand (bit 63).
constexpr std::uint64_t kSignificandIntegerBit = std::uint64_t{1} << 63;
// The bit that makes a NaN quiet (bit 62 of the significand).
constexpr std::uint64_t kSignificandQuietBit = std::uint64_t{1} << 62;
// The sign in the top 16 bits (sign and biased exponent).
constexpr std::uint16_t kSignAndExponentSignBit = 0x8000;

#endif
