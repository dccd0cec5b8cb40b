// The tsq file format: value types, item kinds, the stored records and their
// in-memory forms. Byte layouts are little-endian and unpadded in the file;
// the structures here are the in-memory forms, converted field by field.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

// ErrorCode: 0 for success, otherwise the string-table id of the message.
using ErrorCode = std::uint16_t;
namespace err {
constexpr ErrorCode ok = 0;
constexpr ErrorCode canceled = 4;         // "Operation canceled"
constexpr ErrorCode windowCreation = 14;  // "Window creation error"
constexpr ErrorCode readData = 15;        // "Error reading data"
constexpr ErrorCode writeData = 16;       // "Error writing data"
constexpr ErrorCode conversion = 24;      // "Data conversion error"
constexpr ErrorCode newerVersion = 25;    // "Newer Tessra required to read this database"
constexpr ErrorCode recordNotFound = 26;  // "Record not found"
constexpr ErrorCode memory = 27;          // "Memory allocation error"
constexpr ErrorCode noSortOrder = 28;     // "You must select a sort order before searching"
constexpr ErrorCode whileEditing = 29;    // "This cannot be done while editing a record"
constexpr ErrorCode noPhoneNumber = 30;   // "No phone number found for this entry"
constexpr ErrorCode emailFailed = 31;     // "Unable to email database"
constexpr ErrorCode wrongPassword = 33;   // "Incorrect password"
constexpr ErrorCode badExpression = 44;   // "Invalid expression in calculated column"
constexpr ErrorCode divisionByZero = 45;  // "Division by zero"
constexpr ErrorCode smsFailed = 46;       // "Unable to send SMS message"
constexpr ErrorCode internal = 53;        // "Internal error"
}  // namespace err

// A position inside the data area, counted from its start; none = 0xFFFFFFFF.
using Position = std::uint32_t;
constexpr Position noPosition = 0xFFFFFFFF;

enum class ValueType : std::uint8_t {
  Integer = 2,
  Number = 4,
  Currency = 5,
  Date = 8,
  Time = 16,
  Text = 32,
  YesNo = 64,
};
bool isKnownValueType(std::uint8_t code);
// Integer, Number or Currency: typed on the keypad as digits.
bool isNumericType(std::uint8_t code);

enum class ItemKind : std::uint8_t {
  Label = 1,
  Field = 2,
  CheckBox = 4,
  PickList = 5,
  Calculated = 8,
  GoToButton = 9,
  SearchButton = 19,
  SmsButton = 20,
};
bool isKnownItemKind(std::uint8_t code);

// ---- Sizes in the file ---------------------------------------------------------
//
// Every size and offset of a stored structure is the sum of its fields, so
// that the reader, the writer and the tool cannot disagree; docs/format.md
// draws the same structures as tables.
namespace encoded {
constexpr std::uint32_t u8 = 1;
constexpr std::uint32_t u16 = 2;
constexpr std::uint32_t u32 = 4;
constexpr std::uint32_t bytes8 = 8;                 // an IEEE-754 double
constexpr std::uint32_t calendarTime = 8 * u16;     // bytes16: the eight u16 fields of a SYSTEMTIME
constexpr std::uint32_t unit = u16;                 // one UTF-16 unit of a text
constexpr std::uint32_t maxText8Characters = 254;   // a text8's count byte holds characters + 1
}  // namespace encoded

// Rooms, in UTF-16 units with the terminator, of the texts the layout holds.
namespace room {
constexpr int headerText = 260;
constexpr int password = 64;
constexpr int mailSubject = 64;
constexpr int mailRecipient = 128;
constexpr int caption = 256;
constexpr int choice = 32;
constexpr int criterionText = 259;
constexpr int filePath = 260;
constexpr int valueText = 259;  // a Text FieldValue: 258 characters and the terminator
}  // namespace room

constexpr int maxItems = 100;
constexpr int maxCriteria = 3;
constexpr int maxChoices = 255;
constexpr int maxExpressionBytes = 256;
constexpr std::uint32_t formatVersion = 1;
constexpr std::uint32_t anyTextItem = 0xFFFFFFFE;  // criterion item: any Text item
constexpr std::uint32_t noItem = 0xFFFFFFFF;

// FieldEntry: next, fieldId, valueType, reserved, then the payload.
namespace fieldEntryOffset {
constexpr std::uint32_t next = 0;
constexpr std::uint32_t fieldId = next + encoded::u32;
constexpr std::uint32_t valueType = fieldId + encoded::u16;
constexpr std::uint32_t reserved = valueType + encoded::u8;
constexpr std::uint32_t payload = reserved + encoded::u8;
}  // namespace fieldEntryOffset
constexpr std::uint32_t fieldHeaderSize = fieldEntryOffset::payload;
// Payloads by type; a Text's is its u16 count and count units.
namespace payloadSize {
constexpr std::uint32_t integer = encoded::u32;
constexpr std::uint32_t number = encoded::bytes8;  // Number and Currency
constexpr std::uint32_t calendar = encoded::u32 + encoded::calendarTime;  // noValue, then the time
constexpr std::uint32_t yesNo = encoded::u8;
constexpr std::uint32_t textCount = encoded::u16;
constexpr std::uint32_t text(std::uint32_t count) { return textCount + count * encoded::unit; }
constexpr std::uint32_t largest = 520;  // what a FieldValue holds; a Text of 259 units takes text(259)
}  // namespace payloadSize

// FieldValue: an 8-byte header and the payload of its ValueType; the same
// bytes are a FieldEntry in the file (at most 528 bytes).
struct CalendarValue {
  std::uint32_t noValue;  // 0: set, 1: no date/time
  SYSTEMTIME time;
};
struct TextValue {
  std::uint16_t count;  // units including the terminator, 1..259
  char16_t chars[room::valueText];
};
struct FieldValue {
  std::uint32_t next = noPosition;
  std::uint16_t fieldId = 0;
  std::uint8_t valueType = 0;
  std::uint8_t reserved = 0;
  union Payload {
    std::int32_t integer;
    double number;  // Number and Currency
    CalendarValue calendar;
    TextValue text;
    std::uint8_t yesNo;
    std::uint8_t bytes[payloadSize::largest];
  } payload{};
};
constexpr std::uint32_t maxFieldValueSize = fieldHeaderSize + payloadSize::largest;
static_assert(sizeof(FieldValue) == maxFieldValueSize);
static_assert(payloadSize::text(room::valueText) <= payloadSize::largest);
static_assert(payloadSize::calendar == sizeof(CalendarValue));

struct RecordHeader {
  Position firstField = noPosition;
  Position nextRecord = noPosition;
  std::uint32_t flags = 0;  // bit 31 in memory: the current record has unsaved changes
};
namespace recordHeaderOffset {
constexpr std::uint32_t firstField = 0;
constexpr std::uint32_t nextRecord = firstField + encoded::u32;
constexpr std::uint32_t flags = nextRecord + encoded::u32;
}  // namespace recordHeaderOffset
constexpr std::uint32_t recordHeaderSize = recordHeaderOffset::flags + encoded::u32;
constexpr std::uint32_t modifiedFlag = 0x80000000u;

struct DataHeader {
  std::uint32_t recordCount = 0;
  Position freeList = noPosition;
  Position firstRecord = noPosition;
  std::uint32_t sortItem = noItem;  // index of the LayoutItem, or none
  std::uint32_t reserved = 0;
  Position smsNumberValue = noPosition;
  Position smsMessageValue = noPosition;
};
namespace dataHeaderOffset {
constexpr std::uint32_t recordCount = 0;
constexpr std::uint32_t freeList = recordCount + encoded::u32;
constexpr std::uint32_t firstRecord = freeList + encoded::u32;
constexpr std::uint32_t sortItem = firstRecord + encoded::u32;
constexpr std::uint32_t reserved = sortItem + encoded::u32;
constexpr std::uint32_t smsNumberValue = reserved + encoded::u32;
constexpr std::uint32_t smsMessageValue = smsNumberValue + encoded::u32;
}  // namespace dataHeaderOffset
constexpr std::uint32_t dataHeaderSize = dataHeaderOffset::smsMessageValue + encoded::u32;

struct FreeBlock {
  Position next = noPosition;
  std::uint32_t size = 0;
};
namespace freeBlockOffset {
constexpr std::uint32_t next = 0;
constexpr std::uint32_t size = next + encoded::u32;
}  // namespace freeBlockOffset
constexpr std::uint32_t freeBlockSize = freeBlockOffset::size + encoded::u32;

struct SearchCriterion {
  std::uint32_t item = 0;  // layout index, or anyTextItem
  std::uint8_t op = 10;    // 10..16
  FieldValue value;        // the constant; valueType as stored (any code)
};
namespace op {
constexpr std::uint8_t equal = 10;
constexpr std::uint8_t notEqual = 11;
constexpr std::uint8_t less = 12;
constexpr std::uint8_t greater = 13;
constexpr std::uint8_t lessOrEqual = 14;
constexpr std::uint8_t greaterOrEqual = 15;
constexpr std::uint8_t contains = 16;
}  // namespace op

struct SearchData {
  std::uint8_t criterionCount = 0;
  SearchCriterion criteria[maxCriteria];
  std::uint8_t matchAll = 0;
};

struct SmsItems {
  std::uint32_t phoneItem = noItem;
  std::uint32_t messageItem = noItem;
};

struct PickListData {
  std::uint8_t choiceCount = 0;
  char16_t choices[maxChoices][room::choice];
};

// Node codes of a Calculated item's stored prefix expression.
namespace expr {
constexpr std::uint8_t add = 1;
constexpr std::uint8_t subtract = 2;
constexpr std::uint8_t multiply = 3;
constexpr std::uint8_t divide = 4;
constexpr std::uint8_t column = 6;
constexpr std::uint8_t constant = 7;
constexpr std::uint8_t negate = 9;
constexpr std::uint8_t invalid = 255;
}  // namespace expr

struct CalculatedData {
  std::uint16_t expressionLength = 0;
  std::uint8_t expression[maxExpressionBytes];
  std::uint8_t decimalPlaces = 0;
};

// One item of a database's form layout, with the current record's value.
struct LayoutItem {
  // Stored
  char16_t caption[room::caption];
  std::uint8_t valueType = 0;
  std::uint16_t fieldId = 0xFFFF;
  COLORREF colour = 0xFFFFFFFF;
  std::uint8_t kind = 0;
  // Kind data
  std::uint8_t numericInput = 0;  // Field
  PickListData pickList;          // PickList
  CalculatedData calculated;      // Calculated
  std::uint32_t target = 0;       // GoToButton
  SearchData search;              // SearchButton
  SmsItems sms;                   // SmsButton
  std::int32_t row = 0;
  std::int32_t left = 0;
  std::int32_t width = 0;
  // The current record's value of the item and the position of its
  // FieldEntry (none when the record stores nothing for it).
  FieldValue value;
  Position valuePosition = noPosition;
};
