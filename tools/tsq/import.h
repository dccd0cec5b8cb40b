// tsq import: the rows of a CSV file appended to a database as records, in
// their sorted places, all or nothing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/writer.h"
#include "tools/tsq/console.h"
#include "tools/tsq/csv.h"
#include "tools/tsq/tsq_file.h"

namespace tsq {

// At most this many problems are listed; the rest are counted.
constexpr std::size_t maxListedProblems = 100;

// Called with each row converted: its values in layout order, empty ones
// left out.
using RecordSink = std::function<void(const RecordImage& record)>;

// Reads csv as rows for the value items of items: its first row names the
// columns by caption (or "#n"); a value item without a column is empty in
// every record. Gives the problems ("line 3, column 2 (\"Qty\"): ..."): an
// unknown or repeated column, a cell that is no value of its column's type,
// a non-empty cell outside the named columns, CSV that is not well formed.
// Rows are read on after a problem, to list the others.
std::vector<std::string> recordsFromCsv(std::string_view csv, const std::vector<ItemImage>& items,
                                        const RecordSink& sink, const CsvProgress& progress = nullptr);

// Records to stand behind a data area: their bytes one after the other, and
// where each record and its sort key's FieldEntry stand.
struct AddedRecords {
  Position base = 0;  // where the first stands: the data area's size
  std::vector<std::uint8_t> bytes;
  std::vector<Position> records;
  std::vector<Position> keys;  // none: the record has no value for the sort item
};

// Encodes record behind the others, its nextRecord none for now. False when
// the data area would grow past what a database may hold.
bool addRecord(AddedRecords& added, const RecordImage& record, const ItemImage* sortItem, std::uint32_t dataBase);

// The bytes of file with the added records behind its data area, linked
// into its chain in one pass: in the sort item's order, each after every
// record whose value equals its own, or at the end without a sort order.
ErrorCode linkRecords(const TsqFile& file, const ItemImage* sortItem, AddedRecords& added,
                      std::vector<std::uint8_t>& bytes);

// The whole command: exitDone, exitProblems (the CSV's problems or an
// unsound database; nothing written) or exitFailure.
int importCommand(const std::string& databasePath, const std::string& csvPath, Console& console);

// Reads a whole file; false when it cannot be read or is larger than limit.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& text);

}  // namespace tsq
