// The phone's keys as messages.
//
// Soft keys and Back belong to the shell: an open menu takes every key; a
// message box gets its keys directly; otherwise the active window's visible
// soft-key bar acts (WM_COMMAND to its owner, or its pop-up menu), and Back
// goes to the bar's owner as WM_HOTKEY when the bar overrides it, or takes
// its default action (IDCANCEL in a dialog, leaving the program elsewhere).
// Every other key goes to the focused window (the active window when none
// has the focus) as WM_KEYDOWN and WM_KEYUP, with its character in bits
// 32-47 of lParam for TranslateMessage.
#include "platform/aygshell.h"
#include "platform/internal/shell.h"
#include "platform/internal/window_system.h"
#include "platform/phone.h"

using namespace platform::detail;

namespace {

// The phone's star and pound keys.
constexpr UINT VK_TSTAR = 0x77;
constexpr UINT VK_TPOUND = 0x78;
constexpr UINT VK_SPACE = 0x20;

UINT virtualKeyOf(const platform::KeyEvent& key) {
  switch (key.key) {
    case platform::Key::Up: return VK_UP;
    case platform::Key::Down: return VK_DOWN;
    case platform::Key::Left: return VK_LEFT;
    case platform::Key::Right: return VK_RIGHT;
    case platform::Key::Action: return VK_TACTION;
    case platform::Key::SoftLeft: return VK_TSOFT1;
    case platform::Key::SoftRight: return VK_TSOFT2;
    case platform::Key::Back: return VK_TBACK;
    case platform::Key::Char: break;
    case platform::Key::None: return 0;
  }
  char16_t c = key.ch;
  if (c >= u'0' && c <= u'9') return c;
  if (c >= u'a' && c <= u'z') return c - u'a' + u'A';
  if (c >= u'A' && c <= u'Z') return c;
  if (c == u'*') return VK_TSTAR;
  if (c == u'#') return VK_TPOUND;
  if (c == u' ') return VK_SPACE;
  return 0;
}

void postKey(HWND target, UINT vk, char16_t ch) {
  const auto withChar = static_cast<LPARAM>(static_cast<std::uint64_t>(ch) << 32);
  PostMessageW(target, WM_KEYDOWN, vk, withChar | 1);
  PostMessageW(target, WM_KEYUP, vk, withChar | static_cast<LPARAM>(0xC0000001));
}

void softKey(int index) {
  HWND barWindow = activeBar();
  const SoftKeyBar* bar = findBar(barWindow);
  if (bar == nullptr || index >= static_cast<int>(bar->keys.size())) return;
  const SoftKey& key = bar->keys[static_cast<std::size_t>(index)];
  const Window* w = findWindow(barWindow);
  if (!key.enabled || w == nullptr) return;
  if (key.popup >= 0) {
    openPopup(w->owner, bar->menuId, key.popup);
  } else {
    PostMessageW(w->owner, WM_COMMAND, MAKEWPARAM(key.command, 0), 0);
  }
}

void backKey(HWND active) {
  HWND barWindow = activeBar();
  const SoftKeyBar* bar = findBar(barWindow);
  const WORD flags = bar != nullptr ? bar->backOverride : 0;
  if ((flags & SHMBOF_NOTIFY) != 0) {
    HWND owner = findWindow(barWindow)->owner;
    PostMessageW(owner, WM_HOTKEY, 0, MAKELPARAM(0, VK_TBACK));
    PostMessageW(owner, WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_TBACK));
  }
  if ((flags & SHMBOF_NODEFAULT) != 0) return;
  const Window* a = findWindow(active);
  if (a != nullptr && a->kind == WindowKind::Dialog) {
    PostMessageW(active, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  } else {
    SHNavigateBack();
  }
}

}  // namespace

namespace platform {

void pressKey(const KeyEvent& key) {
  if (key.key == Key::None) return;
  ensureStarted();
  if (openMenu().open) {
    menuKey(key);
    return;
  }
  HWND active = GetActiveWindow();
  const Window* a = findWindow(active);
  if (a != nullptr && a->kind == WindowKind::MessageBox) {
    if (key.key == Key::SoftLeft || key.key == Key::SoftRight || key.key == Key::Back || key.key == Key::Action)
      postKey(active, virtualKeyOf(key), 0);
    return;
  }
  switch (key.key) {
    case Key::SoftLeft: softKey(0); return;
    case Key::SoftRight: softKey(1); return;
    case Key::Back: backKey(active); return;
    default: break;
  }
  HWND target = GetFocus();
  if (target == nullptr) target = active;
  if (target == nullptr) return;
  postKey(target, virtualKeyOf(key), key.key == Key::Char ? key.ch : u'\0');
}

}  // namespace platform
