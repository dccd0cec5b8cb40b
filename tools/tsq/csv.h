// CSV as RFC 4180 has it, read through libcsv: fields separated by commas,
// rows ended by CRLF or LF, quoted fields holding commas, quotes (doubled)
// and line breaks. UTF-8, with or without a byte-order mark.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tsq {

struct CsvRow {
  std::vector<std::string> cells;
  std::size_t line = 0;  // the line the row begins on, from 1
};

// Called for each row; false stops the reading.
using CsvRowSink = std::function<bool(CsvRow& row)>;
// Called now and then with the bytes read so far.
using CsvProgress = std::function<void(std::size_t done, std::size_t total)>;

// Reads text row by row; empty lines are no rows. False with a message
// naming the line for text that is not well-formed CSV (a quote inside an
// unquoted field, text after a closing quote, a quote never closed) or when
// the parser runs out of memory.
bool readCsv(std::string_view text, const CsvRowSink& sink, std::string& error,
             const CsvProgress& progress = nullptr);

// One row as CSV: cells quoted when they hold a comma, a quote, a line
// break or leading or trailing spaces (and a row's only cell when empty),
// ended by CRLF.
std::string csvLine(const std::vector<std::string>& cells);

}  // namespace tsq
