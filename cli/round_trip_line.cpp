#include "cli/round_trip_line.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "numeric/fast_real.h"

static_assert(kMaxNumeralLength <= kRoundTripMaxLength,
              "every numeral veltrane-cli reads can be a round-trip text");

LineOutcome convertLineRoundTrip(const char* line, std::size_t length, const CliOptions& options,
                                 char* out, LineDetails* details, RoundTripLine* roundTrip) {
  const LineOutcome outcome = convertLine(line, length, options, out, details);
  *roundTrip = kRoundTripNoValue;
  if (outcome != kConverted || !details->hasValue) return outcome;
  X87TruncatingMode mode;
  char text[kRoundTripMaxLength + 1];
  switch (roundTripNumeral(text, kMaxNumeralLength, FastReal(details->value), options.outputBase,
                           details->scientific)) {
    case kRoundTripFound:
      std::memcpy(out, text, std::strlen(text) + 1);
      *roundTrip = kRoundTripText;
      break;
    case kRoundTripNone:
      *roundTrip = kRoundTripPlainNone;
      break;
    case kRoundTripTooLong:
      *roundTrip = kRoundTripPlainLong;
      break;
  }
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
