// 128-bit products and shifts for the hot loops of the software
// instructions, the parser and the digit loops: the product of two 64-bit
// numbers, or of a 64-bit number and a factor below 2^32, as its two 64-bit
// halves; a 128-bit number shifted down by a variable count; whether it has
// a 1 among its low bits.
//
// WebAssembly has no 64 x 64 -> 128-bit multiply: there a 128-bit product
// is a library call (a whole 128 x 128 product, its halves passed through
// memory), and so is a variable shift of a 128-bit number; those calls cost
// more than the 32 x 32-bit products and the 64-bit shifts below, which the
// WebAssembly build uses (the ...ByHalves functions, which the tests check
// everywhere). Elsewhere the compiler's own 128-bit arithmetic.
#ifndef VELTRANE_NUMERIC_PRODUCT_128_H
#define VELTRANE_NUMERIC_PRODUCT_128_H

#include <cstdint>

struct Product128 {
  std::uint64_t high;
  std::uint64_t low;
};

// x * factor by two 32 x 32-bit products: the upper one with the carry of
// the lower stays below 2^64.
inline Product128 multiplySmallByHalves(std::uint64_t x, std::uint32_t factor) {
  const std::uint64_t lower = (x & 0xFFFFFFFFULL) * factor;
  const std::uint64_t upper = (x >> 32) * factor + (lower >> 32);
  return {upper >> 32, (upper << 32) | (lower & 0xFFFFFFFFULL)};
}

// x * y by four 32 x 32-bit products.
inline Product128 multiplyByHalves(std::uint64_t x, std::uint64_t y) {
  const std::uint64_t xLow = x & 0xFFFFFFFFULL, xHigh = x >> 32;
  const std::uint64_t yLow = y & 0xFFFFFFFFULL, yHigh = y >> 32;
  const std::uint64_t lowLow = xLow * yLow, lowHigh = xLow * yHigh, highLow = xHigh * yLow;
  // Three numbers below 2^32: no carry out of 64 bits.
  const std::uint64_t middle =
      (lowLow >> 32) + (lowHigh & 0xFFFFFFFFULL) + (highLow & 0xFFFFFFFFULL);
  return {xHigh * yHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32),
          (middle << 32) | (lowLow & 0xFFFFFFFFULL)};
}

inline Product128 multiplySmall(std::uint64_t x, std::uint32_t factor) {
#if defined(__wasm__)
  return multiplySmallByHalves(x, factor);
#else
  const unsigned __int128 product = static_cast<unsigned __int128>(x) * factor;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#endif
}

inline Product128 multiply64(std::uint64_t x, std::uint64_t y) {
#if defined(__wasm__)
  return multiplyByHalves(x, y);
#else
  const unsigned __int128 product = static_cast<unsigned __int128>(x) * y;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#endif
}

// The low 64 bits of high:low shifted down by 0 to 127 bits.
inline std::uint64_t shiftedLowByHalves(std::uint64_t high, std::uint64_t low, int shift) {
  if (shift == 0) return low;
  if (shift < 64) return (high << (64 - shift)) | (low >> shift);
  return high >> (shift - 64);
}

inline std::uint64_t shiftedLow(unsigned __int128 value, int shift) {
#if defined(__wasm__)
  return shiftedLowByHalves(static_cast<std::uint64_t>(value >> 64),
                            static_cast<std::uint64_t>(value), shift);
#else
  return static_cast<std::uint64_t>(value >> shift);
#endif
}

// value >> shift for a shift of 0 to 127.
inline unsigned __int128 shiftDown128(unsigned __int128 value, int shift) {
#if defined(__wasm__)
  const std::uint64_t high = static_cast<std::uint64_t>(value >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(value);
  const std::uint64_t newHigh = shift < 64 ? high >> shift : 0;
  return (static_cast<unsigned __int128>(newHigh) << 64) | shiftedLowByHalves(high, low, shift);
#else
  return value >> shift;
#endif
}

// Whether high:low has a 1 among its low count bits, count 0 to 127.
inline bool anyLowBitsByHalves(std::uint64_t high, std::uint64_t low, int count) {
  if (count >= 64) return low != 0 || (count > 64 && (high << (128 - count)) != 0);
  return count > 0 && (low << (64 - count)) != 0;
}

inline bool anyLowBits(unsigned __int128 value, int count) {
#if defined(__wasm__)
  return anyLowBitsByHalves(static_cast<std::uint64_t>(value >> 64),
                            static_cast<std::uint64_t>(value), count);
#else
  return (value & ((static_cast<unsigned __int128>(1) << count) - 1)) != 0;
#endif
}

// The low 64 bits of the product shifted down by 1 to 63 bits.
inline std::uint64_t shiftedDown(Product128 product, int shift) {
  return (product.high << (64 - shift)) | (product.low >> shift);
}

#endif
