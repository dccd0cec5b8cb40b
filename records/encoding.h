// Record encoding and field access: the RecordHeader and FieldEntry chain of
// a stored record, and the FieldValue that is both the stored and the
// in-memory form of a value.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct DataFile;
struct Store;

// Reads the FieldEntry at position into value. 53 for none or an unknown
// ValueType, 15 for a failed read or a Text count of 0, above 259 or
// without its terminator.
ErrorCode readFieldValue(DataFile& file, Position position, FieldValue& value);

// Writes the empty value of value's type into its payload; the header stays.
void resetValue(FieldValue& value);

// The stored size of the FieldEntry value would occupy (header included).
std::uint32_t storedSize(const FieldValue& value);

// True when value holds its type's empty value.
bool isEmptyValue(const FieldValue& value);

// Follows the FieldEntry chain from firstField for the entry of item
// itemIndex (-1: none). The walk is bounded (a revisited position is 15).
// With a budget, every entry visited takes a step of it; an exhausted
// budget is 15.
struct StepBudget;
ErrorCode findKeyField(Store& store, Position firstField, std::int32_t itemIndex, Position& position,
                       StepBudget* budget = nullptr);

// The 12-byte RecordHeader at position, as stored (bit 31 included).
ErrorCode readRecordHeader(DataFile& file, Position position, RecordHeader& header);
ErrorCode writeRecordHeader(DataFile& file, Position position, const RecordHeader& header);

// Makes every item's valuePosition and value describe the current record
// (or the empty record when it is none). Reads the RecordHeader into
// currentRecordHeader with bit 31 cleared.
ErrorCode loadRecordValues(Store& store);

// Text helpers for FieldValues.
void setText(FieldValue& value, const char16_t* text);

// The item whose values order and label the records: sortItem when set,
// otherwise the first Field or PickList item, otherwise -1.
std::int32_t keyItem(const Store& store);

// Field, CheckBox and PickList items hold record values.
bool isValueKind(std::uint8_t kind);

// The item that shows a record's FieldEntry of this type and fieldId: the
// first value item, in layout order, that matches both; -1 for none.
std::int32_t itemHolding(const Store& store, std::uint8_t valueType, std::uint16_t fieldId);

// The calendar conventions of the two calendar types: a Date carries no
// time of day, a Time the date 1899-12-30.
void clearTimePart(SYSTEMTIME& time);
void setTimeOnlyDate(SYSTEMTIME& time);
