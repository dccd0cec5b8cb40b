#include "storage/paths.h"

#include "platform/win_base.h"
#include "storage/format.h"
#include "storage/primitives.h"

bool appendPath(char16_t* path, std::size_t room, const char16_t* text) {
  std::size_t at = wcslen16(path);
  std::size_t add = wcslen16(text);
  if (at + add + 1 > room) return false;
  for (std::size_t i = 0; i <= add; ++i) path[at + i] = text[i];
  return true;
}


void entryName(const char16_t* found, char16_t* entry, std::size_t room) {
  const char16_t* name = fileNameOf(found);
  std::size_t n = wcslen16(name);
  std::size_t cut = n;
  for (std::size_t i = n; i > 0; --i)
    if (name[i - 1] == u'.') {
      cut = i - 1;
      break;
    }
  if (cut >= room) cut = room - 1;
  for (std::size_t i = 0; i < cut; ++i) entry[i] = name[i];
  entry[cut] = 0;
}

bool programFolder(char16_t* path) {
  WCHAR module[room::filePath + 1] = {};
  DWORD n = GetModuleFileNameW(nullptr, module, room::filePath + 1);
  path[0] = 0;
  if (n == 0 || n >= static_cast<DWORD>(room::filePath)) return false;
  std::size_t end = 0;
  for (std::size_t i = n; i > 0; --i)
    if (module[i - 1] == u'/' || module[i - 1] == u'\\') {
      end = i;
      break;
    }
  for (std::size_t i = 0; i < end; ++i) path[i] = module[i];
  path[end] = 0;
  return true;
}

bool databasePath(const char16_t* name, char16_t* path) {
  return programFolder(path) && appendPath(path, room::filePath, name) && appendPath(path, room::filePath, databaseExtension);
}
