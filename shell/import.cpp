#include "shell/import.h"

#include "resources/ids.h"
#include "storage/database.h"
#include "storage/paths.h"
#include "storage/primitives.h"
#include "views/chrome.h"

namespace {

bool fileExists(const char16_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool samePath(const char16_t* a, const char16_t* b) {
  WCHAR fullA[room::filePath] = {};
  WCHAR fullB[room::filePath] = {};
  DWORD na = GetFullPathNameW(a, room::filePath, fullA, nullptr);
  DWORD nb = GetFullPathNameW(b, room::filePath, fullB, nullptr);
  if (na == 0 || nb == 0 || na >= static_cast<DWORD>(room::filePath) || nb >= static_cast<DWORD>(room::filePath))
    return false;
  for (DWORD i = 0; i <= na; ++i)
    if (fullA[i] != fullB[i]) return false;
  return true;
}

}  // namespace

ErrorCode importDatabase(Database& db, char16_t* path) {
  WCHAR target[room::filePath] = {};
  if (!programFolder(target) || !appendPath(target, room::filePath, fileNameOf(path))) return err::readData;
  // A file that already lies in the program folder is opened where it is:
  // copying it onto itself could empty it.
  if (samePath(path, target)) return err::ok;

  if (!CopyFileW(path, target, TRUE)) {
    if (!fileExists(target)) return fileExists(path) ? err::writeData : err::readData;
    if (showMessage(db.ui.mainWindow, str::confirmOverwrite, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      if (!CopyFileW(path, target, FALSE)) return err::writeData;
    } else if (showMessage(db.ui.mainWindow, str::useExisting, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return err::canceled;
    }
  }
  std::size_t n = wcslen16(target);
  for (std::size_t i = 0; i <= n; ++i) path[i] = target[i];
  return err::ok;
}
