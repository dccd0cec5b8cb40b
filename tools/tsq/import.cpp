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
  bool full() const { return lines.size() >= maxListedProblems; }
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

CsvRecords recordsFromCsv(std::string_view csv, const std::vector<ItemImage>& items, const CsvProgress& progress) {
  CsvRecords result;
  Problems problems{result.problems};
  // The item of each column; none for a column without a name.
  std::vector<std::optional<std::uint32_t>> columns;
  bool header = true;
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
      return problems.lines.empty();
    }
    std::vector<std::optional<FieldValue>> values(items.size());
    for (std::size_t c = 0; c < csvRow.cells.size(); ++c) {
      const std::string& cell = csvRow.cells[c];
      if (c >= columns.size() || !columns[c]) {
        if (!cell.empty())
          problems.add(place(csvRow.line, c) + ": " + quotedCell(cell) + " stands in a column without a name");
        continue;
      }
      const std::uint32_t index = *columns[c];
      FieldValue value;
      value.fieldId = items[index].fieldId;
      value.valueType = items[index].valueType;
      std::string why;
      if (!valueFromCell(cell, value, why)) {
        problems.add(place(csvRow.line, c) + " (" + quotedCell(recordKey(items, index)) + "): " + quotedCell(cell) +
                     " " + why);
        continue;
      }
      if (!isEmptyValue(value)) values[index] = value;
    }
    // Layout order, as a record made on the phone lists its entries.
    RecordImage record;
    for (auto& value : values)
      if (value) record.values.push_back(*value);
    result.records.push_back(std::move(record));
    return !problems.full();
  };
  std::string error;
  if (!readCsv(csv, row, error, progress)) problems.add(error);
  if (header && problems.lines.empty()) problems.add("line 1: the header row naming the columns is missing");
  if (problems.more > 0) result.problems.push_back("... and " + std::to_string(problems.more) + " more problems");
  if (!result.problems.empty()) result.records.clear();
  return result;
}

bool appendRecords(const TsqFile& file, const DatabaseImage& image, const std::vector<Position>& positions,
                   const std::vector<RecordImage>& added, std::vector<std::uint8_t>& bytes) {
  const std::size_t existing = image.records.size();
  if (positions.size() != existing) return false;
  std::vector<std::size_t> order;
  if (const ItemImage* item = sortItemOf(image)) {
    std::vector<FieldValue> existingKeys;
    std::vector<FieldValue> addedKeys;
    for (const RecordImage& record : image.records) existingKeys.push_back(sortKey(record, *item));
    for (const RecordImage& record : added) addedKeys.push_back(sortKey(record, *item));
    order = mergedOrder(existingKeys, addedKeys);
  } else {
    for (std::size_t i = 0; i < existing + added.size(); ++i) order.push_back(i);
  }

  // The added records stand one after the other behind the data area.
  std::vector<Position> at(positions);
  std::uint64_t end = file.dataSize();
  for (const RecordImage& record : added) {
    at.push_back(static_cast<Position>(end));
    end += recordHeaderSize;
    for (const FieldValue& value : record.values) end += storedSize(value);
    if (file.dataBase + end > maxFileSize) return false;
  }
  std::vector<Position> next(at.size(), noPosition);
  for (std::size_t i = 0; i + 1 < order.size(); ++i) next[order[i]] = at[order[i + 1]];

  bytes = file.bytes;
  std::uint8_t* data = bytes.data() + file.dataBase;
  for (std::size_t e = 0; e < existing; ++e) {
    std::uint8_t* link = data + positions[e] + 4;  // the RecordHeader's nextRecord
    if (loadU32(link) != next[e]) storeU32(link, next[e]);
  }
  for (std::size_t a = 0; a < added.size(); ++a) {
    std::vector<std::uint8_t> encoded = encodeRecord(added[a], at[existing + a], next[existing + a]);
    bytes.insert(bytes.end(), encoded.begin(), encoded.end());
  }
  data = bytes.data() + file.dataBase;
  storeU32(data, static_cast<std::uint32_t>(order.size()));          // recordCount
  storeU32(data + 8, order.empty() ? noPosition : at[order.front()]);  // firstRecord
  return true;
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
  DatabaseImage image;
  std::vector<Position> positions;
  if (imageFromFile(held.file, image, &positions) != err::ok) return fail(console, databasePath, messageOf(err::readData));

  std::string csv;
  if (!readWholeFile(csvPath, maxFileSize, csv)) return fail(console, csvPath, "cannot be read");
  auto progress = [&](std::size_t done, std::size_t total) {
    console.err << "\rtsq: " << csvPath << ": " << (total == 0 ? 100 : done * 100 / total) << "% read" << std::flush;
  };
  CsvRecords rows = recordsFromCsv(csv, image.items, console.progress ? CsvProgress(progress) : nullptr);
  if (console.progress) console.err << "\r\033[K" << std::flush;
  if (!rows.problems.empty()) {
    for (const std::string& problem : rows.problems) console.err << "tsq: " << csvPath << ": " << problem << "\n";
    console.err << "tsq: " << databasePath << ": nothing imported\n";
    return exitProblems;
  }
  if (!rows.records.empty()) {
    std::vector<std::uint8_t> bytes;
    if (!appendRecords(held.file, image, positions, rows.records, bytes))
      return fail(console, databasePath, "would grow past the largest database (256 MB); nothing imported");
    code = replaceDatabase(held, bytes);
    if (code != err::ok) return fail(console, databasePath, messageOf(code) + "; nothing imported");
  }
  console.out << databasePath << ": " << rows.records.size() << (rows.records.size() == 1 ? " record" : " records")
              << " imported\n";
  return exitDone;
}

}  // namespace tsq
