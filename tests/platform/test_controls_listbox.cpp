// "LISTBOX": sorted and unsorted rows with item data, the selection and its
// bounds, keypad movement and LBN_SELCHANGE, and a list of 100,000 rows.
#include <random>

#include "controls_fixture.h"

namespace {

using controls_test::ControlsTest;
using controls_test::notices;

constexpr DWORD kMainListStyle = WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT;
constexpr int kThreeRows = 66;  // three text rows at 96 dpi

class ListBoxTest : public ControlsTest {
 protected:
  static LRESULT add(HWND list, LPCWSTR text, LPARAM data) {
    const LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), data);
    return row;
  }
  static std::u16string rowText(HWND list, int row) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
    if (length < 0) return u"<LB_ERR>";
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
  }
  // "text=data" for every row.
  static std::vector<std::u16string> rows(HWND list) {
    std::vector<std::u16string> out;
    const auto n = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      const LRESULT data = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0);
      out.push_back(rowText(list, i) + u"=" + static_cast<char16_t>(u'0' + data));
    }
    return out;
  }
  static LRESULT selection(HWND list) { return SendMessageW(list, LB_GETCURSEL, 0, 0); }
};

TEST_F(ListBoxTest, RowsAreSortedAsTheStyleStandsWhenEachIsAdded) {
  // As the catalogue fills its list: sorting switched on for the adds, then
  // off again.
  HWND list = create(u"LISTBOX", u"", kMainListStyle, 117, 200, kThreeRows);
  SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) | LBS_SORT);
  EXPECT_EQ(add(list, u"pear", 1), 0);
  EXPECT_EQ(add(list, u"Apple", 2), 0);
  EXPECT_EQ(add(list, u"zebra", 3), 2);
  EXPECT_EQ(add(list, u"BANANA", 4), 1);
  EXPECT_EQ(add(list, u"banana", 5), 2) << "an equal text goes after its equals";

  SetWindowLongW(list, GWL_STYLE, GetWindowLongW(list, GWL_STYLE) & ~static_cast<LONG_PTR>(LBS_SORT));
  EXPECT_EQ(add(list, u"aardvark", 6), 5) << "appended once sorting is off";

  const std::vector<std::u16string> expected{u"Apple=2", u"BANANA=4", u"banana=5",
                                             u"pear=1",  u"zebra=3",  u"aardvark=6"};
  EXPECT_EQ(rows(list), expected);
}

TEST_F(ListBoxTest, UnsortedRowsStayInTheOrderTheyCame) {
  HWND list = create(u"LISTBOX", u"", kMainListStyle, 117, 200, kThreeRows);
  EXPECT_EQ(add(list, u"pear", 1), 0);
  EXPECT_EQ(add(list, u"Apple", 2), 1);
  EXPECT_EQ(add(list, u"", 3), 2);
  const std::vector<std::u16string> expected{u"pear=1", u"Apple=2", u"=3"};
  EXPECT_EQ(rows(list), expected);
}

TEST_F(ListBoxTest, SelectionBoundsAnswerAsOnTheDesktop) {
  HWND list = create(u"LISTBOX", u"", kMainListStyle, 117, 200, kThreeRows);
  EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 0, 0), LB_ERR) << "empty list";
  EXPECT_EQ(selection(list), LB_ERR);
  for (LPCWSTR t : {u"a", u"b", u"c"}) add(list, t, 0);

  struct Case {
    WPARAM index;
    LRESULT answer;
    LRESULT selectedAfter;
  };
  const Case cases[] = {
      {1, 1, 1},
      {3, LB_ERR, 1},  // past the end: refused, selection kept
      {2, 2, 2},
      {static_cast<WPARAM>(-1), LB_ERR, LB_ERR},  // "no selection" answers LB_ERR but clears
      {0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, c.index, 0), c.answer) << "index " << static_cast<int>(c.index);
    EXPECT_EQ(selection(list), c.selectedAfter) << "index " << static_cast<int>(c.index);
  }
  EXPECT_TRUE(notices().empty()) << "LB_SETCURSEL is not the user's change";
}

TEST_F(ListBoxTest, UpAndDownMoveTheSelectionAndNotifyOnlyRealChanges) {
  HWND list = create(u"LISTBOX", u"", kMainListStyle, 117, 200, kThreeRows);
  for (LPCWSTR t : {u"a", u"b", u"c", u"d", u"e"}) add(list, t, 0);

  key(list, VK_DOWN);  // no selection yet: the first row
  EXPECT_EQ(selection(list), 0);
  key(list, VK_UP);    // at the top: nothing
  for (int i = 0; i < 6; ++i) key(list, VK_DOWN);
  EXPECT_EQ(selection(list), 4);
  EXPECT_EQ(codesFrom(list).size(), 5u) << "one LBN_SELCHANGE per row moved, none at the ends";
  for (UINT code : codesFrom(list)) EXPECT_EQ(code, LBN_SELCHANGE);

  // Three rows show: the selection was scrolled into view.
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 2);
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);

  HWND quiet = create(u"LISTBOX", u"", kMainListStyle & ~LBS_NOTIFY, 118, 200, kThreeRows);
  add(quiet, u"a", 0);
  add(quiet, u"b", 0);
  key(quiet, VK_DOWN);
  key(quiet, VK_DOWN);
  EXPECT_EQ(selection(quiet), 1);
  EXPECT_TRUE(codesFrom(quiet).empty()) << "without LBS_NOTIFY";
}

TEST_F(ListBoxTest, DeletingInsertingAndFindingKeepTheSelectionOnItsRow) {
  HWND list = create(u"LISTBOX", u"", kMainListStyle, 117, 200, kThreeRows);
  for (LPCWSTR t : {u"one", u"two", u"three"}) add(list, t, 0);
  SendMessageW(list, LB_SETCURSEL, 2, 0);

  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"zero")), 0);
  EXPECT_EQ(selection(list), 3);
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 1, 0), 3) << "answers the rows left";
  EXPECT_EQ(selection(list), 2);
  EXPECT_EQ(rowText(list, 2), u"three");
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 2, 0), 2);
  EXPECT_EQ(selection(list), LB_ERR) << "the selected row went";
  EXPECT_EQ(SendMessageW(list, LB_DELETESTRING, 5, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(list, LB_INSERTSTRING, 9, reinterpret_cast<LPARAM>(u"x")), LB_ERR);

  EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"TWO")), 1);
  EXPECT_EQ(SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"tw")), LB_ERR);
  EXPECT_EQ(rowText(list, 7), u"<LB_ERR>");
  EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 7, 0), LB_ERR);

  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(selection(list), LB_ERR);
}

TEST_F(ListBoxTest, TheWindowTextIsTheSelectedRow) {
  HWND list = create(u"LISTBOX", u"", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_TABSTOP, 123, 200, 18);
  add(list, u"ActiveSync", 0);
  add(list, u"Mail", 0);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  EXPECT_EQ(textOf(list), u"Mail");
}

TEST_F(ListBoxTest, HundredThousandRowsStayInOrder) {
  HWND sorted = create(u"LISTBOX", u"", kMainListStyle | LBS_SORT, 117, 200, 240);
  HWND appended = create(u"LISTBOX", u"", kMainListStyle, 118, 200, 240);
  std::mt19937 random(7);
  constexpr int kRows = 100000;
  for (int i = 0; i < kRows; ++i) {
    std::u16string text;
    for (std::uint32_t v = random(), k = 0; k < 6; ++k, v /= 26) text += static_cast<char16_t>((k % 2 ? u'a' : u'A') + v % 26);
    SendMessageW(sorted, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    const LRESULT row = SendMessageW(appended, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_EQ(row, i);
    SendMessageW(appended, LB_SETITEMDATA, static_cast<WPARAM>(row), i);
  }
  ASSERT_EQ(SendMessageW(sorted, LB_GETCOUNT, 0, 0), kRows);
  std::u16string previous = rowText(sorted, 0);
  for (int i = 1; i < kRows; ++i) {
    std::u16string current = rowText(sorted, i);
    ASSERT_LE(_wcsicmp(previous.c_str(), current.c_str()), 0) << "row " << i;
    previous = std::move(current);
  }
  EXPECT_EQ(SendMessageW(appended, LB_GETITEMDATA, 76543, 0), 76543);

  SendMessageW(sorted, LB_SETCURSEL, kRows - 1, 0);
  key(sorted, VK_UP);
  EXPECT_EQ(selection(sorted), kRows - 2);
  EXPECT_GT(SendMessageW(sorted, LB_GETTOPINDEX, 0, 0), kRows - 20);
}

}  // namespace
