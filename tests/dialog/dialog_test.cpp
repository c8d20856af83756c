// The converter dialog's behaviour, driven with messages inside the test
// process: defaults, base lists, clearing, Convert, the message box, closing.
#include <gtest/gtest.h>

#include <string>

#include "tests/dialog/dialog_testing.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::pump;
using dialogtest::windowText;

const char kDigitRules[] =
    "Digits can't be larger than base-1. \n For bases other than 10 \n use '_' instead of 'e'.";

using ConverterDialog = DialogTest;

TEST_F(ConverterDialog, OpensWithDefaults) {
  EXPECT_EQ(text(IDC_INPUT_TEXT), "");
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "");
  EXPECT_EQ(text(IDC_INPUT_BASE), "10");
  EXPECT_EQ(text(IDC_OUTPUT_BASE), "16");
  EXPECT_EQ(checked(IDC_STANDARD), 0);
  EXPECT_EQ(checked(IDC_SCIENTIFIC), 0);
  EXPECT_EQ(focusedId(), IDC_INPUT_TEXT);
  EXPECT_TRUE(IsWindowVisible(dialog_));
}

TEST_F(ConverterDialog, BothBaseListsHoldTwoToThirtySixUnselected) {
  for (int id : {IDC_INPUT_BASE, IDC_OUTPUT_BASE}) {
    SCOPED_TRACE(id);
    ASSERT_EQ(SendDlgItemMessageA(dialog_, id, CB_GETCOUNT, 0, 0), 35);
    for (int i = 0; i < 35; ++i) {
      char entry[16] = {};
      ASSERT_EQ(SendDlgItemMessageA(dialog_, id, CB_GETLBTEXTLEN, i, 0),
                static_cast<LRESULT>(std::to_string(i + 2).size()));
      SendDlgItemMessageA(dialog_, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
      EXPECT_EQ(std::string(entry), std::to_string(i + 2));
    }
    EXPECT_EQ(SendDlgItemMessageA(dialog_, id, CB_GETCURSEL, 0, 0), CB_ERR);
  }
}

TEST_F(ConverterDialog, ProcedureAnswersByMessage) {
  // Every WM_COMMAND is handled, whatever the control and the code. The
  // Convert click is left out; a valid numeral keeps a wrong conversion from
  // opening the message box, and the buttons show whether one ran.
  setText(IDC_INPUT_TEXT, "255");
  const int ids[] = {IDC_CONVERT,     IDCANCEL,     IDC_INPUT_TEXT, IDC_OUTPUT_TEXT, IDC_INPUT_BASE,
                     IDC_OUTPUT_BASE, IDC_STANDARD, IDC_SCIENTIFIC, 0xFFFF,          4242};
  const int codes[] = {0, 1, 2, 5, 6, 7, 0x100, 0x300, 0x400, 0xFFFF};
  for (int id : ids)
    for (int code : codes) {
      if (id == IDC_CONVERT && code == BN_CLICKED) continue;
      EXPECT_EQ(converterDialogProc(dialog_, WM_COMMAND, MAKEWPARAM(id, code), 0), TRUE)
          << id << " " << code;
    }
  for (UINT message : {WM_NULL, WM_TIMER, WM_KEYDOWN, WM_CHAR, WM_SETFOCUS, WM_USER})
    EXPECT_EQ(converterDialogProc(dialog_, message, 0, 0), FALSE) << message;
  EXPECT_EQ(checked(IDC_STANDARD) + checked(IDC_SCIENTIFIC), 0) << "a conversion ran";
  EXPECT_TRUE(IsWindowVisible(dialog_));
  EXPECT_EQ(converterDialogProc(dialog_, WM_CLOSE, 0, 0), TRUE);
  EXPECT_FALSE(IsWindowVisible(dialog_)) << "EndDialog hides a modeless dialog";
}

// Puts a stale result in the output field. The field's own EN_CHANGE must
// not clear it.
void staleResult(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_OUTPUT_TEXT, "stale");
  pump(dialog);
}

// Types one character into a control's edit part, as the keyboard would.
void typeChar(HWND control, char c) {
  COMBOBOXINFO info = {};
  info.cbSize = sizeof info;
  HWND target = GetComboBoxInfo(control, &info) ? info.hwndItem : control;
  SendMessageA(target, WM_CHAR, static_cast<WPARAM>(c), 1);
}

TEST_F(ConverterDialog, UserEditsClearTheOutput) {
  struct Edit {
    const char* what;
    void (*act)(HWND dialog);
  };
  const Edit edits[] = {
      {"typing in the numeral field", [](HWND d) { typeChar(GetDlgItem(d, IDC_INPUT_TEXT), '7'); }},
      {"typing in the input base box",
       [](HWND d) { typeChar(GetDlgItem(d, IDC_INPUT_BASE), '2'); }},
      {"typing in the output base box",
       [](HWND d) { typeChar(GetDlgItem(d, IDC_OUTPUT_BASE), '8'); }},
      {"picking an input base with the arrow key",
       [](HWND d) { SendMessageA(GetDlgItem(d, IDC_INPUT_BASE), WM_KEYDOWN, VK_DOWN, 0); }},
      {"picking an output base with the arrow key",
       [](HWND d) { SendMessageA(GetDlgItem(d, IDC_OUTPUT_BASE), WM_KEYDOWN, VK_DOWN, 0); }},
      {"clicking Standard", [](HWND d) { SendDlgItemMessageA(d, IDC_STANDARD, BM_CLICK, 0, 0); }},
      {"clicking Standard again",
       [](HWND d) { SendDlgItemMessageA(d, IDC_STANDARD, BM_CLICK, 0, 0); }},
      {"clicking Scientific",
       [](HWND d) { SendDlgItemMessageA(d, IDC_SCIENTIFIC, BM_CLICK, 0, 0); }},
      {"clicking Scientific again",
       [](HWND d) { SendDlgItemMessageA(d, IDC_SCIENTIFIC, BM_CLICK, 0, 0); }},
  };
  for (const Edit& e : edits) {
    staleResult(dialog_);
    ASSERT_EQ(text(IDC_OUTPUT_TEXT), "stale") << e.what;
    e.act(dialog_);
    pump(dialog_);
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), "") << e.what;
  }
  // The radio buttons are automatic and exclusive.
  EXPECT_EQ(checked(IDC_SCIENTIFIC), 1);
  EXPECT_EQ(checked(IDC_STANDARD), 0);
}

TEST_F(ConverterDialog, CommandTableByIdAndCode) {
  struct Row {
    int id;
    int code;
    bool clears;
  };
  const Row rows[] = {
      {IDC_INPUT_TEXT, EN_CHANGE, true},
      {IDC_INPUT_TEXT, EN_UPDATE, false},
      {IDC_INPUT_TEXT, EN_SETFOCUS, false},
      {IDC_INPUT_TEXT, EN_KILLFOCUS, false},
      {IDC_INPUT_TEXT, EN_MAXTEXT, false},
      {IDC_INPUT_TEXT, BN_CLICKED, false},
      {IDC_OUTPUT_TEXT, EN_CHANGE, false},
      {IDC_OUTPUT_TEXT, EN_UPDATE, false},
      {IDC_INPUT_BASE, CBN_SELCHANGE, true},
      {IDC_INPUT_BASE, CBN_EDITCHANGE, true},
      {IDC_INPUT_BASE, CBN_EDITUPDATE, false},
      {IDC_INPUT_BASE, CBN_DROPDOWN, false},
      {IDC_INPUT_BASE, CBN_CLOSEUP, false},
      {IDC_INPUT_BASE, CBN_SELENDOK, false},
      {IDC_INPUT_BASE, CBN_DBLCLK, false},
      {IDC_INPUT_BASE, EN_CHANGE, false},
      {IDC_OUTPUT_BASE, CBN_SELCHANGE, true},
      {IDC_OUTPUT_BASE, CBN_EDITCHANGE, true},
      {IDC_OUTPUT_BASE, CBN_EDITUPDATE, false},
      {IDC_OUTPUT_BASE, CBN_SETFOCUS, false},
      {IDC_OUTPUT_BASE, CBN_SELENDCANCEL, false},
      {IDC_STANDARD, BN_CLICKED, true},
      {IDC_STANDARD, BN_DOUBLECLICKED, false},
      {IDC_STANDARD, BN_SETFOCUS, false},
      {IDC_SCIENTIFIC, BN_CLICKED, true},
      {IDC_SCIENTIFIC, BN_DOUBLECLICKED, false},
      {IDC_SCIENTIFIC, BN_KILLFOCUS, false},
      {IDCANCEL, BN_CLICKED, false},
      {0xFFFF, BN_CLICKED, false},
      {IDC_CONVERT, BN_DOUBLECLICKED, false},
      {IDC_CONVERT, BN_SETFOCUS, false},
      {IDC_CONVERT, BN_KILLFOCUS, false},
      {IDC_CONVERT, CBN_SELCHANGE, false},
  };
  // A valid numeral: a conversion that should not run would show "FF".
  setText(IDC_INPUT_TEXT, "255");
  for (const Row& row : rows) {
    staleResult(dialog_);
    command(row.id, row.code);
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), row.clears ? "" : "stale") << row.id << " " << row.code;
  }
  // Nothing here converted: a conversion sets a notation button.
  EXPECT_EQ(checked(IDC_STANDARD), 0);
  EXPECT_EQ(checked(IDC_SCIENTIFIC), 0);
  EXPECT_TRUE(IsWindowVisible(dialog_));
}

TEST_F(ConverterDialog, ConvertClickConverts) {
  struct Way {
    const char* what;
    void (*press)(HWND dialog);
  };
  const Way ways[] = {
      {"WM_COMMAND IDOK BN_CLICKED",
       [](HWND d) { SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }},
      {"clicking the Convert button",
       [](HWND d) { SendDlgItemMessageA(d, IDC_CONVERT, BM_CLICK, 0, 0); }},
      {"Enter in the numeral field",
       [](HWND d) { PostMessageA(GetDlgItem(d, IDC_INPUT_TEXT), WM_KEYDOWN, VK_RETURN, 1); }},
      {"Alt+C",
       [](HWND d) {
         // The context bit (29) says Alt is down.
         PostMessageA(GetDlgItem(d, IDC_INPUT_TEXT), WM_SYSCHAR, 'c', 1 | (1 << 29));
       }},
  };
  // The notation a previous conversion recorded carries over; ask for standard.
  SendDlgItemMessageA(dialog_, IDC_STANDARD, BM_CLICK, 0, 0);
  for (const Way& way : ways) {
    SCOPED_TRACE(way.what);
    setText(IDC_INPUT_TEXT, "255");
    SetFocus(item(IDC_OUTPUT_BASE));
    ASSERT_EQ(text(IDC_OUTPUT_TEXT), "");
    way.press(dialog_);
    pump(dialog_);
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), "FF");
    EXPECT_EQ(checked(IDC_STANDARD), 1);
    EXPECT_EQ(checked(IDC_SCIENTIFIC), 0);
    EXPECT_EQ(focusedId(), IDC_INPUT_TEXT);
    // The command writes no input back.
    EXPECT_EQ(text(IDC_INPUT_TEXT), "255");
  }
}

TEST_F(ConverterDialog, ResultFollowsTheBasesAndNotation) {
  setText(IDC_INPUT_TEXT, "255");
  setText(IDC_OUTPUT_BASE, " 8 ");  // blanks are trimmed
  SendDlgItemMessageA(dialog_, IDC_SCIENTIFIC, BM_CLICK, 0, 0);
  convert();
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "3.77_+2");
  EXPECT_EQ(checked(IDC_SCIENTIFIC), 1);
  EXPECT_EQ(checked(IDC_STANDARD), 0);
  EXPECT_EQ(text(IDC_OUTPUT_BASE), " 8 ");

  setText(IDC_OUTPUT_BASE, "37");
  convert();
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "ERROR");
}

// The field takes no more than the command reads, so typing 10^30 leaves
// 10^27 on screen and that is what converts; a program's WM_SETTEXT is not
// limited, and the command cuts that text at the same length.
TEST_F(ConverterDialog, NumeralFieldHoldsWhatConvertReads) {
  EXPECT_EQ(SendDlgItemMessageA(dialog_, IDC_INPUT_TEXT, EM_GETLIMITTEXT, 0, 0), 28);
  struct Row {
    std::string typed;
    const char* output;
  };
  const Row rows[] = {
      {"1" + std::string(30, '0'), "3.3B2E3C9FD0803D_+16"},   // 10^27
      {"0." + std::string(26, '0') + "1", "0"},               // the 1 never arrives
      {std::string(27, '7') + "12", "1.921A0823055AC8_+17"},  // 7...71, one digit fewer
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    SendDlgItemMessageA(dialog_, IDC_STANDARD, BM_CLICK, 0, 0);
    setText(IDC_INPUT_TEXT, "");
    for (char c : row.typed) typeChar(item(IDC_INPUT_TEXT), c);
    pump(dialog_);
    EXPECT_EQ(text(IDC_INPUT_TEXT), row.typed.substr(0, 28));
    convert();
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), row.output);

    SendDlgItemMessageA(dialog_, IDC_STANDARD, BM_CLICK, 0, 0);
    setText(IDC_INPUT_TEXT, row.typed.c_str());
    EXPECT_EQ(text(IDC_INPUT_TEXT), row.typed);
    convert();
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), row.output);
  }
}

// Each base box takes no more than the 8 characters the command reads, so a
// base typed past them never shows while another converts.
TEST_F(ConverterDialog, BaseBoxesHoldWhatConvertReads) {
  setText(IDC_INPUT_TEXT, "12");
  setText(IDC_OUTPUT_BASE, "10");
  for (int id : {IDC_INPUT_BASE, IDC_OUTPUT_BASE}) {
    setText(id, "");
    for (char c : std::string("3       7")) typeChar(item(id), c);
    pump(dialog_);
    EXPECT_EQ(text(id), "3       ") << id;
  }
  setText(IDC_OUTPUT_BASE, "10");
  convert();
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "5");  // 12 in base 3, the base shown
}

// A base box that takes the focus selects its whole text, every time: a base
// typed after Tab replaces the one shown instead of joining it.
TEST_F(ConverterDialog, BaseBoxSelectsItsTextOnFocus) {
  for (int id : {IDC_INPUT_BASE, IDC_OUTPUT_BASE}) {
    for (int visit = 0; visit < 2; ++visit) {
      // The caret at the end, where typing leaves it; then the focus leaves
      // and comes back as the dialog manager moves it on Tab.
      SendDlgItemMessageA(dialog_, id, CB_SETEDITSEL, 0, MAKELPARAM(2, 2));
      SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_INPUT_TEXT)), TRUE);
      SendMessageA(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(id)), TRUE);
      pump(dialog_);
      ASSERT_EQ(focusedId(), id);
      const DWORD selection =
          static_cast<DWORD>(SendDlgItemMessageA(dialog_, id, CB_GETEDITSEL, 0, 0));
      EXPECT_EQ(LOWORD(selection), 0) << id << " visit " << visit;
      EXPECT_EQ(HIWORD(selection), text(id).size()) << id << " visit " << visit;
    }
    typeChar(item(id), '7');
    pump(dialog_);
    EXPECT_EQ(text(id), "7") << id;
  }
}

TEST_F(ConverterDialog, EscapeDoesNothing) {
  SendDlgItemMessageA(dialog_, IDC_STANDARD, BM_CLICK, 0, 0);
  setText(IDC_INPUT_TEXT, "255");
  convert();
  ASSERT_EQ(text(IDC_OUTPUT_TEXT), "FF");
  PostMessageA(item(IDC_INPUT_TEXT), WM_KEYDOWN, VK_ESCAPE, 1);
  pump(dialog_);
  command(IDCANCEL, BN_CLICKED);
  EXPECT_TRUE(IsWindowVisible(dialog_));
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "FF");
}

// What the message box showed, seen from a timer that its modal loop runs.
struct BoxWatch {
  HWND dialog = nullptr;
  int boxes = 0;
  std::string caption, text, outputMeanwhile, nestedResult;
  bool ownerless = false, dialogEnabled = false;
  bool convertMeanwhile = false;
};
BoxWatch watch;

HWND findMessageBox() {
  struct Search {
    HWND found = nullptr;
  } search;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        char className[16] = {};
        GetClassNameA(w, className, sizeof className);
        if (w != watch.dialog && IsWindowVisible(w) && std::string(className) == "#32770") {
          reinterpret_cast<Search*>(p)->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string staticTextOf(HWND box) {
  std::string found;
  for (HWND w = GetWindow(box, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    char className[16] = {};
    GetClassNameA(w, className, sizeof className);
    if (std::string(className) == "Static" && !windowText(w).empty()) found = windowText(w);
  }
  return found;
}

void CALLBACK closeMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = findMessageBox();
  if (box == nullptr) return;
  KillTimer(nullptr, timer);
  ++watch.boxes;
  watch.caption = windowText(box);
  watch.text = staticTextOf(box);
  watch.ownerless = GetWindow(box, GW_OWNER) == nullptr;
  watch.dialogEnabled = IsWindowEnabled(watch.dialog) != 0;
  watch.outputMeanwhile = windowText(GetDlgItem(watch.dialog, IDC_OUTPUT_TEXT));
  if (watch.convertMeanwhile) {
    // The dialog stays usable: a second conversion runs inside the box's loop.
    SetDlgItemTextA(watch.dialog, IDC_INPUT_TEXT, "255");
    SendMessageA(watch.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    watch.nestedResult = windowText(GetDlgItem(watch.dialog, IDC_OUTPUT_TEXT));
  }
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

class MessageBoxTest : public DialogTest {
 protected:
  // Converts the numeral, which the command rejects, closing its box from a
  // timer once it is open; with convertMeanwhile, converts 255 while it is.
  void convertRejected(const char* numeral, bool convertMeanwhile = false) {
    setText(IDC_INPUT_TEXT, numeral);
    SendDlgItemMessageA(dialog_, IDC_STANDARD, BM_CLICK, 0, 0);
    staleResult(dialog_);
    watch = BoxWatch();
    watch.dialog = dialog_;
    watch.convertMeanwhile = convertMeanwhile;
    SetFocus(item(IDC_OUTPUT_BASE));
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, closeMessageBox);
    ASSERT_NE(timer, 0u);
    convert();
    KillTimer(nullptr, timer);
  }
};

TEST_F(MessageBoxTest, RejectedNumeralShowsTheDigitRules) {
  for (const char* numeral : {"12G", "", "   ", "1.", "--1", "1e", "7@1x"}) {
    SCOPED_TRACE(numeral);
    convertRejected(numeral);
    EXPECT_EQ(watch.boxes, 1);
    EXPECT_EQ(watch.caption, "ERROR");
    EXPECT_EQ(watch.text, kDigitRules);
    EXPECT_TRUE(watch.ownerless);
    EXPECT_TRUE(watch.dialogEnabled);
    EXPECT_EQ(watch.outputMeanwhile, "stale");
    EXPECT_EQ(text(IDC_OUTPUT_TEXT), "ERROR");
    EXPECT_EQ(checked(IDC_STANDARD), 1);
    EXPECT_EQ(focusedId(), IDC_INPUT_TEXT);
  }
}

TEST_F(MessageBoxTest, ConvertInsideTheBoxThenTheFirstCommandFinishes) {
  convertRejected("FF", true);
  EXPECT_EQ(watch.boxes, 1);
  EXPECT_EQ(watch.nestedResult, "FF");
  // The first command finishes afterwards with its own result.
  EXPECT_EQ(text(IDC_OUTPUT_TEXT), "ERROR");
  EXPECT_EQ(text(IDC_INPUT_TEXT), "255");
}

TEST(ModalDialog, EscapeKeepsItOpenAndCloseEndsItWithZero) {
  // Runs the dialog as the program does; a timer inside its modal loop
  // presses Escape, then closes it.
  static int ticks;
  static bool openAfterEscape;
  ticks = 0;
  openAfterEscape = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
    const HWND dialog = FindWindowA(nullptr, "Veltrane");
    if (dialog == nullptr) return;
    ++ticks;
    if (ticks == 1) {
      PostMessageA(GetDlgItem(dialog, IDC_INPUT_TEXT), WM_KEYDOWN, VK_ESCAPE, 1);
    } else if (ticks == 2) {
      openAfterEscape = IsWindowVisible(dialog) != 0;
      PostMessageA(dialog, WM_CLOSE, 0, 0);
    } else if (ticks > 20) {
      EndDialog(dialog, 99);  // WM_CLOSE did not end it: fail rather than hang
    }
  });
  ASSERT_NE(timer, 0u);
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONVERTER),
                                         nullptr, converterDialogProc, 0);
  KillTimer(nullptr, timer);
  EXPECT_TRUE(openAfterEscape);
  EXPECT_EQ(result, 0) << "IDCANCEL would end it with 2";
  EXPECT_EQ(FindWindowA(nullptr, "Veltrane"), nullptr);
}

}  // namespace
