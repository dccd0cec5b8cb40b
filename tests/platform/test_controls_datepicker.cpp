// "SysDateTimePick32": the value and its none state, the text it shows, and
// keypad editing with DTN_DATETIMECHANGE.
#include "controls_fixture.h"
#include "platform/emulator.h"

namespace {

using controls_test::ControlsTest;
using controls_test::notices;

// The form's date and time fields.
constexpr DWORD kDateStyle = WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | DTS_SHORTDATECENTURYFORMAT | DTS_SHOWNONE;
constexpr DWORD kTimeStyle = WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | DTS_TIMEFORMATBIT | DTS_SHOWNONE;

SYSTEMTIME date(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

class DatePickerTest : public ControlsTest {
 protected:
  void SetUp() override {
    platform::setLocale("en_US");  // "M/d/yyyy" and "h:mm:ss tt"
    ControlsTest::SetUp();
  }
  void TearDown() override {
    ControlsTest::TearDown();
    platform::setLocale("");
  }
  static BOOL set(HWND picker, LRESULT flag, const SYSTEMTIME& t) {
    return static_cast<BOOL>(SendMessageW(picker, DTM_SETSYSTEMTIME, static_cast<WPARAM>(flag), reinterpret_cast<LPARAM>(&t)));
  }
  static LRESULT get(HWND picker, SYSTEMTIME* t) {
    return SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(t));
  }
  // The flags of the DTN_DATETIMECHANGE notices received, in order.
  static std::vector<DWORD> changeFlags() {
    std::vector<DWORD> flags;
    for (const auto& n : notices()) {
      EXPECT_EQ(n.message, WM_NOTIFY);
      EXPECT_EQ(n.code, DTN_DATETIMECHANGE);
      flags.push_back(n.change.dwFlags);
    }
    return flags;
  }
};

TEST_F(DatePickerTest, SetAndGetRoundTripWithTheNoneStateKeepingTheTime) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle, 119);
  const SYSTEMTIME may = date(2024, 5, 17);
  ASSERT_TRUE(set(picker, GDT_VALID, may));
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_EQ(read.wYear, 2024);
  EXPECT_EQ(read.wMonth, 5);
  EXPECT_EQ(read.wDay, 17);
  EXPECT_EQ(textOf(picker), u"5/17/2024");

  const SYSTEMTIME ignored = date(1999, 1, 1);
  ASSERT_TRUE(set(picker, GDT_NONE, ignored));
  read = SYSTEMTIME{};
  EXPECT_EQ(get(picker, &read), GDT_NONE);
  EXPECT_EQ(read.wYear, 2024) << "the none state keeps the time it had";
  EXPECT_EQ(textOf(picker), u"") << "no date shows as an empty text";

  EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, 0), GDT_ERROR);
  EXPECT_TRUE(notices().empty()) << "DTM_SETSYSTEMTIME is not the user's change";
}

TEST_F(DatePickerTest, WithoutShowNoneThereIsNoNoneState) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle & ~DTS_SHOWNONE);
  ASSERT_TRUE(set(picker, GDT_VALID, date(2024, 5, 17)));
  EXPECT_FALSE(set(picker, GDT_NONE, date(2024, 5, 17)));
  type(picker, u"*");
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_TRUE(notices().empty());
}

TEST_F(DatePickerTest, ImpossibleValuesAreClampedIntoRange) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  struct Case {
    SYSTEMTIME given;
    WORD month, day;
  };
  const Case cases[] = {
      {date(2024, 2, 30), 2, 29},
      {date(2023, 2, 29), 2, 28},
      {date(2024, 13, 31), 12, 31},
      {date(2024, 4, 0), 4, 1},
  };
  for (const Case& c : cases) {
    set(picker, GDT_VALID, c.given);
    SYSTEMTIME read{};
    get(picker, &read);
    EXPECT_EQ(read.wMonth, c.month) << c.given.wMonth << "/" << c.given.wDay;
    EXPECT_EQ(read.wDay, c.day) << c.given.wMonth << "/" << c.given.wDay;
  }
}

TEST_F(DatePickerTest, DigitsFillTheFieldsInTheLocalesOrder) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  set(picker, GDT_VALID, date(2024, 1, 31));
  SetFocus(picker);

  type(picker, u"02");  // month: February, the 31st clamped to the 29th
  type(picker, u"4");   // day: no day starts with 4 and a second digit
  type(picker, u"2030");
  EXPECT_EQ(textOf(picker), u"2/4/2030");

  // February, the 4th, the year 2 clamped to 1601, then 2030: "0" (month
  // 0, clamped to January) and "20", "203" (still 1601) change nothing.
  const std::vector<DWORD> fourChanges(4, static_cast<DWORD>(GDT_VALID));
  EXPECT_EQ(changeFlags(), fourChanges);
  const NMDATETIMECHANGE& last = notices().back().change;
  EXPECT_EQ(last.st.wYear, 2030);
  EXPECT_EQ(last.st.wMonth, 2);
  EXPECT_EQ(last.st.wDay, 4);
  EXPECT_EQ(last.nmhdr.hwndFrom, picker);
}

TEST_F(DatePickerTest, LeftAndRightMoveBetweenFieldsCommittingDigitsTyped) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  set(picker, GDT_VALID, date(2024, 1, 31));
  SetFocus(picker);

  key(picker, VK_RIGHT);  // day
  type(picker, u"1");     // could still become 1x, and is the 1st meanwhile
  EXPECT_EQ(textOf(picker), u"1/1/2024");
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_EQ(read.wDay, 1);
  ASSERT_EQ(notices().size(), 1u);
  EXPECT_EQ(notices().back().change.st.wDay, 1);
  key(picker, VK_RIGHT);  // leaving the field ends it: nothing changes
  EXPECT_EQ(notices().size(), 1u);
  type(picker, u"1999");
  key(picker, VK_LEFT);
  key(picker, VK_LEFT);
  type(picker, u"12");
  EXPECT_EQ(textOf(picker), u"12/1/1999");
}

TEST_F(DatePickerTest, ADigitStillBeingTypedIsWhatTheValueHolds) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  set(picker, GDT_VALID, date(2024, 6, 15));
  SetFocus(picker);
  type(picker, u"1");  // month 1x: January for now
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_EQ(read.wMonth, 1);
  type(picker, u"1");  // November
  get(picker, &read);
  EXPECT_EQ(read.wMonth, 11);
  EXPECT_EQ(notices().back().change.st.wMonth, 11);
}

TEST_F(DatePickerTest, StarTogglesTheNoneStateAndADigitRestoresAValue) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  set(picker, GDT_VALID, date(2024, 6, 15));
  SetFocus(picker);

  type(picker, u"*");
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_NONE);
  EXPECT_EQ(textOf(picker), u"");
  type(picker, u"#");
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  type(picker, u"*");
  type(picker, u"7");  // valid again, and the month becomes July
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_EQ(textOf(picker), u"7/15/2024");

  const std::vector<DWORD> expected{static_cast<DWORD>(GDT_NONE), static_cast<DWORD>(GDT_VALID),
                                    static_cast<DWORD>(GDT_NONE), static_cast<DWORD>(GDT_VALID)};
  EXPECT_EQ(changeFlags(), expected);
}

TEST_F(DatePickerTest, TimePickersEditHoursMinutesAndSeconds) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kTimeStyle);
  set(picker, GDT_VALID, date(1899, 12, 30, 9, 5, 7));
  EXPECT_EQ(textOf(picker), u"9:05:07 AM");
  SetFocus(picker);

  type(picker, u"14");  // hours are typed on the 24-hour clock
  type(picker, u"7");   // minutes: 7 cannot start a two-digit minute
  type(picker, u"30");
  EXPECT_EQ(textOf(picker), u"2:07:30 PM");
  SYSTEMTIME read{};
  EXPECT_EQ(get(picker, &read), GDT_VALID);
  EXPECT_EQ(read.wHour, 14);
  EXPECT_EQ(read.wYear, 1899) << "the date part of a time stays";
  EXPECT_EQ(read.wDay, 30);
}

TEST_F(DatePickerTest, UpAndDownStepTheFocusedFieldWhenTheyArrive) {
  HWND picker = create(DATETIMEPICK_CLASSW, u"", kDateStyle);
  set(picker, GDT_VALID, date(2024, 12, 31));
  key(picker, VK_UP);  // month 12 wraps to 1
  EXPECT_EQ(textOf(picker), u"1/31/2024");
  key(picker, VK_RIGHT);
  key(picker, VK_UP);  // day 31 wraps to 1
  key(picker, VK_DOWN);
  key(picker, VK_DOWN);
  EXPECT_EQ(textOf(picker), u"1/30/2024");
  EXPECT_EQ(notices().size(), 4u);
}

}  // namespace
