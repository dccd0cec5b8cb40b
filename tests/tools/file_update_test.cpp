// Files the tool writes are replaced whole or not at all.
#include "tools/tsq/file_update.h"

#include <gtest/gtest.h>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/windows.h"
#include "tests/tools/tsq_commands.h"
#include "tools/tsq/create.h"

namespace {

using tsq_test::Outcome;

class FileUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = tsq_test::scratchFolder();
    std::ofstream(folder / "def.json") << R"({"items": [{"kind": "Field", "caption": "A"}], "records": [{"A": "x"}]})";
    target = folder / "db.tsq";
    tsq_test::writeBytes(target, original);
  }
  void TearDown() override { platform::clearFileFaults(); }
  Outcome create(bool force) {
    return tsq_test::runCommand([&](tsq::Console& console) {
      return tsq::createCommand(target.string(), (folder / "def.json").string(), force, console);
    });
  }
  std::size_t filesInFolder() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
  }

  const std::vector<std::uint8_t> original{1, 2, 3, 4};
  std::filesystem::path folder;
  std::filesystem::path target;
};

// Replacing a file with --force: a write that fails keeps the old file,
// where truncating it first would have lost it.
TEST_F(FileUpdate, AFailedWriteKeepsTheFileForceWouldReplace) {
  platform::failFileOperation(platform::FileOp::Write, 0);
  Outcome run = create(true);
  EXPECT_EQ(platform::fileFaultsFired(), 1);
  EXPECT_EQ(run.status, tsq::exitFailure);
  EXPECT_EQ(run.err, "tsq: " + target.string() + ": Error writing data\n");
  EXPECT_EQ(tsq_test::readBytes(target), original);
  EXPECT_EQ(filesInFolder(), 2u) << "a copy was left behind";
  platform::clearFileFaults();

  EXPECT_EQ(create(true).status, tsq::exitDone);
  EXPECT_NE(tsq_test::readBytes(target), original);
  EXPECT_EQ(filesInFolder(), 2u);
}

TEST_F(FileUpdate, AFileHeldByTessraIsNotReplaced) {
  std::u16string path = platform::fromUtf8(target.string());
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Outcome run = create(true);
  CloseHandle(held);
  EXPECT_EQ(run.status, tsq::exitFailure);
  EXPECT_EQ(run.err, "tsq: " + target.string() + ": is in use (open in Tessra?); close it there first\n");
  EXPECT_EQ(tsq_test::readBytes(target), original);
}

TEST_F(FileUpdate, AReplacedFileKeepsItsPermissions) {
  namespace fs = std::filesystem;
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_EQ(create(true).status, tsq::exitDone);
  EXPECT_EQ(fs::status(target).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
