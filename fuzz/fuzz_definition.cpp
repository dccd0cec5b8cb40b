// Any bytes as the JSON definition `tsq create` reads. A definition either
// makes a database or is refused with a message; and what it makes comes
// back the same through `tsq dump --json` and `tsq create`, which is what
// a dump promises.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/tsq_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsq::Json definition;
  try {
    definition = tsq::Json::parse(data, data + size);
  } catch (const tsq::Json::parse_error&) {
    return 0;  // the tool says so and stops, as here
  }
  DatabaseImage image;
  std::string error;
  if (!tsq::imageFromDefinition(definition, image, error)) return 0;
  const std::vector<std::uint8_t> made = encodeDatabase(image);

  tsq::setPassword(image.header.password);
  tsq::TsqFile file;
  if (tsq::openTsqFile(fuzzing::writeScratch(made.data(), made.size()), file) != err::ok) __builtin_trap();
  DatabaseImage dumped;
  if (tsq::imageFromFile(file, dumped) != err::ok) __builtin_trap();
  DatabaseImage again;
  if (!tsq::imageFromDefinition(tsq::definitionFromImage(dumped), again, error)) __builtin_trap();
  if (encodeDatabase(again) != made) __builtin_trap();
  return 0;
}
