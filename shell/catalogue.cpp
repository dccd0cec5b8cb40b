#include "shell/catalogue.h"

#include <cstddef>

#include "commands/dispatch.h"
#include "resources/ids.h"
#include "storage/database.h"
#include "storage/open.h"
#include "storage/primitives.h"

namespace {

constexpr char16_t extension[] = u".tsq";
constexpr int titleRoom = 32;

// Appends text to path (room units in all); false when it does not fit.
bool append(char16_t* path, std::size_t room, const char16_t* text) {
  std::size_t at = wcslen16(path);
  std::size_t add = wcslen16(text);
  if (at + add + 1 > room) return false;
  for (std::size_t i = 0; i <= add; ++i) path[at + i] = text[i];
  return true;
}

// The catalogue entry of a found file: its name without the last extension.
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

void setTitle(Database& db) {
  WCHAR title[titleRoom] = {};
  LoadStringW(db.instance, str::appName, title, titleRoom);
  SetWindowTextW(db.mainWindow, title);
}

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
  return programFolder(path) && append(path, room::filePath, name) && append(path, room::filePath, extension);
}

ErrorCode listDatabases(Database& db) {
  if (db.screen == Screen::Editing) return err::internal;
  WCHAR wasOpen[room::filePath] = {};
  if (db.isOpen) entryName(db.filePath, wasOpen, room::filePath);
  if (db.screen != Screen::Catalogue) {
    ErrorCode code = leaveRecord(db);
    if (code != err::ok) return code;
    code = closeDatabase(db.mainWindow, db);
    if (code != err::ok) return code;
    showBar(db, db.catalogueBar);
    db.screen = Screen::Catalogue;
    setTitle(db);
  }

  SendMessageW(db.listBox, LB_RESETCONTENT, 0, 0);
  ShowWindow(db.listBox, SW_SHOW);
  SetFocus(db.listBox);

  WCHAR pattern[room::filePath] = {};
  if (!programFolder(pattern) || !append(pattern, room::filePath, u"*") ||
      !append(pattern, room::filePath, extension))
    return err::readData;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return err::ok;

  const LONG_PTR style = GetWindowLongW(db.listBox, GWL_STYLE);
  SetWindowLongW(db.listBox, GWL_STYLE, style | LBS_SORT);
  do {
    found.cFileName[MAX_PATH - 1] = 0;
    WCHAR entry[MAX_PATH] = {};
    entryName(found.cFileName, entry, MAX_PATH);
    SendMessageW(db.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  } while (FindNextFileW(search, &found));
  SetWindowLongW(db.listBox, GWL_STYLE, style & ~static_cast<LONG_PTR>(LBS_SORT));

  LRESULT select = 0;
  if (wasOpen[0] != 0) {
    LRESULT count = SendMessageW(db.listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
      WCHAR text[room::filePath] = {};
      if (SendMessageW(db.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath) continue;
      SendMessageW(db.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
      if (_wcsicmp(text, wasOpen) == 0) {
        select = row;
        break;
      }
    }
  }
  SendMessageW(db.listBox, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  FindClose(search);
  return err::ok;
}

ErrorCode importDatabase(Database& db, char16_t* path) {
  WCHAR target[room::filePath] = {};
  if (!programFolder(target) || !append(target, room::filePath, fileNameOf(path))) return err::readData;
  // A file that already lies in the program folder is opened where it is:
  // copying it onto itself could empty it.
  if (samePath(path, target)) return err::ok;

  if (!CopyFileW(path, target, TRUE)) {
    if (!fileExists(target)) return fileExists(path) ? err::writeData : err::readData;
    if (showMessage(db.mainWindow, str::confirmOverwrite, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      if (!CopyFileW(path, target, FALSE)) return err::writeData;
    } else if (showMessage(db.mainWindow, str::useExisting, MB_YESNO | MB_ICONQUESTION) != IDYES) {
      return err::canceled;
    }
  }
  std::size_t n = wcslen16(target);
  for (std::size_t i = 0; i <= n; ++i) path[i] = target[i];
  return err::ok;
}

ErrorCode deleteDatabase(Database& db) {
  LRESULT row = SendMessageW(db.listBox, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return err::ok;
  if (showMessage(db.mainWindow, str::confirmDeleteDatabase, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return err::canceled;
  WCHAR name[room::filePath] = {};
  if (SendMessageW(db.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath) return err::internal;
  SendMessageW(db.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
  WCHAR path[room::filePath] = {};
  if (!databasePath(name, path)) return err::writeData;
  // An entry whose file is still there stays listed.
  if (!DeleteFileW(path)) return err::writeData;
  SendMessageW(db.listBox, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  LRESULT count = SendMessageW(db.listBox, LB_GETCOUNT, 0, 0);
  if (count > 0) SendMessageW(db.listBox, LB_SETCURSEL, static_cast<WPARAM>(row < count ? row : count - 1), 0);
  return err::ok;
}
