// The Catalogue: listing, opening with its failures, importing a file named
// on the command line, deleting.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text.h"
#include "resources/ids.h"
#include "storage/paths.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

using apptest::App;
using platform::Key;

namespace {

DatabaseImage names(std::initializer_list<const char16_t*> keys) {
  DatabaseImage image;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  image.sortItem = 0;
  for (const char16_t* key : keys) {
    RecordImage record;
    record.values = {tsqtest::textValue(1, key)};
    image.records.push_back(record);
  }
  return image;
}

std::vector<std::u16string> catalogueRows(App& app) {
  std::vector<std::u16string> rows;
  HWND list = app.db().ui.listBox;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    WCHAR text[MAX_PATH] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

TEST(Catalogue, ListsTsqFilesByNameWithoutTheirLastExtension) {
  App app;
  app.writeDatabase("beta", names({u"b"}));
  app.writeDatabase("Alpha", names({u"a"}));
  app.writeDatabase("v1.2", names({u"c"}));
  tsqtest::writeFileBytes(app.home() + "/notes.txt", {1, 2, 3});
  ASSERT_TRUE(app.start());
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
  EXPECT_EQ(catalogueRows(app), (std::vector<std::u16string>{u"Alpha", u"beta", u"v1.2"}));
  EXPECT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0), 0);
}

TEST(Catalogue, ReturningSelectsTheDatabaseThatWasOpen) {
  App app;
  app.writeDatabase("a", names({u"x"}));
  app.writeDatabase("b", names({u"y"}));
  ASSERT_TRUE(app.start());
  app.press(Key::Down);
  app.command(cmdOpen);
  ASSERT_EQ(app.db().screen, Screen::ListView);
  app.press(Key::Back);
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
  EXPECT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0), 1);
}

// A second record whose key cannot be read: opening succeeds, listing fails.
TEST(Catalogue, AListThatCannotBeFilledBringsTheCatalogueBackWhole) {
  App app;
  DatabaseImage image = names({u"first", u"second"});
  std::string path = app.writeDatabase("broken", image);
  app.writeDatabase("other", names({u"z"}));
  std::vector<std::uint8_t> bytes = tsqtest::readFileBytes(path);
  // The second record's key entry: its count (after the first record's
  // header and entry and the second header) is set beyond any text.
  auto stored = apptest::readStoredHeader(bytes, image);
  auto chain = apptest::recordChain(bytes, stored.dataBase);
  ASSERT_EQ(chain.size(), 2u);
  auto entries = apptest::recordEntries(bytes, stored.dataBase, chain[1]);
  ASSERT_EQ(entries.size(), 1u);
  bytes[stored.dataBase + entries[0].position + 8] = 0x2C;
  bytes[stored.dataBase + entries[0].position + 9] = 0x01;
  tsqtest::writeFileBytes(path, bytes);

  ASSERT_TRUE(app.start());
  app.command(cmdOpen);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos);
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
  EXPECT_FALSE(app.db().isOpen);
  EXPECT_EQ(catalogueRows(app), (std::vector<std::u16string>{u"broken", u"other"}));
  EXPECT_TRUE(IsWindowVisible(app.db().ui.listBox));
  EXPECT_TRUE(IsWindowVisible(app.db().ui.catalogueBar));
  // The file is not held: it can be opened again.
  tsqtest::FileHandle again(path);
  EXPECT_NE(again.get(), INVALID_HANDLE_VALUE);
}

TEST(Catalogue, DeletingAfterConfirmationRemovesFileAndEntry) {
  App app;
  std::string a = app.writeDatabase("a", names({u"x"}));
  app.writeDatabase("b", names({u"y"}));
  ASSERT_TRUE(app.start());
  app.command(cmdDeleteDatabase);  // OK answers the question
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_EQ(catalogueRows(app), (std::vector<std::u16string>{u"b"}));
  EXPECT_EQ(SendMessageW(app.db().ui.listBox, LB_GETCURSEL, 0, 0), 0);
}

TEST(Catalogue, DeclinedDeletionKeepsEverything) {
  App app;
  std::string a = app.writeDatabase("a", names({u"x"}));
  ASSERT_TRUE(app.start());
  app.queueKey(Key::SoftRight);  // Cancel
  app.command(cmdDeleteDatabase);
  EXPECT_TRUE(app.prompts().empty());
  EXPECT_TRUE(std::filesystem::exists(a));
  EXPECT_EQ(catalogueRows(app).size(), 1u);
}

TEST(Catalogue, AFileThatCannotBeDeletedKeepsItsEntry) {
  App app;
  std::string a = app.writeDatabase("a", names({u"x"}));
  ASSERT_TRUE(app.start());
  tsqtest::FileHandle held(a);  // another holder of the file
  ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
  app.queueKey(Key::Action);  // OK to delete
  app.command(cmdDeleteDatabase);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Error writing data"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(a));
  EXPECT_EQ(catalogueRows(app).size(), 1u);
}

struct ImportCase {
  const char* name;
  bool targetExists;
  std::vector<Key> answers;  // to the overwrite question, then to "use existing"
  bool starts;
  const char16_t* shownKey;  // the key of the database shown, if it starts
};

class Import : public ::testing::TestWithParam<ImportCase> {};

TEST_P(Import, AskOnlyWhenTheNameIsTaken) {
  const ImportCase& c = GetParam();
  App app;
  std::string outside = tsqtest::uniqueTempPath();
  tsqtest::writeFileBytes(outside, encodeDatabase(names({u"incoming"})));
  std::string target = app.home() + "/" + std::filesystem::path(outside).filename().string();
  if (c.targetExists) tsqtest::writeFileBytes(target, encodeDatabase(names({u"existing"})));
  for (Key key : c.answers) app.queueKey(key);
  EXPECT_EQ(app.start(platform::fromUtf8(outside)), c.starts);
  if (c.starts) {
    EXPECT_EQ(app.db().screen, Screen::ListView);
    WCHAR row[64] = {};
    SendMessageW(app.db().ui.listBox, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(row));
    EXPECT_EQ(std::u16string(row), c.shownKey);
  }
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  std::filesystem::remove(outside);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, Import,
    ::testing::Values(ImportCase{"NewName", false, {}, true, u"incoming"},
                      ImportCase{"Overwrite", true, {Key::SoftLeft}, true, u"incoming"},
                      ImportCase{"UseExisting", true, {Key::SoftRight, Key::SoftLeft}, true, u"existing"},
                      ImportCase{"Decline", true, {Key::SoftRight, Key::SoftRight}, false, nullptr}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Catalogue, AMissingFileOnTheCommandLineIsAReadErrorWithoutQuestions) {
  App app;
  EXPECT_FALSE(app.start(u"/nonexistent/folder/missing.tsq"));
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Error reading data"), std::string::npos);
}

TEST(Catalogue, AFileAlreadyInTheProgramFolderIsOpenedInPlace) {
  App app;
  app.writeDatabase("here", names({u"kept"}));
  auto before = app.fileBytes("here");
  ASSERT_TRUE(app.open("here"));
  EXPECT_TRUE(app.prompts().empty());
  EXPECT_EQ(app.fileBytes("here"), before);
  EXPECT_EQ(app.db().screen, Screen::ListView);
}

TEST(Catalogue, PathsBeyondTheirRoomAreRefused) {
  App app;
  ASSERT_TRUE(app.start());
  std::u16string longName(300, u'x');
  WCHAR path[room::filePath] = {};
  EXPECT_FALSE(databasePath(longName.c_str(), path));
}

}  // namespace

namespace {

// Two records; the second's value behind its key has a ValueType no
// reader knows, so that record cannot be shown.
std::string unreadableSecondRecord(App& app) {
  DatabaseImage image = names({u"first", u"second"});
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Count"));
  image.records[1].values.push_back(tsqtest::integerValue(2, 7));
  std::string path = app.writeDatabase("shaky", image);
  std::vector<std::uint8_t> bytes = tsqtest::readFileBytes(path);
  auto stored = apptest::readStoredHeader(bytes, image);
  auto chain = apptest::recordChain(bytes, stored.dataBase);
  auto entries = apptest::recordEntries(bytes, stored.dataBase, chain.at(1));
  bytes[stored.dataBase + entries.at(1).position + 6] = 3;  // no such ValueType
  tsqtest::writeFileBytes(path, bytes);
  return path;
}

TEST(Catalogue, BackFromTheListNeverLoadsTheSelectedRecord) {
  App app;
  unreadableSecondRecord(app);
  ASSERT_TRUE(app.start());
  app.command(cmdOpen);
  ASSERT_EQ(app.db().screen, Screen::ListView);
  app.press(Key::Down);
  app.press(Key::Back);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::Catalogue);
}

TEST(Catalogue, ARecordThatCannotBeShownReportsAndTheListStays) {
  App app;
  unreadableSecondRecord(app);
  ASSERT_TRUE(app.start());
  app.command(cmdOpen);
  app.press(Key::Down);
  app.press(Key::Action);
  ASSERT_EQ(app.prompts().size(), 1u);
  EXPECT_NE(app.lastPrompt().find("Internal error"), std::string::npos);
  EXPECT_EQ(app.db().screen, Screen::ListView);
  // Closing from here closes without loading it again.
  SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
  platform::runPending();
  EXPECT_EQ(app.prompts().size(), 1u);
  EXPECT_FALSE(IsWindow(app.mainWindow()));
}

}  // namespace

namespace {

// Positions and widths far outside any screen are shown off the screen,
// without any arithmetic overflowing on the way.
TEST(Catalogue, ExtremeLayoutPositionsOpen) {
  App app;
  DatabaseImage image = names({u"far"});
  image.items[0].left = 0x7FFFFFF0;
  image.items[0].width = -1;
  ItemImage wide = tsqtest::valueItem(ItemKind::Field, ValueType::Integer, 2, u"Wide");
  wide.left = -0x7FFFFFFF;
  wide.width = 0x7FFFFFFF;
  wide.row = -0x7FFFFFFF;
  image.items.push_back(wide);
  app.writeDatabase("far", image);
  ASSERT_TRUE(app.start());
  app.command(cmdOpen);
  EXPECT_TRUE(app.prompts().empty()) << app.lastPrompt();
  EXPECT_EQ(app.db().screen, Screen::ListView);
  app.press(Key::Action);
  app.press(Key::Down);
  EXPECT_EQ(app.db().screen, Screen::FormView);
}

}  // namespace
