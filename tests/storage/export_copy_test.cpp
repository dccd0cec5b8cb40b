// The file that is e-mailed: the database itself when its header text is
// empty, otherwise a copy without it in the phone's root folder, identical
// from the password on; a source or a device that fails leaves no copy.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/text.h"
#include "storage/export_copy.h"
#include "storage/open.h"
#include "tests/support/tsq_fixture.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A database with a password, remembered SMS texts and enough records that
// the copy takes several blocks.
DatabaseImage contacts(const std::u16string& headerText) {
  DatabaseImage image;
  image.header.headerText = headerText;
  image.header.reserved2 = 0x01020304;
  image.header.reserved4 = 7;
  image.header.password = u"pin";
  image.header.mailSubject = u"Contacts";
  image.items.push_back(tsqtest::valueItem(ItemKind::Field, ValueType::Text, 1, u"Name"));
  for (int i = 0; i < 40; ++i) {
    RecordImage record;
    record.values.push_back(tsqtest::textValue(1, u"Person number " + platform::fromUtf8(std::to_string(i))));
    image.records.push_back(record);
  }
  image.smsNumber = u"0700 123";
  return image;
}

class ExportCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = tsqtest::uniqueTempPath("-device");
    fs::create_directories(device_);
    platform::setDeviceRoot(device_);
  }
  void TearDown() override {
    platform::clearFileFaults();
    platform::setDeviceRoot("");
    std::error_code ignored;
    fs::remove_all(device_, ignored);
  }
  std::string copyFile() const { return device_ + "/Tessra.tmp"; }
  bool copyExists() const { return fs::exists(copyFile()); }

  std::string device_;
  char16_t attachPath[room::filePath] = {};
};

bool opensWithRecords(const Bytes& bytes, std::uint32_t records) {
  tsqtest::OpenTsq tsq(bytes);
  // The password prompt is a window matter; here it is taken as answered.
  if (tsq.open([](void*, const char16_t*) { return true; }) != err::ok) return false;
  return loadIndex(tsq.store()) == err::ok && tsq.store().file.header.recordCount == records &&
         tsq.store().layout.headerText[0] == 0;
}

TEST_F(ExportCopy, ADatabaseWithoutHeaderTextIsAttachedItselfAndNoCopyIsMade) {
  const tsqtest::TempFile source(encodeDatabase(contacts(u"")));
  ASSERT_EQ(makeExportCopy(source.widePath().c_str(), attachPath), err::ok);
  EXPECT_EQ(std::u16string(attachPath), source.widePath());
  EXPECT_FALSE(copyExists());
}

TEST_F(ExportCopy, TheCopyDropsOnlyTheHeaderTextAndField4AndOpens) {
  for (const std::u16string& text : {std::u16string(u"C"), std::u16string(u"Contacts: names and numbers"),
                                    std::u16string(254, u'\u00e9')}) {
    SCOPED_TRACE(platform::toUtf8(text));
    const Bytes bytes = encodeDatabase(contacts(text));
    const tsqtest::TempFile source(bytes);
    ASSERT_EQ(makeExportCopy(source.widePath().c_str(), attachPath), err::ok);
    EXPECT_EQ(std::u16string(attachPath), u"\\Tessra.tmp");
    const Bytes copy = tsqtest::readFileBytes(copyFile());
    ASSERT_EQ(copy.size(), bytes.size() - 2 * text.size());
    // Version and field 2 as they were, an empty text, field 4 zero.
    EXPECT_EQ(Bytes(copy.begin(), copy.begin() + 8), Bytes(bytes.begin(), bytes.begin() + 8));
    EXPECT_EQ(Bytes(copy.begin() + 8, copy.begin() + 15), (Bytes{1, 0, 0, 0, 0, 0, 0}));
    const std::size_t field5 = 8 + 1 + 2 * (text.size() + 1) + 4;
    EXPECT_EQ(Bytes(copy.begin() + 15, copy.end()), Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(field5), bytes.end()));
    DatabaseImage withoutText = contacts(u"");
    withoutText.header.reserved4 = 0;
    EXPECT_EQ(copy, encodeDatabase(withoutText));
    EXPECT_TRUE(opensWithRecords(copy, 40));
    EXPECT_EQ(tsqtest::readFileBytes(source.path()), bytes);
  }
}

TEST_F(ExportCopy, AStaleCopyFromAnEarlierRunIsReplaced) {
  tsqtest::writeFileBytes(copyFile(), Bytes(100000, 0xAB));
  const Bytes bytes = encodeDatabase(contacts(u"Contacts"));
  const tsqtest::TempFile source(bytes);
  ASSERT_EQ(makeExportCopy(source.widePath().c_str(), attachPath), err::ok);
  EXPECT_EQ(tsqtest::readFileBytes(copyFile()).size(), bytes.size() - 2 * 8);
}

TEST_F(ExportCopy, ASourceThatCannotBeReadUpToField4GivesItsCodeAndNoCopy) {
  const Bytes whole = encodeDatabase(contacts(u"Contacts"));
  struct Case {
    const char* name;
    Bytes bytes;
    ErrorCode code;
  };
  std::vector<Case> cases;
  for (std::size_t size : {0, 3, 4, 7, 8, 9, 12, 26, 27, 29}) {  // field 4 ends at byte 31
    cases.push_back({"cut", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)), err::readData});
  }
  Bytes version0 = whole;
  version0[0] = 0;
  cases.push_back({"version 0", version0, err::readData});
  Bytes version2 = whole;
  version2[0] = 2;
  cases.push_back({"version 2", version2, err::newerVersion});
  Bytes noTerminator = whole;
  noTerminator[8] = 2;  // "Co" without its zero unit
  cases.push_back({"unterminated text", noTerminator, err::readData});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.bytes.size()));
    const tsqtest::TempFile source(c.bytes);
    EXPECT_EQ(makeExportCopy(source.widePath().c_str(), attachPath), c.code);
    EXPECT_FALSE(copyExists());
  }
  EXPECT_EQ(makeExportCopy(u"/no/such/folder/db.tsq", attachPath), err::readData);
  EXPECT_FALSE(copyExists());
}

// Every read, write and open of the copy failing in turn: the code of the
// failing side, and no half-written copy left behind.
TEST_F(ExportCopy, AFailingDeviceLeavesNoCopyBehind) {
  const Bytes bytes = encodeDatabase(contacts(u"Contacts"));
  ASSERT_GT(bytes.size(), 2048u);  // three blocks
  const tsqtest::TempFile source(bytes);
  struct Sweep {
    platform::FileOp op;
    ErrorCode code;
  };
  for (const Sweep sweep : {Sweep{platform::FileOp::Read, err::readData}, Sweep{platform::FileOp::Write, err::writeData},
                            Sweep{platform::FileOp::Open, err::writeData}}) {
    for (int skip = sweep.op == platform::FileOp::Open ? 1 : 0;; ++skip) {
      SCOPED_TRACE(skip);
      platform::clearFileFaults();
      platform::failFileOperation(sweep.op, skip);
      const ErrorCode code = makeExportCopy(source.widePath().c_str(), attachPath);
      if (platform::fileFaultsFired() == 0) {
        EXPECT_EQ(code, err::ok);
        fs::remove(copyFile());
        break;
      }
      EXPECT_EQ(code, sweep.code);
      EXPECT_FALSE(copyExists());
      ASSERT_LT(skip, 100);
    }
  }
  platform::clearFileFaults();
  platform::failFileOperation(platform::FileOp::Open, 0);
  EXPECT_EQ(makeExportCopy(source.widePath().c_str(), attachPath), err::readData);
  EXPECT_FALSE(copyExists());
}

}  // namespace
