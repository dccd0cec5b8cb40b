#include "tools/tsq/tsq_file.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/text.h"
#include "platform/windows.h"
#include "records/encoding.h"
#include "resources/string_table.h"
#include "storage/bytes.h"
#include "storage/layout.h"

static_assert(std::endian::native == std::endian::little, "payloads are copied as stored");

namespace tsq {
namespace {

std::optional<std::u16string> givenPassword;

// Reads a line from the terminal with echo off; nullopt without a terminal.
std::optional<std::string> promptOnTerminal(const std::string& prompt) {
  int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) return std::nullopt;
  termios saved{};
  bool restore = ::tcgetattr(tty, &saved) == 0;
  if (restore) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ICANON;
    ::tcsetattr(tty, TCSAFLUSH, &quiet);
  }
  [[maybe_unused]] auto written = ::write(tty, prompt.data(), prompt.size());
  std::string line;
  char c = 0;
  while (line.size() < 1024 && ::read(tty, &c, 1) == 1 && c != '\n') line.push_back(c);
  if (restore) ::tcsetattr(tty, TCSAFLUSH, &saved);
  written = ::write(tty, "\n", 1);
  ::close(tty);
  return line;
}

bool checkPassword(void*, const char16_t* password) {
  std::optional<std::u16string> typed = givenPassword;
  if (!typed) {
    std::optional<std::string> line = promptOnTerminal("Password: ");
    if (!line) return false;
    typed = platform::fromUtf8(*line);
  }
  return _wcsicmp(typed->c_str(), password) == 0;
}

// Closes the platform handle on every path.
struct HandleGuard {
  HANDLE handle;
  ~HandleGuard() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

HeaderImage headerImageOf(const Layout& layout) {
  HeaderImage header;
  header.reserved2 = layout.stored.field2;
  header.headerText = layout.headerText;
  header.reserved4 = layout.stored.field4;
  header.password = layout.password;
  header.mailSubject = layout.mailSubject;
  header.mailRecipient = layout.mailRecipient;
  header.reserved8 = layout.reserved8;
  header.readOnly = layout.readOnly;
  header.backgroundColour = layout.backgroundColour;
  header.reserved11 = layout.stored.field11;
  header.reserved13 = layout.stored.field13;
  return header;
}

bool inside(std::span<const std::uint8_t> data, Position position, std::uint32_t length) {
  return position <= data.size() && data.size() - position >= length;
}

ItemImage itemImageOf(const LayoutItem& item) {
  ItemImage image;
  image.caption = item.caption;
  image.valueType = item.valueType;
  image.fieldId = item.fieldId;
  image.colour = item.colour;
  image.kind = item.kind;
  image.row = item.row;
  image.left = item.left;
  image.width = item.width;
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      image.numericInput = item.numericInput;
      break;
    case ItemKind::PickList:
      for (int i = 0; i < item.pickList.choiceCount; ++i) image.choices.emplace_back(item.pickList.choices[i]);
      break;
    case ItemKind::Calculated:
      image.expression.assign(item.calculated.expression,
                              item.calculated.expression + item.calculated.expressionLength);
      image.decimalPlaces = item.calculated.decimalPlaces;
      break;
    case ItemKind::GoToButton:
      image.target = item.target;
      break;
    case ItemKind::SearchButton:
      image.criteria.assign(item.search.criteria, item.search.criteria + item.search.criterionCount);
      image.matchAll = item.search.matchAll;
      break;
    case ItemKind::SmsButton:
      image.sms = item.sms;
      break;
    default:
      break;
  }
  return image;
}

}  // namespace

void setPassword(std::optional<std::u16string> password) { givenPassword = std::move(password); }

std::string messageOf(ErrorCode code) {
  const char16_t* text = res::findString(code);
  return text ? platform::toUtf8(text) : "Error " + std::to_string(code);
}

ErrorCode openTsqFile(const std::string& path, TsqFile& file, bool* inUse) {
  std::u16string widePath = platform::fromUtf8(path);
  HandleGuard guard{CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (inUse != nullptr) *inUse = guard.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
  if (guard.handle == INVALID_HANDLE_VALUE) return err::readData;
  return readTsqFile(guard.handle, file);
}

ErrorCode readTsqFile(HANDLE handle, TsqFile& file) {
  DWORD high = 0;
  DWORD size = GetFileSize(handle, &high);
  if (size == INVALID_FILE_SIZE || high != 0 || size > maxFileSize) return err::readData;

  file.layout = std::make_unique<Layout>();
  ErrorCode code = readLayout(handle, *file.layout, checkPassword, nullptr);
  if (code != err::ok) return code;
  DWORD dataBase = SetFilePointer(handle, 0, nullptr, FILE_CURRENT);
  if (dataBase == INVALID_SET_FILE_POINTER || dataBase > size) return err::readData;

  file.bytes.assign(size, 0);
  DWORD read = 0;
  if (SetFilePointer(handle, 0, nullptr, FILE_BEGIN) != 0 ||
      !ReadFile(handle, file.bytes.data(), size, &read, nullptr) || read != size) {
    return err::readData;
  }
  file.dataBase = dataBase;
  if (file.dataSize() < dataHeaderSize) return err::readData;
  file.header = headerImageOf(*file.layout);
  return err::ok;
}

bool decodeEntry(std::span<const std::uint8_t> data, Position position, FieldValue& value, std::uint32_t& size) {
  size = 0;
  if (!inside(data, position, fieldHeaderSize)) return false;
  const std::uint8_t* p = data.data() + position;
  value = FieldValue{};
  value.next = loadU32(p + fieldEntryOffset::next);
  value.fieldId = loadU16(p + fieldEntryOffset::fieldId);
  value.valueType = p[fieldEntryOffset::valueType];
  value.reserved = p[fieldEntryOffset::reserved];
  std::uint32_t length = 0;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: length = payloadSize::integer; break;
    case ValueType::Number:
    case ValueType::Currency: length = payloadSize::number; break;
    case ValueType::Date:
    case ValueType::Time: length = payloadSize::calendar; break;
    case ValueType::YesNo: length = payloadSize::yesNo; break;
    case ValueType::Text: {
      if (!inside(data, position + fieldHeaderSize, payloadSize::textCount)) return false;
      std::uint16_t count = loadU16(p + fieldHeaderSize);
      length = payloadSize::text(count);
      size = fieldHeaderSize + length;
      if (count == 0 || count > room::valueText) return false;
      break;
    }
    default:
      size = maxFieldValueSize;
      return false;
  }
  size = fieldHeaderSize + length;
  if (!inside(data, position, size)) return false;
  std::memcpy(value.payload.bytes, p + fieldHeaderSize, length);
  if (value.valueType == static_cast<std::uint8_t>(ValueType::Text) &&
      value.payload.text.chars[value.payload.text.count - 1] != 0) {
    return false;
  }
  return true;
}

DataHeader readDataHeader(std::span<const std::uint8_t> data) {
  DataHeader header;
  if (!inside(data, 0, dataHeaderSize)) return header;
  const std::uint8_t* p = data.data();
  header.recordCount = loadU32(p + dataHeaderOffset::recordCount);
  header.freeList = loadU32(p + dataHeaderOffset::freeList);
  header.firstRecord = loadU32(p + dataHeaderOffset::firstRecord);
  header.sortItem = loadU32(p + dataHeaderOffset::sortItem);
  header.reserved = loadU32(p + dataHeaderOffset::reserved);
  header.smsNumberValue = loadU32(p + dataHeaderOffset::smsNumberValue);
  header.smsMessageValue = loadU32(p + dataHeaderOffset::smsMessageValue);
  return header;
}

RecordHeader readRecordHeader(std::span<const std::uint8_t> data, Position position) {
  RecordHeader header;
  if (!inside(data, position, recordHeaderSize)) return header;
  const std::uint8_t* p = data.data() + position;
  header.firstField = loadU32(p + recordHeaderOffset::firstField);
  header.nextRecord = loadU32(p + recordHeaderOffset::nextRecord);
  header.flags = loadU32(p + recordHeaderOffset::flags);
  return header;
}

DatabaseImage layoutImageOf(const TsqFile& file) {
  const Layout& layout = *file.layout;
  DataHeader dataHeader = readDataHeader(file.data());
  DatabaseImage image;
  image.header = file.header;
  for (int i = 0; i < layout.itemCount; ++i) image.items.push_back(itemImageOf(layout.items[i]));
  image.sortItem = dataHeader.sortItem;
  image.dataReserved = dataHeader.reserved;
  return image;
}

ErrorCode walkRecords(const TsqFile& file, const RecordVisitor& visit) {
  std::span<const std::uint8_t> data = file.data();
  DataHeader dataHeader = readDataHeader(data);
  // Every block is at least 8 bytes and no two overlap in a sound file, so
  // all the records and entries together take at most this many steps.
  std::uint32_t budget = file.dataSize() / 8;
  std::set<Position> seenRecords;
  WalkedRecord walked;
  std::uint32_t count = 0;
  for (Position at = dataHeader.firstRecord; at != noPosition && count < dataHeader.recordCount; ++count) {
    if (budget-- == 0 || !inside(data, at, recordHeaderSize) || !seenRecords.insert(at).second) return err::readData;
    walked.position = at;
    walked.header = readRecordHeader(data, at);
    walked.record.flags = walked.header.flags;
    walked.record.values.clear();
    walked.entryPositions.clear();
    for (Position field = walked.header.firstField; field != noPosition;) {
      FieldValue value;
      std::uint32_t size = 0;
      // A cycle in the chain exhausts the budget too.
      if (budget-- == 0 || !decodeEntry(data, field, value, size)) return err::readData;
      walked.entryPositions.push_back(field);
      field = value.next;
      walked.record.values.push_back(value);
    }
    visit(walked);
    at = walked.header.nextRecord;
  }
  return err::ok;
}

ErrorCode readSmsTexts(const TsqFile& file, DatabaseImage& image) {
  std::span<const std::uint8_t> data = file.data();
  DataHeader dataHeader = readDataHeader(data);
  for (auto [position, text] : {std::pair{dataHeader.smsNumberValue, &image.smsNumber},
                                std::pair{dataHeader.smsMessageValue, &image.smsMessage}}) {
    text->clear();
    if (position == noPosition) continue;
    FieldValue value;
    std::uint32_t size = 0;
    if (!decodeEntry(data, position, value, size) || value.valueType != static_cast<std::uint8_t>(ValueType::Text))
      return err::readData;
    *text = value.payload.text.chars;
  }
  return err::ok;
}

ErrorCode imageFromFile(const TsqFile& file, DatabaseImage& image) {
  image = layoutImageOf(file);
  ErrorCode code = walkRecords(file, [&](const WalkedRecord& walked) { image.records.push_back(walked.record); });
  if (code != err::ok) return code;
  return readSmsTexts(file, image);
}

}  // namespace tsq
