// The tsq command itself: exit statuses, messages and files.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "storage/bytes.h"
#include "tests/tools/scratch.h"

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs tsq with arguments (already quoted for the shell) in folder. In a
// session of its own it has no terminal to ask a password on.
Result tsq(const std::filesystem::path& folder, const std::string& arguments) {
  std::string command = "cd '" + folder.string() + "' && setsid -w '" TSQ_BINARY "' " + arguments +
                        " >out.txt 2>err.txt </dev/null";
  int raw = std::system(command.c_str());
  Result run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, tsq_test::readText(folder / "out.txt"),
          tsq_test::readText(folder / "err.txt")};
  return run;
}

std::string sample(const char* name) { return "'" + std::string(SAMPLES_DIR) + "/" + name + ".json'"; }

const char* smallDefinition = R"({"items": [{"kind": "Field", "caption": "Name"}], "sortItem": "Name",
  "records": [{"Name": "Anna"}, {"Name": "Ben"}]})";

TEST(Command, CreateRefusesToReplaceAFileWithoutForce) {
  auto folder = tsq_test::scratchFolder();
  std::ofstream(folder / "def.json") << smallDefinition;
  ASSERT_EQ(tsq(folder, "create a.tsq def.json").status, 0);
  auto made = tsq_test::readBytes(folder / "a.tsq");

  tsq_test::writeBytes(folder / "a.tsq", {1, 2, 3});
  Result refused = tsq(folder, "create a.tsq def.json");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("tsq: a.tsq: exists already"), std::string::npos) << refused.err;
  EXPECT_EQ(tsq_test::readBytes(folder / "a.tsq"), (std::vector<std::uint8_t>{1, 2, 3}));

  EXPECT_EQ(tsq(folder, "create a.tsq def.json --force").status, 0);
  EXPECT_EQ(tsq_test::readBytes(folder / "a.tsq"), made);
}

TEST(Command, ABadDefinitionIsNamedAndExitsWith2) {
  auto folder = tsq_test::scratchFolder();
  std::ofstream(folder / "bad.json") << R"({"items": [{"kind": "Calculated", "caption": "T", "expression": "1 +"}]})";
  Result run = tsq(folder, "create out.tsq bad.json");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("tsq: bad.json: item 0 (\"T\"): expression: at character 4"), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "out.tsq"));

  std::ofstream(folder / "broken.json") << "{\"items\": [";
  EXPECT_EQ(tsq(folder, "create out.tsq broken.json").status, 2);
  EXPECT_EQ(tsq(folder, "create out.tsq missing.json").status, 2);
}

TEST(Command, DumpJsonOfEachSampleCreatesTheSameFile) {
  auto folder = tsq_test::scratchFolder();
  for (const char* name : {"contacts", "expenses", "elements", "notebook"}) {
    ASSERT_EQ(tsq(folder, std::string("create first.tsq ") + sample(name) + " --force").status, 0) << name;
    Result dump = tsq(folder, "dump --json first.tsq --password secret");
    ASSERT_EQ(dump.status, 0) << name << dump.err;
    std::ofstream(folder / "dumped.json", std::ios::trunc) << dump.out;
    ASSERT_EQ(tsq(folder, "create second.tsq dumped.json --force").status, 0) << name;
    EXPECT_EQ(tsq_test::readBytes(folder / "first.tsq"), tsq_test::readBytes(folder / "second.tsq")) << name;

    Result check = tsq(folder, "check first.tsq --password secret");
    EXPECT_EQ(check.status, 0) << name << "\n" << check.out;
    Result human = tsq(folder, "dump first.tsq --password secret");
    EXPECT_EQ(human.status, 0) << name;
    EXPECT_NE(human.out.find("Layout:"), std::string::npos);
  }
}

TEST(Command, APasswordIsCheckedIgnoringCase) {
  auto folder = tsq_test::scratchFolder();
  ASSERT_EQ(tsq(folder, "create n.tsq " + sample("notebook")).status, 0);
  struct Case {
    const char* arguments;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {"check n.tsq --password secret", 0, ""},
      {"check n.tsq --password SeCrEt", 0, ""},
      {"check n.tsq --password=secret", 0, ""},
      {"check n.tsq --password secrets", 2, "tsq: n.tsq: Incorrect password\n"},
      {"dump n.tsq --password wrong", 2, "tsq: n.tsq: Incorrect password\n"},
      // Without a terminal to ask on, no password is given.
      {"dump n.tsq", 2, "tsq: n.tsq: Incorrect password\n"},
  };
  for (const Case& c : cases) {
    Result run = tsq(folder, c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.err, c.err) << c.arguments;
  }
}

TEST(Command, UnreadableFilesExitWith2AndTheSystemsMessage) {
  auto folder = tsq_test::scratchFolder();
  std::ofstream(folder / "def.json") << smallDefinition;
  ASSERT_EQ(tsq(folder, "create good.tsq def.json").status, 0);
  auto good = tsq_test::readBytes(folder / "good.tsq");

  auto truncated = good;
  truncated.resize(30);
  tsq_test::writeBytes(folder / "truncated.tsq", truncated);
  auto newer = good;
  storeU32(newer.data(), 2);
  tsq_test::writeBytes(folder / "newer.tsq", newer);
  auto noData = good;
  noData.resize(good.size() - (12 + 20) - (12 + 18) - 20);  // the layout and 8 bytes of the DataHeader
  tsq_test::writeBytes(folder / "nodata.tsq", noData);

  struct Case {
    const char* arguments;
    const char* err;
  };
  const Case cases[] = {
      {"check missing.tsq", "tsq: missing.tsq: Error reading data\n"},
      {"check truncated.tsq", "tsq: truncated.tsq: Error reading data\n"},
      {"dump truncated.tsq", "tsq: truncated.tsq: Error reading data\n"},
      {"check newer.tsq", "tsq: newer.tsq: Newer Tessra required to read this database\n"},
      {"check nodata.tsq", "tsq: nodata.tsq: Error reading data\n"},
  };
  for (const Case& c : cases) {
    Result run = tsq(folder, c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_EQ(run.err, c.err) << c.arguments;
  }
}

TEST(Command, CheckPrintsOneLinePerProblemAndExitsWith1) {
  auto folder = tsq_test::scratchFolder();
  std::ofstream(folder / "def.json") << smallDefinition;
  ASSERT_EQ(tsq(folder, "create db.tsq def.json").status, 0);
  auto bytes = tsq_test::readBytes(folder / "db.tsq");
  // The DataHeader is the 28 bytes behind the layout, then Anna's record (12 + 20) and Ben's.
  std::size_t dataBase = bytes.size() - 28 - 32 - 30;
  storeU32(bytes.data() + dataBase, 5);       // recordCount
  storeU32(bytes.data() + dataBase + 12, 7);  // sortItem outside the layout
  tsq_test::writeBytes(folder / "db.tsq", bytes);
  Result run = tsq(folder, "check db.tsq");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "db.tsq: sortItem 7 names no item of the layout\n"
            "db.tsq: the record chain holds 2 records, recordCount says 5\n");
}

TEST(Command, BadCommandLinesExitWith2) {
  auto folder = tsq_test::scratchFolder();
  for (const char* arguments : {"", "create", "create a.tsq", "dump", "check a b", "frobnicate x", "dump --bogus x.tsq",
                                "check --json x.tsq", "create --json a b", "import a.tsq", "import a b c",
                                "import --force a b", "export", "export a b c", "export --json a", "compact",
                                "compact a b", "compact --force a", "help create dump", "help frobnicate"}) {
    Result run = tsq(folder, arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.err.find("tsq --help"), std::string::npos) << arguments;
  }
  Result help = tsq(folder, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

TEST(Command, ImportExportAndCompactAFile) {
  auto folder = tsq_test::scratchFolder();
  std::ofstream(folder / "def.json") << smallDefinition;
  ASSERT_EQ(tsq(folder, "create db.tsq def.json").status, 0);
  std::ofstream(folder / "rows.csv", std::ios::binary) << "\xEF\xBB\xBFName\r\nCleo\r\n\"Ann, the first\"\r\n";
  Result imported = tsq(folder, "import db.tsq rows.csv");
  EXPECT_EQ(imported.status, 0) << imported.err;
  EXPECT_EQ(imported.out, "db.tsq: 2 records imported\n");
  EXPECT_EQ(tsq(folder, "check db.tsq").out, "db.tsq: sound\n");

  Result exported = tsq(folder, "export db.tsq");
  EXPECT_EQ(exported.status, 0);
  EXPECT_EQ(exported.out, "Name\r\n\"Ann, the first\"\r\nAnna\r\nBen\r\nCleo\r\n");
  EXPECT_EQ(tsq(folder, "export db.tsq out.csv").status, 0);
  EXPECT_EQ(tsq_test::readText(folder / "out.csv"), exported.out);
  Result again = tsq(folder, "export db.tsq out.csv");
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(again.err, "tsq: out.csv: exists already (--force replaces it)\n");

  std::ofstream(folder / "bad.csv") << "Name,Age\nx,1\n";
  auto before = tsq_test::readBytes(folder / "db.tsq");
  Result bad = tsq(folder, "import db.tsq bad.csv");
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(bad.err, "tsq: bad.csv: line 1, column 2: no value item is called \"Age\"\ntsq: db.tsq: nothing imported\n");
  EXPECT_EQ(tsq(folder, "import db.tsq missing.csv").err, "tsq: missing.csv: cannot be read\n");
  EXPECT_EQ(tsq_test::readBytes(folder / "db.tsq"), before);

  Result compacted = tsq(folder, "compact db.tsq");
  EXPECT_EQ(compacted.status, 0) << compacted.err;
  EXPECT_EQ(compacted.out, "db.tsq: 0 bytes saved (" + std::to_string(before.size()) + " -> " +
                               std::to_string(before.size()) + " bytes)\n");
  EXPECT_EQ(tsq(folder, "compact missing.tsq").err, "tsq: missing.tsq: Error reading data\n");
}

TEST(Command, EveryCommandExplainsItself) {
  auto folder = tsq_test::scratchFolder();
  for (const char* command : {"create", "dump", "check", "import", "export", "compact", "help"}) {
    std::string usage = std::string("Usage: tsq ") + command;
    for (const std::string& arguments : {std::string("help ") + command, std::string(command) + " --help",
                                         std::string("--help ") + command, std::string(command) + " -h"}) {
      Result run = tsq(folder, arguments);
      EXPECT_EQ(run.status, 0) << arguments;
      EXPECT_EQ(run.out.rfind(usage, 0), 0u) << arguments << "\n" << run.out;
    }
  }
  Result overview = tsq(folder, "help");
  EXPECT_EQ(overview.status, 0);
  EXPECT_EQ(overview.out, tsq(folder, "--help").out);
  for (const char* command : {"import FILE.tsq DATA.csv", "export FILE.tsq [OUT.csv]", "compact FILE.tsq", "help COMMAND"})
    EXPECT_NE(overview.out.find(std::string("tsq ") + command), std::string::npos) << command;
}

}  // namespace
