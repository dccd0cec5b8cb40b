// Registered window classes, looked up by name (case-insensitively, as
// Win32 does for class names).
#pragma once

#include <string>
#include <string_view>

#include "platform/win_user.h"

namespace platform::detail {

struct WindowClass {
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;
  HICON icon = nullptr;
  HINSTANCE instance = nullptr;
  bool standard = false;  // the platform's own classes survive a reset
};

const WindowClass* findClass(std::u16string_view name);
// The class name an LPCWSTR names (null or an integer atom: empty).
std::u16string classNameOf(LPCWSTR name);
bool sameClassName(std::u16string_view a, std::u16string_view b);
void clearApplicationClasses();
// While set, RegisterClassW marks classes as the platform's own.
void markStandardClasses(bool on);

}  // namespace platform::detail
