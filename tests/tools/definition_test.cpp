#include "tools/tsq/definition.h"

#include <gtest/gtest.h>

#include "records/encoding.h"
#include "tests/tools/scratch.h"
#include "tools/tsq/tsq_file.h"

namespace {

using tsq::Json;

std::vector<std::uint8_t> bytesOf(const Json& definition) {
  DatabaseImage image;
  std::string error;
  EXPECT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  return encodeDatabase(image);
}

// Writes bytes as a file, reads it back as the tool does, and makes the
// definition of what it read.
Json dumpOf(const std::vector<std::uint8_t>& bytes, const std::filesystem::path& folder) {
  auto path = folder / "dumped.tsq";
  tsq_test::writeBytes(path, bytes);
  tsq::TsqFile file;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok);
  DatabaseImage image;
  EXPECT_EQ(tsq::imageFromFile(file, image), err::ok);
  return tsq::definitionFromImage(image);
}

// Every kind, value type, criterion constant and operator, and the extra
// keys that keep what a caption cannot say.
const char* everything = R"({
  "headerText": "Everything", "password": "Pa55", "mailSubject": "All kinds", "mailRecipient": "a@b.example",
  "readOnly": true, "backgroundColour": "#102030",
  "reserved": {"header2": 7, "header4": 8, "header8": 9, "header11": 10, "header13": 11, "dataHeader": 12},
  "smsNumber": "0700 123", "smsMessage": "On my way",
  "items": [
    {"kind": "Label", "caption": "Name", "colour": "#FF0000"},
    {"kind": "Field", "caption": "Name", "row": 0, "left": 40, "width": 60},
    {"kind": "Field", "caption": "Phone", "numericInput": true, "fieldId": 40},
    {"kind": "Field", "caption": "Qty", "valueType": "Integer"},
    {"kind": "Field", "caption": "Price", "valueType": "Number"},
    {"kind": "Field", "caption": "Cost", "valueType": "Currency"},
    {"kind": "Field", "caption": "Day", "valueType": "Date"},
    {"kind": "Field", "caption": "At", "valueType": "Time"},
    {"kind": "CheckBox", "caption": "Paid", "colour": null},
    {"kind": "PickList", "caption": "Group", "choices": ["A", "B", "Ünïcode"]},
    {"kind": "PickList", "caption": "Empty list", "choices": []},
    {"kind": "Calculated", "caption": "Total", "expression": "([Qty] * [Price] - -1.5) / -(2) * [Paid]", "decimalPlaces": 3},
    {"kind": "Calculated", "caption": "Broken", "expressionCode": "ff"},
    {"kind": "Calculated", "caption": "Odd [x]", "expression": "#13 + 1e-7"},
    {"kind": "GoToButton", "caption": "Go", "target": 3},
    {"kind": "SearchButton", "caption": "S1", "matchAll": false, "criteria": [
      {"item": "Name", "operator": "=", "value": "Anna"},
      {"item": "Qty", "operator": "<>", "value": -4},
      {"item": "*", "operator": "contains", "value": "x"}]},
    {"kind": "SearchButton", "caption": "S2", "criteria": [
      {"item": "Price", "operator": "<", "value": 2.5},
      {"item": "Cost", "operator": ">", "value": 1e6},
      {"item": "Day", "operator": "<=", "value": "2024-02-29"}]},
    {"kind": "SearchButton", "caption": "S3", "criteria": [
      {"item": "At", "operator": ">=", "value": "23:59:59"},
      {"item": "Paid", "operator": 10, "value": true},
      {"item": "Day", "operator": "=", "value": null}]},
    {"kind": "SearchButton", "caption": "S4", "criteria": [
      {"item": "Qty", "operator": "=", "valueType": "Number", "value": 0.5},
      {"item": "Name", "operator": "=", "valueType": 1},
      {"item": "Group", "operator": "contains", "value": "B"}]},
    {"kind": "SearchButton", "caption": "All"},
    {"kind": "SmsButton", "caption": "Sms", "phoneItem": "Phone", "messageItem": null},
    {"kind": "SmsButton", "caption": "Sms 2", "phoneItem": 2, "messageItem": "#1"},
    {"kind": 77, "caption": "Unknown kind", "valueType": 3}
  ],
  "sortItem": "Name",
  "records": [
    {"Name": "Anna", "Qty": 3, "Price": 0.1, "Cost": 12.5, "Day": "2024-01-31", "At": "07:05:00", "Paid": true,
     "Group": "B", "Phone": "+44 20"},
    {"Qty": -2147483648, "Name": "Ben", "_flags": 2147483649},
    {},
    {"Name": "Cleo", "Qty": 0, "Paid": false, "Price": {"payload": "00 00 00 00 00 00 00 00"},
     "_extra": [{"fieldId": 99, "valueType": "Text", "value": "orphan"},
                {"fieldId": 3, "valueType": "Integer", "value": 5}]}
  ]
})";

TEST(DefinitionRoundTrip, DumpOfACreatedFileCreatesTheSameBytes) {
  auto folder = tsq_test::scratchFolder();
  std::vector<std::pair<std::string, Json>> definitions{{"everything", Json::parse(everything)}};
  for (const char* sample : {"contacts", "expenses", "elements", "notebook"}) {
    definitions.emplace_back(sample, Json::parse(tsq_test::readText(std::string(SAMPLES_DIR) + "/" + sample + ".json")));
  }
  for (const auto& [name, definition] : definitions) {
    // The passwords are "Pa55" and "secret"; case does not matter.
    tsq::setPassword(name == "everything" ? u"pa55" : u"SECRET");
    std::vector<std::uint8_t> original = bytesOf(definition);
    Json dumped = dumpOf(original, folder);
    EXPECT_EQ(bytesOf(dumped), original) << name << "\n" << dumped.dump(1);
  }
}

// A file the tool did not make: stored empty values, a time with another
// day of week, trailing bytes after an expression, a criterion constant
// with a calendar behind its "no value" flag, duplicate captions.
DatabaseImage foreignImage() {
  DatabaseImage image;
  auto item = [&](std::uint8_t kind, const char16_t* caption, ValueType type, std::uint16_t fieldId) {
    ItemImage it;
    it.kind = kind;
    it.caption = caption;
    it.valueType = static_cast<std::uint8_t>(type);
    it.fieldId = fieldId;
    image.items.push_back(it);
  };
  item(2, u"Same", ValueType::Text, 1);
  item(2, u"Same", ValueType::Integer, 2);
  item(2, u"_flags", ValueType::Time, 3);
  item(8, u"Calc", ValueType::Number, 0xFFFF);
  image.items[3].expression = {6, 1, 0, 0, 0, 6, 6};  // a column and a stray byte
  item(19, u"Find", ValueType::Text, 0xFFFF);
  SearchCriterion criterion;
  criterion.item = 2;
  criterion.op = 12;
  criterion.value.valueType = static_cast<std::uint8_t>(ValueType::Time);
  criterion.value.payload.calendar.noValue = 1;
  criterion.value.payload.calendar.time = SYSTEMTIME{2001, 2, 3, 4, 5, 6, 7, 8};
  image.items[4].criteria.push_back(criterion);
  image.sortItem = 250;  // outside the layout

  RecordImage record;
  FieldValue time;
  time.fieldId = 3;
  time.valueType = static_cast<std::uint8_t>(ValueType::Time);
  time.payload.calendar.time = SYSTEMTIME{1899, 12, 2, 30, 10, 11, 12, 0};
  FieldValue zero;
  zero.fieldId = 2;
  zero.valueType = static_cast<std::uint8_t>(ValueType::Integer);
  FieldValue text;
  text.fieldId = 1;
  text.valueType = static_cast<std::uint8_t>(ValueType::Text);
  setText(text, u"first");
  FieldValue second = text;
  setText(second, u"second");
  FieldValue yes;
  yes.fieldId = 9;
  yes.valueType = static_cast<std::uint8_t>(ValueType::YesNo);
  yes.payload.yesNo = 7;
  record.values = {time, zero, text, yes, second};
  image.records.push_back(record);
  return image;
}

// Day (Date, column 1) and 2025-05-28 as another program stores it: a
// Monday by its day of week (it was a Wednesday), with 7 milliseconds.
ItemImage dayItem() {
  ItemImage day;
  day.kind = static_cast<std::uint8_t>(ItemKind::Field);
  day.caption = u"Day";
  day.valueType = static_cast<std::uint8_t>(ValueType::Date);
  day.fieldId = 1;
  return day;
}
FieldValue foreignDate(std::uint16_t fieldId) {
  FieldValue date;
  date.fieldId = fieldId;
  date.valueType = static_cast<std::uint8_t>(ValueType::Date);
  date.payload.calendar.time = SYSTEMTIME{2025, 5, 1, 28, 0, 0, 0, 7};
  return date;
}

TEST(DefinitionRoundTrip, KeepsWhatAForeignFileHolds) {
  auto folder = tsq_test::scratchFolder();
  std::vector<std::uint8_t> original = encodeDatabase(foreignImage());
  Json dumped = dumpOf(original, folder);
  EXPECT_EQ(bytesOf(dumped), original) << dumped.dump(1);
  EXPECT_TRUE(dumped["items"][3].contains("expressionCode"));
  EXPECT_EQ(dumped["sortItem"], 250);
  EXPECT_TRUE(dumped["records"][0].contains("_extra"));
}

TEST(Definition, FillsSensibleDefaults) {
  Json definition = Json::parse(R"({"items": [
      {"kind": "Label", "caption": "Name"},
      {"kind": "Field", "caption": "Name"},
      {"kind": "CheckBox", "caption": "Done", "fieldId": 1},
      {"kind": "PickList", "caption": "Kind", "row": 7},
      {"kind": "Calculated", "caption": "Sum", "expression": "[Done] * 2"},
      {"kind": "Field", "caption": "Note"}]})");
  DatabaseImage image;
  std::string error;
  ASSERT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  const auto& items = image.items;
  ASSERT_EQ(items.size(), 6u);
  // Explicit identifiers are kept and skipped by the automatic ones.
  EXPECT_EQ(items[0].fieldId, 0xFFFF);
  EXPECT_EQ(items[1].fieldId, 2);
  EXPECT_EQ(items[2].fieldId, 1);
  EXPECT_EQ(items[3].fieldId, 3);
  EXPECT_EQ(items[4].fieldId, 0xFFFF);
  EXPECT_EQ(items[5].fieldId, 4);
  EXPECT_EQ(items[2].valueType, static_cast<std::uint8_t>(ValueType::YesNo));
  EXPECT_EQ(items[3].valueType, static_cast<std::uint8_t>(ValueType::Text));
  EXPECT_EQ(items[4].valueType, static_cast<std::uint8_t>(ValueType::Number));
  EXPECT_EQ(items[4].decimalPlaces, 2);
  EXPECT_EQ((std::vector<int>{items[0].row, items[1].row, items[2].row, items[3].row, items[4].row, items[5].row}),
            (std::vector<int>{0, 1, 2, 7, 8, 9}));
  for (const auto& item : items) {
    EXPECT_EQ(item.left, 0);
    EXPECT_EQ(item.width, -1);
    EXPECT_EQ(item.colour, 0xFFFFFFFFu);
  }
  EXPECT_EQ(image.header.backgroundColour, 0xFFFFFFu);
  EXPECT_EQ(image.sortItem, noItem);
}

TEST(Definition, StoresRecordValuesInKeyOrderAndLeavesEmptyOnesOut) {
  Json definition = Json::parse(R"({"items": [
      {"kind": "Field", "caption": "A", "valueType": "Integer"},
      {"kind": "Field", "caption": "B", "valueType": "Text"},
      {"kind": "Field", "caption": "C", "valueType": "Date"},
      {"kind": "CheckBox", "caption": "D"}],
    "records": [{"B": "x", "A": 5, "C": null, "D": false}, {"A": 0, "B": "", "D": true}]})");
  DatabaseImage image;
  std::string error;
  ASSERT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  ASSERT_EQ(image.records.size(), 2u);
  ASSERT_EQ(image.records[0].values.size(), 2u);
  EXPECT_EQ(image.records[0].values[0].fieldId, 2);
  EXPECT_EQ(image.records[0].values[1].fieldId, 1);
  EXPECT_EQ(image.records[0].values[1].payload.integer, 5);
  ASSERT_EQ(image.records[1].values.size(), 1u);
  EXPECT_EQ(image.records[1].values[0].fieldId, 4);
}

TEST(Definition, StoresDatesAndTimesAsTheCalendarHoldsThem) {
  Json definition = Json::parse(R"({"items": [
      {"kind": "Field", "caption": "D", "valueType": "Date"}, {"kind": "Field", "caption": "T", "valueType": "Time"}],
    "records": [{"D": "2024-02-29", "T": "13:45:10"}]})");
  DatabaseImage image;
  std::string error;
  ASSERT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  const SYSTEMTIME& date = image.records[0].values[0].payload.calendar.time;
  EXPECT_EQ(image.records[0].values[0].payload.calendar.noValue, 0u);
  EXPECT_EQ((std::vector<int>{date.wYear, date.wMonth, date.wDayOfWeek, date.wDay, date.wHour, date.wMinute}),
            (std::vector<int>{2024, 2, 4, 29, 0, 0}));  // a Thursday
  const SYSTEMTIME& time = image.records[0].values[1].payload.calendar.time;
  EXPECT_EQ((std::vector<int>{time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond}),
            (std::vector<int>{1899, 12, 30, 13, 45, 10}));
}

struct BadCase {
  const char* definition;
  const char* message;
};

TEST(Definition, ABadDefinitionNamesItsPlace) {
  const BadCase cases[] = {
      {R"([])", "must be a JSON object"},
      {R"({"colour": 1})", "unknown key \"colour\""},
      {R"({"items": [{"caption": "X"}]})", "item 0 (\"X\"): kind is missing"},
      {R"({"items": [{"kind": "Button"}]})", "item 0: kind: unknown kind"},
      {R"({"items": [{"kind": "Field", "valueType": "Money"}]})", "valueType: unknown type"},
      {R"({"items": [{"kind": "Field", "colour": "red"}]})", "colour: \"#RRGGBB\""},
      {R"({"items": [{"kind": "Field", "fieldId": 70000}]})", "fieldId"},
      {R"({"items": [{"kind": "Field", "wdith": 3}]})", "unknown key \"wdith\""},
      {R"({"items": [{"kind": "Label", "caption": "A"}, {"kind": "Calculated", "caption": "S", "expression": "[A] * (2"}]})",
       "item 1 (\"S\"): expression: at character 9: ')' expected"},
      {R"({"items": [{"kind": "Calculated", "caption": "S", "expression": "[Nope] + 1"}]})",
       "item 0 (\"S\"): expression: at character 1: no item is called \"Nope\""},
      {R"({"items": [{"kind": "Field", "caption": "A"}, {"kind": "Field", "caption": "A"},
                     {"kind": "GoToButton", "target": "A"}]})", "item 2: target: more than one item is called \"A\""},
      {R"({"items": [{"kind": "GoToButton", "target": 5}]})", "target: no item has index 5"},
      {R"({"items": [{"kind": "GoToButton"}]})", "target is missing"},
      {R"({"items": [{"kind": "Field", "caption": "Q", "valueType": "Integer"},
                     {"kind": "SearchButton", "criteria": [{"item": "Q", "operator": "contains", "value": 1}]}]})",
       "item 1, criterion 0: contains needs a Text item"},
      {R"({"items": [{"kind": "SearchButton", "criteria": [{"item": "*", "operator": "="}]}]})",
       "goes only with contains"},
      {R"({"items": [{"kind": "Field", "caption": "T"}, {"kind": "SearchButton", "criteria": [
          {"item": "T", "operator": "~"}]}]})", "operator: one of"},
      {R"({"items": [{"kind": "Field", "caption": "T"}, {"kind": "SearchButton", "criteria": [
          {"item": 0, "operator": "="}, {"item": 0, "operator": "="}, {"item": 0, "operator": "="},
          {"item": 0, "operator": "="}]}]})", "at most 3 criteria"},
      {R"({"items": [{"kind": "PickList", "choices": ["a choice that is far too long here"]}]})",
       "choices: longer than 31 characters"},
      {R"({"password": "0123456789012345678901234567890123456789012345678901234567890123"})",
       "password: longer than 63"},
      {R"({"items": [{"kind": "Field", "caption": "N", "valueType": "Integer"}], "records": [{"N": 2147483648}]})",
       "record 0: \"N\": a whole number within 32 bits"},
      {R"({"items": [{"kind": "Field", "caption": "N", "valueType": "Integer"}], "records": [{"N": 1.5}]})",
       "record 0: \"N\""},
      {R"({"items": [{"kind": "Field", "caption": "D", "valueType": "Date"}], "records": [{}, {"D": "2023-02-29"}]})",
       "record 1: \"D\": a date \"YYYY-MM-DD\""},
      {R"({"items": [{"kind": "Field", "caption": "T", "valueType": "Time"}], "records": [{"T": "24:00:00"}]})",
       "a time \"HH:MM:SS\""},
      {R"({"items": [{"kind": "CheckBox", "caption": "B"}], "records": [{"B": "yes"}]})", "true or false"},
      {R"({"items": [{"kind": "Field", "caption": "T"}], "records": [{"X": "a"}]})",
       "record 0: \"X\": no value item is called \"X\""},
      {R"({"items": [{"kind": "Label", "caption": "L"}], "records": [{"L": "a"}]})", "no value item is called \"L\""},
      {R"({"items": [{"kind": "Field", "caption": "T"}], "records": [{"T": "a", "#0": "b"}]})", "given twice"},
      {R"({"items": [{"kind": "Field", "caption": "T"}], "records": [{"T": {"payload": "01 00"}}]})",
       "payload does not fit a Text"},
      {R"({"items": [{"kind": "Field", "caption": "T"}], "records": [{"T": "a\u0000b"}]})", "zero character"},
      {R"({"sortItem": "Nothing"})", "sortItem: no item is called"},
  };
  for (const BadCase& c : cases) {
    DatabaseImage image;
    std::string error;
    EXPECT_FALSE(tsq::imageFromDefinition(Json::parse(c.definition), image, error)) << c.definition;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.definition << "\n  gave: " << error;
  }
}

}  // namespace

namespace {

// A date made elsewhere: 2025-05-28 stored with another day of week and
// with milliseconds, as a record value, a second entry and a search constant.
TEST(DefinitionRoundTrip, ADateMadeElsewhereIsDumpedPlainWithItsBytesBeside) {
  DatabaseImage image;
  image.items.push_back(dayItem());
  SearchCriterion criterion;
  criterion.item = 0;
  criterion.op = op::equal;
  criterion.value = foreignDate(0);
  ItemImage search;
  search.kind = static_cast<std::uint8_t>(ItemKind::SearchButton);
  search.caption = u"Find";
  search.criteria.push_back(criterion);
  image.items.push_back(search);
  RecordImage record;
  record.values = {foreignDate(1), foreignDate(1)};
  image.records.push_back(record);

  std::vector<std::uint8_t> original = encodeDatabase(image);
  Json dumped = dumpOf(original, tsq_test::scratchFolder());
  const Json& dumpedRecord = dumped["records"][0];
  EXPECT_EQ(dumpedRecord["Day"], "2025-05-28") << dumped.dump(1);
  EXPECT_EQ(dumpedRecord["_payloads"]["Day"], "00 00 00 00 e9 07 05 00 01 00 1c 00 00 00 00 00 00 00 07 00");
  EXPECT_EQ(dumpedRecord["_extra"][0]["value"], "2025-05-28");
  EXPECT_EQ(dumpedRecord["_extra"][0]["payload"], dumpedRecord["_payloads"]["Day"]);
  EXPECT_EQ(dumped["items"][1]["criteria"][0]["value"], "2025-05-28");
  EXPECT_TRUE(dumped["items"][1]["criteria"][0].contains("payload"));
  EXPECT_EQ(bytesOf(dumped), original) << dumped.dump(1);
}

// The bytes beside a value stand only for that value: an edited value is
// an error, not silently replaced by the old bytes.
TEST(Definition, ExactBytesMustHoldTheValueBesideThem) {
  const char* bytes = R"("00 00 00 00 e9 07 05 00 01 00 1c 00 00 00 00 00 00 00 07 00")";
  auto definition = [&](const char* record) {
    return Json::parse(std::string(R"({"items": [{"kind": "Field", "caption": "Day", "valueType": "Date"}],
        "records": [)") + record + "]}");
  };
  const BadCase cases[] = {
      {R"({"Day": "2025-05-29", "_payloads": {"Day": %}})", "record 0: \"Day\": the payload holds another value"},
      {R"({"_payloads": {"Day": %}})", "_payloads: \"Day\" names no value of the record"},
      {R"({"Day": "2025-05-28", "_payloads": {"Day": "00 01"}})", "the payload does not fit a Date"},
      {R"({"Day": "2025-05-28", "_payloads": [1]})", "_payloads: an object"},
  };
  for (const BadCase& c : cases) {
    std::string record = c.definition;
    if (std::size_t at = record.find('%'); at != std::string::npos) record.replace(at, 1, bytes);
    DatabaseImage image;
    std::string error;
    EXPECT_FALSE(tsq::imageFromDefinition(definition(record.c_str()), image, error)) << record;
    EXPECT_NE(error.find(c.message), std::string::npos) << record << "\n  gave: " << error;
  }
  // The same date is stored with the bytes given.
  DatabaseImage image;
  std::string error;
  ASSERT_TRUE(tsq::imageFromDefinition(
      definition((std::string(R"({"Day": "2025-05-28", "_payloads": {"Day": )") + bytes + "}}").c_str()), image, error))
      << error;
  EXPECT_EQ(image.records[0].values[0].payload.calendar.time.wDayOfWeek, 1);
  EXPECT_EQ(image.records[0].values[0].payload.calendar.time.wMilliseconds, 7);
}

}  // namespace
