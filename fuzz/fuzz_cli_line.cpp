// Arbitrary bytes as the standard input of veltrane-cli, through its line
// reader and convertLine with an in-memory input and output, the way the
// program's read loop drives them.
//   byte 0: input base (2 + mod 35); byte 1: output base (2 + mod 35);
//   byte 2: bit 0 scientific notation, bits 1-3 the size of every read (see
//           kReadSizes), bit 4 the input ends in a read error instead of EOF;
//   byte 3: 0, or the first line gets kMaxNumeralLength - 128 + byte 3
//           blanks in front, which puts it around the line limit;
//   the rest: the input.
// Checks: the reader splits the input exactly as an independent model does,
// one output line per input line whatever the bytes; each output line is
// "ERROR", "+INF", "-INF" or a well-formed numeral in the output base, and the
// same text the dialog's arithmetic gives for that numeral; a rejected line
// is always "ERROR" and an accepted one never is; the diagnosis names a fault
// exactly for a numeral the parser rejects, and its message is one printable
// line naming a column; the --json line is one strict JSON object and the
// --explain block ends in an empty line and shows the text; with
// --round-trip, the text is a well-formed numeral that reads back as the
// same stored value, or else the plain text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "cli/line_reader.h"
#include "library/base_field.h"
#include "library/convert_line.h"
#include "library/report.h"
#include "library/round_trip_line.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/json_check.h"
#include "numeral/diagnose.h"
#include "numeral/digits.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeral/round_trip.h"

namespace {

constexpr std::size_t kHeader = 4;
constexpr std::size_t kPaddingBase = kMaxNumeralLength - 128;
// Sizes of the reads: single bytes, odd sizes that split CR LF, lines and the
// line limit, and whole blocks.
constexpr std::size_t kReadSizes[8] = {1, 2, 3, 7, 64, 4095, 4097, 1 << 20};

// The input stream: `padding` blanks, then the fuzzer's bytes.
struct Stream {
  const std::uint8_t* data;
  std::size_t dataSize;
  std::size_t padding;
  std::size_t size() const { return padding + dataSize; }
  char at(std::size_t i) const { return i < padding ? ' ' : static_cast<char>(data[i - padding]); }
};

struct Source {
  const Stream* stream;
  std::size_t readSize;
  bool failAtEnd;
  std::size_t position = 0;
  int reads = 0;
  int flushes = 0;
};

long readSource(void* context, char* buffer, std::size_t size) {
  Source* source = static_cast<Source*>(context);
  FUZZ_CHECK(source->flushes == source->reads + 1);  // the output is flushed before every read
  ++source->reads;
  const std::size_t left = source->stream->size() - source->position;
  if (left == 0 && source->failAtEnd) return -1;
  std::size_t n = size < source->readSize ? size : source->readSize;
  if (n > left) n = left;
  for (std::size_t i = 0; i < n; ++i) buffer[i] = source->stream->at(source->position + i);
  source->position += n;
  return static_cast<long>(n);
}

void countFlush(void* context) { ++static_cast<Source*>(context)->flushes; }

// The next line by the rule in line_reader.h, found independently: from
// *start (past a byte order mark at the very start) to the next LF or the
// end, less one CR right before either. Returns
// false at the end of the input. *terminated tells whether an LF ended it.
bool nextModelLine(const Stream& stream, std::size_t* start, std::size_t* lineStart,
                   std::size_t* length, bool* terminated) {
  const std::size_t size = stream.size();
  // A byte order mark at the very start belongs to no line.
  if (*start == 0 && size >= 3 && stream.at(0) == '\xEF' && stream.at(1) == '\xBB' &&
      stream.at(2) == '\xBF')
    *start = 3;
  if (*start >= size) return false;
  std::size_t end = *start;
  while (end < size && stream.at(end) != '\n') ++end;
  *lineStart = *start;
  *length = end - *start;
  *terminated = end < size;
  if (*length > 0 && stream.at(end - 1) == '\r') --*length;
  *start = end + 1;
  return true;
}

// What the dialog's arithmetic writes for the line: ExtReal throughout, as the
// Convert command computes, and the outcome of its parse: kNotANumeral when
// the parser rejects the line, kOverflow for its overflow verdict, kNoValue
// for an accepted numeral without a value (base 0), else kConverted.
LineOutcome dialogText(const char* line, std::size_t length, const LineOptions& options, char* out,
                       int* scientific) {
  char text[kMaxNumeralLength + 1];
  std::memcpy(text, line, length);
  text[length] = '\0';
  trimSpaces(text);
  int base = options.inputBase;
  ExtReal value;
  const ParseVerdict verdict = parseNumeral(&value, text, &base);
  const NumeralDiagnosis diagnosis = diagnoseNumeral(text, options.inputBase);
  FUZZ_CHECK((diagnosis.fault == kNoFault) == (verdict != kParseRejected));
  if (verdict != kParseRejected || diagnosis.suffixBase) FUZZ_CHECK(diagnosis.base == base);
  if (verdict == kParseRejected) return kNotANumeral;
  *scientific = options.scientific;
  formatNumeral(out, value, options.outputBase, scientific);
  if (verdict != kParseValue) return kOverflow;
  return isNotANumber(value) ? kNoValue : kConverted;
}

bool isBlank(const char* line, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (line[i] != ' ') return false;
  return true;
}

void checkOutputLine(const char* line, std::size_t length, const LineOptions& options,
                     LineOutcome outcome, const char* out) {
  const bool isError = std::strcmp(out, "ERROR") == 0;
  if (length > kMaxNumeralLength) {
    FUZZ_CHECK(outcome == kNumeralTooLong && isError);
    return;
  }
  if (std::memchr(line, '\0', length) != nullptr) {
    FUZZ_CHECK(outcome == kNulByte && isError);
    return;
  }
  if (isBlank(line, length)) {
    FUZZ_CHECK(outcome == kEmptyNumeral && isError);
    return;
  }
  char expected[kFormatBufferSize];
  int scientific = -1;
  const LineOutcome modelOutcome = dialogText(line, length, options, expected, &scientific);
  // The outcome is the parser's verdict, whatever the text: in bases from 24
  // (28) up "-INF" and "ERROR" are numerals with a value.
  FUZZ_CHECK(outcome == modelOutcome);
  if (outcome != kNotANumeral && std::strcmp(out, expected) != 0) {
    std::fprintf(stderr, "cli \"%s\", dialog \"%s\"\n", out, expected);
    FUZZ_CHECK(std::strcmp(out, expected) == 0);
  }
  // The dialog writes ERROR without a message box for a numeral that the
  // parser accepts but that names no number (base 0); the library counts it
  // as an outcome of its own, so that the exit status and standard error say so.
  if (outcome == kNotANumeral || outcome == kNoValue) {
    FUZZ_CHECK(isError);
    return;
  }
  if (outcome == kOverflow) {
    FUZZ_CHECK(std::strcmp(out, "+INF") == 0 || std::strcmp(out, "-INF") == 0);
    return;
  }
  FUZZ_CHECK(outcome == kConverted);
  FUZZ_CHECK(scientific == 0 || scientific == 1);
  if (options.scientific) FUZZ_CHECK(scientific == 1);
  FUZZ_CHECK(fuzzcheck::isWellFormedNumeral(out, options.outputBase, scientific));
}

char report[kReportSize];

bool isPrintableLine(const char* text) {
  for (const char* p = text; *p != '\0'; ++p)
    if (static_cast<unsigned char>(*p) < 0x20 || static_cast<unsigned char>(*p) >= 0x7F)
      return false;
  return true;
}

void checkReports(LineOutcome outcome, const char* out, const LineDetails& details,
                  const LineOptions& options) {
  if (details.hasValue) FUZZ_CHECK(outcome == kConverted);
  if (outcome == kNotANumeral) {
    FUZZ_CHECK(details.diagnosis.fault != kNoFault);
    FUZZ_CHECK(details.numeral != nullptr);
    if (details.diagnosis.fault != kEmptyText)
      FUZZ_CHECK(details.diagnosis.offset < details.numeralLength);
  }
  describeRejection(report, sizeof report, outcome, details);
  FUZZ_CHECK(isPrintableLine(report));
  FUZZ_CHECK((report[0] != '\0') == !givesText(outcome));
  if (outcome == kNotANumeral) FUZZ_CHECK(std::strstr(report, " at column ") != nullptr);

  std::size_t length = writeJsonLine(report, sizeof report, outcome, out, details, options);
  FUZZ_CHECK(length >= 2 && length < sizeof report && report[length] == '\0');
  FUZZ_CHECK(std::memchr(report, '\n', length) == nullptr);
  if (!fuzzcheck::isJsonDocument(report, length)) {
    std::fprintf(stderr, "not JSON: %s", report);
    FUZZ_CHECK(false);
  }
  FUZZ_CHECK(report[0] == '{');
  FUZZ_CHECK((std::strstr(report, "\"stored\": null") == nullptr) == details.hasValue);
  // The outcome word and the distance come from the outcome, not the text.
  const std::string word = std::string("\"outcome\": \"") + outcomeWord(outcome) + "\"";
  FUZZ_CHECK(std::strstr(report, word.c_str()) != nullptr);
  FUZZ_CHECK((std::strstr(report, "\"ulps\": null") == nullptr) == details.hasValue);

  length = writeExplanation(report, sizeof report, outcome, out, details, options);
  FUZZ_CHECK(length >= 2 && length < sizeof report && report[length] == '\0');
  FUZZ_CHECK(report[length - 1] == '\n' && report[length - 2] == '\n');
  std::string textLine = "\ntext:      ";
  textLine += out;
  FUZZ_CHECK(std::strstr(report, textLine.c_str()) != nullptr);
  if (details.hasValue) FUZZ_CHECK(std::strstr(report, "\ndistance:  ") != nullptr);
}

void checkRoundTrip(const char* line, std::size_t length, const LineOptions& options,
                    LineOutcome outcome, const char* out, const LineDetails& details) {
  LineOptions roundTripOptions = options;
  roundTripOptions.roundTrip = true;
  static char text[kRoundTripOutputSize];
  LineDetails roundTripDetails;
  RoundTripLine roundTrip;
  FUZZ_CHECK(convertLineRoundTrip(line, length, roundTripOptions, text, &roundTripDetails,
                                  &roundTrip) == outcome);
  FUZZ_CHECK((roundTrip == kRoundTripNoValue) == !details.hasValue);
  if (roundTrip != kRoundTripText) {
    FUZZ_CHECK(std::strcmp(text, out) == 0);
    return;
  }
  FUZZ_CHECK(std::strlen(text) <= kMaxNumeralLength);
  FUZZ_CHECK(fuzzcheck::isWellFormedNumeral(text, options.outputBase, details.scientific));
  FUZZ_CHECK(readsBack(text, options.outputBase, details.value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  LineOptions options;
  options.inputBase = 2 + data[0] % 35;
  options.outputBase = 2 + data[1] % 35;
  options.scientific = data[2] & 1;
  const std::size_t readSize = kReadSizes[(data[2] >> 1) & 7];
  const bool failAtEnd = (data[2] >> 4) & 1;
  const Stream stream{data + kHeader, size - kHeader, data[3] == 0 ? 0 : kPaddingBase + data[3]};

  // The program's loop, with its standard output in memory.
  Source source{&stream, readSize, failAtEnd};
  auto reader = std::make_unique<LineReader>(readSource, countFlush, &source);
  std::string output;
  std::size_t modelStart = 0;
  int lines = 0;
  LineReader::Result result;
  const char* line;
  std::size_t length;
  while ((result = reader->next(&line, &length)) == LineReader::kLine) {
    std::size_t lineStart, modelLength;
    bool terminated;
    FUZZ_CHECK(nextModelLine(stream, &modelStart, &lineStart, &modelLength, &terminated));
    // After a failed read the unterminated last line is never reported.
    FUZZ_CHECK(terminated || !failAtEnd);
    FUZZ_CHECK(length == modelLength);
    const std::size_t kept = length < kMaxNumeralLength + 1 ? length : kMaxNumeralLength + 1;
    for (std::size_t i = 0; i < kept; ++i) FUZZ_CHECK(line[i] == stream.at(lineStart + i));

    char out[kLineOutputSize];
    LineDetails details;
    const LineOutcome outcome = convertLine(line, length, options, out, &details);
    FUZZ_CHECK(std::memchr(out, '\0', kLineOutputSize) != nullptr);
    checkOutputLine(line, length, options, outcome, out);
    checkReports(outcome, out, details, options);
    checkRoundTrip(line, length, options, outcome, out, details);
    output += out;
    output += '\n';
    ++lines;
  }
  FUZZ_CHECK(result == (failAtEnd ? LineReader::kReadError : LineReader::kEnd));
  FUZZ_CHECK(source.position == stream.size());

  // Every line the model finds was reported, except the unterminated one a
  // read error loses.
  std::size_t lineStart, modelLength;
  bool terminated;
  if (nextModelLine(stream, &modelStart, &lineStart, &modelLength, &terminated))
    FUZZ_CHECK(failAtEnd && !terminated);

  // One output line per input line, and nothing but those lines.
  int outputLines = 0;
  std::size_t begin = 0;
  for (std::size_t end; (end = output.find('\n', begin)) != std::string::npos; begin = end + 1) {
    const std::string text = output.substr(begin, end - begin);
    FUZZ_CHECK(text == "ERROR" || text == "+INF" || text == "-INF" ||
               fuzzcheck::isWellFormedNumeral(text.c_str(), options.outputBase, 0) ||
               fuzzcheck::isWellFormedNumeral(text.c_str(), options.outputBase, 1));
    ++outputLines;
  }
  FUZZ_CHECK(begin == output.size());
  FUZZ_CHECK(outputLines == lines);
  return 0;
}
