#include "tools/tsq/console.h"

#include "tools/tsq/tsq_file.h"

namespace tsq {

int fail(Console& console, const std::string& file, const std::string& message) {
  console.err << "tsq: " << file << ": " << message << "\n";
  return exitFailure;
}

std::string openFailure(ErrorCode code, bool inUse) {
  if (inUse) return "is in use (open in Tessra?); close it there first";
  return messageOf(code);
}

}  // namespace tsq
