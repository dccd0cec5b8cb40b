#include "storage/open.h"

#include <algorithm>
#include <new>
#include <vector>

#include "records/encoding.h"
#include "records/store.h"
#include "storage/database.h"
#include "storage/layout.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "views/form.h"

namespace {

void resetDataHeader(Database& db) {
  db.dataHeader = DataHeader{};
  db.includedCount = 0;
}

// Forgets the records of the open file: the DataHeader, the RecordIndex and
// the current record. dataBase stays: it was fixed when the file was opened.
void forgetRecords(Database& db) {
  resetDataHeader(db);
  db.currentEntry = -1;
  db.currentRecord = noPosition;
  db.currentRecordHeader = RecordHeader{};
  db.currentRecordLoaded = false;
  db.recordHeaderUnsaved = false;
  db.pendingReleases.clear();
  freeRecordIndex(db);
}

}  // namespace

HBRUSH brushFor(Database& db, COLORREF colour) {
  if (colour == 0xFFFFFFFF) return nullptr;
  for (auto& slot : db.brushCache)
    if (slot.colour == colour) return slot.brush;
  for (auto& slot : db.brushCache) {
    if (slot.colour != 0xFFFFFFFF) continue;
    HBRUSH brush = CreateSolidBrush(colour);
    if (brush == nullptr) return nullptr;
    slot.colour = colour;
    slot.brush = brush;
    return brush;
  }
  return db.brushCache[0].brush;
}

void freeRecordIndex(Database& db) {
  delete[] db.recordIndex;
  db.recordIndex = nullptr;
}

ErrorCode openDatabase(HWND ownerWindow, Database& db, const char16_t* path) {
  const std::size_t length = wcslen16(path);
  if (length >= static_cast<std::size_t>(room::filePath)) return err::readData;

  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return err::readData;

  std::copy(path, path + length + 1, db.filePath);
  ErrorCode code = readLayout(file, db);
  if (code != err::ok) {
    CloseHandle(file);
    db.filePath[0] = 0;
    return code;
  }
  // The data area starts where the layout ends; this is the one moment the
  // file position says so.
  DWORD dataBase = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
  if (dataBase == INVALID_SET_FILE_POINTER) {
    CloseHandle(file);
    resetHeaderFields(db);
    return err::readData;
  }

  db.backgroundBrush = brushFor(db, db.backgroundColour);
  db.currentItem = -1;
  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    LayoutItem& item = db.items[i];
    item.brush = brushFor(db, item.colour);
    auto kind = static_cast<ItemKind>(item.kind);
    if (db.currentItem < 0 && kind != ItemKind::Label && kind != ItemKind::Calculated) db.currentItem = i;
  }
  db.isOpen = 1;

  code = buildForm(ownerWindow, db, -1);
  if (code != err::ok) {
    CloseHandle(file);
    db.file = INVALID_HANDLE_VALUE;
    closeDatabase(nullptr, db);
    return code;
  }

  db.file = file;
  db.dataBase = dataBase;
  code = loadRecordIndex(db);
  if (code != err::ok) {
    closeDatabase(nullptr, db);
    return code;
  }
  return err::ok;
}

ErrorCode loadRecordIndex(Database& db) {
  if (db.screen != Screen::FormView) return err::internal;
  ErrorCode code = commitAndReset(db);
  if (code != err::ok) return code;

  code = readDataHeader(db);
  if (code != err::ok) {
    resetDataHeader(db);
    return code;
  }
  DataHeader& header = db.dataHeader;
  // A sort item outside the layout cannot order anything.
  if (header.sortItem != noItem && header.sortItem >= static_cast<std::uint32_t>(db.itemCount))
    header.sortItem = noItem;

  // Every record takes at least its 12-byte header: a count the data area
  // cannot hold is a damaged file, not an allocation to attempt.
  std::uint32_t dataSize = dataAreaSize(db);
  if (dataSize < dataHeaderSize || header.recordCount > (dataSize - dataHeaderSize) / recordHeaderSize) {
    resetDataHeader(db);
    return err::readData;
  }

  db.includedCount = header.recordCount;
  std::int32_t key = keyItem(db);

  if (header.recordCount != 0) {
    auto* index = new (std::nothrow) RecordIndexEntry[header.recordCount];
    if (index == nullptr) {
      resetDataHeader(db);
      return err::memory;
    }
    std::uint32_t loaded = 0;
    Position position = header.firstRecord;
    // One budget for the whole walk: records whose chains share entries
    // would otherwise cost the square of their number.
    StepBudget budget{dataSize / freeBlockSize};
    while (position != noPosition && loaded < header.recordCount) {
      RecordHeader record;
      code = budget.take() ? readRecordHeader(db, position, record) : err::readData;
      Position keyPosition = noPosition;
      if (code == err::ok) code = findKeyField(db, record.firstField, key, keyPosition, &budget);
      if (code != err::ok) {
        delete[] index;
        resetDataHeader(db);
        return code;
      }
      index[loaded] = RecordIndexEntry{position, includedFlag, -1, keyPosition};
      ++loaded;
      position = record.nextRecord;
    }
    // A chain that visits a record twice would put one record in the index
    // twice; every later commit would then corrupt it.
    std::vector<Position> seen(loaded);
    for (std::uint32_t i = 0; i < loaded; ++i) seen[i] = index[i].position;
    std::sort(seen.begin(), seen.end());
    if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) {
      delete[] index;
      resetDataHeader(db);
      return err::readData;
    }
    // A chain shorter than its count (an interrupted delete can leave one)
    // still opens with the records it has.
    header.recordCount = loaded;
    db.includedCount = loaded;
    if (loaded == 0) {
      delete[] index;
      index = nullptr;
    }
    db.recordIndex = index;
  }

  db.currentEntry = -1;
  db.currentRecord = noPosition;
  db.currentRecordHeader = RecordHeader{};
  db.currentRecordLoaded = false;

  code = showFirstRecord(db);
  if (code != err::ok) {
    db.currentRecordHeader.flags &= ~modifiedFlag;
    commitAndReset(db);
    return code;
  }
  return err::ok;
}

ErrorCode commitAndReset(Database& db) {
  if (db.screen == Screen::Catalogue || db.screen == Screen::ListView) return err::internal;
  // Also without a pending edit: a DataHeader that an earlier commit could
  // not write must reach the file before the database is let go.
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;
  forgetRecords(db);
  return err::ok;
}

ErrorCode closeDatabase(HWND ownerWindow, Database& db) {
  if (!db.isOpen) return err::ok;
  if (ownerWindow != nullptr) {
    ErrorCode code = commitAndReset(db);
    if (code != err::ok) return code;
  } else {
    forgetRecords(db);
  }

  if (db.file != INVALID_HANDLE_VALUE) CloseHandle(db.file);
  db.file = INVALID_HANDLE_VALUE;
  db.dataBase = noPosition;

  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    LayoutItem& item = db.items[i];
    if (item.control != nullptr) DestroyWindow(item.control);
    if (item.spinControl != nullptr) DestroyWindow(item.spinControl);
    item.control = nullptr;
    item.spinControl = nullptr;
    item.brush = nullptr;
  }

  if (db.formScrollBar != nullptr) {
    SetScrollRange(db.formScrollBar, SB_CTL, 0, 0, FALSE);
    SetScrollPos(db.formScrollBar, SB_CTL, 0, FALSE);
    ShowWindow(db.formScrollBar, SW_HIDE);
  }
  db.formScroll = 0;
  if (db.listBox != nullptr) ShowWindow(db.listBox, SW_HIDE);
  db.reserved11 = 0;

  for (auto& slot : db.brushCache) {
    if (slot.brush != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(slot.brush));
    slot = BrushSlot{};
  }
  db.backgroundColour = 0xFFFFFF;
  db.backgroundBrush = brushFor(db, db.backgroundColour);
  db.itemCount = 0;
  db.currentItem = -1;
  db.isOpen = 0;

  db.password[0] = 0;
  db.headerText[0] = 0;
  db.filePath[0] = 0;
  db.mailSubject[0] = 0;
  db.mailRecipient[0] = 0;
  db.reserved2 = 0;
  db.reserved8 = 0;
  db.readOnly = 0;
  return err::ok;
}
