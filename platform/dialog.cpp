// Modal dialogs from templates, the dialog item calls and the default
// dialog processing.
//
// A dialog's window procedure calls its DLGPROC first; a FALSE answer hands
// the message to DefDlgProcW. DefDlgProcW itself never calls the DLGPROC, so
// a dialog procedure may call it without recursing.
#include <algorithm>

#include "platform/internal/internal_classes.h"
#include "platform/internal/message_loop.h"
#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"
#include "platform/resource_data.h"

using namespace platform::detail;

namespace {

bool isTabStop(HWND h) {
  const Window* w = findWindow(h);
  return w != nullptr && (w->style & WS_TABSTOP) != 0 && (w->style & WS_VISIBLE) != 0 &&
         (w->style & WS_DISABLED) == 0;
}

HWND firstTabStop(HWND dialog) {
  const Window* d = findWindow(dialog);
  if (d == nullptr) return nullptr;
  for (HWND c : d->children)
    if (isTabStop(c)) return c;
  return nullptr;
}

// The next (or previous) tab stop after `from`, wrapping around.
HWND nextTabStop(HWND dialog, HWND from, bool forward) {
  const Window* d = findWindow(dialog);
  if (d == nullptr || d->children.empty()) return nullptr;
  const auto& c = d->children;
  const auto n = static_cast<std::ptrdiff_t>(c.size());
  auto at = std::find(c.begin(), c.end(), from) - c.begin();
  if (at >= n) at = forward ? n - 1 : 0;
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    std::ptrdiff_t i = ((at + (forward ? step : -step)) % n + n) % n;
    if (isTabStop(c[static_cast<std::size_t>(i)])) return c[static_cast<std::size_t>(i)];
  }
  return nullptr;
}

// Controls that use Up and Down themselves.
bool wantsArrows(HWND control) {
  if ((SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)) != 0) return true;
  const Window* w = findWindow(control);
  if (w == nullptr) return false;
  if (sameClassName(w->className, u"EDIT")) return (w->style & ES_MULTILINE) != 0;
  if (sameClassName(w->className, u"LISTBOX")) {
    // A list of several rows moves its selection; a one-row list (a pick
    // line with its spinner) is passed over like a field.
    return (w->rect.bottom - w->rect.top) >= 2 * screenGeometry().cellHeight;
  }
  return false;
}

POINT dialogUnitsToPixels(int x, int y) {
  LONG base = GetDialogBaseUnits();
  return POINT{x * LOWORD(static_cast<std::uintptr_t>(base)) / 4, y * HIWORD(static_cast<std::uintptr_t>(base)) / 8};
}

bool isColourRequest(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

}  // namespace

namespace platform::detail {

void registerInternalClasses() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = dialogWindowProc;
  wc.lpszClassName = dialogClassName;
  RegisterClassW(&wc);
  wc.lpfnWndProc = messageBoxWindowProc;
  wc.lpszClassName = messageBoxClassName;
  RegisterClassW(&wc);
  wc.lpfnWndProc = softKeyBarWindowProc;
  wc.lpszClassName = softKeyBarClassName;
  RegisterClassW(&wc);
}

LRESULT dialogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* w = findWindow(window);
  DLGPROC proc = (w != nullptr && w->dialog) ? w->dialog->proc : nullptr;
  if (proc != nullptr) {
    INT_PTR answer = proc(window, message, wParam, lParam);
    if (answer != 0) {
      if (isColourRequest(message) || message == WM_INITDIALOG) return answer;
      w = findWindow(window);
      return (w != nullptr && w->dialog) ? w->dialog->msgResult : answer;
    }
  }
  return DefDlgProcW(window, message, wParam, lParam);
}

}  // namespace platform::detail

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* d = findWindow(dialog);
  if (d == nullptr) return 0;
  switch (message) {
    case WM_INITDIALOG: return 0;
    case WM_CLOSE: PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); return 0;
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(wParam);
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(dialog)));
      if (brush == nullptr) brush = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      RECT client{};
      GetClientRect(dialog, &client);
      FillRect(dc, &client, brush);
      return 1;
    }
    case WM_ACTIVATE:
    case WM_SETFOCUS: {
      if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) return 0;
      HWND target = d->dialog ? d->dialog->savedFocus : nullptr;
      if (target == nullptr || findWindow(target) == nullptr || !belongsTo(target, dialog)) target = firstTabStop(dialog);
      if (target != nullptr) {
        SetFocus(target);
      } else if (message == WM_ACTIVATE) {
        SetFocus(dialog);
      }
      return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HOTKEY: return 0;
    default: return DefWindowProcW(dialog, message, wParam, lParam);
  }
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param) {
  ensureStarted();
  if (!IS_INTRESOURCE(templateName) || proc == nullptr) return -1;
  const auto* t = platform::findDialogTemplate(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(templateName)));
  if (t == nullptr) return -1;
  owner = topLevelOf(owner);

  // Centred in the client area until the shell makes it full-screen.
  const RECT area = screenGeometry().clientArea;
  POINT size = dialogUnitsToPixels(t->cx, t->cy);
  int x = area.left + std::max(0, (area.right - area.left - static_cast<int>(size.x)) / 2);
  int y = area.top + std::max(0, (area.bottom - area.top - static_cast<int>(size.y)) / 2);
  HWND dialog = CreateWindowExW(0, dialogClassName, t->caption, t->style & ~WS_VISIBLE & ~WS_CHILD, x, y, size.x,
                                size.y, owner, nullptr, instance, nullptr);
  Window* d = findWindow(dialog);
  if (d == nullptr) return -1;
  d->dialog = std::make_unique<DialogState>();
  d->dialog->proc = proc;
  d->dialog->modal = true;

  // The screen shows text rows, coarser than dialog units: a template's
  // label of 8 units above an edit of 12 would share one row with it and
  // vanish under it. Each item goes to the row its top is nearest, and an
  // item that would share a row with the one before moves down, with
  // everything after it.
  const int cell = screenGeometry().cellHeight;
  int shift = 0;         // rows added so far
  int previousEnd = 0;   // the row after the last item placed
  LONG previousLeft = 0, previousRight = 0;
  for (const auto& item : t->items) {
    POINT at = dialogUnitsToPixels(item.x, item.y);
    POINT extent = dialogUnitsToPixels(item.cx, item.cy);
    if (extent.y > 0) {
      int row = (at.y + cell / 2) / cell + shift;
      const int rows = std::max(1, static_cast<int>((extent.y + cell / 2) / cell));
      const bool sideBySide = at.x >= previousRight || at.x + extent.x <= previousLeft;
      if (row < previousEnd && !sideBySide) {
        shift += previousEnd - row;
        row = previousEnd;
      }
      at.y = row * cell;
      extent.y = rows * cell;
      previousEnd = row + rows;
      previousLeft = at.x;
      previousRight = at.x + extent.x;
    }
    HWND control = CreateWindowExW(0, item.className, item.text, item.style, at.x, at.y, extent.x, extent.y, dialog,
                                   reinterpret_cast<HMENU>(static_cast<std::intptr_t>(item.id)), instance, nullptr);
    if (control == nullptr) {
      DestroyWindow(dialog);
      return -1;
    }
  }

  HWND first = firstTabStop(dialog);
  if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param) != 0) {
    first = firstTabStop(dialog);
    if (first != nullptr && findWindow(dialog) != nullptr) SetFocus(first);
  }
  d = findWindow(dialog);
  if (d == nullptr) return -1;

  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  if (!d->dialog->ended) {
    ShowWindow(dialog, SW_SHOW);
    if (!runModalLoop(dialog)) {
      // The user left (or no input is coming): cancel, as Back would.
      if (Window* open = findWindow(dialog); open != nullptr && !open->dialog->ended)
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  }
  if (ownerWasEnabled && findWindow(owner) != nullptr) EnableWindow(owner, TRUE);
  d = findWindow(dialog);
  INT_PTR result = (d != nullptr && d->dialog && d->dialog->ended) ? d->dialog->result : -1;
  if (d != nullptr) DestroyWindow(dialog);
  return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  Window* d = findWindow(dialog);
  if (d == nullptr || !d->dialog) return FALSE;
  d->dialog->ended = true;
  d->dialog->result = result;
  // Wakes the modal loop if it is waiting for input.
  PostMessageW(dialog, WM_NULL, 0, 0);
  return TRUE;
}

HWND GetDlgItem(HWND dialog, int id) {
  const Window* d = findWindow(dialog);
  if (d == nullptr) return nullptr;
  for (HWND c : d->children) {
    const Window* w = findWindow(c);
    if (w != nullptr && static_cast<int>(w->id) == id) return c;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  const Window* w = findWindow(window);
  return w != nullptr ? static_cast<int>(w->id) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
  if (buffer != nullptr && size > 0) buffer[0] = 0;
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr ? static_cast<UINT>(GetWindowTextW(item, buffer, size)) : 0;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL MapDialogRect(HWND, RECT* rect) {
  if (rect == nullptr) return FALSE;
  POINT topLeft = dialogUnitsToPixels(rect->left, rect->top);
  POINT bottomRight = dialogUnitsToPixels(rect->right, rect->bottom);
  *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
  if (msg == nullptr || findWindow(dialog) == nullptr || !belongsTo(msg->hwnd, dialog)) return FALSE;
  if (msg->message != WM_KEYDOWN || (msg->wParam != VK_UP && msg->wParam != VK_DOWN)) return FALSE;
  HWND focus = GetFocus();
  if (focus == nullptr || topLevelOf(focus) != dialog || wantsArrows(focus)) return FALSE;
  HWND next = nextTabStop(dialog, focus, msg->wParam == VK_DOWN);
  if (next == nullptr || next == focus) return FALSE;
  SetFocus(next);
  return TRUE;
}
