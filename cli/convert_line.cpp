#include "cli/convert_line.h"

#include <cstring>

#include "app/conversion.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/fast_real.h"

LineOutcome convertLine(const char* line, std::size_t length, const CliOptions& options,
                        char* out) {
  std::strcpy(out, kErrorText);
  if (length > kMaxNumeralLength) return kNumeralTooLong;
  // The parser reads NUL-terminated text: a NUL inside the line would cut the
  // numeral short and convert only what comes before it.
  if (std::memchr(line, '\0', length) != nullptr) return kNulByte;

  // The blanks trimSpaces would drop from the copy are left out of it.
  while (length > 0 && line[0] == ' ') ++line, --length;
  while (length > 0 && line[length - 1] == ' ') --length;
  if (length == 0) return kEmptyNumeral;
  char text[kMaxNumeralLength + 1];
  std::memcpy(text, line, length);
  text[length] = '\0';

  // Each numeral starts from the chosen bases and notation: an '@' suffix or
  // an automatic switch to scientific notation applies to its own numeral.
  int inputBase = options.inputBase;
  int scientific = options.scientific;
  // The register-resident arithmetic: the same bits as the dialog's, faster.
  X87TruncatingMode mode;
  FastReal value;
  if (!parseNumeral(&value, text, &inputBase)) return kNotANumeral;
  formatNumeral(out, value, options.outputBase, &scientific);
  // The parser accepts an empty numeral in base 0, whose value (0 times 0^0)
  // is not a number: the text is "ERROR", and so is the outcome.
  if (out[0] == kErrorText[0] && std::strcmp(out, kErrorText) == 0) return kNoValue;
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
