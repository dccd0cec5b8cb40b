// Date and time patterns of a locale, from ICU, and their translation to and
// from the phone's picture strings ("M/d/yyyy", "h:mm:ss tt").
#pragma once

#include <string>

namespace platform::os {

// The locale's short date with the year always in four digits, so that no
// date shown is ambiguous about its century.
std::u16string shortDatePattern(const std::string& locale);
std::u16string longDatePattern(const std::string& locale);
// The locale's medium time (with seconds), or its short time.
std::u16string timePattern(const std::string& locale, bool withSeconds);

std::u16string toPicture(const std::u16string& icuPattern);
std::u16string fromPicture(const std::u16string& picture);

// Narrow and no-break spaces become plain spaces: texts then look the same
// with every ICU version and take one terminal cell per character.
void plainSpaces(std::u16string& text);

}  // namespace platform::os
