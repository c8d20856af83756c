#include "cli/convert_line.h"

#include <cstring>

#include "app/conversion.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

namespace {

// Copies n bytes (1 to kMaxNumeralLength) from a text of exactly n readable
// bytes. Numerals are mostly under 33 bytes: those take two overlapping
// loads and stores of a power-of-two size, which neither read nor write past
// the n bytes, instead of a copy whose set-up costs more than the numeral.
void copyNumeral(char* to, const char* from, std::size_t n) {
  if (n >= 16 && n <= 32) {
    char head[16], tail[16];
    std::memcpy(head, from, 16);
    std::memcpy(tail, from + n - 16, 16);
    std::memcpy(to, head, 16);
    std::memcpy(to + n - 16, tail, 16);
  } else if (n >= 8 && n < 16) {
    char head[8], tail[8];
    std::memcpy(head, from, 8);
    std::memcpy(tail, from + n - 8, 8);
    std::memcpy(to, head, 8);
    std::memcpy(to + n - 8, tail, 8);
  } else if (n < 8) {
    for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
  } else {
    std::memcpy(to, from, n);
  }
}

void writeError(char* out) { std::strcpy(out, kErrorText); }

// convertLine, with the details written only when kDetails: a caller that
// only wants the text pays neither for the bookkeeping nor for the stored
// image, and diagnoseNumeral never runs for it.
template <bool kDetails>
LineOutcome convertLineIn(const char* line, std::size_t length, const CliOptions& options,
                          char* out, LineDetails* details) {
  if constexpr (kDetails) {
    *details = LineDetails();
    details->base = options.inputBase;
  }
  if (length > kMaxNumeralLength) {
    writeError(out);
    return kNumeralTooLong;
  }
  // The numeral as trimSpaces leaves it, located in the caller's line.
  std::size_t start = 0;
  std::size_t end = length;
  while (start < end && line[start] == ' ') ++start;
  while (end > start && line[end - 1] == ' ') --end;
  if constexpr (kDetails) {
    details->numeral = line + start;
    details->numeralLength = end - start;
  }
  // The parser reads NUL-terminated text: a NUL inside the line would cut the
  // numeral short and convert only what comes before it.
  if (std::memchr(line, '\0', length) != nullptr) {
    writeError(out);
    return kNulByte;
  }

  // The copy leaves out the blanks that trimSpaces would drop from it.
  const std::size_t numeralLength = end - start;
  if (numeralLength == 0) {
    writeError(out);
    return kEmptyNumeral;
  }
  char text[kMaxNumeralLength + 1];
  copyNumeral(text, line + start, numeralLength);
  text[numeralLength] = '\0';

  // Each numeral starts from the chosen bases and notation: an '@' suffix or
  // an automatic switch to scientific notation applies to its own numeral.
  int inputBase = options.inputBase;
  int scientific = options.scientific;
  // The register-resident arithmetic: the same bits as the dialog's, faster.
  X87TruncatingMode mode;
  FastReal value;
  if (!parseNumeral(&value, text, &inputBase)) {
    if constexpr (kDetails) {
      details->diagnosis = diagnoseNumeral(text, options.inputBase);
      details->base = details->diagnosis.base;
    }
    writeError(out);
    return kNotANumeral;
  }
  if constexpr (kDetails) details->base = inputBase;
  formatNumeral(out, value, options.outputBase, &scientific);
  // The parser accepts an empty numeral in base 0, whose value (0 times 0^0)
  // is not a number: the text is "ERROR", and so is the outcome.
  if (out[0] == kErrorText[0] && std::strcmp(out, kErrorText) == 0) return kNoValue;
  if constexpr (kDetails) {
    if (plusInfinity == 0 && minusInfinity == 0) {
      details->hasValue = true;
      details->value = value.toExtReal();
      details->scientific = scientific;
    }
  }
  return kConverted;
}

}  // namespace

LineOutcome convertLine(const char* line, std::size_t length, const CliOptions& options, char* out,
                        LineDetails* details) {
  if (details != nullptr) return convertLineIn<true>(line, length, options, out, details);
  return convertLineIn<false>(line, length, options, out, nullptr);
}

const char* describeOutcome(LineOutcome outcome) {
  switch (outcome) {
    case kConverted:
      return "";
    case kEmptyNumeral:
      return "empty numeral";
    case kNumeralTooLong:
      static_assert(kMaxNumeralLength == 4096, "keep the message in step");
      return "numeral longer than 4096 bytes";
    case kNulByte:
      return "NUL byte inside the numeral";
    case kNoValue:
      return "an '@0' base suffix names no number";
    case kNotANumeral:
      return "digits can't be larger than base-1; for bases other than 10 use '_' instead of 'e'";
  }
  return "";
}
