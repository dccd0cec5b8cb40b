// Values and small fields in a definition's JSON: hex bytes, numbers,
// flags, colours, texts, dates and times, and a FieldValue's plain form.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/windows.h"
#include "storage/format.h"
#include "tools/tsq/json.h"

namespace tsq {

// Characters a Text value holds besides its terminator.
constexpr std::size_t maxValueText = room::valueText - 1;

// Bytes as "0a ff 12", and back (spaces between bytes optional).
std::string hexText(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> bytesOfHex(const std::string& text);

// The shortest text that reads back as value.
std::string numberText(double value);

// A JSON whole number within T's range.
template <typename T>
std::optional<T> integerOf(const Json& json) {
  if (json.is_number_unsigned()) {
    auto v = json.get<std::uint64_t>();
    if (v <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return static_cast<T>(v);
  } else if (json.is_number_integer()) {
    auto v = json.get<std::int64_t>();
    if (v >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
        v <= static_cast<std::int64_t>(std::numeric_limits<T>::max()))
      return static_cast<T>(v);
  }
  return std::nullopt;
}

// true/false, or a stored byte 0..255; and the JSON of a stored flag.
std::optional<std::uint8_t> flagOf(const Json& json);
Json flagJson(std::uint8_t flag);

// "#RRGGBB", null (none, 0xFFFFFFFF) or a number; and back.
std::optional<COLORREF> colourOf(const Json& json);
Json colourJson(COLORREF colour);
std::string colourText(COLORREF colour);  // "#RRGGBB", "none", or the number

// A JSON string as UTF-16 of at most maxLength characters, without zeros.
std::optional<std::u16string> textOf(const Json& json, std::size_t maxLength, std::string& error);

// "YYYY-MM-DD" as a Date's calendar part (its day of week computed), and
// "HH:MM:SS" or "HH:MM" as a Time's (on 1899-12-30).
bool parseDate(const std::string& text, SYSTEMTIME& time);
bool parseTime(const std::string& text, SYSTEMTIME& time);
// The forms parseDate and parseTime read: a Date's "YYYY-MM-DD", a Time's
// "HH:MM:SS".
std::string calendarText(const FieldValue& value);

// The payload bytes a value is stored with, and a value from them (false
// when they do not fit its type).
std::vector<std::uint8_t> payloadOf(const FieldValue& value);
bool valueFromPayload(const std::vector<std::uint8_t>& bytes, FieldValue& value);

// Fills value (whose valueType is set) from its definition form. Null is the
// type's empty value; {"payload": hex} the stored bytes themselves.
bool valueFromJson(const Json& json, FieldValue& value, std::string& error);

// The same, then, when exact is given, from those stored bytes: they must
// hold the same value (the store's comparison), so that an edit of the plain
// form is never silently overridden.
bool valueFromJsonAndExact(const Json& json, const Json* exact, FieldValue& value, std::string& error);

// The JSON of a value's type: a number, text, true/false, "YYYY-MM-DD",
// "HH:MM:SS", or null (no date or time, a number that is none).
Json plainJson(const FieldValue& value);

// A value's definition form: the JSON of its type (null for no date or
// time). When that form holds the same value but would be stored with other
// bytes (a date made elsewhere with another day of week), exact gets the
// stored payload as hex, to be kept beside it; when no plain form holds the
// value, the form is {"payload": hex}.
Json valueToJson(const FieldValue& value, std::string& exact);

// The text a person reads for a value, e.g. 2024-05-01 or "Anna".
std::string valueText(const FieldValue& value);

}  // namespace tsq
