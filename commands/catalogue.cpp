#include "commands/catalogue.h"

#include "commands/dispatch.h"
#include "resources/ids.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "storage/paths.h"
#include "views/chrome.h"
#include "views/opening.h"

namespace {

constexpr int titleRoom = 32;

void setTitle(Database& db) {
  WCHAR title[titleRoom] = {};
  LoadStringW(db.ui.instance, str::appName, title, titleRoom);
  SetWindowTextW(db.ui.mainWindow, title);
}

}  // namespace

ErrorCode listDatabases(Database& db) {
  if (db.screen == Screen::Editing) return internalError();
  WCHAR wasOpen[room::filePath] = {};
  if (db.isOpen) entryName(db.store.file.path, wasOpen, room::filePath);
  if (db.screen != Screen::Catalogue) {
    ErrorCode code = leaveRecord(db);
    if (code != err::ok) return code;
    code = closeDatabase(db.ui.mainWindow, db);
    if (code != err::ok) return code;
    showBar(db, db.ui.catalogueBar);
    db.screen = Screen::Catalogue;
    setTitle(db);
  }

  SendMessageW(db.ui.listBox, LB_RESETCONTENT, 0, 0);
  ShowWindow(db.ui.listBox, SW_SHOW);
  SetFocus(db.ui.listBox);

  WCHAR pattern[room::filePath] = {};
  if (!programFolder(pattern) || !appendPath(pattern, room::filePath, u"*") ||
      !appendPath(pattern, room::filePath, databaseExtension))
    return err::readData;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return err::ok;

  const LONG_PTR style = GetWindowLongW(db.ui.listBox, GWL_STYLE);
  SetWindowLongW(db.ui.listBox, GWL_STYLE, style | LBS_SORT);
  do {
    found.cFileName[MAX_PATH - 1] = 0;
    WCHAR entry[MAX_PATH] = {};
    entryName(found.cFileName, entry, MAX_PATH);
    SendMessageW(db.ui.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  } while (FindNextFileW(search, &found));
  SetWindowLongW(db.ui.listBox, GWL_STYLE, style & ~static_cast<LONG_PTR>(LBS_SORT));

  LRESULT select = 0;
  if (wasOpen[0] != 0) {
    LRESULT count = SendMessageW(db.ui.listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
      WCHAR text[room::filePath] = {};
      if (SendMessageW(db.ui.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath) continue;
      SendMessageW(db.ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
      if (_wcsicmp(text, wasOpen) == 0) {
        select = row;
        break;
      }
    }
  }
  SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(select), 0);
  FindClose(search);
  return err::ok;
}

ErrorCode deleteDatabase(Database& db) {
  LRESULT row = SendMessageW(db.ui.listBox, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return err::ok;
  if (showMessage(db.ui.mainWindow, str::confirmDeleteDatabase, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return err::canceled;
  WCHAR name[room::filePath] = {};
  if (SendMessageW(db.ui.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath) return internalError();
  SendMessageW(db.ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
  WCHAR path[room::filePath] = {};
  if (!databasePath(name, path)) return err::writeData;
  // An entry whose file is still there stays listed.
  if (!DeleteFileW(path)) return err::writeData;
  SendMessageW(db.ui.listBox, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  LRESULT count = SendMessageW(db.ui.listBox, LB_GETCOUNT, 0, 0);
  if (count > 0) SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row < count ? row : count - 1), 0);
  return err::ok;
}
