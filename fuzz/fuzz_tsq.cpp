// Any bytes as a file handed to the tsq tool: dump (for a person and as a
// definition) and check read it as the tool's commands do. Whatever the
// bytes, they report or refuse, and never crash or hang.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>

#include "fuzz/fuzz_file.h"
#include "tools/tsq/check.h"
#include "tools/tsq/dump.h"
#include "tools/tsq/tsq_file.h"

namespace {

// Output that goes nowhere, but is formatted all the same.
class Discard : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Discard discard;
  static std::ostream out(&discard);
  // Protected seeds use "a", so that the fuzzer reaches past the password.
  tsq::setPassword(u"a");

  tsq::TsqFile file;
  if (tsq::openTsqFile(fuzzing::writeScratch(data, size), file) != err::ok) return 0;
  for (const std::string& problem : tsq::checkFile(file)) out << problem << '\n';
  DatabaseImage image;
  if (tsq::imageFromFile(file, image) != err::ok) return 0;
  tsq::printDatabase(image, out);
  tsq::printDefinition(image, out);
  return 0;
}
