// Private to numeric/: the x87 unit's rules for the software instructions,
// named once: what the unit makes of every encoding (which ones it rejects,
// which NaN survives an operation). The one step that turns an exact result
// into a 10-byte image (truncation toward zero onto the 64-bit significand,
// gradual underflow onto the 2^-16445 grid, and overflow to the largest
// finite value of the sign) is packImage, and the indefinite is indefinite(),
// both in numeric/ext_image.h.
//
// Integer arithmetic only: unsigned __int128 serves for sums and products,
// never for division (the wasm32 build has no 128-bit division to link; see
// numeric/divide_128.h).
#ifndef VELTRANE_NUMERIC_X87_SOFTWARE_RULES_H
#define VELTRANE_NUMERIC_X87_SOFTWARE_RULES_H

#include <cstdint>

#include "numeric/ext_format.h"
#include "numeric/ext_image.h"
#include "numeric/ext_real.h"

namespace x87_software {
namespace rules {

using u128 = unsigned __int128;

constexpr std::uint64_t kIntegerBit = kSignificandIntegerBit;
constexpr std::uint64_t kQuietBit = kSignificandQuietBit;
constexpr std::uint16_t kSignMask = kSignAndExponentSignBit;
constexpr int kBias = ExtFormat::kExponentBias;
constexpr int kMaxBiased = ExtFormat::kMaxBiasedExponent;
// The smallest unbiased exponent of a normal value, and that of the last
// place of every subnormal: a subnormal is significand * 2^-16445.
constexpr int kMinExponent = 1 - kBias;
constexpr int kGridExponent = kMinExponent - 63;

// What the unit makes of a 10-byte image.
enum class Kind {
  kZero,          // either sign
  kFinite,        // normal, subnormal or pseudo-denormal (exponent 0, integer bit 1)
  kInfinity,      // 7FFF:8000000000000000, either sign
  kQuietNaN,      // 7FFF, integer bit and bit 62 set, either sign
  kSignalingNaN,  // 7FFF, integer bit set, bit 62 clear, some lower bit set
  kUnsupported,   // pseudo-NaN, pseudo-infinity, unnormal: the unit rejects these
};

// An image taken apart. For kFinite the value is
// (negative ? -1 : 1) * significand * 2^(exponent - 63), with bit 63 of the
// significand set: subnormals and pseudo-denormals are normalised, so that
// exponent ranges over [-16445, 16383]. Other kinds keep the raw significand.
struct Unpacked {
  Kind kind;
  bool negative;
  std::uint64_t significand;
  int exponent;
};

inline Unpacked unpack(ExtReal value) {
  const std::uint64_t s = value.significand();
  const bool negative = value.signBit();
  switch (classifyImage(value)) {
    case ImageClass::kZero:
      return {Kind::kZero, negative, 0, 0};
    case ImageClass::kNormal:
      return {Kind::kFinite, negative, s, value.biasedExponent() - kBias};
    case ImageClass::kSubnormal:
    case ImageClass::kPseudoDenormal: {
      // Exponent 0 scales like exponent 1, whether or not the integer bit is set.
      const int shift = __builtin_clzll(s);
      return {Kind::kFinite, negative, s << shift, kMinExponent - shift};
    }
    case ImageClass::kInfinity:
      return {Kind::kInfinity, negative, s, 0};
    case ImageClass::kQuietNaN:
      return {Kind::kQuietNaN, negative, s, 0};
    case ImageClass::kSignalingNaN:
      return {Kind::kSignalingNaN, negative, s, 0};
    case ImageClass::kUnnormal:
    case ImageClass::kPseudoInfinity:
    case ImageClass::kPseudoNaN:
      break;
  }
  return {Kind::kUnsupported, negative, s, 0};
}

inline bool isNaN(Kind kind) { return kind == Kind::kQuietNaN || kind == Kind::kSignalingNaN; }

inline std::uint16_t signOf(bool negative) { return negative ? kSignMask : 0; }

inline ExtReal zero(bool negative) { return ExtReal::fromBits(0, signOf(negative)); }
inline ExtReal infinity(bool negative) {
  return ExtReal::fromBits(kIntegerBit, static_cast<std::uint16_t>(signOf(negative) | kMaxBiased));
}
inline ExtReal largestFinite(bool negative) {
  return ExtReal::fromBits(~0ULL, static_cast<std::uint16_t>(signOf(negative) | (kMaxBiased - 1)));
}

// What fistp m32 stores for anything out of range or not a number.
constexpr std::int32_t kIntegerIndefinite = INT32_MIN;

// The formats of fld and fstp m32 and m64, with the indefinite's narrow form
// that a store of a rejected encoding writes.
struct NarrowFormat {
  int fractionBits;
  int exponentBits;
  std::uint64_t indefinite;
  constexpr int bias() const { return (1 << (exponentBits - 1)) - 1; }
  constexpr std::uint64_t maxBiased() const { return (1ULL << exponentBits) - 1; }
  constexpr std::uint64_t fractionMask() const { return (1ULL << fractionBits) - 1; }
};
constexpr NarrowFormat kDouble{52, 11, 0xFFF8000000000000ULL};
constexpr NarrowFormat kFloat{23, 8, 0xFFC00000U};

// The NaN operand quieted: bit 62 set, sign and payload kept.
inline ExtReal quieted(ExtReal nan) {
  return ExtReal::fromBits(nan.significand() | kQuietBit, nan.signAndExponent());
}

// The result of a two-operand instruction when at least one operand is a NaN
// and neither is rejected: a NaN beside a number wins; a quiet NaN beats a
// signalling one whatever the significands; between two of the same kind the
// larger significand wins, and on a tie the positive one. Quieted.
inline ExtReal propagateNaN(ExtReal a, Kind ka, ExtReal b, Kind kb) {
  if (!isNaN(kb)) return quieted(a);
  if (!isNaN(ka)) return quieted(b);
  if (ka != kb) return quieted(ka == Kind::kQuietNaN ? a : b);
  if (a.significand() != b.significand()) return quieted(a.significand() > b.significand() ? a : b);
  return quieted((a.signAndExponent() & kSignMask) ? b : a);
}

// For the one-operand instructions: true, with the result, when the operand
// is rejected (the indefinite) or a NaN (quieted); false for a number.
inline bool notANumber(const Unpacked& u, ExtReal operand, ExtReal* result) {
  if (u.kind == Kind::kUnsupported) {
    *result = indefinite();
    return true;
  }
  if (isNaN(u.kind)) {
    *result = quieted(operand);
    return true;
  }
  return false;
}

}  // namespace rules
}  // namespace x87_software

#endif
