// The headless driver: key scripts, options, and the demo's screen staying
// the same from run to run.
#include <array>
#include <cstdio>
#include <cstdlib>

#include "frontends/demo/demo_main.h"
#include "frontends/driver/driver.h"
#include "window_fixture.h"

using namespace window_test;
using platform::Key;

namespace {

std::vector<std::string> names(const std::vector<driver::ScriptKey>& keys) {
  std::vector<std::string> out;
  for (const auto& k : keys) out.push_back(k.name);
  return out;
}

TEST(KeyScript, NamesDigitsAndQuotedTextBecomeKeys) {
  std::vector<driver::ScriptKey> keys;
  std::string error;
  ASSERT_TRUE(driver::parseKeyScript("Down  Down\tAction \"a b\" SoftLeft 7 * # \"\\\"\"", &keys, &error)) << error;
  EXPECT_EQ(names(keys), (std::vector<std::string>{"Down", "Down", "Action", "\"a\"", "\" \"", "\"b\"", "SoftLeft", "7",
                                                   "*", "#", "\"\"\""}));
  EXPECT_EQ(keys[0].event.key, Key::Down);
  EXPECT_EQ(keys[3].event.key, Key::Char);
  EXPECT_EQ(keys[3].event.ch, u'a');
  EXPECT_EQ(keys[10].event.ch, u'"');
}

TEST(KeyScript, UnknownWordsAndOpenQuotesAreRefused) {
  for (const char* bad : {"Down Sideways", "12", "\"abc", "down", "a"}) {
    std::vector<driver::ScriptKey> keys;
    std::string error;
    EXPECT_FALSE(driver::parseKeyScript(bad, &keys, &error)) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(DriverOptions, ValuesAreCheckedAndTheProgramsArgumentsFollowTheSeparator) {
  std::array<const char*, 12> argv = {"tessra-drive", "--keys",  "Up",   "--screen", "480x640", "--dpi",
                                      "192",          "--now",   "2024-02-29 23:59:58",       "--",     "/f", "x"};
  driver::Options options;
  std::string error;
  ASSERT_TRUE(driver::parseOptions(static_cast<int>(argv.size()), const_cast<char**>(argv.data()), &options, &error))
      << error;
  EXPECT_EQ(options.screen.width, 480);
  EXPECT_EQ(options.screen.dpi, 192);
  EXPECT_EQ(options.now.wYear, 2024);
  EXPECT_EQ(options.now.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(options.commandLine, u"/f x");

  const std::vector<std::vector<const char*>> bad = {
      {"d", "--frobnicate"}, {"d", "--dpi", "ninety"}, {"d", "--screen", "240"}, {"d", "--now", "2023-02-29 10:00:00"},
      {"d", "--keys"},       {"d", "--keys", "Jump"},
  };
  for (const auto& args : bad) {
    driver::Options o;
    EXPECT_FALSE(driver::parseOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), &o, &error))
        << args[1];
  }
}

// A screen of rows written as text; '^' marks an inverse cell (shown as a
// space).
platform::ScreenImage screenOf(const std::vector<std::u16string>& rows) {
  platform::ScreenImage image;
  image.rows = static_cast<int>(rows.size());
  image.columns = static_cast<int>(rows.front().size());
  for (const auto& row : rows) {
    for (char16_t c : row) {
      platform::Cell cell;
      cell.inverse = c == u'^';
      cell.ch = cell.inverse ? u' ' : c;
      image.cells.push_back(cell);
    }
  }
  return image;
}

TEST(ScreenText, MarksRowsThatShowTheSelectionButNotTheTitleOrSoftKeys) {
  // Inverse cells anywhere in a row mark it; the title and soft-key rows are
  // inverse throughout and are never marked.
  const platform::ScreenImage image = screenOf({
      u"^^^^",  // title
      u"ab^d",  // a caret inside a text
      u"abcd",
      u"^^^^",  // a selected row
      u"a  ^",  // a selection reaching the last column
      u"^^^^",  // soft keys
  });
  EXPECT_EQ(driver::screenText(image, false), image.text());
  EXPECT_EQ(driver::screenText(image, true), "     \n>ab d\n abcd\n>    \n>a   \n     \n");
}

// Runs the demo in process with the keys, returns the screen when they ran
// out (the user then leaves and the demo ends).
std::string demoScreen(std::vector<platform::KeyEvent> keys) {
  platform::resetWindows();
  std::string screen;
  std::size_t next = 0;
  platform::setInputSource([&]() -> std::optional<platform::KeyEvent> {
    if (next < keys.size()) return keys[next++];
    if (screen.empty()) screen = platform::renderScreen().text();
    return std::nullopt;
  });
  demoMain(nullptr, u"");
  platform::setInputSource(nullptr);
  platform::resetWindows();
  return screen;
}

TEST(DemoScreen, IsTheSameOnEveryRunAndShowsTitleControlsAndSoftKeys) {
  const std::vector<platform::KeyEvent> script = {key(Key::Down), key(Key::SoftRight)};
  std::string first = demoScreen(script);
  EXPECT_EQ(demoScreen(script), first);
  EXPECT_EQ(first.rfind("Tessra", 0), 0u) << first;
  EXPECT_NE(first.find("Name:"), std::string::npos) << first;
  EXPECT_NE(first.find("1 Open"), std::string::npos) << first;
  EXPECT_NE(first.find("Select"), std::string::npos) << first;

  std::string box = demoScreen({key(Key::SoftLeft)});
  EXPECT_NE(box.find("(?) Open the demo database?"), std::string::npos) << box;
}

// The driver program (around the demo) as a process: same output twice, 2
// for a bad key.
std::string runDrive(const std::string& arguments, int* status) {
  const char* bin = std::getenv("TESSRA_BIN");
  std::string command = std::string(bin != nullptr ? bin : ".") + "/demo-drive " + arguments + " 2>/dev/null";
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) out.append(buffer.data(), n);
  *status = pclose(pipe);
  return out;
}

TEST(DriveProgram, PrintsTheSameScreenOnEveryRunAndRefusesUnknownKeys) {
  int status = -1;
  std::string first = runDrive("--keys 'Down SoftLeft'", &status);
  ASSERT_EQ(status, 0);
  EXPECT_EQ(runDrive("--keys 'Down SoftLeft'", &status), first);
  EXPECT_NE(first.find("Open the demo database?"), std::string::npos) << first;

  std::string trace = runDrive("--trace --keys 'Down'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(trace.find("-- start --"), std::string::npos);
  EXPECT_NE(trace.find("-- key 1: Down --"), std::string::npos);

  // With marks the focused check box's row carries the mark, and only it.
  std::string marked = runDrive("--marks --keys 'Down'", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(marked.find("\n>[ ] Member"), std::string::npos) << marked;
  EXPECT_NE(marked.find("\n Name:"), std::string::npos) << marked;
  EXPECT_EQ(marked.find("\n>"), marked.rfind("\n>")) << marked;

  runDrive("--keys 'Sideways'", &status);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
