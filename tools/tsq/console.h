// What the tsq commands share: their exit statuses and where they report.
#pragma once

#include <ostream>
#include <string>

#include "storage/format.h"

namespace tsq {

constexpr int exitDone = 0;      // done; check: the file is sound
constexpr int exitProblems = 1;  // problems found, one line each; nothing changed
constexpr int exitFailure = 2;   // the command could not be carried out; nothing changed

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;  // show progress on err (a terminal)
};

// Reports "tsq: FILE: message" and gives exitFailure.
int fail(Console& console, const std::string& file, const std::string& message);

// The message for a file that could not be opened or read: the system's
// text for code, or that another program (Tessra) holds it.
std::string openFailure(ErrorCode code, bool inUse);

}  // namespace tsq
