// The SmsButton: what the "Send SMS" dialog offers, what the database
// remembers of it and when it writes, what lands in the phone's SMS outbox,
// and a failing device or SMS service.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "tests/commands/answers.h"
#include "tests/commands/without_resource.h"
#include "tests/support/app_fixture.h"
#include "tests/support/tsq_fixture.h"

namespace fs = std::filesystem;
using apptest::App;
using commandtest::Answers;
using commandtest::itemText;
using commandtest::shows;
using platform::Key;

namespace {

enum Item { Name, Mobile, Note, Button };
constexpr int numberBox = res::smsNumberId;
constexpr int messageBox = res::messageEditId;

struct Contact {
  std::u16string name, mobile, note;
};

DatabaseImage contacts(const std::vector<Contact>& rows, const std::u16string& smsNumber = u"",
                       const std::u16string& smsMessage = u"") {
  DatabaseImage image;
  ItemImage mobile = tsqtest::valueItem(ItemKind::Field, ValueType::Text, 2, u"Mobile");
  mobile.numericInput = 1;
  ItemImage button;
  button.kind = static_cast<std::uint8_t>(ItemKind::SmsButton);
  button.caption = u"SMS";
  button.sms = SmsItems{Mobile, Note};
  image.items = {tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"), mobile,
                 tsqtest::valueItem(ItemKind::Field, ValueType::Text, 3, u"Note"), button};
  for (int i = 0; i < 4; ++i) image.items[i].row = i;
  for (const Contact& c : rows) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, c.name));
    if (!c.mobile.empty()) record.values.push_back(tsqtest::textValue(2, c.mobile));
    if (!c.note.empty()) record.values.push_back(tsqtest::textValue(3, c.note));
    image.records.push_back(record);
  }
  image.smsNumber = smsNumber;
  image.smsMessage = smsMessage;
  return image;
}

// What a remembered text's entry holds: it must be a standalone Text entry.
std::u16string storedText(const std::vector<std::uint8_t>& file, std::uint32_t dataBase, Position position) {
  if (position == noPosition) return u"<none>";
  const std::size_t at = dataBase + position;
  if (at + 10 > file.size()) return u"<outside>";
  if (apptest::u32At(file, static_cast<std::uint32_t>(at)) != noPosition || file[at + 4] != 0 || file[at + 5] != 0 ||
      file[at + 6] != 32 || file[at + 7] != 0)
    return u"<not a standalone Text entry>";
  const std::size_t count = file[at + 8] | (file[at + 9] << 8);
  std::u16string text;
  for (std::size_t i = 0; i + 1 < count && at + 10 + 2 * i + 1 < file.size(); ++i)
    text += static_cast<char16_t>(file[at + 10 + 2 * i] | (file[at + 11 + 2 * i] << 8));
  return text;
}

// Sets the dialog's boxes (a null text leaves a box as offered).
Answers::Act typeIn(const char16_t* number, const char16_t* message) {
  return [=](HWND dialog) {
    if (number != nullptr) SetDlgItemTextW(dialog, numberBox, number);
    if (message != nullptr) SetDlgItemTextW(dialog, messageBox, message);
  };
}

class Sms : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("TESSRA_SMS_COMMAND");
  }
  void TearDown() override { ::unsetenv("TESSRA_SMS_COMMAND"); }

  // Opens the database on the FormView of the record at row.
  void open(const DatabaseImage& database, int row = 0) {
    image = database;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    for (int i = 0; i < row; ++i) app.press(Key::Down);
    app.press(Key::Action);
    ASSERT_EQ(app.db().screen, Screen::FormView);
  }
  void pressButton() {
    SendMessageW(app.control(Button), BM_CLICK, 0, 0);
    platform::runPending();
  }
  // The remembered texts as the file holds them.
  std::pair<std::u16string, std::u16string> remembered() {
    const auto bytes = app.fileBytes("db");
    const auto stored = apptest::readStoredHeader(bytes, image);
    return {storedText(bytes, stored.dataBase, stored.header.smsNumberValue),
            storedText(bytes, stored.dataBase, stored.header.smsMessageValue)};
  }
  DataHeader header() { return apptest::readStoredHeader(app.fileBytes("db"), image).header; }
  std::vector<std::string> outbox() const {
    std::vector<std::string> messages;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(app.home() + "/device/sms/outbox", missing)) {
      const auto bytes = tsqtest::readFileBytes(entry.path().string());
      messages.emplace_back(bytes.begin(), bytes.end());
    }
    return messages;
  }
  std::string check() { return apptest::tsqCheck(app.fileBytes("db")); }

  App app;
  DatabaseImage image;
};

// ---- What the dialog offers ------------------------------------------------------

TEST(SmsOffer, TheItemsTextsOrWhatWasRememberedWhenTheRecordHasNone) {
  struct Case {
    const char* name;
    DatabaseImage image;
    std::u16string number, message;
  };
  const Case cases[] = {
      {"the record's", contacts({{u"Ann", u"0700 111", u"Running late"}}, u"0700 999", u"Old news"), u"0700 111",
       u"Running late"},
      {"remembered", contacts({{u"Ann", u"", u""}}, u"0700 999", u"Old news"), u"0700 999", u"Old news"},
      {"one of each", contacts({{u"Ann", u"", u"Running late"}}, u"0700 999", u""), u"0700 999", u"Running late"},
      {"a new database", contacts({{u"Ann", u"", u""}}), u"", u""},
      {"cut to 255", contacts({{u"Ann", std::u16string(258, u'1'), u""}}), std::u16string(255, u'1'), u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    App app;
    app.writeDatabase("db", c.image);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Action);
    const auto before = app.fileBytes("db");
    std::u16string number, message;
    Answers answers;
    answers.then(
        [&](HWND dialog) {
          number = itemText(dialog, numberBox);
          message = itemText(dialog, messageBox);
        },
        Key::SoftRight);
    SendMessageW(app.control(Button), BM_CLICK, 0, 0);
    platform::runPending();
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(message, c.message);
    // Cancelled: nothing stored, nothing sent, nothing said.
    EXPECT_TRUE(answers.allStepsTaken());
    EXPECT_EQ(answers.screens().size(), 1u);
    EXPECT_TRUE(shows(answers.screens().at(0), "Send SMS")) << answers.screens().at(0);
    EXPECT_EQ(app.fileBytes("db"), before);
    EXPECT_FALSE(fs::exists(app.home() + "/device/sms/outbox"));
  }
}

TEST_F(Sms, APendingEditIsSavedBeforeTheDialogOffersIt) {
  open(contacts({{u"Ann", u"0700 111", u""}}));
  app.command(cmdEdit);
  app.setText(Mobile, u"0700 222");
  app.command(cmdDone);
  std::u16string offered;
  Answers answers;
  answers.then([&](HWND dialog) { offered = itemText(dialog, numberBox); }, Key::SoftRight);
  pressButton();
  EXPECT_EQ(offered, u"0700 222");
}

// ---- Sending and remembering -------------------------------------------------------

TEST_F(Sms, TheSentMessageIsInTheOutboxAndTheUserIsTold) {
  open(contacts({{u"Ann", u"0700 111", u"Running late"}}));
  Answers answers;
  answers.then(typeIn(nullptr, u"Running late, sorry \u00e9"), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(outbox(), (std::vector<std::string>{"To: 0700 111\nDate: 2026-01-15 10:30:00\n\nRunning late, sorry \xc3\xa9"}));
  EXPECT_TRUE(shows(answers.lastScreen(), "SMS message sent")) << answers.lastScreen();
  EXPECT_EQ(answers.unanswered(), 1);
}

TEST_F(Sms, ConfirmingWhatIsRememberedWritesNothing) {
  open(contacts({{u"Ann", u"", u""}}, u"0700 999", u"On my way"));
  const auto before = app.fileBytes("db");
  platform::clearFileFaults();
  Answers answers;
  answers.press(Key::SoftLeft);
  pressButton();
  EXPECT_EQ(platform::fileOperationCount(platform::FileOp::Write), 0);
  EXPECT_EQ(app.fileBytes("db"), before);
  EXPECT_EQ(outbox().size(), 1u);
}

TEST_F(Sms, ANewNumberAndTextAreStoredAndSurviveReopening) {
  open(contacts({{u"Ann", u"0700 111", u"Running late"}, {u"Bob", u"", u""}}));
  Answers answers;
  answers.press(Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered(), std::make_pair(std::u16string(u"0700 111"), std::u16string(u"Running late")));
  EXPECT_EQ(check(), "sound");

  // Closed and opened again, Bob's empty fields offer what Ann's sent.
  app.press(Key::Back);
  app.press(Key::Back);
  ASSERT_EQ(app.db().screen, Screen::Catalogue);
  app.command(cmdOpen);
  app.press(Key::Down);
  app.press(Key::Action);
  ASSERT_EQ(app.text(Name), u"Bob");
  std::u16string number, message;
  answers.then(
      [&](HWND dialog) {
        number = itemText(dialog, numberBox);
        message = itemText(dialog, messageBox);
      },
      Key::SoftRight);
  pressButton();
  EXPECT_EQ(number, u"0700 111");
  EXPECT_EQ(message, u"Running late");
}

TEST_F(Sms, AChangedNumberReplacesTheRememberedOneWhoseRoomIsGivenBack) {
  open(contacts({{u"Ann", u"", u""}}, u"0700 999", u"On my way"));
  const DataHeader before = header();
  Answers answers;
  answers.then(typeIn(u"0800 555", nullptr), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered(), std::make_pair(std::u16string(u"0800 555"), std::u16string(u"On my way")));
  const DataHeader after = header();
  EXPECT_EQ(after.smsMessageValue, before.smsMessageValue);
  EXPECT_EQ(after.freeList, before.smsNumberValue);
  EXPECT_EQ(check(), "sound");
}

TEST_F(Sms, ClearingATextInTheDialogForgetsItAndGivesItsRoomBack) {
  open(contacts({{u"Ann", u"", u""}}, u"0700 999", u"On my way"));
  const DataHeader before = header();
  Answers answers;
  answers.then(typeIn(nullptr, u""), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered(), std::make_pair(std::u16string(u"0700 999"), std::u16string(u"<none>")));
  EXPECT_EQ(header().freeList, before.smsMessageValue);
  EXPECT_EQ(outbox(), (std::vector<std::string>{"To: 0700 999\nDate: 2026-01-15 10:30:00\n\n"}));
  EXPECT_EQ(check(), "sound");

  // A cleared number is forgotten too, and no message goes to no one.
  answers.then(typeIn(u"", nullptr), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered().first, u"<none>");
  EXPECT_EQ(header().freeList, before.smsNumberValue);
  EXPECT_EQ(outbox().size(), 1u);
  EXPECT_TRUE(shows(answers.lastScreen(), "Unable to send SMS message")) << answers.lastScreen();
  EXPECT_EQ(check(), "sound");
}

TEST_F(Sms, WhileEditingTheButtonSaysSoAndOpensNoDialog) {
  open(contacts({{u"Ann", u"0700 111", u""}}));
  app.command(cmdEdit);
  ASSERT_EQ(app.db().screen, Screen::Editing);
  Answers answers;
  pressButton();
  ASSERT_EQ(answers.screens().size(), 1u);
  EXPECT_TRUE(shows(answers.lastScreen(), "This cannot be done while editing a record")) << answers.lastScreen();
  EXPECT_FALSE(shows(answers.lastScreen(), "Send SMS"));
  EXPECT_TRUE(outbox().empty());
}

// ---- The SMS service and the dialog refusing -------------------------------------

TEST_F(Sms, TheSendingCommandGetsNumberAndTextAndOnlyItsSuccessSends) {
  open(contacts({{u"Ann", u"+44 7700 900123", u"See you at 8"}}));
  const std::string script = app.home() + "/send.sh";
  const std::string handed = app.home() + "/handed.txt";
  std::ofstream(script) << "#!/bin/sh\nprintf '%s|%s' \"$1\" \"$2\" > '" << handed << "'\nexit \"${SMS_EXIT:-0}\"\n";
  fs::permissions(script, fs::perms::owner_all);
  ::setenv("TESSRA_SMS_COMMAND", script.c_str(), 1);

  ::setenv("SMS_EXIT", "3", 1);
  Answers answers;
  answers.press(Key::SoftLeft);
  pressButton();
  ::unsetenv("SMS_EXIT");
  EXPECT_TRUE(shows(answers.lastScreen(), "Unable to send SMS message")) << answers.lastScreen();
  EXPECT_FALSE(shows(answers.lastScreen(), "SMS message sent"));
  EXPECT_TRUE(outbox().empty());
  const auto argumentBytes = tsqtest::readFileBytes(handed);
  EXPECT_EQ(std::string(argumentBytes.begin(), argumentBytes.end()), "+44 7700 900123|See you at 8");

  answers.press(Key::SoftLeft);
  pressButton();
  EXPECT_TRUE(shows(answers.lastScreen(), "SMS message sent")) << answers.lastScreen();
  EXPECT_EQ(outbox().size(), 1u);
}

// A dialog that cannot be set up (-1), or made at all, is no confirmation:
// a chargeable message must not go out unseen.
TEST_F(Sms, ADialogThatCannotBeSetUpOrMadeSendsAndStoresNothing) {
  open(contacts({{u"Ann", u"0700 111", u"Running late"}}));
  const auto before = app.fileBytes("db");
  Answers answers;
  for (unsigned omitted : {res::dialogBar, res::listDialog}) {
    SCOPED_TRACE(omitted);
    {
      commandtest::WithoutResource missing(omitted);
      pressButton();
    }
    EXPECT_TRUE(answers.screens().empty()) << answers.lastScreen();
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(app.fileBytes("db"), before);
  }
}

// ---- A failing device, a hostile file -----------------------------------------------

// Every write of remembering a new number failing in turn (a longer one,
// which cannot take the old one's room): the file never names a released
// entry, a failed DataHeader write is reported and sends nothing, and
// anything else sends the message.
TEST(SmsWriteFaults, TheFileNeverNamesAReleasedEntryAndAFailedHeaderWriteIsReported) {
  const DatabaseImage image = contacts({{u"Ann", u"", u""}}, u"0700 999", u"On my way");
  bool reported = false;
  for (int skip = 0;; ++skip) {
    SCOPED_TRACE(skip);
    App app;
    app.writeDatabase("db", image);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Action);
    Answers answers;
    answers.then(typeIn(u"0800 555 123", nullptr), Key::SoftLeft);
    platform::clearFileFaults();
    platform::failFileOperation(platform::FileOp::Write, skip);
    SendMessageW(app.control(Button), BM_CLICK, 0, 0);
    platform::runPending();
    const bool fired = platform::fileFaultsFired() != 0;
    platform::clearFileFaults();

    const auto bytes = app.fileBytes("db");
    EXPECT_EQ(apptest::tsqCheck(bytes), "sound");
    const auto stored = apptest::readStoredHeader(bytes, image);
    const std::u16string number = storedText(bytes, stored.dataBase, stored.header.smsNumberValue);
    EXPECT_TRUE(number == u"0700 999" || number == u"0800 555 123" || number == u"<none>") << platform::toUtf8(number);
    EXPECT_EQ(storedText(bytes, stored.dataBase, stored.header.smsMessageValue), u"On my way");
    const bool sent = fs::exists(app.home() + "/device/sms/outbox") && !fs::is_empty(app.home() + "/device/sms/outbox");
    if (shows(answers.lastScreen(), "Error writing data")) {
      reported = true;
      EXPECT_FALSE(sent);
    } else {
      EXPECT_TRUE(shows(answers.lastScreen(), "SMS message sent")) << answers.lastScreen();
      EXPECT_TRUE(sent);
    }
    // The next use reads what the file remembers (no "Internal error").
    std::u16string offered;
    answers.then([&](HWND dialog) { offered = itemText(dialog, numberBox); }, Key::SoftRight);
    SendMessageW(app.control(Button), BM_CLICK, 0, 0);
    platform::runPending();
    EXPECT_TRUE(offered == u"0700 999" || offered == u"0800 555 123" || offered == u"") << platform::toUtf8(offered);
    if (!fired) {
      EXPECT_EQ(number, u"0800 555 123");
      break;
    }
    ASSERT_LT(skip, 50);
  }
  EXPECT_TRUE(reported);
}

TEST(SmsHostileFile, RememberedTextsThatAreNoTextsAreRefused) {
  struct Case {
    const char* name;
    int field;         // byte offset in the DataHeader to patch, or in the entry (from 100)
    std::uint32_t value;
    const char* message;
  };
  const Case cases[] = {
      {"an Integer entry", 106, 2, "Internal error"},
      {"inside the DataHeader", 20, 4, "Error reading data"},
      {"past the end", 20, 0x7FFFFF00, "Error reading data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DatabaseImage image = contacts({{u"Ann", u"", u""}}, u"0700 999");
    auto bytes = encodeDatabase(image);
    const auto stored = apptest::readStoredHeader(bytes, image);
    if (c.field >= 100)
      bytes[stored.dataBase + stored.header.smsNumberValue + (c.field - 100)] = static_cast<std::uint8_t>(c.value);
    else
      for (int i = 0; i < 4; ++i) bytes[stored.dataBase + c.field + i] = static_cast<std::uint8_t>(c.value >> (8 * i));
    App app;
    tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
    ASSERT_TRUE(app.open("db"));
    app.press(Key::Action);
    Answers answers;
    SendMessageW(app.control(Button), BM_CLICK, 0, 0);
    platform::runPending();
    ASSERT_EQ(answers.screens().size(), 1u);
    EXPECT_TRUE(shows(answers.lastScreen(), c.message)) << answers.lastScreen();
  }
}

// Both texts naming one entry: changing one of them must not give back the
// room the other still names.
TEST_F(Sms, AnEntryBothTextsNameIsGivenBackOnlyWhenNeitherNamesIt) {
  image = contacts({{u"Ann", u"", u""}}, u"0700 999");
  auto bytes = encodeDatabase(image);
  const auto stored = apptest::readStoredHeader(bytes, image);
  for (int i = 0; i < 4; ++i)
    bytes[stored.dataBase + 24 + i] = static_cast<std::uint8_t>(stored.header.smsNumberValue >> (8 * i));
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  ASSERT_TRUE(app.open("db"));
  app.press(Key::Action);
  Answers answers;
  answers.then(typeIn(u"0800 555", nullptr), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered(), std::make_pair(std::u16string(u"0800 555"), std::u16string(u"0700 999")));
  EXPECT_EQ(check(), "sound");

  answers.then(typeIn(nullptr, u"On my way"), Key::SoftLeft);
  pressButton();
  EXPECT_EQ(remembered(), std::make_pair(std::u16string(u"0800 555"), std::u16string(u"On my way")));
  EXPECT_EQ(header().freeList, stored.header.smsNumberValue);
  EXPECT_EQ(check(), "sound");
}

}  // namespace
