// Running the tsq commands in process on files of a scratch folder.
#pragma once

#include <sstream>
#include <string>

#include "storage/writer.h"
#include "tests/tools/scratch.h"
#include "tools/tsq/console.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/tsq_file.h"

namespace tsq_test {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs command with a console of its own (showing progress as on a terminal).
template <typename Command>
Outcome runCommand(Command&& command, bool progress = false) {
  std::ostringstream out;
  std::ostringstream err;
  tsq::Console console{out, err, progress};
  Outcome run;
  run.status = command(console);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The file a definition makes.
inline void createFile(const std::filesystem::path& path, const tsq::Json& definition) {
  DatabaseImage image;
  std::string error;
  EXPECT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  writeBytes(path, encodeDatabase(image));
}

// What the tool reads from a file: its image, or an empty one after a failure.
inline DatabaseImage imageOfFile(const std::filesystem::path& path) {
  tsq::TsqFile file;
  DatabaseImage image;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok) << path;
  if (file.layout) {
    EXPECT_EQ(tsq::imageFromFile(file, image), err::ok) << path;
  }
  return image;
}

}  // namespace tsq_test
