#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

#include "platform/emulator.h"
#include "storage/primitives.h"
#include "tests/support/tsq_fixture.h"

using tsqtest::FileHandle;
using tsqtest::TempFile;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes of count followed by UTF-16LE units.
Bytes countedUnits(std::vector<std::uint8_t> countBytes, const std::u16string& units) {
  Bytes bytes = countBytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<std::uint8_t>(u));
    bytes.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return bytes;
}

struct TextCase {
  const char* name;
  Bytes bytes;
  int room;
  bool ok;
  std::u16string text;
};

class TextReaders : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReaders, Text8) {
  const TextCase& c = GetParam();
  TempFile file(c.bytes);
  FileHandle handle(file.path());
  std::vector<char16_t> out(static_cast<std::size_t>(c.room) + 8, u'#');
  ASSERT_EQ(readText8(handle.get(), out.data(), c.room), c.ok);
  if (c.ok) {
    EXPECT_EQ(std::u16string(out.data()), c.text);
  }
  // Nothing is written behind the room, whatever the file says.
  for (std::size_t i = static_cast<std::size_t>(c.room); i < out.size(); ++i) EXPECT_EQ(out[i], u'#');
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, TextReaders,
    ::testing::Values(TextCase{"empty", countedUnits({1}, std::u16string(1, u'\0')), 4, true, u""},
                      TextCase{"two", countedUnits({3}, std::u16string(u"ab\0", 3)), 4, true, u"ab"},
                      TextCase{"fillsRoom", countedUnits({4}, std::u16string(u"abc\0", 4)), 4, true, u"abc"},
                      TextCase{"countZero", {0, 0, 0}, 4, false, u""},
                      TextCase{"aboveRoom", countedUnits({5}, std::u16string(u"abcd\0", 5)), 4, false, u""},
                      TextCase{"noTerminator", countedUnits({3}, u"abc"), 4, false, u""},
                      TextCase{"shortRead", countedUnits({3}, u"a"), 4, false, u""},
                      TextCase{"noCount", {}, 4, false, u""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Primitives, Text16RefusesCountsAboveRoom) {
  std::u16string text(258, u'x');
  text.push_back(0);
  TempFile fits(countedUnits({0x03, 0x01}, text));  // count 259
  FileHandle fitsHandle(fits.path());
  std::vector<char16_t> out(259);
  EXPECT_TRUE(readText16(fitsHandle.get(), out.data(), 259));

  text.insert(text.begin(), u'y');
  TempFile above(countedUnits({0x04, 0x01}, text));  // count 260
  FileHandle aboveHandle(above.path());
  EXPECT_FALSE(readText16(aboveHandle.get(), out.data(), 259));
}

TEST(Primitives, ScrambledText) {
  struct Case {
    const char* name;
    std::u16string plain;  // terminator included
    int room;
    bool ok;
  };
  std::u16string long70(70, u'p');
  std::u16string terminatedEarly = long70;
  terminatedEarly[10] = 0;
  std::u16string terminatedLate = long70;
  terminatedLate[65] = 0;
  const Case cases[] = {
      {"empty", std::u16string(1, u'\0'), 64, true},
      {"secret", std::u16string(u"Secret\0", 7), 64, true},
      // More units than the room, but the text ends inside it.
      {"endsInsideRoom", terminatedEarly, 64, true},
      {"endsBehindRoom", terminatedLate, 64, false},
      {"noTerminator", long70, 64, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint16_t> scrambled(c.plain.size());
    scramble(c.plain.data(), scrambled.data(), static_cast<int>(c.plain.size()));
    Bytes bytes{static_cast<std::uint8_t>(c.plain.size())};
    for (std::uint16_t u : scrambled) {
      bytes.push_back(static_cast<std::uint8_t>(u));
      bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    TempFile file(bytes);
    FileHandle handle(file.path());
    std::vector<char16_t> out(static_cast<std::size_t>(c.room));
    ASSERT_EQ(readScrambledText8(handle.get(), out.data(), c.room), c.ok);
    if (c.ok) {
      EXPECT_EQ(std::u16string(out.data()), std::u16string(c.plain.c_str()));
    }
  }
}

TEST(Primitives, EmptyPasswordIsStoredAsOneUnitFFFF) {
  char16_t empty[1] = {0};
  std::uint16_t stored[1];
  scramble(empty, stored, 1);
  EXPECT_EQ(stored[0], 0xFFFF);
  unscramble(stored, 1);
  EXPECT_EQ(stored[0], 0);
}

TEST(Primitives, Blob16LengthIsBounded) {
  struct Case {
    std::uint16_t length;
    std::size_t present;
    bool ok;
  };
  const Case cases[] = {{0, 0, true}, {256, 256, true}, {257, 257, false}, {10, 9, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    Bytes bytes{static_cast<std::uint8_t>(c.length), static_cast<std::uint8_t>(c.length >> 8)};
    bytes.resize(bytes.size() + c.present, 0x07);
    TempFile file(bytes);
    FileHandle handle(file.path());
    std::uint8_t out[256 + 16];
    std::uint16_t length = 0xBEEF;
    EXPECT_EQ(readBlob16(handle.get(), length, out, 256), c.ok);
    if (c.ok) {
      EXPECT_EQ(length, c.length);
    }
  }
}

TEST(Primitives, NumbersAreLittleEndianAndShortReadsFail) {
  TempFile file({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
  FileHandle handle(file.path());
  std::uint32_t u32 = 0;
  std::uint16_t u16 = 0;
  std::uint8_t u8 = 0;
  ASSERT_TRUE(readU32(handle.get(), u32));
  EXPECT_EQ(u32, 0x04030201u);
  ASSERT_TRUE(readU16(handle.get(), u16));
  EXPECT_EQ(u16, 0x0605);
  EXPECT_FALSE(readU16(handle.get(), u16));  // one byte left
  std::uint8_t block[8];
  EXPECT_FALSE(readBytes8(handle.get(), block));
  EXPECT_FALSE(readU8(handle.get(), u8));
}

TEST(Primitives, WriteText8CountsTheTerminator) {
  struct Case {
    std::size_t length;
    std::uint8_t count;
  };
  const Case cases[] = {{0, 1}, {1, 2}, {254, 255}, {300, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    TempFile file({});
    std::vector<std::uint8_t> written;
    {
      FileHandle handle(file.path());
      std::u16string text(c.length, u'z');
      ASSERT_TRUE(writeText8(handle.get(), text.c_str()));
    }
    written = file.bytes();
    ASSERT_EQ(written.size(), 1u + 2u * c.count);
    EXPECT_EQ(written[0], c.count);
    EXPECT_EQ(written[written.size() - 1], 0);
    EXPECT_EQ(written[written.size() - 2], 0);
    // What was written reads back.
    FileHandle reader(file.path());
    std::vector<char16_t> out(256);
    EXPECT_TRUE(readText8(reader.get(), out.data(), 256));
  }
}

class PositionedTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::clearFileFaults(); }
  void TearDown() override { platform::clearFileFaults(); }
};

TEST_F(PositionedTest, PositionNoneIsInternalErrorWithoutTouchingTheFile) {
  tsqtest::OpenTsq tsq(DatabaseImage{});
  ASSERT_EQ(tsq.open(), err::ok);
  Store& db = tsq.store();
  std::uint8_t buffer[4] = {};
  platform::clearFileFaults();
  EXPECT_EQ(readAt(db.file, noPosition, 4, buffer), err::internal);
  EXPECT_EQ(writeAt(db.file, noPosition, 4, buffer), err::internal);
  for (auto op : {platform::FileOp::Seek, platform::FileOp::Read, platform::FileOp::Write}) {
    EXPECT_EQ(platform::fileOperationCount(op), 0);
  }
}

TEST_F(PositionedTest, ReadsAndWritesCountFromTheDataArea) {
  tsqtest::OpenTsq tsq(DatabaseImage{});
  ASSERT_EQ(tsq.open(), err::ok);
  Store& db = tsq.store();
  EXPECT_EQ(db.file.dataBase, 42u);
  std::uint8_t header[28];
  ASSERT_EQ(readAt(db.file, 0, 28, header), err::ok);
  EXPECT_EQ(header[0], 0);     // recordCount
  EXPECT_EQ(header[4], 0xFF);  // freeList none

  // A short read at the end of the file is a failure, not a partial success.
  EXPECT_EQ(readAt(db.file, 20, 9, header), err::readData);
  EXPECT_EQ(readAt(db.file, 28, 1, header), err::readData);

  const std::uint8_t bytes[] = {1, 2, 3, 4};
  ASSERT_EQ(writeAt(db.file, 28, 4, bytes), err::ok);
  std::uint8_t back[4] = {};
  ASSERT_EQ(readAt(db.file, 28, 4, back), err::ok);
  EXPECT_EQ(back[3], 4);
  EXPECT_EQ(tsq.file().bytes().size(), 74u);
}

TEST_F(PositionedTest, PlatformFailuresBecomeTheirCodes) {
  tsqtest::OpenTsq tsq(DatabaseImage{});
  ASSERT_EQ(tsq.open(), err::ok);
  Store& db = tsq.store();
  std::uint8_t buffer[4] = {};
  struct Case {
    platform::FileOp op;
    bool write;
    ErrorCode expected;
  };
  const Case cases[] = {{platform::FileOp::Seek, false, err::readData},
                        {platform::FileOp::Read, false, err::readData},
                        {platform::FileOp::Seek, true, err::readData},
                        {platform::FileOp::Write, true, err::writeData}};
  for (const Case& c : cases) {
    clearCache(db.file.cache);  // so that the read goes to the file
    platform::clearFileFaults();
    platform::failFileOperation(c.op, 0);
    EXPECT_EQ(c.write ? writeAt(db.file, 0, 4, buffer) : readAt(db.file, 0, 4, buffer), c.expected);
  }
}

// Reads served from the cache see every write, end where the file ends,
// and forget what a failed write may have left.
TEST_F(PositionedTest, CachedReadsFollowTheFile) {
  tsqtest::OpenTsq tsq(DatabaseImage{});
  ASSERT_EQ(tsq.open(), err::ok);
  Store& db = tsq.store();
  std::uint8_t header[dataHeaderSize] = {};
  ASSERT_EQ(readAt(db.file, 0, dataHeaderSize, header), err::ok);
  EXPECT_EQ(readAt(db.file, dataHeaderSize, 1, header), err::readData);  // past the end

  const std::uint8_t grown[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(writeAt(db.file, dataHeaderSize, 8, grown), err::ok);  // extends the file
  std::uint8_t back[8] = {};
  ASSERT_EQ(readAt(db.file, dataHeaderSize, 8, back), err::ok);
  EXPECT_EQ(std::memcmp(back, grown, 8), 0);

  const std::uint8_t other[4] = {9, 9, 9, 9};
  platform::clearFileFaults();
  platform::failFileOperation(platform::FileOp::Write, 0);
  EXPECT_EQ(writeAt(db.file, dataHeaderSize, 4, other), err::writeData);
  platform::clearFileFaults();
  platform::failFileOperation(platform::FileOp::Read, 0);
  EXPECT_EQ(readAt(db.file, dataHeaderSize, 4, back), err::readData);  // not served from the dropped page
  platform::clearFileFaults();
  ASSERT_EQ(readAt(db.file, dataHeaderSize, 8, back), err::ok);
  EXPECT_EQ(std::memcmp(back, grown, 8), 0);
  EXPECT_EQ(tsqtest::readFileBytes(tsq.file().path()).size(), db.file.dataBase + dataHeaderSize + 8u);
}

TEST(Primitives, FileNameOf) {
  struct Case {
    std::u16string path;
    std::u16string name;
  };
  const Case cases[] = {{u"\\My Documents\\Contacts.tsq", u"Contacts.tsq"},
                        {u"C:Notes.tsq", u"Notes.tsq"},
                        {u"/home/phone/Expenses.tsq", u"Expenses.tsq"},
                        {u"plain.tsq", u"plain.tsq"},
                        {u"folder\\", u""},
                        {u"", u""}};
  for (const Case& c : cases) EXPECT_EQ(std::u16string(fileNameOf(c.path.c_str())), c.name);
}

}  // namespace
