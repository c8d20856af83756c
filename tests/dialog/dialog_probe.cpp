// Reads the running converter dialog from another process, for the
// end-to-end test's driver script.
//   dialog_probe wait    waits (up to 20 s) for a visible "Veltrane" window
//   dialog_probe state   prints the controls, one key=value line each
//   dialog_probe close   sends WM_CLOSE and prints the process's exit code
// Exits with 0 on success, 1 when there is no dialog or it does not end.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "app/control_ids.h"

namespace {

HWND findDialog() {
  const HWND dialog = FindWindowA(nullptr, "Veltrane");
  return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

void printText(const char* key, HWND control) {
  char text[256] = {};
  SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  std::printf("%s=%s\n", key, text);
}

// The dialog control that holds the keyboard focus in the dialog's thread, or
// 0; a combo box stands for its edit part.
int focusedControl(HWND dialog) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) return 0;
  for (HWND w = info.hwndFocus; w != nullptr; w = GetParent(w))
    if (GetParent(w) == dialog) return GetDlgCtrlID(w);
  return 0;
}

int printState(HWND dialog) {
  printText("input", GetDlgItem(dialog, IDC_INPUT_TEXT));
  std::printf("inputLimit=%d\n",
              static_cast<int>(SendDlgItemMessageA(dialog, IDC_INPUT_TEXT, EM_GETLIMITTEXT, 0, 0)));
  printText("output", GetDlgItem(dialog, IDC_OUTPUT_TEXT));
  printText("inputBase", GetDlgItem(dialog, IDC_INPUT_BASE));
  printText("outputBase", GetDlgItem(dialog, IDC_OUTPUT_BASE));
  std::printf("standard=%d\n",
              static_cast<int>(SendDlgItemMessageA(dialog, IDC_STANDARD, BM_GETCHECK, 0, 0)));
  std::printf("scientific=%d\n",
              static_cast<int>(SendDlgItemMessageA(dialog, IDC_SCIENTIFIC, BM_GETCHECK, 0, 0)));
  std::printf("inputBaseCount=%d\n",
              static_cast<int>(SendDlgItemMessageA(dialog, IDC_INPUT_BASE, CB_GETCOUNT, 0, 0)));
  std::printf("outputBaseCount=%d\n",
              static_cast<int>(SendDlgItemMessageA(dialog, IDC_OUTPUT_BASE, CB_GETCOUNT, 0, 0)));
  std::printf("focus=%d\n", focusedControl(dialog));
  return 0;
}

int closeDialog(HWND dialog) {
  DWORD processId = 0;
  GetWindowThreadProcessId(dialog, &processId);
  const HANDLE process =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) {
    std::printf("cannot open the dialog's process\n");
    return 1;
  }
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  const bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  if (!ended) {
    std::printf("the dialog's process did not end\n");
    return 1;
  }
  std::printf("exit=%lu\n", static_cast<unsigned long>(code));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dialog_probe wait|state|close\n");
    return 2;
  }
  const char* command = argv[1];
  HWND dialog = findDialog();
  if (std::strcmp(command, "wait") == 0) {
    for (int i = 0; dialog == nullptr && i < 400; ++i) {
      Sleep(50);
      dialog = findDialog();
    }
    std::printf(dialog != nullptr ? "ready\n" : "no dialog\n");
    return dialog != nullptr ? 0 : 1;
  }
  if (dialog == nullptr) {
    std::printf("no dialog\n");
    return 1;
  }
  if (std::strcmp(command, "state") == 0) return printState(dialog);
  if (std::strcmp(command, "close") == 0) return closeDialog(dialog);
  std::fprintf(stderr, "unknown command %s\n", command);
  return 2;
}
