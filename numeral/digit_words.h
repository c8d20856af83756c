// Eight digits in one 64-bit word, one a byte, the first digit in the
// lowest byte: how the power-of-two bases' digit loops take the bits of a
// value apart eight digits at a time, and turn digit values into their
// characters without a branch.
#ifndef VELTRANE_NUMERAL_DIGIT_WORDS_H
#define VELTRANE_NUMERAL_DIGIT_WORDS_H

#include <cstdint>
#include <cstring>

// Byte b as its eight bits, one a byte, the most significant in the lowest
// byte.
struct BitSpread {
  std::uint64_t of[256];
  constexpr BitSpread() : of() {
    for (int b = 0; b < 256; ++b)
      for (int j = 0; j < 8; ++j) of[b] |= std::uint64_t((b >> (7 - j)) & 1) << (8 * j);
  }
};
inline constexpr BitSpread kBitSpread;

// The eight hexadecimal digits of v, one a byte, the most significant in the
// lowest byte.
inline std::uint64_t spreadNibbles(std::uint32_t v) {
  std::uint64_t t = v;
  t = ((t & 0xFFFF0000ULL) << 16) | (t & 0xFFFFULL);
  t = ((t & 0x0000FF000000FF00ULL) << 8) | (t & 0x000000FF000000FFULL);
  t = ((t & 0x00F000F000F000F0ULL) << 4) | (t & 0x000F000F000F000FULL);
  // Digit j (from the least significant) is now byte j.
  return __builtin_bswap64(t);
}

// The characters of eight digit values from 0 to 35, as digitCharacter
// writes them: '0' added, and 7 more ('A' - '0' - 10) from 10 up. Adding
// 0x76 to a byte sets its top bit exactly for 10 to 35 and carries into no
// other byte.
inline std::uint64_t digitCharactersOf(std::uint64_t values) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  const std::uint64_t letters = ((values + 0x76 * kOnes) >> 7) & kOnes;
  return values + 0x30 * kOnes + 7 * letters;
}

// Stores the word's eight bytes at `at`, its lowest byte first, on a host of
// either byte order.
inline void storeDigitWord(char* at, std::uint64_t word) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap64(word);
#endif
  std::memcpy(at, &word, 8);
}

#endif
