// The window table: handles, lookup, the top-level z-order, start-up and reset.
#include <algorithm>

#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"
#include "platform/internal/internal_classes.h"

#include "platform/controls/controls.h"

namespace platform::detail {

namespace {

// A handle is the slot's index in its low 16 bits and the slot's generation
// (1..0xFFFF) above them, so every handle is at least windowHandleBase and
// fits in 32 bits. A freed slot is taken again by a later window with the
// next generation: the old handle no longer matches and is refused. A slot
// whose generation has run out is retired rather than wrapped, so no handle
// ever names two windows.
constexpr unsigned indexBits = 16;
constexpr std::uint32_t maxSlots = std::uint32_t{1} << indexBits;
constexpr std::uint32_t lastGeneration = 0xFFFF;
constexpr std::uint32_t none = 0xFFFFFFFF;

static_assert(windowHandleBase == std::uintptr_t{1} << indexBits, "generation 1 starts at the handle base");

struct Slot {
  std::unique_ptr<Window> window;
  std::uint32_t generation = 0;  // of the window in it, or of the last one
  // The live windows in creation order, linked through their slots.
  std::uint32_t older = none;
  std::uint32_t newer = none;
};

struct Table {
  std::vector<Slot> slots;
  std::vector<std::uint32_t> freeSlots;  // taken newest first
  std::uint32_t oldest = none;
  std::uint32_t newest = none;
  std::size_t live = 0;
  std::vector<HWND> topLevel;
  FocusState focus;
  bool started = false;
};
Table& table() {
  static Table t;
  return t;
}

HWND handleOf(std::uint32_t index, std::uint32_t generation) {
  return reinterpret_cast<HWND>((static_cast<std::uintptr_t>(generation) << indexBits) | index);
}

// The slot a handle names while its window lives, or nullptr.
Slot* liveSlot(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value < windowHandleBase || (value >> indexBits) > lastGeneration) return nullptr;
  const std::uintptr_t index = value & (maxSlots - 1);
  auto& slots = table().slots;
  if (index >= slots.size()) return nullptr;
  Slot& slot = slots[index];
  if (slot.window == nullptr || slot.generation != (value >> indexBits)) return nullptr;
  return &slot;
}

}  // namespace

Window* findWindow(HWND handle) {
  Slot* slot = liveSlot(handle);
  return slot != nullptr ? slot->window.get() : nullptr;
}

HWND addWindow(std::unique_ptr<Window> window) {
  auto& t = table();
  std::uint32_t index = none;
  if (!t.freeSlots.empty()) {
    index = t.freeSlots.back();
    t.freeSlots.pop_back();
  } else if (t.slots.size() < maxSlots) {
    index = static_cast<std::uint32_t>(t.slots.size());
    t.slots.emplace_back();
  } else {
    return nullptr;
  }
  Slot& slot = t.slots[index];
  ++slot.generation;
  HWND handle = handleOf(index, slot.generation);
  window->handle = handle;
  slot.window = std::move(window);
  slot.older = t.newest;
  slot.newer = none;
  if (t.newest != none) t.slots[t.newest].newer = index;
  else t.oldest = index;
  t.newest = index;
  ++t.live;
  return handle;
}

void freeWindow(HWND handle) {
  Slot* slot = liveSlot(handle);
  if (slot == nullptr) return;
  auto& t = table();
  const auto index = static_cast<std::uint32_t>(slot - t.slots.data());
  if (slot->older != none) t.slots[slot->older].newer = slot->newer;
  else t.oldest = slot->newer;
  if (slot->newer != none) t.slots[slot->newer].older = slot->older;
  else t.newest = slot->older;
  slot->older = slot->newer = none;
  --t.live;
  if (slot->generation < lastGeneration) t.freeSlots.push_back(index);
  slot->window.reset();
}

std::vector<HWND> allWindows() {
  const auto& t = table();
  std::vector<HWND> result;
  result.reserve(t.live);
  // The links only ever join live slots; the count bounds the walk all the same.
  std::size_t limit = t.live;
  for (std::uint32_t i = t.oldest; i != none && limit-- > 0; i = t.slots[i].newer)
    result.push_back(t.slots[i].window->handle);
  return result;
}

std::size_t windowSlotCount() { return table().slots.size(); }

std::vector<HWND>& topLevelOrder() { return table().topLevel; }

HWND mainWindow() {
  const auto& t = table();
  std::size_t limit = t.live;
  for (std::uint32_t i = t.oldest; i != none && limit-- > 0; i = t.slots[i].newer) {
    const Window& w = *t.slots[i].window;
    if (w.kind == WindowKind::Normal && w.parent == nullptr && !w.destroying) return w.handle;
  }
  return nullptr;
}

FocusState& focusState() { return table().focus; }

bool belongsTo(HWND window, HWND root) {
  // Bounded by the live windows: parent and owner chains cannot loop longer.
  std::size_t limit = table().live + 1;
  for (HWND h = window; h != nullptr && limit-- > 0;) {
    if (h == root) return true;
    const Window* w = findWindow(h);
    if (w == nullptr) return false;
    h = w->parent != nullptr ? w->parent : w->owner;
  }
  return false;
}

HWND topLevelOf(HWND window) {
  std::size_t limit = table().live + 1;
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
  std::size_t limit = table().live + 1;
  for (const Window* p = findWindow(window.parent); p != nullptr && limit-- > 0; p = findWindow(p->parent)) {
    r.left += p->rect.left;
    r.right += p->rect.left;
    r.top += p->rect.top;
    r.bottom += p->rect.top;
  }
  return r;
}

bool reallyVisible(HWND window) {
  std::size_t limit = table().live + 1;
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
