#include "records/delete.h"

#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "storage/store.h"

ErrorCode chainStretches(Store& store, Position firstField, std::vector<Stretch>& stretches) {
  ChainWalk walk(store.file);
  FieldValue value;
  for (Position at = firstField; at != noPosition; at = value.next) {
    if (!walk.step(at)) return err::readData;
    ErrorCode code = readFieldValue(store.file, at, value);
    if (code != err::ok) return code;
    stretches.push_back({at, storedSize(value)});
  }
  return err::ok;
}

ErrorCode unlinkCurrentRecord(Store& store, bool& saved) {
  saved = false;
  RecordSet& records = store.records;
  DataHeader& header = store.file.header;
  const std::int32_t current = records.currentEntry;
  if (current < 0 || static_cast<std::uint32_t>(current) >= header.recordCount ||
      records.index[current].position != records.currentRecord)
    return internalError();
  const Position next = records.currentRecordHeader.nextRecord;
  if (current > 0) {
    const Position previous = records.index[current - 1].position;
    RecordHeader before;
    ErrorCode code = readRecordHeader(store.file, previous, before);
    if (code != err::ok) return code;
    before.nextRecord = next;
    code = writeRecordHeader(store.file, previous, before);
    if (code != err::ok) return code;
  } else {
    header.firstRecord = next;
  }
  records.currentRecordHeader.nextRecord = noPosition;
  // Out of the chain, it has no place to be put in any more; its room may
  // soon hold another record.
  if (records.misplacedRecord == records.currentRecord) records.misplacedRecord = noPosition;
  header.recordCount -= 1;
  if ((records.index[current].flags & includedFlag) != 0) records.includedCount -= 1;
  // The record is out of the chain (or will be, once the DataHeader that
  // names the first record is written): whatever happens to this write,
  // the DataHeader in memory says so and the next commit writes it.
  ErrorCode code = writeDataHeader(store.file);
  store.file.headerUnsaved = code != err::ok;
  saved = code == err::ok;
  return code;
}

ErrorCode releaseStretches(Store& store, const std::vector<Stretch>& stretches) {
  ErrorCode first = err::ok;
  bool headerChanged = false;
  for (const Stretch& stretch : stretches) {
    ErrorCode code = releaseSpace(store.file, stretch.position, stretch.size, headerChanged);
    if (first == err::ok) first = code;
  }
  if (headerChanged) {
    ErrorCode code = writeDataHeader(store.file);
    store.file.headerUnsaved = code != err::ok;
    if (first == err::ok) first = code;
  }
  return first;
}
