// Soft-key bars: SHCreateMenuBar, the bar window and its key override.
#include <map>

#include "platform/aygshell.h"
#include "platform/internal/internal_classes.h"
#include "platform/internal/shell.h"
#include "platform/internal/window_system.h"
#include "platform/resource_data.h"

namespace platform::detail {

namespace {

struct Bars {
  std::map<HWND, SoftKeyBar> bars;
  unsigned long serial = 0;
};
Bars& bars() {
  static Bars b;
  return b;
}

constexpr std::size_t wordsPerButton = 7;
constexpr WORD stateEnabled = 4;
constexpr WORD noPopup = 0xFFFF;
constexpr std::size_t maxButtons = 2;  // the phone has two soft keys

// Reads a bar resource; every count is checked against the words present.
bool parseBar(const platform::SoftKeyBarData& data, SoftKeyBar* bar) {
  const auto& w = data.words;
  if (w.size() < 2) return false;
  bar->menuId = w[0];
  std::size_t count = w[1];
  if (count > maxButtons || 2 + count * wordsPerButton > w.size()) return false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint16_t* b = &w[2 + i * wordsPerButton];
    SoftKey key;
    key.command = b[1];
    key.enabled = (b[2] & stateEnabled) != 0;
    const char16_t* label = platform::findString(b[4]);
    key.label = label != nullptr ? label : u"";
    key.popup = b[6] == noPopup ? -1 : static_cast<int>(b[6]);
    bar->keys.push_back(std::move(key));
  }
  return true;
}

}  // namespace

const SoftKeyBar* findBar(HWND bar) {
  auto it = bars().bars.find(bar);
  return (it != bars().bars.end() && findWindow(bar) != nullptr) ? &it->second : nullptr;
}

HWND activeBar() {
  HWND active = GetActiveWindow();
  if (active == nullptr) return nullptr;
  HWND best = nullptr;
  unsigned long bestSerial = 0;
  for (const auto& [handle, bar] : bars().bars) {
    const Window* w = findWindow(handle);
    if (w == nullptr || w->owner != active || (w->style & WS_VISIBLE) == 0) continue;
    if (best == nullptr || bar.shownSerial > bestSerial) {
      best = handle;
      bestSerial = bar.shownSerial;
    }
  }
  return best;
}

void resetShell() {
  bars().bars.clear();
  closeMenu();
}

LRESULT softKeyBarWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case SHCMBM_OVERRIDEKEY: {
      auto it = bars().bars.find(window);
      if (it == bars().bars.end()) return FALSE;
      // lParam: the flags to change in the low word, their new values in the high word.
      if (wParam == VK_TBACK) {
        WORD mask = LOWORD(static_cast<std::uintptr_t>(lParam));
        WORD values = HIWORD(static_cast<std::uintptr_t>(lParam));
        it->second.backOverride = static_cast<WORD>((it->second.backOverride & ~mask) | (values & mask));
      }
      return TRUE;
    }
    case WM_SHOWWINDOW:
      if (wParam != 0) {
        auto it = bars().bars.find(window);
        if (it != bars().bars.end()) it->second.shownSerial = ++bars().serial;
      }
      return 0;
    case WM_DESTROY:
      if (openMenu().open && findWindow(openMenu().owner) == nullptr) closeMenu();
      bars().bars.erase(window);
      return 0;
    case WM_PAINT: {
      // Drawn by the screen's soft-key row, not in place.
      PAINTSTRUCT ps{};
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace platform::detail

using namespace platform::detail;

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
  if (info == nullptr) return FALSE;
  if (info->cbSize != SHMENUBARINFO_PHONE_SIZE && info->cbSize != sizeof(SHMENUBARINFO)) return FALSE;
  if (findWindow(info->hwndParent) == nullptr) return FALSE;
  const auto* data = platform::findSoftKeyBar(info->nToolBarId);
  SoftKeyBar bar;
  if (data == nullptr || !parseBar(*data, &bar)) return FALSE;
  ensureStarted();
  const RECT row = screenGeometry().softKeyRow;
  HWND handle = CreateWindowExW(0, softKeyBarClassName, u"", WS_POPUP | WS_VISIBLE, row.left, row.top,
                                row.right - row.left, row.bottom - row.top, topLevelOf(info->hwndParent), nullptr,
                                info->hInstRes, nullptr);
  if (handle == nullptr) return FALSE;
  bar.shownSerial = ++bars().serial;
  bars().bars[handle] = std::move(bar);
  info->hwndMB = handle;
  return TRUE;
}
