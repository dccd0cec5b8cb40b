#include "platform/os/posix_path.h"

#include <string_view>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace platform::os {

std::optional<std::string> toPosixPath(LPCWSTR path) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  std::u16string text(path);
  if (text.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  const bool phoneRooted = text[0] == u'\\' && (text.size() == 1 || text[1] != u'\\');
  for (auto& unit : text) {
    if (unit == u'\\') unit = u'/';
  }
  std::string posix = toUtf8(text);
  if (phoneRooted) {
    std::string root = deviceRoot();
    while (!root.empty() && root.back() == '/') root.pop_back();
    posix = root + posix;
  }
  return posix;
}

}  // namespace platform::os
