// The window table: handles, lookup, the top-level z-order, start-up and reset.
#include <algorithm>

#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"
#include "platform/internal/internal_classes.h"

#include "platform/controls/controls.h"

namespace platform::detail {

namespace {
struct Table {
  std::vector<std::unique_ptr<Window>> slots;
  std::vector<HWND> topLevel;
  FocusState focus;
  bool started = false;
};
Table& table() {
  static Table t;
  return t;
}
}  // namespace

Window* findWindow(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < windowHandleBase || (value & windowRemoteBit) != 0) return nullptr;
  std::uintptr_t index = value - windowHandleBase;
  auto& slots = table().slots;
  if (index >= slots.size()) return nullptr;
  return slots[index].get();
}

HWND addWindow(std::unique_ptr<Window> window) {
  auto& slots = table().slots;
  HWND handle = reinterpret_cast<HWND>(windowHandleBase + slots.size());
  window->handle = handle;
  slots.push_back(std::move(window));
  return handle;
}

void freeWindow(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < windowHandleBase) return;
  std::uintptr_t index = value - windowHandleBase;
  auto& slots = table().slots;
  if (index < slots.size()) slots[index].reset();
}

std::vector<HWND> allWindows() {
  std::vector<HWND> result;
  for (const auto& w : table().slots)
    if (w) result.push_back(w->handle);
  return result;
}

std::vector<HWND>& topLevelOrder() { return table().topLevel; }

HWND mainWindow() {
  for (const auto& w : table().slots)
    if (w && w->kind == WindowKind::Normal && w->parent == nullptr && !w->destroying) return w->handle;
  return nullptr;
}

FocusState& focusState() { return table().focus; }

bool belongsTo(HWND window, HWND root) {
  // Bounded by the table size: parent and owner chains cannot loop longer.
  std::size_t limit = table().slots.size() + 1;
  for (HWND h = window; h != nullptr && limit-- > 0;) {
    if (h == root) return true;
    const Window* w = findWindow(h);
    if (w == nullptr) return false;
    h = w->parent != nullptr ? w->parent : w->owner;
  }
  return false;
}

HWND topLevelOf(HWND window) {
  std::size_t limit = table().slots.size() + 1;
  HWND h = window;
  while (limit-- > 0) {
    const Window* w = findWindow(h);
    if (w == nullptr) return nullptr;
    if (w->parent == nullptr) return h;
    h = w->parent;
  }
  return nullptr;
}

RECT screenRectOf(const Window& window) {
  RECT r = window.rect;
  std::size_t limit = table().slots.size() + 1;
  for (const Window* p = findWindow(window.parent); p != nullptr && limit-- > 0; p = findWindow(p->parent)) {
    r.left += p->rect.left;
    r.right += p->rect.left;
    r.top += p->rect.top;
    r.bottom += p->rect.top;
  }
  return r;
}

bool reallyVisible(HWND window) {
  std::size_t limit = table().slots.size() + 1;
  for (HWND h = window; h != nullptr && limit-- > 0;) {
    const Window* w = findWindow(h);
    if (w == nullptr || (w->style & WS_VISIBLE) == 0) return false;
    h = w->parent;
  }
  return window != nullptr;
}

void ensureStarted() {
  if (table().started) return;
  table().started = true;
  markStandardClasses(true);
  registerInternalClasses();
  platform::registerStandardControls();
  markStandardClasses(false);
}

void resetWindowState() {
  // Destroy top-level windows newest first; DestroyWindow takes the children
  // and owned windows along.
  for (int guard = 0; guard < 1000; ++guard) {
    auto& order = table().topLevel;
    if (order.empty()) break;
    HWND h = order.back();
    if (!DestroyWindow(h)) order.pop_back();
  }
  for (HWND h : allWindows()) freeWindow(h);
  table().topLevel.clear();
  table().focus = FocusState{};
  resetRemoteWindows();
  resetQueue();
  resetShell();
  resetGdi();
  clearApplicationClasses();
}

}  // namespace platform::detail
