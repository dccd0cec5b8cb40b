#include <gtest/gtest.h>

#include <vector>

#include "storage/bytes.h"
#include "storage/primitives.h"
#include "storage/space.h"
#include "tests/support/tsq_fixture.h"

namespace {

class Space : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(tsq.open(), err::ok); }

  Store& db() { return tsq.store(); }
  std::uint32_t fileSize() { return static_cast<std::uint32_t>(tsq.file().bytes().size()); }

  // size bytes taken at the end of the file.
  Position append(std::uint32_t size) {
    bool changed = false;
    Position at = noPosition;
    EXPECT_EQ(allocateSpace(db().file, size, changed, at), err::ok);
    return at;
  }
  void release(Position at, std::uint32_t size) {
    bool changed = false;
    ASSERT_EQ(releaseSpace(db().file, at, size, changed), err::ok);
    EXPECT_TRUE(changed);
  }
  FreeBlock blockAt(Position at) {
    std::uint8_t raw[8];
    EXPECT_EQ(readAt(db().file, at, 8, raw), err::ok);
    return FreeBlock{loadU32(raw), loadU32(raw + 4)};
  }
  void writeBlock(Position at, FreeBlock block) {
    std::uint8_t raw[8];
    storeU32(raw, block.next);
    storeU32(raw + 4, block.size);
    ASSERT_EQ(writeAt(db().file, at, 8, raw), err::ok);
  }

  tsqtest::OpenTsq tsq{DatabaseImage{}};
};

TEST_F(Space, EmptyListAppendsZeroFilledRoomAtOnce) {
  std::uint8_t junk[40];
  std::fill(std::begin(junk), std::end(junk), 0xAB);
  bool changed = false;
  Position at = noPosition;
  ASSERT_EQ(allocateSpace(db().file, 40, changed, at), err::ok);
  EXPECT_EQ(at, 28u);
  EXPECT_FALSE(changed);
  std::vector<std::uint8_t> bytes = tsq.file().bytes();
  ASSERT_EQ(bytes.size(), 70u + 40u);
  for (std::size_t i = 70; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(append(8), 68u);
}

TEST_F(Space, SplitRule) {
  struct Case {
    std::uint32_t blockSize;
    bool taken;
    std::uint32_t restSize;  // 0: no block left behind
  };
  // A request of 12: a block larger by 1 to 12 bytes is never used.
  const Case cases[] = {{11, false, 0}, {12, true, 0}, {13, false, 0}, {24, false, 0}, {25, true, 13}, {100, true, 88}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blockSize);
    Position block = append(c.blockSize);
    release(block, c.blockSize);
    const std::uint32_t end = fileSize() - db().file.dataBase;
    bool changed = false;
    Position at = noPosition;
    ASSERT_EQ(allocateSpace(db().file, 12, changed, at), err::ok);
    if (!c.taken) {
      EXPECT_EQ(at, end);
      EXPECT_FALSE(changed);
      EXPECT_EQ(db().file.header.freeList, block);
    } else {
      EXPECT_EQ(at, block);
      EXPECT_TRUE(changed);
      if (c.restSize == 0) {
        EXPECT_EQ(db().file.header.freeList, noPosition);
      } else {
        EXPECT_EQ(db().file.header.freeList, block + 12);
        FreeBlock rest = blockAt(block + 12);
        EXPECT_EQ(rest.size, c.restSize);
        EXPECT_EQ(rest.next, noPosition);
      }
    }
    db().file.header.freeList = noPosition;
  }
}

TEST_F(Space, TakingALaterBlockRelinksItsPredecessor) {
  Position small = append(12);
  Position big = append(24);
  Position last = append(16);
  release(last, 16);
  release(small, 12);
  release(big, 24);  // list: big -> small -> last
  bool changed = false;
  Position at = noPosition;
  ASSERT_EQ(allocateSpace(db().file, 12, changed, at), err::ok);
  EXPECT_EQ(at, small);
  EXPECT_FALSE(changed);  // the head did not move
  EXPECT_EQ(db().file.header.freeList, big);
  EXPECT_EQ(blockAt(big).next, last);
  EXPECT_EQ(blockAt(big).size, 24u);
}

TEST_F(Space, ReleaseThenAllocateSameSizeGivesSamePosition) {
  Position at = append(28);
  append(12);
  release(at, 28);
  EXPECT_EQ(append(28), at);
  EXPECT_EQ(db().file.header.freeList, noPosition);
}

TEST_F(Space, RequestsBelowEightAreInternalErrors) {
  bool changed = false;
  Position at = 5;
  EXPECT_EQ(allocateSpace(db().file, 7, changed, at), err::internal);
  EXPECT_EQ(at, noPosition);
  EXPECT_EQ(fileSize(), 70u);
  EXPECT_EQ(allocateSpace(db().file, 8, changed, at), err::ok);
}

TEST_F(Space, ReleaseFailuresLeaveTheListAlone) {
  bool changed = false;
  EXPECT_EQ(releaseSpace(db().file, noPosition, 12, changed), err::internal);
  EXPECT_FALSE(changed);
  EXPECT_EQ(db().file.header.freeList, noPosition);
}

TEST_F(Space, DataHeaderIsWrittenAtPositionZero) {
  db().file.header.recordCount = 3;
  db().file.header.sortItem = 2;
  ASSERT_EQ(writeDataHeader(db().file), err::ok);
  std::uint8_t raw[28];
  ASSERT_EQ(readAt(db().file, 0, 28, raw), err::ok);
  EXPECT_EQ(loadU32(raw), 3u);
  EXPECT_EQ(loadU32(raw + 4), noPosition);
  EXPECT_EQ(loadU32(raw + 12), 2u);
}

// Free lists that a sound file never has: each walk ends with 15.
TEST_F(Space, HostileFreeListsAreRefused) {
  Position a = append(16);
  Position b = append(16);
  struct Case {
    const char* name;
    Position head;
    FreeBlock atA;
    FreeBlock atB;
  };
  const Case cases[] = {
      {"selfLoop", a, {a, 10}, {noPosition, 10}},
      {"twoBlockCycle", a, {b, 10}, {a, 10}},
      {"pastTheEnd", 5000, {noPosition, 10}, {noPosition, 10}},
      {"blockRunsPastTheEnd", b, {noPosition, 10}, {noPosition, 400}},
      {"blockOverDataHeader", 4, {noPosition, 10}, {noPosition, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeBlock(a, c.atA);
    writeBlock(b, c.atB);
    db().file.header.freeList = c.head;
    const std::uint32_t before = fileSize();
    bool changed = false;
    Position at = noPosition;
    EXPECT_EQ(allocateSpace(db().file, 12, changed, at), err::readData);
    EXPECT_EQ(at, noPosition);
    EXPECT_EQ(fileSize(), before);
  }
}

}  // namespace
