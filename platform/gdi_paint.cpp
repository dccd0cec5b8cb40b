// Painting windows: BeginPaint/EndPaint, GetDC/ReleaseDC, invalidation.
#include "platform/internal/gdi.h"
#include "platform/internal/window_system.h"

namespace platform::detail {
void resetGdi() { clearScreenBuffer(); }
}  // namespace platform::detail

using namespace platform::detail;

// BeginPaint erases first (WM_ERASEBKGND) when the window was invalidated
// with erasing; fErase then tells whether the background still needs it.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  Window* w = findWindow(window);
  if (w == nullptr || paint == nullptr) return nullptr;
  const bool erase = w->eraseNeeded;
  w->invalid = false;
  w->eraseNeeded = false;
  HDC dc = openDC(window);
  paint->hdc = dc;
  paint->fErase = FALSE;
  GetClientRect(window, &paint->rcPaint);
  if (erase && dc != nullptr) paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE;
  closeDC(paint->hdc);
  return TRUE;
}

HDC GetDC(HWND window) {
  if (window != nullptr && findWindow(window) == nullptr) return nullptr;
  return openDC(window);
}

int ReleaseDC(HWND, HDC dc) {
  closeDC(dc);
  return 1;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
  if (window == nullptr) {
    for (HWND h : allWindows()) InvalidateRect(h, nullptr, erase);
    return TRUE;
  }
  Window* w = findWindow(window);
  if (w == nullptr) return FALSE;
  w->invalid = true;
  if (erase) w->eraseNeeded = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  const Window* w = findWindow(window);
  if (w == nullptr) return FALSE;
  if (w->invalid && reallyVisible(window)) SendMessageW(window, WM_PAINT, 0, 0);
  return TRUE;
}
