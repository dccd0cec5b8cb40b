#include "tools/tsq/import.h"

#include <fstream>
#include <optional>
#include <set>

#include "platform/text.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "tools/tsq/cell_values.h"
#include "tools/tsq/check.h"
#include "tools/tsq/file_update.h"
#include "tools/tsq/record_order.h"
#include "tools/tsq/references.h"

namespace tsq {
namespace {

std::string place(std::size_t line, std::size_t column) {
  return "line " + std::to_string(line) + ", column " + std::to_string(column + 1);
}

// Collects problems up to the listed number, then only counts them.
struct Problems {
  std::vector<std::string>& lines;
  std::size_t more = 0;
  void add(std::string line) {
    if (lines.size() < maxListedProblems) lines.push_back(std::move(line));
    else ++more;
  }
};

// The value item a header cell names, by caption or "#n".
std::optional<std::uint32_t> columnItem(const std::string& name, const std::vector<ItemImage>& items,
                                        std::string& reason) {
  auto index = resolveItem(items, Json(name), true, reason);
  if (index && !isValueKind(items[*index].kind)) {
    reason = "item " + name + " holds no values";
    return std::nullopt;
  }
  return index;
}

}  // namespace

std::vector<std::string> recordsFromCsv(std::string_view csv, const std::vector<ItemImage>& items,
                                        const RecordSink& sink, const CsvProgress& progress) {
  std::vector<std::string> lines;
  Problems problems{lines};
  // The item of each column; none for a column without a name.
  std::vector<std::optional<std::uint32_t>> columns;
  bool header = true;
  std::vector<std::optional<FieldValue>> values(items.size());
  RecordImage record;
  auto row = [&](CsvRow& csvRow) {
    if (header) {
      header = false;
      std::set<std::uint32_t> named;
      for (std::size_t c = 0; c < csvRow.cells.size(); ++c) {
        const std::string& name = csvRow.cells[c];
        columns.emplace_back();
        if (name.empty()) continue;
        std::string reason;
        auto index = columnItem(name, items, reason);
        if (!index) {
          problems.add(place(csvRow.line, c) + ": " + reason);
        } else if (!named.insert(*index).second) {
          problems.add(place(csvRow.line, c) + ": " + quotedCell(name) + " names a column given before");
        } else {
          columns.back() = index;
        }
      }
      // Rows cannot be read against a header that is wrong.
      return lines.empty();
    }
    for (auto& value : values) value.reset();
    for (std::size_t c = 0; c < csvRow.cells.size(); ++c) {
      const std::string& cell = csvRow.cells[c];
      if (c >= columns.size() || !columns[c]) {
        if (!cell.empty())
          problems.add(place(csvRow.line, c) + ": " + quotedCell(cell) + " stands in a column without a name");
        continue;
      }
      const std::uint32_t index = *columns[c];
      FieldValue& value = values[index].emplace();
      value.fieldId = items[index].fieldId;
      value.valueType = items[index].valueType;
      std::string why;
      if (!valueFromCell(cell, value, why)) {
        problems.add(place(csvRow.line, c) + " (" + quotedCell(recordKey(items, index)) + "): " + quotedCell(cell) +
                     " " + why);
        values[index].reset();
      } else if (isEmptyValue(value)) {
        values[index].reset();
      }
    }
    // Layout order, as a record made on the phone lists its entries.
    record.values.clear();
    for (auto& value : values)
      if (value) record.values.push_back(*value);
    sink(record);
    return true;
  };
  std::string error;
  if (!readCsv(csv, row, error, progress)) problems.add(error);
  if (header && lines.empty()) problems.add("line 1: the header row naming the columns is missing");
  if (problems.more > 0) lines.push_back("... and " + std::to_string(problems.more) + " more problems");
  return lines;
}

bool addRecord(AddedRecords& added, const RecordImage& record, const ItemImage* sortItem, std::uint32_t dataBase) {
  std::uint64_t size = recordHeaderSize;
  for (const FieldValue& value : record.values) size += storedSize(value);
  const std::uint64_t at = std::uint64_t{added.base} + added.bytes.size();
  if (dataBase + at + size > maxFileSize) return false;
  const auto position = static_cast<Position>(at);
  Position key = noPosition;
  Position entry = position + recordHeaderSize;
  for (const FieldValue& value : record.values) {
    if (sortItem != nullptr && key == noPosition && value.fieldId == sortItem->fieldId &&
        value.valueType == sortItem->valueType)
      key = entry;
    entry += storedSize(value);
  }
  appendRecord(added.bytes, record, position, noPosition);
  added.records.push_back(position);
  added.keys.push_back(key);
  return true;
}

ErrorCode linkRecords(const TsqFile& file, const ItemImage* sortItem, AddedRecords& added,
                      std::vector<std::uint8_t>& bytes) {
  if (added.base != file.dataSize()) return err::internal;
  std::vector<Position> records;
  std::vector<Position> keys;
  ErrorCode code = walkRecords(file, [&](const WalkedRecord& walked) {
    records.push_back(walked.position);
    Position key = noPosition;
    for (std::size_t i = 0; sortItem != nullptr && i < walked.record.values.size() && key == noPosition; ++i) {
      const FieldValue& value = walked.record.values[i];
      if (value.fieldId == sortItem->fieldId && value.valueType == sortItem->valueType) key = walked.entryPositions[i];
    }
    keys.push_back(key);
  });
  if (code != err::ok) return code;
  const std::size_t existing = records.size();
  records.insert(records.end(), added.records.begin(), added.records.end());
  keys.insert(keys.end(), added.keys.begin(), added.keys.end());

  std::vector<std::size_t> order;
  if (sortItem != nullptr) {
    FieldValue empty;
    empty.fieldId = sortItem->fieldId;
    empty.valueType = sortItem->valueType;
    resetValue(empty);
    std::span<const std::uint8_t> stored = file.data();
    std::span<const std::uint8_t> behind(added.bytes);
    // The keys are read where they stand, as the store compares stored values.
    FieldValue a;
    FieldValue b;
    auto keyOf = [&](std::size_t index, FieldValue& value) -> const FieldValue& {
      const Position at = keys[index];
      if (at == noPosition) return empty;
      std::uint32_t size = 0;
      if (index < existing) decodeEntry(stored, at, value, size);
      else decodeEntry(behind, at - added.base, value, size);
      return value;
    };
    order = mergedOrder(existing, added.records.size(), [&](std::size_t x, std::size_t y) {
      return orderKeys(keyOf(x, a), keyOf(y, b));
    });
  } else {
    order.resize(records.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  }

  bytes.clear();
  bytes.reserve(file.bytes.size() + added.bytes.size());
  bytes = file.bytes;
  bytes.insert(bytes.end(), added.bytes.begin(), added.bytes.end());
  std::uint8_t* data = bytes.data() + file.dataBase;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const Position next = i + 1 < order.size() ? records[order[i + 1]] : noPosition;
    std::uint8_t* link = data + records[order[i]] + recordHeaderOffset::nextRecord;
    if (loadU32(link) != next) storeU32(link, next);
  }
  storeU32(data + dataHeaderOffset::recordCount, static_cast<std::uint32_t>(order.size()));
  storeU32(data + dataHeaderOffset::firstRecord, order.empty() ? noPosition : records[order.front()]);
  return err::ok;
}

bool readWholeFile(const std::string& path, std::size_t limit, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.clear();
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit) return false;
  }
  return !in.bad();
}

int importCommand(const std::string& databasePath, const std::string& csvPath, Console& console) {
  HeldDatabase held;
  bool inUse = false;
  ErrorCode code = holdDatabase(databasePath, held, inUse);
  if (code != err::ok) return fail(console, databasePath, openFailure(code, inUse));
  if (!checkFile(held.file).empty()) {
    console.err << "tsq: " << databasePath << ": is not sound (tsq check lists its problems); nothing imported\n";
    return exitProblems;
  }
  const DatabaseImage image = layoutImageOf(held.file);
  const ItemImage* sortItem = sortItemOf(image);

  std::string csv;
  if (!readWholeFile(csvPath, maxFileSize, csv)) return fail(console, csvPath, "cannot be read");
  auto progress = [&](std::size_t done, std::size_t total) {
    console.err << "\rtsq: " << csvPath << ": " << (total == 0 ? 100 : done * 100 / total) << "% read" << std::flush;
  };
  AddedRecords added;
  added.base = held.file.dataSize();
  bool fits = true;
  std::vector<std::string> problems = recordsFromCsv(
      csv, image.items,
      [&](const RecordImage& record) { fits = fits && addRecord(added, record, sortItem, held.file.dataBase); },
      console.progress ? CsvProgress(progress) : nullptr);
  if (console.progress) console.err << "\r\033[K" << std::flush;
  if (!problems.empty()) {
    for (const std::string& problem : problems) console.err << "tsq: " << csvPath << ": " << problem << "\n";
    console.err << "tsq: " << databasePath << ": nothing imported\n";
    return exitProblems;
  }
  if (!fits) return fail(console, databasePath, "would grow past the largest database (256 MB); nothing imported");
  if (!added.records.empty()) {
    std::vector<std::uint8_t> bytes;
    code = linkRecords(held.file, sortItem, added, bytes);
    if (code == err::ok) code = replaceDatabase(held, bytes);
    if (code != err::ok) return fail(console, databasePath, messageOf(code) + "; nothing imported");
  }
  console.out << databasePath << ": " << added.records.size() << (added.records.size() == 1 ? " record" : " records")
              << " imported\n";
  return exitDone;
}

}  // namespace tsq
