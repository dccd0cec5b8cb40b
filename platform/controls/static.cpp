// "STATIC": a line of text, left-aligned, centred or right-aligned.
#include "platform/controls/control_support.h"

namespace platform::controls {
namespace {

struct StaticState {
  HFONT font = nullptr;
};

UINT alignmentOf(DWORD style) {
  switch (style & 0x3) {
    case SS_CENTER: return DT_CENTER;
    case SS_RIGHT: return DT_RIGHT;
    default: return DT_LEFT;
  }
}

void paintStatic(HWND window, const StaticState& state) {
  const int length = GetWindowTextLengthW(window);
  std::u16string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, u'\0');
  const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));

  const Painter painter(window, WM_CTLCOLORSTATIC, state.font);
  painter.text(withoutMnemonics(text), painter.client(), alignmentOf(styleOf(window)));
}

}  // namespace

LRESULT staticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<StaticState>(window)) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  StaticState* state = stateOf<StaticState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto answer = stateAndFont(window, *state, message, wParam, lParam)) return *answer;

  switch (message) {
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintStatic(window, *state);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls
