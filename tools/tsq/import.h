// tsq import: the rows of a CSV file appended to a database as records, in
// their sorted places, all or nothing.
#pragma once

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

struct CsvRecords {
  std::vector<RecordImage> records;   // one per row, values in layout order
  std::vector<std::string> problems;  // "line 3, column 2 (\"Qty\"): ..."
};

// Reads csv as rows for the value items of items: its first row names the
// columns by caption (or "#n"); a value item without a column is empty in
// every record. Problems: an unknown or repeated column, a cell that is no
// value of its column's type, a non-empty cell outside the named columns,
// CSV that is not well formed.
CsvRecords recordsFromCsv(std::string_view csv, const std::vector<ItemImage>& items,
                          const CsvProgress& progress = nullptr);

// The bytes of file with the added records behind its data area and linked
// into its chain: in the sort item's order, each after every record whose
// value equals its own, or at the end without a sort order. image and
// positions are the file's records (imageFromFile). False when the file
// would grow past what a database may hold.
bool appendRecords(const TsqFile& file, const DatabaseImage& image, const std::vector<Position>& positions,
                   const std::vector<RecordImage>& added, std::vector<std::uint8_t>& bytes);

// The whole command: exitDone, exitProblems (the CSV's problems or an
// unsound database; nothing written) or exitFailure.
int importCommand(const std::string& databasePath, const std::string& csvPath, Console& console);

// Reads a whole file; false when it cannot be read or is larger than limit.
bool readWholeFile(const std::string& path, std::size_t limit, std::string& text);

}  // namespace tsq
