#include "tools/tsq/compact.h"

#include "storage/writer.h"
#include "tools/tsq/check.h"
#include "tools/tsq/file_update.h"

namespace tsq {

ErrorCode compactBytes(const TsqFile& file, std::vector<std::uint8_t>& bytes) {
  DatabaseImage image = layoutImageOf(file);
  ErrorCode code = readSmsTexts(file, image);
  if (code != err::ok) return code;
  PackedData data;
  startDataArea(data, image.sortItem, image.dataReserved);
  code = walkRecords(file, [&](const WalkedRecord& walked) { appendPackedRecord(data, walked.record); });
  if (code != err::ok) return code;
  finishDataArea(data, image.smsNumber, image.smsMessage);
  bytes.assign(file.bytes.begin(), file.bytes.begin() + file.dataBase);
  bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
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
