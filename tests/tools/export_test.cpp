// tsq export: records as CSV in the forms import reads back.
#include "tools/tsq/export.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/windows.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "tests/tools/tsq_commands.h"
#include "tools/tsq/check.h"
#include "tools/tsq/import.h"
#include "tools/tsq/references.h"

namespace {

using tsq::Json;
using tsq_test::Outcome;

std::string csvOf(const std::filesystem::path& path, std::vector<std::string>* warnings = nullptr) {
  tsq::TsqFile file;
  EXPECT_EQ(tsq::openTsqFile(path.string(), file), err::ok);
  std::string text;
  std::vector<std::string> lines;
  EXPECT_EQ(tsq::csvFromFile(file, text, lines), err::ok);
  if (warnings != nullptr) *warnings = lines;
  return text;
}

// Each record as its value items' values, compared as the store compares.
void expectSameRecords(const DatabaseImage& a, const DatabaseImage& b, const std::string& name) {
  ASSERT_EQ(a.records.size(), b.records.size()) << name;
  for (std::size_t r = 0; r < a.records.size(); ++r) {
    for (std::uint32_t i = 0; i < a.items.size(); ++i) {
      if (!isValueKind(a.items[i].kind)) continue;
      auto valueOf = [&](const RecordImage& record) -> std::optional<FieldValue> {
        for (const FieldValue& value : record.values)
          if (tsq::ownerOf(value, a.items) == i) return value;
        return std::nullopt;
      };
      auto x = valueOf(a.records[r]);
      auto y = valueOf(b.records[r]);
      ASSERT_EQ(x.has_value(), y.has_value()) << name << " record " << r << " item " << i;
      if (!x) continue;
      int order = 1;
      EXPECT_EQ(compareValues(*x, *y, order), err::ok);
      EXPECT_EQ(order, 0) << name << " record " << r << " item " << i;
      if (x->valueType == static_cast<std::uint8_t>(ValueType::Number) ||
          x->valueType == static_cast<std::uint8_t>(ValueType::Currency)) {
        EXPECT_EQ(x->payload.number, y->payload.number) << name << " record " << r << " item " << i;
      }
    }
  }
}

// Every sample exported and imported into an empty copy of itself gives the
// same records in the same order, and the same CSV once more.
TEST(Export, EverySampleComesBackThroughImport) {
  auto folder = tsq_test::scratchFolder();
  tsq::setPassword(u"secret");
  for (const char* sample : {"contacts", "expenses", "elements", "notebook"}) {
    Json definition = Json::parse(tsq_test::readText(std::string(SAMPLES_DIR) + "/" + sample + ".json"));
    auto original = folder / (std::string(sample) + ".tsq");
    tsq_test::createFile(original, definition);
    std::vector<std::string> warnings;
    const std::string csv = csvOf(original, &warnings);
    EXPECT_EQ(warnings, std::vector<std::string>{}) << sample;
    tsq_test::writeBytes(folder / "data.csv", std::vector<std::uint8_t>(csv.begin(), csv.end()));

    definition["records"] = Json::array();
    auto copy = folder / (std::string(sample) + "-copy.tsq");
    tsq_test::createFile(copy, definition);
    Outcome run = tsq_test::runCommand([&](tsq::Console& console) {
      return tsq::importCommand(copy.string(), (folder / "data.csv").string(), console);
    });
    ASSERT_EQ(run.status, tsq::exitDone) << sample << "\n" << run.err;
    expectSameRecords(tsq_test::imageOfFile(original), tsq_test::imageOfFile(copy), sample);
    EXPECT_EQ(csvOf(copy), csv) << sample;
    tsq::TsqFile file;
    ASSERT_EQ(tsq::openTsqFile(copy.string(), file), err::ok);
    EXPECT_EQ(tsq::checkFile(file), std::vector<std::string>{}) << sample;
  }
  tsq::setPassword(std::nullopt);
}

TEST(Export, CellsInTheFormsImportReads) {
  auto folder = tsq_test::scratchFolder();
  tsq_test::createFile(folder / "db.tsq", Json::parse(R"({"items": [
      {"kind": "Field", "caption": "Same"}, {"kind": "Field", "caption": "Same", "valueType": "Integer"},
      {"kind": "Field", "caption": "Price", "valueType": "Number"}, {"kind": "Field", "caption": "Cost", "valueType": "Currency"},
      {"kind": "Field", "caption": "Day", "valueType": "Date"}, {"kind": "Field", "caption": "At", "valueType": "Time"},
      {"kind": "CheckBox", "caption": "Paid"}, {"kind": "PickList", "caption": "Group", "choices": ["A"]},
      {"kind": "Label", "caption": "Not a column"}],
    "records": [
      {"#0": "Text, with \"quotes\"\nand a line break", "#1": -12, "Price": 0.1, "Cost": 2.5, "Day": "2024-02-29",
       "At": "07:05:09", "Paid": true, "Group": "A"},
      {"Price": 1e-7, "Cost": -1234567.89},
      {}]})"));
  std::vector<std::string> warnings;
  EXPECT_EQ(csvOf(folder / "db.tsq", &warnings),
            "#0,#1,Price,Cost,Day,At,Paid,Group\r\n"
            "\"Text, with \"\"quotes\"\"\nand a line break\",-12,0.1,2.5,2024-02-29,07:05:09,1,A\r\n"
            ",,0.0000001,-1234567.89,,,,\r\n"
            ",,,,,,,\r\n");
  EXPECT_EQ(warnings, std::vector<std::string>{});
}

// What no cell holds exactly is written as near as it can be, and said.
TEST(Export, ValuesNoCellHoldsAreReported) {
  auto folder = tsq_test::scratchFolder();
  tsq_test::createFile(folder / "db.tsq", Json::parse(R"({"items": [
      {"kind": "Field", "caption": "Cost", "valueType": "Currency"},
      {"kind": "Field", "caption": "N", "valueType": "Number"},
      {"kind": "Field", "caption": "Note"}],
    "records": [
      {"Cost": 1.005, "N": {"payload": "00 00 00 00 00 00 f8 7f"}, "Note": {"payload": "04 00 61 00 00 00 62 00 00 00"},
       "_extra": [{"fieldId": 99, "valueType": "Integer", "value": 1}]}]})"));
  std::vector<std::string> warnings;
  EXPECT_EQ(csvOf(folder / "db.tsq", &warnings), "Cost,N,Note\r\n1.01,,a\r\n");
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "record 1, \"Cost\": the amount 1.005 has more than two decimals; written as 1.01",
                          "record 1, \"N\": a Number that is no number has no text",
                          "record 1, \"Note\": the text holds a zero character; written up to it",
                          "1 value belongs to no column and is not exported"}));
}

TEST(Export, AnOutputFileIsReplacedOnlyWithForce) {
  auto folder = tsq_test::scratchFolder();
  tsq_test::createFile(folder / "db.tsq", Json::parse(R"({"items": [{"kind": "Field", "caption": "A"}],
      "records": [{"A": "x"}]})"));
  auto out = folder / "out.csv";
  auto run = [&](bool force) {
    return tsq_test::runCommand([&](tsq::Console& console) {
      return tsq::exportCommand((folder / "db.tsq").string(), out.string(), force, console);
    });
  };
  EXPECT_EQ(run(false).status, tsq::exitDone);
  EXPECT_EQ(tsq_test::readText(out), "A\r\nx\r\n");
  tsq_test::writeBytes(out, {'k', 'e', 'e', 'p'});
  Outcome refused = run(false);
  EXPECT_EQ(refused.status, tsq::exitFailure);
  EXPECT_EQ(refused.err, "tsq: " + out.string() + ": exists already (--force replaces it)\n");
  EXPECT_EQ(tsq_test::readText(out), "keep");
  EXPECT_EQ(run(true).status, tsq::exitDone);
  EXPECT_EQ(tsq_test::readText(out), "A\r\nx\r\n");

  Outcome toStdout = tsq_test::runCommand(
      [&](tsq::Console& console) { return tsq::exportCommand((folder / "db.tsq").string(), "", false, console); });
  EXPECT_EQ(toStdout.out, "A\r\nx\r\n");

  std::u16string path = platform::fromUtf8((folder / "db.tsq").string());
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Outcome inUse = run(true);
  CloseHandle(held);
  EXPECT_EQ(inUse.status, tsq::exitFailure);
  EXPECT_NE(inUse.err.find("is in use (open in Tessra?)"), std::string::npos) << inUse.err;
}

}  // namespace
