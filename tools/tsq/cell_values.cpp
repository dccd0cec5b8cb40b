#include "tools/tsq/cell_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "tools/tsq/codes.h"
#include "tools/tsq/values.h"

namespace tsq {
namespace {

// True for well-formed UTF-8 (no overlong forms, surrogates or code points
// above U+10FFFF): anything else in a cell is reported, not replaced.
bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    std::uint32_t point = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string lower(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return result;
}

// The keypad's number syntax: leading spaces, an optional '-', digits with
// at most one '.'. digits gets the sign, digits and point without the
// spaces; decimals the count of digits after the point.
bool numberSyntax(std::string_view cell, std::string& digits, int& decimals, bool& point) {
  std::size_t i = cell.find_first_not_of(' ');
  if (i == std::string_view::npos) i = cell.size();
  digits.clear();
  decimals = 0;
  point = false;
  if (i < cell.size() && cell[i] == '-') digits += cell[i++];
  bool anyDigit = false;
  for (; i < cell.size(); ++i) {
    const char c = cell[i];
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (c >= '0' && c <= '9') {
      anyDigit = true;
      if (point) ++decimals;
    } else {
      return false;
    }
    digits += c;
  }
  // Spaces alone, or a lone '-' or '.', are 0 as the keypad takes them.
  if (!anyDigit) digits = "0";
  return true;
}

bool parseNumber(std::string_view cell, FieldValue& value, std::string& why) {
  const auto type = static_cast<ValueType>(value.valueType);
  const std::string name = valueTypeName(value.valueType);
  std::string digits;
  int decimals = 0;
  bool point = false;
  const char* expected = type == ValueType::Integer    ? "a whole number (digits, an optional '-')"
                         : type == ValueType::Currency ? "an amount (digits, an optional '-', '.' and two decimals)"
                                                       : "a number (digits, an optional '-' and '.')";
  if (!numberSyntax(cell, digits, decimals, point) || (type == ValueType::Integer && point) ||
      (type == ValueType::Currency && decimals > 2)) {
    why = "is not " + std::string(expected);
    return false;
  }
  if (digits == "-" || digits == "-.") digits = "0";
  if (type == ValueType::Integer) {
    std::int32_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
      why = "is too large for an Integer";
      return false;
    }
    value.payload.integer = number;
    return true;
  }
  // Correctly rounded: the nearest double to the decimal digits, so that a
  // value exported as its shortest text reads back exactly.
  if (digits.back() == '.') digits.pop_back();
  if (digits.size() > 1 && digits[0] == '-' && digits[1] == '.') digits.insert(1, "0");
  if (digits[0] == '.') digits.insert(0, "0");
  double number = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(number)) {
    why = "is too large for a " + name;
    return false;
  }
  value.payload.number = number;
  return true;
}

bool parseYesNo(std::string_view cell, FieldValue& value, std::string& why) {
  const std::string word = lower(cell);
  for (const char* yes : {"1", "y", "yes", "t", "true"})
    if (word == yes) {
      value.payload.yesNo = 1;
      return true;
    }
  for (const char* no : {"", "0", "n", "no", "f", "false"})
    if (word == no) {
      value.payload.yesNo = 0;
      return true;
    }
  why = "is not a YesNo value (1 or 0, yes or no, true or false)";
  return false;
}

}  // namespace

bool valueFromCell(std::string_view cell, FieldValue& value, std::string& why) {
  value.next = noPosition;
  value.reserved = 0;
  std::memset(value.payload.bytes, 0, sizeof value.payload.bytes);
  if (!isUtf8(cell)) {
    why = "is not UTF-8 text";
    return false;
  }
  const auto type = static_cast<ValueType>(value.valueType);
  if (cell.empty()) {
    resetValue(value);
    return isKnownValueType(value.valueType) || (why = "is a value of an unknown type", false);
  }
  switch (type) {
    case ValueType::Integer:
    case ValueType::Number:
    case ValueType::Currency:
      return parseNumber(cell, value, why);
    case ValueType::YesNo:
      return parseYesNo(cell, value, why);
    case ValueType::Date:
      if (parseDate(std::string(cell), value.payload.calendar.time)) return true;
      why = "is not a date YYYY-MM-DD";
      return false;
    case ValueType::Time:
      if (parseTime(std::string(cell), value.payload.calendar.time)) return true;
      why = "is not a time HH:MM or HH:MM:SS";
      return false;
    case ValueType::Text: {
      std::u16string text = platform::fromUtf8(cell);
      if (text.size() > maxValueText) {
        why = "is longer than " + std::to_string(maxValueText) + " characters";
        return false;
      }
      if (text.find(u'\0') != std::u16string::npos) {
        why = "holds a zero character";
        return false;
      }
      setText(value, text.c_str());
      return true;
    }
  }
  why = "is a value of an unknown type";
  return false;
}

bool cellFromValue(const FieldValue& value, std::string& cell, std::string& why) {
  cell.clear();
  why.clear();
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      cell = std::to_string(payload.integer);
      return true;
    case ValueType::Number:
    case ValueType::Currency: {
      if (!std::isfinite(payload.number)) {
        why = "a Number that is no number has no text";
        return false;
      }
      char text[400];
      auto result = std::to_chars(text, text + sizeof text, payload.number, std::chars_format::fixed);
      cell.assign(text, result.ptr);
      std::size_t point = cell.find('.');
      if (value.valueType == static_cast<std::uint8_t>(ValueType::Currency) && point != std::string::npos &&
          cell.size() - point - 1 > 2) {
        // As Tessra shows the amount: half a cent away from zero, then cut.
        std::snprintf(text, sizeof text, "%f", payload.number + (payload.number >= 0.0 ? 0.005 : -0.005));
        std::string shown = text;
        shown.resize(std::min(shown.size(), shown.find('.') + 3));
        why = "the amount " + cell + " has more than two decimals; written as " + shown;
        cell = shown;
        return false;
      }
      return true;
    }
    case ValueType::Date:
    case ValueType::Time: {
      if (payload.calendar.noValue == 1) return true;
      cell = calendarText(value);
      FieldValue again = value;
      std::string ignored;
      int order = 0;
      if (!valueFromCell(cell, again, ignored) || compareValues(again, value, order) != err::ok || order != 0) {
        why = cell + " is no possible " + valueTypeName(value.valueType);
        return false;
      }
      return true;
    }
    case ValueType::Text: {
      const TextValue& text = payload.text;
      std::u16string units(text.chars, text.count > 0 ? text.count - 1 : 0);
      std::size_t zero = units.find(u'\0');
      cell = platform::toUtf8(std::u16string_view(units).substr(0, zero));
      if (zero != std::u16string::npos) {
        why = "the text holds a zero character; written up to it";
        return false;
      }
      return true;
    }
    case ValueType::YesNo:
      cell = payload.yesNo != 0 ? "1" : "0";
      return true;
  }
  why = "a value of an unknown type has no text";
  return false;
}

std::string quotedCell(std::string_view cell) {
  constexpr std::size_t longest = 60;
  const bool utf8 = isUtf8(cell);
  std::string text = "\"";
  std::size_t shown = 0;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    const auto c = static_cast<unsigned char>(cell[i]);
    // Cut at a character's first byte only.
    if ((c & 0xC0) != 0x80 && ++shown > longest) {
      text += "...";
      break;
    }
    char escaped[8];
    if (c == '"' || c == '\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c == '\n') {
      text += "\\n";
    } else if (c == '\r') {
      text += "\\r";
    } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && !utf8)) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      text += escaped;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text + "\"";
}

}  // namespace tsq
