// DefWindowProcW: what a window does with a message its procedure passes on.
#include <algorithm>

#include "platform/internal/window_system.h"

using namespace platform::detail;

namespace {

LRESULT copyText(const std::u16string& text, WPARAM size, LPARAM buffer) {
  auto* out = reinterpret_cast<WCHAR*>(buffer);
  if (out == nullptr || size == 0) return 0;
  std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
  std::copy_n(text.begin(), n, out);
  out[n] = 0;
  return static_cast<LRESULT>(n);
}

}  // namespace

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = findWindow(window);
  if (w == nullptr) return 0;
  switch (message) {
    case WM_SETTEXT: {
      const auto* text = reinterpret_cast<LPCWSTR>(lParam);
      w->text = text != nullptr ? std::u16string(text) : std::u16string();
      w->invalid = true;
      return TRUE;
    }
    case WM_GETTEXT: return copyText(w->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (lParam != 0) w->invalid = true;
      return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    case WM_ERASEBKGND: {
      HBRUSH brush = w->classBrush;
      if (brush == nullptr) return 0;
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      // The system colours: black text on white.
      auto dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, RGB(255, 255, 255));
      SetTextColor(dc, RGB(0, 0, 0));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_ACTIVATE:
      // An activated window gets back the focus it had when it was
      // deactivated, or takes it itself.
      if (LOWORD(wParam) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus == nullptr || topLevelOf(focus) != window) {
          HWND last = w->lastFocus;
          SetFocus(findWindow(last) != nullptr && topLevelOf(last) == window ? last : window);
        }
      }
      return 0;
    default: return 0;
  }
}
