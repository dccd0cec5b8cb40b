#include "tools/tsq/export.h"

#include "records/encoding.h"
#include "tools/tsq/cell_values.h"
#include "tools/tsq/csv.h"
#include "tools/tsq/file_update.h"
#include "tools/tsq/references.h"
#include "tools/tsq/tsq_file.h"

namespace tsq {

ErrorCode csvFromFile(const TsqFile& file, std::string& text, std::vector<std::string>& warnings) {
  warnings.clear();
  const DatabaseImage image = layoutImageOf(file);
  std::vector<std::uint32_t> columns;
  std::vector<std::string> cells;
  for (std::uint32_t i = 0; i < image.items.size(); ++i) {
    if (!isValueKind(image.items[i].kind)) continue;
    columns.push_back(i);
    cells.push_back(recordKey(image.items, i));
  }
  text = csvLine(cells);
  std::size_t unplaced = 0;
  std::size_t count = 0;
  std::vector<bool> filled;
  ErrorCode code = walkRecords(file, [&](const WalkedRecord& walked) {
    ++count;
    cells.assign(columns.size(), std::string());
    filled.assign(columns.size(), false);
    for (const FieldValue& value : walked.record.values) {
      auto owner = ownerOf(value, image.items);
      std::size_t c = 0;
      while (owner && c < columns.size() && columns[c] != *owner) ++c;
      // A second entry for a column, or one of no column, has no cell.
      if (!owner || c == columns.size() || filled[c]) {
        ++unplaced;
        continue;
      }
      filled[c] = true;
      std::string why;
      if (!cellFromValue(value, cells[c], why))
        warnings.push_back("record " + std::to_string(count) + ", " + quotedCell(recordKey(image.items, columns[c])) +
                           ": " + why);
    }
    text += csvLine(cells);
  });
  if (unplaced > 0)
    warnings.push_back(std::to_string(unplaced) + (unplaced == 1 ? " value belongs" : " values belong") +
                       " to no column and " + std::string(unplaced == 1 ? "is" : "are") + " not exported");
  return code;
}

int exportCommand(const std::string& databasePath, const std::string& outPath, bool replace, Console& console) {
  TsqFile file;
  bool inUse = false;
  ErrorCode code = openTsqFile(databasePath, file, &inUse);
  std::string text;
  std::vector<std::string> warnings;
  if (code == err::ok) code = csvFromFile(file, text, warnings);
  if (code != err::ok) return fail(console, databasePath, openFailure(code, inUse));
  for (const std::string& warning : warnings) console.err << "tsq: " << databasePath << ": " << warning << "\n";
  if (outPath.empty()) {
    console.out << text << std::flush;
    return console.out ? exitDone : exitFailure;
  }
  bool exists = false;
  code = writeNewFile(outPath, std::vector<std::uint8_t>(text.begin(), text.end()), replace, exists, inUse);
  if (exists && !replace) return fail(console, outPath, "exists already (--force replaces it)");
  if (inUse) return fail(console, outPath, openFailure(code, true));
  if (code != err::ok) return fail(console, outPath, messageOf(code));
  return exitDone;
}

}  // namespace tsq
