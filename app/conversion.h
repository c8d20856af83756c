// The Convert command and the state it keeps between conversions. Knows
// nothing of Win32: it reaches the window only through ConverterWindow.
#ifndef VELTRANE_APP_CONVERSION_H
#define VELTRANE_APP_CONVERSION_H

#include "app/control_ids.h"

// The six window operations the command needs.
class ConverterWindow {
 public:
  // Reads a control's text into buffer (size bytes): at most size-1
  // characters and a NUL; longer text is cut.
  virtual void readText(int controlId, char* buffer, int size) = 0;
  virtual void setText(int controlId, const char* text) = 0;
  // Nonzero when the radio button is checked.
  virtual int isChecked(int controlId) = 0;
  // state: 1 checked, 0 unchecked.
  virtual void setChecked(int controlId, int state) = 0;
  virtual void giveFocus(int controlId) = 0;
  // A box with text, caption and one OK button, owned by no window; returns
  // when the user closes it (other commands may run meanwhile).
  virtual void showMessage(const char* text, const char* caption) = 0;

 protected:
  ~ConverterWindow() = default;
};

// The most characters of the numeral field that the command reads; the dialog
// limits the field to the same length, so that what it shows is what is read.
constexpr int kNumeralFieldLength = 28;
// The same for each base box.
constexpr int kBaseFieldLength = 8;

// The conversion record of the process. Between two commands it holds what
// the latest one stored: the trimmed numeral, both bases as parseBaseField
// (or an '@' suffix) left them, and the notation read from the buttons.
struct ConverterState {
  int inputBase;
  int outputBase;
  char inputText[252];  // NUL-terminated, never more than kNumeralFieldLength characters
  int scientific;       // 0 standard, 1 scientific

  // Clears every field. The first construction (the global's, before twoPow64
  // is computed: see numeric/startup.h) takes the start-up ticket.
  ConverterState();
};

extern ConverterState converterState;

// The ticket the ConverterState initialiser took at start-up (0 before).
int converterStateStartupTicket();

extern const char kErrorText[];         // "ERROR": output and caption
extern const char kDigitRuleMessage[];  // the 87-character message box text

// The Convert command, run against the dialog's window. Reads the numeral
// (28 characters at most) into converterState.inputText and both bases (8 at
// most), trims them, records the notation buttons in converterState.scientific
// (kept when neither is checked), then:
// - an invalid input base, or else an invalid output base: writes kErrorText
//   to IDC_OUTPUT_TEXT and nothing more;
// - a rejected numeral: shows kDigitRuleMessage captioned kErrorText and,
//   once the box is closed, sets the buttons from the notation as read,
//   writes kErrorText and focuses the numeral;
// - an accepted numeral: sets the buttons to the notation formatNumeral used,
//   writes its text and focuses the numeral.
// Reentrant through the message box: each run keeps its own buffers, value
// and notation, and only converterState is shared.
void runConversion(ConverterWindow& window);

#endif
