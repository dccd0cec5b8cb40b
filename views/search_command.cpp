#include "views/search_command.h"

#include "records/search.h"
#include "resources/ids.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/chrome.h"
#include "views/commit.h"
#include "views/control_behaviour.h"
#include "views/form.h"
#include "views/list_view.h"
#include "views/values.h"

namespace {

constexpr int titleRoom = 32;
constexpr int textRoom = 1024;
constexpr DWORD editStyle = 0x54030080;
constexpr DWORD dateStyle = 0x5403000E;
constexpr DWORD timeStyle = 0x5403000A;
constexpr DWORD checkBoxStyle = 0x54030003;

enum class Input { Edit, Picker, CheckBox, None };

// The control that asks for a value of the type. A YesNo sort item (a
// check box column) is asked for with a check box.
Input inputFor(std::uint8_t valueType) {
  switch (static_cast<ValueType>(valueType)) {
    case ValueType::Integer:
    case ValueType::Number:
    case ValueType::Currency:
    case ValueType::Text:
      return Input::Edit;
    case ValueType::Date:
    case ValueType::Time:
      return Input::Picker;
    case ValueType::YesNo:
      return Input::CheckBox;
  }
  return Input::None;
}

HWND createInput(Database& db, HWND dialog, const FieldValue& probe) {
  RECT client{};
  GetClientRect(dialog, &client);
  const int height = db.ui.highResolution ? 27 : 18;
  const int width = client.right - client.left - 10;
  const int y = (client.bottom - client.top - height) / 2;
  auto create = [&](LPCWSTR className, LPCWSTR text, DWORD style) {
    return CreateWindowExW(0, className, text, style, 5, y, width, height, dialog,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(res::searchInputId)), db.ui.instance,
                           nullptr);
  };
  HWND input = nullptr;
  switch (inputFor(probe.valueType)) {
    case Input::Edit: {
      char16_t text[formatBufferSize];
      if (!formatValue(text, probe)) text[0] = 0;
      input = create(u"EDIT", text, editStyle);
      if (input == nullptr) return nullptr;
      subclassControl(input, editProc, db.ui.savedProcs.edit);
      SendMessageW(input, EM_LIMITTEXT, 255, 0);
      if (isNumericType(probe.valueType)) SendMessageW(input, EM_SETINPUTMODE, 0, IM_NUMBERS);
      break;
    }
    case Input::Picker:
      input = create(DATETIMEPICK_CLASSW, u"",
                     static_cast<ValueType>(probe.valueType) == ValueType::Date ? dateStyle : timeStyle);
      if (input == nullptr) return nullptr;
      showCalendarValue(probe, input);
      subclassControl(input, datePickerProc, db.ui.savedProcs.datePicker);
      break;
    case Input::CheckBox: {
      const std::uint32_t sortItem = db.store.file.header.sortItem;
      const char16_t* caption =
          sortItem < static_cast<std::uint32_t>(db.store.layout.itemCount) ? db.store.layout.items[sortItem].caption : u"";
      input = create(u"BUTTON", caption, checkBoxStyle);
      if (input == nullptr) return nullptr;
      SendMessageW(input, BM_SETCHECK, probe.payload.yesNo != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    }
    case Input::None:
      return nullptr;
  }
  if (db.ui.controlFont != nullptr) SendMessageW(input, WM_SETFONT, reinterpret_cast<WPARAM>(db.ui.controlFont), FALSE);
  return input;
}

// Reads the input into probe; false when what it shows is no value of the
// probe's type (the probe is then unchanged).
bool readInput(HWND input, FieldValue& probe) {
  switch (inputFor(probe.valueType)) {
    case Input::Edit: {
      WCHAR text[textRoom] = {};
      GetWindowTextW(input, text, textRoom);
      FieldValue parsed = probe;
      if (!parseValue(parsed, text, probe.valueType, probe.fieldId, probe.next)) return false;
      probe = parsed;
      return true;
    }
    case Input::Picker: {
      SYSTEMTIME time{};
      const LRESULT answer = SendMessageW(input, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
      if (answer != GDT_VALID && answer != GDT_NONE) return false;
      probe.payload.calendar.time = time;
      probe.payload.calendar.noValue = answer == GDT_NONE ? 1 : 0;
      return true;
    }
    case Input::CheckBox:
      probe.payload.yesNo = SendMessageW(input, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      return true;
    case Input::None:
      break;
  }
  return false;
}

SearchRequest* requestOf(HWND dialog) { return reinterpret_cast<SearchRequest*>(GetWindowLongW(dialog, DWL_USER)); }

}  // namespace

INT_PTR searchForDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* request = reinterpret_cast<SearchRequest*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      Database& db = *request->db;
      WCHAR title[titleRoom] = {};
      LoadStringW(db.ui.instance, str::searchFor, title, titleRoom);
      SetWindowTextW(dialog, title);
      ShowWindow(GetDlgItem(dialog, res::listBoxId), SW_HIDE);
      if (!setUpDialogShell(dialog, db.ui.instance)) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      HWND input = createInput(db, dialog, *request->probe);
      if (input == nullptr) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      SetFocus(input);
      // The current key stands selected: typing replaces it, Left or Right
      // keep it to edit.
      if (inputFor(request->probe->valueType) == Input::Edit) SendMessageW(input, EM_SETSEL, 0, -1);
      return FALSE;  // the focus is given
    }
    case WM_HOTKEY: {
      const SearchRequest* request = requestOf(dialog);
      if (!isBackHotKey(message, lParam) || request == nullptr) return FALSE;
      // Back erases a character of the typed value.
      if (inputFor(request->probe->valueType) == Input::Edit) SHSendBackToFocusWindow(message, wParam, lParam);
      return TRUE;
    }
    case WM_COMMAND: {
      SearchRequest* request = requestOf(dialog);
      if (LOWORD(wParam) == IDOK) {
        if (request == nullptr) {
          EndDialog(dialog, 0);
        } else if (readInput(GetDlgItem(dialog, res::searchInputId), *request->probe)) {
          EndDialog(dialog, 1);
        } else {
          MessageBeep(0xFFFFFFFF);
        }
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

ErrorCode searchRecords(Database& db) {
  if (db.screen == Screen::Editing || db.screen == Screen::Catalogue) return internalError();
  Store& store = db.store;
  const std::uint32_t sortItem = store.file.header.sortItem;
  if (sortItem == noItem) return err::noSortOrder;
  if (sortItem >= static_cast<std::uint32_t>(store.layout.itemCount)) return internalError();
  // A column of no known type could be asked for with no control at all.
  const LayoutItem& key = store.layout.items[sortItem];
  if (inputFor(key.valueType) == Input::None) return internalError();
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;

  FieldValue probe = key.value;
  probe.next = noPosition;
  SearchRequest request{&db, &probe};
  // A dialog that could not be set up answers -1: only OK searches.
  const INT_PTR answer = DialogBoxParamW(db.ui.instance, MAKEINTRESOURCEW(res::listDialog), db.ui.mainWindow,
                                         searchForDialog, reinterpret_cast<LPARAM>(&request));
  if (answer != 1) return err::canceled;

  std::int32_t found = -1;
  code = findKey(store, probe, found);
  if (code != err::ok) return code;
  RecordSet& records = store.records;
  const std::int32_t previousEntry = records.currentEntry;
  const Position previousRecord = records.currentRecord;
  records.currentEntry = found;
  records.currentRecord = records.index[found].position;
  code = showRecord(db);
  if (code != err::ok) {
    // A record that cannot be shown is not gone to: the form shows the one
    // that was current, as the list's selection still does.
    records.currentEntry = previousEntry;
    records.currentRecord = previousRecord;
    showRecord(db);
    return code;
  }
  if (db.screen != Screen::ListView) return err::ok;
  // A search moves no record and changes no mark: the list keeps its rows
  // and only the selection moves, so no read can leave it half filled.
  const std::int32_t row = records.index[found].listRow;
  if (row < 0 || SendMessageW(db.ui.listBox, LB_GETITEMDATA, static_cast<WPARAM>(row), 0) != found)
    return fillRows(db);
  SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  return err::ok;
}
