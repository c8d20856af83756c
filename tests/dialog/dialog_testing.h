// Helpers for driving the converter dialog inside the test process.
#ifndef VELTRANE_TESTS_DIALOG_DIALOG_TESTING_H
#define VELTRANE_TESTS_DIALOG_DIALOG_TESTING_H

#include <gtest/gtest.h>

#include <string>

#include "app/dialog.h"

namespace dialogtest {

inline std::string windowText(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

// Runs every queued message through the dialog manager, as a modeless
// dialog's message loop would.
inline void pump(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The real template, created modelessly from the resource linked into the
// test program and shown, as DialogBoxParamA would show it.
class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONVERTER),
                                 nullptr, converterDialogProc, 0);
    ASSERT_NE(dialog_, nullptr);
    ShowWindow(dialog_, SW_SHOW);
    pump(dialog_);
  }
  void TearDown() override {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    pump(nullptr);
  }

  HWND item(int id) const { return GetDlgItem(dialog_, id); }
  std::string text(int id) const { return windowText(item(id)); }
  // WM_SETTEXT: the control reports the change as the program's own, so an
  // edit control sends EN_CHANGE but a combo box sends no CBN_EDITCHANGE.
  void setText(int id, const char* text) { SetDlgItemTextA(dialog_, id, text); }
  int checked(int id) const { return static_cast<int>(IsDlgButtonChecked(dialog_, id)); }
  // The dialog control that holds the focus (a combo box for its edit part),
  // or 0.
  int focusedId() const {
    for (HWND w = GetFocus(); w != nullptr; w = GetParent(w))
      if (GetParent(w) == dialog_) return GetDlgCtrlID(w);
    return 0;
  }
  void command(int id, int code) {
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
  }
  void convert() { command(IDC_CONVERT, BN_CLICKED); }

  HWND dialog_ = nullptr;
};

}  // namespace dialogtest

#endif
