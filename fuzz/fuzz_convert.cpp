// The Convert command against a scripted window with arbitrary field texts
// and radio states.
//   byte 0: bit 0 "Standard notation" checked, bit 1 "Scientific notation"
//   checked; the rest: numeral, input base and output base texts separated by
//   '\n' (missing fields are empty).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/conversion.h"
#include "library/base_field.h"
#include "fuzz/fuzz_check.h"
#include "numeral/format.h"
#include "numeral/parse.h"

namespace {

constexpr std::size_t kFieldMax = 300;  // longer than any read, so reads must cut

class ScriptedWindow final : public ConverterWindow {
 public:
  char numeral[kFieldMax + 1] = "";
  char inputBase[kFieldMax + 1] = "";
  char outputBase[kFieldMax + 1] = "";
  int standard = 0, scientific = 0;
  char output[kFormatBufferSize + 1] = "(untouched)";
  int messages = 0;
  int outputWrites = 0;

  void readText(int controlId, char* buffer, int size) override {
    const char* source = nullptr;
    if (controlId == IDC_INPUT_TEXT) {
      FUZZ_CHECK(size == 29);
      source = numeral;
    } else if (controlId == IDC_INPUT_BASE || controlId == IDC_OUTPUT_BASE) {
      FUZZ_CHECK(size == 9);
      source = controlId == IDC_INPUT_BASE ? inputBase : outputBase;
    }
    FUZZ_CHECK(source != nullptr);
    const std::size_t length = std::strlen(source);
    const std::size_t kept = length < static_cast<std::size_t>(size - 1) ? length : size - 1;
    std::memcpy(buffer, source, kept);
    buffer[kept] = '\0';
  }
  void setText(int controlId, const char* text) override {
    FUZZ_CHECK(controlId == IDC_OUTPUT_TEXT);
    FUZZ_CHECK(std::strlen(text) < sizeof output);
    std::strcpy(output, text);
    ++outputWrites;
  }
  int isChecked(int controlId) override {
    FUZZ_CHECK(controlId == IDC_STANDARD || controlId == IDC_SCIENTIFIC);
    return controlId == IDC_STANDARD ? standard : scientific;
  }
  void setChecked(int controlId, int state) override {
    FUZZ_CHECK(state == 0 || state == 1);
    (controlId == IDC_STANDARD ? standard : scientific) = state;
  }
  void giveFocus(int controlId) override { FUZZ_CHECK(controlId == IDC_INPUT_TEXT); }
  void showMessage(const char* text, const char* caption) override {
    FUZZ_CHECK(std::strcmp(text, kDigitRuleMessage) == 0);
    FUZZ_CHECK(std::strcmp(caption, kErrorText) == 0);
    ++messages;
  }
};

// Splits data at '\n' into the three fields.
void fillFields(ScriptedWindow& window, const std::uint8_t* data, std::size_t size) {
  char* fields[3] = {window.numeral, window.inputBase, window.outputBase};
  int field = 0;
  std::size_t used = 0;
  for (std::size_t i = 0; i < size && field < 3; ++i) {
    if (data[i] == '\n') {
      fields[field][used] = '\0';
      ++field;
      used = 0;
    } else if (used < kFieldMax) {
      fields[field][used++] = static_cast<char>(data[i]);
    }
  }
  if (field < 3) fields[field][used] = '\0';
}

bool isValidBaseField(const char* text) {
  char copy[16];
  std::strncpy(copy, text, 8);
  copy[8] = '\0';
  trimSpaces(copy);
  int base;
  return parseBaseField(&base, copy) == 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  ScriptedWindow window;
  window.standard = data[0] & 1;
  window.scientific = (data[0] >> 1) & 1;
  fillFields(window, data + 1, size - 1);

  runConversion(window);

  FUZZ_CHECK(std::strlen(converterState.inputText) <= 28);
  FUZZ_CHECK(window.outputWrites == 1);
  FUZZ_CHECK(window.messages <= 1);
  const bool basesValid = isValidBaseField(window.inputBase) && isValidBaseField(window.outputBase);
  if (!basesValid) {
    FUZZ_CHECK(std::strcmp(window.output, "ERROR") == 0 && window.messages == 0);
    return 0;
  }
  FUZZ_CHECK(window.standard + window.scientific == 1);

  // The box appears exactly when the parser rejects the trimmed numeral.
  char numeral[32];
  std::strncpy(numeral, window.numeral, 28);
  numeral[28] = '\0';
  trimSpaces(numeral);
  FUZZ_CHECK(std::strcmp(numeral, converterState.inputText) == 0);
  char baseText[16];
  std::strncpy(baseText, window.inputBase, 8);
  baseText[8] = '\0';
  trimSpaces(baseText);
  int base;
  parseBaseField(&base, baseText);
  ExtReal value;
  const bool accepted = parseNumeral(&value, numeral, &base) != kParseRejected;
  FUZZ_CHECK(accepted == (window.messages == 0));
  // The record keeps the base as the parser left it, '@' suffix and all.
  FUZZ_CHECK(converterState.inputBase == base);
  if (!accepted) {
    FUZZ_CHECK(std::strcmp(window.output, "ERROR") == 0);
    return 0;
  }
  // The command converts through the library; the literal ExtReal steps
  // give the same text and the same notation.
  char expected[kFormatBufferSize];
  int notation = converterState.scientific;  // the notation asked for
  formatNumeral(expected, value, converterState.outputBase, &notation);
  FUZZ_CHECK(std::strcmp(window.output, expected) == 0);
  FUZZ_CHECK(window.scientific == notation && window.standard == !notation);
  if (std::strcmp(window.output, "ERROR") == 0 || std::strcmp(window.output, "+INF") == 0 ||
      std::strcmp(window.output, "-INF") == 0)
    return 0;
  FUZZ_CHECK(
      fuzzcheck::isWellFormedNumeral(window.output, converterState.outputBase, window.scientific));
  return 0;
}
