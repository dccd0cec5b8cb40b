#include "views/list_view.h"

#include "commands/dispatch.h"
#include "records/encoding.h"
#include "records/store.h"
#include "storage/database.h"
#include "views/values.h"

ErrorCode fillRecordList(Database& db) {
  if (db.screen == Screen::ListView) return err::ok;
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;

  std::int32_t key = keyItem(db);
  // Without a key item the rows show the empty text: no value may come from
  // outside the layout.
  FieldValue working{};
  if (key >= 0) {
    working = db.items[key].value;
  } else {
    working.valueType = static_cast<std::uint8_t>(ValueType::Text);
  }
  working.next = noPosition;

  SendMessageW(db.listBox, LB_RESETCONTENT, 0, 0);
  for (std::uint32_t i = 0; i < db.dataHeader.recordCount; ++i) {
    RecordIndexEntry& entry = db.recordIndex[i];
    if ((entry.flags & includedFlag) == 0) {
      entry.listRow = -1;
      continue;
    }
    if (key >= 0 && entry.keyPosition != noPosition) {
      code = readFieldValue(db, entry.keyPosition, working);
      if (code != err::ok) return code;
    } else {
      resetValue(working);
    }
    char16_t text[formatBufferSize];
    if (!formatValue(text, working)) return err::conversion;
    LRESULT row = SendMessageW(db.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (row < 0) return err::memory;
    entry.listRow = static_cast<std::int32_t>(row);
    SendMessageW(db.listBox, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(i));
  }
  if (db.currentEntry < 0 || static_cast<std::uint32_t>(db.currentEntry) >= db.dataHeader.recordCount)
    return err::internal;
  const std::int32_t row = db.recordIndex[db.currentEntry].listRow;
  if (row == -1) return err::internal;
  SendMessageW(db.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  return err::ok;
}

LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  if (message == WM_CHAR && wParam == VK_RETURN) {
    ErrorCode code = err::ok;
    if (db.screen == Screen::Catalogue) {
      code = showListView(db);
    } else if (db.screen == Screen::ListView) {
      code = showFormView(db, false);
    }
    if (code != err::ok) {
      showMessage(window, code, MB_ICONERROR);
      return 0;
    }
  }
  return CallWindowProcW(db.savedProcs.listBox, window, message, wParam, lParam);
}

HBRUSH colourControl(Database& db, HWND window, UINT message, HDC dc, HWND control) {
  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    const LayoutItem& item = db.items[i];
    if (item.control != control) continue;
    if (item.brush != nullptr) {
      SetBkColor(dc, item.colour);
      return item.brush;
    }
    break;
  }
  if (message == WM_CTLCOLORLISTBOX || message == WM_CTLCOLORSTATIC) {
    SetBkColor(dc, db.backgroundColour);
    return db.backgroundBrush;
  }
  return reinterpret_cast<HBRUSH>(DefWindowProcW(window, message, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control)));
}
