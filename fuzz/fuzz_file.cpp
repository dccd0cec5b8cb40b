#include "fuzz/fuzz_file.h"

#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "platform/text.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "views/values.h"

namespace fuzzing {

namespace {

std::string scratchPath() {
  static const std::string path = (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                                  "/tessra-fuzz-" + std::to_string(getpid()) + ".tsq";
  return path;
}

}  // namespace

Database& freshDatabase() {
  static auto db = std::make_unique<Database>();
  setStartupValues(*db);
  return *db;
}

std::string writeScratch(const std::uint8_t* data, std::size_t size) {
  std::ofstream out(scratchPath(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return scratchPath();
}

ScratchFile::ScratchFile(const std::uint8_t* data, std::size_t size) {
  std::u16string path = platform::fromUtf8(writeScratch(data, size));
  handle_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
}

ScratchFile::~ScratchFile() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool acceptPassword(void*, const char16_t*) { return true; }

void walkDataArea(Database& db) {
  if (readDataHeader(db.store.file) != err::ok) return;
  const DataHeader& h = db.store.file.header;

  char16_t text[formatBufferSize];
  const std::int32_t key = keyItem(db.store);
  ChainWalk records(db.store.file);
  std::uint32_t seen = 0;
  for (Position at = h.firstRecord; at != noPosition && seen < h.recordCount; ++seen) {
    if (!records.step(at)) break;
    RecordHeader header;
    if (readRecordHeader(db.store.file, at, header) != err::ok) break;
    Position keyPosition = noPosition;
    if (findKeyField(db.store, header.firstField, key, keyPosition) != err::ok) break;
    db.store.records.currentRecord = at;
    if (loadRecordValues(db.store) != err::ok) break;
    for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) formatValue(text, db.store.layout.items[i].value);
    at = header.nextRecord;
  }

  FieldValue value;
  for (Position sms : {h.smsNumberValue, h.smsMessageValue}) {
    if (readFieldValue(db.store.file, sms, value) == err::ok) formatValue(text, value);
  }

  bool changed = false;
  Position taken = noPosition;
  if (allocateSpace(db.store.file, 12, changed, taken) == err::ok) releaseSpace(db.store.file, taken, 12, changed);
}

}  // namespace fuzzing
