#include "views/values.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies a printed ASCII number into the UTF-16 buffer.
void widen(char16_t* buffer, const char* text) {
  int i = 0;
  for (; text[i] != 0 && i < formatBufferSize - 1; ++i) buffer[i] = static_cast<char16_t>(text[i]);
  buffer[i] = 0;
}

// "%lf" of value; 1024 bytes hold the longest fixed form of a double.
void printFixed(char16_t* buffer, double value) {
  char printed[formatBufferSize];
  std::snprintf(printed, sizeof printed, "%lf", value);
  widen(buffer, printed);
}

void formatCurrency(char16_t* buffer, double value) {
  // Half away from zero: 0.5 over +-100 moves the value by half a cent.
  double scale = (value >= 0.0 ? 1.0 : -1.0) * 10.0 * 10.0;
  printFixed(buffer, value + 0.5 / scale);
  // Keep the first "." and at most two characters after it.
  for (int i = 0; buffer[i] != 0; ++i) {
    if (buffer[i] == u'.') {
      if (buffer[i + 1] != 0 && buffer[i + 2] != 0) buffer[i + 3] = 0;
      break;
    }
  }
  localizeDecimalPoint(buffer);
}

void formatCalendar(char16_t* buffer, const CalendarValue& calendar, bool date) {
  buffer[0] = 0;
  if (calendar.noValue == 1) return;
  int written = date ? GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &calendar.time, nullptr, buffer,
                                      formatBufferSize)
                     : GetTimeFormatW(0, 0, &calendar.time, nullptr, buffer, formatBufferSize);
  // A date the platform cannot render (month 13) shows as nothing.
  if (written <= 0) buffer[0] = 0;
  buffer[formatBufferSize - 1] = 0;
}

// The shared scanner of Integer, Number and Currency texts.
bool scanNumber(const char16_t* text, ValueType type, double& result) {
  char16_t separator = decimalSeparator();
  if (separator == 0) separator = u'.';
  const char16_t* p = text;
  while (*p == u' ') ++p;
  double sign = 1.0;
  if (*p == u'-') {
    sign = -1.0;
    ++p;
  }
  double value = 0.0;
  int fraction = -1;  // -1: no separator seen; else digits after it
  for (; *p != 0; ++p) {
    if (*p == separator) {
      if (fraction >= 0 || type == ValueType::Integer) return false;
      fraction = 0;
    } else if (*p >= u'0' && *p <= u'9') {
      double digit = *p - u'0';
      if (fraction < 0) {
        value = value * 10.0 + digit;
      } else {
        if (type == ValueType::Currency && fraction == 2) return false;
        double power = 10.0;
        for (int i = 0; i < fraction; ++i) power *= 10.0;
        value += digit / power;
        ++fraction;
      }
    } else {
      return false;
    }
  }
  result = sign * value;
  // A text of hundreds of digits overflows to infinity: not a value.
  return std::isfinite(result);
}

}  // namespace

char16_t decimalSeparator() {
  char16_t separator[2] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 2) == 0) return 0;
  return separator[0];
}

void localizeDecimalPoint(char16_t* text) {
  char16_t separator = decimalSeparator();
  if (separator == 0 || separator == u'.') return;
  for (; *text != 0; ++text) {
    if (*text == u'.') *text = separator;
  }
}

bool formatValue(char16_t* buffer, const FieldValue& value) {
  buffer[0] = 0;
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: {
      char printed[16];
      std::snprintf(printed, sizeof printed, "%ld", static_cast<long>(payload.integer));
      widen(buffer, printed);
      return true;
    }
    case ValueType::Number:
      printFixed(buffer, payload.number);
      localizeDecimalPoint(buffer);
      return true;
    case ValueType::Currency:
      formatCurrency(buffer, payload.number);
      return true;
    case ValueType::Date:
      formatCalendar(buffer, payload.calendar, true);
      return true;
    case ValueType::Time:
      formatCalendar(buffer, payload.calendar, false);
      return true;
    case ValueType::Text: {
      int limit = payload.text.count < room::valueText ? payload.text.count : room::valueText;
      int i = 0;
      for (; i < limit && payload.text.chars[i] != 0; ++i) buffer[i] = payload.text.chars[i];
      buffer[i] = 0;
      return true;
    }
    case ValueType::YesNo:
      buffer[0] = payload.yesNo != 0 ? u'1' : u'0';
      buffer[1] = 0;
      return true;
  }
  return false;
}

bool parseValue(FieldValue& value, const char16_t* text, std::uint8_t valueType, std::uint16_t fieldId,
                Position next) {
  value.next = next;
  value.fieldId = fieldId;
  value.valueType = valueType;
  value.reserved = 0;
  auto& payload = value.payload;
  switch (static_cast<ValueType>(valueType)) {
    case ValueType::Text: {
      // The form's edit boxes hold at most 255 characters; a longer text is
      // cut to what a FieldValue can hold.
      std::uint16_t length = 0;
      while (length < room::valueText - 1 && text[length] != 0) {
        payload.text.chars[length] = text[length];
        ++length;
      }
      payload.text.chars[length] = 0;
      payload.text.count = static_cast<std::uint16_t>(length + 1);
      return true;
    }
    case ValueType::YesNo: {
      char16_t first = text[0];
      payload.yesNo = (first == u'1' || first == u'T' || first == u'Y' || first == u't' || first == u'y') ? 1 : 0;
      return true;
    }
    case ValueType::Date:
    case ValueType::Time:
      return false;
    case ValueType::Integer: {
      double result = 0.0;
      // Outside the 32-bit range there is no value to truncate to: fail.
      if (!scanNumber(text, ValueType::Integer, result) || result < -2147483648.0 || result > 2147483647.0) {
        payload.integer = 0;
        return false;
      }
      payload.integer = static_cast<std::int32_t>(result);
      return true;
    }
    case ValueType::Number:
    case ValueType::Currency: {
      double result = 0.0;
      if (!scanNumber(text, static_cast<ValueType>(valueType), result)) {
        payload.number = 0.0;
        return false;
      }
      payload.number = result;
      return true;
    }
  }
  value.valueType = static_cast<std::uint8_t>(ValueType::Text);
  payload.text.count = 1;
  payload.text.chars[0] = 0;
  return false;
}

