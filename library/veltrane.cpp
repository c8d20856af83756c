// The C interface (veltrane.h) over the line conversion and its reports.
// Every function here works on the caller's buffers and its own stack: no
// heap, no state kept between calls, nothing that throws.
#include "veltrane.h"

#include <cstring>

#include "library/base_field.h"
#include "library/convert_line.h"
#include "library/report.h"
#include "library/round_trip_line.h"
#include "numeral/diagnose.h"
#include "numeral/digits.h"
#include "numeral/exact.h"
#include "numeral/format.h"
#include "numeral/round_trip.h"
#include "numeric/ext_real.h"
#include "numeric/fast_real.h"
#include "numeric/x87_caller_mode.h"

// The public codes are the internal enumerations' values.
static_assert(kConverted == VELTRANE_CONVERTED && kOverflow == VELTRANE_OVERFLOW &&
                  kNotANumeral == VELTRANE_REJECTED && kEmptyNumeral == VELTRANE_EMPTY &&
                  kNumeralTooLong == VELTRANE_TOO_LONG && kNulByte == VELTRANE_NUL_BYTE &&
                  kNoValue == VELTRANE_NO_VALUE,
              "outcomes");
static_assert(kMaxNumeralLength == VELTRANE_MAX_NUMERAL_LENGTH, "the numeral limit");
static_assert(kLineOutputSize <= VELTRANE_TEXT_SIZE, "VELTRANE_TEXT_SIZE holds every plain text");
static_assert(kNoFault == VELTRANE_RULE_NONE && kEmptyText == VELTRANE_RULE_EMPTY_TEXT &&
                  kSuffixMissing == VELTRANE_RULE_SUFFIX_MISSING &&
                  kSuffixNotABase == VELTRANE_RULE_SUFFIX_NOT_A_BASE &&
                  kSuffixAfterLetter == VELTRANE_RULE_SUFFIX_AFTER_LETTER &&
                  kSuffixSecondNotDecimal == VELTRANE_RULE_SUFFIX_SECOND_NOT_DECIMAL &&
                  kDigitTooLarge == VELTRANE_RULE_DIGIT_TOO_LARGE &&
                  kNotADigitCharacter == VELTRANE_RULE_NOT_A_DIGIT &&
                  kSignNotFirst == VELTRANE_RULE_SIGN_NOT_FIRST &&
                  kExponentSignOrder == VELTRANE_RULE_EXPONENT_SIGN_ORDER &&
                  kPointWithoutDigit == VELTRANE_RULE_POINT_WITHOUT_DIGIT &&
                  kSecondPoint == VELTRANE_RULE_SECOND_POINT &&
                  kPointInExponent == VELTRANE_RULE_POINT_IN_EXPONENT &&
                  kSecondExponent == VELTRANE_RULE_SECOND_EXPONENT &&
                  kExponentWithoutDigit == VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT,
              "rules");
static_assert(kStoredZero == VELTRANE_CLASS_ZERO && kStoredSubnormal == VELTRANE_CLASS_SUBNORMAL &&
                  kStoredNormal == VELTRANE_CLASS_NORMAL &&
                  kStoredUnnormal == VELTRANE_CLASS_UNNORMAL &&
                  kStoredInfinity == VELTRANE_CLASS_INFINITY &&
                  kStoredNotANumber == VELTRANE_CLASS_NAN,
              "classes");

static_assert(ExtFormat::kBytes == VELTRANE_STORED_SIZE, "the stored image");
static_assert(kRoundTripMaxLength + 1 <= VELTRANE_ROUND_TRIP_TEXT_SIZE,
              "VELTRANE_ROUND_TRIP_TEXT_SIZE holds every round-trip text");
static_assert(kReportSize <= VELTRANE_REPORT_SIZE, "VELTRANE_REPORT_SIZE holds every report");

namespace {

// The bases of the interface (numeral/digit_alphabet.h has the same).
bool validBase(int base) { return base >= 2 && base <= 36; }

void clear(char* out, std::size_t size) {
  if (out != nullptr && size > 0) out[0] = '\0';
}

// Copies text (length bytes and its NUL) into out when it fits.
bool copyOut(const char* text, std::size_t length, char* out, std::size_t size) {
  if (out == nullptr || length >= size) {
    clear(out, size);
    return false;
  }
  std::memcpy(out, text, length + 1);
  return true;
}

// A numeral given as NULL reads as the empty one.
std::size_t lengthOf(const char* numeral, std::size_t length) {
  return numeral == nullptr ? 0 : length;
}

LineOptions optionsOf(int from, int to, unsigned flags) {
  LineOptions options;
  options.inputBase = from;
  options.outputBase = to;
  options.scientific = (flags & VELTRANE_SCIENTIFIC) != 0 ? 1 : 0;
  options.roundTrip = (flags & VELTRANE_ROUND_TRIP) != 0;
  return options;
}

// The 1-based column of the first byte c in the trimmed numeral, or 0.
std::size_t columnOf(const LineDetails& line, char c) {
  if (line.numeral == nullptr) return 0;
  const void* at = std::memchr(line.numeral, c, line.numeralLength);
  return at == nullptr ? 0
                       : static_cast<std::size_t>(static_cast<const char*>(at) - line.numeral) + 1;
}

void fillDetails(veltrane_details* out, LineOutcome outcome, const LineDetails& line,
                 RoundTripLine roundTrip) {
  *out = veltrane_details();
  out->outcome = outcome;
  out->sign = outcome == kOverflow ? line.overflowSign : 0;
  out->notation = line.scientific;
  out->base = line.base;
  out->parsed_base = line.parserBase;
  out->has_value = line.hasValue ? 1 : 0;
  out->stored_class = -1;
  if (line.hasValue) {
    std::memcpy(out->stored, line.value.bytes(), VELTRANE_STORED_SIZE);
    out->stored_class = classifyStored(line.value);
  }
  out->rule = outcome == kNotANumeral ? line.diagnosis.fault : VELTRANE_RULE_NONE;
  if (outcome == kNotANumeral) out->column = line.diagnosis.offset + 1;
  if (outcome == kNulByte) out->column = columnOf(line, '\0');
  if (outcome == kNoValue) out->column = columnOf(line, '@');
  out->round_trip = roundTrip == kRoundTripText ? 1 : 0;
}

ExtReal storedValue(const unsigned char stored[VELTRANE_STORED_SIZE]) {
  ExtReal value;
  std::memcpy(&value, stored, VELTRANE_STORED_SIZE);
  return value;
}

// A report (the --json line or the --explain block) of one numeral into
// out: it always holds the plain text and the round-trip text both, so the
// round-trip flag plays no part in the conversion behind it.
using ReportWriter = std::size_t (*)(char* out, std::size_t size, LineOutcome outcome,
                                     const char* text, const LineDetails& details,
                                     const LineOptions& options);

int writeReport(ReportWriter write, const char* numeral, size_t length, int from_base, int to_base,
                unsigned flags, char* out, size_t out_size, size_t* out_length = nullptr) {
  const X87CallerMode keep;
  if (out_length != nullptr) *out_length = 0;
  if (!validBase(from_base) || !validBase(to_base)) {
    clear(out, out_size);
    return VELTRANE_BAD_BASE;
  }
  length = lengthOf(numeral, length);
  const LineOptions options = optionsOf(from_base, to_base, flags & ~VELTRANE_ROUND_TRIP);
  LineDetails line;
  char text[kLineOutputSize];
  const LineOutcome outcome = convertLine(numeral, length, options, text, &line);
  char none[1];
  char* to = out != nullptr ? out : none;
  const std::size_t size = out != nullptr ? out_size : 0;
  const std::size_t written = write(to, size, outcome, text, line, options);
  if (written >= size) {
    clear(out, out_size);
    return VELTRANE_BUFFER_TOO_SMALL;
  }
  if (out_length != nullptr) *out_length = written;
  return outcome;
}

}  // namespace

// Every function below that computes keeps its caller's x87 control word
// (X87CallerMode): the mode the operations need is the library's own.
extern "C" {

const char* veltrane_version(void) { return VELTRANE_VERSION_STRING; }

int veltrane_convert(const char* numeral, size_t length, int from_base, int to_base, unsigned flags,
                     char* text, size_t text_size) {
  const X87CallerMode keep;
  // The plain text straight into a buffer that holds any: the road of
  // veltrane-cli's plain runs, one call deep.
  if (validBase(from_base) && validBase(to_base) && (flags & VELTRANE_ROUND_TRIP) == 0 &&
      text != nullptr && text_size >= kLineOutputSize)
    return convertLine(numeral, lengthOf(numeral, length), optionsOf(from_base, to_base, flags),
                       text);
  return veltrane_convert_details(numeral, length, from_base, to_base, flags, text, text_size,
                                  nullptr);
}

int veltrane_convert_measured(const char* numeral, size_t length, int from_base, int to_base,
                              unsigned flags, char* text, size_t text_size, size_t* text_length) {
  const X87CallerMode keep;
  std::size_t measured = 0;
  int outcome;
  if (validBase(from_base) && validBase(to_base) && (flags & VELTRANE_ROUND_TRIP) == 0 &&
      text != nullptr && text_size >= kLineOutputSize) {
    // The formatter knows the length of what it wrote.
    outcome = convertLine(numeral, lengthOf(numeral, length), optionsOf(from_base, to_base, flags),
                          text, nullptr, &measured);
  } else {
    outcome = veltrane_convert_details(numeral, length, from_base, to_base, flags, text, text_size,
                                       nullptr);
    if (text != nullptr && text_size > 0) measured = std::strlen(text);
  }
  if (text_length != nullptr) *text_length = measured;
  return outcome;
}

int veltrane_convert_details(const char* numeral, size_t length, int from_base, int to_base,
                             unsigned flags, char* text, size_t text_size,
                             veltrane_details* details) {
  const X87CallerMode keep;
  if (!validBase(from_base) || !validBase(to_base)) {
    clear(text, text_size);
    if (details != nullptr) {
      *details = veltrane_details();
      details->outcome = VELTRANE_BAD_BASE;
      details->notation = -1;
      details->stored_class = -1;
    }
    return VELTRANE_BAD_BASE;
  }
  length = lengthOf(numeral, length);
  const LineOptions options = optionsOf(from_base, to_base, flags);
  LineDetails line;
  LineOutcome outcome;
  if (options.roundTrip) {
    char out[kRoundTripOutputSize];
    RoundTripLine roundTrip;
    outcome = convertLineRoundTrip(numeral, length, options, out, &line, &roundTrip);
    if (details != nullptr) fillDetails(details, outcome, line, roundTrip);
    if (!copyOut(out, std::strlen(out), text, text_size)) return VELTRANE_BUFFER_TOO_SMALL;
    return outcome;
  }
  if (details == nullptr && text != nullptr && text_size >= kLineOutputSize) {
    // The plain text straight into the caller's buffer, without details:
    // the road of veltrane-cli's plain runs.
    return convertLine(numeral, length, options, text);
  }
  char out[kLineOutputSize];
  outcome = convertLine(numeral, length, options, out, details != nullptr ? &line : nullptr);
  if (details != nullptr) fillDetails(details, outcome, line, kRoundTripNoValue);
  if (!copyOut(out, std::strlen(out), text, text_size)) return VELTRANE_BUFFER_TOO_SMALL;
  return outcome;
}

int veltrane_json(const char* numeral, size_t length, int from_base, int to_base, unsigned flags,
                  char* json, size_t json_size) {
  return writeReport(writeJsonLine, numeral, length, from_base, to_base, flags, json, json_size);
}

int veltrane_explain(const char* numeral, size_t length, int from_base, int to_base, unsigned flags,
                     char* out, size_t out_size) {
  return writeReport(writeExplanation, numeral, length, from_base, to_base, flags, out, out_size);
}

int veltrane_json_measured(const char* numeral, size_t length, int from_base, int to_base,
                           unsigned flags, char* json, size_t json_size, size_t* out_length) {
  return writeReport(writeJsonLine, numeral, length, from_base, to_base, flags, json, json_size,
                     out_length);
}

int veltrane_explain_measured(const char* numeral, size_t length, int from_base, int to_base,
                              unsigned flags, char* out, size_t out_size, size_t* out_length) {
  return writeReport(writeExplanation, numeral, length, from_base, to_base, flags, out, out_size,
                     out_length);
}

int veltrane_message(const char* numeral, size_t length, int from_base, int to_base, unsigned flags,
                     char* message, size_t message_size) {
  const X87CallerMode keep;
  if (!validBase(from_base) || !validBase(to_base)) {
    clear(message, message_size);
    return VELTRANE_BAD_BASE;
  }
  length = lengthOf(numeral, length);
  const LineOptions options = optionsOf(from_base, to_base, flags);
  LineDetails line;
  LineOutcome outcome;
  RoundTripLine roundTrip = kRoundTripNoValue;
  char text[kRoundTripOutputSize];
  if (options.roundTrip)
    outcome = convertLineRoundTrip(numeral, length, options, text, &line, &roundTrip);
  else
    outcome = convertLine(numeral, length, options, text, &line);
  char none[1];
  char* out = message != nullptr ? message : none;
  const std::size_t size = message != nullptr ? message_size : 0;
  const std::size_t needed = givesText(outcome)
                                 ? describeRoundTrip(out, size, roundTrip, line, options)
                                 : describeRejection(out, size, outcome, line);
  if (needed >= size) {
    clear(message, message_size);
    return VELTRANE_BUFFER_TOO_SMALL;
  }
  return outcome;
}

int veltrane_parse(const char* numeral, size_t length, int base,
                   unsigned char stored[VELTRANE_STORED_SIZE]) {
  const X87CallerMode keep;
  if (!validBase(base)) return VELTRANE_BAD_BASE;
  length = lengthOf(numeral, length);
  X87TruncatingMode mode;
  FastReal value;
  int readBase;
  int overflowSign = 0;
  const LineOutcome outcome = readLine(numeral, length, base, &value, &readBase, &overflowSign);
  if (outcome == kConverted) {
    const ExtReal image = value.toExtReal();
    std::memcpy(stored, image.bytes(), VELTRANE_STORED_SIZE);
  } else if (outcome == kOverflow) {
    const ExtReal infinity = ExtReal::fromBits(
        0x8000000000000000ULL, static_cast<std::uint16_t>(ExtFormat::kMaxBiasedExponent |
                                                          (overflowSign < 0 ? 0x8000 : 0)));
    std::memcpy(stored, infinity.bytes(), VELTRANE_STORED_SIZE);
  }
  return outcome;
}

int veltrane_format(const unsigned char stored[VELTRANE_STORED_SIZE], int base, unsigned flags,
                    char* text, size_t text_size, int* notation) {
  const X87CallerMode keep;
  int written = -1;
  int code;
  char out[kRoundTripOutputSize];
  const ExtReal value = storedValue(stored);
  if (!validBase(base)) {
    clear(text, text_size);
    code = VELTRANE_BAD_BASE;
  } else if (isInfinity(value)) {
    std::strcpy(out, value.signBit() ? "-INF" : "+INF");
    code = VELTRANE_OVERFLOW;
  } else if (isNotANumber(value)) {
    std::strcpy(out, "ERROR");
    code = VELTRANE_NO_VALUE;
  } else {
    code = VELTRANE_CONVERTED;
    X87TruncatingMode mode;
    const FastReal fast(value);
    int scientific = (flags & VELTRANE_SCIENTIFIC) != 0 ? 1 : 0;
    bool done = false;
    if ((flags & VELTRANE_ROUND_TRIP) != 0) {
      const int plain = plainNotation(fast, base, scientific);
      if (roundTripNumeral(out, kMaxNumeralLength, fast, base, plain) == kRoundTripFound) {
        written = plain;
        done = true;
      }
    }
    if (!done) {
      formatNumeral(out, fast, base, &scientific);
      written = scientific;
    }
  }
  if (notation != nullptr) *notation = written;
  if (code == VELTRANE_BAD_BASE) return code;
  if (!copyOut(out, std::strlen(out), text, text_size)) return VELTRANE_BUFFER_TOO_SMALL;
  return code;
}

int veltrane_exact(const unsigned char stored[VELTRANE_STORED_SIZE], int base, char* text,
                   size_t text_size, int* complete) {
  const X87CallerMode keep;
  if (!validBase(base)) {
    clear(text, text_size);
    return VELTRANE_BAD_BASE;
  }
  const ExtReal value = storedValue(stored);
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) {
    clear(text, text_size);
    return VELTRANE_NO_VALUE;
  }
  char out[kExactTextSize];
  const bool whole = formatExactValue(out, value, base);
  if (!copyOut(out, std::strlen(out), text, text_size)) return VELTRANE_BUFFER_TOO_SMALL;
  if (complete != nullptr) *complete = whole ? 1 : 0;
  return VELTRANE_CONVERTED;
}

int veltrane_ulps(const char* text, size_t text_length, int base,
                  const unsigned char stored[VELTRANE_STORED_SIZE], char* out, size_t out_size) {
  const X87CallerMode keep;
  if (!validBase(base)) {
    clear(out, out_size);
    return VELTRANE_BAD_BASE;
  }
  const ExtReal value = storedValue(stored);
  const StoredClass kind = classifyStored(value);
  if (kind == kStoredInfinity || kind == kStoredNotANumber) {
    clear(out, out_size);
    return VELTRANE_NO_VALUE;
  }
  text_length = lengthOf(text, text_length);
  // No output numeral is longer than a round-trip text, and none holds a NUL.
  char numeral[kRoundTripOutputSize];
  char distance[48];
  if (text_length >= sizeof numeral ||
      (text_length > 0 && std::memchr(text, '\0', text_length) != nullptr)) {
    clear(out, out_size);
    return VELTRANE_REJECTED;
  }
  if (text_length > 0) std::memcpy(numeral, text, text_length);
  numeral[text_length] = '\0';
  if (!formatUlpDistance(distance, sizeof distance, numeral, base, value)) {
    clear(out, out_size);
    return VELTRANE_REJECTED;
  }
  if (!copyOut(distance, std::strlen(distance), out, out_size)) return VELTRANE_BUFFER_TOO_SMALL;
  return VELTRANE_CONVERTED;
}

const char* veltrane_outcome_name(int outcome) {
  switch (outcome) {
    case VELTRANE_CONVERTED:
      return "converted";
    case VELTRANE_OVERFLOW:
      return "overflow";
    case VELTRANE_REJECTED:
      return "rejected";
    case VELTRANE_EMPTY:
      return "empty";
    case VELTRANE_TOO_LONG:
      return "too_long";
    case VELTRANE_NUL_BYTE:
      return "nul_byte";
    case VELTRANE_NO_VALUE:
      return "no_value";
    case VELTRANE_BAD_BASE:
      return "bad_base";
    case VELTRANE_BUFFER_TOO_SMALL:
      return "buffer_too_small";
  }
  return "";
}

const char* veltrane_rule_name(int rule) {
  static const char* const kNames[] = {
      "none",
      "empty_text",
      "suffix_missing",
      "suffix_not_a_base",
      "suffix_after_letter",
      "suffix_second_not_decimal",
      "digit_too_large",
      "not_a_digit",
      "sign_not_first",
      "exponent_sign_order",
      "point_without_digit",
      "second_point",
      "point_in_exponent",
      "second_exponent",
      "exponent_without_digit",
  };
  static_assert(sizeof kNames / sizeof kNames[0] == VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT + 1,
                "one name a rule");
  if (rule < 0 || rule > VELTRANE_RULE_EXPONENT_WITHOUT_DIGIT) return "";
  return kNames[rule];
}

const char* veltrane_class_name(int stored_class) {
  static const char* const kNames[] = {"zero",     "subnormal", "normal",
                                       "unnormal", "infinity",  "nan"};
  if (stored_class < 0 || stored_class > VELTRANE_CLASS_NAN) return "";
  return kNames[stored_class];
}

int veltrane_read_base(const char* text, size_t length, int* base) {
  // The dialog's base box holds 8 characters; what it reads is trimmed.
  constexpr std::size_t kBaseFieldLength = 8;
  char field[kBaseFieldLength + 1];
  length = lengthOf(text, length);
  if (length > kBaseFieldLength) length = kBaseFieldLength;
  if (length > 0) std::memcpy(field, text, length);
  // A NUL byte among them is a non-digit like any other, not the end.
  for (std::size_t i = 0; i < length; ++i)
    if (field[i] == '\0') field[i] = '\x01';
  field[length] = '\0';
  trimSpaces(field);
  int read;
  const int valid = parseBaseField(&read, field);
  if (base != nullptr) *base = read;
  return valid;
}

size_t veltrane_trim(char* text) {
  if (text == nullptr) return 0;
  trimSpaces(text);
  return std::strlen(text);
}

// The mode stays after the object ends (X87TruncatingMode restores
// nothing); the software build's has nothing to put in force.
void veltrane_adopt_x87_mode(void) { const X87TruncatingMode mode; }

}  // extern "C"
