#include "cli/round_trip_line.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "numeral/digits.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

static_assert(kMaxNumeralLength <= kRoundTripMaxLength,
              "every numeral veltrane-cli reads can be a round-trip text");

LineOutcome convertLineRoundTrip(const char* line, std::size_t length, const CliOptions& options,
                                 char* out, LineDetails* details, RoundTripLine* roundTrip) {
  // The numeral is read as convertLine reads it, but its plain text is made
  // only where it is shown: a numeral of at most kMaxNumeralLength bytes
  // (without its surrounding blanks) and no NUL byte, which the parser
  // accepts with a value.
  X87TruncatingMode mode;
  RoundTripOutcome found = kRoundTripNone;
  bool hasValue = false;
  if (length <= kMaxNumeralLength) {
    std::size_t start = 0;
    std::size_t end = length;
    while (start < end && line[start] == ' ') ++start;
    while (end > start && line[end - 1] == ' ') --end;
    char text[kMaxNumeralLength + 1];
    if (end > start && std::memchr(line + start, '\0', end - start) == nullptr) {
      std::memcpy(text, line + start, end - start);
      text[end - start] = '\0';
      FastReal value;
      int base = options.inputBase;
      if (parseNumeral(&value, text, &base) && plusInfinity == 0 && minusInfinity == 0 &&
          !isNotANumber(value.toExtReal())) {
        hasValue = true;
        const int notation = plainNotation(value, options.outputBase, options.scientific);
        found = roundTripNumeral(out, kMaxNumeralLength, value, options.outputBase, notation);
        if (found == kRoundTripFound) {
          *roundTrip = kRoundTripText;
          return kConverted;
        }
      }
    }
  }
  // Otherwise convertLine's text and details.
  const LineOutcome outcome = convertLine(line, length, options, out, details);
  *roundTrip = kRoundTripNoValue;
  if (outcome == kConverted && details->hasValue && hasValue)
    *roundTrip = found == kRoundTripTooLong ? kRoundTripPlainLong : kRoundTripPlainNone;
  return outcome;
}

void describeRoundTrip(char* out, std::size_t size, RoundTripLine roundTrip,
                       const LineDetails& details, const CliOptions& options) {
  if (size == 0) return;
  out[0] = '\0';
  if (roundTrip != kRoundTripPlainNone && roundTrip != kRoundTripPlainLong) return;
  const ExtReal& v = details.value;
  std::snprintf(out, size,
                "no numeral in base %d%s reads back to the stored value %04X%016" PRIX64
                "; the plain text is shown",
                options.outputBase,
                roundTrip == kRoundTripPlainLong ? " of at most 4096 bytes" : "",
                static_cast<unsigned>(v.signAndExponent()), v.significand());
  static_assert(kMaxNumeralLength == 4096, "keep the message in step");
}
