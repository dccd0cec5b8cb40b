// The MainWindow: its class, its children and its message handling.
#pragma once

#include "platform/windows.h"

inline constexpr WCHAR mainClassName[] = u"Tessra";

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
