#include "tests/conversion/fake_window.h"

#include <cstring>

std::string controlName(int controlId) {
  switch (controlId) {
    case IDC_INPUT_TEXT:
      return "input";
    case IDC_INPUT_BASE:
      return "inputBase";
    case IDC_OUTPUT_TEXT:
      return "output";
    case IDC_OUTPUT_BASE:
      return "outputBase";
    case IDC_STANDARD:
      return "standard";
    case IDC_SCIENTIFIC:
      return "scientific";
  }
  return "control" + std::to_string(controlId);
}

FakeWindow::FakeWindow(const std::string& numeral, const std::string& inputBase,
                       const std::string& outputBase) {
  texts[IDC_INPUT_TEXT] = numeral;
  texts[IDC_INPUT_BASE] = inputBase;
  texts[IDC_OUTPUT_BASE] = outputBase;
  texts[IDC_OUTPUT_TEXT] = "";
  checks[IDC_STANDARD] = 0;
  checks[IDC_SCIENTIFIC] = 0;
}

void FakeWindow::readText(int controlId, char* buffer, int size) {
  log.push_back("read " + controlName(controlId) + " " + std::to_string(size));
  if (size <= 0) return;
  std::memset(buffer, '#', static_cast<size_t>(size));
  const std::string& text = texts[controlId];
  const size_t length = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

void FakeWindow::setText(int controlId, const char* text) {
  log.push_back("set " + controlName(controlId) + " " + text);
  texts[controlId] = text;
}

int FakeWindow::isChecked(int controlId) {
  log.push_back("checked? " + controlName(controlId));
  return checks[controlId];
}

void FakeWindow::setChecked(int controlId, int state) {
  log.push_back("check " + controlName(controlId) + " " + std::to_string(state));
  checks[controlId] = state;
}

void FakeWindow::giveFocus(int controlId) { log.push_back("focus " + controlName(controlId)); }

void FakeWindow::showMessage(const char* text, const char* caption) {
  log.push_back(std::string("box ") + text + "|" + caption);
  if (onMessage) onMessage();
}
