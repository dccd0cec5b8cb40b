#include "tools/tsq/values.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/text.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/writer.h"
#include "tools/tsq/codes.h"

namespace tsq {
namespace {

using platform::fromUtf8;
using platform::toUtf8;

// 1899-12-30, the date every Time value carries, was a Saturday.
constexpr WORD timeOnlyDayOfWeek = 6;

}  // namespace

std::string hexText(std::span<const std::uint8_t> bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> bytesOfHex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c == ' ' && high < 0) continue;
    else return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

std::string numberText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<std::uint8_t> flagOf(const Json& json) {
  if (json.is_boolean()) return static_cast<std::uint8_t>(json.get<bool>() ? 1 : 0);
  return integerOf<std::uint8_t>(json);
}

Json flagJson(std::uint8_t flag) {
  if (flag <= 1) return flag == 1;
  return flag;
}

std::optional<COLORREF> colourOf(const Json& json) {
  if (json.is_null()) return 0xFFFFFFFF;
  if (json.is_string()) {
    const std::string& text = json.get_ref<const std::string&>();
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    auto bytes = bytesOfHex(text.substr(1));
    if (!bytes || bytes->size() != 3) return std::nullopt;
    return RGB((*bytes)[0], (*bytes)[1], (*bytes)[2]);
  }
  return integerOf<std::uint32_t>(json);
}

Json colourJson(COLORREF colour) {
  if (colour == 0xFFFFFFFF) return nullptr;
  if (colour > 0xFFFFFF) return colour;
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

std::optional<std::u16string> textOf(const Json& json, std::size_t maxLength, std::string& error) {
  if (!json.is_string()) {
    error = "a text is expected";
    return std::nullopt;
  }
  std::u16string text = fromUtf8(json.get_ref<const std::string&>());
  if (text.size() > maxLength) {
    error = "longer than " + std::to_string(maxLength) + " characters";
    return std::nullopt;
  }
  if (text.find(u'\0') != std::u16string::npos) {
    error = "contains a zero character";
    return std::nullopt;
  }
  return text;
}

bool parseDate(const std::string& text, SYSTEMTIME& time) {
  unsigned y = 0, m = 0, d = 0;
  char tail = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4u-%2u-%2u%c", &y, &m, &d, &tail) != 3) return false;
  std::chrono::year_month_day date{std::chrono::year(static_cast<int>(y)), std::chrono::month(m), std::chrono::day(d)};
  if (y < 1 || !date.ok()) return false;
  time = SYSTEMTIME{};
  time.wYear = static_cast<WORD>(y);
  time.wMonth = static_cast<WORD>(m);
  time.wDay = static_cast<WORD>(d);
  time.wDayOfWeek = static_cast<WORD>(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding());
  return true;
}

bool parseTime(const std::string& text, SYSTEMTIME& time) {
  unsigned h = 0, m = 0, s = 0;
  char tail = 0;
  int fields = 0;
  if (text.size() == 8) fields = std::sscanf(text.c_str(), "%2u:%2u:%2u%c", &h, &m, &s, &tail);
  else if (text.size() == 5) fields = std::sscanf(text.c_str(), "%2u:%2u%c", &h, &m, &tail) + 1;
  if (fields != 3 || h > 23 || m > 59 || s > 59) return false;
  time = SYSTEMTIME{};
  time.wYear = 1899;
  time.wMonth = 12;
  time.wDay = 30;
  time.wDayOfWeek = timeOnlyDayOfWeek;
  time.wHour = static_cast<WORD>(h);
  time.wMinute = static_cast<WORD>(m);
  time.wSecond = static_cast<WORD>(s);
  return true;
}

std::vector<std::uint8_t> payloadOf(const FieldValue& value) {
  std::vector<std::uint8_t> entry = encodeFieldEntry(value);
  entry.erase(entry.begin(), entry.begin() + fieldHeaderSize);
  return entry;
}

bool valueFromPayload(const std::vector<std::uint8_t>& bytes, FieldValue& value) {
  std::size_t expected = 0;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: expected = payloadSize::integer; break;
    case ValueType::Number:
    case ValueType::Currency: expected = payloadSize::number; break;
    case ValueType::Date:
    case ValueType::Time: expected = payloadSize::calendar; break;
    case ValueType::YesNo: expected = payloadSize::yesNo; break;
    case ValueType::Text: {
      // The count and at least the terminator.
      if (bytes.size() < payloadSize::text(1)) return false;
      const auto count = loadU16(bytes.data());
      if (count == 0 || count > room::valueText || bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0)
        return false;
      expected = payloadSize::text(count);
      break;
    }
    default:
      return false;
  }
  if (bytes.size() != expected) return false;
  std::memcpy(value.payload.bytes, bytes.data(), bytes.size());
  return true;
}

bool valueFromJson(const Json& json, FieldValue& value, std::string& error) {
  auto& payload = value.payload;
  std::memset(payload.bytes, 0, sizeof payload.bytes);
  if (json.is_object()) {
    if (json.size() != 1 || !json.contains("payload") || !json["payload"].is_string()) {
      error = "a value object holds only \"payload\"";
      return false;
    }
    auto bytes = bytesOfHex(json["payload"].get<std::string>());
    if (!bytes || !valueFromPayload(*bytes, value)) {
      error = "the payload does not fit a " + valueTypeName(value.valueType);
      return false;
    }
    return true;
  }
  auto type = static_cast<ValueType>(value.valueType);
  if (json.is_null()) {
    if (type == ValueType::Date || type == ValueType::Time) payload.calendar.noValue = 1;
    if (type == ValueType::Text) payload.text.count = 1;
    return isKnownValueType(value.valueType) || (error = "no value of this type can be given", false);
  }
  switch (type) {
    case ValueType::Integer:
      if (auto v = integerOf<std::int32_t>(json)) {
        payload.integer = *v;
        return true;
      }
      error = "a whole number within 32 bits is expected";
      return false;
    case ValueType::Number:
    case ValueType::Currency:
      if (json.is_number()) {
        payload.number = json.get<double>();
        return true;
      }
      error = "a number is expected";
      return false;
    case ValueType::Date:
      if (json.is_string() && parseDate(json.get<std::string>(), payload.calendar.time)) return true;
      error = "a date \"YYYY-MM-DD\" is expected";
      return false;
    case ValueType::Time:
      if (json.is_string() && parseTime(json.get<std::string>(), payload.calendar.time)) return true;
      error = "a time \"HH:MM:SS\" is expected";
      return false;
    case ValueType::Text: {
      auto text = textOf(json, maxValueText, error);
      if (!text) return false;
      setText(value, text->c_str());
      return true;
    }
    case ValueType::YesNo:
      if (json.is_boolean()) {
        payload.yesNo = json.get<bool>() ? 1 : 0;
        return true;
      }
      error = "true or false is expected";
      return false;
  }
  error = "no value of this type can be given";
  return false;
}

bool valueFromJsonAndExact(const Json& json, const Json* exact, FieldValue& value, std::string& error) {
  if (!valueFromJson(json, value, error)) return false;
  if (exact == nullptr) return true;
  FieldValue stored = value;
  auto bytes = exact->is_string() ? bytesOfHex(exact->get<std::string>()) : std::nullopt;
  if (!bytes || !valueFromPayload(*bytes, stored)) {
    error = "the payload does not fit a " + valueTypeName(value.valueType);
    return false;
  }
  int order = 0;
  if (compareValues(stored, value, order) != err::ok || order != 0 ||
      isEmptyValue(stored) != isEmptyValue(value)) {
    error = "the payload holds another value than " + json.dump();
    return false;
  }
  value = stored;
  return true;
}

std::string calendarText(const FieldValue& value) {
  const SYSTEMTIME& t = value.payload.calendar.time;
  char text[32];
  if (value.valueType == static_cast<std::uint8_t>(ValueType::Date))
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
  else
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
  return text;
}

Json plainJson(const FieldValue& value) {
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: return payload.integer;
    case ValueType::Number:
    case ValueType::Currency:
      if (!std::isfinite(payload.number)) return nullptr;
      return payload.number;
    case ValueType::Date:
    case ValueType::Time: {
      if (payload.calendar.noValue != 0) return nullptr;
      return calendarText(value);
    }
    case ValueType::Text: return toUtf8(payload.text.chars);
    case ValueType::YesNo: return payload.yesNo != 0;
  }
  return nullptr;
}

std::string colourText(COLORREF colour) {
  Json json = colourJson(colour);
  return json.is_null() ? "none" : json.is_string() ? json.get<std::string>() : json.dump();
}

Json valueToJson(const FieldValue& value, std::string& exact) {
  exact.clear();
  Json plain = plainJson(value);
  FieldValue again;
  again.valueType = value.valueType;
  std::string ignored;
  if (!valueFromJson(plain, again, ignored)) return Json{{"payload", hexText(payloadOf(value))}};
  if (payloadOf(again) == payloadOf(value)) return plain;
  int order = 0;
  if (!plain.is_null() && compareValues(again, value, order) == err::ok && order == 0) {
    exact = hexText(payloadOf(value));
    return plain;
  }
  return Json{{"payload", hexText(payloadOf(value))}};
}

std::string valueText(const FieldValue& value) {
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Number: return numberText(payload.number);
    case ValueType::Currency: {
      char text[64];
      std::snprintf(text, sizeof text, "%.2f", payload.number);
      return text;
    }
    case ValueType::Date:
    case ValueType::Time:
      return payload.calendar.noValue != 0 ? "(none)" : plainJson(value).get<std::string>();
    case ValueType::YesNo: return payload.yesNo != 0 ? "yes" : "no";
    case ValueType::Integer:
    case ValueType::Text: return plainJson(value).dump();
  }
  return "?";
}

}  // namespace tsq
