#include "storage/writer.h"

#include <algorithm>

#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/primitives.h"

namespace {

// Appends little-endian fields to a growing file image.
struct Out {
  std::vector<std::uint8_t>& bytes;

  void u8(std::uint8_t v) { bytes.push_back(v); }
  // Each field grows the buffer first and stores into the new tail:
  // inserting from a small local array trips GCC's stringop-overflow
  // analysis at -O3, a false positive inside std::vector.
  std::uint8_t* grow(std::size_t length) {
    const std::size_t at = bytes.size();
    bytes.resize(at + length);
    return bytes.data() + at;
  }
  void u16(std::uint16_t v) { storeU16(grow(2), v); }
  void u32(std::uint32_t v) { storeU32(grow(4), v); }
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f64(double v) { storeDouble(grow(8), v); }
  void raw(const void* data, std::size_t length) {
    auto p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + length);
  }
  void units(const char16_t* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) u16(text[i]);
  }
  // A text8 holds at most 254 characters; longer texts are cut there.
  void text8(const std::u16string& text) {
    std::size_t length = std::min<std::size_t>(text.size(), encoded::maxText8Characters);
    u8(static_cast<std::uint8_t>(length + 1));
    units(text.data(), length);
    u16(0);
  }
  void text16(const char16_t* text, std::size_t length) {
    u16(static_cast<std::uint16_t>(length + 1));
    units(text, length);
    u16(0);
  }
  void scrambledText8(const std::u16string& text) {
    std::size_t length = std::min<std::size_t>(text.size(), encoded::maxText8Characters);
    std::u16string terminated = text.substr(0, length);
    terminated.push_back(0);
    std::uint16_t scrambled[encoded::maxText8Characters + 1];
    scramble(terminated.data(), scrambled, static_cast<int>(terminated.size()));
    u8(static_cast<std::uint8_t>(terminated.size()));
    for (std::size_t i = 0; i < terminated.size(); ++i) u16(scrambled[i]);
  }
  void systemTime(const SYSTEMTIME& t) {
    for (WORD w : {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}) u16(w);
  }
};

// The characters of a Text payload before its terminator, by its count (as
// storedSize counts them), so that an entry's bytes match its stored size.
std::size_t textLength(const TextValue& text) {
  return std::clamp<std::size_t>(text.count, 1, room::valueText) - 1;
}

void writeCriterion(Out& out, const SearchCriterion& criterion) {
  const FieldValue& value = criterion.value;
  out.u32(criterion.item);
  out.u8(criterion.op);
  out.u8(value.valueType);
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      out.i32(value.payload.integer);
      break;
    case ValueType::Number:
    case ValueType::Currency:
      out.f64(value.payload.number);
      break;
    case ValueType::Date:
    case ValueType::Time:
      out.u32(value.payload.calendar.noValue);
      out.systemTime(value.payload.calendar.time);
      break;
    case ValueType::Text:
      out.text16(value.payload.text.chars, textLength(value.payload.text));
      break;
    case ValueType::YesNo:
      out.u8(value.payload.yesNo);
      break;
  }
}

void writeItem(Out& out, const ItemImage& item) {
  out.text8(item.caption);
  out.u8(item.valueType);
  out.u16(item.fieldId);
  out.u32(item.colour);
  out.u8(item.kind);
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      out.u8(item.numericInput);
      break;
    case ItemKind::PickList: {
      std::size_t count = std::min<std::size_t>(item.choices.size(), maxChoices);
      out.u8(static_cast<std::uint8_t>(count));
      for (std::size_t i = 0; i < count; ++i) out.text8(item.choices[i]);
      break;
    }
    case ItemKind::Calculated: {
      std::size_t length = std::min<std::size_t>(item.expression.size(), maxExpressionBytes);
      out.u16(static_cast<std::uint16_t>(length));
      out.raw(item.expression.data(), length);
      out.u8(item.decimalPlaces);
      break;
    }
    case ItemKind::GoToButton:
      out.u32(item.target);
      break;
    case ItemKind::SearchButton: {
      std::size_t count = std::min<std::size_t>(item.criteria.size(), maxCriteria);
      out.u8(static_cast<std::uint8_t>(count));
      for (std::size_t i = 0; i < count; ++i) writeCriterion(out, item.criteria[i]);
      out.u8(item.matchAll);
      break;
    }
    case ItemKind::SmsButton:
      out.u32(item.sms.phoneItem);
      out.u32(item.sms.messageItem);
      break;
    case ItemKind::Label:
    case ItemKind::CheckBox:
      break;
  }
  out.i32(item.row);
  out.i32(item.left);
  out.i32(item.width);
}

void writeHeader(Out& out, const HeaderImage& header, std::size_t itemCount) {
  out.u32(formatVersion);
  out.u32(header.reserved2);
  out.text8(header.headerText);
  out.u32(header.reserved4);
  out.scrambledText8(header.password);
  out.text8(header.mailSubject);
  out.text8(header.mailRecipient);
  out.u8(header.reserved8);
  out.u8(header.readOnly);
  out.u32(header.backgroundColour);
  out.u32(header.reserved11);
  out.u32(static_cast<std::uint32_t>(itemCount));
  out.u32(header.reserved13);
}

FieldValue standaloneText(const std::u16string& text) {
  FieldValue value;
  value.next = noPosition;
  value.fieldId = 0;
  value.valueType = static_cast<std::uint8_t>(ValueType::Text);
  setText(value, text.c_str());
  return value;
}

}  // namespace

std::vector<std::uint8_t> encodeFieldEntry(const FieldValue& value) {
  std::vector<std::uint8_t> bytes;
  Out out{bytes};
  out.u32(value.next);
  out.u16(value.fieldId);
  out.u8(value.valueType);
  out.u8(0);
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      out.i32(payload.integer);
      break;
    case ValueType::Number:
    case ValueType::Currency:
      out.f64(payload.number);
      break;
    case ValueType::Date:
    case ValueType::Time:
      out.u32(payload.calendar.noValue);
      out.systemTime(payload.calendar.time);
      break;
    case ValueType::Text:
      out.text16(payload.text.chars, textLength(payload.text));
      break;
    case ValueType::YesNo:
      out.u8(payload.yesNo);
      break;
    default:
      out.raw(payload.bytes, sizeof payload.bytes);
      break;
  }
  return bytes;
}

void appendRecord(std::vector<std::uint8_t>& bytes, const RecordImage& record, Position at, Position nextRecord) {
  Out out{bytes};
  Position firstField = record.values.empty() ? noPosition : at + recordHeaderSize;
  out.u32(firstField);
  out.u32(nextRecord);
  out.u32(record.flags);
  Position entryAt = firstField;
  for (std::size_t v = 0; v < record.values.size(); ++v) {
    FieldValue entry = record.values[v];
    entryAt += storedSize(entry);
    entry.next = v + 1 < record.values.size() ? entryAt : noPosition;
    std::vector<std::uint8_t> entryBytes = encodeFieldEntry(entry);
    out.raw(entryBytes.data(), entryBytes.size());
  }
}

void startDataArea(PackedData& data, std::uint32_t sortItem, std::uint32_t reserved) {
  data = PackedData{};
  Out out{data.bytes};
  out.u32(0);           // recordCount
  out.u32(noPosition);  // no free blocks
  out.u32(noPosition);  // firstRecord
  out.u32(sortItem);
  out.u32(reserved);
  out.u32(noPosition);  // smsNumberValue
  out.u32(noPosition);  // smsMessageValue
}

void appendPackedRecord(PackedData& data, const RecordImage& record) {
  const auto at = static_cast<Position>(data.bytes.size());
  // The previous record, or the DataHeader for the first, leads to it.
  storeU32(data.bytes.data() + (data.lastRecord == noPosition ? dataHeaderOffset::firstRecord
                                                               : data.lastRecord + recordHeaderOffset::nextRecord),
           at);
  appendRecord(data.bytes, record, at, noPosition);
  data.lastRecord = at;
  storeU32(data.bytes.data() + dataHeaderOffset::recordCount, ++data.recordCount);
}

void finishDataArea(PackedData& data, const std::u16string& smsNumber, const std::u16string& smsMessage) {
  for (auto [text, headerField] : {std::pair{&smsNumber, dataHeaderOffset::smsNumberValue},
                                   std::pair{&smsMessage, dataHeaderOffset::smsMessageValue}}) {
    if (text->empty()) continue;
    storeU32(data.bytes.data() + headerField, static_cast<Position>(data.bytes.size()));
    std::vector<std::uint8_t> entry = encodeFieldEntry(standaloneText(*text));
    data.bytes.insert(data.bytes.end(), entry.begin(), entry.end());
  }
}

std::vector<std::uint8_t> encodeDataArea(const DatabaseImage& image) {
  PackedData data;
  startDataArea(data, image.sortItem, image.dataReserved);
  for (const RecordImage& record : image.records) appendPackedRecord(data, record);
  finishDataArea(data, image.smsNumber, image.smsMessage);
  return std::move(data.bytes);
}

std::vector<std::uint8_t> encodeDatabase(const DatabaseImage& image) {
  std::vector<std::uint8_t> bytes;
  Out out{bytes};
  std::size_t itemCount = std::min<std::size_t>(image.items.size(), maxItems);
  writeHeader(out, image.header, itemCount);
  for (std::size_t i = 0; i < itemCount; ++i) writeItem(out, image.items[i]);
  std::vector<std::uint8_t> data = encodeDataArea(image);
  out.raw(data.data(), data.size());
  return bytes;
}
