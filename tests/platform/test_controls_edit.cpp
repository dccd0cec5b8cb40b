// "EDIT": notifications, typing, numeric mode, the text limit, Back and the
// selection.
#include "controls_fixture.h"

namespace {

using controls_test::ControlsTest;
using controls_test::notices;

constexpr DWORD kFormEditStyle = WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
const std::vector<UINT> kOneChange{EN_UPDATE, EN_CHANGE};

using EditTest = ControlsTest;

TEST_F(EditTest, SettingTheTextNotifiesTheParentLikeTyping) {
  HWND edit = create(u"EDIT", u"0", kFormEditStyle, 42);
  ASSERT_TRUE(notices().empty()) << "creation text is not a change";

  SetWindowTextW(edit, u"12.5");
  EXPECT_EQ(textOf(edit), u"12.5");
  EXPECT_EQ(codesFrom(edit), kOneChange);
  for (const auto& n : notices()) {
    EXPECT_EQ(n.message, WM_COMMAND);
    EXPECT_EQ(n.id, 42);
  }

  notices().clear();
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u""));
  EXPECT_EQ(codesFrom(edit), kOneChange) << "emptying is a change too";
}

TEST_F(EditTest, TypedCharactersAppendAtTheCaretEachOneNotified) {
  HWND edit = create(u"EDIT", u"", kFormEditStyle);
  type(edit, u"abc");
  EXPECT_EQ(textOf(edit), u"abc");
  EXPECT_EQ(codesFrom(edit).size(), 6u);

  key(edit, VK_LEFT);
  type(edit, u"X");
  EXPECT_EQ(textOf(edit), u"abXc");
  key(edit, VK_RIGHT);
  key(edit, VK_RIGHT);  // already at the end: stays
  type(edit, u"Y");
  EXPECT_EQ(textOf(edit), u"abXcY");
}

TEST_F(EditTest, NumericModeLetsOnlyDigitsAndNumberSymbolsThrough) {
  struct Case {
    LPARAM mode;
    std::u16string typed;
    std::u16string expected;
  };
  const Case cases[] = {
      {IM_NUMBERS, u"a1*#-.,b2 ", u"1*#-.,2"},
      {IM_TEXT, u"a1*#-.,b2 ", u"a1*#-.,b2 "},
  };
  for (const Case& c : cases) {
    HWND edit = create(u"EDIT", u"", kFormEditStyle);
    SendMessageW(edit, EM_SETINPUTMODE, 0, c.mode);
    notices().clear();
    type(edit, c.typed);
    EXPECT_EQ(textOf(edit), c.expected) << "mode " << c.mode;
    EXPECT_EQ(codesFrom(edit).size(), 2 * c.expected.size()) << "refused characters are no change";
    DestroyWindow(edit);
  }
}

TEST_F(EditTest, TheLimitStopsTypingButNotSetText) {
  HWND edit = create(u"EDIT", u"", kFormEditStyle);
  EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 30000);

  SendMessageW(edit, EM_LIMITTEXT, 3, 0);
  type(edit, u"abcd");
  EXPECT_EQ(textOf(edit), u"abc");

  SetWindowTextW(edit, u"longer than three");
  EXPECT_EQ(textOf(edit), u"longer than three");

  // A full box still takes a character that replaces its selection.
  SetWindowTextW(edit, u"xyz");
  SendMessageW(edit, EM_SETSEL, 0, -1);
  type(edit, u"q");
  EXPECT_EQ(textOf(edit), u"q");
}

TEST_F(EditTest, BackErasesTheSelectionOrTheCharacterBeforeTheCaret) {
  HWND edit = create(u"EDIT", u"", kFormEditStyle);
  type(edit, u"hello");
  notices().clear();

  type(edit, u"\b");
  EXPECT_EQ(textOf(edit), u"hell");
  EXPECT_EQ(codesFrom(edit), kOneChange);

  SendMessageW(edit, EM_SETSEL, 1, 3);
  type(edit, u"\b");
  EXPECT_EQ(textOf(edit), u"hl");

  // The shell hands Back over as a key-down that is then translated into
  // WM_CHAR 8: one press erases one character.
  SendMessageW(edit, EM_SETSEL, 2, 2);
  SendMessageW(edit, WM_KEYDOWN, VK_BACK, 0);
  SendMessageW(edit, WM_CHAR, u'\b', 0);
  SendMessageW(edit, WM_KEYUP, VK_BACK, 0);
  EXPECT_EQ(textOf(edit), u"h");
  SendMessageW(edit, WM_KEYDOWN, VK_BACK, 0);
  EXPECT_EQ(textOf(edit), u"") << "a key-down alone erases too";

  notices().clear();
  type(edit, u"\b");
  EXPECT_TRUE(notices().empty()) << "nothing to erase, nothing changed";
}

TEST_F(EditTest, SelectionIsSetReadAndReplacedByTyping) {
  HWND edit = create(u"EDIT", u"", kFormEditStyle);
  SetWindowTextW(edit, u"12345");

  SendMessageW(edit, EM_SETSEL, 0, -1);
  DWORD start = 99;
  DWORD end = 99;
  EXPECT_EQ(SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end)),
            static_cast<LRESULT>(MAKELONG(0, 5)));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 5u);

  type(edit, u"9");
  EXPECT_EQ(textOf(edit), u"9") << "typing replaces the whole selection";
  type(edit, u"8");
  EXPECT_EQ(textOf(edit), u"98");

  SendMessageW(edit, EM_SETSEL, 0, 1);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);  // deselect, caret stays
  type(edit, u"7");
  EXPECT_EQ(textOf(edit), u"978");

  SendMessageW(edit, EM_SETSEL, 40, 50);  // beyond the text: clamped to its end
  type(edit, u"6");
  EXPECT_EQ(textOf(edit), u"9786");
}

TEST_F(EditTest, ReadOnlyBoxesIgnoreTheKeypad) {
  HWND edit = create(u"EDIT", u"fixed", kFormEditStyle | ES_READONLY);
  type(edit, u"x\b");
  key(edit, VK_BACK);
  EXPECT_EQ(textOf(edit), u"fixed");
  EXPECT_TRUE(notices().empty());
}

}  // namespace
