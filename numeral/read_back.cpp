// The read-back check of a finished text: the parser itself, as
// veltrane-cli runs it, on a text in one base.
#include <cstring>

#include "numeral/parse.h"
#include "numeral/round_trip.h"

bool readBack(const char* text, int base, ExtReal* stored) {
  X87TruncatingMode mode;
  FastReal value;
  int readBase = base;
  const bool accepted = parseNumeral(&value, text, &readBase) == kParseValue && readBase == base;
  if (accepted) *stored = value.toExtReal();
  return accepted;
}

bool readsBack(const char* text, int base, const ExtReal& value) {
  ExtReal stored;
  return readBack(text, base, &stored) &&
         std::memcmp(stored.bytes(), value.bytes(), ExtFormat::kBytes) == 0;
}
