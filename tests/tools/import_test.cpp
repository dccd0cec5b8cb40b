// tsq import: cells read as they are typed, the header's columns, records in
// their sorted places, and nothing written unless everything is.
#include "tools/tsq/import.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/emulator.h"
#include "platform/text.h"
#include "platform/windows.h"
#include "records/encoding.h"
#include "tests/tools/tsq_commands.h"
#include "tools/tsq/cell_values.h"
#include "tools/tsq/check.h"

namespace {

using tsq::Json;
using tsq_test::Outcome;

// A value of type from a cell, or the reason it is none.
struct Cell {
  bool ok;
  FieldValue value;
  std::string why;
};
Cell cellOf(ValueType type, std::string_view text) {
  Cell cell{false, FieldValue{}, {}};
  cell.value.fieldId = 1;
  cell.value.valueType = static_cast<std::uint8_t>(type);
  cell.ok = tsq::valueFromCell(text, cell.value, cell.why);
  return cell;
}

TEST(ImportCells, NumbersAreReadAsTheKeypadTakesThem) {
  struct Case {
    ValueType type;
    std::string text;
    double value;  // the Integer, Number or Currency read
  };
  const Case good[] = {
      {ValueType::Integer, "42", 42},   {ValueType::Integer, "-7", -7},          {ValueType::Integer, "  12", 12},
      {ValueType::Integer, "", 0},      {ValueType::Integer, "-", 0},            {ValueType::Integer, "   ", 0},
      {ValueType::Integer, "007", 7},   {ValueType::Integer, "2147483647", 2147483647.0},
      {ValueType::Integer, "-2147483648", -2147483648.0},
      {ValueType::Number, "2.5", 2.5},  {ValueType::Number, ".5", 0.5},          {ValueType::Number, "5.", 5},
      {ValueType::Number, "-.25", -0.25}, {ValueType::Number, "0.1", 0.1},       {ValueType::Number, "-0", -0.0},
      {ValueType::Number, "123456789.123456789", 123456789.123456789},
      {ValueType::Currency, "12.50", 12.5}, {ValueType::Currency, "-1.25", -1.25}, {ValueType::Currency, "3", 3},
  };
  for (const Case& c : good) {
    Cell cell = cellOf(c.type, c.text);
    ASSERT_TRUE(cell.ok) << c.text << ": " << cell.why;
    double read = c.type == ValueType::Integer ? cell.value.payload.integer : cell.value.payload.number;
    // Exact: the nearest double to the digits, as the shortest export gives them.
    EXPECT_EQ(read, c.value) << c.text;
    EXPECT_EQ(std::signbit(read), std::signbit(c.value)) << c.text;
  }
  struct Bad {
    ValueType type;
    std::string text;
    const char* why;
  };
  const Bad bad[] = {
      {ValueType::Integer, "1.5", "is not a whole number"},  {ValueType::Integer, "12 ", "is not a whole number"},
      {ValueType::Integer, "+3", "is not a whole number"},   {ValueType::Integer, "1,000", "is not a whole number"},
      {ValueType::Integer, "abc", "is not a whole number"},  {ValueType::Integer, "2147483648", "too large for an Integer"},
      {ValueType::Integer, "-2147483649", "too large"},      {ValueType::Number, "1e5", "is not a number"},
      {ValueType::Number, "1.2.3", "is not a number"},       {ValueType::Number, "NaN", "is not a number"},
      {ValueType::Number, "1" + std::string(400, '0'), "too large for a Number"},
      {ValueType::Currency, "1.234", "two decimals"},
  };
  for (const Bad& c : bad) {
    Cell cell = cellOf(c.type, c.text);
    EXPECT_FALSE(cell.ok) << c.text;
    EXPECT_NE(cell.why.find(c.why), std::string::npos) << c.text << "\n  gave: " << cell.why;
  }
}

TEST(ImportCells, YesNoDatesTimesAndTexts) {
  for (const char* yes : {"1", "yes", "Yes", "TRUE", "t", "Y"}) {
    Cell cell = cellOf(ValueType::YesNo, yes);
    EXPECT_TRUE(cell.ok && cell.value.payload.yesNo == 1) << yes;
  }
  for (const char* no : {"0", "no", "False", "n", "F", ""}) {
    Cell cell = cellOf(ValueType::YesNo, no);
    EXPECT_TRUE(cell.ok && cell.value.payload.yesNo == 0) << no;
  }

  Cell date = cellOf(ValueType::Date, "2024-02-29");
  ASSERT_TRUE(date.ok);
  const SYSTEMTIME& d = date.value.payload.calendar.time;
  EXPECT_EQ((std::vector<int>{d.wYear, d.wMonth, d.wDayOfWeek, d.wDay, d.wHour, d.wMilliseconds}),
            (std::vector<int>{2024, 2, 4, 29, 0, 0}));
  EXPECT_EQ(date.value.payload.calendar.noValue, 0u);
  EXPECT_EQ(cellOf(ValueType::Date, "").value.payload.calendar.noValue, 1u);  // no date
  for (const char* time : {"13:45", "13:45:10"}) {
    Cell cell = cellOf(ValueType::Time, time);
    ASSERT_TRUE(cell.ok) << time;
    const SYSTEMTIME& t = cell.value.payload.calendar.time;
    EXPECT_EQ((std::vector<int>{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute}), (std::vector<int>{1899, 12, 30, 13, 45}));
  }

  Cell text = cellOf(ValueType::Text, "Ünïcode, \"quoted\"");
  ASSERT_TRUE(text.ok);
  EXPECT_EQ(std::u16string(text.value.payload.text.chars), u"Ünïcode, \"quoted\"");
  EXPECT_TRUE(cellOf(ValueType::Text, std::string(258, 'x')).ok);

  struct Bad {
    ValueType type;
    std::string text;
    const char* why;
  };
  const Bad bad[] = {
      {ValueType::YesNo, "maybe", "is not a YesNo value"},  {ValueType::YesNo, "2", "is not a YesNo value"},
      {ValueType::Date, "2023-02-29", "is not a date YYYY-MM-DD"}, {ValueType::Date, "29.02.2024", "is not a date"},
      {ValueType::Date, "2024-2-9", "is not a date"},       {ValueType::Time, "24:00", "is not a time HH:MM or HH:MM:SS"},
      {ValueType::Time, "1:2:3", "is not a time"},          {ValueType::Text, std::string(259, 'x'), "longer than 258"},
      {ValueType::Text, "bad \xff byte", "is not UTF-8"},   {ValueType::Text, "\xc0\xaf", "is not UTF-8"},
      {ValueType::Text, std::string("a\0b", 3), "zero character"},
  };
  for (const Bad& c : bad) {
    Cell cell = cellOf(c.type, c.text);
    EXPECT_FALSE(cell.ok) << c.text;
    EXPECT_NE(cell.why.find(c.why), std::string::npos) << c.text << "\n  gave: " << cell.why;
  }
}

// Name sorts; a label shares its caption; Total holds no values.
Json layout() {
  return Json::parse(R"({"items": [
      {"kind": "Label", "caption": "Name"},
      {"kind": "Field", "caption": "Name"},
      {"kind": "Field", "caption": "Qty", "valueType": "Integer"},
      {"kind": "Field", "caption": "Price", "valueType": "Currency"},
      {"kind": "Field", "caption": "Day", "valueType": "Date"},
      {"kind": "CheckBox", "caption": "Paid"},
      {"kind": "PickList", "caption": "Group", "choices": ["A", "B"]},
      {"kind": "Calculated", "caption": "Total", "expression": "[Qty] * [Price]"}],
    "sortItem": "Name", "records": []})");
}

std::vector<ItemImage> layoutItems() {
  DatabaseImage image;
  std::string error;
  EXPECT_TRUE(tsq::imageFromDefinition(layout(), image, error)) << error;
  return image.items;
}

struct Rows {
  std::vector<RecordImage> records;
  std::vector<std::string> problems;
};
Rows rowsOf(std::string_view csv) {
  Rows rows;
  rows.problems = tsq::recordsFromCsv(csv, layoutItems(), [&](const RecordImage& record) { rows.records.push_back(record); });
  return rows;
}

TEST(ImportRows, TheHeaderNamesValueItemsAndTheRowsFollowIt) {
  struct Case {
    const char* name;
    std::string csv;
    std::vector<std::string> problems;  // each the start of one reported line
  };
  const Case cases[] = {
      {"an unknown column is named", "Name,Qty,Bogus\nx,1,2\n", {"line 1, column 3: no value item is called \"Bogus\""}},
      {"a column twice", "Name,#1\n", {"line 1, column 2: \"#1\" names a column given before"}},
      {"an item without values", "Name,Total\n", {"line 1, column 2: no value item is called \"Total\""}},
      {"#n of an item without values", "#7\n", {"line 1, column 1: item #7 holds no values"}},
      {"no header", "\n\n", {"line 1: the header row naming the columns is missing"}},
      {"a bad cell with its line, column and text", "Name,Qty\n\"two\nlines\",1\nb,x1\n",
       {"line 4, column 2 (\"Qty\"): \"x1\" is not a whole number"}},
      {"every bad cell", "Qty,Day,Paid\n1.5,2024-13-01,maybe\n",
       {"line 2, column 1 (\"Qty\"): \"1.5\" is not a whole number",
        "line 2, column 2 (\"Day\"): \"2024-13-01\" is not a date",
        "line 2, column 3 (\"Paid\"): \"maybe\" is not a YesNo value"}},
      {"a cell outside the named columns", "Name,Qty\na,1,extra\n", {"line 2, column 3: \"extra\" stands in a column without a name"}},
      {"a cell under an empty header cell", "Name,,Qty\na,b,1\n", {"line 2, column 2: \"b\" stands in a column"}},
      {"a long text", "Name\n" + std::string(259, 'x') + "\n", {"line 2, column 1 (\"Name\"): \"xxxx"}},
      {"malformed CSV", "Name\n\"a\"b\n", {"line 2: not well-formed CSV"}},
      {"fine: a missing column, extra empty cells, a short row", "Qty,Name,\n1,a,\n2\n", {}},
  };
  for (const Case& c : cases) {
    Rows rows = rowsOf(c.csv);
    ASSERT_EQ(rows.problems.size(), c.problems.size()) << c.name << "\n" << ::testing::PrintToString(rows.problems);
    for (std::size_t i = 0; i < c.problems.size(); ++i)
      EXPECT_EQ(rows.problems[i].rfind(c.problems[i], 0), 0u) << c.name << "\n  gave: " << rows.problems[i];
  }
}

TEST(ImportRows, ValuesStandInLayoutOrderAndEmptyOnesAreLeftOut) {
  Rows rows = rowsOf("Paid,Group,Qty,Name\nyes,B,0,Anna\n,,,\n");
  ASSERT_TRUE(rows.problems.empty());
  ASSERT_EQ(rows.records.size(), 2u);
  std::vector<int> fieldIds;
  for (const FieldValue& value : rows.records[0].values) fieldIds.push_back(value.fieldId);
  EXPECT_EQ(fieldIds, (std::vector<int>{1, 5, 6}));  // Name, Paid, Group; Qty 0 is empty
  EXPECT_TRUE(rows.records[1].values.empty());
}

TEST(ImportRows, ListsAHundredProblemsAndCountsTheRest) {
  std::string csv = "Qty\n";
  for (int i = 0; i < 150; ++i) csv += "x\n";
  Rows rows = rowsOf(csv);
  ASSERT_EQ(rows.problems.size(), tsq::maxListedProblems + 1);
  EXPECT_EQ(rows.problems.back(), "... and 50 more problems");
}

// ---- The command on files ------------------------------------------------------

class ImportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = tsq_test::scratchFolder();
    database = folder / "db.tsq";
    csv = folder / "data.csv";
  }
  void TearDown() override { platform::clearFileFaults(); }

  void makeDatabase(Json definition) { tsq_test::createFile(database, definition); }
  void writeCsv(const std::string& text) { std::ofstream(csv, std::ios::binary) << text; }
  Outcome import() {
    return tsq_test::runCommand([&](tsq::Console& console) {
      return tsq::importCommand(database.string(), csv.string(), console);
    });
  }
  std::vector<std::string> problems() {
    tsq::TsqFile file;
    EXPECT_EQ(tsq::openTsqFile(database.string(), file), err::ok);
    return file.layout ? tsq::checkFile(file) : std::vector<std::string>{"unreadable"};
  }
  // The Name and Qty of each record in chain order, as "name/qty".
  std::vector<std::string> records() {
    std::vector<std::string> list;
    for (const RecordImage& record : tsq_test::imageOfFile(database).records) {
      std::string name;
      std::string qty;
      for (const FieldValue& value : record.values) {
        if (value.fieldId == 1) name = platform::toUtf8(value.payload.text.chars);
        if (value.fieldId == 2) qty = std::to_string(value.payload.integer);
      }
      list.push_back(name + "/" + qty);
    }
    return list;
  }
  std::vector<std::string> folderFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::filesystem::path folder;
  std::filesystem::path database;
  std::filesystem::path csv;
};

Json withRecords(Json definition, const char* records) {
  definition["records"] = Json::parse(records);
  return definition;
}

TEST_F(ImportCommand, RecordsTakeTheirSortedPlacesAfterEqualKeys) {
  makeDatabase(withRecords(layout(), R"([{"Name": "b", "Qty": 1}, {"Name": "d", "Qty": 2}])"));
  writeCsv("Name,Qty\r\nc,3\r\na,4\r\nd,5\r\nB,6\r\n,7\r\n");
  Outcome run = import();
  EXPECT_EQ(run.status, tsq::exitDone) << run.err;
  EXPECT_EQ(run.out, database.string() + ": 5 records imported\n");
  EXPECT_EQ(problems(), std::vector<std::string>{});
  // No name sorts first; B equals b and follows it, the new d the old one.
  EXPECT_EQ(records(), (std::vector<std::string>{"/7", "a/4", "b/1", "B/6", "c/3", "d/2", "d/5"}));
  EXPECT_EQ(folderFiles(), (std::vector<std::string>{"data.csv", "db.tsq"}));
}

TEST_F(ImportCommand, WithoutASortOrderRecordsGoToTheEnd) {
  Json definition = withRecords(layout(), R"([{"Name": "m", "Qty": 1}])");
  definition["sortItem"] = nullptr;
  makeDatabase(definition);
  writeCsv("Qty,Name\n2,z\n3,a\n");
  EXPECT_EQ(import().status, tsq::exitDone);
  EXPECT_EQ(records(), (std::vector<std::string>{"m/1", "z/2", "a/3"}));
  EXPECT_EQ(problems(), std::vector<std::string>{});
}

TEST_F(ImportCommand, OneBadCellLeavesTheFileAsItWas) {
  makeDatabase(withRecords(layout(), R"([{"Name": "b"}])"));
  const auto before = tsq_test::readBytes(database);
  writeCsv("Name,Qty\na,1\nc,one\nd,4\n");
  Outcome run = import();
  EXPECT_EQ(run.status, tsq::exitProblems);
  EXPECT_EQ(run.err, "tsq: " + csv.string() + ": line 3, column 2 (\"Qty\"): \"one\" is not a whole number (digits, "
                     "an optional '-')\ntsq: " + database.string() + ": nothing imported\n");
  EXPECT_EQ(tsq_test::readBytes(database), before);
  EXPECT_EQ(folderFiles(), (std::vector<std::string>{"data.csv", "db.tsq"}));
}

// Every open, read, seek and write of the import failing once: the
// database is the same byte for byte and no copy is left behind.
TEST_F(ImportCommand, AFailingFileOperationChangesNothing) {
  makeDatabase(withRecords(layout(), R"([{"Name": "b", "Qty": 1}, {"Name": "d", "Qty": 2}])"));
  const auto before = tsq_test::readBytes(database);
  writeCsv("Name,Qty\nc,3\na,4\n");
  for (platform::FileOp op : {platform::FileOp::Open, platform::FileOp::Read, platform::FileOp::Seek,
                              platform::FileOp::Write}) {
    for (int failAt = 0;; ++failAt) {
      platform::clearFileFaults();
      platform::failFileOperation(op, failAt);
      Outcome run = import();
      const bool fired = platform::fileFaultsFired() > 0;
      platform::clearFileFaults();
      if (!fired) {
        // Past the import's last operation: it ran through; start again.
        EXPECT_EQ(run.status, tsq::exitDone) << run.err;
        tsq_test::writeBytes(database, before);
        break;
      }
      EXPECT_EQ(run.status, tsq::exitFailure) << static_cast<int>(op) << " at " << failAt << "\n" << run.err;
      EXPECT_EQ(tsq_test::readBytes(database), before) << static_cast<int>(op) << " at " << failAt;
      EXPECT_EQ(folderFiles(), (std::vector<std::string>{"data.csv", "db.tsq"})) << static_cast<int>(op) << " at " << failAt;
    }
  }
  EXPECT_EQ(import().status, tsq::exitDone);
  EXPECT_EQ(records(), (std::vector<std::string>{"a/4", "b/1", "c/3", "d/2"}));
}

TEST_F(ImportCommand, RefusesAFileTessraHoldsAndAFileThatIsNotSound) {
  makeDatabase(withRecords(layout(), R"([{"Name": "b"}])"));
  writeCsv("Name\na\n");
  auto before = tsq_test::readBytes(database);
  {
    // Tessra holds an open database without sharing.
    std::u16string path = platform::fromUtf8(database.string());
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Outcome run = import();
    CloseHandle(held);
    EXPECT_EQ(run.status, tsq::exitFailure);
    EXPECT_NE(run.err.find(database.string() + ": is in use (open in Tessra?)"), std::string::npos) << run.err;
    EXPECT_EQ(tsq_test::readBytes(database), before);
  }
  // recordCount says 2 where the chain holds 1.
  auto unsound = before;
  unsound[unsound.size() - 28 - 12 - 12] = 2;
  tsq_test::writeBytes(database, unsound);
  Outcome run = import();
  EXPECT_EQ(run.status, tsq::exitProblems);
  EXPECT_NE(run.err.find("is not sound (tsq check lists its problems)"), std::string::npos) << run.err;
  EXPECT_EQ(tsq_test::readBytes(database), unsound);
}

TEST_F(ImportCommand, AProtectedDatabaseTakesItsPassword) {
  Json definition = layout();
  definition["password"] = "secret";
  makeDatabase(definition);
  writeCsv("Name\na\n");
  tsq::setPassword(u"wrong");
  Outcome refused = import();
  EXPECT_EQ(refused.status, tsq::exitFailure);
  EXPECT_EQ(refused.err, "tsq: " + database.string() + ": Incorrect password\n");
  tsq::setPassword(u"SECRET");
  EXPECT_EQ(import().status, tsq::exitDone);
  EXPECT_EQ(records(), (std::vector<std::string>{"a/"}));
  tsq::setPassword(std::nullopt);
}

TEST_F(ImportCommand, AHeaderAloneImportsNothingAndWritesNothing) {
  makeDatabase(layout());
  const auto before = tsq_test::readBytes(database);
  writeCsv("\xEF\xBB\xBFName,Qty\r\n");
  Outcome run = import();
  EXPECT_EQ(run.status, tsq::exitDone);
  EXPECT_EQ(run.out, database.string() + ": 0 records imported\n");
  EXPECT_EQ(tsq_test::readBytes(database), before);
}

// A hundred thousand rows, shuffled, into a database that has records:
// placed by one ordering of the chain, and the file is sound.
TEST_F(ImportCommand, AHundredThousandRows) {
  makeDatabase(withRecords(layout(), R"([{"Name": "k050000", "Qty": -1}, {"Name": "k000000", "Qty": -2}])"));
  constexpr int rows = 100000;
  std::vector<int> keys(rows);
  for (int i = 0; i < rows; ++i) keys[i] = (i * 7919) % rows;  // 7919 is prime: a permutation
  std::string text = "Name,Qty,Price,Day,Paid\n";
  char line[96];
  for (int i = 0; i < rows; ++i) {
    std::snprintf(line, sizeof line, "k%06d,%d,%d.%02d,2024-%02d-%02d,%s\n", keys[i], i, keys[i] % 1000, i % 100,
                  i % 12 + 1, i % 28 + 1, i % 2 ? "yes" : "no");
    text += line;
  }
  writeCsv(text);
  // As on a terminal: the share read so far, then the line cleared.
  Outcome run = tsq_test::runCommand(
      [&](tsq::Console& console) { return tsq::importCommand(database.string(), csv.string(), console); }, true);
  ASSERT_EQ(run.status, tsq::exitDone) << run.err;
  EXPECT_NE(run.err.find(": 100% read"), std::string::npos);
  EXPECT_EQ(run.err.substr(run.err.size() - 4), "\r\033[K");
  EXPECT_EQ(problems(), std::vector<std::string>{});
  std::vector<std::string> list = records();
  ASSERT_EQ(list.size(), static_cast<std::size_t>(rows + 2));
  EXPECT_EQ(list[0], "k000000/-2");  // before the imported k000000
  EXPECT_EQ(list[1], "k000000/");  // Qty 0 is no value
  EXPECT_EQ(list[50001], "k050000/-1");
}

}  // namespace
