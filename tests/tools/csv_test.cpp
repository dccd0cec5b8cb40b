// Reading and writing CSV rows.
#include "tools/tsq/csv.h"

#include <gtest/gtest.h>

namespace {

struct Read {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::size_t> lines;
  std::string error;
  bool ok = false;
};

Read readAll(std::string_view text) {
  Read read;
  read.ok = tsq::readCsv(
      text,
      [&](tsq::CsvRow& row) {
        read.rows.push_back(row.cells);
        read.lines.push_back(row.line);
        return true;
      },
      read.error);
  return read;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(Csv, ReadsWhatRfc4180Allows) {
  struct Case {
    const char* name;
    std::string text;
    Rows rows;
    std::vector<std::size_t> lines;
  };
  const Case cases[] = {
      {"plain, LF", "a,b\nc,d\n", {{"a", "b"}, {"c", "d"}}, {1, 2}},
      {"CRLF", "a,b\r\nc,d\r\n", {{"a", "b"}, {"c", "d"}}, {1, 2}},
      {"no line break at the end", "a,b\nc", {{"a", "b"}, {"c"}}, {1, 2}},
      {"a byte-order mark", "\xEF\xBB\xBFName\nx\n", {{"Name"}, {"x"}}, {1, 2}},
      {"quoted commas and quotes", "\"a,b\",\"say \"\"hi\"\"\"\n", {{"a,b", "say \"hi\""}}, {1}},
      {"line breaks inside quotes", "\"one\ntwo\",x\r\n\"three\r\nfour\"\nnext\n",
       {{"one\ntwo", "x"}, {"three\r\nfour"}, {"next"}}, {1, 3, 5}},
      {"a row that starts with a broken quoted field", "h\n\"a\nb\"\nc\n", {{"h"}, {"a\nb"}, {"c"}}, {1, 2, 4}},
      {"empty cells and empty quoted cells", "a,,\"\"\n,\n", {{"a", "", ""}, {"", ""}}, {1, 2}},
      {"spaces belong to the cell", " a , b \n", {{" a ", " b "}}, {1}},
      {"empty lines are no rows", "a\n\n\r\nb\n\n", {{"a"}, {"b"}}, {1, 4}},
      {"a lone empty quoted cell is a row", "h\n\"\"\n", {{"h"}, {""}}, {1, 2}},
      {"UTF-8 as it stands", "Ünïcode,日本\n", {{"Ünïcode", "日本"}}, {1}},
      {"nothing", "", {}, {}},
  };
  for (const Case& c : cases) {
    Read read = readAll(c.text);
    EXPECT_TRUE(read.ok) << c.name << ": " << read.error;
    EXPECT_EQ(read.rows, c.rows) << c.name;
    EXPECT_EQ(read.lines, c.lines) << c.name;
  }
}

TEST(Csv, MalformedQuotingNamesItsLine) {
  struct Case {
    std::string text;
    const char* error;
  };
  const Case cases[] = {
      {"a,b\nc,d\"e\n", "line 2: not well-formed CSV"},
      {"a\n\"b\"c\n", "line 2: not well-formed CSV"},
      {"a\nb\n\"never\nclosed\n", "line 3: a quoted field is never closed"},
  };
  for (const Case& c : cases) {
    Read read = readAll(c.text);
    EXPECT_FALSE(read.ok) << c.text;
    EXPECT_EQ(read.error.rfind(c.error, 0), 0u) << c.text << "\n  gave: " << read.error;
  }
}

TEST(Csv, WrittenRowsReadBackAsTheyWere) {
  const Rows rows = {
      {"plain", "with,comma", "with \"quotes\"", "two\nlines", "cr\r\nlf", " spaced ", ""},
      {""},  // a row of one empty cell is not an empty line
      {"Ünïcode"},
  };
  std::string text;
  for (const auto& row : rows) text += tsq::csvLine(row);
  EXPECT_EQ(tsq::csvLine({"a", "b c"}), "a,b c\r\n");
  Read read = readAll(text);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.rows, rows);
}

TEST(Csv, TheSinkCanStopTheReading) {
  int seen = 0;
  std::string error;
  EXPECT_TRUE(tsq::readCsv("a\nb\nc\n", [&](tsq::CsvRow&) { return ++seen < 2; }, error));
  EXPECT_EQ(seen, 2);
}

}  // namespace
