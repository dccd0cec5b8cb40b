// The screen's geometry and the windows' places on it: sizes, positions,
// z-order, visibility and enabling.
#include <algorithm>

#include "platform/internal/window_system.h"
#include "platform/phone.h"

namespace platform {

namespace {
detail::ScreenGeometry& geometry() {
  static detail::ScreenGeometry g = [] {
    detail::ScreenGeometry fresh;
    fresh.titleRow = RECT{0, 0, 240, 22};
    fresh.softKeyRow = RECT{0, 286, 240, 320};
    fresh.clientArea = RECT{0, 22, 240, 286};
    return fresh;
  }();
  return g;
}
}  // namespace

// Cells are 6 x 22 pixels at 96 dpi. The top row is the title, the last full
// row the soft keys; the client area of a top-level window is between.
void configureScreen(const ScreenConfig& config) {
  detail::ScreenGeometry g;
  g.dpi = std::clamp(config.dpi, 48, 960);
  g.cellWidth = std::max(1, 6 * g.dpi / 96);
  g.cellHeight = std::max(1, 22 * g.dpi / 96);
  g.width = std::clamp(config.width, g.cellWidth * 8, g.cellWidth * 1000);
  g.height = std::clamp(config.height, g.cellHeight * 4, g.cellHeight * 1000);
  g.columns = g.width / g.cellWidth;
  g.rows = g.height / g.cellHeight;
  g.titleRow = RECT{0, 0, g.width, g.cellHeight};
  g.softKeyRow = RECT{0, (g.rows - 1) * g.cellHeight, g.width, g.height};
  g.clientArea = RECT{0, g.cellHeight, g.width, (g.rows - 1) * g.cellHeight};
  geometry() = g;
}

ScreenConfig screenConfig() {
  const auto& g = geometry();
  return ScreenConfig{g.width, g.height, g.dpi};
}

}  // namespace platform

namespace platform::detail {
const ScreenGeometry& screenGeometry() { return geometry(); }
int scaled(int pixelsAt96) { return pixelsAt96 * geometry().dpi / 96; }
}  // namespace platform::detail

using namespace platform::detail;

namespace {

void raise(HWND window) {
  Window* w = findWindow(window);
  if (w == nullptr) return;
  if (Window* p = findWindow(w->parent)) {
    auto& c = p->children;
    auto it = std::find(c.begin(), c.end(), window);
    if (it != c.end()) std::rotate(c.begin(), it, it + 1);
  } else {
    auto& order = topLevelOrder();
    std::erase(order, window);
    order.push_back(window);
  }
}

}  // namespace

RECT platform::detail::windowRect(int x, int y, int width, int height) {
  constexpr int limit = 1 << 20;
  x = std::clamp(x, -limit, limit);
  y = std::clamp(y, -limit, limit);
  return RECT{x, y, x + std::clamp(width, 0, limit), y + std::clamp(height, 0, limit)};
}

namespace {

void place(HWND window, int x, int y, int width, int height, bool move, bool size) {
  Window* w = findWindow(window);
  if (w == nullptr) return;
  const RECT old = w->rect;
  if (!move) {
    x = old.left;
    y = old.top;
  }
  if (!size) {
    width = old.right - old.left;
    height = old.bottom - old.top;
  }
  w->rect = windowRect(x, y, width, height);
  w->invalid = true;
  w->eraseNeeded = true;
  const bool moved = old.left != w->rect.left || old.top != w->rect.top;
  const bool resized = (old.right - old.left) != (w->rect.right - w->rect.left) ||
                       (old.bottom - old.top) != (w->rect.bottom - w->rect.top);
  const RECT now = w->rect;
  if (moved) SendMessageW(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(now.left), static_cast<WORD>(now.top)));
  if (resized)
    SendMessageW(window, WM_SIZE, 0,
                 MAKELPARAM(static_cast<WORD>(now.right - now.left), static_cast<WORD>(now.bottom - now.top)));
}

}  // namespace

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  if (findWindow(window) == nullptr) return FALSE;
  place(window, x, y, width, height, true, true);
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (findWindow(window) == nullptr) return FALSE;
  place(window, x, y, cx, cy, (flags & SWP_NOMOVE) == 0, (flags & SWP_NOSIZE) == 0);
  if ((flags & SWP_NOZORDER) == 0 && insertAfter == HWND_TOP) raise(window);
  if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(window, (flags & SWP_NOACTIVATE) != 0 ? SW_SHOWNA : SW_SHOW);
  if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(window, SW_HIDE);
  return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  const Window* w = findWindow(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = screenRectOf(*w);
  return TRUE;
}

// Windows have no frame of their own on the phone: the client area is the
// whole window.
BOOL GetClientRect(HWND window, RECT* rect) {
  const Window* w = findWindow(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  const Window* w = findWindow(window);
  if (w == nullptr || point == nullptr) return FALSE;
  RECT r = screenRectOf(*w);
  point->x -= r.left;
  point->y -= r.top;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  const Window* w = findWindow(window);
  if (w == nullptr || point == nullptr) return FALSE;
  RECT r = screenRectOf(*w);
  point->x += r.left;
  point->y += r.top;
  return TRUE;
}

int GetSystemMetrics(int index) {
  const auto& g = screenGeometry();
  switch (index) {
    case SM_CXSCREEN: return g.width;
    case SM_CYSCREEN: return g.height;
    case SM_CXVSCROLL: return g.cellWidth;  // one column
    case SM_CYHSCROLL: return g.cellHeight;
    case SM_CYCAPTION: return g.cellHeight;  // the title row
    default: return 0;
  }
}

BOOL ShowWindow(HWND window, int command) {
  Window* w = findWindow(window);
  if (w == nullptr) return FALSE;
  const bool wasVisible = (w->style & WS_VISIBLE) != 0;
  const bool show = command != SW_HIDE;
  const bool topLevel = w->parent == nullptr;
  const WindowKind kind = w->kind;
  if (show) {
    w->style |= WS_VISIBLE;
  } else {
    w->style &= ~WS_VISIBLE;
  }
  w->invalid = true;
  w->eraseNeeded = true;
  if (show != wasVisible) SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (topLevel && kind != WindowKind::MenuBar && findWindow(window) != nullptr) {
    auto& fs = focusState();
    if (show && command != SW_SHOWNA && fs.active != window) {
      SetActiveWindow(window);
    } else if (!show && fs.active == window) {
      // The next visible top-level window takes over.
      const auto& order = topLevelOrder();
      for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const Window* o = findWindow(*it);
        if (*it != window && o != nullptr && o->kind != WindowKind::MenuBar && (o->style & WS_VISIBLE) != 0) {
          SetActiveWindow(*it);
          break;
        }
      }
    }
  }
  return wasVisible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) { return reallyVisible(window) ? TRUE : FALSE; }

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = findWindow(window);
  if (w == nullptr) return FALSE;
  const bool wasDisabled = (w->style & WS_DISABLED) != 0;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
  }
  if (wasDisabled == static_cast<bool>(enable)) {
    w->invalid = true;
    SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  }
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  const Window* w = findWindow(window);
  return (w != nullptr && (w->style & WS_DISABLED) == 0) ? TRUE : FALSE;
}

BOOL BringWindowToTop(HWND window) {
  if (isRemoteHandle(window)) return activateRemoteWindow(window) ? TRUE : FALSE;
  Window* w = findWindow(window);
  if (w == nullptr) return FALSE;
  const bool topLevel = w->parent == nullptr && w->kind != WindowKind::MenuBar;
  raise(window);
  if (topLevel) SetActiveWindow(window);
  return TRUE;
}
