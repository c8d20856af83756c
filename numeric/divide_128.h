// The one division of a 128-bit number by a 64-bit one, for the software
// instructions' fdiv and the long division of WideInt: 64-bit divisions
// only, as the wasm32 build has no 128-bit division to link.
#ifndef VELTRANE_NUMERIC_DIVIDE_128_H
#define VELTRANE_NUMERIC_DIVIDE_128_H

#include <cstdint>

// floor((high * 2^64 + low) / divisor), with the remainder in *rest, for a
// divisor whose bit 63 is set and high < divisor (so the quotient fits 64
// bits): Knuth's algorithm D in 32-bit digits (as Hacker's Delight writes
// divlu), two steps of 32 quotient bits, each estimated by a 64-bit division
// by the divisor's top half and corrected at most twice.
inline std::uint64_t divide128By64(std::uint64_t high, std::uint64_t low, std::uint64_t divisor,
                                   std::uint64_t* rest) {
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 32;
  const std::uint64_t divisorHigh = divisor >> 32;
  const std::uint64_t divisorLow = divisor & 0xFFFFFFFFULL;
  const std::uint64_t lowHigh = low >> 32;
  const std::uint64_t lowLow = low & 0xFFFFFFFFULL;
  std::uint64_t q1 = high / divisorHigh;
  std::uint64_t r = high - q1 * divisorHigh;
  while (q1 >= kHalf || q1 * divisorLow > ((r << 32) | lowHigh)) {
    --q1;
    r += divisorHigh;
    if (r >= kHalf) break;
  }
  // The partial remainder is below the divisor, so its value fits 64 bits
  // and the wrapping arithmetic gives it exactly.
  const std::uint64_t middle = (high << 32) + lowHigh - q1 * divisor;
  std::uint64_t q0 = middle / divisorHigh;
  r = middle - q0 * divisorHigh;
  while (q0 >= kHalf || q0 * divisorLow > ((r << 32) | lowLow)) {
    --q0;
    r += divisorHigh;
    if (r >= kHalf) break;
  }
  *rest = (middle << 32) + lowLow - q0 * divisor;
  return (q1 << 32) | q0;
}

#endif
