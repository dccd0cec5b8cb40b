#include "tests/robustness/file_state.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "tests/support/tsq_fixture.h"
#include "tools/tsq/check.h"
#include "tools/tsq/values.h"
#include "tools/tsq/tsq_file.h"

namespace robust {

namespace {

std::string valueText(const FieldValue& value) {
  const std::vector<std::uint8_t> bytes = encodeFieldEntry(value);
  // Past the next link: the fieldId, type, reserved byte and payload.
  return std::to_string(value.fieldId) + "/" + std::to_string(value.valueType) + "/" +
         tsq::hexText(std::span<const std::uint8_t>(bytes).subspan(4));
}

std::string remembered(std::span<const std::uint8_t> data, Position position) {
  if (position == noPosition) return "";
  FieldValue value;
  std::uint32_t size = 0;
  if (!tsq::decodeEntry(data, position, value, size)) return "(undecodable)";
  return valueText(value);
}

// The chain as far as it walks: each record once, each record's entries
// while they decode, every walk bounded by the size of the data area.
void readRecords(const tsq::TsqFile& file, FileState& state) {
  const std::span<const std::uint8_t> data = file.data();
  const DataHeader header = tsq::readDataHeader(data);
  state.sortItem = header.sortItem;
  std::set<Position> seen;
  const std::uint32_t bound = file.dataSize() / 8 + 1;
  for (Position at = header.firstRecord; at != noPosition && seen.size() < bound;) {
    if (!seen.insert(at).second || at > file.dataSize() || file.dataSize() - at < recordHeaderSize) break;
    const RecordHeader record = tsq::readRecordHeader(data, at);
    StoredRecord stored{at, {}};
    std::set<Position> fields;
    for (Position field = record.firstField; field != noPosition && fields.size() < bound;) {
      FieldValue value;
      std::uint32_t size = 0;
      if (!fields.insert(field).second || !tsq::decodeEntry(data, field, value, size)) break;
      stored.values.push_back(valueText(value));
      field = value.next;
    }
    std::sort(stored.values.begin(), stored.values.end());
    state.records.push_back(stored);
    at = record.nextRecord;
  }
  state.smsNumber = remembered(data, header.smsNumberValue);
  state.smsMessage = remembered(data, header.smsMessageValue);
}

const StoredRecord* find(const FileState& state, Position position) {
  for (const StoredRecord& record : state.records)
    if (record.position == position) return &record;
  return nullptr;
}

bool holds(const FileState& state, const std::vector<std::string>& values) {
  return std::any_of(state.records.begin(), state.records.end(),
                     [&](const StoredRecord& r) { return r.values == values; });
}

// Every file the tests examine is a good start for the fuzz targets: when
// TESSRA_SEED_DIR names a folder, each lands there once, named by its bytes.
void keepAsSeed(const std::vector<std::uint8_t>& bytes) {
  const char* folder = std::getenv("TESSRA_SEED_DIR");
  if (folder == nullptr || *folder == 0) return;
  std::uint64_t hash = 14695981039346656037ull;
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.tsq", static_cast<unsigned long long>(hash));
  std::filesystem::create_directories(folder);
  tsqtest::writeFileBytes((std::filesystem::path(folder) / name).string(), bytes);
}

}  // namespace

FileState stateOf(const std::vector<std::uint8_t>& bytes) {
  keepAsSeed(bytes);
  FileState state;
  tsqtest::TempFile copy(bytes);
  tsq::TsqFile file;
  const ErrorCode code = tsq::openTsqFile(copy.path(), file);
  if (code != err::ok) {
    state.refusal = tsq::messageOf(code);
    return state;
  }
  state.readable = true;
  state.problems = tsq::checkFile(file);
  readRecords(file, state);
  return state;
}

bool sameContents(const FileState& a, const FileState& b) {
  if (a.readable != b.readable || a.records.size() != b.records.size()) return false;
  for (std::size_t i = 0; i < a.records.size(); ++i)
    if (a.records[i].values != b.records[i].values) return false;
  return a.smsNumber == b.smsNumber && a.smsMessage == b.smsMessage;
}

bool sameRecords(const FileState& a, const FileState& b) {
  if (a.readable != b.readable || a.sortItem != b.sortItem || a.records.size() != b.records.size()) return false;
  auto valuesOf = [](const FileState& state) {
    std::vector<std::vector<std::string>> values;
    for (const StoredRecord& record : state.records) values.push_back(record.values);
    std::sort(values.begin(), values.end());
    return values;
  };
  return valuesOf(a) == valuesOf(b) && a.smsNumber == b.smsNumber && a.smsMessage == b.smsMessage;
}

Kept compareWith(const FileState& file, const FileState& before, const FileState& after, bool forgettable) {
  if (sameContents(file, before)) return Kept::Previous;
  if (sameContents(file, after)) return Kept::New;
  if (!file.readable) return Kept::Lost;
  // Every record that stays must be there, as it was or as it became; a
  // record that goes may be anywhere on its way out.
  for (const StoredRecord& was : before.records) {
    const StoredRecord* becomes = find(after, was.position);
    if (becomes == nullptr) continue;
    const StoredRecord* now = find(file, was.position);
    if (now == nullptr || (now->values != was.values && now->values != becomes->values)) return Kept::Lost;
  }
  // Records unchanged by the operation are found by their values too, in
  // case one was placed anew rather than moved.
  for (const StoredRecord& was : before.records)
    if (holds(after, was.values) && !holds(file, was.values)) return Kept::Lost;
  bool forgotten = false;
  for (const auto& [now, was, becomes] :
       {std::tuple{&file.smsNumber, &before.smsNumber, &after.smsNumber},
        std::tuple{&file.smsMessage, &before.smsMessage, &after.smsMessage}}) {
    if (*now == *was || *now == *becomes) continue;
    if (!forgettable || !now->empty()) return Kept::Lost;
    forgotten = true;
  }
  return forgotten ? Kept::Forgotten : Kept::Other;
}

const char* keptName(Kept kept) {
  switch (kept) {
    case Kept::Previous: return "previous";
    case Kept::New: return "new";
    case Kept::Other: return "other";
    case Kept::Forgotten: return "forgotten";
    case Kept::Lost: return "lost";
  }
  return "?";
}

std::string soundness(const FileState& state) {
  if (!state.readable) return "unreadable: " + state.refusal;
  if (state.problems.empty()) return "sound";
  return "partial: " + state.problems.front();
}

}  // namespace robust
