// A commit of every shape, with one write, seek or read failing at each of
// its steps in turn, then retried as a user would: Done again, or closing
// the window. Whatever failed, the retry leaves the file sound (tsq check),
// its chain walks with recordCount records, it holds the record as edited,
// and it opens again; a Done that reported success had everything in the
// file already.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "resources/ids.h"
#include "storage/data_cache.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;

namespace {

enum Item { Name, Price };

// A record as the test reads it from the file: its name and its price
// (none when the record stores no price).
struct Row {
  std::u16string name;
  std::optional<double> price;
  bool operator==(const Row&) const = default;
};
using Rows = std::vector<Row>;

DatabaseImage image(const Rows& rows) {
  DatabaseImage database;
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Number, 2, u"Price"));
  database.items[Price].row = 1;
  database.sortItem = Name;
  for (const Row& row : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, row.name));
    if (row.price) record.values.push_back(tsqtest::numberValue(2, *row.price));
    database.records.push_back(record);
  }
  return database;
}

const Rows three = {{u"abc", 1.0}, {u"mno", 2.0}, {u"xyz", 3.0}};

// How the record being committed came to the Editing screen.
enum class Start { Edit, New, Duplicate };

struct Shape {
  const char* name;
  Rows before;
  int select;  // the ListView row opened first; -1: the empty record of a database without records
  Item item;
  std::u16string text;
  Rows after;  // in chain order
  bool reads;  // whether the commit reads the file (finding a key's place does)
  Start start = Start::Edit;
};

const Shape shapes[] = {
    {"TextGrows", three, 0, Name, u"abcdef", {{u"abcdef", 1.0}, {u"mno", 2.0}, {u"xyz", 3.0}}, true},
    {"ValueCleared", three, 1, Price, u"0", {{u"abc", 1.0}, {u"mno", {}}, {u"xyz", 3.0}}, false},
    {"FrontFromLast", three, 2, Name, u"aa", {{u"aa", 3.0}, {u"abc", 1.0}, {u"mno", 2.0}}, true},
    {"FrontFromMiddle", three, 1, Name, u"aa", {{u"aa", 2.0}, {u"abc", 1.0}, {u"xyz", 3.0}}, true},
    {"MiddleFromFirst", three, 0, Name, u"pqrs", {{u"mno", 2.0}, {u"pqrs", 1.0}, {u"xyz", 3.0}}, true},
    {"MiddleFromLast", three, 2, Name, u"b", {{u"abc", 1.0}, {u"b", 3.0}, {u"mno", 2.0}}, true},
    {"EndFromFirst", three, 0, Name, u"zz", {{u"mno", 2.0}, {u"xyz", 3.0}, {u"zz", 1.0}}, true},
    {"EndFromMiddle", three, 1, Name, u"zz", {{u"abc", 1.0}, {u"xyz", 3.0}, {u"zz", 2.0}}, true},
    {"FirstRecordOfAnEmptyDatabase", {}, -1, Name, u"first", {{u"first", {}}}, false},
    {"NewAmongOthers", three, 0, Name, u"n", {{u"abc", 1.0}, {u"mno", 2.0}, {u"n", {}}, {u"xyz", 3.0}}, true,
     Start::New},
    {"DuplicateRekeyed", three, 1, Name, u"b", {{u"abc", 1.0}, {u"b", 2.0}, {u"mno", 2.0}, {u"xyz", 3.0}}, true,
     Start::Duplicate},
    {"DuplicateAfterItsEqual", three, 1, Price, u"9", {{u"abc", 1.0}, {u"mno", 2.0}, {u"mno", 9.0}, {u"xyz", 3.0}},
     true, Start::Duplicate},
};

// The records of a file in chain order, read with the test's own reader.
Rows storedRows(const std::vector<std::uint8_t>& bytes, const DatabaseImage& database) {
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, database).dataBase;
  Rows rows;
  for (Position record : apptest::recordChain(bytes, dataBase)) {
    Row row;
    for (const auto& entry : apptest::recordEntries(bytes, dataBase, record)) {
      if (entry.fieldId == 1 && entry.payload.size() >= 2) {
        for (std::size_t i = 2; i + 1 < entry.payload.size(); i += 2) {
          const auto unit = static_cast<char16_t>(entry.payload[i] | (entry.payload[i + 1] << 8));
          if (unit != 0) row.name.push_back(unit);
        }
      } else if (entry.fieldId == 2 && entry.payload.size() == 8) {
        double price = 0;
        std::memcpy(&price, entry.payload.data(), 8);
        row.price = price;
      }
    }
    rows.push_back(row);
    if (rows.size() > 16) break;  // a chain gone round in circles
  }
  return rows;
}

std::string describe(const Rows& rows) {
  std::string text;
  for (const Row& row : rows) {
    for (char16_t c : row.name) text += static_cast<char>(c);
    text += row.price ? "=" + std::to_string(*row.price) + " " : "=none ";
  }
  return text;
}

enum class Retry { Done, Close };

struct SweepCase {
  const Shape* shape;
  platform::FileOp op;
};

std::string opName(platform::FileOp op) {
  switch (op) {
    case platform::FileOp::Write: return "Write";
    case platform::FileOp::Seek: return "Seek";
    case platform::FileOp::Read: return "Read";
    default: return "Open";
  }
}

class CommitFaults : public ::testing::TestWithParam<SweepCase> {
 protected:
  // Opens the shape's database and starts editing the record it edits.
  static void startEdit(App& app, const Shape& shape) {
    app.writeDatabase("db", image(shape.before));
    ASSERT_TRUE(app.open("db"));
    for (int i = 0; i < shape.select; ++i) app.press(platform::Key::Down);
    if (shape.select >= 0) app.command(cmdDone);
    switch (shape.start) {
      case Start::Edit: app.command(cmdEdit); break;
      case Start::New: app.command(cmdNew); break;
      case Start::Duplicate: app.command(cmdDuplicate); break;
    }
    ASSERT_EQ(app.db().screen, Screen::Editing);
    app.setText(shape.item, shape.text);
  }

  // One failing commit and its retry. False once the fault no longer fires:
  // the commit has fewer operations of that kind than failAt.
  static bool run(const Shape& shape, platform::FileOp op, int failAt, Retry retry) {
    std::vector<std::uint8_t> failed;
    std::vector<std::uint8_t> retried;
    if (!failAndRetry(shape, op, failAt, retry, failed, retried)) return false;
    // The program opens the file again (one program at a time runs here),
    // and would have opened it had it stopped right after the failure.
    {
      App again;
      tsqtest::writeFileBytes(again.home() + "/db.tsq", retried);
      EXPECT_TRUE(again.open("db"));
      EXPECT_EQ(again.db().store.file.header.recordCount, shape.after.size());
    }
    App stopped;
    tsqtest::writeFileBytes(stopped.home() + "/db.tsq", failed);
    EXPECT_TRUE(stopped.open("db")) << "the file the failure left does not open";
    return true;
  }

  static bool failAndRetry(const Shape& shape, platform::FileOp op, int failAt, Retry retry,
                           std::vector<std::uint8_t>& failed, std::vector<std::uint8_t>& bytes) {
    App app;
    startEdit(app, shape);
    // Reads must reach the file, not the pages read while opening.
    if (op == platform::FileOp::Read) clearCache(app.db().store.file.cache);
    platform::clearFileFaults();
    platform::failFileOperation(op, failAt);
    const std::size_t prompts = app.prompts().size();
    app.command(cmdDone);
    const int fired = platform::fileFaultsFired();
    const int operations = platform::fileOperationCount(op);
    platform::clearFileFaults();
    if (fired == 0) {
      // The fault was armed past the commit's last operation of its kind.
      EXPECT_EQ(operations, failAt);
      EXPECT_EQ(app.prompts().size(), prompts) << "a commit without a fault reported a failure";
      EXPECT_EQ(storedRows(app.fileBytes("db"), image(shape.before)), shape.after);
      return false;
    }
    EXPECT_EQ(fired, 1);
    const bool reportedSuccess = app.prompts().size() == prompts;
    EXPECT_LE(app.prompts().size(), prompts + 1) << "a failure is reported once";
    if (reportedSuccess) {
      EXPECT_EQ(storedRows(app.fileBytes("db"), image(shape.before)), shape.after)
          << "success was reported before the edit was in the file";
    }

    failed = app.fileBytes("db");
    const std::size_t beforeRetry = app.prompts().size();
    if (retry == Retry::Done) {
      if (app.db().screen == Screen::Editing) app.command(cmdDone);
      EXPECT_EQ(app.db().screen, Screen::FormView);
    } else {
      SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
      platform::runPending();
      EXPECT_FALSE(IsWindow(app.mainWindow())) << "closing was refused";
    }
    EXPECT_EQ(app.prompts().size(), beforeRetry) << app.lastPrompt();

    bytes = app.fileBytes("db");
    EXPECT_EQ(apptest::tsqCheck(bytes), "sound");
    const Rows rows = storedRows(bytes, image(shape.before));
    EXPECT_EQ(rows, shape.after) << describe(rows);
    EXPECT_EQ(apptest::readStoredHeader(bytes, image(shape.before)).header.recordCount, shape.after.size());
    return true;
  }
};

TEST_P(CommitFaults, EveryStepFailingOnceThenRetriedLeavesTheEditInASoundFile) {
  const Shape& shape = *GetParam().shape;
  for (Retry retry : {Retry::Done, Retry::Close}) {
    int failAt = 0;
    for (;; ++failAt) {
      SCOPED_TRACE(std::string(retry == Retry::Done ? "Done again" : "closing") + " after failing " +
                   opName(GetParam().op) + " " + std::to_string(failAt));
      if (!run(shape, GetParam().op, failAt, retry)) break;
      if (::testing::Test::HasFailure()) return;
    }
    if (GetParam().op != platform::FileOp::Read || shape.reads) {
      EXPECT_GT(failAt, 0) << "the sweep injected nothing";
    }
  }
}

std::vector<SweepCase> sweepCases() {
  std::vector<SweepCase> cases;
  for (const Shape& shape : shapes)
    for (platform::FileOp op : {platform::FileOp::Write, platform::FileOp::Seek, platform::FileOp::Read})
      cases.push_back({&shape, op});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Commit, CommitFaults, ::testing::ValuesIn(sweepCases()), [](const auto& param) {
  return std::string(param.param.shape->name) + opName(param.param.op);
});

}  // namespace
