#include <gtest/gtest.h>

#include <vector>

#include "platform/emulator.h"
#include "records/encoding.h"
#include "storage/bytes.h"
#include "storage/data_cache.h"
#include "storage/primitives.h"
#include "storage/writer.h"
#include "tests/support/tsq_fixture.h"

using namespace tsqtest;

namespace {

using Bytes = std::vector<std::uint8_t>;

const SYSTEMTIME now{2024, 5, 5, 17, 14, 25, 36, 789};  // a Friday

class Encoding : public ::testing::Test {
 protected:
  void SetUp() override { platform::setFixedLocalTime(now); }
  void TearDown() override { platform::setFixedLocalTime(std::nullopt); }

  // Opens image and returns its Database.
  Store& open(const DatabaseImage& image) {
    tsq = std::make_unique<OpenTsq>(image);
    EXPECT_EQ(tsq->open(), err::ok);
    return tsq->store();
  }
  // Appends raw bytes at the end of the data area; returns their position.
  Position put(const Bytes& bytes) {
    Store& db = tsq->store();
    Position at = dataAreaSize(db.file);
    EXPECT_EQ(writeAt(db.file, at, static_cast<std::uint32_t>(bytes.size()), bytes.data()), err::ok);
    return at;
  }

  std::unique_ptr<OpenTsq> tsq;
};

Bytes entryHeader(Position next, std::uint16_t fieldId, std::uint8_t type) {
  Bytes b(8);
  storeU32(b.data(), next);
  storeU16(b.data() + 4, fieldId);
  b[6] = type;
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(StoredSize, ByType) {
  struct Case {
    FieldValue value;
    std::uint32_t size;
  };
  FieldValue unknown;
  unknown.valueType = 3;
  const Case cases[] = {{integerValue(1, 5), 12},
                        {numberValue(1, 1.5), 16},
                        {numberValue(1, 1.5, ValueType::Currency), 16},
                        {calendarValue(1, ValueType::Date, now), 28},
                        {calendarValue(1, ValueType::Time, now), 28},
                        {textValue(1, u""), 12},
                        {textValue(1, u"ten chars!"), 32},
                        {textValue(1, std::u16string(258, u'x')), 528},
                        {yesNoValue(1, true), 9},
                        {unknown, 528}};
  for (const Case& c : cases) {
    EXPECT_EQ(storedSize(c.value), c.size) << int(c.value.valueType);
    EXPECT_EQ(encodeFieldEntry(c.value).size(), c.size) << int(c.value.valueType);
  }
}

TEST(EmptyValues, ResetAndRecognise) {
  platform::setFixedLocalTime(now);
  for (std::uint8_t type : {2, 4, 5, 8, 16, 32, 64}) {
    SCOPED_TRACE(int(type));
    FieldValue value = textValue(9, u"something");
    value.valueType = type;
    value.payload.bytes[0] = 0x5A;
    value.next = 40;
    resetValue(value);
    EXPECT_TRUE(isEmptyValue(value));
    EXPECT_EQ(value.next, 40u);  // the header stays
    EXPECT_EQ(value.fieldId, 9);
  }
  FieldValue date = calendarValue(1, ValueType::Date, SYSTEMTIME{});
  resetValue(date);
  EXPECT_EQ(date.payload.calendar.noValue, 1u);
  EXPECT_EQ(date.payload.calendar.time.wYear, 2024);
  EXPECT_EQ(date.payload.calendar.time.wDay, 17);
  EXPECT_EQ(date.payload.calendar.time.wHour, 0);
  EXPECT_EQ(date.payload.calendar.time.wMilliseconds, 0);
  FieldValue time = calendarValue(1, ValueType::Time, SYSTEMTIME{});
  resetValue(time);
  EXPECT_EQ(time.payload.calendar.time.wYear, 1899);
  EXPECT_EQ(time.payload.calendar.time.wMonth, 12);
  EXPECT_EQ(time.payload.calendar.time.wDay, 30);
  EXPECT_EQ(time.payload.calendar.time.wDayOfWeek, now.wDayOfWeek);
  EXPECT_EQ(time.payload.calendar.time.wHour, 14);
  EXPECT_EQ(time.payload.calendar.time.wSecond, 36);
  EXPECT_EQ(time.payload.calendar.time.wMilliseconds, 0);
  platform::setFixedLocalTime(std::nullopt);

  EXPECT_FALSE(isEmptyValue(integerValue(1, -1)));
  EXPECT_TRUE(isEmptyValue(numberValue(1, -0.0)));
  EXPECT_FALSE(isEmptyValue(textValue(1, u"a")));
  EXPECT_FALSE(isEmptyValue(calendarValue(1, ValueType::Date, now)));
}

TEST_F(Encoding, EveryTypeReadsBackAsWritten) {
  const std::vector<FieldValue> values = {
      integerValue(1, -123456),  numberValue(2, 3.25),      numberValue(3, -7.5, ValueType::Currency),
      calendarValue(4, ValueType::Date, SYSTEMTIME{2023, 12, 0, 31, 0, 0, 0, 0}),
      calendarValue(5, ValueType::Time, SYSTEMTIME{1899, 12, 6, 30, 23, 59, 58, 0}),
      textValue(6, std::u16string(258, u'\u00e9')), yesNoValue(7, true)};
  DatabaseImage image;
  image.records.push_back({values, 0});
  Store& db = open(image);
  Position at = 28 + recordHeaderSize;
  for (const FieldValue& want : values) {
    SCOPED_TRACE(int(want.valueType));
    FieldValue got;
    ASSERT_EQ(readFieldValue(db.file, at, got), err::ok);
    EXPECT_EQ(got.fieldId, want.fieldId);
    EXPECT_EQ(got.valueType, want.valueType);
    EXPECT_EQ(encodeFieldEntry(got), [&] {
      FieldValue expected = want;
      expected.next = got.next;
      return encodeFieldEntry(expected);
    }());
    at += storedSize(want);
    if (&want != &values.back()) {
      EXPECT_EQ(got.next, at);
    }
  }
}

// Entries that cross from one page of the file into the next, at every
// byte of their header and text, read as those that do not.
TEST_F(Encoding, EntriesAcrossPagesReadAsAnyOther) {
  Store& db = open(DatabaseImage{});
  const FieldValue text = textValue(3, u"across the page");
  const Bytes entry = encodeFieldEntry(text);
  const Position pageStart = DataCache::pageSize * 2 - db.file.dataBase;
  for (std::uint32_t before = 1; before < entry.size(); ++before) {
    SCOPED_TRACE(before);
    const Position at = pageStart - before;
    const Position end = dataAreaSize(db.file);
    if (end < at) put(Bytes(at - end, 0));
    ASSERT_EQ(writeAt(db.file, at, static_cast<std::uint32_t>(entry.size()), entry.data()), err::ok);
    for (bool cold : {true, false}) {
      if (cold) clearCache(db.file.cache);
      FieldValue got;
      ASSERT_EQ(readFieldValue(db.file, at, got), err::ok);
      EXPECT_EQ(encodeFieldEntry(got), entry);
    }
  }
}

TEST_F(Encoding, DateAndTimeWithoutValueReadAsNow) {
  DatabaseImage image;
  SYSTEMTIME stored{1990, 1, 1, 1, 1, 1, 1, 1};
  image.smsNumber = u"x";  // makes room to append behind
  Store& db = open(image);
  Position date = put(encodeFieldEntry(calendarValue(1, ValueType::Date, stored, 1)));
  Position time = put(encodeFieldEntry(calendarValue(1, ValueType::Time, stored, 1)));
  FieldValue value;
  ASSERT_EQ(readFieldValue(db.file, date, value), err::ok);
  EXPECT_EQ(value.payload.calendar.noValue, 1u);
  EXPECT_EQ(value.payload.calendar.time.wYear, 2024);
  EXPECT_EQ(value.payload.calendar.time.wDay, 17);
  EXPECT_EQ(value.payload.calendar.time.wHour, 0);
  ASSERT_EQ(readFieldValue(db.file, time, value), err::ok);
  EXPECT_EQ(value.payload.calendar.time.wYear, 1899);
  EXPECT_EQ(value.payload.calendar.time.wHour, 14);
  EXPECT_EQ(value.payload.calendar.time.wMinute, 25);
}

TEST_F(Encoding, BadEntriesAreRefused) {
  Store& db = open(DatabaseImage{});
  auto text = [](std::uint16_t count, std::uint16_t last) {
    Bytes b = entryHeader(noPosition, 1, 32);
    b.push_back(static_cast<std::uint8_t>(count));
    b.push_back(static_cast<std::uint8_t>(count >> 8));
    for (std::uint16_t i = 0; i + 1 < count; ++i) {
      b.push_back('a');
      b.push_back(0);
    }
    b.push_back(static_cast<std::uint8_t>(last));
    b.push_back(0);
    return b;
  };
  struct Case {
    const char* name;
    Bytes bytes;
    ErrorCode expected;
  };
  const Case cases[] = {
      {"textFits", text(259, 0), err::ok},
      {"textAboveRoom", text(260, 0), err::readData},
      {"textCountZero", entryHeader(noPosition, 1, 32) + Bytes{0, 0, 0, 0}, err::readData},
      {"textUnterminated", text(4, 'z'), err::readData},
      {"unknownType", entryHeader(noPosition, 1, 3) + Bytes(20, 0), err::internal},
      {"typeZero", entryHeader(noPosition, 1, 0) + Bytes(20, 0), err::internal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Position at = put(c.bytes);
    // Read part by part from the file, and decoded from the cached page.
    clearCache(db.file.cache);
    FieldValue fromFile;
    EXPECT_EQ(readFieldValue(db.file, at, fromFile), c.expected);
    FieldValue fromCache;
    EXPECT_EQ(readFieldValue(db.file, at, fromCache), c.expected);
    if (c.expected == err::ok) {
      EXPECT_EQ(encodeFieldEntry(fromCache), encodeFieldEntry(fromFile));
    }
  }
  // Cut short at the end of the file, and positions that are not there.
  Position shortInteger = put(entryHeader(noPosition, 1, 2) + Bytes{1, 2});
  FieldValue value;
  EXPECT_EQ(readFieldValue(db.file, shortInteger, value), err::readData);
  EXPECT_EQ(readFieldValue(db.file, noPosition, value), err::internal);
  EXPECT_EQ(readFieldValue(db.file, 0xFFFFFFF9u, value), err::readData);
  EXPECT_EQ(readFieldValue(db.file, 1u << 30, value), err::readData);
}

// A layout whose items share fieldIds in the ways loadRecordValues must sort out.
DatabaseImage sharedIds() {
  DatabaseImage image;
  image.items.push_back(valueItem(ItemKind::Label, ValueType::Integer, 1, u"Label with id 1"));
  image.items.push_back(valueItem(ItemKind::Calculated, ValueType::Number, 2, u"Calculated with id 2"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Integer, 1, u"Integer 1"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Text, 1, u"Text 1"));
  image.items.push_back(valueItem(ItemKind::CheckBox, ValueType::YesNo, 3, u"Check"));
  image.items.push_back(valueItem(ItemKind::PickList, ValueType::Text, 4, u"Pick"));
  image.items.push_back(valueItem(ItemKind::Field, ValueType::Date, 5, u"Date"));
  return image;
}

TEST_F(Encoding, LoadRecordValuesMatchesOnlyValueItems) {
  DatabaseImage image = sharedIds();
  image.records.push_back({{numberValue(2, 9.5),             // only a Calculated item: skipped
                            integerValue(1, 42),             // the Field, not the Label before it
                            textValue(9, u"no such item"),   // skipped
                            textValue(1, u"same id, Text"),  // told apart by type
                            yesNoValue(3, true), textValue(4, u"Work")},
                           0x80000005u});
  image.records.push_back({{}, 0});
  Store& db = open(image);
  db.records.currentRecord = 28;
  db.records.currentRecordLoaded = true;
  ASSERT_EQ(loadRecordValues(db), err::ok);
  EXPECT_FALSE(db.records.currentRecordLoaded);
  EXPECT_EQ(db.records.currentRecordHeader.flags, 5u);  // bit 31 cleared in memory
  EXPECT_EQ(db.layout.items[0].valuePosition, noPosition);
  EXPECT_EQ(db.layout.items[1].valuePosition, noPosition);
  EXPECT_EQ(db.layout.items[2].value.payload.integer, 42);
  EXPECT_EQ(db.layout.items[2].valuePosition, 40u + 16u);
  EXPECT_EQ(std::u16string(db.layout.items[3].value.payload.text.chars), u"same id, Text");
  EXPECT_EQ(db.layout.items[4].value.payload.yesNo, 1);
  EXPECT_EQ(std::u16string(db.layout.items[5].value.payload.text.chars), u"Work");
  EXPECT_EQ(db.layout.items[5].value.next, noPosition);
  EXPECT_NE(db.layout.items[3].value.next, noPosition);
  EXPECT_EQ(db.layout.items[6].valuePosition, noPosition);
  EXPECT_EQ(db.layout.items[6].value.payload.calendar.noValue, 1u);

  // The next record has no entries: every item goes back to its empty value.
  db.records.currentRecord = db.records.currentRecordHeader.nextRecord;
  ASSERT_EQ(loadRecordValues(db), err::ok);
  for (int i = 0; i < db.layout.itemCount; ++i) {
    EXPECT_EQ(db.layout.items[i].valuePosition, noPosition);
    EXPECT_TRUE(isEmptyValue(db.layout.items[i].value)) << i;
    EXPECT_EQ(db.layout.items[i].value.fieldId, db.layout.items[i].fieldId);
    EXPECT_EQ(db.layout.items[i].value.valueType, db.layout.items[i].valueType);
  }
  // No current record: the empty record, without reading anything.
  db.records.currentRecord = noPosition;
  EXPECT_EQ(loadRecordValues(db), err::ok);
}

TEST_F(Encoding, FindKeyField) {
  DatabaseImage image = sharedIds();
  image.records.push_back({{integerValue(1, 1), textValue(1, u"t"), textValue(4, u"p")}, 0});
  Store& db = open(image);
  const Position first = 40;
  struct Case {
    std::int32_t item;
    Position expected;
  };
  const Case cases[] = {{-1, noPosition}, {2, 40}, {3, 52}, {5, 66}, {4, noPosition}, {6, noPosition}, {99, noPosition}};
  for (const Case& c : cases) {
    Position found = 7;
    EXPECT_EQ(findKeyField(db, first, c.item, found), err::ok);
    EXPECT_EQ(found, c.expected) << c.item;
  }
  Position found = 7;
  EXPECT_EQ(findKeyField(db, noPosition, 2, found), err::ok);
  EXPECT_EQ(found, noPosition);
}

TEST_F(Encoding, CyclicFieldChainsAreReadErrors) {
  DatabaseImage image = sharedIds();
  image.smsMessage = u"m";
  Store& db = open(image);
  // Entries that match nothing, chained into loops of one, two and three.
  const Position base = dataAreaSize(db.file);
  struct Case {
    const char* name;
    std::vector<Position> nexts;  // next of entry i (entries are 12 bytes apart)
  };
  const Case cases[] = {{"self", {0}}, {"pair", {1, 0}}, {"tail", {1, 2, 1}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t i = 0; i < c.nexts.size(); ++i) {
      Bytes entry = entryHeader(base + 12 * c.nexts[i], 9, 2) + Bytes{0, 0, 0, 0};
      ASSERT_EQ(writeAt(db.file, base + 12 * static_cast<Position>(i), 12, entry.data()), err::ok);
    }
    Bytes record(12);
    storeU32(record.data(), base);
    storeU32(record.data() + 4, noPosition);
    Position recordAt = put(record);
    Position found = 0;
    EXPECT_EQ(findKeyField(db, base, 2, found), err::readData);
    db.records.currentRecord = recordAt;
    EXPECT_EQ(loadRecordValues(db), err::readData);
  }
}

TEST(KeyItem, FirstFieldOrPickListOrNone) {
  auto db = std::make_unique<Store>();
  EXPECT_EQ(keyItem(*db), -1);
  db->layout.itemCount = 3;
  db->layout.items[0].kind = static_cast<std::uint8_t>(ItemKind::Label);
  db->layout.items[1].kind = static_cast<std::uint8_t>(ItemKind::CheckBox);
  db->layout.items[2].kind = static_cast<std::uint8_t>(ItemKind::Calculated);
  EXPECT_EQ(keyItem(*db), -1);
  db->layout.items[2].kind = static_cast<std::uint8_t>(ItemKind::PickList);
  EXPECT_EQ(keyItem(*db), 2);
  db->file.header.sortItem = 1;  // as stored, whatever its kind
  EXPECT_EQ(keyItem(*db), 1);
}

}  // namespace
