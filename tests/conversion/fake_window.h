// A scripted stand-in for the converter dialog: serves texts and radio states,
// records every window operation in order, and lets the message box run code
// while it is "open".
#ifndef VELTRANE_TESTS_CONVERSION_FAKE_WINDOW_H
#define VELTRANE_TESTS_CONVERSION_FAKE_WINDOW_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/conversion.h"

class FakeWindow final : public ConverterWindow {
 public:
  // Texts of the numeral, base and output fields, and radio states by id.
  std::map<int, std::string> texts;
  std::map<int, int> checks;
  // One entry per operation, e.g. "read input 29", "checked? standard",
  // "check scientific 1", "set output FF", "focus input", "box <text>|<caption>".
  std::vector<std::string> log;
  // Runs while the message box is open, after the box has been logged.
  std::function<void()> onMessage;

  // Fills the fields the way the dialog would show them.
  FakeWindow(const std::string& numeral, const std::string& inputBase,
             const std::string& outputBase);

  // Like GetDlgItemTextA: at most size-1 characters, then a NUL. The whole
  // buffer is scribbled on first, so a buffer smaller than size is caught by
  // the sanitizer build, and a caller relying on old contents is caught too.
  void readText(int controlId, char* buffer, int size) override;
  void setText(int controlId, const char* text) override;
  int isChecked(int controlId) override;
  void setChecked(int controlId, int state) override;
  void giveFocus(int controlId) override;
  void showMessage(const char* text, const char* caption) override;

  const std::string& output() { return texts[IDC_OUTPUT_TEXT]; }
};

// "input", "inputBase", "output", "outputBase", "standard", "scientific".
std::string controlName(int controlId);

#endif
