// Serving other running instances of the program: which of this process's
// windows they see, and the messages and activations they ask for, carried
// out on the user-interface thread from inside the message loop.
#include <cstdint>
#include <vector>

#include "platform/instances/instances.h"
#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"

namespace platform::detail {

namespace {

// A window other instances may reach: a live top-level window that is not a
// soft-key bar.
const Window* servedWindow(std::uint64_t value) {
  const Window* w = findWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value)));
  if (w == nullptr || w->parent != nullptr || w->destroying || w->kind == WindowKind::MenuBar) return nullptr;
  return w;
}

std::vector<instances::RemoteWindow> listOwnWindows() {
  std::vector<instances::RemoteWindow> list;
  std::vector<HWND> windows = allWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const Window* w = servedWindow(reinterpret_cast<std::uintptr_t>(*it));
    if (w == nullptr || (w->style & WS_VISIBLE) == 0) continue;
    list.push_back(instances::RemoteWindow{0, reinterpret_cast<std::uintptr_t>(*it), w->className});
  }
  return list;
}

// The sender is another process: its parameters are checked here again.
LRESULT sendToOwn(std::uint64_t window, UINT message, WPARAM wParam, LPARAM lParam) {
  const Window* w = servedWindow(window);
  if (w == nullptr || !crossesProcesses(message)) return 0;
  if (message >= WM_USER) {
    // The platform's own classes give such numbers meanings with pointers.
    const WindowClass* cls = findClass(w->className);
    if (cls == nullptr || cls->standard) return 0;
  }
  return SendMessageW(w->handle, message, wParam, lParam);
}

void activateOwn(std::uint64_t window) {
  const Window* w = servedWindow(window);
  if (w == nullptr) return;
  const HWND h = w->handle;
  BringWindowToTop(h);
  SetForegroundWindow(h);
}

bool hasTopLevelWindows() {
  for (HWND h : topLevelOrder()) {
    const Window* w = findWindow(h);
    if (w != nullptr && !w->destroying) return true;
  }
  return false;
}

}  // namespace

void publishInstance() {
  if (instances::published()) return;
  instances::publish(instances::Handlers{listOwnWindows, sendToOwn, activateOwn});
}

void withdrawInstanceWhenIdle() {
  if (!hasTopLevelWindows()) instances::withdraw();
}

bool serveOtherInstances() { return instances::serve(0); }

bool crossesProcesses(UINT message) {
  switch (message) {
    case WM_NULL:
    case WM_ACTIVATE:
    case WM_ENABLE:
    case WM_GETTEXTLENGTH:
    case WM_CLOSE:
    case WM_SHOWWINDOW:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_COMMAND:
    case WM_HOTKEY:
      return true;
    default:
      return message >= WM_USER && message <= 0xFFFF;
  }
}

}  // namespace platform::detail
