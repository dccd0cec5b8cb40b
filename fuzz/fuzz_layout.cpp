// Any bytes as a whole tsq file: header, layout and whatever follows.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_file.h"
#include "storage/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Database& db = fuzzing::freshDatabase();
  fuzzing::ScratchFile file(data, size);
  if (file.handle() == INVALID_HANDLE_VALUE) return 0;
  if (readLayout(file.handle(), db.store.layout, fuzzing::acceptPassword, nullptr) != err::ok) return 0;
  db.store.file.handle = file.handle();
  db.store.file.dataBase = SetFilePointer(file.handle(), 0, nullptr, FILE_CURRENT);
  fuzzing::walkDataArea(db);
  return 0;
}
