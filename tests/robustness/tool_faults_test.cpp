// tsq import, compact and export with each open, read, write and seek of
// the file layer failing in turn, then given again; and the power going
// after any of their writes. They write the new file as a copy beside the
// old one and rename it into place: a failure is reported once and leaves
// the file as it was with no copy behind, the command given again does it,
// and no cut touches the file before the rename gives all of it at once.
// The runs add to the fault and power-loss tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/robustness/report.h"
#include "tests/robustness/scenarios.h"
#include "tests/support/tsq_fixture.h"
#include "tools/tsq/compact.h"
#include "tools/tsq/console.h"
#include "tools/tsq/export.h"
#include "tools/tsq/import.h"

namespace fs = std::filesystem;

namespace robust {
namespace {

DatabaseImage sortedPeople() {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Score"));
  image.items[1].row = 1;
  image.sortItem = 0;
  for (auto [name, score] : {std::pair{u"a", 1}, std::pair{u"m", 2}, std::pair{u"x", 3}}) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, name));
    record.values.push_back(tsqtest::integerValue(2, score));
    image.records.push_back(record);
  }
  return image;
}

// A database with free room in its data area: the file a delete left.
std::vector<std::uint8_t> withFreeRoom() {
  for (const Scenario& scenario : deleteScenarios())
    if (scenario.name == "DeleteAMiddle") return runClean(scenario).after;
  ADD_FAILURE() << "no DeleteAMiddle scenario";
  return {};
}

struct ToolCase {
  std::string name;
  std::function<std::vector<std::uint8_t>()> database;
  std::string result;  // the file the command makes or changes, in the folder
  std::function<int(const std::string& folder, tsq::Console&)> run;
};

const std::vector<ToolCase>& toolCases() {
  static const std::vector<ToolCase> all = {
      {"ImportTwoRows", [] { return encodeDatabase(sortedPeople()); }, "db.tsq",
       [](const std::string& folder, tsq::Console& console) {
         tsqtest::writeFileBytes(folder + "/rows.csv", {'N', 'a', 'm', 'e', ',', 'S', 'c', 'o', 'r', 'e', '\n',
                                                        'n', ',', '5', '\n', 'b', ',', '7', '\n'});
         return tsq::importCommand(folder + "/db.tsq", folder + "/rows.csv", console);
       }},
      {"CompactAfterADelete", withFreeRoom, "db.tsq",
       [](const std::string& folder, tsq::Console& console) { return tsq::compactCommand(folder + "/db.tsq", console); }},
      {"ExportToAFile", [] { return encodeDatabase(sortedPeople()); }, "out.csv",
       [](const std::string& folder, tsq::Console& console) {
         return tsq::exportCommand(folder + "/db.tsq", folder + "/out.csv", false, console);
       }},
  };
  return all;
}

// One run of a command in a fresh folder.
struct ToolRun {
  int status = -1;
  std::vector<std::string> errorLines;
  std::vector<std::uint8_t> database;  // db.tsq afterwards
  std::vector<std::uint8_t> result;    // the command's file afterwards (empty: none)
  bool resultExists = false;
  std::vector<std::string> leftovers;  // hidden copies left in the folder
  int faults = 0;
  std::vector<platform::RecordedWrite> writes;
};

class Folder {
 public:
  Folder() : path_(tsqtest::uniqueTempPath("")) { fs::create_directories(path_); }
  ~Folder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

ToolRun runTool(const ToolCase& c, const std::vector<std::uint8_t>& database, std::optional<platform::FileOp> op,
                int failAt, bool record = false) {
  ToolRun run;
  Folder folder;
  tsqtest::writeFileBytes(folder.path() + "/db.tsq", database);
  std::ostringstream out;
  std::ostringstream err;
  tsq::Console console{out, err, false};
  platform::clearFileFaults();
  if (op) platform::failFileOperation(*op, failAt);
  if (record) platform::startRecordingWrites();
  run.status = c.run(folder.path(), console);
  if (record) run.writes = platform::stopRecordingWrites();
  run.faults = platform::fileFaultsFired();
  platform::clearFileFaults();

  std::istringstream lines(err.str());
  for (std::string line; std::getline(lines, line);) {
    // The folder is a fresh one each run: the tables name the file alone.
    for (std::size_t at; (at = line.find(folder.path() + "/")) != std::string::npos;)
      line.erase(at, folder.path().size() + 1);
    run.errorLines.push_back(line);
  }
  run.database = tsqtest::readFileBytes(folder.path() + "/db.tsq");
  const std::string result = folder.path() + "/" + c.result;
  run.resultExists = fs::exists(result);
  if (run.resultExists) run.result = tsqtest::readFileBytes(result);
  for (const auto& entry : fs::directory_iterator(folder.path()))
    if (entry.path().filename().string().front() == '.') run.leftovers.push_back(entry.path().filename().string());
  return run;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : " + ") + line;
  return text.empty() ? "nothing" : text;
}

class ToolFaults : public ::testing::TestWithParam<std::tuple<std::size_t, platform::FileOp>> {};

TEST_P(ToolFaults, EachFailureIsReportedOnceLeavesTheFileAsItWasAndTheCommandAgainDoesIt) {
  const ToolCase& c = toolCases()[std::get<0>(GetParam())];
  const platform::FileOp op = std::get<1>(GetParam());
  const std::vector<std::uint8_t> database = c.database();
  ASSERT_FALSE(database.empty());
  const ToolRun clean = runTool(c, database, std::nullopt, 0);
  ASSERT_EQ(clean.status, tsq::exitDone) << joined(clean.errorLines);
  ASSERT_TRUE(clean.resultExists);
  if (c.result == "db.tsq") {
    ASSERT_TRUE(stateOf(clean.result).sound());
  }

  std::vector<std::string> rows;
  int fired = 0, reported = 0, untouched = 0, again = 0;
  for (int failAt = 0;; ++failAt) {
    SCOPED_TRACE(std::string(opName(op)) + " " + std::to_string(failAt) + " failing");
    const ToolRun failed = runTool(c, database, op, failAt);
    if (failed.faults == 0) {
      EXPECT_EQ(failed.status, tsq::exitDone);
      EXPECT_EQ(failed.result, clean.result);
      break;
    }
    ++fired;
    // Reported once, and nothing changed: the database as it was, the
    // command's file as it was (none for a new export), no copy left.
    const bool once = failed.status == tsq::exitFailure && failed.errorLines.size() == 1;
    EXPECT_TRUE(once) << "status " << failed.status << ", said " << joined(failed.errorLines);
    reported += once;
    const bool asItWas = failed.database == database && failed.leftovers.empty() &&
                         (c.result == "db.tsq" || !failed.resultExists);
    EXPECT_TRUE(asItWas) << "left " << failed.leftovers.size() << " copies; result there: " << failed.resultExists;
    untouched += asItWas;
    // Given again, the command does what it does without a fault.
    const ToolRun retried = runTool(c, failed.database, std::nullopt, 0);
    const bool done = retried.status == tsq::exitDone && retried.result == clean.result;
    EXPECT_TRUE(done) << joined(retried.errorLines);
    again += done;
    rows.push_back(row({c.name, opName(op), std::to_string(failAt), joined(failed.errorLines),
                        asItWas ? "as it was" : "changed", done ? "done" : "not done", "-"}));
  }
  if (op != platform::FileOp::Open || c.name != "ExportToAFile") {
    EXPECT_GT(fired, 0) << "the sweep injected nothing";
  }
  writeFragment("faults-detail", rows);
  writeFragment("faults", {row({c.name, opName(op), std::to_string(fired), std::to_string(reported),
                                std::to_string(untouched), std::to_string(fired - untouched), std::to_string(untouched),
                                std::to_string(again), "-"})});
}

INSTANTIATE_TEST_SUITE_P(
    Tsq, ToolFaults,
    ::testing::Combine(::testing::Values(0u, 1u, 2u), ::testing::Values(platform::FileOp::Open, platform::FileOp::Read,
                                                                        platform::FileOp::Write, platform::FileOp::Seek)),
    [](const auto& param) {
      return toolCases()[std::get<0>(param.param)].name + opName(std::get<1>(param.param));
    });

class ToolPowerLoss : public ::testing::TestWithParam<std::size_t> {};

// Every write goes to the copy, none to the file it replaces: each cut
// before the rename leaves that file as it was, and the rename puts the
// whole new file there at once.
TEST_P(ToolPowerLoss, NoWriteReachesTheFileBeforeTheRename) {
  const ToolCase& c = toolCases()[GetParam()];
  const std::vector<std::uint8_t> database = c.database();
  const ToolRun clean = runTool(c, database, std::nullopt, 0, true);
  ASSERT_EQ(clean.status, tsq::exitDone);
  ASSERT_FALSE(clean.writes.empty());
  for (const platform::RecordedWrite& write : clean.writes) {
    const std::string name = fs::path(write.path).filename().string();
    EXPECT_EQ(name.rfind("." + c.result + ".new-", 0), 0u) << name << " written before it was complete";
  }
  // The copy the writes make is the file the rename put in place.
  EXPECT_EQ(replay({}, clean.writes, clean.writes.size()), clean.result);
  const auto n = static_cast<int>(clean.writes.size());
  // Cuts after 0..n writes to the copy leave the file before; the rename
  // gives the file after.
  const std::string previous = std::to_string(n + 1);
  writeFragment("power-loss", {row({c.name + " (a copy renamed into place)", std::to_string(n), std::to_string(n + 2),
                                    previous, "1", "0", "0", "0", "0", "-", "-", "-", "-", "-", "-", "-"})});
}

INSTANTIATE_TEST_SUITE_P(Tsq, ToolPowerLoss, ::testing::Values(0u, 1u, 2u),
                         [](const auto& param) { return toolCases()[param.param].name; });

}  // namespace
}  // namespace robust
