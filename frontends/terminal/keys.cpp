#include "frontends/terminal/keys.h"

#include <curses.h>

namespace terminal {

namespace {

TerminalKey press(platform::Key key, char16_t ch = 0) { return {KeyAction::Press, platform::KeyEvent{key, ch}}; }

constexpr wint_t ctrl(char letter) { return static_cast<wint_t>(letter & 0x1F); }

}  // namespace

TerminalKey translateKey(wint_t code, bool isFunctionKey) {
  using platform::Key;
  if (isFunctionKey) {
    switch (code) {
      case KEY_F(1): return press(Key::SoftLeft);
      case KEY_F(2): return press(Key::SoftRight);
      case KEY_UP: return press(Key::Up);
      case KEY_DOWN: return press(Key::Down);
      case KEY_LEFT: return press(Key::Left);
      case KEY_RIGHT: return press(Key::Right);
      case KEY_ENTER: return press(Key::Action);
      case KEY_BACKSPACE: return press(Key::Back);
      case KEY_F(10): return {KeyAction::Quit, {}};
      case KEY_RESIZE: return {KeyAction::Resize, {}};
      default: return {};
    }
  }
  switch (code) {
    case 27:                   // Esc
    case 127:                  // Backspace on most terminals
    case ctrl('H'):
      return press(Key::Back);
    case '\n':
    case '\r':
      return press(Key::Action);
    case ctrl('Q'):
    case ctrl('C'):
      return {KeyAction::Quit, {}};
    default:
      break;
  }
  // Printable characters of the Basic Multilingual Plane are typed.
  if (code >= 0x20 && code < 0xFFFF && code != 0x7F && !(code >= 0x80 && code < 0xA0) &&
      !(code >= 0xD800 && code <= 0xDFFF)) {
    return press(Key::Char, static_cast<char16_t>(code));
  }
  return {};
}

const char* keyHelp() {
  return "F1/F2 soft keys  Esc/Bksp Back  arrows  Enter action  0-9 * # letters  F10/^Q quit";
}

}  // namespace terminal
