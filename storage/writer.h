// Writing whole tsq files: the header, the layout and a data area with records
// chained in the given order. Used by the tsq tool, the tests and the samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "storage/format.h"

struct DatabaseImage;

// A header as stored.
struct HeaderImage {
  std::uint32_t reserved2 = 0;
  std::u16string headerText;
  std::uint32_t reserved4 = 0;
  std::u16string password;  // stored scrambled; empty = none
  std::u16string mailSubject;
  std::u16string mailRecipient;
  std::uint8_t reserved8 = 0;
  std::uint8_t readOnly = 0;
  COLORREF backgroundColour = 0xFFFFFF;
  std::uint32_t reserved11 = 0;
  std::uint32_t reserved13 = 0;
};

// A layout item as stored (kind data by kind; criterion constants as FieldValues).
struct ItemImage {
  std::u16string caption;
  std::uint8_t valueType = static_cast<std::uint8_t>(ValueType::Text);
  std::uint16_t fieldId = 0xFFFF;
  COLORREF colour = 0xFFFFFFFF;
  std::uint8_t kind = static_cast<std::uint8_t>(ItemKind::Label);
  std::uint8_t numericInput = 0;
  std::vector<std::u16string> choices;
  std::vector<std::uint8_t> expression;
  std::uint8_t decimalPlaces = 0;
  std::uint32_t target = 0;
  std::vector<SearchCriterion> criteria;
  std::uint8_t matchAll = 0;
  SmsItems sms;
  std::int32_t row = 0;
  std::int32_t left = 0;
  std::int32_t width = -1;
};

// A record: its FieldEntries in chain order.
struct RecordImage {
  std::vector<FieldValue> values;
  std::uint32_t flags = 0;
};

struct DatabaseImage {
  HeaderImage header;
  std::vector<ItemImage> items;
  std::uint32_t sortItem = noItem;
  std::uint32_t dataReserved = 0;
  std::vector<RecordImage> records;
  std::u16string smsNumber;   // remembered SMS texts; empty = none
  std::u16string smsMessage;
};

// The bytes of a whole file. Records and their entries are laid out one
// after the other behind the DataHeader: each RecordHeader followed by its
// FieldEntries, then the remembered SMS texts. No free blocks.
std::vector<std::uint8_t> encodeDatabase(const DatabaseImage& image);

// The data area alone, laid out as encodeDatabase lays it out.
std::vector<std::uint8_t> encodeDataArea(const DatabaseImage& image);

// The same laid out a record at a time: startDataArea, appendPackedRecord
// for each record in chain order, finishDataArea.
struct PackedData {
  std::vector<std::uint8_t> bytes;   // the data area, its DataHeader first
  Position lastRecord = noPosition;  // the record the next one follows
  std::uint32_t recordCount = 0;
};
void startDataArea(PackedData& data, std::uint32_t sortItem, std::uint32_t reserved);
void appendPackedRecord(PackedData& data, const RecordImage& record);
void finishDataArea(PackedData& data, const std::u16string& smsNumber, const std::u16string& smsMessage);

// Appends one record as it stands at position at of the data area: its
// RecordHeader with nextRecord, then its FieldEntries one after the other,
// chained in their order.
void appendRecord(std::vector<std::uint8_t>& bytes, const RecordImage& record, Position at, Position nextRecord);

// The bytes of one FieldEntry (storedSize bytes) with the given next.
std::vector<std::uint8_t> encodeFieldEntry(const FieldValue& value);
