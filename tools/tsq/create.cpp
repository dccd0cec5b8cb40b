#include "tools/tsq/create.h"

#include <fstream>
#include <sstream>

#include "tools/tsq/definition.h"
#include "tools/tsq/file_update.h"

namespace tsq {

int createCommand(const std::string& out, const std::string& definitionPath, bool force, Console& console) {
  std::ifstream in(definitionPath, std::ios::binary);
  if (!in) return fail(console, definitionPath, "cannot be read");
  std::stringstream text;
  text << in.rdbuf();
  Json definition;
  try {
    definition = Json::parse(text.str());
  } catch (const Json::parse_error& error) {
    return fail(console, definitionPath, error.what());
  }
  DatabaseImage image;
  std::string error;
  if (!imageFromDefinition(definition, image, error)) return fail(console, definitionPath, error);
  // Written beside and renamed into place: a failure never leaves half a
  // file, and never loses the one --force would have replaced.
  bool exists = false;
  bool inUse = false;
  ErrorCode code = writeNewFile(out, encodeDatabase(image), force, exists, inUse);
  if (exists && !force) return fail(console, out, "exists already (--force replaces it)");
  if (code != err::ok) return fail(console, out, openFailure(code, inUse));
  return exitDone;
}

}  // namespace tsq
