// E-mailing a database from the Catalogue: the services the dialog offers,
// the message a mail program then reads from the chosen store's Outbox with
// the file (or its export copy) attached, and every failure on the way
// giving back what it obtained and leaving no temporary copy.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cemapi/cemapi_testing.h"
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
using commandtest::shows;
using platform::Key;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char servicesKey[] = "registry/HKEY_LOCAL_MACHINE/Software/Microsoft/Inbox/SyncServiceProviders";

DatabaseImage contacts(const std::u16string& headerText) {
  DatabaseImage image;
  image.header.headerText = headerText;
  image.header.reserved4 = 9;
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  for (const char16_t* name : {u"Ann", u"Bob", u"Cy"}) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, name));
    image.records.push_back(record);
  }
  return image;
}

// What Python's email package reads from a message file: header=value
// lines, the text part after "body=", and the attachment's bytes written
// to a file of their own.
std::map<std::string, std::string> parseWithPython(const std::string& message, const std::string& attachmentOut) {
  static const char script[] = R"(
import sys, email
from email import policy
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=policy.default)
print('to=' + str(m['To']))
print('subject=' + str(m['Subject']))
print('type=' + m.get_content_type())
print('defects=' + str(len(m.defects)))
parts = list(m.iter_parts())
print('parts=' + str(len(parts)))
data = parts[-1]
print('filename=' + str(data.get_filename()))
print('data.type=' + data.get_content_type())
with open(sys.argv[2], 'wb') as out:
    out.write(data.get_payload(decode=True))
print('body=' + parts[0].get_content().replace('\n', '\\n'))
)";
  const std::string scriptFile = attachmentOut + ".py";
  std::ofstream(scriptFile) << script;
  const std::string command = "python3 '" + scriptFile + "' '" + message + "' '" + attachmentOut + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {{"error", "python3 did not start"}};
  std::map<std::string, std::string> fields;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const auto equals = text.find('=');
    if (equals == std::string::npos)
      fields["error"] += text + "\n";
    else
      fields[text.substr(0, equals)] = text.substr(equals + 1);
  }
  fields["status"] = std::to_string(::pclose(pipe));
  return fields;
}

// What the Email dialog showed.
struct Shown {
  std::vector<std::u16string> services;
  LRESULT selected = LB_ERR;
  std::u16string recipients, subject, body;
};

class Email : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(mapi.valid());
    platform::resetComCounts();
  }
  void TearDown() override {
    platform::setLibraryFolder("");
    platform::clearFileFaults();
  }

  // The database "Contacts" in the program folder, the Catalogue shown.
  void start(const DatabaseImage& database) {
    image = database;
    app.writeDatabase("Contacts", image);
    ASSERT_TRUE(app.start());
    ASSERT_EQ(app.db().screen, Screen::Catalogue);
  }
  std::string device(const std::string& relative = "") const { return app.home() + "/device/" + relative; }
  void makeFolders(const std::string& relative) const { fs::create_directories(device(relative)); }
  void makeStore(const std::string& name) const {
    for (const char* sub : {"tmp", "new", "cur"}) makeFolders("mail/" + name + "/Outbox/" + sub);
  }
  std::vector<std::string> outbox(const std::string& store = "ActiveSync") const {
    std::vector<std::string> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(device("mail/" + store + "/Outbox/new"), missing))
      files.push_back(entry.path().string());
    return files;
  }
  bool temporaryCopyLeft() const { return fs::exists(device("Tessra.tmp")); }

  // Answers the Email dialog: act (which may fill it in), then key.
  void email(const Answers::Act& act, Key key = Key::SoftLeft) {
    answers.then(act, key);
    app.command(cmdEmail);
  }
  static Answers::Act fillIn(const char16_t* recipients, const char16_t* body = u"Here it is") {
    return [=](HWND dialog) {
      SetDlgItemTextW(dialog, res::emailRecipientsId, recipients);
      SetDlgItemTextW(dialog, res::messageEditId, body);
    };
  }
  static Answers::Act look(Shown& shown) {
    return [&shown](HWND dialog) {
      HWND list = GetDlgItem(dialog, res::emailServiceId);
      const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
      for (LRESULT row = 0; row < count; ++row) {
        WCHAR text[256] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
        shown.services.emplace_back(text);
      }
      shown.selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
      shown.recipients = commandtest::itemText(dialog, res::emailRecipientsId);
      shown.subject = commandtest::itemText(dialog, res::emailSubjectId);
      shown.body = commandtest::itemText(dialog, res::messageEditId);
    };
  }

  void expectEverythingGivenBack() {
    EXPECT_EQ(mapi.liveObjects(), 0);
    EXPECT_EQ(mapi.liveBuffers(), 0);
    EXPECT_EQ(mapi.initializeDepth(), 0);
    EXPECT_EQ(mapi.badFrees(), 0u);
    EXPECT_EQ(platform::comInitializeDepth(), 0);
    EXPECT_EQ(platform::comUnbalancedUninitializeCount(), 0);
    EXPECT_EQ(platform::loadedLibraryReferences(), 1);  // the test's own
    EXPECT_EQ(platform::openRegistryKeyCount(), 0);
  }

  cemapi::TestLibrary mapi;
  App app;
  Answers answers;
  DatabaseImage image;
};

// ---- The dialog ------------------------------------------------------------------

TEST_F(Email, TheServicesAreTheRegistrysSubkeysAndActiveSyncUnlessOneIsNamedSo) {
  struct Case {
    const char* name;
    std::vector<std::string> subkeys;  // none: no key at all
    bool key;
    std::vector<std::u16string> services;
  };
  const Case cases[] = {
      {"no key", {}, false, {u"ActiveSync"}},
      {"an empty key", {}, true, {u"ActiveSync"}},
      {"other services", {"Work", "Home"}, true, {u"Home", u"Work", u"ActiveSync"}},
      {"activesync in other case", {"Zeta", "activesync", "Alpha"}, true, {u"Alpha", u"Zeta", u"activesync"}},
  };
  start(contacts(u""));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(device("registry"));
    if (c.key) makeFolders(servicesKey);
    for (const std::string& subkey : c.subkeys) makeFolders(std::string(servicesKey) + "/" + subkey);
    Shown shown;
    email(look(shown), Key::SoftRight);
    EXPECT_EQ(shown.services, c.services);
    EXPECT_EQ(shown.selected, 0);
    EXPECT_EQ(platform::openRegistryKeyCount(), 0);
  }
}

TEST_F(Email, TheDialogOffersTheDatabaseNameAsSubjectAndACancelSendsNothing) {
  start(contacts(u"Contacts: names and numbers"));
  Shown shown;
  email(look(shown), Key::SoftRight);
  EXPECT_EQ(shown.subject, u"Contacts");
  EXPECT_EQ(shown.recipients, u"");
  EXPECT_EQ(shown.body, u"");
  EXPECT_EQ(answers.screens().size(), 1u);  // the dialog, no message after it
  EXPECT_TRUE(shows(answers.lastScreen(), "Service:")) << answers.lastScreen();
  EXPECT_TRUE(outbox().empty());
  EXPECT_FALSE(temporaryCopyLeft());
  EXPECT_EQ(mapi.callCount(), 0u);
}

// Only a confirmation sends: neither a dialog that could not be set up (0)
// nor one that could not be made at all (-1).
TEST_F(Email, ADialogThatCannotBeSetUpOrMadeSendsNothing) {
  start(contacts(u""));
  for (unsigned omitted : {res::dialogBar, res::emailDialog}) {
    SCOPED_TRACE(omitted);
    {
      commandtest::WithoutResource missing(omitted);
      app.command(cmdEmail);
    }
    EXPECT_TRUE(answers.screens().empty()) << answers.lastScreen();
    EXPECT_EQ(mapi.callCount(), 0u);
    EXPECT_TRUE(outbox().empty());
  }
}

TEST(EmailWithout, ADatabaseInTheCatalogueDoesNothing) {
  App app;
  ASSERT_TRUE(app.start());
  Answers answers;
  app.command(cmdEmail);
  EXPECT_TRUE(answers.screens().empty()) << answers.lastScreen();
}

// ---- Sending ---------------------------------------------------------------------

// The file itself when its header text is empty, else its export copy,
// attached under the database's own name; the copy is gone afterwards.
TEST_F(Email, TheOutboxMessageIsOneAMailProgramReadsWithTheFileAttachedByteForByte) {
  for (const std::u16string& headerText : {std::u16string(), std::u16string(u"Contacts: names and numbers")}) {
    SCOPED_TRACE(platform::toUtf8(headerText));
    fs::remove_all(device("mail"));
    App fresh;
    fresh.writeDatabase("Contacts", contacts(headerText));
    ASSERT_TRUE(fresh.start());
    const Bytes before = fresh.fileBytes("Contacts");
    Answers replies;
    replies.then(fillIn(u"ann@example.com;bob@example.org", u"Here it is,\nwith love"), Key::SoftLeft);
    fresh.command(cmdEmail);
    EXPECT_TRUE(shows(replies.lastScreen(), "The database is now in your Outbox")) << replies.lastScreen();
    EXPECT_FALSE(fs::exists(fresh.home() + "/device/Tessra.tmp"));
    EXPECT_EQ(fresh.fileBytes("Contacts"), before);

    std::vector<std::string> messages;
    for (const auto& entry : fs::directory_iterator(fresh.home() + "/device/mail/ActiveSync/Outbox/new"))
      messages.push_back(entry.path().string());
    ASSERT_EQ(messages.size(), 1u);
    const std::string attachment = fresh.home() + "/attachment.out";
    auto fields = parseWithPython(messages[0], attachment);
    EXPECT_EQ(fields["status"], "0") << fields["error"];
    EXPECT_EQ(fields["to"], "ann@example.com, bob@example.org");
    EXPECT_EQ(fields["subject"], "Contacts");
    EXPECT_EQ(fields["type"], "multipart/mixed");
    EXPECT_EQ(fields["defects"], "0");
    EXPECT_EQ(fields["parts"], "2");
    EXPECT_EQ(fields["body"], "Here it is,\\nwith love");
    EXPECT_EQ(fields["filename"], "Contacts.tsq");
    EXPECT_EQ(fields["data.type"], "application/octet-stream");
    DatabaseImage attached = contacts(u"");
    if (!headerText.empty()) attached.header.reserved4 = 0;
    EXPECT_EQ(tsqtest::readFileBytes(attachment), headerText.empty() ? before : encodeDatabase(attached));
    expectEverythingGivenBack();
  }
}

// Recipients are the parts between ';' as they stand: the address list
// holds one entry (one buffer) per part, empty ones included, and the
// message names those with an address.
TEST_F(Email, RecipientsAreSplitAtEverySemicolon) {
  struct Case {
    const char16_t* recipients;
    ULONG entries;
    std::string to;  // "" when the store refuses a message without an address
  };
  const Case cases[] = {
      {u"a@x.org;b@y.org", 2, "a@x.org, b@y.org"},
      {u"a@x.org;", 2, "a@x.org"},
      {u"a@x.org; b@y.org", 2, "a@x.org, b@y.org"},
      {u";a@x.org;;", 4, "a@x.org"},
      {u"", 1, ""},
  };
  start(contacts(u""));
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.recipients));
    fs::remove_all(device("mail"));
    mapi.reset();
    email(fillIn(c.recipients));
    // The list, then one array of three values per entry.
    EXPECT_EQ(mapi.callCount("MAPIAllocateBuffer"), 1 + c.entries);
    if (c.to.empty()) {
      EXPECT_TRUE(shows(answers.lastScreen(), "Unable to email database")) << answers.lastScreen();
      EXPECT_TRUE(outbox().empty());
      continue;
    }
    const auto messages = outbox();
    ASSERT_EQ(messages.size(), 1u);
    auto fields = parseWithPython(messages[0], app.home() + "/attachment.out");
    EXPECT_EQ(fields["to"], c.to) << fields["error"];
  }
  expectEverythingGivenBack();
}

TEST_F(Email, TheChosenServicesStoreGetsTheMessageAndAnUnknownOneTheDefaultStore) {
  makeFolders(std::string(servicesKey) + "/Nowhere");
  makeFolders(std::string(servicesKey) + "/Work");
  makeStore("Work");
  start(contacts(u""));
  // The spinner steps the service line: Nowhere, Work, ActiveSync.
  answers.then(fillIn(u"ann@example.com"), Key::Right);
  email(nullptr);
  EXPECT_EQ(outbox("Work").size(), 1u);
  EXPECT_TRUE(outbox().empty());

  email(fillIn(u"ann@example.com"));  // Nowhere: no store of that name
  EXPECT_EQ(outbox().size(), 1u);
  EXPECT_EQ(outbox("Work").size(), 1u);
  expectEverythingGivenBack();
}

TEST_F(Email, AFileOfWholeBlocksIsStreamedWholeAndNothingMore) {
  Bytes bytes = encodeDatabase(contacts(u""));
  bytes.resize(8192, 0x5A);
  tsqtest::writeFileBytes(app.home() + "/Contacts.tsq", bytes);
  ASSERT_TRUE(app.start());
  email(fillIn(u"ann@example.com"));
  // The body, then two full blocks; the empty read after them writes nothing.
  EXPECT_EQ(mapi.callCount("IStream::Write"), 3u);
  const auto messages = outbox();
  ASSERT_EQ(messages.size(), 1u);
  auto fields = parseWithPython(messages[0], app.home() + "/attachment.out");
  EXPECT_EQ(tsqtest::readFileBytes(app.home() + "/attachment.out"), bytes) << fields["error"];
}

// ---- Failures ----------------------------------------------------------------------

TEST_F(Email, APhoneWithoutTheLibraryOrWithOneLackingAnExportCannotEmail) {
  const std::string empty = app.home() + "/no-library";
  const std::string partial = app.home() + "/partial-library";
  fs::create_directories(empty);
  fs::create_directories(partial);
  fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path() / "libcemapi_partial.so", partial + "/libcemapi.so");
  start(contacts(u"Contacts: names and numbers"));
  for (const std::string& folder : {empty, partial}) {
    SCOPED_TRACE(folder);
    platform::setLibraryFolder(folder);
    email(fillIn(u"ann@example.com"));
    EXPECT_TRUE(shows(answers.lastScreen(), "Unable to email database")) << answers.lastScreen();
    EXPECT_FALSE(temporaryCopyLeft());
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(mapi.callCount(), 0u);
    expectEverythingGivenBack();
  }
  // Everything else still works: the database opens.
  platform::setLibraryFolder(empty);
  app.command(cmdOpen);
  EXPECT_EQ(app.db().screen, Screen::ListView);
}

// Every call into the messaging library failing in turn, then COM's
// initialisation and the attached file: each gives back all it obtained and
// leaves no copy; the user hears "The database is now in your Outbox"
// exactly when the message is there (a store table that cannot be read
// leaves the default store, which is the one asked for here), and "Unable
// to email database" otherwise.
TEST_F(Email, EveryFailureOnTheWayGivesBackWhatItObtained) {
  start(contacts(u"Contacts: names and numbers"));
  auto expectFailed = [&] {
    EXPECT_TRUE(shows(answers.lastScreen(), "Unable to email database")) << answers.lastScreen();
    EXPECT_FALSE(temporaryCopyLeft());
    EXPECT_TRUE(outbox().empty());
    expectEverythingGivenBack();
  };
  int failed = 0;
  for (ULONG skip = 0;; ++skip) {
    SCOPED_TRACE(skip);
    fs::remove_all(device("mail"));
    mapi.reset();
    ASSERT_EQ(mapi.failCall(nullptr, skip), S_OK);
    const std::size_t shown = answers.screens().size();
    email(fillIn(u"ann@example.com;bob@example.org"));
    ASSERT_EQ(answers.screens().size(), shown + 2);  // the dialog, then one message
    const bool fired = mapi.faultsFired() != 0;
    if (shows(answers.lastScreen(), "The database is now in your Outbox")) {
      EXPECT_EQ(outbox().size(), 1u);
      EXPECT_FALSE(temporaryCopyLeft());
      expectEverythingGivenBack();
    } else {
      ++failed;
      expectFailed();
    }
    if (!fired) break;
    ASSERT_LT(skip, 200u);
  }
  EXPECT_GT(failed, 15);  // the whole sequence was swept

  fs::remove_all(device("mail"));
  platform::failNextCoInitializeEx(E_FAIL);
  email(fillIn(u"ann@example.com"));
  expectFailed();

  // The copy cannot be opened for attaching (the second open: the first
  // read the source for the copy), or a block of it cannot be read.
  for (platform::FileOp op : {platform::FileOp::Open, platform::FileOp::Read}) {
    SCOPED_TRACE(static_cast<int>(op));
    fs::remove_all(device("mail"));
    mapi.reset();
    platform::clearFileFaults();
    // Reads of the copy follow the source's header fields and blocks.
    platform::failFileOperation(op, op == platform::FileOp::Open ? 2 : 7);
    email(fillIn(u"ann@example.com"));
    EXPECT_EQ(platform::fileFaultsFired(), 1);
    expectFailed();
  }
}

TEST_F(Email, AnExportCopyThatCannotBeMadeGivesItsOwnMessage) {
  Bytes bytes = encodeDatabase(contacts(u"Contacts"));
  bytes.resize(20);  // shorter than its header
  tsqtest::writeFileBytes(app.home() + "/Contacts.tsq", bytes);
  ASSERT_TRUE(app.start());
  email(fillIn(u"ann@example.com"));
  EXPECT_TRUE(shows(answers.lastScreen(), "Error reading data")) << answers.lastScreen();
  EXPECT_FALSE(temporaryCopyLeft());
  EXPECT_EQ(mapi.callCount(), 0u);
}

}  // namespace
