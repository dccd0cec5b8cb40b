// How the standard controls look on the character screen: text placement,
// the parent's colours, the font, focus, caret and selection.
//
// The test parent fills the client area below the title row; a control at
// y = 4 and 18 pixels high stands on screen row 1, from column 0.
#include "controls_fixture.h"
#include "platform/emulator.h"

namespace {

using controls_test::colourAnswer;
using controls_test::ControlsTest;

constexpr int kRow = 1;

class PaintTest : public ControlsTest {
 protected:
  static std::u16string row(const platform::ScreenImage& screen, int r) {
    std::u16string line;
    for (int c = 0; c < screen.columns; ++c) line += screen.at(c, r).ch;
    return line;
  }
  // The columns of a row whose cells are inverse, as a string of '^' and ' '.
  static std::string inverse(const platform::ScreenImage& screen, int r, int columns) {
    std::string marks;
    for (int c = 0; c < columns; ++c) marks += screen.at(c, r).inverse ? '^' : ' ';
    return marks;
  }
};

TEST_F(PaintTest, StaticTextIsAlignedWithinItsColumns) {
  struct Case {
    DWORD style;
    std::u16string expected;  // the first 20 columns of the row
  };
  const Case cases[] = {
      {SS_LEFT, u"&Total              "},
      {SS_RIGHT, u"              Total2"},
      {SS_CENTER, u"       Total3       "},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::u16string caption = n == 0 ? u"&&Total" : n == 1 ? u"Total2" : u"Total3";
    HWND label = create(u"STATIC", caption.c_str(), c.style, -1, 120);
    EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 20), c.expected) << "style " << c.style;
    DestroyWindow(label);
    ++n;
  }
}

TEST_F(PaintTest, SetTextRepaintsTheNewText) {
  HWND label = create(u"STATIC", u"before", SS_LEFT);
  SetWindowTextW(label, u"after");
  EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 7), u"after  ");
}

TEST_F(PaintTest, ControlsUseTheParentsBrushAndBackgroundColour) {
  const COLORREF yellow = RGB(255, 255, 0);
  colourAnswer() = {CreateSolidBrush(yellow), yellow};
  create(u"STATIC", u"Name", SS_LEFT, -1, 60);
  const platform::ScreenImage screen = platform::renderScreen();
  for (int c = 0; c < 10; ++c) EXPECT_EQ(screen.at(c, kRow).background, yellow) << "column " << c;
  EXPECT_NE(screen.at(10, kRow).background, yellow) << "past the control";
  DeleteObject(reinterpret_cast<HGDIOBJ>(colourAnswer().brush));
}

TEST_F(PaintTest, AButtonsFontShowsAndItsFocusIsMarked) {
  LOGFONTW bold{};
  bold.lfHeight = 18;
  bold.lfWeight = FW_BOLD;
  HFONT font = CreateFontIndirectW(&bold);
  HWND button = create(u"BUTTON", u"Go", BS_PUSHBUTTON | BS_MULTILINE | WS_TABSTOP, -1, 60);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  platform::ScreenImage screen = platform::renderScreen();
  EXPECT_EQ(row(screen, kRow).substr(0, 10), u"  [ Go ]  ");
  EXPECT_TRUE(screen.at(4, kRow).bold);
  EXPECT_EQ(inverse(screen, kRow, 10), "          ");

  SetFocus(button);
  screen = platform::renderScreen();
  EXPECT_EQ(inverse(screen, kRow, 10), "^^^^^^^^^^");
  DeleteObject(reinterpret_cast<HGDIOBJ>(font));
}

TEST_F(PaintTest, CheckBoxesShowTheirState) {
  HWND box = create(u"BUTTON", u"Paid", BS_AUTOCHECKBOX);
  EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 8), u"[ ] Paid");
  SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 8), u"[x] Paid");
}

TEST_F(PaintTest, EditBoxesShowCaretSelectionPasswordsAndScrollToTheCaret) {
  HWND edit = create(u"EDIT", u"", ES_AUTOHSCROLL, 1, 60);  // ten columns
  SetFocus(edit);
  type(edit, u"abc");
  platform::ScreenImage screen = platform::renderScreen();
  EXPECT_EQ(row(screen, kRow).substr(0, 10), u"abc       ");
  EXPECT_EQ(inverse(screen, kRow, 10), "   ^      ") << "the caret after the text";

  SendMessageW(edit, EM_SETSEL, 0, 2);
  EXPECT_EQ(inverse(platform::renderScreen(), kRow, 10), "^^        ");

  SendMessageW(edit, EM_SETSEL, 3, 3);
  type(edit, u"defghijklm");
  screen = platform::renderScreen();
  EXPECT_EQ(row(screen, kRow).substr(0, 10), u"efghijklm ") << "scrolled so the caret shows";
  EXPECT_EQ(inverse(screen, kRow, 10), "         ^");

  HWND secret = create(u"EDIT", u"", ES_PASSWORD | ES_AUTOHSCROLL, 2, 60, 18, 48);
  SetWindowTextW(secret, u"pw12");
  EXPECT_EQ(row(platform::renderScreen(), 3).substr(0, 5), u"**** ");
}

TEST_F(PaintTest, ListBoxesShowOneRowPerTextRowWithTheSelectionInverted) {
  HWND list = create(u"LISTBOX", u"", WS_VSCROLL | LBS_NOTIFY, 117, 60, 66);  // three rows
  for (LPCWSTR t : {u"one", u"two", u"three", u"four"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t));
  SendMessageW(list, LB_SETCURSEL, 3, 0);
  SetFocus(list);
  const platform::ScreenImage screen = platform::renderScreen();
  EXPECT_EQ(row(screen, 1).substr(0, 10), u"two      \u2502");
  EXPECT_EQ(row(screen, 2).substr(0, 10), u"three    \u2502");
  EXPECT_EQ(row(screen, 3).substr(0, 10), u"four     \u2588");
  EXPECT_EQ(inverse(screen, 3, 10), "^^^^^^^^^ ");
  EXPECT_EQ(inverse(screen, 2, 10), "          ");
}

TEST_F(PaintTest, APickListShowsItsChoiceAndItsSpinnerWhileEnabled) {
  HWND list = create(u"LISTBOX", u"", LBS_NOINTEGRALHEIGHT, -1, 60);
  HWND spinner = create(UPDOWN_CLASSW, u"", UDS_AUTOBUDDY | UDS_HORZ, -1, 10, 0);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Red"));
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Green"));
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 10), u"Green   <>");
  EnableWindow(spinner, FALSE);
  EXPECT_EQ(row(platform::renderScreen(), kRow).substr(0, 10), u"Green     ");
}

TEST_F(PaintTest, ADatePickerMarksItsFocusedField) {
  platform::setLocale("en_US");
  HWND picker = create(DATETIMEPICK_CLASSW, u"", DTS_SHORTDATECENTURYFORMAT | DTS_SHOWNONE, -1, 90);
  SYSTEMTIME t{};
  t.wYear = 2024;
  t.wMonth = 11;
  t.wDay = 5;
  SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  SetFocus(picker);
  SendMessageW(picker, WM_KEYDOWN, VK_RIGHT, 0);
  const platform::ScreenImage screen = platform::renderScreen();
  EXPECT_EQ(row(screen, kRow).substr(0, 10), u"11/5/2024 ");
  EXPECT_EQ(inverse(screen, kRow, 10), "   ^      ");
  platform::setLocale("");
}

}  // namespace
