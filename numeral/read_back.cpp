// The read-back check of a finished text: the parser itself, as
// veltrane-cli runs it, on a text in one base.
#include <cstring>

#include "numeral/parse.h"
#include "numeral/round_trip.h"

bool readBack(const char* text, int base, ExtReal* stored) {
  X87TruncatingMode mode;
  FastReal value;
  int readBase = base;
  // With its length and '@' known, the parser reads runs of binary digits
  // eight at a time, as in a conversion.
  const std::size_t length = std::strlen(text);
  const char* suffix = static_cast<const char*>(std::memchr(text, '@', length));
  const bool accepted =
      parseNumeralWithSuffixAt(&value, text, length, suffix, &readBase) == kParseValue &&
      readBase == base;
  if (accepted) *stored = value.toExtReal();
  return accepted;
}

bool readsBack(const char* text, int base, const ExtReal& value) {
  ExtReal stored;
  return readBack(text, base, &stored) &&
         std::memcmp(stored.bytes(), value.bytes(), ExtFormat::kBytes) == 0;
}
