// Windows: creation, destruction, relations, window longs, text, class
// names and enumeration.
#include <algorithm>

#include "platform/internal/internal_classes.h"
#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"

using namespace platform::detail;

namespace {

WindowKind kindOfClass(const std::u16string& name) {
  if (sameClassName(name, dialogClassName)) return WindowKind::Dialog;
  if (sameClassName(name, messageBoxClassName)) return WindowKind::MessageBox;
  if (sameClassName(name, softKeyBarClassName)) return WindowKind::MenuBar;
  return WindowKind::Normal;
}

void markDestroying(HWND h) {
  Window* w = findWindow(h);
  if (w == nullptr || w->destroying) return;
  w->destroying = true;
  for (HWND c : w->children) markDestroying(c);
}

// WM_DESTROY goes to the window first and then to its children, as Win32
// sends it; the windows are freed afterwards, children before parents.
void sendDestroy(HWND h) {
  SendMessageW(h, WM_DESTROY, 0, 0);
  Window* w = findWindow(h);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) sendDestroy(c);
}

void freeSubtree(HWND h) {
  Window* w = findWindow(h);
  if (w == nullptr) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) freeSubtree(c);
  freeWindow(h);
}

void unlink(HWND h) {
  Window* w = findWindow(h);
  if (w == nullptr) return;
  if (Window* p = findWindow(w->parent)) {
    std::erase(p->children, h);
  } else {
    std::erase(topLevelOrder(), h);
  }
}

// After the active window went away: the owner, else the topmost remaining
// visible top-level window becomes active.
void activateAfter(HWND owner) {
  HWND next = nullptr;
  if (findWindow(owner) != nullptr && IsWindowVisible(owner)) next = owner;
  if (next == nullptr) {
    const auto& order = topLevelOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
      const Window* w = findWindow(*it);
      if (w != nullptr && !w->destroying && w->kind != WindowKind::MenuBar && (w->style & WS_VISIBLE) != 0) {
        next = *it;
        break;
      }
    }
  }
  focusState().active = nullptr;
  if (next != nullptr) SetActiveWindow(next);
}

std::vector<HWND> siblingsOf(const Window& w) {
  if (const Window* p = findWindow(w.parent)) return p->children;
  // Top-level windows: topmost first, as GetWindow walks the z-order.
  std::vector<HWND> order(topLevelOrder().rbegin(), topLevelOrder().rend());
  return order;
}

}  // namespace

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, void* param) {
  ensureStarted();
  std::u16string name = classNameOf(className);
  const WindowClass* cls = findClass(name);
  if (cls == nullptr) return nullptr;
  const bool child = (style & WS_CHILD) != 0;
  if (child && findWindow(parent) == nullptr) return nullptr;
  if (!child && parent != nullptr && findWindow(parent) == nullptr) return nullptr;

  auto w = std::make_unique<Window>();
  w->kind = kindOfClass(cls->name);
  w->className = cls->name;
  w->proc = cls->proc;
  w->classBrush = cls->background;
  w->classStyle = cls->style;
  w->style = style;
  w->exStyle = exStyle;
  w->instance = instance;
  if (windowName != nullptr && !IS_INTRESOURCE(windowName)) w->text = windowName;
  if (child) {
    w->parent = parent;
    w->id = static_cast<LONG_PTR>(reinterpret_cast<std::intptr_t>(menu));
  } else {
    w->owner = parent;
  }
  const RECT area = screenGeometry().clientArea;
  if (x == CW_USEDEFAULT) x = child ? 0 : area.left;
  if (y == CW_USEDEFAULT) y = child ? 0 : area.top;
  if (width == CW_USEDEFAULT) width = child ? 0 : area.right - area.left;
  if (height == CW_USEDEFAULT) height = child ? 0 : area.bottom - area.top;
  w->rect = windowRect(x, y, width, height);
  w->invalid = true;
  w->eraseNeeded = true;
  const WindowKind kind = w->kind;

  HWND h = addWindow(std::move(w));
  if (h == nullptr) return nullptr;
  if (child) {
    findWindow(parent)->children.push_back(h);
  } else {
    topLevelOrder().push_back(h);
    publishInstance();
  }

  CREATESTRUCTW cs{};
  cs.lpCreateParams = param;
  cs.hInstance = instance;
  cs.hMenu = menu;
  cs.hwndParent = parent;
  cs.cx = width;
  cs.cy = height;
  cs.x = x;
  cs.y = y;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  if (SendMessageW(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(h);
    return nullptr;
  }
  Window* created = findWindow(h);
  if (created == nullptr) return nullptr;
  SendMessageW(h, WM_SIZE, 0,
               MAKELPARAM(static_cast<WORD>(created->rect.right - created->rect.left),
                          static_cast<WORD>(created->rect.bottom - created->rect.top)));
  created = findWindow(h);
  if (created == nullptr) return nullptr;
  // A visible top-level window comes up active, as ShowWindow would make it.
  if (!child && kind != WindowKind::MenuBar && (created->style & WS_VISIBLE) != 0) SetActiveWindow(h);
  return findWindow(h) != nullptr ? h : nullptr;
}

BOOL DestroyWindow(HWND window) {
  Window* w = findWindow(window);
  if (w == nullptr || w->destroying) return FALSE;
  const bool topLevel = w->parent == nullptr;
  const HWND owner = w->owner;
  markDestroying(window);
  // Owned windows (dialogs, bars, boxes) go before their owner.
  if (topLevel) {
    for (HWND h : allWindows()) {
      const Window* o = findWindow(h);
      if (o != nullptr && o->owner == window && o->parent == nullptr) DestroyWindow(h);
    }
  }
  sendDestroy(window);
  auto& fs = focusState();
  const bool wasActive = fs.active == window;
  if (fs.focus != nullptr && belongsTo(fs.focus, window)) fs.focus = nullptr;
  if (fs.foreground == window) fs.foreground = nullptr;
  unlink(window);
  freeSubtree(window);
  if (wasActive) activateAfter(owner);
  if (topLevel) withdrawInstanceWhenIdle();
  return TRUE;
}

BOOL IsWindow(HWND window) {
  if (isRemoteHandle(window)) return remoteWindowAlive(window) ? TRUE : FALSE;
  return findWindow(window) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND window) {
  const Window* w = findWindow(window);
  if (w == nullptr) return nullptr;
  return w->parent != nullptr ? w->parent : w->owner;
}

HWND GetWindow(HWND window, UINT relation) {
  const Window* w = findWindow(window);
  if (w == nullptr) return nullptr;
  if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
  if (relation != GW_HWNDNEXT && relation != GW_HWNDPREV) return nullptr;
  std::vector<HWND> siblings = siblingsOf(*w);
  auto it = std::find(siblings.begin(), siblings.end(), window);
  if (it == siblings.end()) return nullptr;
  if (relation == GW_HWNDNEXT) return (it + 1 == siblings.end()) ? nullptr : *(it + 1);
  return it == siblings.begin() ? nullptr : *(it - 1);
}

LONG_PTR GetWindowLongW(HWND window, int index) {
  const Window* w = findWindow(window);
  if (w == nullptr) return 0;
  switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA: return w->userData;
    default: break;
  }
  if (w->dialog) {
    if (index == DWL_MSGRESULT) return w->dialog->msgResult;
    if (index == DWL_DLGPROC) return reinterpret_cast<LONG_PTR>(w->dialog->proc);
    if (index == DWL_USER) return w->dialog->user;
  }
  return 0;
}

LONG_PTR SetWindowLongW(HWND window, int index, LONG_PTR value) {
  Window* w = findWindow(window);
  if (w == nullptr) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      if (value == 0) return 0;
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_ID: old = w->id; w->id = value; return old;
    case GWL_STYLE: old = static_cast<LONG_PTR>(w->style); w->style = static_cast<DWORD>(value); return old;
    case GWL_EXSTYLE: old = static_cast<LONG_PTR>(w->exStyle); w->exStyle = static_cast<DWORD>(value); return old;
    case GWL_USERDATA: old = w->userData; w->userData = value; return old;
    default: break;
  }
  if (w->dialog) {
    if (index == DWL_MSGRESULT) { old = w->dialog->msgResult; w->dialog->msgResult = value; return old; }
    if (index == DWL_DLGPROC) {
      if (value == 0) return 0;
      old = reinterpret_cast<LONG_PTR>(w->dialog->proc);
      w->dialog->proc = reinterpret_cast<DLGPROC>(value);
      return old;
    }
    if (index == DWL_USER) { old = w->dialog->user; w->dialog->user = value; return old; }
  }
  return 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (proc == nullptr) return 0;
  return proc(window, message, wParam, lParam);
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (findWindow(window) == nullptr) return FALSE;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = 0;
  if (findWindow(window) == nullptr) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  if (findWindow(window) == nullptr) return 0;
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

int GetClassNameW(HWND window, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = 0;
  std::u16string name;
  if (isRemoteHandle(window)) {
    if (!remoteClassName(window, &name)) return 0;
  } else {
    const Window* w = findWindow(window);
    if (w == nullptr) return 0;
    name = w->className;
  }
  std::size_t n = std::min(name.size(), static_cast<std::size_t>(size - 1));
  std::copy_n(name.begin(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

// The enumeration reports TRUE whenever it ran, also when the callback
// stopped it early: only a missing callback is a failure. This process's
// windows come first; other instances are asked only when the callback
// wants more.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
  if (callback == nullptr) return FALSE;
  ensureStarted();
  std::vector<HWND> windows = allWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Window* w = findWindow(*it);
    if (w == nullptr || w->parent != nullptr || w->destroying) continue;
    if (!callback(*it, param)) return TRUE;
  }
  for (HWND remote : listRemoteTopLevel())
    if (!callback(remote, param)) break;
  return TRUE;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  std::u16string cls = classNameOf(className);
  std::vector<HWND> windows = allWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Window* w = findWindow(*it);
    if (w == nullptr || w->parent != nullptr || w->destroying) continue;
    if (!cls.empty() && !sameClassName(w->className, cls)) continue;
    if (windowName != nullptr && w->text != windowName) continue;
    return *it;
  }
  return nullptr;
}
