// tsq create stores the records in the program's order of the sort item.
#include "tools/tsq/record_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "records/encoding.h"
#include "tests/tools/scratch.h"
#include "tools/tsq/check.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/tsq_file.h"

namespace {

using tsq::Json;

DatabaseImage imageOf(const Json& definition) {
  DatabaseImage image;
  std::string error;
  EXPECT_TRUE(tsq::imageFromDefinition(definition, image, error)) << error;
  return image;
}

std::vector<std::string> problemsOf(const DatabaseImage& image) {
  auto path = tsq_test::scratchFolder() / "made.tsq";
  tsq_test::writeBytes(path, encodeDatabase(image));
  tsq::TsqFile file;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok);
  return file.layout ? tsq::checkFile(file) : std::vector<std::string>{"unreadable"};
}

// The stored Tag of each record, in file order.
std::vector<int> tagsOf(const DatabaseImage& image) {
  std::vector<int> tags;
  for (const RecordImage& record : image.records) {
    int tag = 0;
    for (const FieldValue& value : record.values)
      if (value.fieldId == 2) tag = value.payload.integer;
    tags.push_back(tag);
  }
  return tags;
}

TEST(CreateOrder, TheReportedDefinitionIsSound) {
  DatabaseImage image = imageOf(Json::parse(
      R"({"items":[{"kind":"Field","caption":"Item"}],"sortItem":"Item","records":[{"Item":"bolts"},{"Item":"Anchors"}]})"));
  EXPECT_EQ(problemsOf(image), std::vector<std::string>{});
  ASSERT_EQ(image.records.size(), 2u);
  EXPECT_EQ(std::u16string(image.records[0].values[0].payload.text.chars), u"Anchors");
}

struct KeyCase {
  const char* kind;
  const char* valueType;
  std::vector<Json> values;  // with repeats and nulls (no entry)
};

// For every key type: values shuffled, repeated and missing. The file is
// sound, and records with equal keys keep the definition's order.
TEST(CreateOrder, ShuffledDefinitionsOfEveryKeyTypeComeOutSorted) {
  const KeyCase cases[] = {
      {"Field", "Integer", {5, -3, 0, nullptr, 2147483647, -2147483648, 5, 12, -3}},
      {"Field", "Number", {2.5, -0.5, 0.0, nullptr, 1e300, -1e-300, 2.5, 3, -7.25}},
      {"Field", "Currency", {12.5, -1.25, nullptr, 0.01, 12.5, 100, -100}},
      {"Field", "Date", {"2024-02-29", "1999-12-31", nullptr, "2024-02-29", "0001-01-01", "9999-12-31"}},
      {"Field", "Time", {"23:59:59", "00:00:00", nullptr, "12:30:00", "12:30:00", "00:00:01"}},
      {"Field", "Text", {"bolts", "Anchors", "anchors", "", "Zebra", "zeta", "äpfel", "Bolts", "b"}},
      {"CheckBox", "YesNo", {true, false, nullptr, true, false, true}},
      {"PickList", "Text", {"B", "a", "A", nullptr, "c", "b"}},
  };
  std::mt19937 random(20240529);
  for (const KeyCase& c : cases) {
    for (int round = 0; round < 4; ++round) {
      std::vector<Json> values;
      for (int copy = 0; copy < 3; ++copy) values.insert(values.end(), c.values.begin(), c.values.end());
      std::shuffle(values.begin(), values.end(), random);
      Json definition = {{"items", Json::array({{{"kind", c.kind}, {"caption", "Key"}, {"valueType", c.valueType}},
                                                {{"kind", "Field"}, {"caption", "Tag"}, {"valueType", "Integer"}}})},
                         {"sortItem", "Key"},
                         {"records", Json::array()}};
      for (std::size_t i = 0; i < values.size(); ++i) {
        Json record = {{"Tag", i + 1}};
        if (!values[i].is_null()) record["Key"] = values[i];
        definition["records"].push_back(record);
      }
      DatabaseImage image = imageOf(definition);
      ASSERT_EQ(image.records.size(), values.size());
      EXPECT_EQ(problemsOf(image), std::vector<std::string>{}) << c.valueType << "\n" << definition.dump();
      // Equal keys keep the definition's order (the tags rise among them).
      std::vector<int> tags = tagsOf(image);
      for (std::size_t i = 1; i < image.records.size(); ++i) {
        FieldValue a = tsq::sortKey(image.records[i - 1], image.items[0]);
        FieldValue b = tsq::sortKey(image.records[i], image.items[0]);
        if (tsq::orderKeys(a, b) == 0) {
          EXPECT_LT(tags[i - 1], tags[i]) << c.valueType << " at " << i;
        }
      }
    }
  }
}

// A Number that is no number equals everything in the store's comparison;
// the numbers around it still come out in order.
TEST(CreateOrder, ANotANumberLeavesTheOtherNumbersInOrder) {
  const char* nan = R"({"payload": "00 00 00 00 00 00 f8 7f"})";
  Json definition = Json::parse(std::string(R"({"items": [{"kind": "Field", "caption": "N", "valueType": "Number"}],
      "sortItem": "N", "records": [{"N": 3}, {"N": )") + nan + R"(}, {"N": 1}, {"N": 2}, {"N": )" + nan + "}]}");
  DatabaseImage image = imageOf(definition);
  EXPECT_EQ(problemsOf(image), std::vector<std::string>{});
  std::vector<double> numbers;
  for (const RecordImage& record : image.records)
    if (!std::isnan(record.values[0].payload.number)) numbers.push_back(record.values[0].payload.number);
  EXPECT_EQ(numbers, (std::vector<double>{1, 2, 3}));
}

// Without a sort item, or with one outside the layout, the definition's order stands.
TEST(CreateOrder, WithoutASortItemTheDefinitionsOrderStands) {
  for (const char* sort : {"null", "7"}) {
    DatabaseImage image = imageOf(Json::parse(std::string(R"({"items": [{"kind": "Field", "caption": "Key"},
        {"kind": "Field", "caption": "Tag", "valueType": "Integer"}], "sortItem": )") + sort +
                                              R"(, "records": [{"Key": "c", "Tag": 1}, {"Key": "a", "Tag": 2}]})"));
    EXPECT_EQ(tagsOf(image), (std::vector<int>{1, 2})) << sort;
  }
}

TEST(MergedOrder, AddedRecordsFollowEqualKeysAndKeepTheirOrder) {
  auto key = [](std::int32_t v) {
    FieldValue value;
    value.valueType = static_cast<std::uint8_t>(ValueType::Integer);
    value.payload.integer = v;
    return value;
  };
  // Existing 1 3 3 5 (0..3); added 3 0 5 3 9 (4..8).
  const std::vector<FieldValue> keys = {key(1), key(3), key(3), key(5), key(3), key(0), key(5), key(3), key(9)};
  auto order = [&](std::size_t a, std::size_t b) { return tsq::orderKeys(keys[a], keys[b]); };
  EXPECT_EQ(tsq::mergedOrder(4, 5, order), (std::vector<std::size_t>{5, 0, 1, 2, 4, 7, 3, 6, 8}));
  EXPECT_EQ(tsq::mergedOrder(2, 0, order), (std::vector<std::size_t>{0, 1}));
  // Added alone: 1 3 3 5 sorted, equal ones in their order.
  EXPECT_EQ(tsq::mergedOrder(0, 4, order), (std::vector<std::size_t>{0, 1, 2, 3}));
  // An added key equal to the last existing one follows it.
  EXPECT_EQ(tsq::mergedOrder(3, 0, order), (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(tsq::mergedOrder(2, 1, order), (std::vector<std::size_t>{0, 1, 2}));
}

}  // namespace
