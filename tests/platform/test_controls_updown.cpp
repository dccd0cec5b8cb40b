// "msctls_updown32" with a list box buddy: the pick list's Left/Right.
#include "controls_fixture.h"

namespace {

using controls_test::ControlsTest;
using controls_test::notices;

// The form's pick list and its spinner, as the form creates them.
constexpr DWORD kPickListStyle = WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kSpinnerStyle = UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_HORZ;

// The owner's subclass of the list box, which watches LB_SETCURSEL.
WNDPROC savedListProc = nullptr;
std::vector<WPARAM>& setCurSels() {
  static std::vector<WPARAM> seen;
  return seen;
}
LRESULT watchingListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == LB_SETCURSEL) setCurSels().push_back(wParam);
  return CallWindowProcW(savedListProc, window, message, wParam, lParam);
}

class UpDownTest : public ControlsTest {
 protected:
  // A three-choice pick list followed by its spinner; the list subclassed.
  void makePickList(DWORD extraSpinnerStyle, DWORD extraListStyle = 0) {
    list_ = create(u"LISTBOX", u"", kPickListStyle | extraListStyle, -1, 100, 18);
    spinner_ = CreateWindowExW(0, UPDOWN_CLASSW, u"", WS_VISIBLE | kSpinnerStyle | extraSpinnerStyle, 0, 0, 10, 0,
                               parent_, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(-1)), nullptr, nullptr);
    ASSERT_NE(spinner_, nullptr);
    savedListProc = reinterpret_cast<WNDPROC>(
        SetWindowLongW(list_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(watchingListProc)));
    for (LPCWSTR choice : {u"Red", u"Green", u"Blue"}) SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
    SendMessageW(list_, LB_SETCURSEL, 0, 0);
    setCurSels().clear();
    notices().clear();
  }
  LRESULT selection() const { return SendMessageW(list_, LB_GETCURSEL, 0, 0); }

  HWND list_ = nullptr;
  HWND spinner_ = nullptr;
};

TEST_F(UpDownTest, TakesTheWindowCreatedJustBeforeItAsBuddy) {
  // The form's spinner comes without WS_CHILD; it must not take the
  // activation or the focus from the window it belongs to.
  HWND focused = create(u"EDIT", u"", WS_TABSTOP);
  SetFocus(focused);
  makePickList(0);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spinner_, UDM_GETBUDDY, 0, 0)), list_);
  EXPECT_EQ(GetActiveWindow(), parent_);
  EXPECT_EQ(GetFocus(), focused);

  // The e-mail dialog's spinner is a child.
  HWND services = create(u"LISTBOX", u"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_TABSTOP, 123, 100, 18);
  HWND spinner = create(UPDOWN_CLASSW, u"", UDS_WRAP | kSpinnerStyle, 125, 0, 0);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spinner, UDM_GETBUDDY, 0, 0)), services);
}

TEST_F(UpDownTest, LeftAndRightStepTheListThroughLbSetCurSel) {
  struct Case {
    const char* name;
    DWORD spinnerStyle;
    std::vector<UINT> keys;
    std::vector<WPARAM> expectedSetCurSels;
    LRESULT finalSelection;
  };
  const Case cases[] = {
      {"right twice", 0, {VK_RIGHT, VK_RIGHT}, {1, 2}, 2},
      {"stops at the last row", 0, {VK_RIGHT, VK_RIGHT, VK_RIGHT}, {1, 2}, 2},
      {"stops at the first row", 0, {VK_LEFT}, {}, 0},
      {"wraps forward", UDS_WRAP, {VK_RIGHT, VK_RIGHT, VK_RIGHT}, {1, 2, 0}, 0},
      {"wraps backward", UDS_WRAP, {VK_LEFT, VK_LEFT}, {2, 1}, 1},
  };
  for (const Case& c : cases) {
    platform::resetWindows();
    SetUp();
    makePickList(c.spinnerStyle);
    for (UINT vk : c.keys) key(list_, vk);
    EXPECT_EQ(setCurSels(), c.expectedSetCurSels) << c.name;
    EXPECT_EQ(selection(), c.finalSelection) << c.name;
    EXPECT_TRUE(notices().empty()) << c.name << ": no LBS_NOTIFY, no notification";
  }
}

TEST_F(UpDownTest, ADisabledSpinnerDoesNothing) {
  makePickList(UDS_WRAP);
  EnableWindow(spinner_, FALSE);
  key(list_, VK_RIGHT);
  key(list_, VK_LEFT);
  EXPECT_TRUE(setCurSels().empty());
  EXPECT_EQ(selection(), 0);

  EnableWindow(spinner_, TRUE);
  key(list_, VK_RIGHT);
  EXPECT_EQ(selection(), 1);
}

TEST_F(UpDownTest, ANotifyingListReportsTheStepAsTheUsersChange) {
  makePickList(UDS_WRAP, LBS_NOTIFY);
  key(list_, VK_RIGHT);
  EXPECT_EQ(codesFrom(list_), std::vector<UINT>{LBN_SELCHANGE});
  EXPECT_EQ(textOf(list_), u"Green");
}

TEST_F(UpDownTest, WithoutASelectionTheFirstStepSelectsTheFirstRow) {
  makePickList(0);
  SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  setCurSels().clear();
  key(list_, VK_LEFT);
  EXPECT_EQ(setCurSels(), std::vector<WPARAM>{0});
}

TEST_F(UpDownTest, ABuddyCanBeChangedAndAGoneSpinnerStepsNothing) {
  makePickList(0);
  HWND other = create(u"LISTBOX", u"", kPickListStyle, 5, 100, 18);
  SendMessageW(other, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a"));
  SendMessageW(other, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"b"));

  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(spinner_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(other), 0)), list_);
  key(list_, VK_RIGHT);
  EXPECT_EQ(selection(), 0) << "the old buddy has no spinner any more";
  key(other, VK_RIGHT);
  EXPECT_EQ(SendMessageW(other, LB_GETCURSEL, 0, 0), 0);
  key(other, VK_RIGHT);
  EXPECT_EQ(SendMessageW(other, LB_GETCURSEL, 0, 0), 1);

  DestroyWindow(spinner_);
  key(other, VK_LEFT);
  EXPECT_EQ(SendMessageW(other, LB_GETCURSEL, 0, 0), 1);
}

}  // namespace
