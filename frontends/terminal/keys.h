// Turns the terminal's keys into the phone's.
#pragma once

#include <cwchar>

#include "platform/phone.h"

namespace terminal {

enum class KeyAction { Press, Quit, Resize, Ignore };

struct TerminalKey {
  KeyAction action = KeyAction::Ignore;
  platform::KeyEvent key;  // for Press
};

// code and isFunctionKey as wget_wch returns them (KEY_CODE_YES marks a
// function key). F1/F2 are the soft keys, Esc and Backspace Back, the arrows
// and Enter (the action key) themselves; digits, '*', '#' and other printable
// characters are typed; F10, Ctrl-Q and Ctrl-C leave the program.
TerminalKey translateKey(wint_t code, bool isFunctionKey);

// The key map for the help line.
const char* keyHelp();

}  // namespace terminal
