// Numeral text, input base 0..99, output base 2..36 and notation through
// parseNumeral and formatNumeral; diagnoseNumeral names a fault exactly when
// the parser rejects the text.
//   byte 0: input base (mod 100); byte 1: output base (2 + mod 35);
//   byte 2: bit 0 asks for scientific notation; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/fuzz_check.h"
#include "numeral/diagnose.h"
#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/parse.h"

namespace {

constexpr std::size_t kMaxText = 12288;  // the command-line converter's line limit
constexpr int kGuard = 64;
constexpr unsigned char kPoison = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  int base = data[0] % 100;
  const int outputBase = 2 + data[1] % 35;
  const int askScientific = data[2] & 1;
  char text[kMaxText + 1];
  const std::size_t length = size - 3 < kMaxText ? size - 3 : kMaxText;
  std::memcpy(text, data + 3, length);
  text[length] = '\0';

  ExtReal value;
  const int givenBase = base;
  const ParseVerdict verdict = parseNumeral(&value, text, &base);
  const bool accepted = verdict != kParseRejected;
  const NumeralDiagnosis diagnosis = diagnoseNumeral(text, givenBase);
  FUZZ_CHECK((diagnosis.fault == kNoFault) == accepted);
  if (accepted || diagnosis.suffixBase) FUZZ_CHECK(diagnosis.base == base);
  if (!accepted) {
    if (diagnosis.fault != kEmptyText) FUZZ_CHECK(diagnosis.offset < std::strlen(text));
    char message[256];
    describeDiagnosis(message, sizeof message, text, diagnosis);
    FUZZ_CHECK(message[0] != '\0' && std::strlen(message) < sizeof message - 1);
    return 0;
  }
  // An overflow's sign is the numeral's, and its value that infinity.
  if (verdict != kParseValue) {
    FUZZ_CHECK((verdict == kParseMinusOverflow) == (text[0] == '-'));
    FUZZ_CHECK(isInfinity(value) && value.signBit() == (text[0] == '-'));
  }

  unsigned char buffer[kGuard + kFormatBufferSize + kGuard];
  std::memset(buffer, kPoison, sizeof buffer);
  char* out = reinterpret_cast<char*>(buffer + kGuard);
  int scientific = askScientific;
  formatNumeral(out, value, outputBase, &scientific);
  for (int i = 0; i < kGuard; ++i) {
    FUZZ_CHECK(buffer[i] == kPoison);
    FUZZ_CHECK(buffer[kGuard + kFormatBufferSize + i] == kPoison);
  }
  FUZZ_CHECK(std::memchr(out, '\0', kFormatBufferSize) != nullptr);

  if (verdict == kParsePlusOverflow) {
    FUZZ_CHECK(std::strcmp(out, "+INF") == 0 && scientific == askScientific);
  } else if (verdict == kParseMinusOverflow) {
    FUZZ_CHECK(std::strcmp(out, "-INF") == 0 && scientific == askScientific);
  } else if (base == 0) {
    // Base 0 admits no digit, so the value is 0 times 0^0, which is not a
    // number: always "ERROR", whether the base came from an '@0' suffix or
    // from the caller (who never passes it in this system).
    FUZZ_CHECK(std::strcmp(out, "ERROR") == 0);
    FUZZ_CHECK(scientific == askScientific);
  } else {
    FUZZ_CHECK(scientific == 0 || scientific == 1);
    FUZZ_CHECK(fuzzcheck::isWellFormedNumeral(out, outputBase, scientific));
    if (askScientific) FUZZ_CHECK(scientific == 1);
  }
  return 0;
}
