// The phone's locale: which one it is, and GetLocaleInfoW.
//
// The locale comes from ICU: setLocale names it, or the environment does
// (LC_ALL, LC_NUMERIC, LANG); the C and POSIX locales are taken as en_US, the
// phone having no locale without a language.
#include <unicode/unum.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/emulator.h"
#include "platform/os/icu_patterns.h"
#include "platform/os/locale_state.h"
#include "platform/win_base.h"

namespace {

std::mutex localeMutex;
std::string chosenLocale;  // empty: from the environment
std::optional<std::u16string> separatorOverride;

// "de_DE.UTF-8@euro" -> "de_DE"; "C", "POSIX" and nothing -> "en_US".
std::string icuIdOf(std::string id) {
  id = id.substr(0, id.find_first_of(".@"));
  if (id.empty() || id == "C" || id == "POSIX") return "en_US";
  return id;
}

std::string fromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return icuIdOf(value);
  }
  return "en_US";
}

struct NumberFormatCloser {
  void operator()(UNumberFormat* format) const { unum_close(format); }
};

std::u16string openSymbol(const std::string& locale, UNumberFormatSymbol symbol) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UNumberFormat, NumberFormatCloser> format(
      unum_open(UNUM_DECIMAL, nullptr, 0, locale.c_str(), nullptr, &status));
  if (U_FAILURE(status)) return {};
  UChar buffer[16];
  const int32_t length = unum_getSymbol(format.get(), symbol, buffer, 16, &status);
  if (U_FAILURE(status) || length < 0 || length > 16) return {};
  return std::u16string(buffer, static_cast<std::size_t>(length));
}

// The app reads the decimal separator afresh for every value it shows;
// opening a number format each time would make long lists slow.
std::u16string numberSymbol(const std::string& locale, UNumberFormatSymbol symbol) {
  static std::mutex mutex;
  static std::map<std::pair<std::string, int>, std::u16string> known;
  std::lock_guard lock(mutex);
  auto key = std::make_pair(locale, static_cast<int>(symbol));
  if (const auto it = known.find(key); it != known.end()) return it->second;
  if (known.size() >= 64) known.clear();
  return known.emplace(std::move(key), openSymbol(locale, symbol)).first->second;
}

}  // namespace

namespace platform {

void setLocale(const std::string& icuLocaleId) {
  std::lock_guard lock(localeMutex);
  chosenLocale = icuLocaleId.empty() ? std::string() : icuIdOf(icuLocaleId);
}

void setDecimalSeparatorOverride(std::optional<std::u16string> separator) {
  std::lock_guard lock(localeMutex);
  separatorOverride = std::move(separator);
}

namespace os {

std::string currentLocaleId() {
  {
    std::lock_guard lock(localeMutex);
    if (!chosenLocale.empty()) return chosenLocale;
  }
  return fromEnvironment();
}

std::optional<std::u16string> decimalSeparatorOverride() {
  std::lock_guard lock(localeMutex);
  return separatorOverride;
}

bool isKnownLocale(LCID locale) {
  if (locale == 0 || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

int copyLocaleText(const std::u16string& text, LPWSTR buffer, int size) {
  const auto needed = static_cast<int>(text.size() + 1);
  if (size < 0 || (size > 0 && buffer == nullptr)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (size == 0) return needed;
  if (needed > size) {
    buffer[0] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
  return needed;
}

}  // namespace os
}  // namespace platform

// An explicitly empty decimal separator is unavailable: the call fails with
// ERROR_INVALID_PARAMETER.
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size) {
  using namespace platform::os;
  if (!isKnownLocale(locale)) return 0;
  const std::string id = currentLocaleId();
  std::u16string text;
  switch (type) {
    case LOCALE_SDECIMAL:
      if (auto forced = decimalSeparatorOverride()) {
        if (forced->empty()) {
          SetLastError(ERROR_INVALID_PARAMETER);
          return 0;
        }
        text = *forced;
      } else {
        text = numberSymbol(id, UNUM_DECIMAL_SEPARATOR_SYMBOL);
      }
      break;
    case LOCALE_STHOUSAND:
      text = numberSymbol(id, UNUM_GROUPING_SEPARATOR_SYMBOL);
      break;
    case LOCALE_SSHORTDATE:
      text = toPicture(shortDatePattern(id));
      break;
    case LOCALE_STIMEFORMAT:
      text = toPicture(timePattern(id, true));
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
  return copyLocaleText(text, data, size);
}
