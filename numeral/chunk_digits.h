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

// The digits of a piece p < base^n, for n up to kDigits, by fixed-point
// multiplication instead of division: y = p * ceil(2^K / base^(n-1)) holds
// p / base^(n-1) with K fraction bits; its integer part is the first digit,
// and each further digit is the integer part of the fraction times the
// base. The rounding up adds less than p / 2^K < base^n / 2^K to the value,
// which grows by base each digit; digit i stays right while that excess
// times base^i is below the least distance of base^i p / base^(n-1) from the
// next integer, 1 / base^(n-1-i): so while base^(2n-1) <= 2^K. And y stays
// below base * 2^K + base^n, which K = 64 - bitLength(base) keeps below
// 2^64.
template <unsigned base>
struct PieceDigits {
  static constexpr int bitLength(std::uint64_t x) { return x == 0 ? 0 : 1 + bitLength(x >> 1); }
  static constexpr int kFractionBits = 64 - bitLength(base);
  static constexpr std::uint64_t kFractionMask = (std::uint64_t{1} << kFractionBits) - 1;
  // The largest n with base^(2n-1) <= 2^K.
  static constexpr int digits() {
    int n = 1;
    for (;;) {
      // base^(2n+1), the bound for n + 1, against 2^K.
      unsigned __int128 power = 1;
      for (int i = 0; i < 2 * n + 1; ++i) power *= base;
      if (power > (static_cast<unsigned __int128>(1) << kFractionBits)) return n;
      ++n;
    }
  }
  static constexpr int kDigits = digits();
  // ceil(2^K / base^(n-1)) for n = 1 .. kDigits, and base^kDigits.
  std::uint64_t scale[kDigits + 1];
  std::uint64_t power;
  constexpr PieceDigits() : scale(), power(1) {
    std::uint64_t p = 1;
    for (int n = 1; n <= kDigits; ++n) {
      const std::uint64_t one = std::uint64_t{1} << kFractionBits;
      scale[n] = one / p + (one % p != 0 ? 1 : 0);
      p *= base;
    }
    power = p;
  }

  // Writes the n digits of piece (below base^n, 1 <= n <= kDigits).
  void write(char* out, std::uint64_t piece, int n) const {
    std::uint64_t y = piece * scale[n];
    for (int i = 0; i < n; ++i) {
      out[i] = kDigitCharacters.of[y >> kFractionBits];
      y = (y & kFractionMask) * base;
    }
  }
};

template <unsigned base>
inline constexpr PieceDigits<base> kPieceDigits;

// Writes the count digits of value (below base^count, count at most the
// digits of a 64-bit chunk, wordChunkOf(base).digits) as characters, most
// significant first, leading zeros included. The value is cut into four
// pieces of equal length by divisions by constants, and the pieces' digits
// are made side by side, four independent chains of multiplications.
template <unsigned base>
inline void writeChunkDigits(char* out, std::uint64_t value, int count) {
  constexpr const PieceDigits<base>& pieces = kPieceDigits<base>;
  constexpr int kChunkDigits = [] {
    int digits = 1;
    for (std::uint64_t power = base; power <= ~std::uint64_t{0} / base; power *= base) ++digits;
    return digits;
  }();
  constexpr int n = (kChunkDigits + 3) / 4;
  static_assert(n <= PieceDigits<base>::kDigits, "a piece too long for its fraction bits");
  constexpr std::uint64_t piecePower = [] {
    std::uint64_t power = 1;
    for (int i = 0; i < n; ++i) power *= base;
    return power;
  }();
  constexpr std::uint64_t halfPower = piecePower * piecePower;
  const std::uint64_t high = value / halfPower;
  const std::uint64_t low = value % halfPower;
  std::uint64_t y0 = (high / piecePower) * pieces.scale[n];
  std::uint64_t y1 = (high % piecePower) * pieces.scale[n];
  std::uint64_t y2 = (low / piecePower) * pieces.scale[n];
  std::uint64_t y3 = (low % piecePower) * pieces.scale[n];
  constexpr int k = PieceDigits<base>::kFractionBits;
  constexpr std::uint64_t mask = PieceDigits<base>::kFractionMask;
  char digits[4 * n];
  for (int i = 0; i < n; ++i) {
    digits[i] = kDigitCharacters.of[y0 >> k];
    digits[n + i] = kDigitCharacters.of[y1 >> k];
    digits[2 * n + i] = kDigitCharacters.of[y2 >> k];
    digits[3 * n + i] = kDigitCharacters.of[y3 >> k];
    y0 = (y0 & mask) * base;
    y1 = (y1 & mask) * base;
    y2 = (y2 & mask) * base;
    y3 = (y3 & mask) * base;
  }
  std::memcpy(out, digits + 4 * n - count, static_cast<std::size_t>(count));
}

#endif
