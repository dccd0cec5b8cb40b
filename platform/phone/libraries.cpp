// Dynamic libraries over dlopen.
#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/emulator.h"
#include "platform/libloaderapi.h"
#include "platform/phone/library_host.h"
#include "platform/text.h"
#include "platform/win_base.h"

namespace {

struct Module {
  std::string path;
  void* library = nullptr;
  int references = 0;
};

// Loaded modules by handle number; numbers are not reused.
struct Modules {
  std::map<std::uintptr_t, Module> loaded;
  std::uintptr_t next = 0x100000;
  std::optional<std::string> folder;
};
Modules& modules() {
  static Modules instance;
  return instance;
}

std::string executableFolder() {
  char buffer[4096];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return ".";
  const std::string exe(buffer, static_cast<std::size_t>(length));
  const auto slash = exe.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string libraryFolder() {
  const Modules& m = modules();
  return m.folder ? *m.folder : executableFolder();
}

// "\Windows\CEMAPI.DLL" -> "libcemapi.so": the file name, without ".dll",
// in lower case. nullopt for a name that names no file.
std::optional<std::string> sharedObjectName(LPCWSTR fileName) {
  std::size_t length = 0;
  while (length <= MAX_PATH && fileName[length] != 0) ++length;
  if (length == 0 || length > MAX_PATH) return std::nullopt;
  std::u16string_view name(fileName, length);
  const auto separator = name.find_last_of(u"\\/");
  if (separator != std::u16string_view::npos) name.remove_prefix(separator + 1);
  std::string base = platform::toUtf8(name);
  for (char& c : base) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".dll") == 0) base.resize(base.size() - 4);
  if (base.empty() || base == "." || base == "..") return std::nullopt;
  return "lib" + base + ".so";
}

std::size_t deviceRootForLibrary(char* buffer, std::size_t size) {
  const std::string root = platform::deviceRoot();
  if (buffer != nullptr && size > root.size()) {
    std::memcpy(buffer, root.c_str(), root.size() + 1);
  } else if (buffer != nullptr && size > 0) {
    buffer[0] = 0;
  }
  return root.size();
}

const TessraPlatformServices hostServices{sizeof(TessraPlatformServices), deviceRootForLibrary, GetLocalTime};

Module* find(HMODULE module) {
  auto& loaded = modules().loaded;
  const auto it = loaded.find(reinterpret_cast<std::uintptr_t>(module));
  return it != loaded.end() ? &it->second : nullptr;
}

}  // namespace

namespace platform {

void setLibraryFolder(const std::string& folder) {
  if (folder.empty()) {
    modules().folder.reset();
  } else {
    modules().folder = folder;
  }
}

int loadedLibraryReferences() {
  int references = 0;
  for (const auto& [number, module] : modules().loaded) references += module.references;
  return references;
}

}  // namespace platform

HMODULE LoadLibraryW(LPCWSTR fileName) {
  if (fileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto name = sharedObjectName(fileName);
  struct stat info {};
  const std::string path = name ? libraryFolder() + "/" + *name : std::string();
  if (!name || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  Modules& m = modules();
  for (auto& [number, module] : m.loaded) {
    if (module.path == path) {
      ++module.references;
      SetLastError(ERROR_SUCCESS);
      return reinterpret_cast<HMODULE>(number);
    }
  }
  void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  if (void* attach = ::dlsym(library, tessraAttachPlatformName)) {
    TessraAttachPlatformProc call = nullptr;
    std::memcpy(&call, &attach, sizeof call);
    call(&hostServices);
  }
  const std::uintptr_t number = m.next;
  m.next += 0x10;
  m.loaded.emplace(number, Module{path, library, 1});
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<HMODULE>(number);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  const Module* found = find(module);
  if (found == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Ordinals are small numbers in place of a name; libraries here have none.
  if (procName == nullptr || (reinterpret_cast<std::uintptr_t>(procName) >> 16) == 0) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  void* symbol = ::dlsym(found->library, procName);
  // dlsym also finds what the library's own dependencies define; an export
  // is only what the library itself defines.
  Dl_info where{};
  link_map* owner = nullptr;
  link_map* self = nullptr;
  if (symbol == nullptr || ::dladdr1(symbol, &where, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
      ::dlinfo(found->library, RTLD_DI_LINKMAP, &self) != 0 || owner != self) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  FARPROC proc = nullptr;
  std::memcpy(&proc, &symbol, sizeof proc);
  SetLastError(ERROR_SUCCESS);
  return proc;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
  if (procName == nullptr || IS_INTRESOURCE(procName)) return GetProcAddress(module, nullptr);
  std::size_t length = 0;
  while (length <= 1024 && procName[length] != 0) ++length;
  if (length > 1024) return GetProcAddress(module, nullptr);
  const std::string name = platform::toUtf8(std::u16string_view(procName, length));
  return GetProcAddress(module, name.c_str());
}

BOOL FreeLibrary(HMODULE module) {
  auto& loaded = modules().loaded;
  const auto it = loaded.find(reinterpret_cast<std::uintptr_t>(module));
  if (it == loaded.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.references == 0) {
    ::dlclose(it->second.library);
    loaded.erase(it);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
