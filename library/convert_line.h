// One numeral, text to text: the road of the dialog's Convert command,
// without the dialog's 28-character cut and without any state carried from
// one numeral to the next. Every face converts through here (by way of the
// public interface in library/include).
#ifndef VELTRANE_LIBRARY_CONVERT_LINE_H
#define VELTRANE_LIBRARY_CONVERT_LINE_H

#include <cstddef>

#include "numeral/diagnose.h"
#include "numeral/format.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"

// What a numeral is converted with.
struct LineOptions {
  int inputBase = 10;   // 2..36; an '@' suffix overrides it for its own numeral only
  int outputBase = 16;  // 2..36
  int scientific = 0;   // 1 asks for scientific notation, 0 for standard
  bool roundTrip = false;  // the round-trip text (round_trip_line.h) instead of the plain one
};

// A macro's value as a string literal, for messages that name a limit.
#define VELTRANE_STRINGIFY_TEXT(x) #x
#define VELTRANE_STRINGIFY(x) VELTRANE_STRINGIFY_TEXT(x)

// The longest numeral accepted, in bytes, blanks included: the public
// VELTRANE_MAX_NUMERAL_LENGTH (this header stays apart from the public one,
// whose names a face may define otherwise).
#define VELTRANE_LINE_LIMIT 12288
constexpr std::size_t kMaxNumeralLength = VELTRANE_LINE_LIMIT;

// The size of the buffer convertLine writes its text into.
constexpr int kLineOutputSize = kFormatBufferSize;

// What a numeral gave; the values are the public outcome codes.
enum LineOutcome {
  kConverted = 0,       // a value and its text
  kOverflow = 1,        // "+INF" or "-INF" (LineDetails::overflowSign)
  kNotANumeral = 2,     // rejected by the numeral parser
  kEmptyNumeral = 3,    // nothing but blanks
  kNumeralTooLong = 4,  // more than kMaxNumeralLength bytes
  kNulByte = 5,         // a NUL byte inside the numeral
  kNoValue = 6,         // accepted, but names no number: base 0 from an '@0' suffix
};

// True for the outcomes whose text is not "ERROR": a value or an overflow.
inline bool givesText(LineOutcome outcome) { return outcome == kConverted || outcome == kOverflow; }

// What convertLine found out on the way, for messages and reports.
struct LineDetails {
  // The numeral without its surrounding blanks: numeralLength bytes at
  // numeral, which points into the caller's line. Null when the line is too
  // long to have been read.
  const char* numeral = nullptr;
  std::size_t numeralLength = 0;
  // The base the numeral was read in: its '@' suffix's when the suffix was
  // read, else the option's.
  int base = 0;
  // The input base as the parser leaves it: an '@' suffix writes its base
  // (0..99) over the option's, or the value of its first character when it
  // breaks a rule after that. The dialog keeps this in its record.
  int parserBase = 0;
  // For kOverflow: +1 for "+INF", -1 for "-INF"; else 0.
  int overflowSign = 0;
  // The notation of the text: 0 standard, 1 scientific, -1 none (+INF, -INF,
  // ERROR).
  int scientific = -1;
  // True when the parser gave a value (not for overflow, rejection or a
  // numeral that names no number); value is then the stored value the text
  // was formatted from.
  bool hasValue = false;
  ExtReal value;
  // For kNotANumeral: the rule the numeral broke; offsets count from numeral.
  NumeralDiagnosis diagnosis;
};

// Converts the numeral in line[0 .. length-1] (not NUL-terminated; any bytes)
// from options.inputBase to options.outputBase and writes the text the dialog
// would show for it into out (kLineOutputSize bytes, NUL-terminated, no line
// end): the numeral, "+INF" or "-INF" for kOverflow, or "ERROR" for every
// other outcome. Blanks (0x20 only) around the numeral are ignored. When
// length exceeds kMaxNumeralLength, line is not read at all.
// Allocates nothing and keeps no state between calls: any thread may call it.
// When details is not null, it receives the details of this numeral; when
// textLength is not null, the length of the text written (the offset of its
// NUL).
LineOutcome convertLine(const char* line, std::size_t length, const LineOptions& options,
                        char* out, LineDetails* details = nullptr,
                        std::size_t* textLength = nullptr);

// The reading half of convertLine: trims, checks and parses the numeral and
// gives its outcome, its value (*value, for kConverted only), the base it
// was read in (*base) and for kOverflow the sign (*overflowSign, +1 or -1).
// Needs the mode of an X87TruncatingMode in force.
LineOutcome readLine(const char* line, std::size_t length, int inputBase, FastReal* value,
                     int* base, int* overflowSign);

// A short statement of the rule a rejected numeral broke, for messages; ""
// for kConverted and kOverflow. For kNotANumeral, describeDiagnosis says more.
const char* describeOutcome(LineOutcome outcome);

#endif
