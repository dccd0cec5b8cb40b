// The phone as a front-end drives it: keys in, a character screen out.
// Front-ends (the terminal and the headless driver) and tests use this;
// app code never includes it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform {

// The emulated screen: size in pixels and dots per inch. Text cells are
// 6 x 22 pixels at 96 dpi (scaled with the dpi), so one form line is one
// text row and the default 240 x 320 screen is 40 columns wide.
struct ScreenConfig {
  int width = 240;
  int height = 320;
  int dpi = 96;
};
void configureScreen(const ScreenConfig& config);
ScreenConfig screenConfig();

// The phone's keys. Char carries a digit, '*', '#' or a letter. None is no
// key at all: an input source returns it when something else woke it (a
// request of another instance), so that the loop looks at its queue again.
enum class Key { SoftLeft, SoftRight, Back, Up, Down, Left, Right, Action, Char, None };
struct KeyEvent {
  Key key = Key::Action;
  char16_t ch = 0;
};

// Called by the message loop whenever the queue is empty: waits for the
// user's next key and returns it. nullopt means the user leaves the program
// (the main window is closed as the phone's home key would). A front-end may
// also end the process from here.
using InputSource = std::function<std::optional<KeyEvent>()>;
void setInputSource(InputSource source);

// Turns a key into the messages the phone sends: soft keys and Back go to the
// shell (soft-key bars, menus, the Back override), every other key to the
// focused window as WM_KEYDOWN / WM_CHAR / WM_KEYUP. Key::None does nothing.
void pressKey(const KeyEvent& key);

// Runs queued messages until the queue is empty (tests).
void runPending();

// Destroys every window and forgets queued messages, menus, beeps and shell
// requests, so that each test starts from an empty phone. The input source
// and the screen configuration stay.
void resetWindows();

// How many times the program sounded MessageBeep.
int beepCount();

// The requests the program handed to ShellExecuteExW, oldest first. A
// "TEL:" request also places a call (docs/phone-services.md); any other is
// only recorded.
struct ShellRequest {
  std::u16string verb;
  std::u16string file;
  std::u16string parameters;
};
const std::vector<ShellRequest>& shellRequests();

// One character cell of the screen.
struct Cell {
  char16_t ch = u' ';
  COLORREF background = 0xFFFFFF;
  COLORREF foreground = 0x000000;
  bool bold = false;
  bool inverse = false;
};
struct ScreenImage {
  int columns = 0;
  int rows = 0;
  std::vector<Cell> cells;  // row-major
  const Cell& at(int column, int row) const { return cells[static_cast<std::size_t>(row * columns + column)]; }
  // The screen as UTF-8 text, one line per row, trailing spaces kept.
  std::string text() const;
};
// Paints every visible window (title, client area, dialogs and message boxes
// on top, open menus, the soft-key labels) and returns the screen.
ScreenImage renderScreen();

}  // namespace platform
