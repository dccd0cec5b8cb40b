// Case-insensitive comparison of UTF-16 texts and their length.
#include <unicode/uchar.h>

#include "platform/win_base.h"

namespace {

// A null text compares as the empty text.
LPCWSTR orEmpty(LPCWSTR s) { return s != nullptr ? s : u""; }

}  // namespace

char16_t foldedUnit(char16_t unit) { return static_cast<char16_t>(u_foldCase(unit, U_FOLD_CASE_DEFAULT) & 0xFFFF); }

int _wcsnicmp(LPCWSTR a, LPCWSTR b, std::size_t count) {
  a = orEmpty(a);
  b = orEmpty(b);
  for (std::size_t i = 0; i < count; ++i) {
    const int fa = foldedUnit(a[i]);
    const int fb = foldedUnit(b[i]);
    if (fa != fb) return fa < fb ? -1 : 1;
    if (a[i] == 0) break;  // both ended: fa == fb == 0 only when both are 0
  }
  return 0;
}

int _wcsicmp(LPCWSTR a, LPCWSTR b) { return _wcsnicmp(a, b, static_cast<std::size_t>(-1)); }

std::size_t wcslen16(LPCWSTR s) {
  if (s == nullptr) return 0;
  std::size_t length = 0;
  while (s[length] != 0) ++length;
  return length;
}
