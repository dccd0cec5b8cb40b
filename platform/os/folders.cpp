// The program folder, the phone's root folder and the program's module path.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace platform {

namespace {

std::mutex folderMutex;
std::optional<std::string> programFolderOverride;
std::optional<std::string> deviceRootOverride;

std::string executablePath() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string withoutTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// Creates folder and its parents; failures are left for the first file
// operation inside it to report.
void makeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); ; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty()) ::mkdir(part.c_str(), 0777);
    if (slash == std::string::npos) break;
  }
}

}  // namespace

void setProgramFolder(const std::string& folder) {
  std::lock_guard lock(folderMutex);
  if (folder.empty()) {
    programFolderOverride.reset();
  } else {
    programFolderOverride = withoutTrailingSlashes(folder);
  }
}

std::string programFolderUtf8() {
  {
    std::lock_guard lock(folderMutex);
    if (programFolderOverride) return *programFolderOverride;
  }
  if (std::string home = environment("TESSRA_HOME"); !home.empty()) return withoutTrailingSlashes(home);
  const std::string exe = executablePath();
  const auto slash = exe.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

void setDeviceRoot(const std::string& folder) {
  std::lock_guard lock(folderMutex);
  if (folder.empty()) {
    deviceRootOverride.reset();
  } else {
    deviceRootOverride = withoutTrailingSlashes(folder);
  }
}

std::string deviceRoot() {
  std::string root;
  {
    std::lock_guard lock(folderMutex);
    if (deviceRootOverride) root = *deviceRootOverride;
  }
  if (root.empty()) root = environment("TESSRA_DEVICE");
  if (root.empty()) {
    if (std::string data = environment("XDG_DATA_HOME"); !data.empty()) root = data + "/tessra";
  }
  if (root.empty()) {
    std::string home = environment("HOME");
    root = (home.empty() ? std::string("/tmp") : home) + "/.local/share/tessra";
  }
  root = withoutTrailingSlashes(root);
  makeFolders(root);
  return root;
}

}  // namespace platform

DWORD GetModuleFileNameW(HINSTANCE, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::string exe = platform::executablePath();
  const auto slash = exe.find_last_of('/');
  const std::string name = slash == std::string::npos ? exe : exe.substr(slash + 1);
  std::string folder = platform::programFolderUtf8();
  if (folder.empty() || folder.back() != '/') folder += '/';
  const std::u16string path = platform::fromUtf8(folder + name);
  if (path.size() >= size) {
    // As Win32: truncated and terminated, the result is the buffer's size.
    path.copy(buffer, size - 1);
    buffer[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  path.copy(buffer, path.size());
  buffer[path.size()] = 0;
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}
