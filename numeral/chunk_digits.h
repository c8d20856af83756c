// The digits of a 64-bit chunk of a wide number in a base, written as
// characters without a division per digit: for the exact expansions.
#ifndef VELTRANE_NUMERAL_CHUNK_DIGITS_H
#define VELTRANE_NUMERAL_CHUNK_DIGITS_H

#include <cstdint>
#include <cstring>

#include "numeral/digit_alphabet.h"

// The digit characters, indexed by value.
struct DigitCharacters {
  char of[kMaxBase];
  constexpr DigitCharacters() : of() {
    for (int d = 0; d < kMaxBase; ++d) of[d] = digitCharacter(d);
  }
};
inline constexpr DigitCharacters kDigitCharacters;

// The digits of a piece p < base^n by fixed-point multiplication instead of
// division, with a 64-bit fraction: y = p * ceil(2^64 / base^(n-g)), a
// 128-bit product, holds p / base^(n-g) with 64 fraction bits; its high half
// is the first group of g digits (one or two), and each further pair of
// digits is the high half of the fraction (the low half) times base^2. The
// rounding up adds less than p / 2^64 < base^n / 2^64 to the value, which
// grows by base for each digit taken; a group stays right while that excess
// is below the least distance of the scaled value from the next integer,
// 1 / base^(digits still to come), so for every group while base^(2n-g) <=
// 2^64. A chunk of k digits (base^k < 2^64) is two such pieces of at most
// ceil(k / 2) digits, as 2 ceil(k / 2) - 1 <= k. Pairs of digits go out as
// two characters from a table of base^2 entries; in the WebAssembly module,
// where every byte of the page counts, the tables are left out and each
// digit is taken on its own, a multiplication by the base.
#if defined(__wasm__)
#define VELTRANE_CHUNK_DIGIT_PAIRS 0
#else
#define VELTRANE_CHUNK_DIGIT_PAIRS 1
#endif

// The two characters of each value below base^2, indexed by value.
template <unsigned base>
struct DigitPairCharacters {
  char of[base * base][2];
  constexpr DigitPairCharacters() : of() {
    for (unsigned v = 0; v < base * base; ++v) {
      of[v][0] = digitCharacter(static_cast<int>(v / base));
      of[v][1] = digitCharacter(static_cast<int>(v % base));
    }
  }
};

template <unsigned base>
struct ChunkDigits {
  static constexpr int kDigits = [] {
    int digits = 1;
    for (std::uint64_t power = base; power <= ~std::uint64_t{0} / base; power *= base) ++digits;
    return digits;
  }();
  // The low piece's digits and the high piece's (at least 6 each, as every
  // base's chunk holds at least 12 digits).
  static constexpr int kLow = (kDigits + 1) / 2;
  static constexpr int kHigh = kDigits - kLow;
  static constexpr std::uint64_t powerOf(int n) {
    std::uint64_t power = 1;
    for (int i = 0; i < n; ++i) power *= base;
    return power;
  }
  static constexpr std::uint64_t kLowPower = powerOf(kLow);
  // ceil(2^64 / base^e) = floor((2^64 - 1) / base^e) + 1, for e >= 1.
  static constexpr std::uint64_t scaleOf(int e) { return ~std::uint64_t{0} / powerOf(e) + 1; }
#if VELTRANE_CHUNK_DIGIT_PAIRS
  static constexpr DigitPairCharacters<base> kPairs{};
#endif

  static char character(std::uint64_t digit) {
    if (base <= 10) return static_cast<char>('0' + digit);
    return kDigitCharacters.of[digit];
  }

  // The n digits of piece (below base^n).
  template <int n>
  static void writePiece(char* out, std::uint64_t piece) {
    static_assert(n >= 2, "a first group of the whole piece needs a scale of 2^64");
#if VELTRANE_CHUNK_DIGIT_PAIRS
    constexpr int first = n % 2 == 0 ? 2 : 1;
    constexpr std::uint64_t scale = scaleOf(n - first);
    const unsigned __int128 y = static_cast<unsigned __int128>(piece) * scale;
    std::uint64_t fraction = static_cast<std::uint64_t>(y);
    const std::uint64_t group = static_cast<std::uint64_t>(y >> 64);
    if (first == 2)
      std::memcpy(out, kPairs.of[group], 2);
    else
      out[0] = character(group);
    for (int i = first; i < n; i += 2) {
      const unsigned __int128 t = static_cast<unsigned __int128>(fraction) * (base * base);
      fraction = static_cast<std::uint64_t>(t);
      std::memcpy(out + i, kPairs.of[static_cast<std::uint64_t>(t >> 64)], 2);
    }
#else
    constexpr std::uint64_t scale = scaleOf(n - 1);
    unsigned __int128 y = static_cast<unsigned __int128>(piece) * scale;
    out[0] = character(static_cast<std::uint64_t>(y >> 64));
    for (int i = 1; i < n; ++i) {
      y = static_cast<unsigned __int128>(static_cast<std::uint64_t>(y)) * base;
      out[i] = character(static_cast<std::uint64_t>(y >> 64));
    }
#endif
  }

  // The kDigits digits of value (below base^kDigits), leading zeros
  // included.
  static void writeAll(char* out, std::uint64_t value) {
    writePiece<kHigh>(out, value / kLowPower);
    writePiece<kLow>(out + kHigh, value % kLowPower);
  }
};

// Writes the count digits of value (below base^count, count at most the
// digits of a 64-bit chunk, wordChunkOf(base).digits) as characters, most
// significant first, leading zeros included.
template <unsigned base>
inline void writeChunkDigits(char* out, std::uint64_t value, int count) {
  using Digits = ChunkDigits<base>;
  if (count == Digits::kDigits) {
    Digits::writeAll(out, value);
    return;
  }
  char digits[Digits::kDigits];
  Digits::writeAll(digits, value);
  std::memcpy(out, digits + Digits::kDigits - count, static_cast<std::size_t>(count));
}

#endif
