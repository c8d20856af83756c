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

struct ConverterState {
  int inputBase;
  int outputBase;
  char inputText[252];
  int scientific;  // 0 standard, 1 scientific

  // Clears every field. Runs before twoPow64 is computed (see startup.h).
  ConverterState();
};

extern ConverterState converterState;

// The ticket the ConverterState initialiser took at start-up.
int converterStateStartupTicket();

extern const char kErrorText[];          // "ERROR": output and caption
extern const char kDigitRuleMessage[];   // the 87-character message box text

// Removes leading and trailing blanks (0x20 only) in place.
void trimSpaces(char* text);

// Reads a whole decimal number from 2 to 36 into *base: 1 when valid.
// Writes *base in every case: the digits read before the first non-digit,
// or 2 / 36 when the number is below 2 / above 36.
int parseBaseField(int* base, const char* text);

// The Convert command, run against the dialog's window.
void runConversion(ConverterWindow& window);

#endif
