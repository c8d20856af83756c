// What veltrane-cli writes about one numeral beyond its text: the message for
// a rejected numeral, the --explain block and the --json line.
#ifndef VELTRANE_LIBRARY_REPORT_H
#define VELTRANE_LIBRARY_REPORT_H

#include <cstddef>

#include "library/convert_line.h"

// Room for any report: a numeral of kMaxNumeralLength bytes escaped six
// bytes a byte, an exact expansion, a round-trip text of kMaxNumeralLength
// bytes and the rest.
constexpr std::size_t kReportSize = 8 * kMaxNumeralLength;
static_assert(kReportSize > 7 * kMaxNumeralLength + 2000, "room for the numeral, exact and round trip");

// The rejection message after "line N: " or "argument N: ", without line
// end: the numeral in quotes (printable ASCII as it is, any other byte and
// '"' and '\' as \xNN), then the rule it broke, e.g.
//   "12G" is not a numeral in base 16: 'G' at column 3 is not a digit below 16
// Writes "" for kConverted and kOverflow. Truncated to size; returns the
// length of the whole message (size or more when it was cut).
std::size_t describeRejection(char* out, std::size_t size, LineOutcome outcome,
                              const LineDetails& details);

// The --explain block for one numeral: labelled lines, each ending in LF,
// then an empty line. text is what convertLine wrote. Returns the length of
// the whole block, which was cut to size - 1 bytes when it is size or more.
std::size_t writeExplanation(char* out, std::size_t size, LineOutcome outcome, const char* text,
                             const LineDetails& details, const LineOptions& options);

// The --json object for one numeral, on one line without line end, with the keys
// numeral, from, to, text, notation, outcome, stored, class, exact,
// exact_complete, ulps, reads_back (whether the text reads back to the
// stored value) and round_trip (roundTripNumeral's text of at most
// kMaxNumeralLength bytes, or null). Strings are valid UTF-8: a byte that is not part
// of a UTF-8 sequence becomes U+FFFD. Returns the length, as writeExplanation.
std::size_t writeJsonLine(char* out, std::size_t size, LineOutcome outcome, const char* text,
                          const LineDetails& details, const LineOptions& options);

// The stable word of an outcome in --json: "converted", "overflow",
// "rejected", "empty", "too_long", "nul_byte" or "no_value".
const char* outcomeWord(LineOutcome outcome);

#endif
