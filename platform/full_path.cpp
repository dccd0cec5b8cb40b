#include <climits>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/text.h"
#include "platform/win_base.h"

DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string utf8 = platform::toUtf8(path);
  std::string full;
  if (char* resolved = realpath(utf8.c_str(), nullptr)) {
    full = resolved;
    std::free(resolved);
  } else if (!utf8.empty() && utf8[0] == '/') {
    full = utf8;
  } else {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return 0;
    }
    full = std::string(cwd) + "/" + utf8;
  }
  std::u16string wide = platform::fromUtf8(full);
  if (wide.size() + 1 > size || buffer == nullptr) return static_cast<DWORD>(wide.size() + 1);
  wide.copy(buffer, wide.size());
  buffer[wide.size()] = 0;
  if (filePart != nullptr) {
    std::size_t slash = wide.rfind(u'/');
    *filePart = buffer + (slash == std::u16string::npos ? 0 : slash + 1);
  }
  return static_cast<DWORD>(wide.size());
}
