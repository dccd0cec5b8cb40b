// The files that once crashed or hung a reader (fuzz findings, kept in
// tests/fixtures/hostile) and files a power cut leaves: each is read by the
// tool (check, dump, dump --json) and opened by the program, which goes
// through every record in the list and the form, and closes. Whatever the
// bytes, each says what it can and nothing crashes or hangs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/ids.h"
#include "tests/robustness/file_state.h"
#include "tests/robustness/scenario.h"
#include "tests/support/tsq_fixture.h"
#include "tools/tsq/dump.h"
#include "tools/tsq/tsq_file.h"

namespace robust {
namespace {

std::vector<std::string> fixtures() {
  std::vector<std::string> paths;
  for (const auto& entry : std::filesystem::directory_iterator(HOSTILE_FIXTURES))
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

class HostileFiles : public ::testing::TestWithParam<std::string> {};

TEST_P(HostileFiles, AreReadByTheToolAndTheProgramWithoutACrash) {
  const std::vector<std::uint8_t> bytes = tsqtest::readFileBytes(GetParam());
  ASSERT_FALSE(bytes.empty());

  // The tool, as dump and check read it.
  tsq::setPassword(u"a");
  const FileState state = stateOf(bytes);
  if (state.readable) {
    tsqtest::TempFile copy(bytes);
    tsq::TsqFile file;
    ASSERT_EQ(tsq::openTsqFile(copy.path(), file), err::ok);
    DatabaseImage image;
    if (tsq::imageFromFile(file, image) == err::ok) {
      std::ostringstream out;
      tsq::printDatabase(image, out);
      tsq::printDefinition(image, out);
    }
  }

  // The program: opened, every included record in the list and then in
  // the form, and closed.
  App app;
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  app.queueKey(platform::Key::Char, u'a');  // a password prompt, if any
  app.queueKey(platform::Key::SoftLeft);
  if (!app.open("db") || app.db().isOpen == 0) return;  // refused, and said so
  for (std::uint32_t visit = 0; visit < app.db().store.records.includedCount && visit < 128; ++visit) {
    app.press(platform::Key::Action);
    app.press(platform::Key::Down);
    app.press(platform::Key::Back);
    app.press(platform::Key::Down);
  }
  SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
  platform::runPending();
  EXPECT_FALSE(IsWindow(app.mainWindow()));
}

INSTANTIATE_TEST_SUITE_P(Fixture, HostileFiles, ::testing::ValuesIn(fixtures()), [](const auto& param) {
  std::string name = std::filesystem::path(param.param).stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
}  // namespace robust
