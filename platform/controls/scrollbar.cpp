// "SCROLLBAR": a range and a position, drawn as a thin column (or row) of
// track cells with one thumb cell. Also the scroll functions for SB_CTL.
#include <algorithm>

#include "platform/controls/control_support.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

struct ScrollBarState {
  int minimum = 0;
  int maximum = 0;
  int position = 0;
};

void setPosition(HWND window, ScrollBarState& state, int position, bool redraw) {
  state.position = std::clamp(position, state.minimum, std::max(state.minimum, state.maximum));
  if (redraw) InvalidateRect(window, nullptr, TRUE);
}

// The thumb's cell among `cells`, by the position within the range.
int thumbCell(const ScrollBarState& state, int cells) {
  const long long span = static_cast<long long>(state.maximum) - state.minimum;
  if (span <= 0 || cells <= 1) return 0;
  return static_cast<int>((static_cast<long long>(state.position) - state.minimum) * (cells - 1) / span);
}

void paintScrollBar(HWND window, const ScrollBarState& state) {
  const Painter painter(window, WM_CTLCOLORSCROLLBAR, nullptr);
  const RECT& client = painter.client();
  const TextGrid& grid = painter.grid();
  if ((styleOf(window) & SBS_VERT) != 0) {
    const int cells = rowsCovered(grid, client.top, client.bottom);
    const int thumb = thumbCell(state, cells);
    for (int r = 0; r < cells; ++r) painter.text(r == thumb ? u"\u2588" : u"\u2502", textRow(grid, client, r), DT_LEFT);
  } else {
    const int cells = columnsCovered(grid, client.left, client.right);
    std::u16string line(static_cast<std::size_t>(cells), u'\u2500');
    line[static_cast<std::size_t>(thumbCell(state, cells))] = u'\u2588';
    painter.text(line, client, DT_LEFT);
  }
}

bool isScrollBar(HWND window) {
  WCHAR name[16] = {};
  return GetClassNameW(window, name, 16) > 0 && _wcsicmp(name, u"SCROLLBAR") == 0;
}

}  // namespace

LRESULT scrollBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<ScrollBarState>(window)) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  ScrollBarState* state = stateOf<ScrollBarState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);

  switch (message) {
    case WM_DESTROY:
      detachState<ScrollBarState>(window);
      return 0;
    case SBM_SETPOS: {
      const int previous = state->position;
      setPosition(window, *state, static_cast<int>(wParam), lParam != 0);
      return previous;
    }
    case SBM_GETPOS:
      return state->position;
    case SBM_SETRANGE: {
      const int previous = state->position;
      state->minimum = static_cast<int>(wParam);
      state->maximum = static_cast<int>(lParam);
      setPosition(window, *state, state->position, false);
      return previous;
    }
    case SBM_GETRANGE:
      if (auto* out = reinterpret_cast<int*>(wParam)) *out = state->minimum;
      if (auto* out = reinterpret_cast<int*>(lParam)) *out = state->maximum;
      return 0;
    case WM_ENABLE:
    case WM_SIZE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintScrollBar(window, *state);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls

// Only scroll-bar controls (SB_CTL) have a range and a position here; the
// standard bars of other windows (SB_HORZ, SB_VERT) are not kept.
int SetScrollPos(HWND window, int bar, int pos, BOOL redraw) {
  if (bar != SB_CTL || !platform::controls::isScrollBar(window)) return 0;
  return static_cast<int>(SendMessageW(window, SBM_SETPOS, static_cast<WPARAM>(pos), redraw));
}

int GetScrollPos(HWND window, int bar) {
  if (bar != SB_CTL || !platform::controls::isScrollBar(window)) return 0;
  return static_cast<int>(SendMessageW(window, SBM_GETPOS, 0, 0));
}

BOOL SetScrollRange(HWND window, int bar, int minPos, int maxPos, BOOL redraw) {
  if (bar != SB_CTL || !platform::controls::isScrollBar(window)) return FALSE;
  SendMessageW(window, SBM_SETRANGE, static_cast<WPARAM>(minPos), maxPos);
  if (redraw) InvalidateRect(window, nullptr, TRUE);
  return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int* minPos, int* maxPos) {
  if (bar != SB_CTL || !platform::controls::isScrollBar(window) || minPos == nullptr || maxPos == nullptr) {
    return FALSE;
  }
  SendMessageW(window, SBM_GETRANGE, reinterpret_cast<WPARAM>(minPos), reinterpret_cast<LPARAM>(maxPos));
  return TRUE;
}
