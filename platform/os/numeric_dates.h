// Dates and times whose pattern shows only numbers (day, month, year, hour,
// minute, second) and plain separators, written straight from the fields.
// ICU gives the same text for them as long as the locale writes its
// numbers in ASCII digits; a list of dates formats one per row, and this
// costs a small part of a trip through ICU's formatter.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::os {

// One piece of a pattern: text as it stands, or a field and its width.
struct PatternPiece {
  char16_t field = 0;  // 0: text; else 'd', 'M', 'y', 'H', 'h', 'm', 's'
  int width = 0;
  std::u16string text;
};

// The pieces of an ICU pattern; nullopt when it has a quote or any field
// but the numeric ones above (with at most two letters, the year with any).
std::optional<std::vector<PatternPiece>> numericPattern(const std::u16string& pattern);

// The text of the fields of t by the pieces, as ICU writes them with the
// Gregorian calendar in ASCII digits.
std::u16string formatNumeric(const std::vector<PatternPiece>& pieces, const SYSTEMTIME& t);

// True when the locale's numbers are written in the digits 0-9.
bool writesAsciiDigits(const std::string& locale);

}  // namespace platform::os
