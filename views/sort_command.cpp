#include "views/sort_command.h"

#include "records/sort.h"
#include "resources/ids.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/chrome.h"
#include "views/commit.h"
#include "views/form.h"
#include "views/list_view.h"

namespace {
constexpr int titleRoom = 32;

bool isSortable(const LayoutItem& item) {
  const auto kind = static_cast<ItemKind>(item.kind);
  return kind == ItemKind::Field || kind == ItemKind::PickList;
}
}  // namespace

INT_PTR pickColumnDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      Database& db = *reinterpret_cast<Database*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      WCHAR title[titleRoom] = {};
      LoadStringW(db.ui.instance, str::pickColumn, title, titleRoom);
      SetWindowTextW(dialog, title);
      HWND list = GetDlgItem(dialog, res::listBoxId);
      const Layout& layout = db.store.layout;
      for (std::int32_t i = 0; i < layout.itemCount; ++i) {
        if (!isSortable(layout.items[i])) continue;
        const LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(layout.items[i].caption));
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(i));
        if (static_cast<std::uint32_t>(i) == db.store.file.header.sortItem)
          SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
      }
      if (SendMessageW(list, LB_GETCURSEL, 0, 0) == LB_ERR) SendMessageW(list, LB_SETCURSEL, 0, 0);
      if (!setUpDialogShell(dialog, db.ui.instance)) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      RECT client{};
      GetClientRect(dialog, &client);
      MoveWindow(list, 0, 0, client.right - client.left, client.bottom - client.top, FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        HWND list = GetDlgItem(dialog, res::listBoxId);
        const LRESULT row = SendMessageW(list, LB_GETCURSEL, 0, 0);
        EndDialog(dialog, row == LB_ERR ? -1 : SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(dialog, -1);
      return TRUE;
    default:
      return FALSE;
  }
}

ErrorCode sortRecords(Database& db) {
  if (db.screen == Screen::Catalogue) return internalError();
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;
  RecordSet& records = db.store.records;
  if (records.currentEntry < 0 || records.currentRecord == noPosition) return internalError();

  const INT_PTR chosen = DialogBoxParamW(db.ui.instance, MAKEINTRESOURCEW(res::listDialog), db.ui.mainWindow,
                                         pickColumnDialog, reinterpret_cast<LPARAM>(&db));
  if (chosen < 0 || chosen >= db.store.layout.itemCount || !isSortable(db.store.layout.items[chosen]))
    return err::canceled;
  const auto item = static_cast<std::int32_t>(chosen);

  // The new order is worked out beside the index and takes its place only
  // once the file holds it.
  SortPlan plan;
  code = planSort(db.store, item, plan);
  if (code == err::ok) code = applySort(db.store, item, plan);
  if (code != err::ok) {
    // A relink that could not even be put back reloaded the index from the
    // file: the form must not go on showing a record that is no longer
    // current, or a commit would store it as a new one.
    if (records.currentRecord == noPosition) showFirstRecord(db);
    return code;
  }
  if (db.screen == Screen::ListView) return fillRows(db);
  return err::ok;
}
