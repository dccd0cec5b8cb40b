// The headless driver: runs a main routine in process on a phone with a
// fixed clock, locale and screen, feeds it a key script and prints the
// screen as text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/phone.h"
#include "platform/win_types.h"

namespace driver {

using MainRoutine = int (*)(HINSTANCE instance, const char16_t* commandLine);

// One key of a script, with the name the trace shows for it.
struct ScriptKey {
  platform::KeyEvent event;
  std::string name;
  // The pseudo-key Serve: no key, but a wait for another instance (see below).
  bool serve = false;
};

// How long Serve waits for another instance's request.
constexpr int serveTimeoutMs = 10000;

// Parses a key script: `SoftLeft SoftRight Back Up Down Left Right Action`,
// `0`-`9`, `*`, `#`, and "text" typed character by character (a backslash
// takes the next character as it is). `Serve` presses no key: the program
// serves other running instances (that share its --device folder) for up to
// 10 seconds, until one of them sent a message to or activated one of its
// windows, and then the script goes on. False with a message for anything
// else.
bool parseKeyScript(std::string_view script, std::vector<ScriptKey>* keys, std::string* error);

struct Options {
  std::vector<ScriptKey> keys;
  bool trace = false;
  bool marks = false;
  std::optional<std::string> home;
  std::optional<std::string> device;
  std::string locale = "en_US";
  SYSTEMTIME now{2026, 1, 4, 15, 10, 30, 0, 0};
  platform::ScreenConfig screen;
  std::u16string commandLine;
  bool help = false;
};

// The driver's usage text, for --help and a bad command line.
std::string usage();

// Parses the command line (argv[0] is the program). False with a message
// for an unknown option, a bad value or a bad key.
bool parseOptions(int argc, char** argv, Options* options, std::string* error);

// Parses "YYYY-MM-DD HH:MM:SS" into a calendar time (with its weekday).
std::optional<SYSTEMTIME> parseTime(std::string_view text);

// The screen as text, one line per row. With marks every line starts with
// '>' when the row shows the selection (inverse cells: a selected list row or
// menu item, a focused edit box's caret or selected text, a focused button)
// and with ' ' otherwise; the title and soft-key rows, inverse throughout,
// always get ' '.
std::string screenText(const platform::ScreenImage& screen, bool marks);

// The whole driver: parse, set up the phone, run. Exits the process (after
// printing the screen) once the script is used up; returns 2 for a bad
// command line, 0 when the main routine ended before the script did (the
// screen printed then is blank when no window is left). Without --device the
// run gets a phone root folder of its own, removed at the end, so that runs
// never see each other.
int runDriver(int argc, char** argv, MainRoutine main);

}  // namespace driver
