#include "platform/os/posix_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <string_view>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace platform::os {

namespace {

// The phone's file system ignores letter case in names: a name that does
// not exist as written stands for the folder's entry that differs from it
// only in case (the first in name order, when several do).
std::string matchingCase(const std::string& posix) {
  struct stat info {};
  if (::stat(posix.c_str(), &info) == 0) return posix;
  const std::size_t slash = posix.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : posix.substr(0, slash));
  const std::u16string name = fromUtf8(slash == std::string::npos ? posix : posix.substr(slash + 1));
  if (name.empty()) return posix;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return posix;
  std::string best;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (_wcsicmp(fromUtf8(candidate).c_str(), name.c_str()) == 0 && (best.empty() || candidate < best))
      best = candidate;
  }
  ::closedir(dir);
  if (best.empty()) return posix;
  return slash == std::string::npos ? best : posix.substr(0, slash + 1) + best;
}

}  // namespace

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
  return matchingCase(posix);
}

}  // namespace platform::os
