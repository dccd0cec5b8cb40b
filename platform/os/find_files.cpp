// FindFirstFileW / FindNextFileW / FindClose.
//
// The search takes a snapshot of the folder when it starts: the files (not
// folders) whose names match the last path element, sorted by name so that
// every listing of the same folder comes out in the same order.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/os/handle_table.h"
#include "platform/os/posix_errors.h"
#include "platform/os/posix_path.h"
#include "platform/os/wildcard.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace {

// A listing is bounded so that a folder of millions of names cannot exhaust
// memory; the phone's folders hold a few dozen files.
constexpr std::size_t maxListed = 100000;

class Folder {
 public:
  explicit Folder(const std::string& path) : dir_(::opendir(path.c_str())) {}
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  ~Folder() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

bool nameOrder(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
  const int folded = _wcsicmp(a.cFileName, b.cFileName);
  if (folded != 0) return folded < 0;
  return std::u16string_view(a.cFileName) < std::u16string_view(b.cFileName);
}

}  // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data) {
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const auto posix = platform::os::toPosixPath(pattern);
  if (!posix) return INVALID_HANDLE_VALUE;
  const auto slash = posix->find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : posix->substr(0, slash));
  const std::u16string namePattern = platform::fromUtf8(slash == std::string::npos ? *posix : posix->substr(slash + 1));

  Folder dir(folder);
  if (dir.get() == nullptr) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : platform::os::errorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  platform::os::FileSearch search;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (search.found.size() >= maxListed) break;
    const std::u16string name = platform::fromUtf8(entry->d_name);
    if (name.size() >= static_cast<std::size_t>(MAX_PATH)) continue;  // no room in cFileName
    if (!platform::os::matchesWildcard(namePattern, name)) continue;
    struct stat info {};
    const std::string full = (folder == "/" ? std::string() : folder) + "/" + entry->d_name;
    if (::stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    WIN32_FIND_DATAW found{};
    found.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    found.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    found.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    name.copy(found.cFileName, name.size());
    found.cFileName[name.size()] = 0;
    search.found.push_back(found);
  }
  if (search.found.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(search.found.begin(), search.found.end(), nameOrder);
  *data = search.found[0];
  search.next = 1;
  SetLastError(ERROR_SUCCESS);
  return platform::os::addHandle(std::move(search));
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  platform::os::FileSearch* search = platform::os::findFileSearch(find);
  if (search == nullptr) return FALSE;
  if (data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (search->next >= search->found.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *data = search->found[search->next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (platform::os::findFileSearch(find) == nullptr) return FALSE;
  return platform::os::removeHandle(find, nullptr) ? TRUE : FALSE;
}
