#include "app/conversion.h"

#include <climits>

#include "numeral/digit_alphabet.h"
#include "numeral/format.h"
#include "numeral/parse.h"
#include "numeric/ext_real.h"
#include "numeric/startup.h"

namespace {

// Read sizes in bytes, the NUL included: 28 characters of numeral and 8 of
// each base; anything longer is cut without notice.
constexpr int kNumeralReadSize = kNumeralFieldLength + 1;
constexpr int kBaseReadSize = 9;
constexpr int kBaseTextSize = 20;

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
  trimSpaces(buffer);
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

void trimSpaces(char* text) {
  int start = 0;
  while (text[start] == ' ') ++start;
  int length = 0;
  while (text[start + length] != '\0') {
    text[length] = text[start + length];
    ++length;
  }
  while (length > 0 && text[length - 1] == ' ') --length;
  text[length] = '\0';
}

int parseBaseField(int* base, const char* text) {
  *base = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return 0;
    const int digit = *c - '0';
    *base = *base > (INT_MAX - digit) / 10 ? INT_MAX : *base * 10 + digit;
  }
  if (*base < kMinBase) {
    *base = kMinBase;
    return 0;
  }
  if (*base > kMaxBase) {
    *base = kMaxBase;
    return 0;
  }
  return 1;
}

void runConversion(ConverterWindow& window) {
  char inputBaseText[kBaseTextSize] = "";
  char outputBaseText[kBaseTextSize] = "";
  ExtReal value;
  char output[kFormatBufferSize];

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
  if (!parseBaseField(&converterState.inputBase, inputBaseText) ||
      !parseBaseField(&converterState.outputBase, outputBaseText)) {
    window.setText(IDC_OUTPUT_TEXT, kErrorText);
    return;
  }

  // Step 4: convert. The message box may run further commands before it
  // returns, so after it only this run's locals are used: converterState may
  // hold a later command's values by then.
  if (parseNumeral(&value, converterState.inputText, &converterState.inputBase)) {
    formatNumeral(output, value, converterState.outputBase, &notation);
  } else {
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
