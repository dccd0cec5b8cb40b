// A long, seeded run of the editing commands as a user would mix them (New,
// Edit, Duplicate, Delete, Sort by either column, opening other records),
// checked after every step against a plain model of the records: the file
// stays sound, holds exactly the model's records, in the order of the
// current sort column, and opens again in a fresh program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "resources/ids.h"
#include "storage/open.h"
#include "storage/store.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using platform::Key;

namespace {

enum Item { Name, Score };

struct Row {
  std::string name;
  std::int32_t score = 0;
  bool operator==(const Row&) const = default;
  auto operator<=>(const Row&) const = default;
};

DatabaseImage layout() {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Score"));
  image.items[Score].row = 1;
  image.sortItem = Name;
  return image;
}

// The file's records in chain order, read with the test's own reader.
std::vector<Row> stored(const std::vector<std::uint8_t>& bytes, const DatabaseImage& image) {
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  std::vector<Row> rows;
  for (Position record : apptest::recordChain(bytes, dataBase)) {
    Row row;
    for (const auto& entry : apptest::recordEntries(bytes, dataBase, record)) {
      if (entry.fieldId == 1)
        for (std::size_t i = 2; i + 1 < entry.payload.size(); i += 2)
          if (entry.payload[i] != 0) row.name += static_cast<char>(entry.payload[i]);
      if (entry.fieldId == 2 && entry.payload.size() == 4) std::memcpy(&row.score, entry.payload.data(), 4);
    }
    rows.push_back(row);
    if (rows.size() > 1000) break;  // a chain gone round in circles
  }
  return rows;
}

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }
std::string narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class RandomSequence : public ::testing::Test {
 protected:
  // The record on the FormView, as the form shows it.
  Row shown() {
    Row row{narrow(app.text(Name)), 0};
    const std::string score = narrow(app.text(Score));
    if (!score.empty()) row.score = std::stoi(score);
    return row;
  }

  // Opens the record at `row` of the ListView on the FormView.
  void openRow(std::size_t row) {
    if (app.db().screen == Screen::FormView) app.press(Key::Back);
    ASSERT_EQ(app.db().screen, Screen::ListView);
    for (std::size_t i = 0; i < row; ++i) app.press(Key::Down);
    app.command(cmdDone);
    ASSERT_EQ(app.db().screen, Screen::FormView);
  }

  void type(const Row& row) {
    app.setText(Name, widen(row.name));
    app.setText(Score, widen(std::to_string(row.score)));
  }

  void remove(const Row& row) {
    auto at = std::find(model.begin(), model.end(), row);
    ASSERT_NE(at, model.end()) << "the form showed a record the model does not hold: " << row.name;
    model.erase(at);
  }

  void checkFile(const std::string& step) {
    const auto bytes = app.fileBytes("db");
    ASSERT_EQ(apptest::tsqCheck(bytes), "sound") << step;
    std::vector<Row> rows = stored(bytes, image);
    ASSERT_EQ(apptest::readStoredHeader(bytes, image).header.recordCount, model.size()) << step;
    const bool byName = sortColumn == Name;
    ASSERT_TRUE(std::is_sorted(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
      return byName ? a.name < b.name : a.score < b.score;
    })) << step;
    std::vector<Row> expected = model;
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(rows, expected) << step;
  }

  App app;
  DatabaseImage image = layout();
  std::vector<Row> model;
  int sortColumn = Name;
};

TEST_F(RandomSequence, EveryStepLeavesTheModelsRecordsInASoundSortedFile) {
  app.writeDatabase("db", image);
  ASSERT_TRUE(app.open("db"));
  std::mt19937 random(20261211);
  auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
  auto someRow = [&] {
    // Short names from three letters, so equal keys are common.
    Row row;
    for (std::uint32_t i = 0, length = 1 + pick(3); i < length; ++i) row.name += static_cast<char>('a' + pick(3));
    row.score = static_cast<std::int32_t>(pick(5));
    return row;
  };

  for (int step = 0; step < 400; ++step) {
    const std::size_t prompts = app.prompts().size();
    std::size_t expectedPrompts = prompts;
    // New twice as often as Delete, so the database grows as it is used.
    std::uint32_t action = model.empty() ? 0 : pick(7);
    if (action == 6) action = 0;
    std::string what;
    if (action == 0) {  // New
      const Row row = someRow();
      app.command(cmdNew);
      ASSERT_EQ(app.db().screen, Screen::Editing) << step;
      type(row);
      app.command(cmdDone);
      model.push_back(row);
      what = "new " + row.name;
    } else if (action == 1 || action == 2) {  // Edit
      ASSERT_NO_FATAL_FAILURE(openRow(pick(static_cast<std::uint32_t>(model.size()))));
      const Row before = shown();
      ASSERT_NO_FATAL_FAILURE(remove(before));
      const Row after = someRow();
      app.command(cmdEdit);
      type(after);
      app.command(cmdDone);
      model.push_back(after);
      what = "edit " + before.name + " to " + after.name;
    } else if (action == 3) {  // Duplicate
      ASSERT_NO_FATAL_FAILURE(openRow(pick(static_cast<std::uint32_t>(model.size()))));
      const Row copy = shown();
      app.command(cmdDuplicate);
      app.command(cmdDone);
      model.push_back(copy);
      what = "duplicate " + copy.name;
    } else if (action == 4) {  // Delete
      ASSERT_NO_FATAL_FAILURE(openRow(pick(static_cast<std::uint32_t>(model.size()))));
      const Row gone = shown();
      app.command(cmdDeleteRecord);
      expectedPrompts = prompts + 1;  // the confirmation, answered OK
      ASSERT_NO_FATAL_FAILURE(remove(gone));
      what = "delete " + gone.name;
    } else {  // Sort by the other column (the Pick Column list: Name, Score)
      sortColumn = sortColumn == Name ? Score : Name;
      // The list opens on the current sort column.
      app.queueKey(sortColumn == Score ? Key::Down : Key::Up);
      app.queueKey(Key::SoftLeft);
      app.command(cmdSort);
      what = sortColumn == Name ? "sort by name" : "sort by score";
    }
    ASSERT_EQ(app.prompts().size(), expectedPrompts) << "step " << step << " (" << what << "): " << app.lastPrompt();
    ASSERT_NO_FATAL_FAILURE(checkFile("step " + std::to_string(step) + " (" + what + ")"));
    if (step % 25 == 24) {
      // The program's own opening of a copy: the running program holds the
      // file itself.
      tsqtest::TempFile copy(app.fileBytes("db"));
      Store store;
      ASSERT_EQ(openFile(store, copy.widePath().c_str(), nullptr, nullptr), err::ok) << step;
      ASSERT_EQ(loadIndex(store), err::ok) << step;
      ASSERT_EQ(store.file.header.recordCount, model.size()) << step;
      ASSERT_EQ(store.records.includedCount, model.size()) << step;
      closeFile(store);
    }
  }
}

}  // namespace
