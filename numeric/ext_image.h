// The 10-byte image of an extended value read and built by its fields alone,
// with no arithmetic, each once: the class of an encoding (classifyImage, and
// the predicates over it), an exact value cut toward zero into an image
// (packImage), and the indefinite NaN.
#ifndef VELTRANE_NUMERIC_EXT_IMAGE_H
#define VELTRANE_NUMERIC_EXT_IMAGE_H

#include <cstdint>

#include "numeric/ext_format.h"
#include "numeric/ext_real.h"
#include "numeric/product_128.h"

// Every encoding of the format, by its biased exponent E and significand
// (bit 63 the integer bit, bit 62 the quiet bit); the sign is not looked at.
enum class ImageClass {
  kZero,            // E = 0, significand 0
  kSubnormal,       // E = 0, integer bit clear, significand not 0
  kPseudoDenormal,  // E = 0, integer bit set: the value of E = 1
  kNormal,          // E = 1 .. 0x7FFE, integer bit set
  kUnnormal,        // E = 1 .. 0x7FFE, integer bit clear
  kInfinity,        // E = 0x7FFF, significand 8000000000000000
  kQuietNaN,        // E = 0x7FFF, integer and quiet bits set
  kSignalingNaN,    // E = 0x7FFF, integer bit set, quiet bit clear, a lower bit set
  kPseudoInfinity,  // E = 0x7FFF, significand 0
  kPseudoNaN,       // E = 0x7FFF, integer bit clear, significand not 0
};

inline ImageClass classifyImage(const ExtReal& value) {
  const int biased = value.biasedExponent();
  const std::uint64_t significand = value.significand();
  const bool integerBit = (significand & kSignificandIntegerBit) != 0;
  if (biased == 0) {
    if (significand == 0) return ImageClass::kZero;
    return integerBit ? ImageClass::kPseudoDenormal : ImageClass::kSubnormal;
  }
  if (biased != ExtFormat::kMaxBiasedExponent)
    return integerBit ? ImageClass::kNormal : ImageClass::kUnnormal;
  if (!integerBit) return significand == 0 ? ImageClass::kPseudoInfinity : ImageClass::kPseudoNaN;
  if (significand == kSignificandIntegerBit) return ImageClass::kInfinity;
  return (significand & kSignificandQuietBit) != 0 ? ImageClass::kQuietNaN
                                                   : ImageClass::kSignalingNaN;
}

// A normal number of either sign: classifyImage(value) == kNormal, read
// off the two fields directly, as the software arithmetic asks it of every
// operand of its fast paths.
inline bool isNormalImage(const ExtReal& value) {
  const int biased = value.biasedExponent();
  return biased != 0 && biased != ExtFormat::kMaxBiasedExponent &&
         (value.significand() & kSignificandIntegerBit) != 0;
}

// An encoding the x87 unit rejects as an operand (an unnormal, a
// pseudo-infinity or a pseudo-NaN): every instruction on it gives the
// indefinite.
inline bool isRejectedImage(const ExtReal& value) {
  const ImageClass c = classifyImage(value);
  return c == ImageClass::kUnnormal || c == ImageClass::kPseudoInfinity ||
         c == ImageClass::kPseudoNaN;
}

// 1 for an image that every ExtReal operation treats as not a number: a
// quiet or signalling NaN, or an encoding the unit rejects. Else 0.
inline int isNotANumber(const ExtReal& value) {
  const ImageClass c = classifyImage(value);
  return c == ImageClass::kQuietNaN || c == ImageClass::kSignalingNaN || isRejectedImage(value);
}

// 1 for +infinity or -infinity, else 0.
inline int isInfinity(const ExtReal& value) {
  return classifyImage(value) == ImageClass::kInfinity;
}

// The NaN of every invalid operation, and of every operation on an encoding
// the unit rejects: FFFF:C000000000000000.
inline ExtReal indefinite() {
  return ExtReal::fromBits(kSignificandIntegerBit | kSignificandQuietBit,
                           static_cast<std::uint16_t>(kSignAndExponentSignBit |
                                                      ExtFormat::kMaxBiasedExponent));
}

// The image of (negative ? -1 : 1) * magnitude * 2^scale cut toward zero:
// normal with a 64-bit significand, else a subnormal on the 2^-16445 grid,
// else (and for magnitude 0) a zero of the sign; from 2^16384 up, the
// largest finite value of the sign. Shifts only, no 128-bit division (the
// wasm32 build has none to link). A caller whose magnitude already dropped
// part of an exact value must make sure that part cannot move the cut: it
// cannot when the result's last place is a whole number of the magnitude's
// units.
inline ExtReal packImage(bool negative, unsigned __int128 magnitude, int scale) {
  const std::uint16_t sign = negative ? kSignAndExponentSignBit : 0;
  const std::uint64_t high = static_cast<std::uint64_t>(magnitude >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(magnitude);
  if (high == 0 && low == 0) return ExtReal::fromBits(0, sign);
  const int top = high != 0 ? 127 - __builtin_clzll(high) : 63 - __builtin_clzll(low);
  const int exponent = top + scale;
  constexpr int kMinExponent = 1 - ExtFormat::kExponentBias;
  if (exponent > ExtFormat::kExponentBias)
    return ExtReal::fromBits(~std::uint64_t{0},
                             static_cast<std::uint16_t>(sign | (ExtFormat::kMaxBiasedExponent - 1)));
  if (exponent >= kMinExponent) {
    const std::uint64_t s = top >= 63 ? shiftedLow(magnitude, top - 63) : low << (63 - top);
    return ExtReal::fromBits(
        s, static_cast<std::uint16_t>(sign | (exponent + ExtFormat::kExponentBias)));
  }
  // Below 2^-16382 the result is magnitude * 2^(scale + 16445) units of
  // 2^-16445, fewer than 2^63 of them.
  const int shift = scale - (kMinExponent - 63);
  std::uint64_t s;
  if (shift >= 0)
    s = low << shift;
  else
    s = -shift >= 128 ? 0 : shiftedLow(magnitude, -shift);
  return ExtReal::fromBits(s, sign);
}

#endif
