#include "records/encoding.h"

#include <cstring>

#include "storage/bytes.h"
#include "storage/checks.h"
#include "storage/primitives.h"
#include "storage/store.h"

namespace {

// position + offset, or none when the sum leaves the 32-bit position range.
Position advance(Position position, std::uint32_t offset) {
  return position > noPosition - 1 - offset ? noPosition : position + offset;
}

ErrorCode readPayloadAt(DataFile& file, Position position, std::uint32_t length, void* destination) {
  Position at = advance(position, fieldHeaderSize);
  return at == noPosition ? err::readData : readAt(file, at, length, destination);
}

ErrorCode readTextPayload(DataFile& file, Position position, TextValue& text) {
  std::uint8_t raw[2];
  if (ErrorCode code = readPayloadAt(file, position, 2, raw)) return code;
  std::uint16_t count = loadU16(raw);
  if (count == 0 || count > room::valueText) return err::readData;
  Position at = advance(position, fieldHeaderSize + 2);
  if (at == noPosition) return err::readData;
  if (ErrorCode code = readAt(file, at, count * 2u, text.chars)) return code;
  if (text.chars[count - 1] != 0) return err::readData;
  text.count = count;
  return err::ok;
}

// The payload bytes an entry of the type needs before its text (if any).
std::uint32_t fixedPayload(std::uint8_t valueType) {
  switch (static_cast<ValueType>(valueType)) {
    case ValueType::Integer:
      return 4;
    case ValueType::Number:
    case ValueType::Currency:
      return 8;
    case ValueType::Date:
    case ValueType::Time:
      return 20;
    case ValueType::Text:
      return 2;
    case ValueType::YesNo:
      return 1;
  }
  return 0;
}

// Most entries lie whole inside a page the cache holds: decoded where they
// stand. False, with value untouched, for anything else (an entry across
// pages or not cached, or one that is not sound): the part-by-part reading
// then does what it always did, the same reads and the same answer.
bool decodeCached(DataFile& file, Position position, FieldValue& value) {
  std::uint32_t available = 0;
  const std::uint8_t* p = cachedBytesAt(file, position, available);
  if (p == nullptr || available < fieldHeaderSize) return false;
  const std::uint8_t type = p[6];
  const std::uint32_t fixed = fixedPayload(type);
  if (fixed == 0 || available - fieldHeaderSize < fixed) return false;
  const std::uint8_t* payload = p + fieldHeaderSize;
  std::uint16_t count = 0;
  if (static_cast<ValueType>(type) == ValueType::Text) {
    count = loadU16(payload);
    if (count == 0 || count > room::valueText || available - fieldHeaderSize - 2 < count * 2u) return false;
    // The terminator, both bytes of it.
    if (payload[2 * count] != 0 || payload[2 * count + 1] != 0) return false;
  }
  value.next = loadU32(p);
  value.fieldId = loadU16(p + 4);
  value.valueType = type;
  value.reserved = p[7];
  auto& out = value.payload;
  switch (static_cast<ValueType>(type)) {
    case ValueType::Integer:
      out.integer = static_cast<std::int32_t>(loadU32(payload));
      break;
    case ValueType::Number:
    case ValueType::Currency:
      out.number = loadDouble(payload);
      break;
    case ValueType::Date:
    case ValueType::Time:
      out.calendar.noValue = loadU32(payload);
      std::memcpy(&out.calendar.time, payload + 4, sizeof(SYSTEMTIME));
      if (out.calendar.noValue == 1) resetValue(value);
      break;
    case ValueType::Text:
      std::memcpy(out.text.chars, payload + 2, count * 2u);
      out.text.count = count;
      break;
    case ValueType::YesNo:
      out.yesNo = payload[0];
      break;
  }
  return true;
}

}  // namespace

ErrorCode readFieldValue(DataFile& file, Position position, FieldValue& value) {
  if (decodeCached(file, position, value)) return err::ok;
  std::uint8_t header[fieldHeaderSize];
  if (ErrorCode code = readAt(file, position, fieldHeaderSize, header)) return code;
  value.next = loadU32(header);
  value.fieldId = loadU16(header + 4);
  value.valueType = header[6];
  value.reserved = header[7];

  auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: {
      std::uint8_t raw[4];
      if (ErrorCode code = readPayloadAt(file, position, 4, raw)) return code;
      payload.integer = static_cast<std::int32_t>(loadU32(raw));
      return err::ok;
    }
    case ValueType::Number:
    case ValueType::Currency: {
      std::uint8_t raw[8];
      if (ErrorCode code = readPayloadAt(file, position, 8, raw)) return code;
      payload.number = loadDouble(raw);
      return err::ok;
    }
    case ValueType::Date:
    case ValueType::Time: {
      std::uint8_t raw[20];
      if (ErrorCode code = readPayloadAt(file, position, 20, raw)) return code;
      payload.calendar.noValue = loadU32(raw);
      std::memcpy(&payload.calendar.time, raw + 4, sizeof(SYSTEMTIME));
      // Without a value, the calendar part is what a picker offers: now.
      if (payload.calendar.noValue == 1) resetValue(value);
      return err::ok;
    }
    case ValueType::Text:
      return readTextPayload(file, position, payload.text);
    case ValueType::YesNo:
      return readPayloadAt(file, position, 1, &payload.yesNo);
  }
  return internalError();
}

void resetValue(FieldValue& value) {
  auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      payload.integer = 0;
      break;
    case ValueType::Number:
    case ValueType::Currency:
      payload.number = 0.0;
      break;
    case ValueType::Date:
      payload.calendar.noValue = 1;
      GetLocalTime(&payload.calendar.time);
      clearTimePart(payload.calendar.time);
      break;
    case ValueType::Time:
      payload.calendar.noValue = 1;
      GetLocalTime(&payload.calendar.time);
      setTimeOnlyDate(payload.calendar.time);
      break;
    case ValueType::Text:
      payload.text.count = 1;
      payload.text.chars[0] = 0;
      break;
    case ValueType::YesNo:
      payload.yesNo = 0;
      break;
  }
}

std::uint32_t storedSize(const FieldValue& value) {
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      return 12;
    case ValueType::Number:
    case ValueType::Currency:
      return 16;
    case ValueType::Date:
    case ValueType::Time:
      return 28;
    case ValueType::Text: {
      // An in-memory count is 1..259; anything else is held to that range.
      std::uint32_t count = value.payload.text.count;
      if (count < 1) count = 1;
      if (count > room::valueText) count = room::valueText;
      return 2 * count + 10;
    }
    case ValueType::YesNo:
      return 9;
  }
  return maxFieldValueSize;
}

bool isEmptyValue(const FieldValue& value) {
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer:
      return payload.integer == 0;
    case ValueType::Number:
    case ValueType::Currency:
      return payload.number == 0.0;
    case ValueType::Date:
    case ValueType::Time:
      return payload.calendar.noValue == 1;
    case ValueType::Text:
      return payload.text.count <= 1 || payload.text.chars[0] == 0;
    case ValueType::YesNo:
      return payload.yesNo == 0;
  }
  return false;
}

ErrorCode findKeyField(Store& store, Position firstField, std::int32_t itemIndex, Position& position,
                       StepBudget* budget) {
  position = noPosition;
  if (itemIndex < 0 || itemIndex >= store.layout.itemCount) return err::ok;
  const LayoutItem& item = store.layout.items[itemIndex];
  ChainWalk walk(store.file);
  for (Position at = firstField; at != noPosition;) {
    if (!walk.step(at) || (budget != nullptr && !budget->take())) return err::readData;
    std::uint8_t copied[fieldHeaderSize];
    std::uint32_t available = 0;
    const std::uint8_t* header = cachedBytesAt(store.file, at, available);
    if (header == nullptr || available < fieldHeaderSize) {
      header = copied;
      if (ErrorCode code = readAt(store.file, at, fieldHeaderSize, copied)) return code;
    }
    if (header[6] == item.valueType && loadU16(header + 4) == item.fieldId) {
      position = at;
      return err::ok;
    }
    at = loadU32(header);
  }
  return err::ok;
}

ErrorCode readRecordHeader(DataFile& file, Position position, RecordHeader& header) {
  std::uint8_t copied[recordHeaderSize];
  std::uint32_t available = 0;
  const std::uint8_t* raw = cachedBytesAt(file, position, available);
  if (raw == nullptr || available < recordHeaderSize) {
    raw = copied;
    if (ErrorCode code = readAt(file, position, recordHeaderSize, copied)) return code;
  }
  header.firstField = loadU32(raw);
  header.nextRecord = loadU32(raw + 4);
  header.flags = loadU32(raw + 8);
  return err::ok;
}

ErrorCode writeRecordHeader(DataFile& file, Position position, const RecordHeader& header) {
  std::uint8_t raw[recordHeaderSize];
  storeU32(raw, header.firstField);
  storeU32(raw + 4, header.nextRecord);
  storeU32(raw + 8, header.flags);
  return writeAt(file, position, recordHeaderSize, raw);
}

ErrorCode loadRecordValues(Store& store) {
  store.records.currentRecordLoaded = false;
  // What a failed commit left unsaved belongs to the edit being replaced by
  // the file's own record: stretches it gave up may still be named there.
  store.records.recordHeaderUnsaved = false;
  store.records.pendingReleases.clear();
  for (std::int32_t i = 0; i < store.layout.itemCount; ++i) {
    LayoutItem& item = store.layout.items[i];
    item.valuePosition = noPosition;
    item.value.next = noPosition;
    resetValue(item.value);
  }
  if (store.records.currentRecord == noPosition) return err::ok;

  if (ErrorCode code = readRecordHeader(store.file, store.records.currentRecord, store.records.currentRecordHeader)) return code;
  store.records.currentRecordHeader.flags &= ~modifiedFlag;

  ChainWalk walk(store.file);
  FieldValue scratch;
  for (Position at = store.records.currentRecordHeader.firstField; at != noPosition; at = scratch.next) {
    if (!walk.step(at)) return err::readData;
    if (ErrorCode code = readFieldValue(store.file, at, scratch)) return code;
    const std::int32_t i = itemHolding(store, scratch.valueType, scratch.fieldId);
    if (i < 0) continue;
    store.layout.items[i].valuePosition = at;
    store.layout.items[i].value = scratch;
  }
  return err::ok;
}

void setText(FieldValue& value, const char16_t* text) {
  std::uint16_t length = 0;
  while (length < room::valueText - 1 && text[length] != 0) {
    value.payload.text.chars[length] = text[length];
    ++length;
  }
  value.payload.text.chars[length] = 0;
  value.payload.text.count = static_cast<std::uint16_t>(length + 1);
}

bool isValueKind(std::uint8_t kind) {
  auto k = static_cast<ItemKind>(kind);
  return k == ItemKind::Field || k == ItemKind::CheckBox || k == ItemKind::PickList;
}

std::int32_t itemHolding(const Store& store, std::uint8_t valueType, std::uint16_t fieldId) {
  for (std::int32_t i = 0; i < store.layout.itemCount; ++i) {
    const LayoutItem& item = store.layout.items[i];
    // The fieldId tells items apart soonest.
    if (item.fieldId == fieldId && item.valueType == valueType && isValueKind(item.kind)) return i;
  }
  return -1;
}

std::int32_t keyItem(const Store& store) {
  // A stored sortItem outside the layout counts as none.
  if (store.file.header.sortItem < static_cast<std::uint32_t>(store.layout.itemCount))
    return static_cast<std::int32_t>(store.file.header.sortItem);
  for (std::int32_t i = 0; i < store.layout.itemCount; ++i) {
    auto kind = static_cast<ItemKind>(store.layout.items[i].kind);
    if (kind == ItemKind::Field || kind == ItemKind::PickList) return i;
  }
  return -1;
}

void clearTimePart(SYSTEMTIME& time) {
  time.wHour = 0;
  time.wMinute = 0;
  time.wSecond = 0;
  time.wMilliseconds = 0;
}

void setTimeOnlyDate(SYSTEMTIME& time) {
  time.wYear = 1899;
  time.wMonth = 12;
  time.wDay = 30;
  time.wMilliseconds = 0;
}
