// One numeral with --round-trip: its round-trip text in place of
// the plain text, where one exists.
#ifndef VELTRANE_LIBRARY_ROUND_TRIP_LINE_H
#define VELTRANE_LIBRARY_ROUND_TRIP_LINE_H

#include <cstddef>

#include "library/convert_line.h"
#include "numeral/round_trip.h"

// The size of the buffer convertLineRoundTrip writes into: a round-trip text
// of the longest numeral veltrane-cli reads, or any plain text.
constexpr std::size_t kRoundTripOutputSize =
    kRoundTripMaxLength + 1 > static_cast<std::size_t>(kLineOutputSize)
        ? kRoundTripMaxLength + 1
        : static_cast<std::size_t>(kLineOutputSize);

// What the round trip gave for one numeral.
enum RoundTripLine {
  kRoundTripText,       // out holds the round-trip text
  kRoundTripNoValue,    // no stored value (+INF, -INF, ERROR): out holds the plain text
  kRoundTripPlainNone,  // no numeral reads back: out holds the plain text
  kRoundTripPlainLong,  // none within kMaxNumeralLength bytes: out holds the plain text
};

// For a numeral with a stored value, its round-trip text in the output base
// and the notation of the plain text (roundTripNumeral, at most
// kMaxNumeralLength bytes, so that veltrane-cli reads it back) into out
// (kRoundTripOutputSize bytes) where one exists; otherwise convertLine's
// text. details (which may be null) receives convertLine's details. Returns
// convertLine's outcome; *roundTrip says which text out holds.
LineOutcome convertLineRoundTrip(const char* line, std::size_t length, const LineOptions& options,
                                 char* out, LineDetails* details, RoundTripLine* roundTrip);

// The stderr message for a numeral whose round trip printed its plain text
// (kRoundTripPlainNone or kRoundTripPlainLong), after "line N: ", without line
// end; "" otherwise. Truncated to size; returns the whole message's length.
std::size_t describeRoundTrip(char* out, std::size_t size, RoundTripLine roundTrip,
                              const LineDetails& details, const LineOptions& options);

#endif
