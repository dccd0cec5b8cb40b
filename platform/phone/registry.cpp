// The registry over folders: a key is a folder under DEVICE/registry/.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/win_base.h"
#include "platform/winreg.h"

namespace {

// Key names are at most 255 characters, a path at most 32767 units; a
// folder lists at most this many entries as subkeys.
constexpr std::size_t maxNameLength = 255;
constexpr std::size_t maxPathLength = 32767;
constexpr int maxListed = 100000;

struct OpenKey {
  std::string folder;
  // The subkeys as the last enumeration from index 0 saw them.
  std::optional<std::vector<std::string>> subkeys;
};

// Open keys by handle number. Numbers are not reused and never meet the
// predefined keys' values, so a closed or forged handle finds nothing.
struct Keys {
  std::map<std::uintptr_t, OpenKey> open;
  std::map<std::uintptr_t, OpenKey> predefined;  // enumeration state only
  std::uintptr_t next = 0x10000;
};
Keys& keys() {
  static Keys instance;
  return instance;
}

std::uintptr_t numberOf(HKEY key) { return reinterpret_cast<std::uintptr_t>(key); }

const char* predefinedName(HKEY key) {
  if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (key == HKEY_USERS) return "HKEY_USERS";
  return nullptr;
}

// The key's state: an open key's entry, or a predefined key's (made on
// first use); nullptr for any other value.
OpenKey* find(HKEY key) {
  Keys& k = keys();
  if (const char* name = predefinedName(key)) {
    auto [it, added] = k.predefined.try_emplace(numberOf(key));
    // The phone's root folder may change between tests; a predefined key
    // always names the current one.
    it->second.folder = platform::deviceRoot() + "/registry/" + name;
    (void)added;
    return &it->second;
  }
  const auto it = k.open.find(numberOf(key));
  return it != k.open.end() ? &it->second : nullptr;
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names of the subfolders in byte order.
std::vector<std::string> subfolders(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return names;
  for (int read = 0; read < maxListed; ++read) {
    const dirent* entry = ::readdir(listing);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const bool folderEntry = entry->d_type == DT_DIR || ((entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) &&
                                                         isFolder(folder + "/" + name));
    if (folderEntry) names.push_back(name);
  }
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

// The subfolder of folder that a key name names: the one spelt exactly so,
// else the first in byte order that matches ignoring case.
std::optional<std::string> subkeyFolder(const std::string& folder, const std::u16string& name) {
  const std::string exact = platform::toUtf8(name);
  if (exact == "." || exact == ".." || exact.find('/') != std::string::npos) return std::nullopt;
  if (isFolder(folder + "/" + exact)) return folder + "/" + exact;
  for (const std::string& candidate : subfolders(folder)) {
    if (_wcsicmp(platform::fromUtf8(candidate).c_str(), name.c_str()) == 0) return folder + "/" + candidate;
  }
  return std::nullopt;
}

LONG result(DWORD error) { return static_cast<LONG>(error); }

FILETIME fileTimeOf(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return FILETIME{0, 0};
  // 100-nanosecond intervals from 1601-01-01 to the Unix epoch.
  constexpr std::uint64_t epoch = 116444736000000000ULL;
  const std::uint64_t ticks = epoch + static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 10000000ULL +
                              static_cast<std::uint64_t>(info.st_mtim.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

namespace platform {
int openRegistryKeyCount() { return static_cast<int>(keys().open.size()); }
}  // namespace platform

LONG RegOpenKeyExW(HKEY hKey, LPCWSTR subKey, DWORD options, REGSAM, PHKEY resultKey) {
  if (resultKey == nullptr) return result(ERROR_INVALID_PARAMETER);
  *resultKey = nullptr;
  if (options != 0) return result(ERROR_INVALID_PARAMETER);
  const OpenKey* parent = find(hKey);
  if (parent == nullptr) return result(ERROR_INVALID_HANDLE);
  std::string folder = parent->folder;

  std::size_t length = 0;
  if (subKey != nullptr) {
    while (length <= maxPathLength && subKey[length] != 0) ++length;
    if (length > maxPathLength) return result(ERROR_INVALID_PARAMETER);
  }
  const std::u16string_view path(subKey != nullptr ? subKey : u"", length);
  if (!path.empty() && path.front() == u'\\') return result(ERROR_BAD_PATHNAME);

  // The key itself stands (a predefined key is there even before its folder
  // is); every name below it has to exist.
  bool exists = true;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t slash = path.find(u'\\', start);
    const std::size_t end = slash == std::u16string_view::npos ? path.size() : slash;
    const std::u16string name(path.substr(start, end - start));
    if (name.empty()) return result(ERROR_BAD_PATHNAME);
    if (name.size() > maxNameLength) {
      exists = false;
    } else if (exists) {
      const auto next = subkeyFolder(folder, name);
      if (next) {
        folder = *next;
      } else {
        exists = false;
      }
    }
    if (slash == std::u16string_view::npos) break;
    start = slash + 1;  // a single '\' at the very end ends the path
  }
  if (!exists) return result(ERROR_FILE_NOT_FOUND);
  Keys& k = keys();
  const std::uintptr_t number = k.next;
  k.next += 4;
  k.open.emplace(number, OpenKey{folder, std::nullopt});
  *resultKey = reinterpret_cast<HKEY>(number);
  return result(ERROR_SUCCESS);
}

LONG RegEnumKeyExW(HKEY hKey, DWORD index, LPWSTR name, DWORD* nameSize, DWORD* reserved, LPWSTR className,
                   DWORD* classSize, FILETIME* lastWriteTime) {
  OpenKey* key = find(hKey);
  if (key == nullptr) return result(ERROR_INVALID_HANDLE);
  if (name == nullptr || nameSize == nullptr || reserved != nullptr) return result(ERROR_INVALID_PARAMETER);
  if (className != nullptr && classSize == nullptr) return result(ERROR_INVALID_PARAMETER);
  // Enumerations go from index 0 upwards; a fresh start sees the folder as
  // it is now, later indexes the same list.
  if (index == 0 || !key->subkeys) key->subkeys = subfolders(key->folder);
  if (index >= key->subkeys->size()) return result(ERROR_NO_MORE_ITEMS);
  const std::string& folderName = (*key->subkeys)[index];
  const std::u16string subkey = platform::fromUtf8(folderName);
  if (subkey.size() + 1 > *nameSize) return result(ERROR_MORE_DATA);
  subkey.copy(name, subkey.size());
  name[subkey.size()] = 0;
  *nameSize = static_cast<DWORD>(subkey.size());
  if (classSize != nullptr) {
    if (className != nullptr && *classSize > 0) className[0] = 0;
    *classSize = 0;
  }
  if (lastWriteTime != nullptr) *lastWriteTime = fileTimeOf(key->folder + "/" + folderName);
  return result(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY hKey) {
  Keys& k = keys();
  if (predefinedName(hKey) != nullptr) {
    k.predefined.erase(numberOf(hKey));
    return result(ERROR_SUCCESS);
  }
  return k.open.erase(numberOf(hKey)) != 0 ? result(ERROR_SUCCESS) : result(ERROR_INVALID_HANDLE);
}
