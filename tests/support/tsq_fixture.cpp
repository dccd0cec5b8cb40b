#include "tests/support/tsq_fixture.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/text.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/primitives.h"

namespace tsqtest {

std::string uniqueTempPath(const std::string& suffix) {
  static std::atomic<int> counter{0};
  auto name = "tessra-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + suffix;
  return (std::filesystem::temp_directory_path() / name).string();
}

void writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempFile::TempFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix)
    : path_(uniqueTempPath(suffix)) {
  writeFileBytes(path_, bytes);
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::u16string TempFile::widePath() const { return platform::fromUtf8(path_); }

FileHandle::FileHandle(const std::string& path) {
  std::u16string wide = platform::fromUtf8(path);
  handle_ = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
}

FileHandle::~FileHandle() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

OpenTsq::OpenTsq(const std::vector<std::uint8_t>& bytes) : file_(bytes), store_(std::make_unique<Store>()) {}

OpenTsq::OpenTsq(const DatabaseImage& image) : OpenTsq(encodeDatabase(image)) {}

OpenTsq::~OpenTsq() {
  delete[] store_->records.index;
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

ErrorCode OpenTsq::open(PasswordCheck checkPassword) {
  std::u16string path = file_.widePath();
  handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) return err::readData;
  Store& store = *store_;
  if (ErrorCode code = readLayout(handle_, store.layout, checkPassword, nullptr)) return code;
  store.file.handle = handle_;
  store.file.dataBase = SetFilePointer(handle_, 0, nullptr, FILE_CURRENT);
  std::uint8_t raw[dataHeaderSize];
  if (ErrorCode code = readAt(store.file, 0, dataHeaderSize, raw)) return code;
  DataHeader& h = store.file.header;
  std::uint32_t* fields[] = {&h.recordCount, &h.freeList,       &h.firstRecord,    &h.sortItem,
                             &h.reserved,    &h.smsNumberValue, &h.smsMessageValue};
  for (int i = 0; i < 7; ++i) *fields[i] = loadU32(raw + 4 * i);
  return err::ok;
}

FieldValue integerValue(std::uint16_t fieldId, std::int32_t v) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(ValueType::Integer);
  value.payload.integer = v;
  return value;
}

FieldValue numberValue(std::uint16_t fieldId, double v, ValueType type) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(type);
  value.payload.number = v;
  return value;
}

FieldValue textValue(std::uint16_t fieldId, const std::u16string& text) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(ValueType::Text);
  setText(value, text.c_str());
  return value;
}

FieldValue yesNoValue(std::uint16_t fieldId, bool yes) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(ValueType::YesNo);
  value.payload.yesNo = yes ? 1 : 0;
  return value;
}

FieldValue calendarValue(std::uint16_t fieldId, ValueType type, SYSTEMTIME time, std::uint32_t noValue) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(type);
  value.payload.calendar.noValue = noValue;
  value.payload.calendar.time = time;
  return value;
}

ItemImage valueItem(ItemKind kind, ValueType type, std::uint16_t fieldId, const std::u16string& caption) {
  ItemImage item;
  item.kind = static_cast<std::uint8_t>(kind);
  item.valueType = static_cast<std::uint8_t>(type);
  item.fieldId = fieldId;
  item.caption = caption;
  return item;
}

}  // namespace tsqtest
