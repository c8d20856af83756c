// One numeral of the command-line converter: the same road from text to text
// as the dialog's Convert command, without the dialog's 28-character cut and
// without any state carried from one numeral to the next.
#ifndef VELTRANE_CLI_CONVERT_LINE_H
#define VELTRANE_CLI_CONVERT_LINE_H

#include <cstddef>

#include "numeral/diagnose.h"
#include "numeral/format.h"
#include "numeric/ext_real.h"

// What each numeral's output is: the text alone, the --explain block or the
// --json line.
enum CliReport { kReportText, kReportExplain, kReportJson };

// What every numeral of one run is converted with.
struct CliOptions {
  int inputBase = 10;   // 2..36; an '@' suffix overrides it for its own numeral only
  int outputBase = 16;  // 2..36
  int scientific = 0;   // 1 asks for scientific notation, 0 for standard
  CliReport report = kReportText;
  bool roundTrip = false;  // the round-trip text (round_trip_line.h) instead of the plain one
};

// The longest numeral accepted, in bytes, blanks included.
constexpr std::size_t kMaxNumeralLength = 4096;

// The size of the buffer convertLine writes its text into.
constexpr int kLineOutputSize = kFormatBufferSize;

// Why a numeral was not converted. kConverted covers "+INF" and "-INF" too.
enum LineOutcome {
  kConverted = 0,
  kEmptyNumeral,    // nothing but blanks
  kNumeralTooLong,  // more than kMaxNumeralLength bytes
  kNulByte,         // a NUL byte inside the numeral
  kNotANumeral,     // rejected by the numeral parser
  kNoValue,         // accepted, but names no number: base 0 from an '@0' suffix
};

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
// end): the numeral, "+INF", "-INF", or "ERROR" for every outcome other than
// kConverted. Blanks (0x20 only) around the numeral are ignored. When length
// exceeds kMaxNumeralLength, line is not read at all.
// Allocates nothing; keeps no state of its own between calls, but rewrites the
// parser's overflow flags for every accepted numeral.
// When details is not null, it receives the details of this numeral.
LineOutcome convertLine(const char* line, std::size_t length, const CliOptions& options, char* out,
                        LineDetails* details = nullptr);

// A short statement of the rule a rejected numeral broke, for messages; ""
// for kConverted. For kNotANumeral, describeDiagnosis says more.
const char* describeOutcome(LineOutcome outcome);

#endif
