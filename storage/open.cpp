#include "storage/open.h"

#include <algorithm>
#include <new>
#include <vector>

#include "records/encoding.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "storage/store.h"

namespace {

void resetDataHeader(Store& store) {
  store.file.header = DataHeader{};
  store.records.includedCount = 0;
}

}  // namespace

ErrorCode openFile(Store& store, const char16_t* path, PasswordCheck checkPassword, void* context) {
  const std::size_t length = wcslen16(path);
  if (length >= static_cast<std::size_t>(room::filePath)) return err::readData;

  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return err::readData;

  ErrorCode code = readLayout(file, store.layout, checkPassword, context);
  if (code != err::ok) {
    CloseHandle(file);
    return code;
  }
  // The data area starts where the layout ends; this is the one moment the
  // file position says so.
  DWORD dataBase = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
  if (dataBase == INVALID_SET_FILE_POINTER) {
    CloseHandle(file);
    resetHeaderFields(store.layout);
    return err::readData;
  }
  std::copy(path, path + length + 1, store.file.path);
  store.file.handle = file;
  store.file.dataBase = dataBase;
  store.file.headerUnsaved = false;
  clearCache(store.file.cache);
  return err::ok;
}

ErrorCode loadIndex(Store& store) {
  forgetRecords(store);
  ErrorCode code = readDataHeader(store.file);
  if (code != err::ok) {
    resetDataHeader(store);
    return code;
  }
  DataHeader& header = store.file.header;
  // A sort item outside the layout cannot order anything.
  if (header.sortItem != noItem && header.sortItem >= static_cast<std::uint32_t>(store.layout.itemCount))
    header.sortItem = noItem;

  // Every record takes at least its 12-byte header: a count the data area
  // cannot hold is a damaged file, not an allocation to attempt.
  std::uint32_t dataSize = dataAreaSize(store.file);
  if (dataSize < dataHeaderSize || header.recordCount > (dataSize - dataHeaderSize) / recordHeaderSize) {
    resetDataHeader(store);
    return err::readData;
  }

  store.records.includedCount = header.recordCount;
  std::int32_t key = keyItem(store);
  if (header.recordCount == 0) return err::ok;

  auto* index = new (std::nothrow) RecordIndexEntry[header.recordCount];
  if (index == nullptr) {
    resetDataHeader(store);
    return err::memory;
  }
  std::uint32_t loaded = 0;
  Position position = header.firstRecord;
  // One budget for the whole walk: records whose chains share entries
  // would otherwise cost the square of their number.
  StepBudget budget{dataSize / freeBlockSize};
  while (position != noPosition && loaded < header.recordCount) {
    RecordHeader record;
    code = budget.take() ? readRecordHeader(store.file, position, record) : err::readData;
    Position keyPosition = noPosition;
    if (code == err::ok) code = findKeyField(store, record.firstField, key, keyPosition, &budget);
    if (code != err::ok) {
      delete[] index;
      resetDataHeader(store);
      return code;
    }
    index[loaded] = RecordIndexEntry{position, includedFlag, -1, keyPosition};
    ++loaded;
    position = record.nextRecord;
  }
  // A chain that visits a record twice would put one record in the index
  // twice; every later commit would then corrupt it. A chain that walks
  // forward through the file (as a file is written) cannot; any other is
  // sorted to find out.
  bool ascending = true;
  for (std::uint32_t i = 1; i < loaded && ascending; ++i) ascending = index[i - 1].position < index[i].position;
  std::vector<Position> seen;
  if (!ascending) {
    seen.resize(loaded);
    for (std::uint32_t i = 0; i < loaded; ++i) seen[i] = index[i].position;
    std::sort(seen.begin(), seen.end());
  }
  if (std::adjacent_find(seen.begin(), seen.end()) != seen.end()) {
    delete[] index;
    resetDataHeader(store);
    return err::readData;
  }
  // A chain shorter than its count (an interrupted delete can leave one)
  // still opens with the records it has.
  header.recordCount = loaded;
  store.records.includedCount = loaded;
  if (loaded == 0) {
    delete[] index;
    index = nullptr;
  }
  store.records.index = index;
  store.records.indexCapacity = loaded;
  return err::ok;
}

void forgetRecords(Store& store) {
  resetDataHeader(store);
  RecordSet& records = store.records;
  delete[] records.index;
  records.index = nullptr;
  records.indexCapacity = 0;
  records.currentEntry = -1;
  records.currentRecord = noPosition;
  records.currentRecordHeader = RecordHeader{};
  records.currentRecordLoaded = false;
  records.misplacedRecord = noPosition;
  records.recordHeaderUnsaved = false;
  records.pendingReleases.clear();
}

void closeFile(Store& store) {
  forgetRecords(store);
  if (store.file.handle != INVALID_HANDLE_VALUE) CloseHandle(store.file.handle);
  store.file.handle = INVALID_HANDLE_VALUE;
  store.file.dataBase = noPosition;
  store.file.path[0] = 0;
  store.file.headerUnsaved = false;
  clearCache(store.file.cache);
  resetHeaderFields(store.layout);
}
