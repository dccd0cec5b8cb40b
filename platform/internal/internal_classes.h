// The platform's own window classes: dialogs, message boxes, soft-key bars.
#pragma once

#include "platform/win_user.h"

namespace platform::detail {

inline constexpr char16_t dialogClassName[] = u"Dialog";
inline constexpr char16_t messageBoxClassName[] = u"MessageBox";
inline constexpr char16_t softKeyBarClassName[] = u"SoftKeyBar";

void registerInternalClasses();
LRESULT dialogWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT messageBoxWindowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT softKeyBarWindowProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace platform::detail
