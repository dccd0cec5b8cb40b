// The terminal front-end's translations: keys, colours and its command line.
#include <curses.h>

#include <string>

#include <gtest/gtest.h>

#include "frontends/terminal/colours.h"
#include "frontends/terminal/keys.h"
#include "frontends/terminal/options.h"

namespace {

using platform::Key;
using terminal::KeyAction;

TEST(TerminalKeys, MapOntoThePhonesKeys) {
  struct Case {
    wint_t code;
    bool functionKey;
    KeyAction action;
    Key key;
    char16_t ch;
  };
  const Case cases[] = {
      {KEY_F(1), true, KeyAction::Press, Key::SoftLeft, 0},
      {KEY_F(2), true, KeyAction::Press, Key::SoftRight, 0},
      {27, false, KeyAction::Press, Key::Back, 0},
      {KEY_BACKSPACE, true, KeyAction::Press, Key::Back, 0},
      {127, false, KeyAction::Press, Key::Back, 0},
      {KEY_UP, true, KeyAction::Press, Key::Up, 0},
      {KEY_DOWN, true, KeyAction::Press, Key::Down, 0},
      {KEY_LEFT, true, KeyAction::Press, Key::Left, 0},
      {KEY_RIGHT, true, KeyAction::Press, Key::Right, 0},
      {'\r', false, KeyAction::Press, Key::Action, 0},
      {'\n', false, KeyAction::Press, Key::Action, 0},
      {KEY_ENTER, true, KeyAction::Press, Key::Action, 0},
      {'7', false, KeyAction::Press, Key::Char, u'7'},
      {'*', false, KeyAction::Press, Key::Char, u'*'},
      {'#', false, KeyAction::Press, Key::Char, u'#'},
      {'q', false, KeyAction::Press, Key::Char, u'q'},
      {0xE4, false, KeyAction::Press, Key::Char, u'\u00E4'},
      {KEY_F(10), true, KeyAction::Quit, Key::Action, 0},
      {17, false, KeyAction::Quit, Key::Action, 0},  // Ctrl-Q
      {3, false, KeyAction::Quit, Key::Action, 0},   // Ctrl-C
      {KEY_RESIZE, true, KeyAction::Resize, Key::Action, 0},
      {KEY_F(5), true, KeyAction::Ignore, Key::Action, 0},
      {1, false, KeyAction::Ignore, Key::Action, 0},        // Ctrl-A
      {0x1F600, false, KeyAction::Ignore, Key::Action, 0},  // outside the phone's characters
  };
  for (const Case& c : cases) {
    const terminal::TerminalKey got = terminal::translateKey(c.code, c.functionKey);
    EXPECT_EQ(got.action, c.action) << c.code;
    if (c.action == KeyAction::Press) {
      EXPECT_EQ(got.key.key, c.key) << c.code;
      EXPECT_EQ(got.key.ch, c.ch) << c.code;
    }
  }
}

TEST(TerminalColours, NearestOfThePalette) {
  struct Case {
    COLORREF colour;
    int colours;
    int expected;
  };
  const Case cases[] = {
      {RGB(255, 255, 255), 256, 231}, {RGB(0, 0, 0), 256, 16},     {RGB(255, 0, 0), 256, 196},
      {RGB(0, 0, 255), 256, 21},      {RGB(128, 128, 128), 256, 244}, {RGB(0, 128, 255), 256, 33},
      {RGB(255, 255, 255), 16, 15},   {RGB(255, 0, 0), 16, 9},     {RGB(255, 255, 255), 8, 7},
      {RGB(200, 0, 0), 8, 1},         {RGB(10, 10, 10), 8, 0},     {RGB(10, 10, 10), 2, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(terminal::nearestColour(c.colour, c.colours), c.expected)
        << std::hex << c.colour << " with " << std::dec << c.colours;
  }
}

template <std::size_t N>
std::optional<terminal::Options> parse(const char* const (&args)[N], std::string& error) {
  const char* argv[N + 1] = {"tessra-term"};
  for (std::size_t i = 0; i < N; ++i) argv[i + 1] = args[i];
  return terminal::parseOptions(static_cast<int>(N + 1), argv, error);
}

TEST(TerminalOptions, SetTheWholePhone) {
  std::string error;
  const char* const all[] = {"--home", "/h",        "--device", "/d",   "--locale", "de_DE",      "--screen",
                             "480x640", "--dpi", "192", "--",   "/f", "My Data.tsq"};
  const auto options = parse(all, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->home, "/h");
  EXPECT_EQ(options->device, "/d");
  EXPECT_EQ(options->locale, "de_DE");
  EXPECT_EQ(options->screen.width, 480);
  EXPECT_EQ(options->screen.height, 640);
  EXPECT_EQ(options->screen.dpi, 192);
  EXPECT_EQ(options->commandLine, u"/f \"My Data.tsq\"");
  // Options after "--" belong to the program.
  const char* const passedOn[] = {"--", "--home"};
  const auto passed = parse(passedOn, error);
  ASSERT_TRUE(passed);
  EXPECT_EQ(passed->commandLine, u"--home");
  EXPECT_TRUE(passed->home.empty());
}

TEST(TerminalOptions, BadValuesAreRefused) {
  struct Case {
    const char* option;
    const char* value;  // nullptr: missing
  };
  const Case bad[] = {
      {"--screen", "240"}, {"--screen", "240x"}, {"--screen", "0x320"}, {"--screen", "99999x320"},
      {"--dpi", "ten"},    {"--dpi", "0"},       {"--home", nullptr},   {"--frobnicate", "x"},
  };
  for (const Case& c : bad) {
    std::string error;
    if (c.value != nullptr) {
      const char* const args[] = {c.option, c.value};
      EXPECT_FALSE(parse(args, error)) << c.option << " " << c.value;
    } else {
      const char* const args[] = {c.option};
      EXPECT_FALSE(parse(args, error)) << c.option;
    }
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
