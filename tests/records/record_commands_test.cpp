// Sort, New, Duplicate and Delete as the user gives them: from the menus,
// on the ListView and the FormView, checked in the file.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "resources/ids.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using platform::Key;

namespace {

enum Item { Name, Born, Score };

SYSTEMTIME day(WORD y, WORD m, WORD d, WORD hour = 0) { return SYSTEMTIME{y, m, 0, d, hour, 0, 0, 0}; }

struct Person {
  std::u16string name;  // empty: no value
  std::optional<SYSTEMTIME> born;
  std::int32_t score = 0;
};

DatabaseImage people(const std::vector<Person>& rows, std::uint32_t sortItem = noItem) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Date, 2, u"Born"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 3, u"Score"));
  for (int i = 0; i < 3; ++i) image.items[i].row = i;
  image.sortItem = sortItem;
  for (const Person& p : rows) {
    RecordImage record;
    if (!p.name.empty()) record.values.push_back(tsqtest::textValue(1, p.name));
    if (p.born) record.values.push_back(tsqtest::calendarValue(2, ValueType::Date, *p.born));
    if (p.score != 0) record.values.push_back(tsqtest::integerValue(3, p.score));
    image.records.push_back(record);
  }
  return image;
}

// The file's records in chain order, as "name/score".
std::vector<std::string> stored(const std::vector<std::uint8_t>& bytes, const DatabaseImage& image) {
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  std::vector<std::string> rows;
  for (Position record : apptest::recordChain(bytes, dataBase)) {
    std::string name;
    std::int32_t score = 0;
    for (const auto& entry : apptest::recordEntries(bytes, dataBase, record)) {
      if (entry.fieldId == 1)
        for (std::size_t i = 2; i + 1 < entry.payload.size(); i += 2)
          if (entry.payload[i] != 0) name += static_cast<char>(entry.payload[i]);
      if (entry.fieldId == 3) std::memcpy(&score, entry.payload.data(), 4);
    }
    rows.push_back(name + "/" + std::to_string(score));
    if (rows.size() > 100) break;
  }
  return rows;
}

std::vector<std::u16string> listed(App& app) {
  std::vector<std::u16string> rows;
  const LRESULT count = SendMessageW(app.db().ui.listBox, LB_GETCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    WCHAR text[300] = {};
    SendMessageW(app.db().ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

class Commands : public ::testing::Test {
 protected:
  void open(const DatabaseImage& database) {
    image = database;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
  }
  std::vector<std::string> records() { return stored(app.fileBytes("db"), image); }
  // Sort by the column at row `row` of the Pick Column list.
  void sortBy(int row) {
    for (int i = 0; i < row; ++i) app.queueKey(Key::Down);
    app.queueKey(Key::SoftLeft);
    app.command(cmdSort);
  }
  std::string check() { return apptest::tsqCheck(app.fileBytes("db")); }

  App app;
  DatabaseImage image;
};

// ---- Sort ---------------------------------------------------------------------------

TEST_F(Commands, SortingByATextIgnoresCaseAndPutsRecordsWithoutTextFirst) {
  open(people({{u"bob", {}, 1}, {u"Carl", {}, 2}, {u"", {}, 3}, {u"alice", {}, 4}, {u"Bea", {}, 5}}));
  app.press(Key::Down);  // Carl becomes current
  app.command(cmdDone);
  app.command(cmdShowList);
  const Position carl = app.db().store.records.currentRecord;
  sortBy(0);
  EXPECT_EQ(records(), (std::vector<std::string>{"/3", "alice/4", "Bea/5", "bob/1", "Carl/2"}));
  EXPECT_EQ(listed(app), (std::vector<std::u16string>{u"", u"alice", u"Bea", u"bob", u"Carl"}));
  EXPECT_EQ(app.db().store.records.currentRecord, carl);
  EXPECT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0), 4);
  EXPECT_EQ(check(), "sound");
  const auto header = apptest::readStoredHeader(app.fileBytes("db"), image).header;
  EXPECT_EQ(header.sortItem, static_cast<std::uint32_t>(Name));
  EXPECT_EQ(header.firstRecord, app.db().store.records.index[0].position);
}

TEST_F(Commands, SortingByADatePutsRecordsWithoutADateFirstAndOneDayIsOneValue) {
  open(people({{u"late", day(2024, 5, 1, 18), 1},
               {u"early", day(2020, 1, 1), 2},
               {u"none", {}, 3},
               {u"morning", day(2024, 5, 1, 6), 4}}));
  sortBy(1);
  // "late" and "morning" are equal: the quicksort's steps put morning first.
  EXPECT_EQ(records(), (std::vector<std::string>{"none/3", "early/2", "morning/4", "late/1"}));
  EXPECT_EQ(check(), "sound");
}

TEST_F(Commands, ASortCancelledChangesNothingAndSaysNothing) {
  open(people({{u"b", {}, 1}, {u"a", {}, 2}}));
  const auto before = app.fileBytes("db");
  app.queueKey(Key::SoftRight);
  app.command(cmdSort);
  EXPECT_EQ(app.fileBytes("db"), before);
  EXPECT_TRUE(app.prompts().empty());
}

TEST_F(Commands, OneRecordSortsAndNoneIsNotOffered) {
  open(people({{u"only", {}, 1}}));
  sortBy(0);
  EXPECT_EQ(records(), (std::vector<std::string>{"only/1"}));
  EXPECT_EQ(apptest::readStoredHeader(app.fileBytes("db"), image).header.sortItem, 0u);
  App empty;
  (void)empty;
}

TEST(CommandGuards, AnEmptyDatabaseAcceptsNewOnly) {
  App app;
  const DatabaseImage image = people({});
  app.writeDatabase("db", image);
  ASSERT_TRUE(app.open("db"));
  const auto before = app.fileBytes("db");
  for (std::uint16_t command : {cmdSort, cmdSearch, cmdDuplicate, cmdDeleteRecord}) app.command(command);
  EXPECT_EQ(app.fileBytes("db"), before);
  EXPECT_TRUE(app.prompts().empty());
  EXPECT_EQ(app.db().screen, Screen::FormView);
  app.command(cmdNew);
  EXPECT_EQ(app.db().screen, Screen::Editing);
}

// ---- New and Duplicate ---------------------------------------------------------------

TEST_F(Commands, NewOnAnEmptyDatabaseThenDoneStoresOneRecordWithoutEntries) {
  open(people({}));
  app.command(cmdNew);
  ASSERT_EQ(app.db().screen, Screen::Editing);
  app.command(cmdDone);
  EXPECT_EQ(records(), (std::vector<std::string>{"/0"}));
  const auto bytes = app.fileBytes("db");
  const auto dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  EXPECT_TRUE(apptest::recordEntries(bytes, dataBase, apptest::recordChain(bytes, dataBase).at(0)).empty());
  EXPECT_EQ(app.db().store.records.currentEntry, 0);
  EXPECT_EQ(check(), "sound");
}

TEST_F(Commands, NewGoesToItsSortedPlaceOrToTheEndWithoutASortOrder) {
  for (std::uint32_t sort : {noItem, static_cast<std::uint32_t>(Name)}) {
    SCOPED_TRACE(sort);
    App fresh;
    const DatabaseImage database = people({{u"a", {}, 1}, {u"c", {}, 2}}, sort);
    fresh.writeDatabase("db", database);
    ASSERT_TRUE(fresh.open("db"));
    fresh.command(cmdNew);
    fresh.setText(Name, u"b");
    fresh.command(cmdDone);
    const auto rows = stored(fresh.fileBytes("db"), database);
    EXPECT_EQ(rows, sort == noItem ? (std::vector<std::string>{"a/1", "c/2", "b/0"})
                                   : (std::vector<std::string>{"a/1", "b/0", "c/2"}));
    EXPECT_EQ(apptest::tsqCheck(fresh.fileBytes("db")), "sound");
  }
}

TEST_F(Commands, DuplicateWritesEveryShownValueAnewAndLeavesTheOriginal) {
  DatabaseImage database = people({{u"Ann", day(1990, 2, 3), 7}});
  database.items.push_back(tsqtest::valueItem(ItemKind::CheckBox, ValueType::YesNo, 4, u"Paid"));
  database.items.push_back(tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 5, u"Group"));
  database.items[3].row = 3;
  database.items[4].row = 4;
  database.items[4].choices = {u"Home", u"Work"};
  database.records[0].values.push_back(tsqtest::yesNoValue(4, true));
  database.records[0].values.push_back(tsqtest::textValue(5, u"Work"));
  open(database);
  app.command(cmdDone);
  const auto before = app.fileBytes("db");
  const std::uint32_t dataBase = apptest::readStoredHeader(before, image).dataBase;
  const Position original = apptest::recordChain(before, dataBase).at(0);
  const auto originalEntries = apptest::recordEntries(before, dataBase, original);
  ASSERT_EQ(originalEntries.size(), 5u);

  app.command(cmdDuplicate);
  ASSERT_EQ(app.db().screen, Screen::Editing);
  platform::clearFileFaults();
  app.command(cmdDone);
  // Five entries and a RecordHeader appended, the original unchanged.
  const auto after = app.fileBytes("db");
  const auto chain = apptest::recordChain(after, dataBase);
  ASSERT_EQ(chain.size(), 2u);
  EXPECT_EQ(chain[0], original);
  const auto copy = apptest::recordEntries(after, dataBase, chain[1]);
  ASSERT_EQ(copy.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(copy[i].fieldId, originalEntries[i].fieldId);
    EXPECT_EQ(copy[i].payload, originalEntries[i].payload);
  }
  EXPECT_EQ(apptest::recordEntries(after, dataBase, original).size(), 5u);
  EXPECT_EQ(check(), "sound");
}

TEST_F(Commands, DuplicateThenCancelWritesNothingAndShowsTheFirstRecord) {
  open(people({{u"a", {}, 1}, {u"b", {}, 2}}));
  app.press(Key::Down);
  app.command(cmdDone);
  const auto before = app.fileBytes("db");
  app.command(cmdDuplicate);
  app.command(cmdCancel);
  EXPECT_EQ(app.fileBytes("db"), before);
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(app.text(Name), u"a");
}

// ---- Delete --------------------------------------------------------------------------

TEST_F(Commands, DeletingTheOnlyRecordLeavesNoRecordsAndTheEmptyForm) {
  open(people({{u"only", day(2000, 1, 1), 5}}));
  app.command(cmdDeleteRecord);  // on the ListView: through the FormView first
  EXPECT_NE(app.lastPrompt().find("permanently delete"), std::string::npos) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(app.db().store.file.header.recordCount, 0u);
  EXPECT_EQ(app.db().store.records.index, nullptr);
  EXPECT_EQ(app.db().store.records.currentEntry, -1);
  EXPECT_EQ(app.text(Name), u"");
  EXPECT_EQ(app.text(Score), u"0");
  EXPECT_TRUE(records().empty());
  EXPECT_EQ(check(), "sound");
  // The room of the record and its entries is free again.
  EXPECT_NE(apptest::readStoredHeader(app.fileBytes("db"), image).header.freeList, noPosition);
}

TEST_F(Commands, ADeletedRecordMakesTheNextCurrentAndTheLastThePrevious) {
  struct Case {
    int row;
    std::u16string current;
  };
  for (const Case& c : {Case{1, u"c"}, Case{3, u"c"}, Case{0, u"b"}}) {
    App fresh;
    const DatabaseImage database = people({{u"a", {}, 1}, {u"b", {}, 2}, {u"c", {}, 3}, {u"d", {}, 4}});
    fresh.writeDatabase("db", database);
    ASSERT_TRUE(fresh.open("db"));
    for (int i = 0; i < c.row; ++i) fresh.press(Key::Down);
    fresh.command(cmdDeleteRecord);
    EXPECT_EQ(fresh.db().screen, Screen::ListView);
    EXPECT_EQ(fresh.text(Name), c.current) << c.row;
    EXPECT_EQ(listed(fresh).size(), 3u);
    // Every row still leads to its own record.
    for (LRESULT row = 0; row < 3; ++row) {
      SendMessageW(fresh.db().ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
      fresh.command(cmdDone);
      EXPECT_EQ(fresh.text(Name), listed(fresh).empty() ? u"" : listed(fresh)[static_cast<std::size_t>(row)]);
      fresh.command(cmdShowList);
    }
    EXPECT_EQ(apptest::tsqCheck(fresh.fileBytes("db")), "sound");
  }
}

TEST_F(Commands, ADeleteDeclinedChangesNothing) {
  open(people({{u"a", {}, 1}, {u"b", {}, 2}}));
  const auto before = app.fileBytes("db");
  app.queueKey(Key::SoftRight);  // Cancel
  app.command(cmdDeleteRecord);
  EXPECT_EQ(app.fileBytes("db"), before);
  EXPECT_EQ(listed(app).size(), 2u);
}

TEST_F(Commands, EntriesOfColumnsTheFormDoesNotShowGoWithTheRecord) {
  DatabaseImage database = people({{u"a", {}, 1}, {u"b", {}, 2}});
  database.records[0].values.push_back(tsqtest::integerValue(99, 42));  // on no item
  open(database);
  app.command(cmdDone);
  app.command(cmdDeleteRecord);
  EXPECT_EQ(records(), (std::vector<std::string>{"b/2"}));
  EXPECT_EQ(check(), "sound");
  // Deleting the other one too, the whole data area is free blocks again.
  app.command(cmdDeleteRecord);
  const auto bytes = app.fileBytes("db");
  const auto header = apptest::readStoredHeader(bytes, image);
  std::uint32_t free = 0;
  for (Position at = header.header.freeList; at != noPosition && free < 10000;)
    free += apptest::u32At(bytes, header.dataBase + at + 4), at = apptest::u32At(bytes, header.dataBase + at);
  EXPECT_EQ(free, bytes.size() - header.dataBase - dataHeaderSize);
}

}  // namespace
