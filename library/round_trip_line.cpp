#include "library/round_trip_line.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "numeral/digits.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

static_assert(kMaxNumeralLength <= kRoundTripMaxLength,
              "every numeral veltrane-cli reads can be a round-trip text");

LineOutcome convertLineRoundTrip(const char* line, std::size_t length, const LineOptions& options,
                                 char* out, LineDetails* details, RoundTripLine* roundTrip) {
  // The numeral is read as convertLine reads it, but its plain text is made
  // only where it is shown.
  RoundTripOutcome found = kRoundTripNone;
  bool hasValue = false;
  {
    X87TruncatingMode mode;
    FastReal value;
    int base;
    int overflowSign;
    if (readLine(line, length, options.inputBase, &value, &base, &overflowSign) == kConverted) {
      hasValue = true;
      const int notation = plainNotation(value, options.outputBase, options.scientific);
      found = roundTripNumeral(out, kMaxNumeralLength, value, options.outputBase, notation);
      if (found == kRoundTripFound) {
        *roundTrip = kRoundTripText;
        // What convertLine would report about the value, without making
        // the plain text: an accepted numeral has no diagnosis.
        if (details != nullptr) {
          *details = LineDetails();
          std::size_t start = 0;
          std::size_t end = length;
          while (start < end && line[start] == ' ') ++start;
          while (end > start && line[end - 1] == ' ') --end;
          details->numeral = line + start;
          details->numeralLength = end - start;
          details->base = base;
          details->parserBase = base;
          details->scientific = notation;
          details->hasValue = true;
          details->value = value.toExtReal();
        }
        return kConverted;
      }
    }
  }
  // Otherwise convertLine's text and details.
  LineDetails own;
  if (details == nullptr) details = &own;
  const LineOutcome outcome = convertLine(line, length, options, out, details);
  *roundTrip = kRoundTripNoValue;
  if (outcome == kConverted && details->hasValue && hasValue)
    *roundTrip = found == kRoundTripTooLong ? kRoundTripPlainLong : kRoundTripPlainNone;
  return outcome;
}

std::size_t describeRoundTrip(char* out, std::size_t size, RoundTripLine roundTrip,
                              const LineDetails& details, const LineOptions& options) {
  if (size > 0) out[0] = '\0';
  if (roundTrip != kRoundTripPlainNone && roundTrip != kRoundTripPlainLong) return 0;
  const ExtReal& v = details.value;
  const int length = std::snprintf(out, size,
                "no numeral in base %d%s reads back to the stored value %04X%016" PRIX64
                "; the plain text is shown",
                options.outputBase,
                roundTrip == kRoundTripPlainLong
                    ? " of at most " VELTRANE_STRINGIFY(VELTRANE_LINE_LIMIT) " bytes"
                    : "",
                static_cast<unsigned>(v.signAndExponent()), v.significand());
  return length < 0 ? 0 : static_cast<std::size_t>(length);
}
