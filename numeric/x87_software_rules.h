// Private to numeric/: the x87 unit's rules for the software instructions,
// named once. What the unit makes of every encoding (which ones it rejects,
// which NaN survives an operation, the indefinite), and the one step that
// turns an exact result into a 10-byte image: truncation toward zero onto the
// 64-bit significand, gradual underflow onto the 2^-16445 grid, and overflow
// to the largest finite value of the sign.
//
// Integer arithmetic only: unsigned __int128 serves for sums and products,
// never for division (the wasm32 build has no 128-bit division to link).
#ifndef VELTRANE_NUMERIC_X87_SOFTWARE_RULES_H
#define VELTRANE_NUMERIC_X87_SOFTWARE_RULES_H

#include <cstdint>

#include "numeric/ext_real.h"

namespace x87_software {
namespace rules {

using u128 = unsigned __int128;

constexpr std::uint64_t kIntegerBit = 1ULL << 63;
constexpr std::uint64_t kQuietBit = 1ULL << 62;
constexpr std::uint16_t kSignMask = 0x8000;
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
  const std::uint16_t se = value.signAndExponent();
  const std::uint64_t s = value.significand();
  const bool negative = (se & kSignMask) != 0;
  const int biased = se & kMaxBiased;
  if (biased == kMaxBiased) {
    if (!(s & kIntegerBit)) return {Kind::kUnsupported, negative, s, 0};
    if (s == kIntegerBit) return {Kind::kInfinity, negative, s, 0};
    return {(s & kQuietBit) ? Kind::kQuietNaN : Kind::kSignalingNaN, negative, s, 0};
  }
  if (biased != 0) {
    if (!(s & kIntegerBit)) return {Kind::kUnsupported, negative, s, 0};
    return {Kind::kFinite, negative, s, biased - kBias};
  }
  if (s == 0) return {Kind::kZero, negative, 0, 0};
  // Exponent 0 scales like exponent 1, whether or not the integer bit is set.
  const int shift = __builtin_clzll(s);
  return {Kind::kFinite, negative, s << shift, kMinExponent - shift};
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

// The NaN of every invalid operation, and of every operation on an encoding
// the unit rejects: FFFF:C000000000000000.
inline ExtReal indefinite() { return ExtReal::fromBits(kIntegerBit | kQuietBit, 0xFFFF); }
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

inline int topBit(u128 m) {
  const std::uint64_t high = static_cast<std::uint64_t>(m >> 64);
  return high != 0 ? 127 - __builtin_clzll(high)
                   : 63 - __builtin_clzll(static_cast<std::uint64_t>(m));
}

// The image of (negative ? -1 : 1) * magnitude * 2^scale cut toward zero, for
// magnitude != 0: normal with a 64-bit significand, else a subnormal on the
// 2^-16445 grid, else a zero of the sign; from 2^16384 up, the largest finite
// value of the sign. A caller whose magnitude already dropped part of the
// exact result must make sure that part cannot move the cut: it cannot when
// the result's last place is a whole number of the magnitude's units.
inline ExtReal pack(bool negative, u128 magnitude, int scale) {
  const int top = topBit(magnitude);
  const int exponent = top + scale;
  if (exponent > kBias) return largestFinite(negative);
  if (exponent >= kMinExponent) {
    const std::uint64_t s = top >= 63 ? static_cast<std::uint64_t>(magnitude >> (top - 63))
                                      : static_cast<std::uint64_t>(magnitude) << (63 - top);
    return ExtReal::fromBits(s, static_cast<std::uint16_t>(signOf(negative) | (exponent + kBias)));
  }
  // Below 2^-16382 the result is magnitude * 2^(scale - kGridExponent) units
  // of 2^-16445, fewer than 2^63 of them.
  const int shift = scale - kGridExponent;
  std::uint64_t s;
  if (shift >= 0)
    s = static_cast<std::uint64_t>(magnitude) << shift;
  else
    s = -shift >= 128 ? 0 : static_cast<std::uint64_t>(magnitude >> -shift);
  return ExtReal::fromBits(s, signOf(negative));
}

// 64-bit floor((high * 2^64 + low) / divisor) for divisor with bit 63 set and
// high < divisor, in 32-bit digits (Knuth's algorithm D, as Hacker's Delight
// writes divlu), so that no 128-bit division is needed.
inline std::uint64_t divide128By64(std::uint64_t high, std::uint64_t low, std::uint64_t divisor) {
  constexpr std::uint64_t kBase = 1ULL << 32;
  const std::uint64_t d1 = divisor >> 32, d0 = divisor & 0xFFFFFFFFU;
  const std::uint64_t n1 = low >> 32, n0 = low & 0xFFFFFFFFU;
  std::uint64_t q1 = high / d1;
  std::uint64_t r = high - q1 * d1;
  while (q1 >= kBase || q1 * d0 > ((r << 32) | n1)) {
    --q1;
    r += d1;
    if (r >= kBase) break;
  }
  // The partial remainder is below the divisor, so its value fits 64 bits
  // and the wrapping arithmetic gives it exactly.
  const std::uint64_t middle = (high << 32) + n1 - q1 * divisor;
  std::uint64_t q0 = middle / d1;
  r = middle - q0 * d1;
  while (q0 >= kBase || q0 * d0 > ((r << 32) | n0)) {
    --q0;
    r += d1;
    if (r >= kBase) break;
  }
  return (q1 << 32) | q0;
}

}  // namespace rules
}  // namespace x87_software

#endif
