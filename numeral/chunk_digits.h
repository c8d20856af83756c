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
// 2^64, which holds for pieces of at most ceil(k / 2) digits of a chunk of
// k digits (base^k < 2^64), as 2 ceil(k / 2) - 1 <= k. Pairs of digits go out as
// two characters from a table of base^2 entries; in the WebAssembly module,
// where every byte of the page counts, the tables are left out and each
// digit is taken on its own, a multiplication by the base.
#if defined(__wasm__)
inline constexpr bool kChunkDigitPairs = false;
#else
inline constexpr bool kChunkDigitPairs = true;
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

// The four characters of each value below base^4, indexed by value.
template <unsigned base>
struct DigitQuadCharacters {
  char of[base * base * base * base][4];
  constexpr DigitQuadCharacters() : of() {
    for (unsigned v = 0; v < base * base * base * base; ++v) {
      for (unsigned i = 0, rest = v; i < 4; ++i, rest /= base)
        of[v][3 - i] = digitCharacter(static_cast<int>(rest % base));
    }
  }
};

template <unsigned base, bool pairs = kChunkDigitPairs>
struct ChunkDigits {
  static constexpr int kDigits = [] {
    int digits = 1;
    for (std::uint64_t power = base; power <= ~std::uint64_t{0} / base; power *= base) ++digits;
    return digits;
  }();
  // Four pieces, the lower three of kQuarter digits each and the top one
  // of the rest (at least one digit, as every base's chunk holds at least 12
  // digits): four short chains of multiplications side by side.
  static constexpr int kQuarter = (kDigits + 3) / 4;
  static constexpr int kTop = kDigits - 3 * kQuarter;
  static_assert(kTop >= 1, "a chunk of fewer than four pieces");
  static constexpr std::uint64_t powerOf(int n) {
    std::uint64_t power = 1;
    for (int i = 0; i < n; ++i) power *= base;
    return power;
  }
  static constexpr std::uint64_t kQuarterPower = powerOf(kQuarter);
  static constexpr std::uint64_t kHalfPower = powerOf(2 * kQuarter);
  // ceil(2^64 / base^e) = floor((2^64 - 1) / base^e) + 1, for e >= 1.
  static constexpr std::uint64_t scaleOf(int e) { return ~std::uint64_t{0} / powerOf(e) + 1; }
  static constexpr DigitPairCharacters<base> kPairs{};

  static char character(std::uint64_t digit) {
    if (base <= 10) return static_cast<char>('0' + digit);
    return kDigitCharacters.of[digit];
  }

  // The n digits of piece (below base^n).
  template <int n>
  static void writePiece(char* out, std::uint64_t piece) {
    if constexpr (n == 1) {
      out[0] = character(piece);
    } else if constexpr (pairs && n == 2) {
      std::memcpy(out, kPairs.of[piece], 2);
    } else if constexpr (pairs) {
      constexpr int first = n % 2 == 0 ? 2 : 1;
      const unsigned __int128 y = static_cast<unsigned __int128>(piece) * scaleOf(n - first);
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
    } else {
      unsigned __int128 y = static_cast<unsigned __int128>(piece) * scaleOf(n - 1);
      out[0] = character(static_cast<std::uint64_t>(y >> 64));
      for (int i = 1; i < n; ++i) {
        y = static_cast<unsigned __int128>(static_cast<std::uint64_t>(y)) * base;
        out[i] = character(static_cast<std::uint64_t>(y >> 64));
      }
    }
  }

  // In the bases up to 7, whose four digits take a table of at most 2,401
  // entries (9.6 KB), a chunk goes out as two pieces of half its digits,
  // each by one multiplication and then four digits a multiplication: half
  // the multiplications and stores of pairs. Pieces of at most ceil(k / 2)
  // digits keep every group right, as above.
  static constexpr bool kQuads = pairs && base <= 7;
  static constexpr int kLowHalf = kDigits / 2;
  static constexpr int kHighHalf = kDigits - kLowHalf;
  static_assert(kLowHalf > 4, "a half chunk of more than one group of four");
  static constexpr std::uint64_t kLowHalfPower = powerOf(kLowHalf);

  // The n digits (n > 4) of piece (below base^n): a first group of 1 to 4
  // digits, then groups of four.
  template <int n>
  static void writeQuadPiece(char* out, std::uint64_t piece) {
    static constexpr DigitQuadCharacters<base> kQuadTable{};
    constexpr int first = n % 4 == 0 ? 4 : n % 4;
    const unsigned __int128 y = static_cast<unsigned __int128>(piece) * scaleOf(n - first);
    std::uint64_t fraction = static_cast<std::uint64_t>(y);
    // The first group's entry has 4 - first leading zeros.
    std::memcpy(out, kQuadTable.of[static_cast<std::uint64_t>(y >> 64)] + (4 - first),
                static_cast<std::size_t>(first));
    for (int i = first; i < n; i += 4) {
      const unsigned __int128 t = static_cast<unsigned __int128>(fraction) * powerOf(4);
      fraction = static_cast<std::uint64_t>(t);
      std::memcpy(out + i, kQuadTable.of[static_cast<std::uint64_t>(t >> 64)], 4);
    }
  }

  // The kDigits digits of value (below base^kDigits), leading zeros
  // included.
  static void writeAll(char* out, std::uint64_t value) {
    if constexpr (kQuads) {
      writeQuadPiece<kHighHalf>(out, value / kLowHalfPower);
      writeQuadPiece<kLowHalf>(out + kHighHalf, value % kLowHalfPower);
      return;
    }
    const std::uint64_t high = value / kHalfPower;
    const std::uint64_t low = value % kHalfPower;
    writePiece<kTop>(out, high / kQuarterPower);
    writePiece<kQuarter>(out + kTop, high % kQuarterPower);
    writePiece<kQuarter>(out + kTop + kQuarter, low / kQuarterPower);
    writePiece<kQuarter>(out + kTop + 2 * kQuarter, low % kQuarterPower);
  }
};

// Writes the count digits of value (below base^count, count at most the
// digits of a 64-bit chunk, wordChunkOf(base).digits) as characters, most
// significant first, leading zeros included.
// (pairs: by the table of digit pairs, as outside the WebAssembly module.)
template <unsigned base, bool pairs = kChunkDigitPairs>
inline void writeChunkDigits(char* out, std::uint64_t value, int count) {
  using Digits = ChunkDigits<base, pairs>;
  if (count == Digits::kDigits) {
    Digits::writeAll(out, value);
    return;
  }
  char digits[Digits::kDigits];
  Digits::writeAll(digits, value);
  std::memcpy(out, digits + Digits::kDigits - count, static_cast<std::size_t>(count));
}

#endif
