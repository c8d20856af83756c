#include "numeric/fast_real.h"

#include <cstdint>

#include "numeric/arithmetic.h"
#include "numeric/ext_math.h"
#include "numeric/x87_asm.h"

X87TruncatingMode::X87TruncatingMode() {
  // Between functions the register stack is empty (both calling conventions
  // require it), and with every exception masked the status flags change no
  // result; so when the control word is already right there is nothing to
  // do, and skipping `fninit` also keeps its cleared precision flag from
  // slowing down the next inexact operation.
  if (x87ControlWord() == ExtFormat::kControlWord) return;
  std::uint16_t cw;
  __asm__ volatile(X87_SETUP : [cw] "=m"(cw) : : X87_CLOBBERS);
}

int cachedMaxDigits(int base) {
  constexpr int kFirst = 2, kLast = 36;
  struct Table {
    int digits[kLast + 1];
    Table() {
      for (int b = kFirst; b <= kLast; ++b) digits[b] = maxDigits(b);
    }
  };
  static const Table table;
  return base >= kFirst && base <= kLast ? table.digits[base] : maxDigits(base);
}

FastReal cachedLog2OfBase(int base) {
  constexpr int kLast = 99;
  struct Table {
    ExtReal log2[kLast + 1];
    Table() {
      for (int b = 0; b <= kLast; ++b) log2[b] = extLog2(ExtReal(b));
    }
  };
  static const Table table;
  return FastReal(base >= 0 && base <= kLast ? table.log2[base] : extLog2(ExtReal(base)));
}

FastReal cachedPower(int base, int exponent) {
  struct Entry {
    long double power;
    int base;
    int exponent;
    bool filled;
  };
  constexpr unsigned kEntries = 4096;  // a power of two
  thread_local Entry cache[kEntries];
  const unsigned slot =
      (static_cast<unsigned>(base) * 2654435761u + static_cast<unsigned>(exponent)) &
      (kEntries - 1);
  Entry& entry = cache[slot];
  if (entry.filled && entry.base == base && entry.exponent == exponent)
    return FastReal::fromRaw(entry.power);
  const FastReal power = extExp2(FastReal(exponent) * cachedLog2OfBase(base));
  entry = {power.raw(), base, exponent, true};
  return power;
}

bool Arithmetic<FastReal>::extractDigitsExactly(char* digits, int n, FastReal* value, int base) {
  const ExtReal start = value->toExtReal();
  const int biased = start.biasedExponent();
  std::uint64_t significand = start.significand();
  // Positive and normal (integer bit set), and an integer base the product
  // below cannot overflow.
  if (start.signBit() || biased == 0 || biased == ExtFormat::kMaxBiasedExponent ||
      (significand >> 63) == 0 || base < 2 || base > 255)
    return false;
  // value = significand * 2^(exponent - 63)
  int exponent = biased - ExtFormat::kExponentBias;
  // For a power of two the product keeps the normalised significand and
  // only moves the exponent.
  const int powerOfTwoShift =
      (base & (base - 1)) == 0 ? __builtin_ctz(static_cast<unsigned>(base)) : 0;
  for (int i = 0; i < n; ++i) {
    if (significand == 0) {  // (0 - 0) * base stays +0
      digits[i] = 0;
      continue;
    }
    std::uint64_t digit = 0;
    if (exponent >= 0) {
      if (exponent > 6) return false;  // the digit would not survive the 8-bit store
      const int fractionBits = 63 - exponent;
      digit = significand >> fractionBits;
      significand &= (std::uint64_t{1} << fractionBits) - 1;
      if (digit > 127) return false;
      if (significand == 0) {
        digits[i] = static_cast<char>(digit);
        continue;
      }
      const int leadingZeros = __builtin_clzll(significand);
      significand <<= leadingZeros;
      exponent -= leadingZeros;
    }
    digits[i] = static_cast<char>(digit);
    if (powerOfTwoShift != 0) {
      exponent += powerOfTwoShift;
      continue;
    }
    // The exact product has 64 + shift bits; keeping the top 64 truncates.
    const unsigned __int128 product =
        static_cast<unsigned __int128>(significand) * static_cast<unsigned>(base);
    const std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
    const int shift = 64 - __builtin_clzll(high);
    significand = static_cast<std::uint64_t>(product >> shift);
    exponent += shift;
  }
  const std::uint16_t signAndExponent =
      significand == 0 ? 0 : static_cast<std::uint16_t>(exponent + ExtFormat::kExponentBias);
  *value = FastReal(ExtReal::fromBits(significand, signAndExponent));
  return true;
}
