#include "tools/tsq/csv.h"

#include <csv.h>

namespace tsq {
namespace {

// Spaces belong to the field: the cells are taken as they stand.
int noSpace(unsigned char) { return 0; }

struct Reading {
  const CsvRowSink* sink;
  CsvRow row;
  bool rowEnded = false;  // a row ended in the piece just parsed
  bool stopped = false;
};

void onField(void* data, std::size_t length, void* context) {
  auto& reading = *static_cast<Reading*>(context);
  reading.row.cells.emplace_back(static_cast<const char*>(data), length);
}

void onRowEnd(int, void* context) {
  auto& reading = *static_cast<Reading*>(context);
  reading.rowEnded = true;
  if (!reading.stopped && !(*reading.sink)(reading.row)) reading.stopped = true;
  reading.row.cells.clear();
}

// Frees the parser on every path.
struct Parser {
  csv_parser parser{};
  bool ready = false;
  Parser() {
    ready = csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) == 0;
    if (ready) csv_set_space_func(&parser, noSpace);
  }
  ~Parser() {
    if (ready) csv_free(&parser);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;
};

std::string parseError(csv_parser& parser, std::size_t line) {
  if (csv_error(&parser) == CSV_ENOMEM) return "line " + std::to_string(line) + ": out of memory";
  return "line " + std::to_string(line) + ": not well-formed CSV (a quote inside an unquoted field, "
         "text after a closing quote, or a quote never closed)";
}

bool blank(std::string_view piece) { return piece.find_first_not_of("\r\n") == std::string_view::npos; }

}  // namespace

bool readCsv(std::string_view text, const CsvRowSink& sink, std::string& error, const CsvProgress& progress) {
  error.clear();
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Parser parser;
  if (!parser.ready) {
    error = "out of memory";
    return false;
  }
  Reading reading{&sink, {}, false, false};
  // Fed a line at a time, so that each row knows the line it begins on: a
  // line that starts outside any row starts the next one.
  bool betweenRows = true;
  std::size_t line = 1;
  std::size_t at = 0;
  std::size_t reported = 0;
  while (at < text.size() && !reading.stopped) {
    std::size_t end = text.find('\n', at);
    end = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view piece = text.substr(at, end - at);
    if (betweenRows) reading.row.line = line;
    reading.rowEnded = false;
    if (csv_parse(&parser.parser, piece.data(), piece.size(), onField, onRowEnd, &reading) != piece.size()) {
      error = parseError(parser.parser, line);
      return false;
    }
    betweenRows = reading.rowEnded || (betweenRows && blank(piece));
    at = end;
    ++line;
    if (progress && at - reported >= (1u << 20)) {
      reported = at;
      progress(at, text.size());
    }
  }
  if (reading.stopped) return true;
  if (csv_fini(&parser.parser, onField, onRowEnd, &reading) != 0) {
    error = "line " + std::to_string(reading.row.line) + ": a quoted field is never closed";
    return false;
  }
  if (progress) progress(text.size(), text.size());
  return true;
}

std::string csvLine(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += ',';
    const std::string& cell = cells[i];
    // A row of one empty cell would be an empty line, which is no row.
    const bool quote = cell.find_first_of(",\"\r\n") != std::string::npos ||
                       (!cell.empty() && (cell.front() == ' ' || cell.back() == ' ')) ||
                       (cell.empty() && cells.size() == 1);
    if (!quote) {
      line += cell;
      continue;
    }
    line += '"';
    for (char c : cell) {
      if (c == '"') line += '"';
      line += c;
    }
    line += '"';
  }
  line += "\r\n";
  return line;
}

}  // namespace tsq
