#include "records/store.h"

#include <cstring>
#include <new>
#include <vector>

#include "records/compare.h"
#include "records/encoding.h"
#include "storage/database.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "storage/writer.h"
#include "views/values.h"

namespace {

constexpr int controlTextRoom = 1024;

// The marks one commit works with.
struct Commit {
  Database& db;
  int allowReorder;
  bool recordHeaderDirty = false;
  bool dataHeaderDirty = false;
  bool keyChanged = false;
  ErrorCode error = err::ok;

  // Keeps the first error; later ones are consequences.
  ErrorCode fail(ErrorCode code) {
    if (error == err::ok) error = code;
    return code;
  }
};

enum class Decision { Unchanged, Remove, Write, RemoveThenWrite };

bool sameText(const TextValue& a, const TextValue& b) {
  return a.count == b.count && std::memcmp(a.chars, b.chars, sizeof(char16_t) * a.count) == 0;
}

bool sameDay(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay;
}

bool sameSecond(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

Decision decide(const FieldValue& fresh, const FieldValue& old) {
  const auto& n = fresh.payload;
  const auto& o = old.payload;
  switch (static_cast<ValueType>(fresh.valueType)) {
    case ValueType::Integer:
      if (n.integer == o.integer) return Decision::Unchanged;
      return n.integer == 0 ? Decision::Remove : Decision::Write;
    case ValueType::Number:
    case ValueType::Currency:
      if (n.number == o.number) return Decision::Unchanged;
      return n.number == 0.0 ? Decision::Remove : Decision::Write;
    case ValueType::Date:
    case ValueType::Time: {
      const bool isDate = static_cast<ValueType>(fresh.valueType) == ValueType::Date;
      const auto& a = n.calendar;
      const auto& b = o.calendar;
      if (a.noValue == 1 && b.noValue == 1) return Decision::Unchanged;
      if (a.noValue != 1 && b.noValue != 1 && (isDate ? sameDay(a.time, b.time) : sameSecond(a.time, b.time)))
        return Decision::Unchanged;
      return a.noValue == 1 ? Decision::Remove : Decision::Write;
    }
    case ValueType::Text:
      if (sameText(n.text, o.text)) return Decision::Unchanged;
      if (n.text.count <= 1) return Decision::Remove;
      // A stored entry is rewritten where it stands only when it has exactly
      // the room the new text needs.
      if (o.text.count <= 1 || storedSize(fresh) == storedSize(old)) return Decision::Write;
      return Decision::RemoveThenWrite;
    case ValueType::YesNo:
      if ((n.yesNo != 0) == (o.yesNo != 0)) return Decision::Unchanged;
      return n.yesNo == 0 ? Decision::Remove : Decision::Write;
    default:
      return Decision::Unchanged;
  }
}

ErrorCode writeEntry(Database& db, Position position, const FieldValue& value) {
  std::vector<std::uint8_t> bytes = encodeFieldEntry(value);
  return writeAt(db, position, static_cast<std::uint32_t>(bytes.size()), bytes.data());
}

// Reads one item's control into fresh. hasValue is false for items that
// hold no value, and for a pick list the user did not touch: it keeps its
// stored text.
ErrorCode readControl(const LayoutItem& item, FieldValue& fresh, bool& hasValue) {
  hasValue = true;
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Label:
    case ItemKind::Calculated:
    case ItemKind::GoToButton:
    case ItemKind::SearchButton:
    case ItemKind::SmsButton:
      hasValue = false;
      return err::ok;
    case ItemKind::CheckBox:
      fresh.payload.yesNo = SendMessageW(item.control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      return err::ok;
    case ItemKind::PickList: {
      if (!item.selectionChanged) {
        hasValue = false;
        return err::ok;
      }
      WCHAR text[room::valueText] = {};
      LRESULT row = SendMessageW(item.control, LB_GETCURSEL, 0, 0);
      if (row != LB_ERR) {
        LRESULT length = SendMessageW(item.control, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        if (length < 0 || length >= room::valueText) return err::internal;
        SendMessageW(item.control, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
      }
      setText(fresh, text);
      return err::ok;
    }
    case ItemKind::Field: {
      auto type = static_cast<ValueType>(item.valueType);
      if (type == ValueType::Date || type == ValueType::Time) {
        SYSTEMTIME shown{};
        LRESULT answer = SendMessageW(item.control, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
        fresh.payload.calendar.time = shown;
        fresh.payload.calendar.noValue = answer == GDT_NONE ? 1 : 0;
        return err::ok;
      }
      if (type == ValueType::Integer || type == ValueType::Number || type == ValueType::Currency ||
          type == ValueType::Text) {
        WCHAR text[controlTextRoom] = {};
        GetWindowTextW(item.control, text, controlTextRoom);
        if (!parseValue(fresh, text, item.valueType, item.fieldId, item.value.next)) return err::conversion;
        return err::ok;
      }
      return err::internal;
    }
    default:
      return err::internal;
  }
}

// Takes item's entry out of the record's chain and gives its room back.
ErrorCode removeEntry(Commit& c, std::int32_t index) {
  Database& db = c.db;
  LayoutItem& item = db.items[index];
  if (item.valuePosition == noPosition) return err::internal;

  std::int32_t predecessor = -1;
  for (std::int32_t j = 0; j < db.itemCount; ++j)
    if (j != index && db.items[j].valuePosition != noPosition && db.items[j].value.next == item.valuePosition) {
      predecessor = j;
      break;
    }
  if (predecessor >= 0) {
    LayoutItem& before = db.items[predecessor];
    before.value.next = item.value.next;
    ErrorCode code = writeEntry(db, before.valuePosition, before.value);
    if (code != err::ok) {
      before.value.next = item.valuePosition;
      return code;
    }
  } else if (db.currentRecordHeader.firstField == item.valuePosition) {
    db.currentRecordHeader.firstField = item.value.next;
  } else {
    // The predecessor holds a column that is not on the form: find it in
    // the stored chain, so that no value behind it is cut off.
    ChainWalk walk(db);
    Position at = db.currentRecordHeader.firstField;
    bool relinked = false;
    while (at != noPosition) {
      if (!walk.step(at)) return err::readData;
      std::uint8_t header[fieldHeaderSize];
      ErrorCode code = readAt(db, at, fieldHeaderSize, header);
      if (code != err::ok) return code;
      Position next = static_cast<Position>(header[0]) | (static_cast<Position>(header[1]) << 8) |
                      (static_cast<Position>(header[2]) << 16) | (static_cast<Position>(header[3]) << 24);
      if (next == item.valuePosition) {
        const Position after = item.value.next;
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(after), static_cast<std::uint8_t>(after >> 8),
                                       static_cast<std::uint8_t>(after >> 16),
                                       static_cast<std::uint8_t>(after >> 24)};
        code = writeAt(db, at, 4, bytes);
        if (code != err::ok) return code;
        relinked = true;
        break;
      }
      at = next;
    }
    if (!relinked) return err::internal;
  }

  const std::uint32_t size = storedSize(item.value);
  const Position released = item.valuePosition;
  item.value.next = noPosition;
  item.valuePosition = noPosition;
  resetValue(item.value);
  if (static_cast<std::uint32_t>(index) == db.dataHeader.sortItem) c.keyChanged = true;
  // Given back only once the record's header no longer names the chain it
  // was part of, so that a failed write leaves a chain that still walks.
  db.pendingReleases.push_back({released, size});
  return err::ok;
}

// Stores fresh as item's value: where its entry stands, or in new room at
// the head of the record's chain.
ErrorCode writeValue(Commit& c, std::int32_t index, const FieldValue& fresh) {
  Database& db = c.db;
  LayoutItem& item = db.items[index];
  const FieldValue old = item.value;
  const Position next = item.value.next;
  item.value = fresh;
  item.value.next = next;
  if (item.valuePosition != noPosition) {
    ErrorCode code = writeEntry(db, item.valuePosition, item.value);
    if (code != err::ok) {
      item.value = old;
      return code;
    }
  } else {
    bool headerChanged = false;
    Position position = noPosition;
    ErrorCode code = allocateSpace(db, storedSize(item.value), headerChanged, position);
    if (headerChanged) c.dataHeaderDirty = true;
    if (code != err::ok) {
      item.value = old;
      return code;
    }
    item.value.next = db.currentRecordHeader.firstField;
    code = writeEntry(db, position, item.value);
    if (code != err::ok) {
      headerChanged = false;
      releaseSpace(db, position, storedSize(item.value), headerChanged);
      if (headerChanged) c.dataHeaderDirty = true;
      item.value = old;
      return code;
    }
    db.currentRecordHeader.firstField = position;
    item.valuePosition = position;
  }
  if (static_cast<std::uint32_t>(index) == db.dataHeader.sortItem) c.keyChanged = true;
  return err::ok;
}

// Visits the items from the last to the first and stores what changed.
ErrorCode storeValues(Commit& c) {
  Database& db = c.db;
  for (std::int32_t i = db.itemCount - 1; i >= 0; --i) {
    LayoutItem& item = db.items[i];
    FieldValue fresh = item.value;
    bool hasValue = false;
    ErrorCode code = readControl(item, fresh, hasValue);
    if (code != err::ok) return code;
    if (!hasValue) continue;
    Decision decision = decide(fresh, item.value);
    if (decision == Decision::Unchanged) continue;
    c.recordHeaderDirty = true;
    if (decision == Decision::Remove || decision == Decision::RemoveThenWrite) {
      code = removeEntry(c, i);
      if (code != err::ok) return code;
      if (decision == Decision::Remove) continue;
    }
    code = writeValue(c, i, fresh);
    if (code != err::ok) return code;
  }
  return err::ok;
}

Position keyPositionOf(Database& db) {
  std::int32_t key = keyItem(db);
  return key >= 0 && key < db.itemCount ? db.items[key].valuePosition : noPosition;
}

// Sets a record's nextRecord in the file: read, change, write.
ErrorCode relink(Database& db, Position record, Position next) {
  RecordHeader header;
  ErrorCode code = readRecordHeader(db, record, header);
  if (code != err::ok) return code;
  header.nextRecord = next;
  return writeRecordHeader(db, record, header);
}

// Moves a re-keyed record to its new place by relinking its RecordHeader:
// nothing is allocated, so a failure leaves the record with its values,
// in its old place or its new one. The record's own header is written
// before anything points to it.
ErrorCode moveRecord(Commit& c) {
  Database& db = c.db;
  const std::int32_t old = db.currentEntry;
  const std::uint32_t count = db.dataHeader.recordCount;
  if (old < 0 || static_cast<std::uint32_t>(old) >= count) return err::internal;
  RecordIndexEntry* index = db.recordIndex;
  const RecordIndexEntry moving = index[old];
  const Position previous = old > 0 ? index[old - 1].position : noPosition;
  const std::uint32_t tail = count - 1 - static_cast<std::uint32_t>(old);

  // Search the order without the record itself.
  std::memmove(index + old, index + old + 1, sizeof(RecordIndexEntry) * tail);
  db.dataHeader.recordCount = count - 1;
  std::int32_t after = -1;
  ErrorCode code = locateKey(db, db.items[db.dataHeader.sortItem].value, true, after);
  db.dataHeader.recordCount = count;
  auto restoreIndex = [&] {
    std::memmove(index + old + 1, index + old, sizeof(RecordIndexEntry) * tail);
    index[old] = moving;
  };
  if (code != err::ok || after == old - 1) {
    restoreIndex();
    return code;
  }

  const Position self = db.currentRecord;
  const Position oldNext = db.currentRecordHeader.nextRecord;
  const Position oldFirst = db.dataHeader.firstRecord;
  // Unlink from the old place.
  if (previous != noPosition) {
    code = relink(db, previous, oldNext);
    if (code != err::ok) {
      restoreIndex();
      return code;
    }
  } else {
    db.dataHeader.firstRecord = oldNext;
  }
  auto putBack = [&] {
    if (previous != noPosition) relink(db, previous, self);
    // The move may have made the record, or its old successor, the first.
    db.dataHeader.firstRecord = oldFirst;
    db.currentRecordHeader.nextRecord = oldNext;
    writeRecordHeader(db, self, db.currentRecordHeader);
    restoreIndex();
  };

  // The record's new successor, written into its own header first.
  const Position newPrevious = after >= 0 ? index[after].position : noPosition;
  RecordHeader predecessor;
  if (newPrevious != noPosition) {
    code = readRecordHeader(db, newPrevious, predecessor);
    if (code != err::ok) {
      putBack();
      return code;
    }
    db.currentRecordHeader.nextRecord = predecessor.nextRecord;
  } else {
    db.currentRecordHeader.nextRecord = db.dataHeader.firstRecord;
  }
  code = writeRecordHeader(db, self, db.currentRecordHeader);
  if (code == err::ok) {
    if (newPrevious != noPosition) {
      predecessor.nextRecord = self;
      code = writeRecordHeader(db, newPrevious, predecessor);
    } else {
      db.dataHeader.firstRecord = self;
    }
  }
  // A new first record must reach the DataHeader before the commit goes on:
  // otherwise the chain in the file would start in its middle.
  if (code == err::ok && db.dataHeader.firstRecord != oldFirst) {
    code = writeDataHeader(db);
    if (code != err::ok && newPrevious != noPosition) {
      predecessor.nextRecord = db.currentRecordHeader.nextRecord;
      writeRecordHeader(db, newPrevious, predecessor);
    }
  }
  if (code != err::ok) {
    putBack();
    return code;
  }

  c.recordHeaderDirty = false;  // written above, with every entry
  db.recordHeaderUnsaved = false;
  const auto at = static_cast<std::uint32_t>(after + 1);
  std::memmove(index + at + 1, index + at, sizeof(RecordIndexEntry) * (count - 1 - at));
  index[at] = moving;
  index[at].listRow = -1;
  db.currentEntry = static_cast<std::int32_t>(at);
  return err::ok;
}

// Places a record that has no position yet after the last record whose key
// is not greater (at the end without a sort order).
ErrorCode placeRecord(Commit& c) {
  Database& db = c.db;
  if (db.screen == Screen::ListView) return err::internal;
  const std::uint32_t count = db.dataHeader.recordCount;
  std::int32_t after = static_cast<std::int32_t>(count) - 1;
  if (db.dataHeader.sortItem != noItem) {
    ErrorCode code = locateKey(db, db.items[db.dataHeader.sortItem].value, true, after);
    if (code != err::ok) return code;
  }
  RecordHeader previous;
  const Position previousPosition = after >= 0 ? db.recordIndex[after].position : noPosition;
  if (previousPosition != noPosition) {
    ErrorCode code = readRecordHeader(db, previousPosition, previous);
    if (code != err::ok) return code;
  }

  bool headerChanged = false;
  Position position = noPosition;
  ErrorCode code = allocateSpace(db, recordHeaderSize, headerChanged, position);
  if (headerChanged) c.dataHeaderDirty = true;
  if (code != err::ok) return code;

  auto* index = new (std::nothrow) RecordIndexEntry[count + 1];
  auto giveBack = [&] {
    bool changed = false;
    releaseSpace(db, position, recordHeaderSize, changed);
    if (changed) c.dataHeaderDirty = true;
  };
  if (index == nullptr) {
    giveBack();
    return err::memory;
  }
  const auto at = static_cast<std::uint32_t>(after + 1);
  for (std::uint32_t i = 0; i < at; ++i) index[i] = db.recordIndex[i];
  index[at] = RecordIndexEntry{position, includedFlag, -1, keyPositionOf(db)};
  for (std::uint32_t i = at; i < count; ++i) index[i + 1] = db.recordIndex[i];

  // The record's own header reaches the file before anything names it: a
  // failure on the way leaves room that no chain leads to, never a link to
  // a header of zeros.
  const Position oldNext = db.currentRecordHeader.nextRecord;
  db.currentRecordHeader.nextRecord = previousPosition != noPosition ? previous.nextRecord : db.dataHeader.firstRecord;
  code = writeRecordHeader(db, position, db.currentRecordHeader);
  if (code == err::ok && previousPosition != noPosition) {
    previous.nextRecord = position;
    code = writeRecordHeader(db, previousPosition, previous);
  }
  if (code != err::ok) {
    db.currentRecordHeader.nextRecord = oldNext;
    giveBack();
    delete[] index;
    return code;
  }
  if (previousPosition == noPosition) db.dataHeader.firstRecord = position;
  delete[] db.recordIndex;
  db.recordIndex = index;
  db.currentRecord = position;
  db.currentEntry = static_cast<std::int32_t>(at);
  db.dataHeader.recordCount = count + 1;
  db.includedCount += 1;
  c.recordHeaderDirty = false;  // written above, with every entry
  db.recordHeaderUnsaved = false;
  c.dataHeaderDirty = true;
  return err::ok;
}

// Gives back the stretches the record no longer uses; one that cannot be
// given back now stays for the next commit.
void releasePending(Commit& c) {
  Database& db = c.db;
  std::vector<Stretch> left;
  for (const Stretch& stretch : db.pendingReleases) {
    bool headerChanged = false;
    ErrorCode code = releaseSpace(db, stretch.position, stretch.size, headerChanged);
    if (headerChanged) c.dataHeaderDirty = true;
    if (code != err::ok) {
      c.fail(code);
      left.push_back(stretch);
    }
  }
  db.pendingReleases = std::move(left);
}

// A record that found no place gives back everything this commit stored.
ErrorCode rollBack(Database& db, bool& headerChanged) {
  ErrorCode first = err::ok;
  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    LayoutItem& item = db.items[i];
    if (item.valuePosition == noPosition) continue;
    ErrorCode code = releaseSpace(db, item.valuePosition, storedSize(item.value), headerChanged);
    if (first == err::ok) first = code;
    item.valuePosition = noPosition;
    item.value.next = noPosition;
    resetValue(item.value);
  }
  db.currentRecordHeader.firstField = noPosition;
  return first;
}

}  // namespace

ErrorCode commitRecord(Database& db, int allowReorder) {
  if (db.readOnly) return err::ok;
  if ((db.currentRecordHeader.flags & modifiedFlag) == 0) {
    // A DataHeader whose write failed may name free room that entries now
    // use: whatever leaves the record brings the file up to date first.
    if (!db.dataHeaderUnsaved) return err::ok;
    ErrorCode code = writeDataHeader(db);
    db.dataHeaderUnsaved = code != err::ok;
    return code;
  }
  // A record whose loading failed half-way has controls that do not show
  // it: they must never be written into it.
  if (db.itemCount == 0 || (db.currentRecord != noPosition && !db.currentRecordLoaded)) {
    db.currentRecordHeader.flags &= ~modifiedFlag;
    return err::ok;
  }

  Commit c{db, allowReorder, false, false, false, err::ok};
  c.fail(storeValues(c));

  if (db.currentRecord != noPosition) {
    // Whatever failed above, the index must name the key as it now stands
    // in the file, and a changed key must put the record in its place.
    if (db.currentEntry >= 0 && static_cast<std::uint32_t>(db.currentEntry) < db.dataHeader.recordCount)
      db.recordIndex[db.currentEntry].keyPosition = keyPositionOf(db);
    const bool misplaced = db.misplacedRecord == db.currentRecord;
    if ((c.keyChanged || misplaced) && allowReorder == 1 && db.dataHeader.sortItem != noItem) {
      ErrorCode code = moveRecord(c);
      db.misplacedRecord = code == err::ok ? noPosition : db.currentRecord;
      c.fail(code);
    }
  } else if (c.error == err::ok) {
    c.fail(placeRecord(c));
  }

  if (db.currentRecord == noPosition) {
    bool headerChanged = false;
    c.fail(rollBack(db, headerChanged));
    if (headerChanged) c.dataHeaderDirty = true;
    releasePending(c);  // no header names anything of a record never placed
  } else {
    if (c.recordHeaderDirty || db.recordHeaderUnsaved) {
      ErrorCode code = writeRecordHeader(db, db.currentRecord, db.currentRecordHeader);
      db.recordHeaderUnsaved = code != err::ok;
      c.fail(code);
    }
    if (!db.recordHeaderUnsaved) releasePending(c);
  }
  if (c.dataHeaderDirty || db.dataHeaderUnsaved) {
    ErrorCode code = writeDataHeader(db);
    db.dataHeaderUnsaved = code != err::ok;
    c.fail(code);
  }

  // An edit that did not reach the file stays marked: Done and closing
  // report the failure again instead of success, and Cancel drops it.
  if (c.error == err::ok) db.currentRecordHeader.flags &= ~modifiedFlag;
  return c.error;
}

ErrorCode removeIndexEntry(Database& db) {
  const std::int32_t current = db.currentEntry;
  const std::uint32_t remaining = db.dataHeader.recordCount;  // already lowered
  if (current < 0 || static_cast<std::uint32_t>(current) > remaining) return err::internal;
  RecordIndexEntry* index = db.recordIndex;
  if (db.screen == Screen::ListView) {
    const std::int32_t row = index[current].listRow;
    if (row == -1) return err::internal;
    SendMessageW(db.listBox, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
    for (std::uint32_t k = static_cast<std::uint32_t>(current) + 1; k <= remaining; ++k) {
      if (index[k].listRow == -1) continue;
      index[k].listRow -= 1;
      if (SendMessageW(db.listBox, LB_GETITEMDATA, static_cast<WPARAM>(index[k].listRow), 0) !=
          static_cast<LRESULT>(k))
        return err::internal;
      SendMessageW(db.listBox, LB_SETITEMDATA, static_cast<WPARAM>(index[k].listRow), static_cast<LPARAM>(k - 1));
    }
  }
  if (remaining > 0) {
    std::memmove(index + current, index + current + 1,
                 sizeof(RecordIndexEntry) * (remaining - static_cast<std::uint32_t>(current)));
  } else {
    delete[] db.recordIndex;
    db.recordIndex = nullptr;
  }
  return err::ok;
}
