// The phone shell's state that the keys and the renderer share: soft-key
// bars, the open pop-up menu, message boxes.
#pragma once

#include <string>
#include <vector>

#include "platform/phone.h"
#include "platform/win_user.h"

namespace platform::detail {

struct SoftKey {
  WORD command = 0;
  std::u16string label;
  int popup = -1;  // index of the pop-up in the bar's menu, -1 none
  bool enabled = false;
};

struct SoftKeyBar {
  unsigned menuId = 0;
  std::vector<SoftKey> keys;  // left, right
  WORD backOverride = 0;      // SHMBOF_* flags set for the Back key
  unsigned long shownSerial = 0;
};

const SoftKeyBar* findBar(HWND bar);
// The bar whose keys act: the most recently shown visible bar owned by the
// active window.
HWND activeBar();

struct MenuEntry {
  WORD command = 0;
  std::u16string text;
};
struct OpenMenu {
  bool open = false;
  HWND owner = nullptr;
  std::vector<MenuEntry> items;
  int selected = 0;
};
const OpenMenu& openMenu();
bool openPopup(HWND owner, unsigned menuId, int popup);
void closeMenu();
// Handles a key while a menu is open.
void menuKey(const KeyEvent& key);

// The labels of a message box's soft keys (right may be empty).
bool messageBoxLabels(HWND box, std::u16string* left, std::u16string* right);

}  // namespace platform::detail
