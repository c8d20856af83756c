#include "cli/convert_line.h"

#include <cstring>

#include "app/conversion.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

LineOutcome convertLine(const char* line, std::size_t length, const CliOptions& options, char* out,
                        LineDetails* details) {
  std::strcpy(out, kErrorText);
  LineDetails ignored;
  LineDetails& found = details != nullptr ? *details : ignored;
  found = LineDetails();
  found.base = options.inputBase;
  if (length > kMaxNumeralLength) return kNumeralTooLong;
  // The numeral as trimSpaces leaves it, located in the caller's line.
  std::size_t start = 0;
  std::size_t end = length;
  while (start < end && line[start] == ' ') ++start;
  while (end > start && line[end - 1] == ' ') --end;
  found.numeral = line + start;
  found.numeralLength = end - start;
  // The parser reads NUL-terminated text: a NUL inside the line would cut the
  // numeral short and convert only what comes before it.
  if (std::memchr(line, '\0', length) != nullptr) return kNulByte;

  // The copy leaves out the blanks that trimSpaces would drop from it.
  if (found.numeralLength == 0) return kEmptyNumeral;
  char text[kMaxNumeralLength + 1];
  std::memcpy(text, found.numeral, found.numeralLength);
  text[found.numeralLength] = '\0';

  // Each numeral starts from the chosen bases and notation: an '@' suffix or
  // an automatic switch to scientific notation applies to its own numeral.
  int inputBase = options.inputBase;
  int scientific = options.scientific;
  // The register-resident arithmetic: the same bits as the dialog's, faster.
  X87TruncatingMode mode;
  FastReal value;
  if (!parseNumeral(&value, text, &inputBase)) {
    if (details != nullptr) {
      found.diagnosis = diagnoseNumeral(text, options.inputBase);
      found.base = found.diagnosis.base;
    }
    return kNotANumeral;
  }
  found.base = inputBase;
  formatNumeral(out, value, options.outputBase, &scientific);
  // The parser accepts an empty numeral in base 0, whose value (0 times 0^0)
  // is not a number: the text is "ERROR", and so is the outcome.
  if (out[0] == kErrorText[0] && std::strcmp(out, kErrorText) == 0) return kNoValue;
  if (plusInfinity == 0 && minusInfinity == 0) {
    found.hasValue = true;
    found.value = value.toExtReal();
    found.scientific = scientific;
  }
  return kConverted;
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
