// Opening databases whose DataHeader or record chain does not add up, and
// paths that do not fit: each opens with what it truly holds or is refused
// with its message, never read past what is there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "resources/ids.h"
#include "storage/bytes.h"
#include "views/opening.h"
#include "views/form.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;

namespace {

using Bytes = std::vector<std::uint8_t>;

DatabaseImage names(const std::vector<std::u16string>& rows, std::uint32_t sortItem = noItem) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.sortItem = sortItem;
  for (const auto& name : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, name));
    image.records.push_back(record);
  }
  return image;
}

std::uint32_t dataBaseOf(const DatabaseImage& image) {
  DatabaseImage empty = image;
  empty.records.clear();
  return static_cast<std::uint32_t>(encodeDatabase(empty).size()) - dataHeaderSize;
}

// The rows the ListView shows.
std::vector<std::u16string> listedRows(App& app) {
  std::vector<std::u16string> rows;
  const LRESULT count = SendMessageW(app.db().ui.listBox, LB_GETCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    WCHAR text[300] = {};
    SendMessageW(app.db().ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

struct CountCase {
  const char* name;
  std::uint32_t recordCount;  // stored over the chain's three records
  bool opens;
};

class RecordCounts : public ::testing::TestWithParam<CountCase> {};

TEST_P(RecordCounts, OpenWithTheChainTheyHoldOrAreRefused) {
  App app;
  const DatabaseImage image = names({u"a", u"b", u"c"});
  Bytes bytes = encodeDatabase(image);
  storeU32(bytes.data() + dataBaseOf(image), GetParam().recordCount);
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  EXPECT_EQ(app.open("db"), GetParam().opens) << app.lastPrompt();
  if (GetParam().opens) {
    EXPECT_EQ(app.db().store.file.header.recordCount, 3u);
    EXPECT_EQ(listedRows(app), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  } else {
    EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
  }
}

INSTANTIATE_TEST_SUITE_P(Open, RecordCounts,
                         ::testing::Values(
                             // An interrupted delete can leave the chain shorter than its count.
                             CountCase{"ChainShorterThanItsCount", 5, true},
                             // Every record takes 12 bytes at least: no index is allocated for these.
                             CountCase{"MoreRecordsThanTheDataAreaHolds", 0x7FFFFFFF, false},
                             CountCase{"AllOnes", 0xFFFFFFFE, false}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Open, ASortItemOutsideTheLayoutCountsAsNone) {
  App app;
  const DatabaseImage image = names({u"m", u"c"}, 50);
  app.writeDatabase("db", image);
  ASSERT_TRUE(app.open("db"));
  EXPECT_EQ(app.db().store.file.header.sortItem, noItem);
  EXPECT_EQ(listedRows(app), (std::vector<std::u16string>{u"m", u"c"}));
  // A new record is placed as without a sort order: at the end.
  app.command(cmdDone);
  app.command(cmdEdit);
  Database& db = app.db();
  db.store.records.currentEntry = -1;
  db.store.records.currentRecord = noPosition;
  db.store.records.currentRecordHeader = RecordHeader{};
  ASSERT_EQ(showRecord(db), err::ok);  // the empty record, as New shows it
  app.setText(0, u"a");
  db.store.records.currentRecordHeader.flags |= modifiedFlag;
  ASSERT_EQ(app.prompts().size(), 0u);
  app.command(cmdDone);
  EXPECT_EQ(app.prompts().size(), 0u) << app.lastPrompt();
  const Bytes bytes = app.fileBytes("db");
  const auto chain = apptest::recordChain(bytes, dataBaseOf(image));
  ASSERT_EQ(chain.size(), 3u);
  EXPECT_EQ(apptest::recordEntries(bytes, dataBaseOf(image), chain[2]).at(0).payload.at(2), 'a');
}

// N records whose chains all start at one shared chain of N entries that
// match no item: every record's key walk crosses the whole chain, so the
// walks together would cost N * N steps. Opening has one budget for all.
TEST(Open, RecordsSharingOneLongChainAreRefusedWithoutWalkingItOverAndOver) {
  constexpr std::uint32_t n = 3000;
  const DatabaseImage layout = names({});
  Bytes bytes = encodeDatabase(layout);
  const std::uint32_t dataBase = dataBaseOf(layout);
  const Position entries = dataHeaderSize;
  const Position records = entries + n * 12;
  bytes.resize(dataBase + records + n * recordHeaderSize);
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint8_t* entry = bytes.data() + dataBase + entries + i * 12;
    storeU32(entry, i + 1 < n ? entries + (i + 1) * 12 : noPosition);
    storeU16(entry + 4, 99);
    entry[6] = static_cast<std::uint8_t>(ValueType::Integer);
    entry[7] = 0;
    storeU32(entry + 8, i + 1);
    std::uint8_t* record = bytes.data() + dataBase + records + i * recordHeaderSize;
    storeU32(record, entries);
    storeU32(record + 4, i + 1 < n ? records + (i + 1) * recordHeaderSize : noPosition);
    storeU32(record + 8, 0);
  }
  storeU32(bytes.data() + dataBase, n);
  storeU32(bytes.data() + dataBase + 8, records);

  App app;
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  EXPECT_FALSE(app.open("db"));
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
}

TEST(Open, AFilePathOverItsRoomIsRefused) {
  App app;
  const std::string path = app.writeDatabase(std::string(250, 'n'), names({u"a"}));
  ASSERT_GT(path.size(), static_cast<std::size_t>(room::filePath));
  ASSERT_TRUE(app.start());
  EXPECT_EQ(openDatabase(app.mainWindow(), app.db(), platform::fromUtf8(path).c_str()), err::readData);
  EXPECT_EQ(app.db().isOpen, 0u);
}

TEST(Open, ACommandLineOverItsRoomShowsItsMessageAndNoWindow) {
  App app;
  EXPECT_FALSE(app.start(u"/tmp/" + std::u16string(300, u'p') + u".tsq"));
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
}

TEST(Open, ACatalogueEntryWhosePathWouldNotFitIsRefusedAndTheCatalogueStays) {
  App app;
  // A name as long as the file system allows, beyond the room of a path
  // in the program folder.
  const std::string name(250, 'n');
  app.writeDatabase(name, names({u"a"}));
  ASSERT_TRUE(app.start());
  ASSERT_EQ(app.db().screen, Screen::Catalogue);
  ASSERT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCOUNT, 0, 0), 1);
  app.command(cmdOpen);
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
  EXPECT_EQ(app.db().isOpen, 0u);
}

}  // namespace
