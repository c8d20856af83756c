#include "app/dialog.h"

#include "app/conversion.h"

namespace {

// The entries of both base lists, in list order. The boxes have no CBS_SORT,
// so insertion order is display order.
constexpr int kBaseChoiceCount = 35;
const char baseChoices[kBaseChoiceCount][3] = {"2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                                               "11", "12", "13", "14", "15", "16", "17", "18", "19",
                                               "20", "21", "22", "23", "24", "25", "26", "27", "28",
                                               "29", "30", "31", "32", "33", "34", "35", "36"};

// The Convert command's view of the dialog: each operation is one USER32 call
// on a control of the dialog, except the message box, which has no owner so
// that the dialog stays usable while it is open.
class DialogWindow final : public ConverterWindow {
 public:
  explicit DialogWindow(HWND dialog) : dialog_(dialog) {}

  void readText(int controlId, char* buffer, int size) override {
    GetDlgItemTextA(dialog_, controlId, buffer, size);
  }
  void setText(int controlId, const char* text) override {
    SetDlgItemTextA(dialog_, controlId, text);
  }
  int isChecked(int controlId) override {
    return static_cast<int>(IsDlgButtonChecked(dialog_, controlId));
  }
  void setChecked(int controlId, int state) override {
    CheckDlgButton(dialog_, controlId, static_cast<UINT>(state));
  }
  void giveFocus(int controlId) override { SetFocus(GetDlgItem(dialog_, controlId)); }
  void showMessage(const char* text, const char* caption) override {
    MessageBoxA(nullptr, text, caption, MB_OK);
  }

 private:
  HWND dialog_;
};

void clearOutput(HWND dialog) { SetDlgItemTextA(dialog, IDC_OUTPUT_TEXT, ""); }

void appendBaseChoices(HWND dialog, int comboId) {
  for (const char* choice : baseChoices)
    SendDlgItemMessageA(dialog, comboId, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(choice));
}

void onInitDialog(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_INPUT_TEXT, "");
  SetDlgItemTextA(dialog, IDC_OUTPUT_TEXT, "");
  SetDlgItemTextA(dialog, IDC_INPUT_BASE, "10");
  SetDlgItemTextA(dialog, IDC_OUTPUT_BASE, "16");
  appendBaseChoices(dialog, IDC_INPUT_BASE);
  appendBaseChoices(dialog, IDC_OUTPUT_BASE);
  SetFocus(GetDlgItem(dialog, IDC_INPUT_TEXT));
  // The command reads only kNumeralFieldLength characters of the field. With
  // the same limit on the field, typing stops there and a longer paste is cut
  // where the user sees it, so no number is converted other than the one
  // shown. Text set by another program (WM_SETTEXT) is not limited; the
  // command still cuts it.
  SendDlgItemMessageA(dialog, IDC_INPUT_TEXT, EM_LIMITTEXT, kNumeralFieldLength, 0);
  // Likewise each base box and the kBaseFieldLength characters read of it:
  // "3       7" must not show while base 3 converts.
  SendDlgItemMessageA(dialog, IDC_INPUT_BASE, CB_LIMITTEXT, kBaseFieldLength, 0);
  SendDlgItemMessageA(dialog, IDC_OUTPUT_BASE, CB_LIMITTEXT, kBaseFieldLength, 0);
}

// A base box that takes the focus selects its text, so that a base typed
// after Tab replaces the one shown. The dialog manager selects the text of
// an edit control it tabs into, but not that of a combo box's edit part,
// which otherwise keeps the caret where the last edit left it. A click still
// places the caret: the edit part handles the click after the focus moves.
void selectBaseText(HWND dialog, int comboId) {
  SendDlgItemMessageA(dialog, comboId, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

// Only user edits reach the clearing cases: the Convert command writes the
// output field (whose EN_CHANGE is ignored) and sets check states (which
// raise no BN_CLICKED), so a fresh result survives the command that made it.
void onCommand(HWND dialog, int controlId, int code) {
  switch (controlId) {
    case IDC_CONVERT:
      if (code == BN_CLICKED) {
        DialogWindow window(dialog);
        runConversion(window);
      }
      break;
    case IDC_INPUT_TEXT:
      if (code == EN_CHANGE) clearOutput(dialog);
      break;
    case IDC_INPUT_BASE:
    case IDC_OUTPUT_BASE:
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) clearOutput(dialog);
      if (code == CBN_SETFOCUS) selectBaseText(dialog, controlId);
      break;
    case IDC_STANDARD:
    case IDC_SCIENTIFIC:
      if (code == BN_CLICKED) clearOutput(dialog);
      break;
    default:
      break;
  }
}

}  // namespace

INT_PTR CALLBACK converterDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      onInitDialog(dialog);
      return FALSE;
    case WM_COMMAND:
      onCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}
