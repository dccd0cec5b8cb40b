#include "views/list_view.h"

#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/commit.h"
#include "views/values.h"

ErrorCode fillRecordList(Database& db) {
  if (db.screen == Screen::ListView) return err::ok;
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;
  return fillRows(db);
}

ErrorCode fillRows(Database& db) {
  ErrorCode code = err::ok;
  std::int32_t key = keyItem(db.store);
  // Without a key item the rows show the empty text: no value may come from
  // outside the layout.
  FieldValue working{};
  if (key >= 0) {
    working = db.store.layout.items[key].value;
  } else {
    working.valueType = static_cast<std::uint8_t>(ValueType::Text);
  }
  working.next = noPosition;

  SendMessageW(db.ui.listBox, LB_RESETCONTENT, 0, 0);
  for (std::uint32_t i = 0; i < db.store.file.header.recordCount; ++i) {
    RecordIndexEntry& entry = db.store.records.index[i];
    if ((entry.flags & includedFlag) == 0) {
      entry.listRow = -1;
      continue;
    }
    if (key >= 0 && entry.keyPosition != noPosition) {
      code = readFieldValue(db.store.file, entry.keyPosition, working);
      if (code != err::ok) return code;
    } else {
      resetValue(working);
    }
    char16_t text[formatBufferSize];
    if (!formatValue(text, working)) return err::conversion;
    LRESULT row = SendMessageW(db.ui.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (row < 0) return err::memory;
    entry.listRow = static_cast<std::int32_t>(row);
    SendMessageW(db.ui.listBox, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(i));
  }
  if (db.store.records.currentEntry < 0 || static_cast<std::uint32_t>(db.store.records.currentEntry) >= db.store.file.header.recordCount)
    return internalError();
  const std::int32_t row = db.store.records.index[db.store.records.currentEntry].listRow;
  if (row == -1) return internalError();
  SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
  return err::ok;
}


HBRUSH colourControl(Database& db, HWND window, UINT message, HDC dc, HWND control) {
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    const LayoutItem& item = db.store.layout.items[i];
    const ItemControls& controls = db.ui.items[i];
    if (controls.control != control) continue;
    if (controls.brush != nullptr) {
      SetBkColor(dc, item.colour);
      return controls.brush;
    }
    break;
  }
  if (message == WM_CTLCOLORLISTBOX || message == WM_CTLCOLORSTATIC) {
    SetBkColor(dc, db.store.layout.backgroundColour);
    return db.ui.backgroundBrush;
  }
  return reinterpret_cast<HBRUSH>(DefWindowProcW(window, message, reinterpret_cast<WPARAM>(dc),
                                                 reinterpret_cast<LPARAM>(control)));
}

ErrorCode removeListRow(Database& db) {
  const RecordSet& records = db.store.records;
  const std::int32_t current = records.currentEntry;
  const std::uint32_t remaining = db.store.file.header.recordCount;  // already lowered
  if (current < 0 || static_cast<std::uint32_t>(current) > remaining) return internalError();
  RecordIndexEntry* index = records.index;
  const std::int32_t row = index[current].listRow;
  if (row == -1) return internalError();
  SendMessageW(db.ui.listBox, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
  for (std::uint32_t k = static_cast<std::uint32_t>(current) + 1; k <= remaining; ++k) {
    if (index[k].listRow == -1) continue;
    index[k].listRow -= 1;
    if (SendMessageW(db.ui.listBox, LB_GETITEMDATA, static_cast<WPARAM>(index[k].listRow), 0) !=
        static_cast<LRESULT>(k))
      return internalError();
    SendMessageW(db.ui.listBox, LB_SETITEMDATA, static_cast<WPARAM>(index[k].listRow), static_cast<LPARAM>(k - 1));
  }
  return err::ok;
}
