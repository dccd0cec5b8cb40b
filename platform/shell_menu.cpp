// The pop-up menu a soft key opens: numbered items, Up/Down to move, the
// action key or the left soft key to choose, a digit 1-9 to choose an item
// at once, Back or the right soft key to close. Choosing sends the item's
// command to the bar's owner as WM_COMMAND.
#include "platform/internal/shell.h"
#include "platform/internal/window_system.h"
#include "platform/resource_data.h"

namespace platform::detail {

namespace {
OpenMenu& state() {
  static OpenMenu m;
  return m;
}

void choose(int index) {
  OpenMenu& m = state();
  if (index < 0 || index >= static_cast<int>(m.items.size())) return;
  HWND owner = m.owner;
  WORD command = m.items[static_cast<std::size_t>(index)].command;
  closeMenu();
  PostMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}
}  // namespace

const OpenMenu& openMenu() { return state(); }

bool openPopup(HWND owner, unsigned menuId, int popup) {
  const auto* menu = platform::findMenu(menuId);
  if (menu == nullptr || popup < 0 || static_cast<std::size_t>(popup) >= menu->popups.size()) return false;
  const auto& items = menu->popups[static_cast<std::size_t>(popup)].items;
  if (items.empty()) return false;
  OpenMenu& m = state();
  m = OpenMenu{};
  m.open = true;
  m.owner = owner;
  for (const auto& item : items) m.items.push_back(MenuEntry{item.commandId, item.text != nullptr ? item.text : u""});
  return true;
}

void closeMenu() { state() = OpenMenu{}; }

void menuKey(const KeyEvent& key) {
  OpenMenu& m = state();
  if (!m.open) return;
  if (findWindow(m.owner) == nullptr) {
    closeMenu();
    return;
  }
  const int count = static_cast<int>(m.items.size());
  switch (key.key) {
    case Key::Up: m.selected = (m.selected + count - 1) % count; break;
    case Key::Down: m.selected = (m.selected + 1) % count; break;
    case Key::Action:
    case Key::SoftLeft: choose(m.selected); break;
    case Key::Back:
    case Key::SoftRight: closeMenu(); break;
    case Key::Char:
      if (key.ch >= u'1' && key.ch <= u'9') choose(key.ch - u'1');
      break;
    default: break;
  }
}

}  // namespace platform::detail
