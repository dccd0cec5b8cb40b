// Windows of other running instances of the program, as this one sees them:
// handles with windowRemoteBit set, each naming (process, window, class),
// and the few calls that reach them through the instances' transport.
#include <cstdint>
#include <vector>

#include "platform/instances/instances.h"
#include "platform/internal/window_system.h"

namespace platform::detail {

namespace {

struct RemoteEntry {
  std::int32_t pid = 0;
  std::uint64_t window = 0;
  std::u16string className;
};

// More distinct windows than this in one run means something is wrong
// elsewhere; further ones are left out of the enumeration.
constexpr std::size_t maxRemoteHandles = 4096;

struct RemoteTable {
  std::vector<RemoteEntry> entries;
  std::uintptr_t firstIndex = 0;  // grows on reset, so handles are never reused
};
RemoteTable& remotes() {
  static RemoteTable t;
  return t;
}

HWND handleAt(std::size_t position) {
  return reinterpret_cast<HWND>(windowRemoteBit | (windowHandleBase + remotes().firstIndex + position));
}

RemoteEntry* findRemote(HWND handle) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if ((value & windowRemoteBit) == 0) return nullptr;
  value &= ~windowRemoteBit;
  auto& t = remotes();
  if (value < windowHandleBase + t.firstIndex) return nullptr;
  std::uintptr_t position = value - windowHandleBase - t.firstIndex;
  if (position >= t.entries.size()) return nullptr;
  return &t.entries[position];
}

HWND handleFor(const instances::RemoteWindow& window) {
  auto& entries = remotes().entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].pid == window.pid && entries[i].window == window.window) {
      entries[i].className = window.className;
      return handleAt(i);
    }
  }
  if (entries.size() >= maxRemoteHandles) return nullptr;
  entries.push_back(RemoteEntry{window.pid, window.window, window.className});
  return handleAt(entries.size() - 1);
}

}  // namespace

bool isRemoteHandle(HWND handle) { return (reinterpret_cast<std::uintptr_t>(handle) & windowRemoteBit) != 0; }

std::vector<HWND> listRemoteTopLevel() {
  std::vector<HWND> handles;
  for (const auto& window : instances::listRemoteWindows())
    if (HWND h = handleFor(window)) handles.push_back(h);
  return handles;
}

bool remoteClassName(HWND handle, std::u16string* name) {
  const RemoteEntry* entry = findRemote(handle);
  if (entry == nullptr) return false;
  *name = entry->className;
  return true;
}

bool remoteWindowAlive(HWND handle) {
  const RemoteEntry* entry = findRemote(handle);
  if (entry == nullptr) return false;
  const std::int32_t pid = entry->pid;
  const std::uint64_t window = entry->window;
  for (const auto& w : instances::listRemoteWindows())
    if (w.pid == pid && w.window == window) return true;
  return false;
}

LRESULT sendToRemote(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  const RemoteEntry* entry = findRemote(handle);
  if (entry == nullptr || !crossesProcesses(message)) return 0;
  return instances::sendRemote(entry->pid, entry->window, message, wParam, lParam).value_or(0);
}

bool postToRemote(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  // Delivered at once: the other instance queues what it must itself.
  const RemoteEntry* entry = findRemote(handle);
  if (entry == nullptr || !crossesProcesses(message)) return false;
  return instances::sendRemote(entry->pid, entry->window, message, wParam, lParam).has_value();
}

bool activateRemoteWindow(HWND handle) {
  const RemoteEntry* entry = findRemote(handle);
  return entry != nullptr && instances::activateRemote(entry->pid, entry->window);
}

void resetRemoteWindows() {
  auto& t = remotes();
  t.firstIndex += t.entries.size();
  t.entries.clear();
}

}  // namespace platform::detail
