// tsq export: every record of a database as a CSV row, in chain order, one
// column per value item under a header of captions, in the forms tsq
// import reads.
#pragma once

#include <string>
#include <vector>

#include "storage/writer.h"
#include "tools/tsq/console.h"

namespace tsq {

// The CSV text of image's records. warnings gets a line for each value no
// cell gives back exactly, and one for entries that belong to no column.
std::string csvFromImage(const DatabaseImage& image, std::vector<std::string>& warnings);

// The whole command: to outPath (replacing a file there only with replace),
// or to console.out when outPath is empty.
int exportCommand(const std::string& databasePath, const std::string& outPath, bool replace, Console& console);

}  // namespace tsq
