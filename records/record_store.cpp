// The record store: the one path by which record values reach the file.
//
// Invariants the store keeps between operations (the checked build verifies
// what memory shows of 1, 3 and 4 after every commit that succeeded; tests
// walk the file with tsq check):
//  1. The record chain walks: DataHeader.firstRecord and the nextRecords
//     lead through exactly recordCount RecordHeaders, each visited once,
//     and the RecordIndex lists those records in chain order. A record's
//     predecessor is the previous index entry; the chain is never walked
//     to find it.
//  2. With a sort item, the chain is in ascending order of its values; a
//     record placed by a commit follows every record whose value equals
//     its own. Without one, records stand in the order they were placed.
//  3. Every entry's keyPosition names its record's FieldEntry of the key
//     item, or none when the record stores no value for it.
//  4. includedCount counts the entries whose included flag is set.
//  5. For the current record every item's value and valuePosition are what
//     the file stores, except while it is marked modified (bit 31).
// And the rules every sequence of writes keeps, so that a write that fails
// half-way leaves a file that still opens:
//  6. Nothing is named before it is written: a FieldEntry before the header
//     or entry that leads to it, a new record's header before its
//     predecessor or the DataHeader links it, a moved record's own header
//     before its new predecessor names it; a new first record reaches the
//     DataHeader at once.
//  7. A stretch is released only once no header in the file names it
//     (pendingReleases wait for the record's header to be written).
//  8. A failed commit stays marked modified, and what it could not write
//     (recordHeaderUnsaved, DataFile.headerUnsaved, misplacedRecord,
//     pendingReleases) the next commit writes even if no value changed.
#include "records/record_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "records/compare.h"
#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "storage/store.h"
#include "storage/writer.h"

namespace {

// The marks one commit works with.
struct Commit {
  Store& store;
  ItemReader read;
  void* context;
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

ErrorCode writeEntry(DataFile& file, Position position, const FieldValue& value) {
  std::vector<std::uint8_t> bytes = encodeFieldEntry(value);
  return writeAt(file, position, static_cast<std::uint32_t>(bytes.size()), bytes.data());
}


// Takes item's entry out of the record's chain and gives its room back.
ErrorCode removeEntry(Commit& c, std::int32_t index) {
  Store& store = c.store;
  LayoutItem& item = store.layout.items[index];
  if (item.valuePosition == noPosition) return internalError();

  std::int32_t predecessor = -1;
  for (std::int32_t j = 0; j < store.layout.itemCount; ++j)
    if (j != index && store.layout.items[j].valuePosition != noPosition && store.layout.items[j].value.next == item.valuePosition) {
      predecessor = j;
      break;
    }
  if (predecessor >= 0) {
    LayoutItem& before = store.layout.items[predecessor];
    before.value.next = item.value.next;
    ErrorCode code = writeEntry(store.file, before.valuePosition, before.value);
    if (code != err::ok) {
      before.value.next = item.valuePosition;
      return code;
    }
  } else if (store.records.currentRecordHeader.firstField == item.valuePosition) {
    store.records.currentRecordHeader.firstField = item.value.next;
  } else {
    // The predecessor holds a column that is not on the form: find it in
    // the stored chain, so that no value behind it is cut off.
    ChainWalk walk(store.file);
    Position at = store.records.currentRecordHeader.firstField;
    bool relinked = false;
    while (at != noPosition) {
      if (!walk.step(at)) return err::readData;
      std::uint8_t header[fieldHeaderSize];
      ErrorCode code = readAt(store.file, at, fieldHeaderSize, header);
      if (code != err::ok) return code;
      Position next = static_cast<Position>(header[0]) | (static_cast<Position>(header[1]) << 8) |
                      (static_cast<Position>(header[2]) << 16) | (static_cast<Position>(header[3]) << 24);
      if (next == item.valuePosition) {
        const Position after = item.value.next;
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(after), static_cast<std::uint8_t>(after >> 8),
                                       static_cast<std::uint8_t>(after >> 16),
                                       static_cast<std::uint8_t>(after >> 24)};
        code = writeAt(store.file, at, 4, bytes);
        if (code != err::ok) return code;
        relinked = true;
        break;
      }
      at = next;
    }
    if (!relinked) return internalError();
  }

  const std::uint32_t size = storedSize(item.value);
  const Position released = item.valuePosition;
  item.value.next = noPosition;
  item.valuePosition = noPosition;
  resetValue(item.value);
  if (static_cast<std::uint32_t>(index) == store.file.header.sortItem) c.keyChanged = true;
  // Given back only once the record's header no longer names the chain it
  // was part of, so that a failed write leaves a chain that still walks.
  store.records.pendingReleases.push_back({released, size});
  return err::ok;
}

// Stores fresh as item's value: where its entry stands, or in new room at
// the head of the record's chain.
ErrorCode writeValue(Commit& c, std::int32_t index, const FieldValue& fresh) {
  Store& store = c.store;
  LayoutItem& item = store.layout.items[index];
  const FieldValue old = item.value;
  const Position next = item.value.next;
  item.value = fresh;
  item.value.next = next;
  if (item.valuePosition != noPosition) {
    ErrorCode code = writeEntry(store.file, item.valuePosition, item.value);
    if (code != err::ok) {
      item.value = old;
      return code;
    }
  } else {
    bool headerChanged = false;
    Position position = noPosition;
    ErrorCode code = allocateSpace(store.file, storedSize(item.value), headerChanged, position);
    if (headerChanged) c.dataHeaderDirty = true;
    if (code != err::ok) {
      item.value = old;
      return code;
    }
    item.value.next = store.records.currentRecordHeader.firstField;
    code = writeEntry(store.file, position, item.value);
    if (code != err::ok) {
      headerChanged = false;
      releaseSpace(store.file, position, storedSize(item.value), headerChanged);
      if (headerChanged) c.dataHeaderDirty = true;
      item.value = old;
      return code;
    }
    store.records.currentRecordHeader.firstField = position;
    item.valuePosition = position;
  }
  if (static_cast<std::uint32_t>(index) == store.file.header.sortItem) c.keyChanged = true;
  return err::ok;
}

// Visits the items from the last to the first and stores what changed.
ErrorCode storeValues(Commit& c) {
  Store& store = c.store;
  for (std::int32_t i = store.layout.itemCount - 1; i >= 0; --i) {
    LayoutItem& item = store.layout.items[i];
    FieldValue fresh = item.value;
    bool hasValue = false;
    ErrorCode code = c.read(c.context, i, fresh, hasValue);
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

Position keyPositionOf(Store& store) {
  std::int32_t key = keyItem(store);
  return key >= 0 && key < store.layout.itemCount ? store.layout.items[key].valuePosition : noPosition;
}

// Sets a record's nextRecord in the file: read, change, write.
ErrorCode relink(DataFile& file, Position record, Position next) {
  RecordHeader header;
  ErrorCode code = readRecordHeader(file, record, header);
  if (code != err::ok) return code;
  header.nextRecord = next;
  return writeRecordHeader(file, record, header);
}

// Moves a re-keyed record to its new place by relinking its RecordHeader:
// nothing is allocated, so a failure leaves the record with its values,
// in its old place or its new one. The record's own header is written
// before anything points to it.
ErrorCode moveRecord(Commit& c) {
  Store& store = c.store;
  const std::int32_t old = store.records.currentEntry;
  const std::uint32_t count = store.file.header.recordCount;
  if (old < 0 || static_cast<std::uint32_t>(old) >= count) return internalError();
  RecordIndexEntry* index = store.records.index;
  const RecordIndexEntry moving = index[old];
  const Position previous = old > 0 ? index[old - 1].position : noPosition;
  const std::uint32_t tail = count - 1 - static_cast<std::uint32_t>(old);

  // Search the order without the record itself.
  std::memmove(index + old, index + old + 1, sizeof(RecordIndexEntry) * tail);
  store.file.header.recordCount = count - 1;
  std::int32_t after = -1;
  ErrorCode code = locateKey(store, store.layout.items[store.file.header.sortItem].value, true, after);
  store.file.header.recordCount = count;
  auto restoreIndex = [&] {
    std::memmove(index + old + 1, index + old, sizeof(RecordIndexEntry) * tail);
    index[old] = moving;
  };
  if (code != err::ok || after == old - 1) {
    restoreIndex();
    return code;
  }

  const Position self = store.records.currentRecord;
  const Position oldNext = store.records.currentRecordHeader.nextRecord;
  const Position oldFirst = store.file.header.firstRecord;
  // Unlink from the old place.
  if (previous != noPosition) {
    code = relink(store.file, previous, oldNext);
    if (code != err::ok) {
      restoreIndex();
      return code;
    }
  } else {
    store.file.header.firstRecord = oldNext;
  }
  auto putBack = [&] {
    if (previous != noPosition) relink(store.file, previous, self);
    // The move may have made the record, or its old successor, the first.
    store.file.header.firstRecord = oldFirst;
    store.records.currentRecordHeader.nextRecord = oldNext;
    writeRecordHeader(store.file, self, store.records.currentRecordHeader);
    restoreIndex();
  };

  // The record's new successor, written into its own header first.
  const Position newPrevious = after >= 0 ? index[after].position : noPosition;
  RecordHeader predecessor;
  if (newPrevious != noPosition) {
    code = readRecordHeader(store.file, newPrevious, predecessor);
    if (code != err::ok) {
      putBack();
      return code;
    }
    store.records.currentRecordHeader.nextRecord = predecessor.nextRecord;
  } else {
    store.records.currentRecordHeader.nextRecord = store.file.header.firstRecord;
  }
  code = writeRecordHeader(store.file, self, store.records.currentRecordHeader);
  if (code == err::ok) {
    if (newPrevious != noPosition) {
      predecessor.nextRecord = self;
      code = writeRecordHeader(store.file, newPrevious, predecessor);
    } else {
      store.file.header.firstRecord = self;
    }
  }
  // A new first record must reach the DataHeader before the commit goes on:
  // otherwise the chain in the file would start in its middle.
  if (code == err::ok && store.file.header.firstRecord != oldFirst) {
    code = writeDataHeader(store.file);
    if (code != err::ok && newPrevious != noPosition) {
      predecessor.nextRecord = store.records.currentRecordHeader.nextRecord;
      writeRecordHeader(store.file, newPrevious, predecessor);
    }
  }
  if (code != err::ok) {
    putBack();
    return code;
  }

  c.recordHeaderDirty = false;  // written above, with every entry
  store.records.recordHeaderUnsaved = false;
  const auto at = static_cast<std::uint32_t>(after + 1);
  std::memmove(index + at + 1, index + at, sizeof(RecordIndexEntry) * (count - 1 - at));
  index[at] = moving;
  index[at].listRow = -1;
  store.records.currentEntry = static_cast<std::int32_t>(at);
  return err::ok;
}

// Places a record that has no position yet after the last record whose key
// is not greater (at the end without a sort order).
ErrorCode placeRecord(Commit& c) {
  Store& store = c.store;
  const std::uint32_t count = store.file.header.recordCount;
  std::int32_t after = static_cast<std::int32_t>(count) - 1;
  if (store.file.header.sortItem != noItem) {
    ErrorCode code = locateKey(store, store.layout.items[store.file.header.sortItem].value, true, after);
    if (code != err::ok) return code;
  }
  RecordHeader previous;
  const Position previousPosition = after >= 0 ? store.records.index[after].position : noPosition;
  if (previousPosition != noPosition) {
    ErrorCode code = readRecordHeader(store.file, previousPosition, previous);
    if (code != err::ok) return code;
  }

  bool headerChanged = false;
  Position position = noPosition;
  ErrorCode code = allocateSpace(store.file, recordHeaderSize, headerChanged, position);
  if (headerChanged) c.dataHeaderDirty = true;
  if (code != err::ok) return code;

  // The room for the new entry is had before anything is written.
  RecordSet& records = store.records;
  RecordIndexEntry* grown = nullptr;
  std::uint32_t capacity = records.indexCapacity;
  if (count + 1 > capacity) {
    capacity = count + 1 + count / 2;
    grown = new (std::nothrow) RecordIndexEntry[capacity];
    if (grown == nullptr) {
      capacity = count + 1;
      grown = new (std::nothrow) RecordIndexEntry[capacity];
    }
  }
  auto giveBack = [&] {
    bool changed = false;
    releaseSpace(store.file, position, recordHeaderSize, changed);
    if (changed) c.dataHeaderDirty = true;
  };
  if (count + 1 > records.indexCapacity && grown == nullptr) {
    giveBack();
    return err::memory;
  }
  const auto at = static_cast<std::uint32_t>(after + 1);

  // The record's own header reaches the file before anything names it: a
  // failure on the way leaves room that no chain leads to, never a link to
  // a header of zeros.
  const Position oldNext = store.records.currentRecordHeader.nextRecord;
  store.records.currentRecordHeader.nextRecord = previousPosition != noPosition ? previous.nextRecord : store.file.header.firstRecord;
  code = writeRecordHeader(store.file, position, store.records.currentRecordHeader);
  if (code == err::ok && previousPosition != noPosition) {
    previous.nextRecord = position;
    code = writeRecordHeader(store.file, previousPosition, previous);
  }
  if (code != err::ok) {
    store.records.currentRecordHeader.nextRecord = oldNext;
    giveBack();
    delete[] grown;
    return code;
  }
  if (previousPosition == noPosition) store.file.header.firstRecord = position;
  const RecordIndexEntry entry{position, includedFlag, -1, keyPositionOf(store)};
  if (grown != nullptr) {
    std::copy(records.index, records.index + at, grown);
    std::copy(records.index + at, records.index + count, grown + at + 1);
    delete[] records.index;
    records.index = grown;
    records.indexCapacity = capacity;
  } else {
    std::memmove(records.index + at + 1, records.index + at, sizeof(RecordIndexEntry) * (count - at));
  }
  records.index[at] = entry;
  store.records.currentRecord = position;
  store.records.currentEntry = static_cast<std::int32_t>(at);
  store.file.header.recordCount = count + 1;
  store.records.includedCount += 1;
  c.recordHeaderDirty = false;  // written above, with every entry
  store.records.recordHeaderUnsaved = false;
  c.dataHeaderDirty = true;
  return err::ok;
}

// Gives back the stretches the record no longer uses; one that cannot be
// given back now stays for the next commit.
void releasePending(Commit& c) {
  Store& store = c.store;
  std::vector<Stretch> left;
  for (const Stretch& stretch : store.records.pendingReleases) {
    bool headerChanged = false;
    ErrorCode code = releaseSpace(store.file, stretch.position, stretch.size, headerChanged);
    if (headerChanged) c.dataHeaderDirty = true;
    if (code != err::ok) {
      c.fail(code);
      left.push_back(stretch);
    }
  }
  store.records.pendingReleases = std::move(left);
}

#if TESSRA_CHECKS
// What of invariants 1, 3 and 4 memory alone can show (reading the file
// back here would also consume the faults that tests inject into it).
void checkInvariants(const Store& store) {
  const RecordSet& records = store.records;
  const std::uint32_t count = store.file.header.recordCount;
  TESSRA_ASSERT((count == 0) == (records.index == nullptr));
  std::uint32_t included = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if ((records.index[i].flags & includedFlag) != 0) ++included;
    TESSRA_ASSERT(i == 0 || records.index[i].position != records.index[i - 1].position);
  }
  TESSRA_ASSERT(included == records.includedCount);
  TESSRA_ASSERT(count == 0 || records.index[0].position == store.file.header.firstRecord);
  if (records.currentRecord != noPosition && records.currentEntry >= 0) {
    TESSRA_ASSERT(static_cast<std::uint32_t>(records.currentEntry) < count);
    const RecordIndexEntry& current = records.index[records.currentEntry];
    TESSRA_ASSERT(current.position == records.currentRecord);
    const std::int32_t key = keyItem(store);
    TESSRA_ASSERT(current.keyPosition == (key >= 0 ? store.layout.items[key].valuePosition : noPosition));
  }
}
#endif

// A record that found no place gives back everything this commit stored.
ErrorCode rollBack(Store& store, bool& headerChanged) {
  ErrorCode first = err::ok;
  for (std::int32_t i = 0; i < store.layout.itemCount; ++i) {
    LayoutItem& item = store.layout.items[i];
    if (item.valuePosition == noPosition) continue;
    ErrorCode code = releaseSpace(store.file, item.valuePosition, storedSize(item.value), headerChanged);
    if (first == err::ok) first = code;
    item.valuePosition = noPosition;
    item.value.next = noPosition;
    resetValue(item.value);
  }
  store.records.currentRecordHeader.firstField = noPosition;
  return first;
}

}  // namespace

ErrorCode saveRecord(Store& store, ItemReader read, void* context, int allowReorder) {
  if (store.layout.readOnly) return err::ok;
  // A record left out of its place (its key stored while it could not be
  // moved) is put there by the next commit that may reorder, changed or not.
  const bool misplaced = store.records.currentRecord != noPosition &&
                         store.records.misplacedRecord == store.records.currentRecord;
  if ((store.records.currentRecordHeader.flags & modifiedFlag) == 0 && !(misplaced && allowReorder == 1)) {
    // A DataHeader whose write failed may name free room that entries now
    // use: whatever leaves the record brings the file up to date first.
    if (!store.file.headerUnsaved) return err::ok;
    ErrorCode code = writeDataHeader(store.file);
    store.file.headerUnsaved = code != err::ok;
    return code;
  }
  // A record whose loading failed half-way has controls that do not show
  // it: they must never be written into it.
  if (store.layout.itemCount == 0 || (store.records.currentRecord != noPosition && !store.records.currentRecordLoaded)) {
    store.records.currentRecordHeader.flags &= ~modifiedFlag;
    return err::ok;
  }

  Commit c{store, read, context, allowReorder, false, false, false, err::ok};
  c.fail(storeValues(c));

  if (store.records.currentRecord != noPosition) {
    // Whatever failed above, the index must name the key as it now stands
    // in the file, and a changed key must put the record in its place.
    if (store.records.currentEntry >= 0 && static_cast<std::uint32_t>(store.records.currentEntry) < store.file.header.recordCount)
      store.records.index[store.records.currentEntry].keyPosition = keyPositionOf(store);
    if ((c.keyChanged || misplaced) && allowReorder == 1 && store.file.header.sortItem != noItem) {
      ErrorCode code = moveRecord(c);
      store.records.misplacedRecord = code == err::ok ? noPosition : store.records.currentRecord;
      c.fail(code);
    } else if (c.keyChanged && store.file.header.sortItem != noItem) {
      // Delete empties a record where it stands and then unlinks it; should
      // the unlink fail, the emptied record must still find its place.
      store.records.misplacedRecord = store.records.currentRecord;
    }
  } else if (c.error == err::ok) {
    c.fail(placeRecord(c));
  }

  if (store.records.currentRecord == noPosition) {
    bool headerChanged = false;
    c.fail(rollBack(store, headerChanged));
    if (headerChanged) c.dataHeaderDirty = true;
    releasePending(c);  // no header names anything of a record never placed
  } else {
    if (c.recordHeaderDirty || store.records.recordHeaderUnsaved) {
      ErrorCode code = writeRecordHeader(store.file, store.records.currentRecord, store.records.currentRecordHeader);
      store.records.recordHeaderUnsaved = code != err::ok;
      c.fail(code);
    }
    if (!store.records.recordHeaderUnsaved) releasePending(c);
  }
  if (c.dataHeaderDirty || store.file.headerUnsaved) {
    ErrorCode code = writeDataHeader(store.file);
    store.file.headerUnsaved = code != err::ok;
    c.fail(code);
  }

  // An edit that did not reach the file stays marked: Done and closing
  // report the failure again instead of success, and Cancel drops it.
  if (c.error == err::ok) {
    store.records.currentRecordHeader.flags &= ~modifiedFlag;
#if TESSRA_CHECKS
    checkInvariants(store);
#endif
  }
  return c.error;
}

void removeIndexEntry(RecordSet& records, std::uint32_t remaining) {
  const auto current = static_cast<std::uint32_t>(records.currentEntry);
  if (remaining > 0) {
    std::memmove(records.index + current, records.index + current + 1,
                 sizeof(RecordIndexEntry) * (remaining - current));
  } else {
    delete[] records.index;
    records.index = nullptr;
    records.indexCapacity = 0;
  }
}
