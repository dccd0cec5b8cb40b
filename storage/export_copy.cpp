#include "storage/export_copy.h"

#include <algorithm>
#include <cstdint>

#include "platform/win_base.h"
#include "storage/primitives.h"

namespace {

constexpr DWORD copyBlockSize = 1024;

// The header fields in front of the password: only these differ in the copy.
struct LeadingFields {
  std::uint32_t version = 0;
  std::uint32_t field2 = 0;
  char16_t headerText[room::headerText] = {};
  std::uint32_t field4 = 0;
};

ErrorCode readLeadingFields(HANDLE source, LeadingFields& fields) {
  if (!readU32(source, fields.version) || fields.version == 0) return err::readData;
  if (fields.version > formatVersion) return err::newerVersion;
  if (!readU32(source, fields.field2) || !readText8(source, fields.headerText, room::headerText) ||
      !readU32(source, fields.field4))
    return err::readData;
  return err::ok;
}

// Writes the copy's leading fields, then the rest of the source as it
// stands, from the source's current position to its end.
ErrorCode writeCopy(HANDLE source, HANDLE copy, const LeadingFields& fields) {
  if (!writeU32(copy, fields.version) || !writeU32(copy, fields.field2) || !writeText8(copy, u"") ||
      !writeU32(copy, 0))
    return err::writeData;
  std::uint8_t block[copyBlockSize];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, block, copyBlockSize, &got, nullptr)) return err::readData;
    if (got == 0) return err::ok;
    DWORD put = 0;
    if (!WriteFile(copy, block, got, &put, nullptr) || put != got) return err::writeData;
  }
}

}  // namespace

ErrorCode makeExportCopy(const char16_t* sourcePath, char16_t* attachPath) {
  attachPath[0] = 0;
  const std::size_t length = wcslen16(sourcePath);
  if (length >= static_cast<std::size_t>(room::filePath)) return err::readData;

  HANDLE source = CreateFileW(sourcePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return err::readData;
  LeadingFields fields;
  ErrorCode code = readLeadingFields(source, fields);
  if (code != err::ok) {
    CloseHandle(source);
    return code;
  }
  if (fields.headerText[0] == 0) {
    CloseHandle(source);
    std::copy(sourcePath, sourcePath + length + 1, attachPath);
    return err::ok;
  }

  HANDLE copy = CreateFileW(exportCopyPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (copy == INVALID_HANDLE_VALUE) {
    CloseHandle(source);
    return err::writeData;
  }
  code = writeCopy(source, copy, fields);
  CloseHandle(source);
  // A copy whose last bytes may not have reached the file is not a copy.
  if (!CloseHandle(copy) && code == err::ok) code = err::writeData;
  if (code != err::ok) {
    DeleteFileW(exportCopyPath);
    return code;
  }
  std::copy(exportCopyPath, exportCopyPath + wcslen16(exportCopyPath) + 1, attachPath);
  return err::ok;
}
