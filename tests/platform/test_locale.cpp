// The phone's locale and clock: separators, date and time texts, the checks
// on a SYSTEMTIME, and the fixed clock of tests.
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace {

class Locale : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::setLocale("en_US");
    platform::setDecimalSeparatorOverride(std::nullopt);
    platform::setFixedLocalTime(std::nullopt);
  }
};

SYSTEMTIME at(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

std::string info(LCTYPE type) {
  WCHAR buffer[64];
  const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 64);
  return n > 0 ? platform::toUtf8(buffer) : "<failed>";
}

std::string date(const SYSTEMTIME& t) {
  WCHAR buffer[64];
  const int n = GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 64);
  return n > 0 ? platform::toUtf8(buffer) : "<failed>";
}

std::string time(const SYSTEMTIME& t) {
  WCHAR buffer[64];
  const int n = GetTimeFormatW(0, 0, &t, nullptr, buffer, 64);
  return n > 0 ? platform::toUtf8(buffer) : "<failed>";
}

// ---- Separators ------------------------------------------------------------

TEST_F(Locale, DecimalSeparatorFollowsTheLocale) {
  struct Case {
    const char* locale;
    const char* separator;
  };
  for (const Case& c : {Case{"en_US", "."}, Case{"de_DE", ","}, Case{"fr_FR", ","}, Case{"C", "."},
                        Case{"de_DE.UTF-8", ","}}) {
    platform::setLocale(c.locale);
    EXPECT_EQ(info(LOCALE_SDECIMAL), c.separator) << c.locale;
  }
}

TEST_F(Locale, TheAppReadsTheSeparatorIntoTwoUnits) {
  WCHAR two[2] = {u'x', u'x'};
  platform::setLocale("de_DE");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, two, 2), 2);
  EXPECT_EQ(two[0], u',');
  EXPECT_EQ(two[1], 0);

  // An override wins over the locale, whatever the machine has.
  platform::setLocale("en_US");
  platform::setDecimalSeparatorOverride(u",");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, two, 2), 2);
  EXPECT_EQ(two[0], u',');

  // A separator longer than one unit does not fit: unavailable to the app.
  platform::setDecimalSeparatorOverride(u"<>");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, two, 2), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(two[0], 0);
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0), 3) << "size 0 asks for the count";

  // An empty override is unavailable outright.
  platform::setDecimalSeparatorOverride(u"");
  EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, two, 2), 0);

  platform::setDecimalSeparatorOverride(std::nullopt);
  EXPECT_EQ(info(LOCALE_SDECIMAL), ".");
}

TEST_F(Locale, EmptyLocaleIdComesFromTheEnvironment) {
  const char* saved = std::getenv("LC_ALL");
  const std::string before = saved != nullptr ? saved : "";
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  platform::setLocale("");
  EXPECT_EQ(info(LOCALE_SDECIMAL), ",");
  ::setenv("LC_ALL", "POSIX", 1);
  EXPECT_EQ(info(LOCALE_SDECIMAL), ".");
  if (saved != nullptr) {
    ::setenv("LC_ALL", before.c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
}

TEST_F(Locale, PicturesOfTheFormats) {
  platform::setLocale("en_US");
  EXPECT_EQ(info(LOCALE_SSHORTDATE), "M/d/yyyy");
  EXPECT_EQ(info(LOCALE_STIMEFORMAT), "h:mm:ss tt");
  EXPECT_EQ(info(LOCALE_STHOUSAND), ",");
  platform::setLocale("de_DE");
  EXPECT_EQ(info(LOCALE_SSHORTDATE), "dd.MM.yyyy");
  EXPECT_EQ(info(LOCALE_STIMEFORMAT), "HH:mm:ss");
  EXPECT_EQ(info(0xFFFF), "<failed>");
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// ---- Dates and times ---------------------------------------------------------

TEST_F(Locale, ShortDateAndTimeByLocale) {
  struct Case {
    const char* locale;
    const char* date;  // of 2026-01-15
    const char* time;  // of 14:05:09
  };
  const Case cases[] = {
      {"en_US", "1/15/2026", "2:05:09 PM"},
      {"de_DE", "15.01.2026", "14:05:09"},
      {"en_GB", "15/01/2026", "14:05:09"},
      {"ja_JP", "2026/01/15", "14:05:09"},
  };
  for (const Case& c : cases) {
    platform::setLocale(c.locale);
    EXPECT_EQ(date(at(2026, 1, 15)), c.date) << c.locale;
    EXPECT_EQ(time(at(2026, 1, 15, 14, 5, 9)), c.time) << c.locale;
  }
}

TEST_F(Locale, FieldsAreShownAsGiven) {
  platform::setLocale("en_US");
  // A time value carries the date 1899-12-30; the hour must not move with
  // any time zone or daylight saving rule.
  EXPECT_EQ(time(at(1899, 12, 30, 10, 30, 0)), "10:30:00 AM");
  EXPECT_EQ(time(at(2026, 3, 29, 2, 30, 0)), "2:30:00 AM");
  EXPECT_EQ(time(at(2026, 1, 1, 0, 0, 0)), "12:00:00 AM");
  EXPECT_EQ(date(at(1601, 1, 1)), "1/1/1601");
  EXPECT_EQ(date(at(30827, 12, 31)), "12/31/30827");
  EXPECT_EQ(date(at(2024, 2, 29, 23, 59, 59)), "2/29/2024");
  EXPECT_EQ(date(at(1999, 12, 31, 23, 59, 59)), "12/31/1999");
}

TEST_F(Locale, InvalidSystemTimeGivesTheEmptyText) {
  struct Case {
    const char* name;
    SYSTEMTIME value;
  };
  SYSTEMTIME milliseconds = at(2026, 1, 15);
  milliseconds.wMilliseconds = 1000;
  const Case cases[] = {
      {"month 0", at(2026, 0, 15)},         {"month 13", at(2026, 13, 15)},
      {"day 0", at(2026, 1, 0)},            {"April 31", at(2026, 4, 31)},
      {"February 29 of 2025", at(2025, 2, 29)}, {"February 29 of 1900", at(1900, 2, 29)},
      {"hour 24", at(2026, 1, 15, 24)},     {"minute 60", at(2026, 1, 15, 10, 60)},
      {"second 60", at(2026, 1, 15, 10, 0, 60)}, {"year 1600", at(1600, 12, 31)},
      {"year 30828", at(30828, 1, 1)},      {"milliseconds 1000", milliseconds},
  };
  for (const Case& c : cases) {
    for (bool isDate : {true, false}) {
      WCHAR buffer[32] = {u'x', u'x'};
      SetLastError(0);
      const int n = isDate ? GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &c.value, nullptr, buffer, 32)
                           : GetTimeFormatW(0, 0, &c.value, nullptr, buffer, 32);
      EXPECT_EQ(n, 0) << c.name;
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.name;
      EXPECT_EQ(buffer[0], 0) << c.name;
    }
  }
}

TEST_F(Locale, TooSmallBufferHoldsTheEmptyText) {
  platform::setLocale("en_US");
  const SYSTEMTIME t = at(2026, 1, 15, 10, 30, 0);
  WCHAR buffer[9] = {u'x'};
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 9), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 0), 10);
  WCHAR exact[10];
  EXPECT_EQ(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, exact, 10), 10);
  EXPECT_EQ(std::u16string(exact), u"1/15/2026");
}

TEST_F(Locale, PictureStringsAndOtherFlags) {
  platform::setLocale("en_US");
  const SYSTEMTIME t = at(2026, 1, 15, 9, 5, 7);
  WCHAR buffer[64];
  ASSERT_GT(GetDateFormatW(0, 0, &t, u"yyyy-MM-dd dddd", buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"2026-01-15 Thursday");
  ASSERT_GT(GetTimeFormatW(0, 0, &t, u"HH'h'mm tt", buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"09h05 AM");
  ASSERT_GT(GetTimeFormatW(0, TIME_NOSECONDS, &t, nullptr, buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"9:05 AM");
  ASSERT_GT(GetDateFormatW(0, DATE_LONGDATE, &t, nullptr, buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"January 15, 2026");
  // The picture of the locale gives back the locale's own text.
  WCHAR picture[32];
  ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, picture, 32), 0);
  ASSERT_GT(GetTimeFormatW(0, 0, &t, picture, buffer, 64), 0);
  EXPECT_EQ(std::u16string(buffer), u"9:05:07 AM");
}

// ---- Clock -------------------------------------------------------------------

TEST_F(Locale, FixedClockStandsForLocalAndSystemTime) {
  SYSTEMTIME fixed = at(2026, 1, 15, 10, 30, 0);
  fixed.wDayOfWeek = 6;  // wrong on purpose: the clock computes it
  platform::setFixedLocalTime(fixed);
  SYSTEMTIME local{};
  SYSTEMTIME system{};
  GetLocalTime(&local);
  GetSystemTime(&system);
  EXPECT_EQ(local.wYear, 2026);
  EXPECT_EQ(local.wDay, 15);
  EXPECT_EQ(local.wHour, 10);
  EXPECT_EQ(local.wDayOfWeek, 4) << "2026-01-15 is a Thursday";
  EXPECT_EQ(std::memcmp(&local, &system, sizeof local), 0);

  platform::setFixedLocalTime(std::nullopt);
  GetLocalTime(&local);
  EXPECT_GE(local.wYear, 2024);
  EXPECT_LE(local.wDayOfWeek, 6);
}

}  // namespace
