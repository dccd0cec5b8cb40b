#include "commands/dispatch.h"

#include <initializer_list>

#include "commands/catalogue.h"
#include "commands/dial.h"
#include "commands/email.h"
#include "commands/sms.h"
#include "resources/ids.h"
#include "storage/database.h"
#include "storage/paths.h"
#include "views/calculated.h"
#include "views/chrome.h"
#include "views/control_behaviour.h"
#include "views/edit_commands.h"
#include "views/form.h"
#include "views/list_view.h"
#include "views/opening.h"
#include "views/search_button.h"
#include "views/search_command.h"
#include "views/sort_command.h"

namespace {

void enableSpinControls(Database& db, bool enable) {
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i)
    if (db.ui.items[i].spinControl != nullptr) EnableWindow(db.ui.items[i].spinControl, enable ? TRUE : FALSE);
}

void focusCurrentControl(Database& db) {
  if (db.ui.currentItem != -1 && db.ui.items[db.ui.currentItem].control != nullptr)
    SetFocus(db.ui.items[db.ui.currentItem].control);
}

void report(HWND window, ErrorCode code, bool silentCancel) {
  if (code == err::ok || (silentCancel && code == err::canceled)) return;
  showMessage(window, code, MB_ICONERROR);
}

bool isKind(const LayoutItem& item, ItemKind kind) { return static_cast<ItemKind>(item.kind) == kind; }

void goToButton(Database& db, std::uint32_t target) {
  if (target >= static_cast<std::uint32_t>(db.store.layout.itemCount)) return;
  auto t = static_cast<std::int32_t>(target);
  db.ui.currentItem = t;
  auto passOver = [&](std::int32_t i) {
    return isKind(db.store.layout.items[i], ItemKind::Label) || isKind(db.store.layout.items[i], ItemKind::Calculated);
  };
  std::int32_t found = -1;
  for (std::int32_t i = t; i < db.store.layout.itemCount; ++i)
    if (!passOver(i)) {
      found = i;
      break;
    }
  if (found < 0)
    for (std::int32_t i = t; i >= 0; --i)
      if (!passOver(i)) {
        found = i;
        break;
      }
  SetFocus(found >= 0 ? db.ui.items[found].control : nullptr);
  ensureVisible(db, t, false);
}

// A notification of one of the form's controls (they all carry id -1 and
// are told apart by their window).
std::int32_t dispatchNotification(Database& db, HWND window, HWND control, WORD notifyCode) {
  if (db.screen == Screen::Catalogue || control == nullptr) return 0;
  std::int32_t index = -1;
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i)
    if (db.ui.items[i].control == control) {
      index = i;
      break;
    }
  if (index < 0) return 0;
  LayoutItem& item = db.store.layout.items[index];
  ItemControls& controls = db.ui.items[index];
  const bool editing = db.screen == Screen::Editing;
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      if ((notifyCode == EN_CHANGE || notifyCode == EN_UPDATE) && editing) {
        db.store.records.currentRecordHeader.flags |= modifiedFlag;
        if (isNumericType(item.valueType)) recalculate(db, -1);
      }
      return 1;
    case ItemKind::CheckBox:
      if (notifyCode != BN_CLICKED) return 1;
      if (editing) {
        db.store.records.currentRecordHeader.flags |= modifiedFlag;
        recalculate(db, -1);
      } else {
        // Outside Editing the box keeps the value it had.
        LRESULT checked = SendMessageW(control, BM_GETCHECK, 0, 0);
        SendMessageW(control, BM_SETCHECK, checked == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      }
      return 1;
    case ItemKind::PickList:
      if (notifyCode == LBN_SELCHANGE && editing) {
        db.store.records.currentRecordHeader.flags |= modifiedFlag;
        controls.selectionChanged = true;
      }
      return 1;
    case ItemKind::GoToButton:
      if (notifyCode == BN_CLICKED) goToButton(db, item.target);
      return 1;
    case ItemKind::SearchButton: {
      if (notifyCode != BN_CLICKED || db.screen == Screen::ListView) return 1;
      // On the Editing screen the button answers that it cannot run there.
      const ErrorCode code = runSearchButton(db, item.search);
      report(window, code, false);
      return code == err::ok ? 1 : 0;
    }
    case ItemKind::SmsButton: {
      if (notifyCode != BN_CLICKED) return 1;
      const ErrorCode code = sendSms(db, item.sms);
      if (code == err::ok) showMessage(window, str::smsSent, MB_ICONINFORMATION);
      report(window, code, true);
      return code == err::ok ? 1 : 0;
    }
    default:
      return 0;
  }
}

}  // namespace

void focusFirstInputItem(Database& db) {
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    switch (static_cast<ItemKind>(db.store.layout.items[i].kind)) {
      case ItemKind::Field:
      case ItemKind::CheckBox:
      case ItemKind::PickList:
      case ItemKind::GoToButton:
      case ItemKind::SearchButton:
      case ItemKind::SmsButton:
        SetFocus(db.ui.items[i].control);
        return;
      default:
        break;
    }
  }
}

ErrorCode showListView(Database& db) {
  if (db.screen == Screen::ListView) return err::ok;
  bool openedHere = false;
  if (db.screen == Screen::Catalogue) {
    LRESULT row = SendMessageW(db.ui.listBox, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return err::ok;
    WCHAR name[room::filePath] = {};
    if (SendMessageW(db.ui.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath)
      return err::readData;
    SendMessageW(db.ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
    WCHAR path[room::filePath] = {};
    if (!databasePath(name, path)) return err::readData;
    db.screen = Screen::FormView;
    ErrorCode code = openDatabase(db.ui.mainWindow, db, path);
    if (code != err::ok) {
      // A failure after the form was built closes the database again, which
      // hides the list box: show the Catalogue's list again.
      db.screen = Screen::Catalogue;
      ShowWindow(db.ui.listBox, SW_SHOW);
      SetFocus(db.ui.listBox);
      return code;
    }
    SetWindowTextW(db.ui.mainWindow, name);
    if (db.store.records.includedCount == 0) {
      showBar(db, db.ui.formBar);
      ShowWindow(db.ui.listBox, SW_HIDE);
      focusCurrentItem(db);
      return err::ok;
    }
    openedHere = true;
  }
  ErrorCode code = fillRecordList(db);
  if (code != err::ok) {
    if (openedHere) {
      // The user must never be left on a screen with no way back: close the
      // database again and bring the Catalogue back whole.
      closeDatabase(nullptr, db);
      listDatabases(db);
    }
    return code;
  }
  showBar(db, db.ui.listBar);
  db.screen = Screen::ListView;
  ShowWindow(db.ui.listBox, SW_SHOW);
  SetFocus(db.ui.listBox);
  enableSpinControls(db, false);
  return err::ok;
}

ErrorCode showFormView(Database& db, bool discard) {
  if (db.screen == Screen::FormView) return err::ok;
  ErrorCode code = prepareFormView(db, discard);
  if (code != err::ok) return code;
  showBar(db, db.ui.formBar);
  db.screen = Screen::FormView;
  ShowWindow(db.ui.listBox, SW_HIDE);
  focusCurrentControl(db);
  enableSpinControls(db, false);
  return err::ok;
}

ErrorCode leaveRecord(Database& db) {
  if (db.screen == Screen::Editing) return showFormView(db, false);
  if (db.screen == Screen::ListView) {
    ShowWindow(db.ui.listBox, SW_HIDE);
    db.screen = Screen::FormView;
  }
  return err::ok;
}

ErrorCode startEditing(Database& db) {
  if (db.screen == Screen::Editing || db.store.layout.readOnly) return err::ok;
  ErrorCode code = prepareEditing(db);
  if (code != err::ok) return code;
  showBar(db, db.ui.editBar);
  db.screen = Screen::Editing;
  ShowWindow(db.ui.listBox, SW_HIDE);
  focusCurrentControl(db);
  enableSpinControls(db, true);
  return err::ok;
}

std::int32_t dispatchCommand(HWND window, WORD commandId, HWND control, WORD notifyCode) {
  Database& db = theDatabase();
  const Screen screen = db.screen;
  const bool listOrForm = screen == Screen::ListView || screen == Screen::FormView;
  switch (commandId) {
    case cmdOpen:
      if (screen == Screen::Catalogue) report(window, showListView(db), false);
      return 0;
    case cmdEmail:
      if (screen == Screen::Catalogue) report(window, emailDatabase(db), true);
      return 0;
    case cmdDeleteDatabase:
      if (screen == Screen::Catalogue) report(window, deleteDatabase(db), true);
      return 0;
    case cmdClose:
      if (screen == Screen::Catalogue) SendMessageW(db.ui.mainWindow, WM_CLOSE, 0, 0);
      return 0;
    case cmdShowList:
      if (listOrForm && db.store.records.includedCount > 0) report(window, showListView(db), false);
      return 0;
    case cmdDone:
      if ((screen == Screen::ListView || screen == Screen::Editing) && db.isOpen)
        report(window, showFormView(db, false), false);
      return 0;
    case cmdEdit:
      if (listOrForm && !db.store.layout.readOnly) report(window, startEditing(db), false);
      return 0;
    case cmdCancel:
      if (screen == Screen::Editing && db.isOpen) report(window, showFormView(db, true), false);
      return 0;
    case cmdSort:
      if (listOrForm && db.store.records.includedCount > 0) report(window, sortRecords(db), true);
      return 0;
    case cmdSearch:
      if (listOrForm && db.store.records.includedCount > 0) report(window, searchRecords(db), true);
      return 0;
    case cmdNew:
    case cmdDuplicate: {
      const bool duplicate = commandId == cmdDuplicate;
      if (!listOrForm || db.store.layout.readOnly || (duplicate && db.store.records.includedCount == 0)) return 0;
      ErrorCode code = startEditing(db);
      if (code == err::ok) code = startNewRecord(db, duplicate ? 1 : 0);
      report(window, code, false);
      if (code == err::ok) focusFirstInputItem(db);
      return 0;
    }
    case cmdDeleteRecord: {
      if (!listOrForm || db.store.layout.readOnly || db.store.records.includedCount == 0) return 0;
      if (showMessage(window, str::confirmDeleteRecord, MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return 0;
      // The ListView is never left on screen without a row.
      if (db.screen != Screen::FormView && db.store.records.includedCount <= 1) {
        ErrorCode code = showFormView(db, false);
        if (code != err::ok) {
          report(window, code, false);
          return 0;
        }
      }
      report(window, deleteRecord(db), false);
      return 0;
    }
    case cmdDial:
      if (listOrForm) report(window, dialCurrentRecord(db), false);
      return 0;
    case cmdMenu:
      // The menu arrives with its own operation.
      return 0;
    default:
      return dispatchNotification(db, window, control, notifyCode);
  }
}
