#include "tools/tsq/check.h"

#include <gtest/gtest.h>

#include <functional>

#include "records/encoding.h"
#include "storage/bytes.h"
#include "tests/tools/scratch.h"

namespace {

FieldValue textValue(std::uint16_t fieldId, const char16_t* text) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(ValueType::Text);
  setText(value, text);
  return value;
}

FieldValue integerValue(std::uint16_t fieldId, std::int32_t number) {
  FieldValue value;
  value.fieldId = fieldId;
  value.valueType = static_cast<std::uint8_t>(ValueType::Integer);
  value.payload.integer = number;
  return value;
}

// Name (Text, column 1) sorts the records; Qty (Integer, column 2).
DatabaseImage namesImage(std::vector<std::vector<FieldValue>> records) {
  DatabaseImage image;
  ItemImage name;
  name.kind = static_cast<std::uint8_t>(ItemKind::Field);
  name.caption = u"Name";
  name.fieldId = 1;
  ItemImage qty = name;
  qty.caption = u"Qty";
  qty.valueType = static_cast<std::uint8_t>(ValueType::Integer);
  qty.fieldId = 2;
  image.items = {name, qty};
  image.sortItem = 0;
  for (auto& values : records) image.records.push_back(RecordImage{values, 0});
  return image;
}

// Anna (Qty 1), Ben, Cleo (Qty 3). In the data area: DataHeader 0-27;
// record 1 at 28, its Name at 40 (20 bytes) and Qty at 60; record 2 at 72,
// its Name at 84 (18 bytes); record 3 at 102, Name at 114, Qty at 134; end 146.
DatabaseImage threeRecords() {
  return namesImage({{textValue(1, u"Anna"), integerValue(2, 1)},
                     {textValue(1, u"Ben")},
                     {textValue(1, u"Cleo"), integerValue(2, 3)}});
}

// The data area starts where the layout ends: the size of the same file without data.
std::uint32_t dataBaseOf(const DatabaseImage& image) {
  DatabaseImage layoutOnly = image;
  layoutOnly.records.clear();
  layoutOnly.smsNumber.clear();
  layoutOnly.smsMessage.clear();
  return static_cast<std::uint32_t>(encodeDatabase(layoutOnly).size() - dataHeaderSize);
}

// Patches a u32 of the data area.
using Damage = std::function<void(std::vector<std::uint8_t>& bytes, std::uint32_t dataBase)>;
Damage setWord(std::uint32_t position, std::uint32_t value) {
  return [=](std::vector<std::uint8_t>& bytes, std::uint32_t dataBase) { storeU32(bytes.data() + dataBase + position, value); };
}

std::vector<std::string> problemsOf(const std::vector<std::uint8_t>& bytes) {
  auto path = tsq_test::scratchFolder() / "checked.tsq";
  tsq_test::writeBytes(path, bytes);
  tsq::TsqFile file;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok);
  return file.layout ? tsq::checkFile(file) : std::vector<std::string>{};
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

TEST(Check, ASoundFileHasNoProblems) {
  EXPECT_EQ(joined(problemsOf(encodeDatabase(threeRecords()))), "");
  DatabaseImage withSms = threeRecords();
  withSms.smsNumber = u"0700";
  withSms.smsMessage = u"Hello";
  EXPECT_EQ(joined(problemsOf(encodeDatabase(withSms))), "");
  // Upper and lower case sort alike; a record without a key sorts first.
  EXPECT_EQ(joined(problemsOf(encodeDatabase(
                namesImage({{integerValue(2, 5)}, {textValue(1, u"anna")}, {textValue(1, u"Anna")}, {textValue(1, u"ben")}})))),
            "");
}

struct DamageCase {
  const char* name;
  Damage damage;
  const char* line;
};

TEST(Check, EachDamageGivesItsLine) {
  const DamageCase cases[] = {
      {"cycle", setWord(72 + 4, 28), "the record chain has a cycle: record 3 at position 28"},
      {"short chain", setWord(0, 4), "the record chain holds 3 records, recordCount says 4"},
      {"long chain", setWord(0, 2), "the record chain goes on after recordCount (2) records, at position 102"},
      {"record outside", setWord(72 + 4, 5000), "record 3 at position 5000 lies outside the data area"},
      {"entry outside", setWord(28, 145), "record 1 at position 28, field entry at position 145 lies outside"},
      {"shared entry", setWord(72, 60), "record 2 at position 72, field entry at position 60 overlaps record 1"},
      {"record on the header", setWord(8, 4), "overlaps the DataHeader"},
      {"free block on a record", setWord(4, 102), "free block 1 at position 102 overlaps record 3"},
      {"free list cycle", [](std::vector<std::uint8_t>& bytes, std::uint32_t dataBase) {
         // Two blocks appended behind the data, each naming the other.
         std::uint32_t end = static_cast<std::uint32_t>(bytes.size()) - dataBase;
         bytes.resize(bytes.size() + 16);
         storeU32(bytes.data() + dataBase + end, end + 8);
         storeU32(bytes.data() + dataBase + end + 4, 8);
         storeU32(bytes.data() + dataBase + end + 8, end);
         storeU32(bytes.data() + dataBase + end + 12, 8);
         storeU32(bytes.data() + dataBase + 4, end);
       }, "the free list has a cycle"},
      {"small free block", [](std::vector<std::uint8_t>& bytes, std::uint32_t dataBase) {
         std::uint32_t end = static_cast<std::uint32_t>(bytes.size()) - dataBase;
         bytes.resize(bytes.size() + 8);
         storeU32(bytes.data() + dataBase + end, noPosition);
         storeU32(bytes.data() + dataBase + end + 4, 4);
         storeU32(bytes.data() + dataBase + 4, end);
       }, "free block 1 at position 146 is 4 bytes, less than 8"},
      {"free block past the end", [](std::vector<std::uint8_t>& bytes, std::uint32_t dataBase) {
         std::uint32_t end = static_cast<std::uint32_t>(bytes.size()) - dataBase;
         bytes.resize(bytes.size() + 8);
         storeU32(bytes.data() + dataBase + end, noPosition);
         storeU32(bytes.data() + dataBase + end + 4, 64);
         storeU32(bytes.data() + dataBase + 4, end);
       }, "free block 1 at position 146 of 64 bytes runs past the data area"},
      {"sms text over a record", setWord(20, 84), "the remembered SMS number at position 84 overlaps record 2"},
      {"sms text not text", setWord(24, 60), "the remembered SMS message at position 60 is not a Text entry"},
      {"sms text unreadable", setWord(24, 30), "the remembered SMS message at position 30 is not a readable text entry"},
      {"unknown type", [](std::vector<std::uint8_t>& bytes, std::uint32_t dataBase) { bytes[dataBase + 60 + 6] = 3; },
       "record 1 at position 28, field entry at position 60: unknown ValueType 3"},
      {"field cycle", setWord(60, 40), "record 1 at position 28: the field chain returns to position 40"},
      {"sort item outside", setWord(12, 9), "sortItem 9 names no item of the layout"},
  };
  DatabaseImage image = threeRecords();
  std::uint32_t dataBase = dataBaseOf(image);
  for (const DamageCase& c : cases) {
    std::vector<std::uint8_t> bytes = encodeDatabase(image);
    c.damage(bytes, dataBase);
    std::string report = joined(problemsOf(bytes));
    EXPECT_NE(report, "") << c.name;
    EXPECT_NE(report.find(c.line), std::string::npos) << c.name << "\n" << report;
  }
}

TEST(Check, ReportsFaultsInsideRecords) {
  struct Case {
    const char* name;
    std::vector<std::vector<FieldValue>> records;
    const char* line;
  };
  const Case cases[] = {
      {"two entries of one column", {{textValue(1, u"Anna"), integerValue(2, 1), integerValue(2, 2)}},
       "record 1 at position 28: two entries for column 2 (Integer)"},
      {"stored empty value", {{textValue(1, u"Anna"), integerValue(2, 0)}},
       "field entry at position 60: column 2 (Integer) holds a stored empty value"},
      {"stored empty text", {{textValue(1, u"")}}, "column 1 (Text) holds a stored empty value"},
      {"out of sort order", {{textValue(1, u"Ben")}, {textValue(1, u"anna")}}, "records 1 and 2 are out of sort order"},
      {"no key after a key", {{textValue(1, u"Ben")}, {integerValue(2, 1)}}, "records 1 and 2 are out of sort order"},
  };
  for (const Case& c : cases) {
    std::string report = joined(problemsOf(encodeDatabase(namesImage(c.records))));
    EXPECT_NE(report.find(c.line), std::string::npos) << c.name << "\n" << report;
  }
}

FieldValue calendar(ValueType type, SYSTEMTIME time, std::uint32_t noValue = 0) {
  FieldValue value;
  value.valueType = static_cast<std::uint8_t>(type);
  value.payload.calendar.noValue = noValue;
  value.payload.calendar.time = time;
  return value;
}

TEST(Check, ComparesKeysAsTheProgramSorts) {
  FieldValue yes;
  yes.valueType = static_cast<std::uint8_t>(ValueType::YesNo);
  yes.payload.yesNo = 2;
  FieldValue no = yes;
  no.payload.yesNo = 0;
  FieldValue low;
  low.valueType = static_cast<std::uint8_t>(ValueType::Number);
  low.payload.number = -2.5;
  FieldValue high = low;
  high.payload.number = 10;
  struct Case {
    FieldValue a;
    FieldValue b;
    int expected;
  };
  const Case cases[] = {
      {textValue(1, u"apple"), textValue(1, u"APPLE"), 0},
      {textValue(1, u"apple"), textValue(1, u"Banana"), -1},
      {textValue(1, u"b"), textValue(1, u"A"), 1},
      {integerValue(1, -3), integerValue(1, 2), -1},
      {low, high, -1},
      {no, yes, -1},
      // Dates by day only; times by the second only.
      {calendar(ValueType::Date, {2024, 5, 0, 1, 23, 0, 0, 0}), calendar(ValueType::Date, {2024, 5, 3, 1, 1, 0, 0, 0}), 0},
      {calendar(ValueType::Date, {2023, 12, 0, 31, 0, 0, 0, 0}), calendar(ValueType::Date, {2024, 1, 0, 1, 0, 0, 0, 0}), -1},
      {calendar(ValueType::Time, {1899, 12, 0, 30, 9, 0, 1, 0}), calendar(ValueType::Time, {2020, 1, 0, 1, 9, 0, 0, 999}), 1},
      // No date sorts before any date.
      {calendar(ValueType::Date, {2024, 1, 0, 1, 0, 0, 0, 0}, 1), calendar(ValueType::Date, {1900, 1, 0, 1, 0, 0, 0, 0}), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tsq::compareKeys(&c.a, &c.b), c.expected) << tsq::compareKeys(&c.a, &c.b);
    EXPECT_EQ(tsq::compareKeys(&c.b, &c.a), -c.expected);
  }
  // A record without an entry orders by the empty value: before any text,
  // but after a negative number.
  FieldValue text = textValue(1, u"a");
  EXPECT_EQ(tsq::compareKeys(nullptr, &text), -1);
  FieldValue emptyText = textValue(1, u"");
  EXPECT_EQ(tsq::compareKeys(nullptr, &emptyText), 0);
  FieldValue negative = integerValue(1, -5);
  EXPECT_EQ(tsq::compareKeys(nullptr, &negative), 1);
  EXPECT_EQ(tsq::compareKeys(nullptr, nullptr), 0);
}

}  // namespace

namespace {

// Reads a file as dump and check do; whatever the bytes, the answer is an
// error code or a report, never a read outside the file.
void readEveryWay(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& path) {
  tsq_test::writeBytes(path, bytes);
  tsq::TsqFile file;
  ErrorCode code = tsq::openTsqFile(path.string(), file);
  EXPECT_TRUE(code == err::ok || code == err::readData || code == err::newerVersion) << code;
  if (code != err::ok) return;
  DatabaseImage image;
  ErrorCode imageCode = tsq::imageFromFile(file, image);
  EXPECT_TRUE(imageCode == err::ok || imageCode == err::readData);
  tsq::checkFile(file);
}

TEST(Check, HostileFilesGiveAnErrorOrAReport) {
  auto path = tsq_test::scratchFolder() / "hostile.tsq";
  DatabaseImage image = threeRecords();
  image.smsNumber = u"0700";
  std::vector<std::uint8_t> sound = encodeDatabase(image);
  std::uint32_t dataBase = dataBaseOf(image);
  for (std::size_t length = 0; length < sound.size(); ++length)
    readEveryWay(std::vector<std::uint8_t>(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(length)), path);
  for (std::size_t at = 0; at < sound.size(); ++at) {
    // Outside the data area, only the bytes that count or point.
    for (std::uint8_t value : {0x00, 0xFF, 0x1C, 0x48}) {
      std::vector<std::uint8_t> bytes = sound;
      bytes[at] = value;
      if (at < dataBase && value != 0xFF) continue;
      readEveryWay(bytes, path);
    }
  }
}

}  // namespace
