// Test helpers: tsq files written to a temporary folder and a Database opened
// on one of them, as openDatabase leaves it before the form is built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/windows.h"
#include "storage/store.h"
#include "storage/layout.h"
#include "storage/writer.h"

namespace tsqtest {

// A fresh path in the temporary folder; nothing is created.
std::string uniqueTempPath(const std::string& suffix = ".tsq");

void writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFileBytes(const std::string& path);

// A file in the temporary folder that is deleted with the object.
class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix = ".tsq");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  std::u16string widePath() const;
  std::vector<std::uint8_t> bytes() const { return readFileBytes(path_); }

 private:
  std::string path_;
};

// A file handle opened for reading and writing without sharing; closed with
// the object.
class FileHandle {
 public:
  explicit FileHandle(const std::string& path);
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A tsq file opened without sharing into a Database of its own (on the heap:
// the Database is large). open() reads the layout; on success db.store.file.handle,
// db.store.file.dataBase and db.store.file.header are set so that readAt, writeAt and the
// record functions work, and the screen is the FormView.
class OpenTsq {
 public:
  explicit OpenTsq(const std::vector<std::uint8_t>& bytes);
  explicit OpenTsq(const DatabaseImage& image);
  ~OpenTsq();
  OpenTsq(const OpenTsq&) = delete;
  OpenTsq& operator=(const OpenTsq&) = delete;

  ErrorCode open(PasswordCheck checkPassword = nullptr);
  Store& store() { return *store_; }
  HANDLE handle() const { return handle_; }
  const TempFile& file() const { return file_; }

 private:
  TempFile file_;
  std::unique_ptr<Store> store_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Small builders for images and values.
FieldValue integerValue(std::uint16_t fieldId, std::int32_t v);
FieldValue numberValue(std::uint16_t fieldId, double v, ValueType type = ValueType::Number);
FieldValue textValue(std::uint16_t fieldId, const std::u16string& text);
FieldValue yesNoValue(std::uint16_t fieldId, bool yes);
FieldValue calendarValue(std::uint16_t fieldId, ValueType type, SYSTEMTIME time, std::uint32_t noValue = 0);
ItemImage valueItem(ItemKind kind, ValueType type, std::uint16_t fieldId, const std::u16string& caption);

}  // namespace tsqtest
