// The dialog template as compiled into the program, and the windows the
// dialog manager makes from it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/dialog/dialog_testing.h"

namespace {

using dialogtest::DialogTest;
using dialogtest::windowText;

struct ControlSpec {
  int id;
  std::uint16_t classAtom;  // predefined class ordinal in the template
  const char* className;    // the class of the live window
  const char* text;
  std::uint32_t style;
  int x, y, width, height;
};

constexpr std::uint16_t kButton = 0x0080, kEdit = 0x0081, kComboBox = 0x0085;

// Template order, which is also tab order and z-order.
const ControlSpec kControls[] = {
    {IDC_CONVERT, kButton, "Button", "&Convert", 0x50010001, 261, 57, 50, 14},
    {IDC_INPUT_TEXT, kEdit, "Edit", "", 0x50810082, 7, 7, 240, 14},
    {IDC_OUTPUT_TEXT, kEdit, "Edit", "", 0x50810882, 7, 31, 239, 14},
    {IDC_INPUT_BASE, kComboBox, "ComboBox", "", 0x50210002, 257, 7, 42, 70},
    {IDC_OUTPUT_BASE, kComboBox, "ComboBox", "", 0x50210002, 257, 32, 42, 67},
    {IDC_STANDARD, kButton, "Button", "Standard notation", 0x50000009, 26, 55, 72, 10},
    {IDC_SCIENTIFIC, kButton, "Button", "Scientific notation", 0x50000009, 121, 55, 72, 10},
    {0xFFFF, kButton, "Button", "", 0x50000007, 7, 49, 203, 18},
};
constexpr std::uint32_t kDialogStyle = 0x80C800C0;  // POPUP|CAPTION|SYSMENU|MODALFRAME|SETFONT

// A name or ordinal field of a classic template (sz_Or_Ord).
struct NameOrOrdinal {
  bool isOrdinal = false;
  std::uint16_t ordinal = 0;
  std::string name;  // ASCII only; '?' for anything else
};

// Reads the classic DLGTEMPLATE / DLGITEMTEMPLATE layout, word by word.
class TemplateReader {
 public:
  TemplateReader(const void* data, std::size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}

  std::uint16_t word() {
    if (pos_ + 2 > size_) {
      overrun_ = true;
      return 0;
    }
    std::uint16_t w;
    std::memcpy(&w, data_ + pos_, 2);
    pos_ += 2;
    return w;
  }
  std::uint32_t dword() {
    const std::uint32_t low = word();
    return low | static_cast<std::uint32_t>(word()) << 16;
  }
  std::int16_t shortValue() { return static_cast<std::int16_t>(word()); }
  std::string text() {
    std::string s;
    for (std::uint16_t c = word(); c != 0 && !overrun_; c = word())
      s += c < 128 ? static_cast<char>(c) : '?';
    return s;
  }
  NameOrOrdinal nameOrOrdinal() {
    NameOrOrdinal n;
    const std::uint16_t first = word();
    if (first == 0xFFFF) {
      n.isOrdinal = true;
      n.ordinal = word();
    } else if (first != 0) {
      pos_ -= 2;
      n.name = text();
    }
    return n;
  }
  void alignToDword() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }
  bool overrun() const { return overrun_; }
  std::size_t position() const { return pos_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool overrun_ = false;
};

TEST(DialogTemplate, IsTheClassicUkEnglishTemplate101) {
  const HRSRC found =
      FindResourceExA(nullptr, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(IDD_CONVERTER),
                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK));
  ASSERT_NE(found, nullptr);
  const DWORD size = SizeofResource(nullptr, found);
  const void* data = LockResource(LoadResource(nullptr, found));
  ASSERT_NE(data, nullptr);
  TemplateReader r(data, size);

  const std::uint32_t style = r.dword();
  // An extended template would start with the words 1, 0xFFFF.
  EXPECT_NE(style, 0xFFFF0001u) << "DIALOGEX template";
  EXPECT_EQ(style, kDialogStyle);
  EXPECT_EQ(r.dword(), 0u) << "extended style";
  const int count = r.word();
  EXPECT_EQ(r.shortValue(), 50);
  EXPECT_EQ(r.shortValue(), 50);
  EXPECT_EQ(r.shortValue(), 318);
  EXPECT_EQ(r.shortValue(), 78);
  const NameOrOrdinal menu = r.nameOrOrdinal(), windowClass = r.nameOrOrdinal();
  EXPECT_TRUE(!menu.isOrdinal && menu.name.empty()) << "menu";
  EXPECT_TRUE(!windowClass.isOrdinal && windowClass.name.empty()) << "window class";
  EXPECT_EQ(r.text(), "Veltrane");
  EXPECT_EQ(r.word(), 8) << "point size";
  EXPECT_EQ(r.text(), "MS Sans Serif");
  ASSERT_EQ(count, 8);

  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(c.id);
    r.alignToDword();
    EXPECT_EQ(r.dword(), c.style);
    EXPECT_EQ(r.dword(), 0u) << "extended style";
    EXPECT_EQ(r.shortValue(), c.x);
    EXPECT_EQ(r.shortValue(), c.y);
    EXPECT_EQ(r.shortValue(), c.width);
    EXPECT_EQ(r.shortValue(), c.height);
    EXPECT_EQ(r.word(), c.id);
    const NameOrOrdinal cls = r.nameOrOrdinal(), title = r.nameOrOrdinal();
    EXPECT_TRUE(cls.isOrdinal);
    EXPECT_EQ(cls.ordinal, c.classAtom);
    EXPECT_FALSE(title.isOrdinal);
    EXPECT_EQ(title.name, c.text);
    EXPECT_EQ(r.word(), 0) << "creation data";
  }
  EXPECT_FALSE(r.overrun());
  EXPECT_EQ((r.position() + 3) & ~static_cast<std::size_t>(3), (size + 3) & ~3u);
}

// Dialog units to pixels through the dialog's own font. Each field is mapped
// on its own, as the dialog manager maps a position and a size.
RECT pixels(HWND dialog, int x, int y, int width, int height) {
  RECT r = {x, y, width, height};
  MapDialogRect(dialog, &r);
  return r;  // right and bottom hold the width and the height
}

RECT clientRectOf(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

using DialogWindow = DialogTest;

TEST_F(DialogWindow, FrameCaptionFontAndPlace) {
  EXPECT_EQ(windowText(dialog_), "Veltrane");
  // The dialog manager adds WS_CLIPSIBLINGS and DS_3DLOOK, and showing it WS_VISIBLE.
  const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog_, GWL_STYLE));
  EXPECT_EQ(style & ~static_cast<DWORD>(WS_VISIBLE | WS_CLIPSIBLINGS | DS_3DLOOK), kDialogStyle);
  EXPECT_EQ(GetParent(dialog_), nullptr);

  // Not centred: the client area starts at (50, 50) dialog units on the screen.
  const RECT expected = pixels(dialog_, 50, 50, 318, 78);
  POINT origin = {0, 0};
  ClientToScreen(dialog_, &origin);
  EXPECT_EQ(origin.x, expected.left);
  EXPECT_EQ(origin.y, expected.top);
  RECT client;
  GetClientRect(dialog_, &client);
  EXPECT_EQ(client.right, expected.right);
  EXPECT_EQ(client.bottom, expected.bottom);

  LOGFONTA font = {};
  const HFONT handle = reinterpret_cast<HFONT>(SendMessageA(dialog_, WM_GETFONT, 0, 0));
  ASSERT_NE(handle, nullptr);
  ASSERT_NE(GetObjectA(handle, sizeof font, &font), 0);
  EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
  const HDC screen = GetDC(nullptr);
  EXPECT_EQ(font.lfHeight, -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72));
  ReleaseDC(nullptr, screen);
}

TEST_F(DialogWindow, ControlsFollowTheTemplate) {
  HWND child = GetWindow(dialog_, GW_CHILD);
  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(c.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetDlgCtrlID(child), c.id);
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    EXPECT_STREQ(className, c.className);
    if (c.classAtom != kComboBox) {
      EXPECT_EQ(windowText(child), c.text);
    }
    EXPECT_TRUE(IsWindowEnabled(child));

    // The dialog manager moves an edit control's WS_BORDER into
    // WS_EX_CLIENTEDGE, and a combo box hands WS_VSCROLL to its list.
    DWORD style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE));
    if (c.classAtom == kEdit) {
      EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE);
      style |= WS_BORDER;
    }
    if (c.classAtom == kComboBox) {
      COMBOBOXINFO info = {};
      info.cbSize = sizeof info;
      ASSERT_TRUE(GetComboBoxInfo(child, &info));
      EXPECT_TRUE(GetWindowLongA(info.hwndList, GWL_STYLE) & WS_VSCROLL);
      style |= WS_VSCROLL;
    }
    EXPECT_EQ(style, c.style);
    EXPECT_EQ(exStyle & ~static_cast<DWORD>(WS_EX_NOPARENTNOTIFY | WS_EX_CLIENTEDGE), 0u);

    const RECT expected = pixels(dialog_, c.x, c.y, c.width, c.height);
    const RECT actual = clientRectOf(dialog_, child);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right - actual.left, expected.right);
    // A combo box's template height is that of its dropped-down list, which
    // the control trims to whole items.
    if (c.classAtom == kComboBox) {
      RECT dropped;
      SendMessageA(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      EXPECT_GT(dropped.bottom - dropped.top, actual.bottom - actual.top);
      EXPECT_LE(dropped.bottom - dropped.top, expected.bottom);
    } else {
      EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more than 8 controls";
}

TEST_F(DialogWindow, TabOrderSkipsTheNotationButtons) {
  // Checked before any radio button is: once one is, the dialog manager also
  // stops on the checked button.
  const int expected[] = {IDC_OUTPUT_TEXT, IDC_INPUT_BASE, IDC_OUTPUT_BASE, IDC_CONVERT,
                          IDC_INPUT_TEXT};
  HWND at = item(IDC_INPUT_TEXT);
  for (int id : expected) {
    at = GetNextDlgTabItem(dialog_, at, FALSE);
    EXPECT_EQ(GetDlgCtrlID(at), id);
  }
}

}  // namespace
