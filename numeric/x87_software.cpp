// The exactly defined x87 instructions in integer arithmetic. Each takes the
// operands apart (x87_software_rules.h), settles the rejected encodings, the
// NaNs and the invalid operations in the unit's order, then computes the
// exact result, or enough of it to cut it toward zero, and packs it.
#include <cstdint>

#include "numeric/divide_128.h"
#include "numeric/ext_image.h"
#include "numeric/product_128.h"
#include "numeric/x87_instructions.h"
#include "numeric/x87_software_rules.h"

namespace x87_software {

using namespace rules;

namespace {

ExtReal fromMagnitude(bool negative, std::uint64_t magnitude) {
  if (magnitude == 0) return zero(false);
  return packImage(negative, magnitude, 0);
}

// a + b for finite nonzero operands, in fine units of 2^(exponent - 125) of
// the larger one: its significand shifted left by 62 (room for a carry
// above, fine bits below), the smaller one aligned to it. Only a gap of 63
// or more loses bits of the smaller one; they are then replaced by a 1 in
// the lowest fine bit ("jammed"). The jammed y is the odd one of the two
// fine integers around the exact y, so x +- y jammed is the odd one of the
// two around the exact x +- y (x is even), and no even fine integer lies
// between them. Every cut point is even: the result exceeds 2^125 - 2^63,
// so a normal result's last place is at least 2^61 fine units, and the
// 2^-16445 grid of a subnormal one at least 2^62 (such a gap means the
// larger exponent is -16382 or more). So the jammed result cuts where the
// exact one does. An exact zero of opposite signs is +0, as under every
// rounding but toward minus infinity.
ExtReal addFinite(const Unpacked& a, const Unpacked& b) {
  const bool aLarger =
      a.exponent != b.exponent ? a.exponent > b.exponent : a.significand >= b.significand;
  const Unpacked& large = aLarger ? a : b;
  const Unpacked& small = aLarger ? b : a;
  const int gap = large.exponent - small.exponent;
  const u128 x = static_cast<u128>(large.significand) << 62;
  u128 y = 1;  // a gap of 126 or more leaves only the jammed bit
  if (gap < 126) {
    const u128 shifted = static_cast<u128>(small.significand) << 62;
    y = shiftDown128(shifted, gap);
    if (gap > 62 && anyLowBits(shifted, gap)) y |= 1;
  }
  const int scale = large.exponent - 63 - 62;
  if (large.negative == small.negative) return packImage(large.negative, x + y, scale);
  if (x == y) return zero(false);
  return packImage(large.negative, x - y, scale);
}

ExtReal addOrSubtract(ExtReal a, ExtReal b, bool subtract) {
  Unpacked ua = unpack(a), ub = unpack(b);
  if (ua.kind == Kind::kUnsupported || ub.kind == Kind::kUnsupported) return indefinite();
  if (isNaN(ua.kind) || isNaN(ub.kind)) return propagateNaN(a, ua.kind, b, ub.kind);
  ub.negative = ub.negative != subtract;
  if (ua.kind == Kind::kInfinity) {
    if (ub.kind == Kind::kInfinity && ub.negative != ua.negative) return indefinite();
    return infinity(ua.negative);
  }
  if (ub.kind == Kind::kInfinity) return infinity(ub.negative);
  if (ua.kind == Kind::kZero) {
    if (ub.kind == Kind::kZero) return zero(ua.negative && ub.negative);
    return packImage(ub.negative, ub.significand, ub.exponent - 63);
  }
  if (ub.kind == Kind::kZero) return packImage(ua.negative, ua.significand, ua.exponent - 63);
  return addFinite(ua, ub);
}

// A number narrowed to a float or double, as its bits: truncated, with
// gradual underflow and overflow to the largest finite value; a NaN keeps
// the top of its payload and gets the quiet bit.
std::uint64_t narrow(ExtReal value, const NarrowFormat& format) {
  const Unpacked u = unpack(value);
  const int fractionBits = format.fractionBits, bias = format.bias();
  const std::uint64_t sign = static_cast<std::uint64_t>(u.negative)
                             << (fractionBits + format.exponentBits);
  const std::uint64_t infinityBits = sign | (format.maxBiased() << fractionBits);
  const std::uint64_t fraction = (u.significand >> (63 - fractionBits)) & format.fractionMask();
  switch (u.kind) {
    case Kind::kUnsupported:
      return format.indefinite;
    case Kind::kZero:
      return sign;
    case Kind::kInfinity:
      return infinityBits;
    case Kind::kQuietNaN:
    case Kind::kSignalingNaN:
      return infinityBits | (1ULL << (fractionBits - 1)) | fraction;
    case Kind::kFinite:
      break;
  }
  if (u.exponent > bias) return (infinityBits - (1ULL << fractionBits)) | format.fractionMask();
  if (u.exponent > -bias)
    return sign | (static_cast<std::uint64_t>(u.exponent + bias) << fractionBits) | fraction;
  // Subnormal: whole units of 2^(1 - bias - fractionBits).
  const int shift = 63 - fractionBits + (1 - bias - u.exponent);
  return sign | (shift >= 64 ? 0 : u.significand >> shift);
}

// A float's or double's bits widened: exact; a signalling NaN is quieted,
// its payload moved up to the top.
ExtReal widen(std::uint64_t bits, const NarrowFormat& format) {
  const int fractionBits = format.fractionBits, bias = format.bias();
  const bool negative = (bits >> (fractionBits + format.exponentBits)) & 1;
  const std::uint64_t biased = (bits >> fractionBits) & format.maxBiased();
  const std::uint64_t fraction = bits & format.fractionMask();
  const int toTop = 63 - fractionBits;
  if (biased == format.maxBiased()) {
    if (fraction == 0) return infinity(negative);
    return ExtReal::fromBits(kIntegerBit | kQuietBit | (fraction << toTop),
                             static_cast<std::uint16_t>(signOf(negative) | kMaxBiased));
  }
  if (biased == 0) {
    if (fraction == 0) return zero(negative);
    return packImage(negative, fraction, 1 - bias - fractionBits);
  }
  return packImage(negative, (std::uint64_t{1} << fractionBits) | fraction,
                   static_cast<int>(biased) - bias - fractionBits);
}

// trunc(b) for finite b, clamped to +-(1 << 20): beyond that every finite
// operand already scales past either end of the range.
int truncatedScale(const Unpacked& b) {
  if (b.kind == Kind::kZero || b.exponent < 0) return 0;
  const int magnitude =
      b.exponent > 19 ? 1 << 20 : static_cast<int>(b.significand >> (63 - b.exponent));
  return b.negative ? -magnitude : magnitude;
}

}  // namespace

ExtReal fild32(std::int32_t value) {
  const bool negative = value < 0;
  const std::uint64_t m = static_cast<std::uint32_t>(value);
  return fromMagnitude(negative, negative ? (0x100000000ULL - m) : m);
}

ExtReal fild64(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t m = static_cast<std::uint64_t>(value);
  return fromMagnitude(negative, negative ? 0 - m : m);
}

ExtReal fld32(std::uint32_t bits) { return widen(bits, kFloat); }
ExtReal fld64(std::uint64_t bits) { return widen(bits, kDouble); }

std::uint32_t fstp32(ExtReal value) { return static_cast<std::uint32_t>(narrow(value, kFloat)); }
std::uint64_t fstp64(ExtReal value) { return narrow(value, kDouble); }

std::int32_t fistp32(ExtReal value) {
  const Unpacked u = unpack(value);
  if (u.kind == Kind::kZero) return 0;
  if (u.kind != Kind::kFinite || u.exponent > 31) return kIntegerIndefinite;
  if (u.exponent < 0) return 0;
  const std::uint64_t m = u.significand >> (63 - u.exponent);
  // -2^31 itself is in range and has the bits of the out-of-range answer.
  if (m > (u.negative ? 0x80000000ULL : 0x7FFFFFFFULL)) return kIntegerIndefinite;
  return static_cast<std::int32_t>(u.negative ? 0 - static_cast<std::uint32_t>(m)
                                              : static_cast<std::uint32_t>(m));
}

ExtReal fadd(ExtReal a, ExtReal b) { return addOrSubtract(a, b, false); }
ExtReal fsub(ExtReal a, ExtReal b) { return addOrSubtract(a, b, true); }

ExtReal fmul(ExtReal a, ExtReal b) {
  const Unpacked ua = unpack(a), ub = unpack(b);
  if (ua.kind == Kind::kUnsupported || ub.kind == Kind::kUnsupported) return indefinite();
  if (isNaN(ua.kind) || isNaN(ub.kind)) return propagateNaN(a, ua.kind, b, ub.kind);
  const bool negative = ua.negative != ub.negative;
  if (ua.kind == Kind::kInfinity || ub.kind == Kind::kInfinity) {
    if (ua.kind == Kind::kZero || ub.kind == Kind::kZero) return indefinite();
    return infinity(negative);
  }
  if (ua.kind == Kind::kZero || ub.kind == Kind::kZero) return zero(negative);
  return packImage(negative, static_cast<u128>(ua.significand) * ub.significand,
                   ua.exponent + ub.exponent - 126);
}

ExtReal fdiv(ExtReal a, ExtReal b) {
  const Unpacked ua = unpack(a), ub = unpack(b);
  if (ua.kind == Kind::kUnsupported || ub.kind == Kind::kUnsupported) return indefinite();
  if (isNaN(ua.kind) || isNaN(ub.kind)) return propagateNaN(a, ua.kind, b, ub.kind);
  const bool negative = ua.negative != ub.negative;
  if (ua.kind == Kind::kInfinity)
    return ub.kind == Kind::kInfinity ? indefinite() : infinity(negative);
  if (ua.kind == Kind::kZero) return ub.kind == Kind::kZero ? indefinite() : zero(negative);
  if (ub.kind == Kind::kInfinity) return zero(negative);
  if (ub.kind == Kind::kZero) return infinity(negative);
  // floor(a * 2^64 / b) has 64 or 65 bits; cutting the exact quotient to it
  // first cuts nothing the packing would keep.
  u128 quotient;
  std::uint64_t rest;
  if (ua.significand >= ub.significand)
    quotient = (static_cast<u128>(1) << 64) |
               divide128By64(ua.significand - ub.significand, 0, ub.significand, &rest);
  else
    quotient = divide128By64(ua.significand, 0, ub.significand, &rest);
  return packImage(negative, quotient, ua.exponent - ub.exponent - 64);
}

std::uint16_t fcom(ExtReal a, ExtReal b) {
  constexpr std::uint16_t kGreater = 0x0000, kLess = 0x0100, kEqual = 0x4000, kUnordered = 0x4500;
  const Unpacked ua = unpack(a), ub = unpack(b);
  const auto ordered = [](Kind k) {
    return k == Kind::kZero || k == Kind::kFinite || k == Kind::kInfinity;
  };
  if (!ordered(ua.kind) || !ordered(ub.kind)) return kUnordered;
  // Magnitudes as (rank, exponent, significand): zero, finite, infinity.
  const auto rank = [](Kind k) { return k == Kind::kZero ? 0 : k == Kind::kFinite ? 1 : 2; };
  const int ra = rank(ua.kind), rb = rank(ub.kind);
  if (ra == 0 && rb == 0) return kEqual;
  int magnitudeOrder;  // sign of |a| - |b|
  if (ra != rb)
    magnitudeOrder = ra < rb ? -1 : 1;
  else if (ra == 2 || (ua.exponent == ub.exponent && ua.significand == ub.significand))
    magnitudeOrder = 0;
  else if (ua.exponent != ub.exponent)
    magnitudeOrder = ua.exponent < ub.exponent ? -1 : 1;
  else
    magnitudeOrder = ua.significand < ub.significand ? -1 : 1;
  // A zero has no sign in a comparison.
  const bool na = ra != 0 && ua.negative, nb = rb != 0 && ub.negative;
  if (na != nb) return na ? kLess : kGreater;
  if (magnitudeOrder == 0) return kEqual;
  return (magnitudeOrder < 0) != na ? kLess : kGreater;
}

ExtReal fscale(ExtReal a, ExtReal b) {
  const Unpacked ua = unpack(a), ub = unpack(b);
  if (ua.kind == Kind::kUnsupported || ub.kind == Kind::kUnsupported) return indefinite();
  if (isNaN(ua.kind) || isNaN(ub.kind)) return propagateNaN(a, ua.kind, b, ub.kind);
  if (ub.kind == Kind::kInfinity) {
    // 0 * 2^+inf and inf * 2^-inf are invalid.
    if (!ub.negative) return ua.kind == Kind::kZero ? indefinite() : infinity(ua.negative);
    return ua.kind == Kind::kInfinity ? indefinite() : zero(ua.negative);
  }
  if (ua.kind == Kind::kInfinity) return infinity(ua.negative);
  if (ua.kind == Kind::kZero) return zero(ua.negative);
  return packImage(ua.negative, ua.significand, ua.exponent - 63 + truncatedScale(ub));
}

ExtReal frndint(ExtReal value) {
  const Unpacked u = unpack(value);
  ExtReal result;
  if (notANumber(u, value, &result)) return result;
  if (u.kind != Kind::kFinite) return value;  // zeros and infinities
  if (u.exponent < 0) return zero(u.negative);
  if (u.exponent >= 63) return value;
  const std::uint64_t kept = u.significand & ~(~0ULL >> (u.exponent + 1));
  return ExtReal::fromBits(kept, value.signAndExponent());
}

ExtReal fabs(ExtReal value) {
  return ExtReal::fromBits(value.significand(),
                           static_cast<std::uint16_t>(value.signAndExponent() & ~kSignMask));
}

// The software has no mode to set: it always computes as under 0x0F7F.
std::uint16_t fnstcw() { return ExtFormat::kControlWord; }

}  // namespace x87_software
