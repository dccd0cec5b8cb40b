// The phone's current locale, shared by the locale calls.
#pragma once

#include <optional>
#include <string>

#include "platform/win_base.h"

namespace platform::os {

// The ICU id of the phone's locale ("en_US", "de_DE").
std::string currentLocaleId();
// The explicit decimal separator, if one is set (empty: unavailable).
std::optional<std::u16string> decimalSeparatorOverride();
// True for the locale ids the phone knows: the user and system defaults and
// 0 (neutral, taken as the user's default). Sets ERROR_INVALID_PARAMETER
// otherwise.
bool isKnownLocale(LCID locale);
// Copies text and its terminator into buffer with the result convention of
// the locale calls: the count with terminator; size 0 asks for the count;
// 0 with ERROR_INSUFFICIENT_BUFFER (and the empty text in the buffer) when it
// does not fit.
int copyLocaleText(const std::u16string& text, LPWSTR buffer, int size);

}  // namespace platform::os
