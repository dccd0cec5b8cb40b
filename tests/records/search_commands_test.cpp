// Search and the SearchButtons as the user gives them: the "Search For"
// dialog from the record menu, the form's buttons, and what the ListView,
// the form, Back, Sort, Delete and a new record do with the records a
// button left included.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/phone.h"
#include "resources/ids.h"
#include "storage/data_cache.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using platform::Key;

namespace {

enum Item { Name, Born, Score, Paid, Teens, Nobody, ShowAll };

SYSTEMTIME day(WORD y, WORD m, WORD d, WORD hour = 0) { return SYSTEMTIME{y, m, 0, d, hour, 0, 0, 0}; }

struct Person {
  std::u16string name;
  std::optional<std::int32_t> score;
  std::optional<SYSTEMTIME> born;
  bool paid = false;
};

Person person(const char16_t* name, std::optional<std::int32_t> score = {}) {
  Person p;
  p.name = name;
  p.score = score;
  return p;
}

SearchCriterion criterion(std::uint32_t item, std::uint8_t op, FieldValue value) {
  SearchCriterion c;
  c.item = item;
  c.op = op;
  c.value = value;
  return c;
}

ItemImage button(const std::u16string& caption, std::vector<SearchCriterion> criteria, bool matchAll) {
  ItemImage item;
  item.kind = static_cast<std::uint8_t>(ItemKind::SearchButton);
  item.caption = caption;
  item.criteria = std::move(criteria);
  item.matchAll = matchAll ? 1 : 0;
  return item;
}

// Name, Born, Score and Paid, and three buttons: the scores 10 to 19, a
// name nobody has, and all records.
DatabaseImage people(const std::vector<Person>& rows, std::uint32_t sortItem = Name) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Date, 2, u"Born"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 3, u"Score"));
  image.items.push_back(tsqtest::valueItem(ItemKind::CheckBox, ValueType::YesNo, 4, u"Paid"));
  image.items.push_back(button(u"Teens",
                               {criterion(Score, op::greaterOrEqual, tsqtest::integerValue(3, 10)),
                                criterion(Score, op::less, tsqtest::integerValue(3, 20))},
                               true));
  image.items.push_back(button(u"Nobody", {criterion(Name, op::equal, tsqtest::textValue(1, u"zzz"))}, false));
  image.items.push_back(button(u"Show all", {}, false));
  for (std::size_t i = 0; i < image.items.size(); ++i) image.items[i].row = static_cast<std::int32_t>(i);
  image.sortItem = sortItem;
  for (const Person& p : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, p.name));
    if (p.born) record.values.push_back(tsqtest::calendarValue(2, ValueType::Date, *p.born));
    if (p.score) record.values.push_back(tsqtest::integerValue(3, *p.score));
    if (p.paid) record.values.push_back(tsqtest::yesNoValue(4, true));
    image.records.push_back(record);
  }
  return image;
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

LRESULT selectedRow(App& app) { return SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0); }

class Search : public ::testing::Test {
 protected:
  void open(const DatabaseImage& database) {
    image = database;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
  }
  // Search with the keys typed into the dialog, then OK.
  void search(const std::u16string& typed, Key answer = Key::SoftLeft) {
    for (char16_t c : typed) app.queueKey(Key::Char, c);
    app.queueKey(answer);
    app.command(cmdSearch);
  }
  // The action key on a form button, as the user presses it.
  void click(int item) {
    SetFocus(app.control(item));
    app.press(Key::Action);
  }
  std::u16string current() { return app.text(Name); }
  std::string check() { return apptest::tsqCheck(app.fileBytes("db")); }

  App app;
  DatabaseImage image;
};

// ---- Search ---------------------------------------------------------------------

TEST_F(Search, ATextInLowerCaseFindsTheFirstKeyStartingWithItOrTheNextOne) {
  struct Case {
    std::u16string typed;
    std::u16string found;
    LRESULT row;
  };
  for (const Case& c : {Case{u"bo", u"Bob", 1}, Case{u"BOBB", u"bobby", 2}, Case{u"bz", u"Carl", 3},
                        Case{u"", u"alice", 0}}) {
    SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
    App fresh;
    fresh.writeDatabase("db", people({person(u"alice"), person(u"Bob"), person(u"bobby"), person(u"Carl")}));
    ASSERT_TRUE(fresh.open("db"));
    fresh.press(Key::Down);
    fresh.press(Key::Down);
    fresh.press(Key::Down);  // the selection moves; the current record is still alice
    for (char16_t ch : c.typed) fresh.queueKey(Key::Char, ch);
    if (c.typed.empty()) fresh.queueKey(Key::Back);  // erases the key the dialog starts from
    fresh.queueKey(Key::SoftLeft);
    fresh.command(cmdSearch);
    EXPECT_TRUE(fresh.prompts().empty()) << fresh.lastPrompt();
    EXPECT_EQ(fresh.db().screen, Screen::ListView);
    EXPECT_EQ(fresh.text(Name), c.found);
    EXPECT_EQ(SendMessageW(fresh.db().ui.listBox, LB_GETCURSEL, 0, 0), c.row);
    EXPECT_EQ(listed(fresh).size(), 4u);
  }
}

TEST_F(Search, TheDialogStartsFromTheCurrentKeyAndTypingReplacesIt) {
  open(people({person(u"alice"), person(u"Bob")}));
  app.command(cmdDone);  // the FormView on alice
  search(u"b");
  ASSERT_EQ(app.waits().size(), 2u);
  const std::string dialog = app.waits().front();
  EXPECT_NE(dialog.find("Search For"), std::string::npos) << dialog;
  EXPECT_NE(dialog.find("alice"), std::string::npos) << dialog;
  EXPECT_NE(dialog.find("OK"), std::string::npos) << dialog;
  EXPECT_EQ(app.waits().back().find("alice"), std::string::npos) << app.waits().back();
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(current(), u"Bob");
}

TEST_F(Search, AValueEqualToARunOfEqualKeysLandsOnTheFirstOfTheRun) {
  open(people({person(u"e", 5), person(u"a", 7), person(u"c", 7), person(u"b", 7), person(u"d", 9)}, Score));
  app.command(cmdDone);
  app.press(Key::Down);  // the FormView: the focus moves, the record stays
  search(u"7");
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"a");
  EXPECT_EQ(app.db().store.records.currentEntry, 1);
  EXPECT_EQ(app.db().screen, Screen::FormView);
}

TEST_F(Search, BeyondTheLastKeyIsRecordNotFoundAndTheCurrentRecordStays) {
  open(people({person(u"alice"), person(u"Bob"), person(u"Carl")}));
  app.press(Key::Down);
  app.command(cmdDone);  // Bob
  const auto before = app.fileBytes("db");
  search(u"dan");
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Record not found"), std::string::npos) << app.lastPrompt();
  EXPECT_EQ(current(), u"Bob");
  EXPECT_EQ(app.db().store.records.currentEntry, 1);
  EXPECT_EQ(app.fileBytes("db"), before);
}

TEST_F(Search, CancelOrBackOutOfTheDialogChangesNothingAndSaysNothing) {
  open(people({person(u"alice"), person(u"Bob")}));
  search(u"b", Key::SoftRight);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"alice");
  EXPECT_EQ(selectedRow(app), 0);
  // Back erases typed characters, one at a time, and never leaves the dialog.
  app.queueKey(Key::Char, u'b');
  app.queueKey(Key::Char, u'x');
  app.queueKey(Key::Back);
  app.queueKey(Key::SoftLeft);
  app.command(cmdSearch);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"Bob");
}

TEST_F(Search, WithoutASortOrderItSaysSoAndAsksNothing) {
  open(people({person(u"alice"), person(u"Bob")}, noItem));
  app.command(cmdSearch);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("You must select a sort order"), std::string::npos)
      << app.lastPrompt();
}

TEST_F(Search, AValueThatDoesNotConvertOnlyBeepsAndTheDialogStaysOpen) {
  open(people({person(u"a", 3), person(u"b", 7), person(u"c", 12)}, Score));
  const int beeps = platform::beepCount();
  // "#" types the decimal point: 1.5 is no Integer. Back erases it again.
  for (char16_t c : std::u16string(u"1#5")) app.queueKey(Key::Char, c);
  app.queueKey(Key::SoftLeft);
  for (int i = 0; i < 3; ++i) app.queueKey(Key::Back);
  app.queueKey(Key::Char, u'5');
  app.queueKey(Key::SoftLeft);
  app.command(cmdSearch);
  EXPECT_EQ(platform::beepCount(), beeps + 1);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"b");
}

TEST_F(Search, ADateSearchStartsFromTheCurrentDateAndFindsTheFirstOfThatDay) {
  DatabaseImage database = people({person(u"a"), person(u"b"), person(u"c"), person(u"d")}, Born);
  database.records[1].values.push_back(tsqtest::calendarValue(2, ValueType::Date, day(2020, 1, 1)));
  database.records[2].values.push_back(tsqtest::calendarValue(2, ValueType::Date, day(2024, 5, 1, 6)));
  database.records[3].values.push_back(tsqtest::calendarValue(2, ValueType::Date, day(2024, 5, 1, 18)));
  open(database);
  app.press(Key::Down);
  app.press(Key::Down);
  app.press(Key::Down);
  app.command(cmdDone);  // d, on 5/1/2024
  search(u"");  // OK at once: the date the dialog starts from
  ASSERT_EQ(app.waits().size(), 1u);
  EXPECT_NE(app.waits().front().find("5/1/2024"), std::string::npos) << app.waits().front();
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"c");
}

// A check box column as the sort order is asked for with a check box.
TEST_F(Search, AYesNoSortOrderIsAskedForWithACheckBox) {
  DatabaseImage database = people({person(u"a"), person(u"b"), person(u"c")}, Paid);
  database.records[1].values.push_back(tsqtest::yesNoValue(4, true));
  database.records[2].values.push_back(tsqtest::yesNoValue(4, true));
  open(database);
  app.queueKey(Key::Action);  // checks the box
  app.queueKey(Key::SoftLeft);
  app.command(cmdSearch);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"b");
  EXPECT_EQ(selectedRow(app), 1);
}

// A damaged record found by its key (its key entry reads, the entry after
// it leads outside the file) is not gone to: the message, and the record
// that was current stays in the form and the list.
TEST_F(Search, AFoundRecordThatCannotBeReadIsNotGoneTo) {
  image = people({person(u"alice", 1), person(u"Bob", 2), person(u"Carl", 3)});
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  const auto bob = apptest::recordEntries(bytes, dataBase, apptest::recordChain(bytes, dataBase).at(1));
  ASSERT_EQ(bob.size(), 2u);
  const std::uint32_t at = dataBase + bob[0].position;  // the name entry's next
  for (int b = 0; b < 4; ++b) bytes[at + b] = static_cast<std::uint8_t>(0x7FFFFFF0u >> (8 * b));
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  ASSERT_TRUE(app.open("db"));
  search(u"b");
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
  EXPECT_EQ(app.db().store.records.currentEntry, 0);
  EXPECT_EQ(current(), u"alice");
  EXPECT_EQ(app.text(Score), u"1");
  EXPECT_EQ(selectedRow(app), 0);
}

// ---- SearchButtons ------------------------------------------------------------------

const std::vector<Person> scores = {person(u"a", 10), person(u"b", 25), person(u"c"),      person(u"d", 19),
                                     person(u"e", 9),  person(u"f", 20), person(u"g", 15)};

TEST_F(Search, AButtonIncludesExactlyTheMatchingRecordsAndTheListShowsOnlyThem) {
  open(people(scores));
  app.press(Key::Down);
  app.command(cmdDone);  // b, which the button excludes
  const auto before = app.fileBytes("db");
  click(Teens);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(app.db().store.records.includedCount, 3u);
  EXPECT_EQ(current(), u"d");  // the next included record
  EXPECT_EQ(app.text(Score), u"19");
  EXPECT_EQ(app.fileBytes("db"), before);  // the marks are never stored
  app.press(Key::Back);
  EXPECT_EQ(app.db().screen, Screen::ListView);
  EXPECT_EQ(listed(app), (std::vector<std::u16string>{u"a", u"d", u"g"}));
  EXPECT_EQ(selectedRow(app), 1);
}

TEST_F(Search, ASearchSkipsRecordsTheButtonExcluded) {
  open(people(scores));
  app.command(cmdDone);
  click(Teens);
  search(u"b");  // b, c are excluded: d
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(current(), u"d");
  search(u"h");
  EXPECT_NE(app.lastPrompt().find("Record not found"), std::string::npos) << app.lastPrompt();
  EXPECT_EQ(current(), u"d");
}

TEST_F(Search, AButtonOnTheEditingScreenSaysItCannotBeDone) {
  open(people(scores));
  app.command(cmdEdit);
  ASSERT_EQ(app.db().screen, Screen::Editing);
  click(Teens);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("This cannot be done while"), std::string::npos)
      << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::Editing);
  EXPECT_EQ(app.db().store.records.includedCount, scores.size());
}

TEST_F(Search, WithNothingIncludedTheFormIsEmptyAndBackGoesToTheCatalogue) {
  open(people(scores));
  app.command(cmdDone);
  click(Nobody);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().store.records.includedCount, 0u);
  EXPECT_EQ(app.db().store.records.currentEntry, -1);
  EXPECT_EQ(current(), u"");
  EXPECT_EQ(app.text(Score), u"0");
  // Nothing that needs an included record is offered.
  const auto before = app.fileBytes("db");
  for (std::uint16_t command : {cmdShowList, cmdSort, cmdSearch, cmdDuplicate, cmdDeleteRecord}) app.command(command);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.fileBytes("db"), before);
  app.press(Key::Back);
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
}

// After a button that left nothing included there is no current record;
// showing all records again makes the first one current, so that the list
// and Sort have a record to stand on.
TEST_F(Search, ShowingAllAgainAfterNothingMakesTheFirstRecordCurrent) {
  open(people(scores));
  app.command(cmdDone);
  click(Nobody);
  click(ShowAll);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().store.records.includedCount, scores.size());
  EXPECT_EQ(current(), u"a");
  app.press(Key::Back);
  ASSERT_EQ(app.db().screen, Screen::ListView);
  EXPECT_EQ(listed(app).size(), scores.size());
  EXPECT_EQ(selectedRow(app), 0);
  app.queueKey(Key::SoftLeft);
  app.command(cmdSort);  // by Name again: nothing moves
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  // Showing all when all are shown does nothing at all.
  app.command(cmdDone);
  click(ShowAll);
  EXPECT_EQ(current(), u"a");
}

// A record typed into the empty form that a button left is a new record of
// its own: it shares no entry with the record shown before.
TEST_F(Search, ARecordStoredFromTheEmptyFormIsANewOneOfItsOwn) {
  open(people(scores));
  app.command(cmdDone);
  click(Nobody);
  app.command(cmdEdit);
  app.setText(Score, u"12");
  app.command(cmdDone);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().store.file.header.recordCount, scores.size() + 1);
  EXPECT_EQ(app.db().store.records.includedCount, 1u);
  EXPECT_EQ(check(), "sound");
  const auto bytes = app.fileBytes("db");
  const std::uint32_t dataBase = apptest::readStoredHeader(bytes, image).dataBase;
  const auto chain = apptest::recordChain(bytes, dataBase);
  ASSERT_EQ(chain.size(), scores.size() + 1);
  // Without a name it sorts first; it holds its score and nothing else.
  const auto entries = apptest::recordEntries(bytes, dataBase, chain[0]);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].fieldId, 3);
  EXPECT_EQ(apptest::recordEntries(bytes, dataBase, chain[1]).size(), 2u);  // a/10 as before
}

// After a button the ListView's rows lead to their own records, also once
// an edit moved one and a delete took one away.
TEST_F(Search, RowsStillLeadToTheRightRecordsAfterAnEditAndADelete) {
  open(people(scores));
  app.command(cmdDone);
  click(Teens);  // a, d, g
  app.command(cmdShowList);
  ASSERT_EQ(listed(app), (std::vector<std::u16string>{u"a", u"d", u"g"}));
  auto everyRowLeadsToItsRecord = [&] {
    const auto rows = listed(app);
    for (std::size_t row = 0; row < rows.size(); ++row) {
      SendMessageW(app.db().ui.listBox, LB_SETCURSEL, row, 0);
      app.command(cmdDone);
      EXPECT_EQ(current(), rows[row]) << "row " << row;
      app.command(cmdShowList);
    }
  };
  // d becomes z, which sorts after g and after excluded records.
  SendMessageW(app.db().ui.listBox, LB_SETCURSEL, 1, 0);
  app.command(cmdEdit);
  app.setText(Name, u"z");
  app.command(cmdDone);
  app.command(cmdShowList);
  EXPECT_EQ(listed(app), (std::vector<std::u16string>{u"a", u"g", u"z"}));
  EXPECT_EQ(selectedRow(app), 2);
  everyRowLeadsToItsRecord();
  SendMessageW(app.db().ui.listBox, LB_SETCURSEL, 0, 0);
  app.command(cmdDeleteRecord);  // a; b, c, e and f follow it, excluded: g is next
  EXPECT_EQ(listed(app), (std::vector<std::u16string>{u"g", u"z"}));
  EXPECT_EQ(current(), u"g");
  EXPECT_EQ(selectedRow(app), 0);
  everyRowLeadsToItsRecord();
  EXPECT_EQ(check(), "sound");
  EXPECT_EQ(app.db().store.file.header.recordCount, scores.size() - 1);
}

// Leaving a new record with Cancel goes back to the first included record.
TEST_F(Search, ACancelledNewRecordGivesWayToTheFirstIncludedRecord) {
  open(people({person(u"a", 25), person(u"b", 12), person(u"c", 15)}));
  app.command(cmdDone);
  click(Teens);
  ASSERT_EQ(current(), u"b");
  app.command(cmdDuplicate);
  app.command(cmdCancel);
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(current(), u"b");
  EXPECT_EQ(app.db().store.records.currentEntry, 1);
}

// A button that cannot read a record part-way changes no mark: the list,
// the current record and Back go on as before.
TEST(SearchButtonFaults, AReadFailingAtAnyRecordLeavesTheMarksAsTheyWere) {
  std::vector<Person> many;
  for (int i = 0; i < 30; ++i) {
    Person p = person(u"n", i);
    p.name = std::u16string(200, static_cast<char16_t>(u'a' + i % 26)) + static_cast<char16_t>(u'a' + i / 26);
    many.push_back(p);
  }
  const DatabaseImage image = people(many);
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE("read " + std::to_string(failAt));
    App app;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.command(cmdDone);
    SetFocus(app.control(Teens));
    clearCache(app.db().store.file.cache);
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Read, failAt);
    app.press(Key::Action);
    const bool fired = platform::fileFaultsFired() > 0;
    platform::clearFileFaults();
    if (!fired) {
      EXPECT_EQ(app.db().store.records.includedCount, 10u);
      break;
    }
    ASSERT_EQ(app.prompts().size(), 1u);
    EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
    EXPECT_EQ(app.db().store.records.includedCount, many.size());
    EXPECT_EQ(app.db().store.records.currentEntry, 0);
    app.press(Key::Back);
    EXPECT_EQ(app.db().screen, Screen::ListView);
    EXPECT_EQ(listed(app).size(), many.size());
    EXPECT_EQ(app.prompts().size(), 1u) << app.lastPrompt();
  }
  EXPECT_GT(failAt, 1);
}

// A key search that cannot read a key or the record it found says so and
// stays on the record that was current, in the form and in the list.
TEST(SearchFaults, AReadFailingAnywhereLeavesTheCurrentRecord) {
  std::vector<Person> many;
  for (int i = 0; i < 40; ++i) {
    Person p = person(u"", i);
    p.name = std::u16string(1, static_cast<char16_t>(u'a' + i / 10)) + static_cast<char16_t>(u'a' + i % 10) +
             std::u16string(240, u'.');
    many.push_back(p);
  }
  const DatabaseImage image = people(many);
  int failAt = 0;
  for (;; ++failAt) {
    SCOPED_TRACE("read " + std::to_string(failAt));
    App app;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Down);
    app.command(cmdDone);
    app.command(cmdShowList);  // on the second record
    const std::u16string before = app.text(Name);
    clearCache(app.db().store.file.cache);
    app.queueKey(Key::Char, u'd');
    app.queueKey(Key::SoftLeft);
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Read, failAt);
    app.command(cmdSearch);
    const bool fired = platform::fileFaultsFired() > 0;
    platform::clearFileFaults();
    if (!fired) {
      EXPECT_EQ(app.text(Name).substr(0, 2), u"da");
      EXPECT_EQ(selectedRow(app), 30);
      break;
    }
    ASSERT_EQ(app.prompts().size(), 1u);
    EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
    EXPECT_EQ(app.db().store.records.currentEntry, 1);
    EXPECT_EQ(app.text(Name), before);
    EXPECT_EQ(selectedRow(app), 1);
  }
  EXPECT_GT(failAt, 1);
}

}  // namespace
