// tsq export: every record of a database as a CSV row, in chain order, one
// column per value item under a header of captions, in the forms tsq
// import reads.
#pragma once

#include <string>
#include <vector>

#include "storage/writer.h"
#include "tools/tsq/console.h"
#include "tools/tsq/tsq_file.h"

namespace tsq {

// The CSV text of the file's records. warnings gets a line for each value
// no cell gives back exactly, and one for entries that belong to no column.
ErrorCode csvFromFile(const TsqFile& file, std::string& text, std::vector<std::string>& warnings);

// The whole command: to outPath (replacing a file there only with replace),
// or to console.out when outPath is empty.
int exportCommand(const std::string& databasePath, const std::string& outPath, bool replace, Console& console);

}  // namespace tsq
