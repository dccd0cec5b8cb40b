#include "views/list_view.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

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

namespace {

// The key texts of the included records, read in the order of their
// entries in the file rather than in list order: after a sort by another
// column the list order jumps about the file, and every row would cost a
// read of its own. A value that cannot be read is the fill's failure, as
// it would be in list order (a retry that happened to succeed would hide
// the fault from the user); when memory runs out or a value cannot be
// shown, `done` stays false and the rows are read in list order instead.
ErrorCode keyTextsInFileOrder(Database& db, FieldValue working, std::vector<char16_t>& pool,
                              std::vector<std::uint32_t>& start, bool& done) {
  done = false;
  const std::uint32_t count = db.store.file.header.recordCount;
  const RecordIndexEntry* index = db.store.records.index;
  try {
    std::vector<std::pair<Position, std::uint32_t>> byPosition;
    for (std::uint32_t i = 0; i < count; ++i)
      if ((index[i].flags & includedFlag) != 0 && index[i].keyPosition != noPosition)
        byPosition.emplace_back(index[i].keyPosition, i);
    std::sort(byPosition.begin(), byPosition.end());
    start.assign(count, noPosition);
    char16_t text[formatBufferSize];
    for (const auto& [position, i] : byPosition) {
      if (ErrorCode code = readFieldValue(db.store.file, position, working)) return code;
      if (!formatValue(text, working)) return err::ok;
      start[i] = static_cast<std::uint32_t>(pool.size());
      for (const char16_t* p = text; *p != 0; ++p) pool.push_back(*p);
      pool.push_back(0);
    }
  } catch (const std::bad_alloc&) {
    return err::ok;
  }
  done = true;
  return err::ok;
}

// True when the included records' key entries stand in the file in list
// order, as in a file written in its sort order.
bool keysInFileOrder(const Database& db) {
  Position last = 0;
  const RecordIndexEntry* index = db.store.records.index;
  for (std::uint32_t i = 0; i < db.store.file.header.recordCount; ++i) {
    if ((index[i].flags & includedFlag) == 0 || index[i].keyPosition == noPosition) continue;
    if (index[i].keyPosition < last) return false;
    last = index[i].keyPosition;
  }
  return true;
}

}  // namespace

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

  std::vector<char16_t> pool;
  std::vector<std::uint32_t> start;
  bool read = false;
  if (key >= 0 && !keysInFileOrder(db)) {
    code = keyTextsInFileOrder(db, working, pool, start, read);
    if (code != err::ok) return code;
  }

  SendMessageW(db.ui.listBox, LB_RESETCONTENT, 0, 0);
  for (std::uint32_t i = 0; i < db.store.file.header.recordCount; ++i) {
    RecordIndexEntry& entry = db.store.records.index[i];
    if ((entry.flags & includedFlag) == 0) {
      entry.listRow = -1;
      continue;
    }
    char16_t text[formatBufferSize];
    const char16_t* shown = text;
    if (read && start[i] != noPosition) {
      shown = pool.data() + start[i];
    } else {
      if (key >= 0 && entry.keyPosition != noPosition) {
        code = readFieldValue(db.store.file, entry.keyPosition, working);
        if (code != err::ok) return code;
      } else {
        resetValue(working);
      }
      if (!formatValue(text, working)) return err::conversion;
    }
    LRESULT row = SendMessageW(db.ui.listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(shown));
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
