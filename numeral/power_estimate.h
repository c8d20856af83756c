// Powers of a base to 128 bits, truncated, with a bound on what the
// truncations lost: for estimates of exact quotients that give way to the
// exact computation where the bound leaves the answer open.
#ifndef VELTRANE_NUMERAL_POWER_ESTIMATE_H
#define VELTRANE_NUMERAL_POWER_ESTIMATE_H

#include <cstdint>

// A positive number p * 2^exponent kept to 128 bits, p in [2^127, 2^128),
// below the value it stands for by less than 2 * error units of p's last
// place (the truncations of the products that made it, and of a reciprocal,
// only ever lower it); exactly the value where error is 0.
struct PowerEstimate {
  unsigned __int128 p;
  int exponent;
  std::uint64_t error;  // as a relative error bound, in units of 2^-127
};

// The leading 128 bits of a * b, truncated.
inline PowerEstimate multiplyEstimates(const PowerEstimate& a, const PowerEstimate& b) {
  using u128 = unsigned __int128;
  const std::uint64_t a0 = static_cast<std::uint64_t>(a.p);
  const std::uint64_t a1 = static_cast<std::uint64_t>(a.p >> 64);
  const std::uint64_t b0 = static_cast<std::uint64_t>(b.p);
  const std::uint64_t b1 = static_cast<std::uint64_t>(b.p >> 64);
  const u128 low = static_cast<u128>(a0) * b0;
  const u128 cross1 = static_cast<u128>(a0) * b1;
  const u128 cross2 = static_cast<u128>(a1) * b0;
  const u128 high = static_cast<u128>(a1) * b1;
  // The middle limbs with their carries: the product is high * 2^128 +
  // middle * 2^64 + low, middle below 3 * 2^64.
  const u128 middle =
      (low >> 64) + static_cast<std::uint64_t>(cross1) + static_cast<std::uint64_t>(cross2);
  const u128 top = high + (cross1 >> 64) + (cross2 >> 64) + (middle >> 64);
  const std::uint64_t limb1 = static_cast<std::uint64_t>(middle);
  const std::uint64_t limb0 = static_cast<std::uint64_t>(low);
  PowerEstimate r;
  bool lost;
  if ((top >> 127) != 0) {
    r.p = top;
    r.exponent = a.exponent + b.exponent + 128;
    lost = (limb1 | limb0) != 0;
  } else {
    r.p = (top << 1) | (limb1 >> 63);
    r.exponent = a.exponent + b.exponent + 127;
    lost = ((limb1 << 1) | limb0) != 0;
  }
  // (1 + x u)(1 + y u) / (1 - u) <= 1 + (x + y + 2) u for the small x, y
  // of these powers (u = 2^-127).
  r.error = a.error + b.error + (lost || a.error + b.error != 0 ? 2 : 0);
  return r;
}

// floor(2^(127 + c) / base) in [2^127, 2^128) for each base from 2 to 36,
// with c = bitLength(base) (bitLength(base) - 1 for a power of two): the
// truncated 1 / base that negative powers start from, divided once here.
struct ReciprocalSeeds {
  unsigned __int128 of[37];
  int shift[37];
  constexpr ReciprocalSeeds() : of(), shift() {
    for (std::uint64_t b = 2; b <= 36; ++b) {
      int bits = 0;
      while ((b >> bits) != 0) ++bits;
      const int c = (b & (b - 1)) == 0 ? bits - 1 : bits;
      // 2^(127 + c) in 32-bit digits, the top one 2^(c - 1), divided by b.
      std::uint64_t rest = 0;
      unsigned __int128 quotient = 0;
      for (int digit = 4; digit >= 0; --digit) {
        const std::uint64_t part = digit == 4 ? std::uint64_t{1} << (c - 1) : 0;
        const std::uint64_t n = (rest << 32) | part;
        quotient = (quotient << 32) | (n / b);
        rest = n % b;
      }
      of[b] = quotient;
      shift[b] = c;
    }
  }
};
inline constexpr ReciprocalSeeds kReciprocalSeeds;

// base^exponent (2 <= base <= 36, any sign of exponent), by squaring from
// base or from a truncated 1 / base.
inline PowerEstimate estimatePower(int base, int exponent) {
  using u128 = unsigned __int128;
  const std::uint64_t b = static_cast<std::uint64_t>(base);
  const int bits = 64 - __builtin_clzll(b);
  const bool powerOfTwo = (b & (b - 1)) == 0;
  PowerEstimate seed;
  if (exponent >= 0)
    seed = {static_cast<u128>(b) << (128 - bits), bits - 128, 0};
  else
    seed = {kReciprocalSeeds.of[base], -(127 + kReciprocalSeeds.shift[base]), powerOfTwo ? 0u : 1u};
  PowerEstimate result = {static_cast<u128>(1) << 127, -127, 0};
  const unsigned n = static_cast<unsigned>(exponent >= 0 ? exponent : -exponent);
  if (n == 0) return result;
  result = seed;
  for (int bit = 30 - __builtin_clz(n); bit >= 0; --bit) {
    result = multiplyEstimates(result, result);
    if ((n >> bit) & 1) result = multiplyEstimates(result, seed);
  }
  return result;
}

// floor(v / 2^drop) for v = limbs[0] + limbs[1] 2^64 + limbs[2] 2^128
// (drop >= 0), in *floor, and whether a set bit was dropped; false where
// the floor reaches 2^127. (The products of a power estimate by a 64-bit
// number, brought to the units their callers count in.)
inline bool shiftDown192(const std::uint64_t* limbs, long long drop, unsigned __int128* floor,
                         bool* lost) {
  if (drop >= 192) {
    *floor = 0;
    *lost = (limbs[0] | limbs[1] | limbs[2]) != 0;
    return true;
  }
  const int whole = static_cast<int>(drop / 64);
  const int bits = static_cast<int>(drop % 64);
  bool dropped = false;
  for (int i = 0; i < whole; ++i) dropped = dropped || limbs[i] != 0;
  if (bits != 0) dropped = dropped || (limbs[whole] << (64 - bits)) != 0;
  std::uint64_t kept[3] = {0, 0, 0};
  for (int i = whole; i < 3; ++i) {
    std::uint64_t w = limbs[i] >> bits;
    if (bits != 0 && i + 1 < 3) w |= limbs[i + 1] << (64 - bits);
    kept[i - whole] = w;
  }
  if (kept[2] != 0 || (kept[1] >> 63) != 0) return false;
  *floor = (static_cast<unsigned __int128>(kept[1]) << 64) | kept[0];
  *lost = dropped;
  return true;
}

// estimatePower memoised per thread (in numeral/exact.cpp): the texts of a
// run have a few hundred scales in each base, each estimated once.
PowerEstimate cachedPowerEstimate(int base, int exponent);

#endif
