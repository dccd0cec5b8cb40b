// "LISTBOX": a single-selection list of rows, one row per text row.
// Up/Down move the selection and keep it in view; Left/Right step the list
// through the up-down control that has taken it as its buddy. LBN_SELCHANGE
// reaches the parent (with LBS_NOTIFY) only for the user's own changes.
#include <algorithm>
#include <new>

#include "platform/controls/control_support.h"
#include "platform/controls/list_rows.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

struct ListBoxState {
  ListRows rows;
  int selected = -1;
  int top = 0;
  bool focused = false;
  HFONT font = nullptr;
  HWND spinner = nullptr;  // the up-down whose buddy this list is

  int count() const { return static_cast<int>(rows.size()); }
  bool valid(WPARAM index) const { return index < rows.size(); }
};

int visibleRows(HWND window) {
  const RECT client = clientRectOf(window);
  return rowsCovered(textGridOf(window), client.top, client.bottom);
}

void scrollIntoView(HWND window, ListBoxState& state) {
  const int rows = visibleRows(window);
  if (state.selected >= 0) {
    if (state.selected < state.top) state.top = state.selected;
    if (state.selected >= state.top + rows) state.top = state.selected - rows + 1;
  }
  state.top = std::clamp(state.top, 0, std::max(0, state.count() - 1));
}

bool hasSpinner(const ListBoxState& state) { return state.spinner != nullptr && IsWindow(state.spinner); }

LRESULT insertRow(HWND window, ListBoxState& state, std::size_t index, LPCWSTR text) {
  try {
    state.rows.insert(index, ListRow{textParam(text), 0});
  } catch (const std::bad_alloc&) {
    return LB_ERRSPACE;
  }
  const int row = static_cast<int>(index);
  if (state.selected >= row) ++state.selected;
  InvalidateRect(window, nullptr, TRUE);
  return row;
}

LRESULT deleteRow(HWND window, ListBoxState& state, WPARAM index) {
  if (!state.valid(index)) return LB_ERR;
  state.rows.erase(index);
  const int row = static_cast<int>(index);
  if (state.selected == row) {
    state.selected = -1;
  } else if (state.selected > row) {
    --state.selected;
  }
  if (state.top > row) --state.top;
  scrollIntoView(window, state);
  InvalidateRect(window, nullptr, TRUE);
  return state.count();
}

LRESULT findExact(const ListBoxState& state, WPARAM startParam, LPCWSTR text) {
  const int n = state.count();
  if (n == 0) return LB_ERR;
  const std::u16string wanted = textParam(text);
  const int start = static_cast<int>(startParam);
  const int first = (start < 0 || start >= n) ? 0 : start + 1;
  for (int k = 0; k < n; ++k) {
    const int row = (first + k) % n;
    if (_wcsicmp(state.rows.at(static_cast<std::size_t>(row)).text.c_str(), wanted.c_str()) == 0) return row;
  }
  return LB_ERR;
}

// A selection change made by the user: shown and, with LBS_NOTIFY, reported.
void userSelect(HWND window, ListBoxState& state, int row) {
  if (row == state.selected) return;
  state.selected = row;
  scrollIntoView(window, state);
  InvalidateRect(window, nullptr, TRUE);
  if ((styleOf(window) & LBS_NOTIFY) != 0) notifyParent(window, LBN_SELCHANGE);
}

LRESULT onKeyDown(HWND window, ListBoxState& state, WPARAM key, LPARAM lParam) {
  const int n = state.count();
  switch (key) {
    case VK_UP:
      if (n > 0) userSelect(window, state, state.selected < 0 ? 0 : std::max(0, state.selected - 1));
      return 0;
    case VK_DOWN:
      if (n > 0) userSelect(window, state, state.selected < 0 ? 0 : std::min(n - 1, state.selected + 1));
      return 0;
    case VK_LEFT:
    case VK_RIGHT: {
      if (!hasSpinner(state)) return 0;
      const int before = state.selected;
      const WPARAM step = key == VK_RIGHT ? 1 : static_cast<WPARAM>(-1);
      SendMessageW(state.spinner, UDM_STEPBUDDY, step, 0);
      // The step went through LB_SETCURSEL, which the owner may watch and
      // answer in any way, even by destroying the list.
      if (!IsWindow(window)) return 0;
      ListBoxState* after = stateOf<ListBoxState>(window);
      if (after != nullptr && after->selected != before && (styleOf(window) & LBS_NOTIFY) != 0) {
        notifyParent(window, LBN_SELCHANGE);
      }
      return 0;
    }
    default:
      return DefWindowProcW(window, WM_KEYDOWN, key, lParam);
  }
}

// Each text row shows one row's text; the last column shows the scroll
// position when not all rows fit, and "<>" stands before it while an enabled
// spinner steps the list.
void paintListBox(HWND window, const ListBoxState& state) {
  const Painter painter(window, WM_CTLCOLORLISTBOX, state.font);
  const RECT& client = painter.client();
  const TextGrid& grid = painter.grid();
  const int rows = rowsCovered(grid, client.top, client.bottom);
  const int columns = columnsCovered(grid, client.left, client.right);
  const int n = state.count();

  const bool scrollColumn = (styleOf(window) & WS_VSCROLL) != 0 && n > rows;
  const bool spinMarks = hasSpinner(state) && IsWindowEnabled(state.spinner);
  const int textColumns = std::max(0, columns - (scrollColumn ? 1 : 0) - (spinMarks ? 2 : 0));
  const int thumb = scrollColumn ? static_cast<int>(static_cast<long long>(state.top) * (rows - 1) / (n - rows)) : -1;

  for (int r = 0; r < rows; ++r) {
    const RECT rowRect = textRow(grid, client, r);
    const int index = state.top + r;
    std::u16string line;
    if (index < n) line = state.rows.at(static_cast<std::size_t>(index)).text.substr(0, static_cast<std::size_t>(textColumns));
    line.resize(static_cast<std::size_t>(textColumns), u' ');
    if (spinMarks) line += r == 0 ? u"<>" : u"  ";
    if (scrollColumn) line += r == thumb ? u'\u2588' : u'\u2502';
    painter.text(line, rowRect, DT_LEFT);
    // The selection shows inverted; a one-row list (a pick list) shows it
    // plainly while it does not have the focus, as its value.
    if (index == state.selected && index < n && (state.focused || rows > 1)) painter.invert(rowRect, 0, textColumns);
  }
}

LRESULT onListMessage(HWND window, ListBoxState& state, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case LB_ADDSTRING: {
      const LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
      // The style decides as it stands now: an owner may switch sorting on
      // for some rows and off for others.
      const std::size_t at =
          (styleOf(window) & LBS_SORT) != 0 ? state.rows.sortedPosition(textParam(text)) : state.rows.size();
      return insertRow(window, state, at, text);
    }
    case LB_INSERTSTRING: {
      const int index = static_cast<int>(wParam);
      if (index < -1 || index > state.count()) return LB_ERR;
      return insertRow(window, state, index == -1 ? state.rows.size() : static_cast<std::size_t>(index),
                       reinterpret_cast<LPCWSTR>(lParam));
    }
    case LB_DELETESTRING:
      return deleteRow(window, state, wParam);
    case LB_RESETCONTENT:
      state.rows.clear();
      state.selected = -1;
      state.top = 0;
      InvalidateRect(window, nullptr, TRUE);
      return LB_OKAY;
    case LB_SETCURSEL: {
      const int index = static_cast<int>(wParam);
      if (index == -1) {
        state.selected = -1;
        InvalidateRect(window, nullptr, TRUE);
        return LB_ERR;  // as on the desktop: "no selection" answers LB_ERR
      }
      if (!state.valid(wParam)) return LB_ERR;
      state.selected = index;
      scrollIntoView(window, state);
      InvalidateRect(window, nullptr, TRUE);
      return index;
    }
    case LB_GETCURSEL:
      return state.selected;
    case LB_GETTEXT: {
      auto* out = reinterpret_cast<WCHAR*>(lParam);
      if (!state.valid(wParam) || out == nullptr) return LB_ERR;
      const std::u16string& text = state.rows.at(wParam).text;
      std::copy(text.begin(), text.end(), out);
      out[text.size()] = u'\0';
      return static_cast<LRESULT>(text.size());
    }
    case LB_GETTEXTLEN:
      return state.valid(wParam) ? static_cast<LRESULT>(state.rows.at(wParam).text.size()) : LB_ERR;
    case LB_GETCOUNT:
      return state.count();
    case LB_SETITEMDATA:
      if (static_cast<int>(wParam) == -1) {
        for (std::size_t i = 0; i < state.rows.size(); ++i) state.rows.at(i).data = lParam;
        return TRUE;
      }
      if (!state.valid(wParam)) return LB_ERR;
      state.rows.at(wParam).data = lParam;
      return TRUE;
    case LB_GETITEMDATA:
      return state.valid(wParam) ? state.rows.at(wParam).data : LB_ERR;
    case LB_SETTOPINDEX:
      if (!state.valid(wParam)) return LB_ERR;
      state.top = static_cast<int>(wParam);
      InvalidateRect(window, nullptr, TRUE);
      return LB_OKAY;
    case LB_GETTOPINDEX:
      return state.top;
    case LB_FINDSTRINGEXACT:
      return findExact(state, wParam, reinterpret_cast<LPCWSTR>(lParam));
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    if (!attachState<ListBoxState>(window)) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  ListBoxState* state = stateOf<ListBoxState>(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (auto answer = stateAndFont(window, *state, message, wParam, lParam)) return *answer;

  switch (message) {
    // The window text of a list box is its selected row: a one-row list
    // stepped by an up-down reads like a value.
    case WM_GETTEXT:
      if (state->selected < 0) return DefWindowProcW(window, message, wParam, lParam);
      return copyOut(state->rows.at(static_cast<std::size_t>(state->selected)).text, wParam, lParam);
    case WM_GETTEXTLENGTH:
      if (state->selected < 0) return DefWindowProcW(window, message, wParam, lParam);
      return static_cast<LRESULT>(state->rows.at(static_cast<std::size_t>(state->selected)).text.size());
    case LBM_SETSPINNER: {
      HWND spinner = reinterpret_cast<HWND>(wParam);
      if (spinner != nullptr) {
        state->spinner = spinner;
      } else if (state->spinner == reinterpret_cast<HWND>(lParam)) {
        state->spinner = nullptr;
      }
      InvalidateRect(window, nullptr, TRUE);
      return TRUE;
    }
    case WM_GETDLGCODE:
      // A one-row list (stepped by a spinner) lets Up and Down move on in a
      // dialog; a taller list scrolls with them.
      return DLGC_WANTCHARS | (visibleRows(window) > 1 ? DLGC_WANTARROWS : 0);
    case WM_KEYDOWN:
      return onKeyDown(window, *state, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      state->focused = message == WM_SETFOCUS;
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_SIZE:
      scrollIntoView(window, *state);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_ENABLE:
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT:
      paintListBox(window, *state);
      return 0;
    default:
      return onListMessage(window, *state, message, wParam, lParam);
  }
}

}  // namespace platform::controls
