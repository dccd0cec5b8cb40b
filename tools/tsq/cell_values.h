// Values in CSV cells: a cell's text read as a user types a value into
// Tessra, with '.' as the decimal separator, and the text that reads back
// as a stored value.
#pragma once

#include <string>
#include <string_view>

#include "storage/format.h"

namespace tsq {

// Fills value (whose fieldId and valueType are set) from a cell. An empty
// cell is the type's empty value. False with why for a cell that is no
// value of the type:
//   Integer, Number, Currency: optional leading spaces, an optional '-',
//     digits with at most one '.' (none for an Integer, at most two digits
//     after it for a Currency), within the type's range;
//   YesNo: 1 or 0, yes or no, true or false, y or n, t or f, any case;
//   Date: YYYY-MM-DD; Time: HH:MM or HH:MM:SS;
//   Text (and PickList choices): the text as it stands, UTF-8, at most 258
//     characters, without zero characters.
bool valueFromCell(std::string_view cell, FieldValue& value, std::string& why);

// The cell that valueFromCell reads back as value. False when no cell gives
// the same value back (a Number that is no number, a Currency with more than
// two decimals, an impossible date); cell then holds the nearest text, and
// why says what is lost.
bool cellFromValue(const FieldValue& value, std::string& cell, std::string& why);

// A cell's text for a message: in quotes, line breaks and other control
// characters escaped, bytes that are not UTF-8 as \xNN, long texts cut.
std::string quotedCell(std::string_view cell);

}  // namespace tsq
