// Dates and times written straight from their fields must read exactly as
// ICU writes them; patterns with anything else, and locales with other
// digits, go through ICU.
#include <unicode/udat.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/emulator.h"
#include "platform/os/calendar.h"
#include "platform/os/icu_patterns.h"
#include "platform/os/numeric_dates.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace {

using namespace platform::os;

struct FormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};

// What ICU writes for the fields of t, as the platform shows ICU's texts.
std::u16string icuText(const std::string& locale, const std::u16string& pattern, const SYSTEMTIME& t) {
  static std::map<std::pair<std::string, std::u16string>, std::unique_ptr<UDateFormat, FormatCloser>> opened;
  auto& format = opened[{locale, pattern}];
  UErrorCode status = U_ZERO_ERROR;
  if (format == nullptr) {
    const std::string id = locale + "@calendar=gregorian";
    format.reset(udat_open(UDAT_PATTERN, UDAT_PATTERN, id.c_str(), u"GMT", -1, pattern.data(),
                           static_cast<int32_t>(pattern.size()), &status));
  }
  if (U_FAILURE(status) || format == nullptr) return u"<no formatter>";
  const double day = static_cast<double>(daysFromCivil(t.wYear, t.wMonth, t.wDay));
  const double instant = day * 86400000.0 + ((t.wHour * 60.0 + t.wMinute) * 60.0 + t.wSecond) * 1000.0;
  UChar buffer[256];
  const int32_t length = udat_format(format.get(), instant, buffer, 256, nullptr, &status);
  if (U_FAILURE(status)) return u"<failed>";
  std::u16string text(buffer, static_cast<std::size_t>(length));
  plainSpaces(text);
  return text;
}

// Dates from the first year a SYSTEMTIME holds to the last, with times of
// day that cross noon and midnight.
std::vector<SYSTEMTIME> sampleTimes() {
  std::vector<SYSTEMTIME> times;
  const WORD years[] = {1601, 1700, 1899, 1900, 1999, 2000, 2001, 2009, 2010, 2024, 2026, 2099, 9999, 10000, 30827};
  for (WORD year : years)
    for (WORD month = 1; month <= 12; month += 1)
      for (WORD day : {WORD{1}, WORD{9}, WORD{10}, WORD{28}}) {
        const WORD hour = static_cast<WORD>((year + month * 7 + day) % 24);
        times.push_back(SYSTEMTIME{year, month, 0, day, hour, static_cast<WORD>((day * 7) % 60),
                                   static_cast<WORD>((month * 11) % 60), 0});
      }
  times.push_back(SYSTEMTIME{2026, 1, 0, 4, 0, 0, 0, 0});
  times.push_back(SYSTEMTIME{2026, 1, 0, 4, 12, 0, 0, 0});
  times.push_back(SYSTEMTIME{2026, 1, 0, 4, 23, 59, 59, 0});
  return times;
}

TEST(NumericDates, WrittenFromTheFieldsAsIcuWritesThem) {
  const char16_t* patterns[] = {u"M/d/yyyy", u"dd.MM.yyyy", u"yyyy/MM/dd", u"d-M-yy", u"y.M.d", u"yyy", u"yyyyy",
                                u"HH:mm:ss", u"H:m:s", u"hh:mm", u"h.mm", u"dd/MM/yyyy HH:mm", u"d\u00A0M\u202Fy"};
  const std::vector<SYSTEMTIME> times = sampleTimes();
  for (const char* locale : {"en_US", "de_DE", "fr_FR", "ja_JP"}) {
    ASSERT_TRUE(writesAsciiDigits(locale)) << locale;
    for (const char16_t* pattern : patterns) {
      const auto pieces = numericPattern(pattern);
      ASSERT_TRUE(pieces.has_value()) << platform::toUtf8(pattern);
      for (const SYSTEMTIME& t : times) {
        std::u16string direct = formatNumeric(*pieces, t);
        plainSpaces(direct);
        ASSERT_EQ(platform::toUtf8(direct), platform::toUtf8(icuText(locale, pattern, t)))
            << locale << " " << platform::toUtf8(pattern) << " " << t.wYear << "-" << t.wMonth << "-" << t.wDay
            << " " << t.wHour;
      }
    }
  }
}

TEST(NumericDates, PatternsWithOtherFieldsOrQuotesAreLeftToIcu) {
  for (const char16_t* pattern : {u"MMM d, yyyy", u"EEEE", u"h:mm a", u"d 'de' MMMM", u"G y", u"ddd", u"HHH", u"k:mm",
                                  u"yyyy-MM-dd'T'HH"}) {
    EXPECT_FALSE(numericPattern(pattern).has_value()) << platform::toUtf8(pattern);
  }
  EXPECT_TRUE(numericPattern(u"").has_value());
}

// The whole call, through whichever path the locale and pattern take.
TEST(NumericDates, TheCallsGiveIcuTextsInEveryLocale) {
  const std::vector<SYSTEMTIME> times = sampleTimes();
  for (const char* locale : {"en_US", "de_DE", "en_GB", "ja_JP", "ar_EG", "fa_IR", "hi_IN", "th_TH", "he_IL"}) {
    platform::setLocale(locale);
    const std::u16string shortDate = shortDatePattern(locale);
    for (const SYSTEMTIME& t : times) {
      WCHAR buffer[128];
      ASSERT_GT(GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 128), 0) << locale;
      ASSERT_EQ(platform::toUtf8(buffer), platform::toUtf8(icuText(locale, shortDate, t))) << locale;
      ASSERT_GT(GetDateFormatW(0, 0, &t, u"dd/MM/yy", buffer, 128), 0) << locale;
      ASSERT_EQ(platform::toUtf8(buffer), platform::toUtf8(icuText(locale, u"dd/MM/yy", t))) << locale;
      ASSERT_GT(GetTimeFormatW(0, 0, &t, nullptr, buffer, 128), 0) << locale;
      ASSERT_EQ(platform::toUtf8(buffer), platform::toUtf8(icuText(locale, timePattern(locale, true), t))) << locale;
    }
  }
  platform::setLocale("en_US");
}

}  // namespace
