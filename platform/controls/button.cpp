// "BUTTON": push buttons and check boxes. The action key (WM_CHAR 13) and
// BM_CLICK click; an automatic check box toggles before the parent hears
// BN_CLICKED.
#include "platform/controls/control_support.h"

namespace platform::controls {
namespace {

constexpr LRESULT kFocusState = 0x0008;  // BST_FOCUS in BM_GETSTATE

struct ButtonState {
  bool checked = false;
  bool focused = false;
  HFONT font = nullptr;
};

DWORD typeOf(HWND window) { return styleOf(window) & BS_TYPEMASK; }
bool isCheckBox(DWORD type) { return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX; }

void click(HWND window, ButtonState& state) {
  if (!IsWindowEnabled(window)) return;
  if (typeOf(window) == BS_AUTOCHECKBOX) {
    state.checked = !state.checked;
    InvalidateRect(window, nullptr, TRUE);
  }
  notifyParent(window, BN_CLICKED);
}

void paintButton(HWND window, const ButtonState& state) {
  const int length = GetWindowTextLengthW(window);
  std::u16string caption(static_cast<std::size_t>(length > 0 ? length : 0) + 1, u'\0');
  const int copied = GetWindowTextW(window, caption.data(), static_cast<int>(caption.size()));
  caption.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  caption = withoutMnemonics(caption);

  const Painter painter(window, WM_CTLCOLORBTN, state.font);
  if (isCheckBox(typeOf(window))) {
    painter.text((state.checked ? u"[x] " : u"[ ] ") + caption, painter.client(), DT_LEFT);
  } else {
    painter.text(u"[ " + caption + u" ]", painter.client(), DT_CENTER);
  }
  if (state.focused) {
    const RECT& client = painter.client();
    painter.invert(client, 0, columnsCovered(painter.grid(), client.left, client.right));
  }
}

}  // namespace

LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<ButtonState>(window)) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  ButtonState* state = stateOf<ButtonState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto answer = stateAndFont(window, *state, message, wParam, lParam)) return *answer;

  switch (message) {
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, TRUE);
      return result;
    }
    case BM_GETCHECK:
      return state->checked ? BST_CHECKED : BST_UNCHECKED;
    case BM_SETCHECK:
      if (isCheckBox(typeOf(window))) {
        state->checked = wParam == BST_CHECKED;
        InvalidateRect(window, nullptr, TRUE);
      }
      return 0;
    case BM_GETSTATE:
      return (state->checked ? BST_CHECKED : BST_UNCHECKED) | (state->focused ? kFocusState : 0);
    case BM_CLICK:
      click(window, *state);
      return 0;
    case WM_CHAR:
      if (wParam == u'\r') {
        click(window, *state);
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      state->focused = message == WM_SETFOCUS;
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintButton(window, *state);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls
