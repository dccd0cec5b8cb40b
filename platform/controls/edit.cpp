// "EDIT": a single-line edit box with a text limit, a selection and a caret,
// typed into with the keypad. Every change of its text, typed or set with
// WM_SETTEXT, is reported to the parent as EN_UPDATE and then EN_CHANGE.
#include <algorithm>

#include "platform/controls/control_support.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

constexpr std::size_t kDefaultLimit = 30000;
constexpr std::size_t kLargestLimit = 0x7FFFFFFE;

struct EditState {
  std::u16string text;
  std::size_t limit = kDefaultLimit;
  std::size_t anchor = 0;  // the selection runs from anchor to caret
  std::size_t caret = 0;
  std::size_t scroll = 0;  // first character shown
  bool numeric = false;
  bool focused = false;
  // Set when a key-down of Back erased, so that the WM_CHAR 8 translated
  // from the same key press does not erase a second character.
  bool backKeyErased = false;
  HFONT font = nullptr;

  std::size_t selStart() const { return std::min(anchor, caret); }
  std::size_t selEnd() const { return std::max(anchor, caret); }
  bool hasSelection() const { return anchor != caret; }
};

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// In the keypad's numeric mode only digits and the symbols that the number
// keys and the two symbol keys give pass, including what an owner maps them
// to: the minus sign and the locale's decimal separator.
bool typableInNumericMode(char16_t c) {
  if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'-' || c == u'.' || c == u',') return true;
  WCHAR separator[8] = {};
  const int written = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8);
  return written > 1 && std::u16string_view(separator).find(c) != std::u16string_view::npos;
}

std::size_t stepLeft(const std::u16string& text, std::size_t pos) {
  if (pos == 0) return 0;
  --pos;
  if (pos > 0 && isLowSurrogate(text[pos]) && isHighSurrogate(text[pos - 1])) --pos;
  return pos;
}

std::size_t stepRight(const std::u16string& text, std::size_t pos) {
  if (pos >= text.size()) return text.size();
  ++pos;
  if (pos < text.size() && isLowSurrogate(text[pos]) && isHighSurrogate(text[pos - 1])) ++pos;
  return pos;
}

int visibleColumns(HWND window) {
  const RECT client = clientRectOf(window);
  return columnsCovered(textGridOf(window), client.left, client.right);
}

void keepCaretVisible(HWND window, EditState& state) {
  if ((styleOf(window) & ES_AUTOHSCROLL) == 0) {
    state.scroll = 0;
    return;
  }
  const auto columns = static_cast<std::size_t>(visibleColumns(window));
  if (state.caret < state.scroll) state.scroll = state.caret;
  if (state.caret >= state.scroll + columns) state.scroll = state.caret - columns + 1;
  state.scroll = std::min(state.scroll, state.text.size());
}

// After the text changed: the window system's copy of the text, the view and
// the parent follow. The parent is told last, as it may change the box again.
void textChanged(HWND window, EditState& state) {
  DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(state.text.c_str()));
  keepCaretVisible(window, state);
  InvalidateRect(window, nullptr, TRUE);
  notifyParent(window, EN_UPDATE);
  if (IsWindow(window)) notifyParent(window, EN_CHANGE);
}

void moved(HWND window, EditState& state) {
  keepCaretVisible(window, state);
  InvalidateRect(window, nullptr, TRUE);
}

// Replaces the selection with `insert`, cut to what the limit leaves room
// for. Returns false when nothing changed.
bool replaceSelection(EditState& state, std::u16string_view insert) {
  const std::size_t start = state.selStart();
  const std::size_t end = state.selEnd();
  const std::size_t kept = state.text.size() - (end - start);
  const std::size_t room = state.limit > kept ? state.limit - kept : 0;
  if (insert.size() > room) insert = insert.substr(0, room);
  if (insert.empty() && start == end) return false;
  state.text.replace(start, end - start, insert);
  state.anchor = state.caret = start + insert.size();
  return true;
}

bool erase(EditState& state) {
  if (!state.hasSelection()) {
    if (state.caret == 0) return false;
    state.anchor = stepLeft(state.text, state.caret);
  }
  return replaceSelection(state, {});
}

void typeCharacter(HWND window, EditState& state, char16_t c) {
  if (state.numeric && !typableInNumericMode(c)) return;
  const std::size_t newLength = state.text.size() - (state.selEnd() - state.selStart()) + 1;
  if (newLength > state.limit) return;
  // Without automatic scrolling the box takes no more than it can show.
  if ((styleOf(window) & ES_AUTOHSCROLL) == 0 && newLength > static_cast<std::size_t>(visibleColumns(window))) {
    return;
  }
  const char16_t unit[1] = {c};
  if (replaceSelection(state, std::u16string_view(unit, 1))) textChanged(window, state);
}

void setSelection(HWND window, EditState& state, WPARAM startParam, LPARAM endParam) {
  const auto start = static_cast<long long>(static_cast<int>(startParam));
  const auto end = static_cast<long long>(static_cast<int>(endParam));
  const auto length = static_cast<long long>(state.text.size());
  if (start == -1) {
    state.anchor = state.caret;  // no selection, the caret stays
  } else {
    const long long to = end < 0 ? length : std::min(end, length);
    state.anchor = static_cast<std::size_t>(std::clamp(start, 0LL, length));
    state.caret = static_cast<std::size_t>(to);
  }
  moved(window, state);
}

LRESULT getSelection(const EditState& state, WPARAM startOut, LPARAM endOut) {
  const std::size_t start = state.selStart();
  const std::size_t end = state.selEnd();
  if (auto* out = reinterpret_cast<DWORD*>(startOut)) *out = static_cast<DWORD>(start);
  if (auto* out = reinterpret_cast<DWORD*>(endOut)) *out = static_cast<DWORD>(end);
  if (end > 0xFFFF) return -1;
  return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(start), static_cast<WORD>(end)));
}

void paintEdit(HWND window, const EditState& state) {
  const Painter painter(window, WM_CTLCOLOREDIT, state.font, true);
  const RECT& client = painter.client();
  const auto columns = static_cast<std::size_t>(columnsCovered(painter.grid(), client.left, client.right));

  std::u16string shown = (styleOf(window) & ES_PASSWORD) != 0 ? std::u16string(state.text.size(), u'*') : state.text;
  const std::size_t first = std::min(state.scroll, shown.size());
  painter.text(std::u16string_view(shown).substr(first, columns), client, DT_LEFT);

  if (!state.focused) return;
  // The selection, or the caret as one inverted cell.
  std::size_t from = state.selStart();
  std::size_t to = state.hasSelection() ? state.selEnd() : state.caret + 1;
  from = std::max(from, first);
  to = std::min(to, first + columns);
  if (from >= to) return;
  painter.invert(client, static_cast<int>(from - first), static_cast<int>(to - from));
}

LRESULT onKeyDown(HWND window, EditState& state, WPARAM key, LPARAM lParam) {
  switch (key) {
    case VK_BACK:
      if ((styleOf(window) & ES_READONLY) != 0) return 0;
      state.backKeyErased = true;
      if (erase(state)) textChanged(window, state);
      return 0;
    case VK_LEFT:
      state.backKeyErased = false;
      state.caret = state.hasSelection() ? state.selStart() : stepLeft(state.text, state.caret);
      state.anchor = state.caret;
      moved(window, state);
      return 0;
    case VK_RIGHT:
      state.backKeyErased = false;
      state.caret = state.hasSelection() ? state.selEnd() : stepRight(state.text, state.caret);
      state.anchor = state.caret;
      moved(window, state);
      return 0;
    default:
      // Up and Down, among others, are not the edit box's: its owner moves
      // between controls with them.
      state.backKeyErased = false;
      return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
  }
}

LRESULT onChar(HWND window, EditState& state, WPARAM wParam, LPARAM lParam) {
  const auto c = static_cast<char16_t>(wParam);
  const bool backTranslated = state.backKeyErased;
  state.backKeyErased = false;
  if (c == u'\b') {
    if (backTranslated || (styleOf(window) & ES_READONLY) != 0) return 0;
    if (erase(state)) textChanged(window, state);
    return 0;
  }
  if (c < 0x20) return DefWindowProcW(window, WM_CHAR, wParam, lParam);
  if ((styleOf(window) & ES_READONLY) != 0) return 0;
  typeCharacter(window, state, c);
  return 0;
}

}  // namespace

LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<EditState>(window)) return -1;
    EditState* created = stateOf<EditState>(window);
    created->text = creationText(lParam);
    DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(created->text.c_str()));
    return 0;
  }
  EditState* state = stateOf<EditState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto answer = stateAndFont(window, *state, message, wParam, lParam)) return *answer;

  switch (message) {
    case WM_SETTEXT:
      state->text = textParam(reinterpret_cast<LPCWSTR>(lParam));
      state->anchor = state->caret = state->scroll = 0;
      state->backKeyErased = false;
      textChanged(window, *state);
      return TRUE;
    case WM_GETTEXT:
      return copyOut(state->text, wParam, lParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(state->text.size());
    case EM_LIMITTEXT:
      state->limit = wParam == 0 ? kLargestLimit : std::min<std::size_t>(wParam, kLargestLimit);
      return 0;
    case EM_GETLIMITTEXT:
      return static_cast<LRESULT>(state->limit);
    case EM_SETSEL:
      setSelection(window, *state, wParam, lParam);
      return 0;
    case EM_GETSEL:
      return getSelection(*state, wParam, lParam);
    case EM_REPLACESEL:
      if (replaceSelection(*state, textParam(reinterpret_cast<LPCWSTR>(lParam)))) textChanged(window, *state);
      return 0;
    case WM_GETDLGCODE:
      // Characters are the box's; Up and Down move on in a dialog.
      return DLGC_WANTCHARS;
    case EM_SETINPUTMODE:
      state->numeric = lParam == IM_NUMBERS;
      return TRUE;
    case WM_KEYDOWN:
      return onKeyDown(window, *state, wParam, lParam);
    case WM_KEYUP:
      state->backKeyErased = false;
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CHAR:
      return onChar(window, *state, wParam, lParam);
    case WM_SETFOCUS:
      state->focused = true;
      InvalidateRect(window, nullptr, TRUE);
      notifyParent(window, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      state->focused = false;
      state->backKeyErased = false;
      InvalidateRect(window, nullptr, TRUE);
      notifyParent(window, EN_KILLFOCUS);
      return 0;
    case WM_ENABLE:
    case WM_SIZE:
      keepCaretVisible(window, *state);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintEdit(window, *state);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::controls
