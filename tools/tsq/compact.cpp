#include "tools/tsq/compact.h"

#include "storage/writer.h"
#include "tools/tsq/check.h"
#include "tools/tsq/file_update.h"

namespace tsq {

ErrorCode compactBytes(const TsqFile& file, std::vector<std::uint8_t>& bytes) {
  DatabaseImage image;
  ErrorCode code = imageFromFile(file, image);
  if (code != err::ok) return code;
  std::vector<std::uint8_t> data = encodeDataArea(image);
  bytes.assign(file.bytes.begin(), file.bytes.begin() + file.dataBase);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return err::ok;
}

int compactCommand(const std::string& databasePath, Console& console) {
  HeldDatabase held;
  bool inUse = false;
  ErrorCode code = holdDatabase(databasePath, held, inUse);
  if (code != err::ok) return fail(console, databasePath, openFailure(code, inUse));
  if (!checkFile(held.file).empty()) {
    console.err << "tsq: " << databasePath << ": is not sound (tsq check lists its problems); nothing compacted\n";
    return exitProblems;
  }
  std::vector<std::uint8_t> bytes;
  code = compactBytes(held.file, bytes);
  if (code != err::ok) return fail(console, databasePath, messageOf(code));
  const std::size_t before = held.file.bytes.size();
  if (bytes != held.file.bytes) {
    code = replaceDatabase(held, bytes);
    if (code != err::ok) return fail(console, databasePath, messageOf(code) + "; nothing compacted");
  }
  // Packing never needs more room than the blocks took where they stood.
  const std::size_t saved = before > bytes.size() ? before - bytes.size() : 0;
  console.out << databasePath << ": " << saved << " bytes saved (" << before << " -> " << bytes.size() << " bytes)\n";
  return exitDone;
}

}  // namespace tsq
