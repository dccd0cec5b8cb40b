// Record encoding and field access: the RecordHeader and FieldEntry chain of
// a stored record, and the FieldValue that is both the stored and the
// in-memory form of a value.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct Database;

// Reads the FieldEntry at position into value. 53 for none or an unknown
// ValueType, 15 for a failed read or a Text count of 0, above 259 or
// without its terminator.
ErrorCode readFieldValue(Database& db, Position position, FieldValue& value);

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
ErrorCode findKeyField(Database& db, Position firstField, std::int32_t itemIndex, Position& position,
                       StepBudget* budget = nullptr);

// The 12-byte RecordHeader at position, as stored (bit 31 included).
ErrorCode readRecordHeader(Database& db, Position position, RecordHeader& header);
ErrorCode writeRecordHeader(Database& db, Position position, const RecordHeader& header);

// Makes every item's valuePosition and value describe db.currentRecord (or
// the empty record when it is none). Reads the RecordHeader into
// db.currentRecordHeader with bit 31 cleared.
ErrorCode loadRecordValues(Database& db);

// Text helpers for FieldValues.
void setText(FieldValue& value, const char16_t* text);
