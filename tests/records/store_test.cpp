// Commits of the form's edits, checked byte by byte in the file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/emulator.h"
#include "platform/text.h"
#include "views/commit.h"
#include "views/form.h"
#include "resources/ids.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using tsqtest::integerValue;
using tsqtest::numberValue;
using tsqtest::textValue;

namespace {

enum Item { NameLabel, Name, Qty, Price, When, Paid, Group, At, ItemCount };

SYSTEMTIME day(WORD y, WORD m, WORD d) { return SYSTEMTIME{y, m, 0, d, 0, 0, 0, 0}; }
SYSTEMTIME clock(WORD h, WORD m, WORD s) { return SYSTEMTIME{1899, 12, 0, 30, h, m, s, 0}; }

// One record per name; the first has a value in every column.
DatabaseImage fixture(std::uint32_t sortItem = noItem) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Label, ValueType::Text, 0xFFFF, u"Name:"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Qty"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Number, 3, u"Price"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Date, 4, u"When"));
  image.items.push_back(tsqtest::valueItem(ItemKind::CheckBox, ValueType::YesNo, 5, u"Paid"));
  image.items.push_back(tsqtest::valueItem(ItemKind::PickList, ValueType::Text, 6, u"Group"));
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Time, 7, u"At"));
  image.items[Group].choices = {u"Home", u"Work"};
  for (int i = 0; i < ItemCount; ++i) image.items[i].row = i;
  image.sortItem = sortItem;

  RecordImage first;
  first.values = {textValue(1, u"abc"),
                  integerValue(2, 5),
                  numberValue(3, 2.5),
                  tsqtest::calendarValue(4, ValueType::Date, day(2026, 1, 10)),
                  tsqtest::yesNoValue(5, true),
                  textValue(6, u"Work"),
                  tsqtest::calendarValue(7, ValueType::Time, clock(9, 15, 0))};
  RecordImage second;
  second.values = {textValue(1, u"mno"), numberValue(3, 5.0)};
  RecordImage third;
  third.values = {textValue(1, u"xyz"), numberValue(3, 7.0)};
  image.records = {first, second, third};
  return image;
}

// Opens the database from the command line and starts editing its first record.
class StoreTest : public ::testing::Test {
 protected:
  void openAndEdit(const DatabaseImage& database) {
    image = database;
    path = app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.command(cmdDone);  // the ListView's selected record on the FormView
    app.command(cmdEdit);
    ASSERT_EQ(app.db().screen, Screen::Editing);
    before = app.fileBytes("db");
    stored = apptest::readStoredHeader(before, image);
  }
  std::vector<apptest::StoredEntry> entriesOf(Position record) {
    return apptest::recordEntries(app.fileBytes("db"), stored.dataBase, record);
  }
  Position firstRecordOnDisk() { return apptest::recordChain(before, stored.dataBase).at(0); }

  App app;
  DatabaseImage image;
  std::string path;
  std::vector<std::uint8_t> before;
  apptest::StoredHeader stored;
};

TEST_F(StoreTest, SameSizeTextIsRewrittenWhereItStands) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  const Position namePosition = entriesOf(record).at(0).position;
  app.setText(Name, u"xyz");
  app.command(cmdDone);
  EXPECT_EQ(app.db().screen, Screen::FormView);
  auto entries = entriesOf(record);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0].position, namePosition);
  EXPECT_EQ(entries[0].payload[2], 'x');
  auto after = apptest::readStoredHeader(app.fileBytes("db"), image);
  EXPECT_EQ(after.header.freeList, noPosition);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, LongerTextMovesToTheHeadOfTheChainAndFreesTheOldEntry) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  const Position oldName = entriesOf(record).at(0).position;
  app.setText(Name, u"abcd");
  app.command(cmdDone);
  auto entries = entriesOf(record);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_NE(entries[0].position, oldName);
  EXPECT_EQ(entries[0].fieldId, 1);
  EXPECT_EQ(entries[1].fieldId, 2);
  auto bytes = app.fileBytes("db");
  auto after = apptest::readStoredHeader(bytes, image);
  EXPECT_EQ(after.header.freeList, oldName);
  EXPECT_EQ(apptest::u32At(bytes, after.dataBase + oldName + 4), 2u * 4 + 10);  // the freed entry's size
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, ClearingValuesReleasesTheirEntriesAndKeepsTheChainLinked) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  app.setText(Qty, u"0");
  app.setText(Price, u"0.000000");
  SendMessageW(app.control(Paid), BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(app.control(Group), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SYSTEMTIME now{};
  GetLocalTime(&now);
  SendMessageW(app.control(When), DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&now));
  SendMessageW(app.control(At), DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&now));
  app.db().store.records.currentRecordHeader.flags |= modifiedFlag;
  app.setText(Name, u"");
  app.command(cmdDone);
  EXPECT_TRUE(entriesOf(record).empty());
  EXPECT_EQ(apptest::u32At(app.fileBytes("db"), stored.dataBase + record), noPosition);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, ClearingSomeValuesWritesTheDataHeaderOnce) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  app.setText(Qty, u"0");
  app.setText(Price, u"0");
  SendMessageW(app.control(Paid), BM_SETCHECK, BST_UNCHECKED, 0);
  platform::clearFileFaults();
  app.command(cmdDone);
  // Per removal a predecessor rewrite and a free block; then the record
  // header and one DataHeader.
  EXPECT_EQ(platform::fileOperationCount(platform::FileOp::Write), 3 * 2 + 2);
  std::vector<std::uint16_t> ids;
  for (const auto& entry : entriesOf(record)) ids.push_back(entry.fieldId);
  EXPECT_EQ(ids, (std::vector<std::uint16_t>{1, 4, 6, 7}));
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, ClosingTheWindowWhileEditingSavesTheEdit) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  app.setText(Qty, u"77");
  SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
  platform::runPending();
  EXPECT_FALSE(IsWindow(app.mainWindow()));
  EXPECT_EQ(entriesOf(record).at(1).payload[0], 77);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, ADateChangedOnlyInItsTimeOfDayIsUnchanged) {
  openAndEdit(fixture());
  SYSTEMTIME later = day(2026, 1, 10);
  later.wHour = 17;
  SendMessageW(app.control(When), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&later));
  app.db().store.records.currentRecordHeader.flags |= modifiedFlag;
  app.command(cmdDone);
  EXPECT_EQ(app.fileBytes("db"), before);
}

TEST_F(StoreTest, AReadOnlyDatabaseNeverChanges) {
  image = fixture();
  image.header.readOnly = 1;
  path = app.writeDatabase("db", image);
  before = app.fileBytes("db");
  ASSERT_TRUE(app.open("db"));
  app.command(cmdDone);
  app.command(cmdEdit);
  EXPECT_EQ(app.db().screen, Screen::FormView);
  app.setText(Name, u"changed");
  app.setText(Qty, u"99");
  app.db().store.records.currentRecordHeader.flags |= modifiedFlag;
  EXPECT_EQ(commitRecord(app.db(), 1), err::ok);
  app.command(cmdNew);
  app.command(cmdDeleteRecord);
  app.command(cmdShowList);
  EXPECT_EQ(app.fileBytes("db"), before);
}

TEST_F(StoreTest, ReKeyingPlacesTheRecordAfterEveryEqualOrLowerKey) {
  openAndEdit(fixture(Name));
  const Position record = firstRecordOnDisk();
  app.setText(Name, u"pqr");
  app.command(cmdDone);
  auto bytes = app.fileBytes("db");
  auto chain = apptest::recordChain(bytes, stored.dataBase);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[1], record);
  EXPECT_EQ(app.db().store.records.currentEntry, 1);
  EXPECT_EQ(app.db().store.records.index[1].position, record);
  app.command(cmdShowList);
  EXPECT_NE(app.screen().find("pqr"), std::string::npos);
  EXPECT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, ReKeyingOntoAnEqualKeyGoesAfterIt) {
  openAndEdit(fixture(Name));
  const Position record = firstRecordOnDisk();
  app.setText(Name, u"MNO");
  app.command(cmdDone);
  auto chain = apptest::recordChain(app.fileBytes("db"), stored.dataBase);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[1], record);
}

TEST_F(StoreTest, WithoutASortOrderARecordKeepsItsPlace) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  app.setText(Name, u"zzz");
  app.command(cmdDone);
  EXPECT_EQ(apptest::recordChain(app.fileBytes("db"), stored.dataBase).at(0), record);
}

TEST_F(StoreTest, AConversionErrorKeepsWhatWasStoredAndTheEdit) {
  openAndEdit(fixture());
  const Position record = firstRecordOnDisk();
  app.setText(Price, u"3.5");
  app.setText(Qty, u"1.5");
  app.command(cmdDone);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Data conversion error"), std::string::npos);
  EXPECT_EQ(app.db().screen, Screen::Editing);
  auto entries = entriesOf(record);
  ASSERT_EQ(entries.size(), 7u);
  double price = 0;
  std::memcpy(&price, entries[2].payload.data(), 8);
  EXPECT_EQ(price, 3.5);
  // The edit is still pending: once mended, Done saves it.
  app.setText(Qty, u"1");
  app.command(cmdDone);
  EXPECT_EQ(app.db().screen, Screen::FormView);
  EXPECT_EQ(entriesOf(record)[1].payload[0], 1);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, AnUntouchedPickListKeepsATextThatMatchesNoChoice) {
  DatabaseImage database = fixture();
  database.records[0].values[5] = textValue(6, u"Garden");
  openAndEdit(database);
  const Position record = firstRecordOnDisk();
  app.setText(Name, u"abd");
  app.command(cmdDone);
  auto entries = entriesOf(record);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[5].payload[2], 'G');
}

TEST_F(StoreTest, RemovingAnEntryBehindAColumnNotOnTheFormKeepsTheChain) {
  DatabaseImage database = fixture();
  // fieldId 99 is on no item; it stands between Name and Qty.
  database.records[0].values.insert(database.records[0].values.begin() + 1, integerValue(99, 42));
  openAndEdit(database);
  const Position record = firstRecordOnDisk();
  app.setText(Qty, u"0");
  app.command(cmdDone);
  std::vector<std::uint16_t> ids;
  for (const auto& entry : entriesOf(record)) ids.push_back(entry.fieldId);
  EXPECT_EQ(ids, (std::vector<std::uint16_t>{1, 99, 3, 4, 5, 6, 7}));
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, AStoredTextWithSpareRoomIsNotRewrittenInPlace) {
  DatabaseImage database = fixture();
  // "ab", then a terminator and spare units: the entry is larger than "xy" needs.
  FieldValue roomy = textValue(1, u"ab");
  roomy.payload.text.count = 5;
  database.records[0].values[0] = roomy;
  openAndEdit(database);
  const Position record = firstRecordOnDisk();
  const Position old = entriesOf(record).at(0).position;
  app.setText(Name, u"xy");
  app.command(cmdDone);
  auto bytes = app.fileBytes("db");
  auto after = apptest::readStoredHeader(bytes, image);
  EXPECT_EQ(after.header.freeList, old);
  EXPECT_EQ(apptest::u32At(bytes, after.dataBase + old + 4), 2u * 5 + 10);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

TEST_F(StoreTest, AKeyWrittenBeforeAFailureStillPlacesTheRecord) {
  openAndEdit(fixture(Price));
  const Position record = firstRecordOnDisk();
  app.setText(Price, u"9.5");  // the key, visited before Qty
  app.setText(Qty, u"1.5");
  app.command(cmdDone);
  auto chain = apptest::recordChain(app.fileBytes("db"), stored.dataBase);
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(chain[2], record);
  EXPECT_EQ(app.db().store.records.index[2].position, record);
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

// What one failed write leaves behind must not outlive the edit: the
// DataHeader that a dropped edit could not write still reaches the file.
TEST_F(StoreTest, ADataHeaderThatFailedReachesTheFileEvenWhenTheEditIsDropped) {
  openAndEdit(fixture());
  app.setText(Qty, u"0");  // frees the 12-byte entry: the head of the free list
  app.command(cmdDone);
  app.command(cmdEdit);
  app.setText(Qty, u"9");  // takes that entry back: only the DataHeader says so
  platform::clearFileFaults();
  platform::failFileOperation(platform::FileOp::Write, 2);  // entry, RecordHeader, DataHeader
  app.command(cmdDone);
  ASSERT_EQ(platform::fileFaultsFired(), 1);
  ASSERT_NE(app.lastPrompt().find("Error writing data"), std::string::npos) << app.lastPrompt();
  platform::clearFileFaults();
  app.command(cmdCancel);
  SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
  platform::runPending();
  ASSERT_FALSE(IsWindow(app.mainWindow()));
  EXPECT_EQ(apptest::tsqCheck(app.fileBytes("db")), "sound");
}

// A commit that stops at a later item after the key was moved to a new
// entry (and the old one freed): the index names the entry the record now
// has, never the freed one.
TEST_F(StoreTest, AFailedCommitStillLeavesTheIndexNamingTheKeyItWrote) {
  DatabaseImage database;
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Qty"));
  database.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  database.items[1].row = 1;
  database.sortItem = 1;
  RecordImage record;
  record.values = {textValue(1, u"abc"), integerValue(2, 5)};
  database.records = {record};
  openAndEdit(database);
  app.setText(1, u"ab");   // visited first: a new entry, the old one freed
  app.setText(0, u"1.5");  // then this does not convert
  app.command(cmdDone);
  ASSERT_NE(app.lastPrompt().find("Data conversion error"), std::string::npos) << app.lastPrompt();
  const std::size_t prompts = app.prompts().size();
  app.command(cmdCancel);
  app.command(cmdShowList);
  EXPECT_EQ(app.prompts().size(), prompts) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::ListView);
  EXPECT_NE(app.screen().find("ab"), std::string::npos) << app.screen();
}

// A record whose loading stopped half-way leaves controls that show
// another record: a commit must not write them into it.
TEST_F(StoreTest, NoCommitBeforeARecordWasShownInFull) {
  DatabaseImage database = fixture();
  FieldValue unknown{};
  unknown.fieldId = 50;
  unknown.valueType = 3;  // no such type: loading stops here
  database.records[1].values.push_back(unknown);
  openAndEdit(database);
  app.command(cmdDone);
  Database& db = app.db();
  const std::vector<std::uint8_t> bytes = app.fileBytes("db");
  db.store.records.currentEntry = 1;
  db.store.records.currentRecord = db.store.records.index[1].position;
  ASSERT_NE(showRecord(db), err::ok);
  db.store.records.currentRecordHeader.flags |= modifiedFlag;
  EXPECT_EQ(commitRecord(db, 1), err::ok);
  EXPECT_EQ(app.fileBytes("db"), bytes);
}

// Outside Editing a picker only shows the record: a change that reaches it
// anyway is undone at once.
TEST_F(StoreTest, APickerChangedOutsideEditingShowsTheStoredValueAgain) {
  openAndEdit(fixture());
  app.command(cmdDone);
  ASSERT_EQ(app.db().screen, Screen::FormView);
  HWND picker = app.control(When);
  CallWindowProcW(app.db().ui.savedProcs.datePicker, picker, WM_KEYDOWN, VK_UP, 0);
  platform::runPending();
  SYSTEMTIME shown{};
  EXPECT_EQ(SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown)), GDT_VALID);
  EXPECT_EQ(shown.wYear, 2026);
  EXPECT_EQ(shown.wMonth, 1);
  EXPECT_EQ(shown.wDay, 10);
}

}  // namespace
