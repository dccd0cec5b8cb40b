#include "tools/tsq/export.h"

#include "records/encoding.h"
#include "tools/tsq/cell_values.h"
#include "tools/tsq/csv.h"
#include "tools/tsq/file_update.h"
#include "tools/tsq/references.h"
#include "tools/tsq/tsq_file.h"

namespace tsq {

std::string csvFromImage(const DatabaseImage& image, std::vector<std::string>& warnings) {
  warnings.clear();
  std::vector<std::uint32_t> columns;
  std::vector<std::string> cells;
  for (std::uint32_t i = 0; i < image.items.size(); ++i) {
    if (!isValueKind(image.items[i].kind)) continue;
    columns.push_back(i);
    cells.push_back(recordKey(image.items, i));
  }
  std::string text = csvLine(cells);
  std::size_t unplaced = 0;
  for (std::size_t r = 0; r < image.records.size(); ++r) {
    const RecordImage& record = image.records[r];
    cells.assign(columns.size(), std::string());
    std::vector<bool> filled(columns.size(), false);
    for (const FieldValue& value : record.values) {
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
        warnings.push_back("record " + std::to_string(r + 1) + ", " + quotedCell(recordKey(image.items, columns[c])) +
                           ": " + why);
    }
    text += csvLine(cells);
  }
  if (unplaced > 0)
    warnings.push_back(std::to_string(unplaced) + (unplaced == 1 ? " value belongs" : " values belong") +
                       " to no column and " + std::string(unplaced == 1 ? "is" : "are") + " not exported");
  return text;
}

int exportCommand(const std::string& databasePath, const std::string& outPath, bool replace, Console& console) {
  TsqFile file;
  bool inUse = false;
  ErrorCode code = openTsqFile(databasePath, file, &inUse);
  DatabaseImage image;
  if (code == err::ok) code = imageFromFile(file, image);
  if (code != err::ok) return fail(console, databasePath, openFailure(code, inUse));
  std::vector<std::string> warnings;
  std::string text = csvFromImage(image, warnings);
  for (const std::string& warning : warnings) console.err << "tsq: " << databasePath << ": " << warning << "\n";
  if (outPath.empty()) {
    console.out << text << std::flush;
    return console.out ? exitDone : exitFailure;
  }
  bool exists = false;
  code = writeNewFile(outPath, std::vector<std::uint8_t>(text.begin(), text.end()), replace, exists);
  if (exists && !replace) return fail(console, outPath, "exists already (--force replaces it)");
  if (code != err::ok) return fail(console, outPath, messageOf(code));
  return exitDone;
}

}  // namespace tsq
