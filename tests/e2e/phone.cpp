#include "tests/e2e/phone.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "tests/support/tsq_fixture.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

struct Output {
  int exitStatus = -1;
  std::string text;
};

// Runs a shell command with a generous time limit, so that a program that
// hangs fails its test instead of stalling the suite.
Output run(const std::string& command) {
  Output out;
  FILE* pipe = popen(("timeout 120 " + command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) out.text.append(buffer.data(), n);
  const int status = pclose(pipe);
  out.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

bool endsWith(const std::string& text, std::string_view tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A printed row without its trailing blanks and the form's or list's
// scroll bar in the last column.
std::string trimmedRow(std::string row) {
  for (bool changed = true; changed;) {
    changed = false;
    while (!row.empty() && row.back() == ' ') {
      row.pop_back();
      changed = true;
    }
    for (std::string_view bar : {"\u2502", "\u2588"}) {
      if (endsWith(row, bar)) {
        row.erase(row.size() - bar.size());
        changed = true;
      }
    }
  }
  return row;
}

Screen parseScreen(const std::vector<std::string>& lines) {
  Screen screen;
  for (const std::string& line : lines) {
    screen.text += line + "\n";
    screen.marked.push_back(!line.empty() && line[0] == '>');
    screen.rows.push_back(trimmedRow(line.empty() ? line : line.substr(1)));
  }
  return screen;
}

// Rows of the driver's default 240 x 320 screen.
constexpr std::size_t screenRows = 14;

// The trace: "-- start --" or "-- key N: NAME --" before the screen shown
// when the program waits for a key. A program that ends before the script
// does prints its last screen without a header.
std::vector<Screen> parseTrace(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!(line.rfind("-- ", 0) == 0 && endsWith(line, " --"))) lines.push_back(line);
  }
  std::vector<Screen> screens;
  for (std::size_t first = 0; first + screenRows <= lines.size(); first += screenRows)
    screens.push_back(parseScreen({lines.begin() + static_cast<std::ptrdiff_t>(first),
                                   lines.begin() + static_cast<std::ptrdiff_t>(first + screenRows)}));
  return screens;
}

}  // namespace

std::string Screen::selected() const {
  for (std::size_t i = 1; i + 1 < rows.size(); ++i)
    if (marked[i]) return rows[i];
  return {};
}

std::string Screen::rowStarting(std::string_view prefix) const {
  for (const std::string& row : rows)
    if (row.rfind(prefix, 0) == 0) return row;
  return {};
}

bool Screen::shows(std::string_view part) const { return text.find(part) != std::string::npos; }

std::vector<std::string> Screen::body() const {
  std::size_t end = rows.size() > 0 ? rows.size() - 1 : 0;
  while (end > 1 && rows[end - 1].empty()) --end;
  std::vector<std::string> out;
  for (std::size_t i = 1; i < end; ++i) out.push_back(rows[i]);
  return out;
}

Phone::Phone() : root_(tsqtest::uniqueTempPath("-e2e")) {
  home_ = root_ + "/home";
  device_ = root_ + "/device";
  scratch_ = root_ + "/scratch";
  for (const std::string& folder : {home_, device_, scratch_}) fs::create_directories(folder);
}

Phone::~Phone() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string Phone::path(const std::string& name) const { return home_ + "/" + name + ".tsq"; }

bool Phone::create(const std::string& name, const std::string& definition, const std::string& folder) {
  const std::string json = scratch_ + "/" + name + ".json";
  writeText(json, definition);
  const std::string target = (folder.empty() ? home_ : folder) + "/" + name + ".tsq";
  const Output out = run(std::string(TSQ) + " create " + quoted(target) + " " + quoted(json) + " --force");
  EXPECT_EQ(out.exitStatus, 0) << "tsq create " << name << ": " << out.text;
  return out.exitStatus == 0;
}

Trace Phone::drive(const std::string& keys, const std::string& commandLine, const std::string& options) const {
  const std::string keyFile = scratch_ + "/keys.txt";
  writeText(keyFile, keys);
  std::string command = std::string(TESSRA_DRIVE) + " --trace --marks --home " + quoted(home_) + " --device " +
                        quoted(device_) + " " + options + " --keys-file " + quoted(keyFile);
  if (!commandLine.empty()) command += " -- " + quoted(commandLine);
  const Output out = run(command);
  Trace result;
  result.exitStatus = out.exitStatus;
  result.screens = parseTrace(out.text);
  if (result.screens.empty()) {
    ADD_FAILURE() << "the driver printed no screen: " << out.text;
    result.screens.push_back(parseScreen({"", ""}));
  }
  return result;
}

std::string Phone::check(const std::string& path) const {
  const Output out = run(std::string(TSQ) + " check " + quoted(path));
  return out.exitStatus == 0 ? "sound" : out.text;
}

std::vector<std::uint8_t> fileBytes(const std::string& path) { return tsqtest::readFileBytes(path); }

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  tsqtest::writeFileBytes(path, bytes);
}

std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  if (offset + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

void setU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes.size()) return;
  for (int i = 0; i < 4; ++i) bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace e2e
