// "msctls_updown32": the spinner of a one-row list box. It has no look of its
// own on the character screen (its list box draws "<>" while the spinner is
// enabled). With UDS_AUTOBUDDY it takes the window created just before it
// as its buddy. A list box buddy hears of its spinner (LBM_SETSPINNER) and
// asks it to step on Left/Right; the spinner steps the selection with
// LB_SETCURSEL, so that the list's owner sees the change as that message,
// wraps around only with UDS_WRAP, and does nothing while disabled.
#include "platform/commctrl.h"
#include "platform/controls/control_support.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

struct UpDownState {
  HWND buddy = nullptr;
};

bool isListBox(HWND window) {
  WCHAR name[16] = {};
  return window != nullptr && GetClassNameW(window, name, 16) > 0 && _wcsicmp(name, u"LISTBOX") == 0;
}

// The window created last among `parent`'s children.
HWND lastChildOf(HWND parent) {
  if (parent == nullptr) return nullptr;
  HWND last = GetWindow(parent, GW_CHILD);
  for (HWND next = last; next != nullptr; next = GetWindow(next, GW_HWNDNEXT)) last = next;
  return last;
}

void attachBuddy(HWND window, UpDownState& state, HWND buddy) {
  if (state.buddy != nullptr && IsWindow(state.buddy) && isListBox(state.buddy)) {
    SendMessageW(state.buddy, LBM_SETSPINNER, 0, reinterpret_cast<LPARAM>(window));
  }
  state.buddy = IsWindow(buddy) ? buddy : nullptr;
  if (state.buddy != nullptr && isListBox(state.buddy)) {
    SendMessageW(state.buddy, LBM_SETSPINNER, reinterpret_cast<WPARAM>(window), 0);
  }
}

LRESULT stepBuddy(HWND window, const UpDownState& state, int step) {
  if (!IsWindowEnabled(window) || state.buddy == nullptr || !IsWindow(state.buddy)) return FALSE;
  const auto count = static_cast<int>(SendMessageW(state.buddy, LB_GETCOUNT, 0, 0));
  if (count <= 0) return FALSE;
  const auto current = static_cast<int>(SendMessageW(state.buddy, LB_GETCURSEL, 0, 0));
  int next = current < 0 ? 0 : current + step;
  if (next < 0 || next >= count) {
    if ((styleOf(window) & UDS_WRAP) == 0) return FALSE;
    next = next < 0 ? count - 1 : 0;
  }
  if (next == current) return FALSE;
  SendMessageW(state.buddy, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
  return TRUE;
}

}  // namespace

LRESULT upDownProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<UpDownState>(window)) return -1;
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    HWND owner = create != nullptr ? create->hwndParent : nullptr;
    const bool child = (styleOf(window) & WS_CHILD) != 0;
    if (!child && owner != nullptr) {
      // Created for a parent but without WS_CHILD (as the form makes its
      // spinners): an owned window, which must neither show nor take the
      // activation from its owner.
      SetWindowLongW(window, GWL_STYLE, static_cast<LONG_PTR>(styleOf(window) & ~WS_VISIBLE));
    }
    if ((styleOf(window) & UDS_AUTOBUDDY) != 0) {
      attachBuddy(window, *stateOf<UpDownState>(window),
                  child ? GetWindow(window, GW_HWNDPREV) : lastChildOf(owner));
    }
    return 0;
  }
  UpDownState* state = stateOf<UpDownState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);

  switch (message) {
    case WM_DESTROY:
      attachBuddy(window, *state, nullptr);
      detachState<UpDownState>(window);
      return 0;
    case UDM_SETBUDDY: {
      HWND previous = state->buddy;
      attachBuddy(window, *state, reinterpret_cast<HWND>(wParam));
      return reinterpret_cast<LRESULT>(previous);
    }
    case UDM_GETBUDDY:
      return reinterpret_cast<LRESULT>(state->buddy);
    case UDM_STEPBUDDY:
      return stepBuddy(window, *state, static_cast<LPARAM>(wParam) < 0 ? -1 : 1);
    case WM_ENABLE:
      // The buddy shows whether its spinner is on.
      if (state->buddy != nullptr && IsWindow(state->buddy)) InvalidateRect(state->buddy, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls
