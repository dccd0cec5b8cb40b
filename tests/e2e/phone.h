// The program as a user meets it: a fresh phone (program folder and device
// folder), databases made by `tsq create` from inline definitions, and key
// scripts run through the headless driver, which prints every screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

// One printed screen. The driver marks rows that show the selection (a
// selected list row or menu item, a focused control's caret or text).
struct Screen {
  std::vector<std::string> rows;  // without mark, trailing blanks and scroll bar
  std::vector<bool> marked;
  std::string text;  // as printed, for failure messages

  const std::string& title() const { return rows.front(); }
  const std::string& softKeys() const { return rows.back(); }
  // The first marked row between title and soft keys; "" when there is none.
  std::string selected() const;
  // The row that starts with prefix; "" when there is none.
  std::string rowStarting(std::string_view prefix) const;
  bool shows(std::string_view text) const;
  // The rows between title and soft keys, blank rows at the end dropped.
  std::vector<std::string> body() const;
};

struct Trace {  // the screens of one run
  int exitStatus = -1;            // the driver's exit code; -1 when it did not exit normally
  std::vector<Screen> screens;    // at start, then after every key
  const Screen& last() const { return screens.back(); }
  const Screen& afterKey(std::size_t key) const { return screens.at(key); }
};

class Phone {
 public:
  Phone();
  ~Phone();
  Phone(const Phone&) = delete;
  Phone& operator=(const Phone&) = delete;

  const std::string& home() const { return home_; }
  const std::string& scratch() const { return scratch_; }
  // The phone's root folder (--device): calls, SMS and mail land there.
  const std::string& device() const { return device_; }
  // The path of a database of the program folder.
  std::string path(const std::string& name) const;

  // `tsq create` of a definition into the program folder (or into folder);
  // false with the tool's output added to the failure.
  bool create(const std::string& name, const std::string& definition, const std::string& folder = {});

  // Runs the program with a key script and, after "--", its command line.
  // Options go to the driver before the script (e.g. "--locale de_DE").
  Trace drive(const std::string& keys, const std::string& commandLine = {}, const std::string& options = {}) const;

  // `tsq check` on a database: "sound", or the tool's report.
  std::string check(const std::string& path) const;

 private:
  std::string root_;
  std::string home_;
  std::string device_;
  std::string scratch_;
};

std::vector<std::uint8_t> fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::uint32_t u32At(const std::vector<std::uint8_t>& bytes, std::size_t offset);
void setU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);

}  // namespace e2e
