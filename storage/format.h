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
    std::uint8_t bytes[520];
  } payload{};
};
static_assert(sizeof(FieldValue) == 528);
constexpr std::uint32_t fieldHeaderSize = 8;
constexpr std::uint32_t maxFieldValueSize = 528;

struct RecordHeader {
  Position firstField = noPosition;
  Position nextRecord = noPosition;
  std::uint32_t flags = 0;  // bit 31 in memory: the current record has unsaved changes
};
constexpr std::uint32_t recordHeaderSize = 12;
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
constexpr std::uint32_t dataHeaderSize = 28;

struct FreeBlock {
  Position next = noPosition;
  std::uint32_t size = 0;
};
constexpr std::uint32_t freeBlockSize = 8;

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
