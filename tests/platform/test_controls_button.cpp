// "BUTTON": clicks from the action key and BM_CLICK, automatic check boxes,
// BN_CLICKED.
#include "controls_fixture.h"

namespace {

using controls_test::ControlsTest;
using controls_test::notices;

using ButtonTest = ControlsTest;

TEST_F(ButtonTest, AutomaticCheckBoxTogglesBeforeTheParentHearsTheClick) {
  HWND box = create(u"BUTTON", u"Paid", WS_TABSTOP | BS_AUTOCHECKBOX, 12);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));

  type(box, u"\r");                     // the action key
  SendMessageW(box, BM_CLICK, 0, 0);
  type(box, u"\r");

  ASSERT_EQ(notices().size(), 3u);
  const LRESULT expected[] = {BST_CHECKED, BST_UNCHECKED, BST_CHECKED};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(notices()[i].code, BN_CLICKED);
    EXPECT_EQ(notices()[i].id, 12);
    EXPECT_EQ(notices()[i].checkAtClick, expected[i]) << "click " << i;
  }
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));
}

TEST_F(ButtonTest, OnlyTheCharacterOfTheActionKeyClicks) {
  // One press of the action key arrives as key-down, WM_CHAR 13 and key-up;
  // it must click once.
  HWND box = create(u"BUTTON", u"Paid", BS_AUTOCHECKBOX);
  SendMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
  SendMessageW(box, WM_CHAR, u'\r', 0);
  SendMessageW(box, WM_KEYUP, VK_RETURN, 0);
  EXPECT_EQ(notices().size(), 1u);
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));

  type(box, u" 5a");
  EXPECT_EQ(notices().size(), 1u) << "other characters do not click";
}

TEST_F(ButtonTest, SetCheckIsQuietAndOnlyAutomaticBoxesToggleThemselves) {
  HWND manual = create(u"BUTTON", u"Manual", BS_CHECKBOX);
  HWND push = create(u"BUTTON", u"Go", BS_PUSHBUTTON | BS_MULTILINE);

  SendMessageW(manual, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_TRUE(notices().empty());
  type(manual, u"\r");
  EXPECT_EQ(SendMessageW(manual, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_CHECKED));

  type(push, u"\r");
  EXPECT_EQ(SendMessageW(push, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
  EXPECT_EQ(codesFrom(manual), std::vector<UINT>{BN_CLICKED});
  EXPECT_EQ(codesFrom(push), std::vector<UINT>{BN_CLICKED});
}

TEST_F(ButtonTest, DisabledButtonsDoNotClick) {
  HWND box = create(u"BUTTON", u"Paid", BS_AUTOCHECKBOX);
  EnableWindow(box, FALSE);
  type(box, u"\r");
  SendMessageW(box, BM_CLICK, 0, 0);
  EXPECT_TRUE(notices().empty());
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), static_cast<LRESULT>(BST_UNCHECKED));
}

}  // namespace
