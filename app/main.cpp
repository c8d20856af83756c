// Start-up. By the time WinMain runs, the static constructors have cleared the
// conversion state and then computed twoPow64, in that order.
#include "app/dialog.h"

// Shows the converter dialog, with no owner, until it is closed. The program
// has nothing to report: the exit code is 0 even when the dialog cannot be
// created.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CONVERTER), nullptr, converterDialogProc, 0);
  return 0;
}
