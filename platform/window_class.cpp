// Window classes: RegisterClassW / UnregisterClassW and the lookup that
// CreateWindowExW uses.
#include <algorithm>
#include <vector>

#include "platform/internal/window_class.h"
#include "platform/internal/window_system.h"

namespace platform::detail {

namespace {
struct ClassTable {
  std::vector<WindowClass> classes;
  ATOM nextAtom = 0xC000;
  bool markStandard = false;
};
ClassTable& table() {
  static ClassTable t;
  return t;
}

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }
}  // namespace

bool sameClassName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

std::u16string classNameOf(LPCWSTR name) {
  if (name == nullptr || IS_INTRESOURCE(name)) return {};
  return std::u16string(name);
}

const WindowClass* findClass(std::u16string_view name) {
  for (const auto& c : table().classes)
    if (sameClassName(c.name, name)) return &c;
  return nullptr;
}

void markStandardClasses(bool on) { table().markStandard = on; }

void clearApplicationClasses() {
  // The standard controls stay: they are registered once per process.
  auto& classes = table().classes;
  classes.erase(std::remove_if(classes.begin(), classes.end(), [](const WindowClass& c) { return !c.standard; }),
                classes.end());
}

}  // namespace platform::detail

using namespace platform::detail;

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (wc == nullptr || wc->lpfnWndProc == nullptr) return 0;
  std::u16string name = classNameOf(wc->lpszClassName);
  if (name.empty() || findClass(name) != nullptr) return 0;
  WindowClass c;
  c.name = std::move(name);
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.background = wc->hbrBackground;
  c.icon = wc->hIcon;
  c.instance = wc->hInstance;
  c.standard = table().markStandard;
  table().classes.push_back(std::move(c));
  return table().nextAtom++;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  std::u16string name = classNameOf(className);
  auto& classes = table().classes;
  auto it = std::find_if(classes.begin(), classes.end(), [&](const WindowClass& c) { return sameClassName(c.name, name); });
  if (it == classes.end()) return FALSE;
  // Win32 refuses while windows of the class exist.
  for (HWND h : allWindows()) {
    const Window* w = findWindow(h);
    if (w != nullptr && sameClassName(w->className, name)) return FALSE;
  }
  classes.erase(it);
  return TRUE;
}
