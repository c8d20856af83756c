#include "app/conversion.h"

#include <cstring>

#include "numeric/startup.h"
#include "veltrane.h"

namespace {

// Read sizes in bytes, the NUL included: 28 characters of numeral and 8 of
// each base; anything longer is cut without notice.
constexpr int kNumeralReadSize = kNumeralFieldLength + 1;
constexpr int kBaseReadSize = kBaseFieldLength + 1;
constexpr int kBaseTextSize = 20;
// Room for any plain text of the library.
constexpr int kOutputSize = VELTRANE_TEXT_SIZE;

constexpr int kUnchecked = 0;
constexpr int kChecked = 1;

// Constant-initialised, so the ConverterState initialiser may write it.
int startupTicket = 0;

// Reads a field and trims it. The terminator is forced at the limit so that a
// window that overfills the buffer still leaves a text of at most size-1
// characters.
void readTrimmed(ConverterWindow& window, int controlId, char* buffer, int size) {
  window.readText(controlId, buffer, size);
  buffer[size - 1] = '\0';
  veltrane_trim(buffer);
}

void copyText(char* out, const char* text) {
  while ((*out++ = *text++) != '\0') {
  }
}

}  // namespace

const char kErrorText[] = "ERROR";
const char kDigitRuleMessage[] =
    "Digits can't be larger than base-1. \n For bases other than 10 \n use '_' instead of 'e'.";
static_assert(sizeof(kDigitRuleMessage) == 88, "the digit-rule message has 87 characters");

ConverterState::ConverterState() : inputBase(0), outputBase(0), inputText{}, scientific(0) {
  if (startupTicket == 0) startupTicket = takeStartupTicket();
}

// Runs before twoPow64's initialiser: init_priority fixes the order across
// translation units, which dynamic initialisation alone leaves unspecified.
VELTRANE_INIT_CONVERTER_STATE ConverterState converterState;

int converterStateStartupTicket() { return startupTicket; }

void runConversion(ConverterWindow& window) {
  char inputBaseText[kBaseTextSize] = "";
  char outputBaseText[kBaseTextSize] = "";
  char output[kOutputSize];

  // Step 1: read everything before validating anything.
  readTrimmed(window, IDC_INPUT_TEXT, converterState.inputText, kNumeralReadSize);
  readTrimmed(window, IDC_INPUT_BASE, inputBaseText, kBaseReadSize);
  readTrimmed(window, IDC_OUTPUT_BASE, outputBaseText, kBaseReadSize);

  // Step 2: the requested notation. With neither button checked (a freshly
  // opened dialog) the previous request stands.
  if (window.isChecked(IDC_STANDARD)) converterState.scientific = 0;
  if (window.isChecked(IDC_SCIENTIFIC)) converterState.scientific = 1;
  int notation = converterState.scientific;

  // Step 3: both bases; the output base is not parsed when the input base
  // already failed.
  if (!veltrane_read_base(inputBaseText, std::strlen(inputBaseText), &converterState.inputBase) ||
      !veltrane_read_base(outputBaseText, std::strlen(outputBaseText),
                          &converterState.outputBase)) {
    window.setText(IDC_OUTPUT_TEXT, kErrorText);
    return;
  }

  // Step 4: convert. The message box may run further commands before it
  // returns, so after it only this run's locals are used: converterState may
  // hold a later command's values by then.
  // The numeral's '@' suffix writes its base into the record, as far as the
  // parser read it, whether or not the numeral is accepted.
  veltrane_details details;
  veltrane_convert_details(converterState.inputText, std::strlen(converterState.inputText),
                           converterState.inputBase, converterState.outputBase,
                           notation != 0 ? VELTRANE_SCIENTIFIC : 0u, output, sizeof output,
                           &details);
  converterState.inputBase = details.parsed_base;
  // +INF, -INF and ERROR keep the notation as read.
  if (details.notation >= 0) notation = details.notation;
  // A numeral the parser rejects (an empty one too) gets the digit rules; one
  // it accepts without a value ('@0') shows ERROR alone.
  if (details.outcome == VELTRANE_REJECTED || details.outcome == VELTRANE_EMPTY) {
    copyText(output, kErrorText);
    window.showMessage(kDigitRuleMessage, kErrorText);
  }

  // Step 5: show the notation actually used, then the text.
  const int standardUsed = notation == 0;
  window.setChecked(standardUsed ? IDC_STANDARD : IDC_SCIENTIFIC, kChecked);
  window.setChecked(standardUsed ? IDC_SCIENTIFIC : IDC_STANDARD, kUnchecked);
  window.setText(IDC_OUTPUT_TEXT, output);
  window.giveFocus(IDC_INPUT_TEXT);
}
