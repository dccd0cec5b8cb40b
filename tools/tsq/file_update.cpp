#include "tools/tsq/file_update.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/text.h"
#include "platform/windows.h"

namespace tsq {
namespace {

namespace fs = std::filesystem;

// The copy's name: hidden beside the target, unique to this process.
fs::path copyPathFor(const fs::path& target) {
  return target.parent_path() / ("." + target.filename().string() + ".new-" + std::to_string(::getpid()));
}

// Writes bytes to a fresh copy beside target and renames it over target.
ErrorCode writeAndPlace(const fs::path& target, const std::vector<std::uint8_t>& bytes,
                        std::optional<fs::perms> permissions) {
  const fs::path copy = copyPathFor(target);
  std::u16string widePath = platform::fromUtf8(copy.string());
  // Without sharing, so that nothing opens the copy before it is complete.
  HANDLE handle =
      CreateFileW(widePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return err::writeData;
  bool ok = true;
  // In pieces: WriteFile takes a 32-bit count.
  constexpr std::size_t piece = 1u << 24;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const auto length = static_cast<DWORD>(std::min(piece, bytes.size() - done));
    DWORD written = 0;
    ok = WriteFile(handle, bytes.data() + done, length, &written, nullptr) && written == length;
    done += length;
  }
  ok = ok && FlushFileBuffers(handle);
  std::error_code error;
  if (ok && permissions) fs::permissions(copy, *permissions, error);
  if (ok && !error) fs::rename(copy, target, error);
  ok = ok && !error;
  CloseHandle(handle);
  if (!ok) fs::remove(copy, error);
  return ok ? err::ok : err::writeData;
}

}  // namespace

HeldDatabase::~HeldDatabase() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

ErrorCode holdDatabase(const std::string& path, HeldDatabase& held, bool& inUse) {
  held.path = path;
  std::u16string widePath = platform::fromUtf8(path);
  held.handle = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  inUse = held.handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION;
  if (held.handle == INVALID_HANDLE_VALUE) return err::readData;
  return readTsqFile(held.handle, held.file);
}

ErrorCode replaceDatabase(HeldDatabase& held, const std::vector<std::uint8_t>& bytes) {
  std::error_code error;
  fs::perms permissions = fs::status(held.path, error).permissions();
  if (error) return err::writeData;
  return writeAndPlace(held.path, bytes, permissions);
}

ErrorCode writeNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace, bool& exists,
                       bool& inUse) {
  inUse = false;
  std::error_code error;
  exists = fs::exists(path, error);
  if (!exists) return writeAndPlace(path, bytes, std::nullopt);
  if (!replace) return err::writeData;
  HeldDatabase held;
  held.path = path;
  std::u16string widePath = platform::fromUtf8(path);
  held.handle = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held.handle == INVALID_HANDLE_VALUE) {
    inUse = GetLastError() == ERROR_SHARING_VIOLATION;
    return err::writeData;
  }
  return replaceDatabase(held, bytes);
}

}  // namespace tsq
