// GetDateFormatW and GetTimeFormatW through ICU.
//
// The fields of the SYSTEMTIME are shown exactly as given: they are turned
// into an instant of the GMT zone and formatted with a GMT Gregorian
// calendar, so no time zone, daylight saving rule or calendar switch can
// move them (a time's date of 1899-12-30 included).
#include <unicode/udat.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/os/calendar.h"
#include "platform/os/icu_patterns.h"
#include "platform/os/locale_state.h"
#include "platform/os/numeric_dates.h"
#include "platform/win_base.h"

namespace {

using namespace platform::os;

struct FormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};
using Formatter = std::unique_ptr<UDateFormat, FormatCloser>;

std::string gregorian(const std::string& locale) {
  return locale + (locale.find('@') == std::string::npos ? "@calendar=gregorian" : ";calendar=gregorian");
}

// Opening a formatter is slow next to using one, and a list view formats a
// date per row, so formatters are kept per locale and pattern; a pattern of
// numbers alone in a locale of ASCII digits is written without one.
struct Prepared {
  Formatter formatter;
  std::optional<std::vector<PatternPiece>> numeric;
};
std::mutex cacheMutex;
std::map<std::pair<std::string, std::u16string>, Prepared> cache;
// The last one used: a list asks for the same locale and pattern each row.
const std::pair<std::string, std::u16string>* lastKey = nullptr;
Prepared* lastPrepared = nullptr;

Prepared* prepared(const std::string& locale, const std::u16string& pattern) {
  if (lastKey != nullptr && lastKey->first == locale && lastKey->second == pattern) return lastPrepared;
  auto key = std::make_pair(locale, pattern);
  auto it = cache.find(key);
  if (it == cache.end()) {
    if (cache.size() >= 32) {
      cache.clear();
      lastKey = nullptr;
    }
    UErrorCode status = U_ZERO_ERROR;
    const std::string withCalendar = gregorian(locale);
    Formatter opened(udat_open(UDAT_PATTERN, UDAT_PATTERN, withCalendar.c_str(), u"GMT", -1, pattern.data(),
                               static_cast<int32_t>(pattern.size()), &status));
    if (U_FAILURE(status)) return nullptr;
    Prepared entry{std::move(opened), std::nullopt};
    if (writesAsciiDigits(withCalendar)) entry.numeric = numericPattern(pattern);
    it = cache.emplace(std::move(key), std::move(entry)).first;
  }
  lastKey = &it->first;
  lastPrepared = &it->second;
  return lastPrepared;
}

std::optional<std::u16string> format(const std::string& locale, const std::u16string& pattern, const SYSTEMTIME& t) {
  std::lock_guard lock(cacheMutex);
  Prepared* entry = prepared(locale, pattern);
  if (entry == nullptr) return std::nullopt;
  if (entry->numeric) {
    std::u16string text = formatNumeric(*entry->numeric, t);
    plainSpaces(text);
    return text;
  }
  const double day = static_cast<double>(daysFromCivil(t.wYear, t.wMonth, t.wDay));
  const double milliseconds = ((t.wHour * 60.0 + t.wMinute) * 60.0 + t.wSecond) * 1000.0 + t.wMilliseconds;
  const UDate instant = day * 86400000.0 + milliseconds;
  UChar buffer[256];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = udat_format(entry->formatter.get(), instant, buffer, 256, nullptr, &status);
  if (U_FAILURE(status) || length < 0 || length > 256) return std::nullopt;
  std::u16string text(buffer, static_cast<std::size_t>(length));
  plainSpaces(text);
  return text;
}

int refuse(DWORD error, LPWSTR buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = 0;
  SetLastError(error);
  return 0;
}

SYSTEMTIME timeOrNow(const SYSTEMTIME* time) {
  if (time != nullptr) return *time;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now;
}

int formatCall(LCID locale, const SYSTEMTIME* time, const std::u16string& pattern, LPWSTR buffer, int size) {
  const SYSTEMTIME t = timeOrNow(time);
  if (!isValidDate(t) || !isValidTimeOfDay(t)) return refuse(ERROR_INVALID_PARAMETER, buffer, size);
  const auto text = format(currentLocaleId(), pattern, t);
  if (!text) return refuse(ERROR_INVALID_PARAMETER, buffer, size);
  (void)locale;
  return copyLocaleText(*text, buffer, size);
}

}  // namespace

// DATE_SHORTDATE (the default) or DATE_LONGDATE, or a picture string.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR buffer, int size) {
  if (!isKnownLocale(locale)) return refuse(ERROR_INVALID_PARAMETER, buffer, size);
  const std::string id = currentLocaleId();
  const std::u16string pattern = picture != nullptr            ? fromPicture(picture)
                                 : (flags & DATE_LONGDATE) != 0 ? longDatePattern(id)
                                                                : shortDatePattern(id);
  return formatCall(locale, date, pattern, buffer, size);
}

// The locale's time with seconds; TIME_NOSECONDS leaves them out.
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR buffer, int size) {
  if (!isKnownLocale(locale)) return refuse(ERROR_INVALID_PARAMETER, buffer, size);
  const std::u16string pattern =
      picture != nullptr ? fromPicture(picture) : timePattern(currentLocaleId(), (flags & TIME_NOSECONDS) == 0);
  return formatCall(locale, time, pattern, buffer, size);
}
