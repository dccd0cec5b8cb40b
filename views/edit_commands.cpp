#include "views/edit_commands.h"

#include <vector>

#include "records/delete.h"
#include "records/encoding.h"
#include "records/record_store.h"
#include "records/search.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/calculated.h"
#include "views/commit.h"
#include "views/form.h"
#include "views/list_view.h"

ErrorCode startNewRecord(Database& db, int duplicate) {
  if (db.store.layout.readOnly || db.screen != Screen::Editing) return internalError();
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;

  RecordSet& records = db.store.records;
  records.currentEntry = -1;
  records.currentRecord = noPosition;
  records.currentRecordHeader = RecordHeader{};
  if (duplicate == 0) {
    code = showRecord(db);
    if (code != err::ok) return code;
  } else {
    // The controls keep showing the record that was current; against
    // values reset to empty, every value they show is stored anew.
    for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
      LayoutItem& item = db.store.layout.items[i];
      item.valuePosition = noPosition;
      item.value.next = noPosition;
      resetValue(item.value);
    }
  }
  records.currentRecordHeader.flags |= modifiedFlag;
  return err::ok;
}

ErrorCode deleteRecord(Database& db) {
  if (db.store.layout.readOnly || db.screen == Screen::Catalogue || db.screen == Screen::Editing)
    return internalError();
  Store& store = db.store;
  RecordSet& records = store.records;
  if (db.screen == Screen::ListView) {
    ErrorCode code = selectListedRecord(db);
    if (code != err::ok) return code;
  }
  if (records.currentEntry < 0 || records.currentRecord == noPosition) return internalError();

  for (std::int32_t i = 0; i < store.layout.itemCount; ++i) clearControl(db, i);
  recalculate(db, -1);
  records.currentRecordHeader.flags |= modifiedFlag;
  ErrorCode code = commitRecord(db, 0);
  if (code != err::ok) return code;

  // What the commit left in the chain belongs to columns the form does not
  // show: it goes with the record, given back once nothing names it.
  const Position deleted = records.currentRecord;
  std::vector<Stretch> stretches;
  code = chainStretches(store, records.currentRecordHeader.firstField, stretches);
  if (code != err::ok) return code;
  stretches.push_back({deleted, recordHeaderSize});

  bool saved = false;
  const std::uint32_t count = store.file.header.recordCount;
  code = unlinkCurrentRecord(store, saved);
  // Failing before the record left the chain, it stays, emptied, in place.
  if (store.file.header.recordCount == count) return code;
  const ErrorCode unlinked = code;

  const std::int32_t removed = records.currentEntry;
  const std::uint32_t remaining = store.file.header.recordCount;
  if (db.screen == Screen::ListView) {
    code = removeListRow(db);
    if (code != err::ok) return code;
  }
  removeIndexEntry(records, remaining);

  const std::int32_t next = records.includedCount > 0 ? nearestIncluded(records, remaining, removed) : -1;
  records.currentRecordHeader = RecordHeader{};
  if (next >= 0) {
    if (db.screen == Screen::ListView) {
      const std::int32_t row = records.index[next].listRow;
      if (row == -1) return internalError();
      SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    }
    records.currentEntry = next;
    records.currentRecord = records.index[next].position;
    code = showRecord(db);
  } else {
    if (db.screen != Screen::FormView) return internalError();
    // The form keeps showing its emptied controls: a new record from here.
    records.currentEntry = -1;
    records.currentRecord = noPosition;
    code = err::ok;
  }
  // A DataHeader that could not be written still names the record (or its
  // count): its room waits rather than be given to something else.
  const ErrorCode released = saved ? releaseStretches(store, stretches) : err::ok;
  if (unlinked != err::ok) return unlinked;
  return code != err::ok ? code : released;
}
