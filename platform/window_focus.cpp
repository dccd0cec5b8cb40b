// Keyboard focus and activation.
//
// A focus change sends WM_KILLFOCUS to the window losing the focus (wParam:
// the window gaining it) while GetFocus still names it, then WM_SETFOCUS to
// the new window (wParam: the window that lost it). Activation sends
// WM_ACTIVATE(WA_INACTIVE, new) to the old active window and
// WM_ACTIVATE(WA_ACTIVE, old) to the new one.
#include "platform/internal/window_system.h"

using namespace platform::detail;

HWND SetFocus(HWND window) {
  auto& fs = focusState();
  const HWND old = fs.focus;
  if (window != nullptr && findWindow(window) == nullptr) return nullptr;
  if (window == old) return old;
  if (old != nullptr && findWindow(old) != nullptr) {
    SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    if (fs.focus != old) return old;  // the handler moved the focus itself
  }
  if (window != nullptr && findWindow(window) == nullptr) {
    fs.focus = nullptr;
    return old;
  }
  fs.focus = window;
  if (window == nullptr) return old;
  if (Window* top = findWindow(topLevelOf(window)); top != nullptr && top->dialog) top->dialog->savedFocus = window;
  SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(findWindow(old) != nullptr ? old : nullptr), 0);
  return old;
}

HWND GetFocus() {
  HWND f = focusState().focus;
  return findWindow(f) != nullptr ? f : nullptr;
}

HWND GetActiveWindow() {
  HWND a = focusState().active;
  return findWindow(a) != nullptr ? a : nullptr;
}

HWND SetActiveWindow(HWND window) {
  auto& fs = focusState();
  window = topLevelOf(window);
  const HWND old = GetActiveWindow();
  if (window == nullptr || window == old) return old;
  const Window* w = findWindow(window);
  if (w == nullptr || w->kind == WindowKind::MenuBar) return old;
  if (Window* o = findWindow(old); o != nullptr && fs.focus != nullptr && topLevelOf(fs.focus) == old)
    o->lastFocus = fs.focus;
  if (old != nullptr) {
    SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(window));
    if (findWindow(window) == nullptr) return old;
  }
  fs.active = window;
  fs.foreground = window;
  SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
  return old;
}

BOOL SetForegroundWindow(HWND window) {
  if (isRemoteHandle(window)) return activateRemoteWindow(window) ? TRUE : FALSE;
  if (findWindow(window) == nullptr) return FALSE;
  SetActiveWindow(window);
  focusState().foreground = topLevelOf(window);
  return TRUE;
}

HWND GetForegroundWindow() {
  HWND f = focusState().foreground;
  return findWindow(f) != nullptr ? f : GetActiveWindow();
}
