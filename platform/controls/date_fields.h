// The editable fields of a date or time picture ("M/d/yyyy", "h:mm:ss tt"):
// where each field stands in the shown text, and the keypad arithmetic on a
// SYSTEMTIME field by field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win_types.h"

namespace platform::controls {

enum class DatePart { Day, Month, Year, Hour, Minute, Second, AmPm };

// One piece of a picture: literal text, or a run of one pattern letter.
struct PicturePiece {
  std::u16string literal;  // when letter is 0
  char16_t letter = 0;
  int run = 0;
};
std::vector<PicturePiece> parsePicture(std::u16string_view picture);

struct FieldSpan {
  DatePart part;
  std::size_t start;
  std::size_t length;
};
struct ShownTime {
  std::u16string text;
  std::vector<FieldSpan> fields;  // the editable ones, left to right
};
// The time as the picture shows it. With fourDigitYear every year token
// shows four digits. Names (months, week days, AM/PM) come from the
// phone's locale.
ShownTime showTime(const std::vector<PicturePiece>& picture, const SYSTEMTIME& time, bool fourDigitYear);

// Valid field values: year 1601..30827, the day inside its month, hour < 24,
// minute and second < 60.
void clampTime(SYSTEMTIME& time);
// How many digits fill a field when typed, and the largest value typing can
// give it; a digit that would pass it completes the field early.
std::size_t digitsOf(DatePart part);
int largestTyped(DatePart part);
// Sets a typed value (clamped into range). Returns true when the time changed.
bool setPart(SYSTEMTIME& time, DatePart part, int value);
// One step up (+1) or down (-1), wrapping within the field's range (the year
// does not wrap). Returns true when the time changed.
bool stepPart(SYSTEMTIME& time, DatePart part, int step);

}  // namespace platform::controls
