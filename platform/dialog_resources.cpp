// Reading the program's resources: lookups, LoadStringW, LoadIconW.
//
// There is one program, so the instance handle is not consulted.
#include <algorithm>
#include <string_view>

#include "platform/resource_data.h"
#include "platform/win_user.h"

namespace platform {

namespace {
const ResourceSet none{};
const ResourceSet* registered = &none;
const ResourceSet& programResources() { return *registered; }
}  // namespace

void setProgramResources(const ResourceSet* resources) { registered = resources != nullptr ? resources : &none; }

const DialogTemplateData* findDialogTemplate(unsigned id) {
  for (const auto& d : programResources().dialogs)
    if (d.id == id) return &d;
  return nullptr;
}

const MenuData* findMenu(unsigned id) {
  for (const auto& m : programResources().menus)
    if (m.id == id) return &m;
  return nullptr;
}

const SoftKeyBarData* findSoftKeyBar(unsigned id) {
  for (const auto& b : programResources().bars)
    if (b.id == id) return &b;
  return nullptr;
}

const IconData* findIcon(unsigned id) {
  for (const auto& i : programResources().icons)
    if (i.id == id) return &i;
  return nullptr;
}

const char16_t* findString(unsigned id) {
  for (const auto& s : programResources().strings)
    if (s.id == id) return s.text;
  return nullptr;
}

}  // namespace platform

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = 0;
  const char16_t* text = platform::findString(id);
  if (text == nullptr) return 0;
  std::u16string_view view(text);
  std::size_t n = std::min(view.size(), static_cast<std::size_t>(size - 1));
  std::copy_n(view.begin(), n, buffer);
  buffer[n] = 0;
  return static_cast<int>(n);
}

HICON LoadIconW(HINSTANCE, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  auto id = static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(name));
  if (platform::findIcon(id) == nullptr) return nullptr;
  // An icon handle only names the resource; nothing draws it.
  return reinterpret_cast<HICON>(std::uintptr_t{0x70000} + id);
}
