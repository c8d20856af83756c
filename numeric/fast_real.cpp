#include "numeric/fast_real.h"

#include <cstdint>
#include <cstring>

#include "numeric/ext_math.h"
#include "numeric/thread_tables.h"

// Both tables are filled per thread on first use of each base, by the same
// functions, so the values are the same by construction; a filled entry is
// never 0 (maxDigits is 12 to 64; the flag marks a logarithm).
int cachedMaxDigits(int base) {
  constexpr int kFirst = 2, kLast = 99;
  thread_local int digits[kLast + 1];
  if (base < kFirst || base > kLast) return maxDigits(base);
  if (digits[base] == 0) digits[base] = maxDigits(base);
  return digits[base];
}

FastReal cachedLog2OfBase(int base) {
  constexpr int kLast = 99;
  struct Entry {
    ExtReal log2;
    bool filled;
  };
  thread_local Entry table[kLast + 1];
  if (base < 0 || base > kLast) return FastReal(extLog2(ExtReal(base)));
  Entry& entry = table[base];
  if (!entry.filled) entry = {extLog2(ExtReal(base)), true};
  return FastReal(entry.log2);
}

namespace {

// 16 bytes an entry; key 0 marks an empty one.
struct PowerEntry {
  ExtReal power;
  std::uint16_t key;  // base + 1
  std::int32_t exponent;
};
constexpr unsigned kPowerEntries = 16384;  // a power of two
using PowerTables = ThreadTables<PowerEntry, kPowerEntries, 8>;

}  // namespace

FastReal cachedPower(int base, int exponent) {
  PowerEntry* const cache = PowerTables::ofThisThread();
  const bool cacheable = cache != nullptr && base >= 0 && base < 0xFFFF;
  if (!cacheable) return extExp2(FastReal(exponent) * cachedLog2OfBase(base));
  // The slot is the exponent plus an offset per base, so that one base's
  // exponents never collide with each other over a run of 16384, and the
  // offsets (1031 apart) keep the exponents of the two bases of a batch
  // apart for the usual ranges.
  const unsigned slot =
      (static_cast<unsigned>(base) * 1031u + static_cast<unsigned>(exponent)) &
      (kPowerEntries - 1);
  PowerEntry& entry = cache[slot];
  const std::uint16_t key = static_cast<std::uint16_t>(base + 1);
  if (entry.key == key && entry.exponent == exponent) return FastReal(entry.power);
  const FastReal power = extExp2(FastReal(exponent) * cachedLog2OfBase(base));
  entry = {power.toExtReal(), key, exponent};
  return power;
}
