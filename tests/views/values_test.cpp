#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/emulator.h"
#include "tests/support/tsq_fixture.h"
#include "records/encoding.h"
#include "views/values.h"

using namespace tsqtest;

namespace {

// Every test starts from a "." separator and ends by dropping the override.
class Values : public ::testing::Test {
 protected:
  void SetUp() override { platform::setDecimalSeparatorOverride(u"."); }
  void TearDown() override { platform::setDecimalSeparatorOverride(std::nullopt); }
};

std::u16string shown(const FieldValue& value, bool expectOk = true) {
  char16_t buffer[formatBufferSize];
  EXPECT_EQ(formatValue(buffer, value), expectOk);
  return buffer;
}

TEST_F(Values, FormatTable) {
  struct Case {
    FieldValue value;
    std::u16string text;
  };
  FieldValue yes = yesNoValue(1, true);
  yes.payload.yesNo = 0x80;
  const Case cases[] = {
      {integerValue(1, -7), u"-7"},
      {integerValue(1, 0), u"0"},
      {integerValue(1, INT_MIN), u"-2147483648"},
      {numberValue(1, 2.5), u"2.500000"},
      {numberValue(1, -0.0000004), u"-0.000000"},
      {numberValue(1, 1.005, ValueType::Currency), u"1.01"},
      {numberValue(1, -2.345, ValueType::Currency), u"-2.35"},
      {numberValue(1, 2.5, ValueType::Currency), u"2.50"},
      {numberValue(1, 0.0, ValueType::Currency), u"0.00"},
      {numberValue(1, -0.004, ValueType::Currency), u"-0.00"},
      {numberValue(1, 1234567.899, ValueType::Currency), u"1234567.90"},
      {numberValue(1, 0.994, ValueType::Currency), u"0.99"},
      {textValue(1, u"Hello"), u"Hello"},
      {textValue(1, u""), u""},
      {yes, u"1"},
      {yesNoValue(1, false), u"0"},
  };
  for (const Case& c : cases) EXPECT_EQ(shown(c.value), c.text);
}

TEST_F(Values, UnknownTypesFormatAsEmptyTextWithFailure) {
  for (std::uint8_t type : {0, 1, 3, 6, 7, 31, 128, 255}) {
    FieldValue value = integerValue(1, 5);
    value.valueType = type;
    EXPECT_EQ(shown(value, false), u"") << int(type);
  }
}

TEST_F(Values, DatesAndTimes) {
  platform::setLocale("en_US");
  const SYSTEMTIME date{2024, 5, 5, 17, 0, 0, 0, 0};
  const SYSTEMTIME time{1899, 12, 6, 30, 14, 5, 9, 0};
  EXPECT_EQ(shown(calendarValue(1, ValueType::Date, date, 1)), u"");
  EXPECT_EQ(shown(calendarValue(1, ValueType::Time, time, 1)), u"");
  std::u16string dateText = shown(calendarValue(1, ValueType::Date, date));
  EXPECT_NE(dateText.find(u"17"), std::u16string::npos);
  std::u16string timeText = shown(calendarValue(1, ValueType::Time, time));
  EXPECT_NE(timeText.find(u"05"), std::u16string::npos);
  // What the platform cannot render shows as nothing, still a success.
  SYSTEMTIME bad = date;
  bad.wMonth = 13;
  EXPECT_EQ(shown(calendarValue(1, ValueType::Date, bad)), u"");
  SYSTEMTIME badTime = time;
  badTime.wHour = 25;
  EXPECT_EQ(shown(calendarValue(1, ValueType::Time, badTime)), u"");
  platform::setLocale("");
}

struct ParseCase {
  std::uint8_t type;
  std::u16string text;
  bool ok;
  double value;  // the payload read as the type's number
};

double numberOf(const FieldValue& value) {
  return value.valueType == static_cast<std::uint8_t>(ValueType::Integer) ? value.payload.integer
                                                                           : value.payload.number;
}

void checkParse(const ParseCase& c) {
  SCOPED_TRACE(std::string(c.text.begin(), c.text.end()) + " as type " + std::to_string(c.type));
  FieldValue value = textValue(77, u"junk");
  value.payload.number = 99.0;
  EXPECT_EQ(parseValue(value, c.text.c_str(), c.type, 12, 345), c.ok);
  EXPECT_EQ(value.fieldId, 12);
  EXPECT_EQ(value.next, 345u);
  EXPECT_EQ(value.valueType, c.type);
  EXPECT_EQ(value.reserved, 0);
  EXPECT_EQ(numberOf(value), c.value);  // a failure leaves zero
}

constexpr std::uint8_t I = 2, N = 4, C = 5;

TEST_F(Values, ParseNumbers) {
  const ParseCase cases[] = {
      {I, u"", true, 0}, {N, u"", true, 0}, {C, u"", true, 0},
      {I, u"   ", true, 0}, {N, u"   ", true, 0}, {C, u"   ", true, 0},
      {I, u"-", true, 0}, {N, u"-", true, 0}, {C, u"-", true, 0},
      {N, u".5", true, 0.5}, {N, u"5.", true, 5}, {N, u"-2.25", true, -2.25},
      {I, u"1.5", false, 0}, {I, u"  42", true, 42}, {I, u"-7", true, -7},
      {C, u"1.234", false, 0}, {C, u"1.23", true, 1.23}, {C, u"-0.5", true, -0.5},
      {N, u"12 ", false, 0}, {N, u"+1", false, 0}, {N, u"1,000", false, 0},
      {N, u"1.2.3", false, 0}, {N, u"1e5", false, 0}, {N, u"--1", false, 0}, {N, u"- 1", false, 0},
      {I, u"2147483647", true, 2147483647.0}, {I, u"-2147483648", true, -2147483648.0},
      {I, u"2147483648", false, 0}, {I, u"-2147483649", false, 0}, {I, u"99999999999999999999", false, 0},
      {N, std::u16string(400, u'9'), false, 0},  // overflows to infinity: not a value
      {N, u"123456789012", true, 123456789012.0},
  };
  for (const ParseCase& c : cases) checkParse(c);
}

TEST_F(Values, CommaLocale) {
  platform::setDecimalSeparatorOverride(u",");
  EXPECT_EQ(decimalSeparator(), u',');
  checkParse({N, u"1,5", true, 1.5});
  checkParse({N, u"1.5", false, 0});
  checkParse({C, u"2,25", true, 2.25});
  EXPECT_EQ(shown(numberValue(1, 2.5)), u"2,500000");
  EXPECT_EQ(shown(numberValue(1, 2.5, ValueType::Currency)), u"2,50");
  EXPECT_EQ(shown(integerValue(1, -7)), u"-7");
  char16_t text[] = u"1.2.3";
  localizeDecimalPoint(text);
  EXPECT_EQ(std::u16string(text), u"1,2,3");
}

TEST_F(Values, CommaFromTheLocale) {
  platform::setDecimalSeparatorOverride(std::nullopt);
  platform::setLocale("de_DE");
  EXPECT_EQ(decimalSeparator(), u',');
  EXPECT_EQ(shown(numberValue(1, 2.5, ValueType::Currency)), u"2,50");
  platform::setLocale("");
}

TEST_F(Values, UnavailableSeparatorMeansDot) {
  platform::setDecimalSeparatorOverride(u"");
  EXPECT_EQ(decimalSeparator(), 0);
  checkParse({N, u"1.5", true, 1.5});
  EXPECT_EQ(shown(numberValue(1, 2.5)), u"2.500000");
  platform::setDecimalSeparatorOverride(u"::");  // longer than one character
  EXPECT_EQ(decimalSeparator(), 0);
  checkParse({N, u"0.25", true, 0.25});
}

TEST_F(Values, ParseYesNoTextAndTheRest) {
  for (const char16_t* yes : {u"1", u"T", u"t", u"Y", u"yes", u"true"}) {
    FieldValue value;
    EXPECT_TRUE(parseValue(value, yes, 64, 1, noPosition));
    EXPECT_EQ(value.payload.yesNo, 1);
  }
  for (const char16_t* no : {u"", u"0", u"n", u" y", u"Oui"}) {
    FieldValue value = yesNoValue(1, true);
    EXPECT_TRUE(parseValue(value, no, 64, 1, noPosition));
    EXPECT_EQ(value.payload.yesNo, 0);
  }

  FieldValue text;
  EXPECT_TRUE(parseValue(text, u"Hello", 32, 1, noPosition));
  EXPECT_EQ(text.payload.text.count, 6);
  std::u16string tooLong(300, u'x');
  EXPECT_TRUE(parseValue(text, tooLong.c_str(), 32, 1, noPosition));
  EXPECT_EQ(text.payload.text.count, 259);
  EXPECT_EQ(text.payload.text.chars[258], 0);

  for (std::uint8_t type : {8, 16}) {
    FieldValue calendar = calendarValue(1, static_cast<ValueType>(type), SYSTEMTIME{2000, 1, 0, 1, 0, 0, 0, 0});
    EXPECT_FALSE(parseValue(calendar, u"2000-01-01", type, 3, 4));
    EXPECT_EQ(calendar.payload.calendar.time.wYear, 2000);  // untouched
    EXPECT_EQ(calendar.fieldId, 3);
  }

  FieldValue unknown;
  EXPECT_FALSE(parseValue(unknown, u"12", 7, 3, 4));
  EXPECT_EQ(unknown.valueType, 32);
  EXPECT_EQ(unknown.payload.text.count, 1);
  EXPECT_EQ(unknown.payload.text.chars[0], 0);
}

TEST(CalendarParts, ClearTimeAndTimeOnlyDate) {
  SYSTEMTIME t{2024, 5, 5, 17, 14, 25, 36, 789};
  clearTimePart(t);
  EXPECT_EQ(t.wYear, 2024);
  EXPECT_EQ(t.wDay, 17);
  EXPECT_EQ(t.wHour + t.wMinute + t.wSecond + t.wMilliseconds, 0);
  SYSTEMTIME u{2024, 5, 5, 17, 14, 25, 36, 789};
  setTimeOnlyDate(u);
  EXPECT_EQ(u.wYear, 1899);
  EXPECT_EQ(u.wMonth, 12);
  EXPECT_EQ(u.wDay, 30);
  EXPECT_EQ(u.wDayOfWeek, 5);
  EXPECT_EQ(u.wHour, 14);
  EXPECT_EQ(u.wMilliseconds, 0);
}

}  // namespace
