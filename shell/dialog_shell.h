// The phone-shell set-up of the program's full-screen dialogs.
#pragma once

#include "platform/windows.h"

// Sizes the dialog to the full screen, gives it the OK/Cancel soft-key bar
// and hands the Back key to it as WM_HOTKEY. False when the shell refuses.
bool setUpDialogShell(HWND dialog, HINSTANCE instance);

// Makes a soft-key bar hand the Back key to its owner as WM_HOTKEY.
void overrideBackKey(HWND bar);

// True for WM_HOTKEY of the Back key.
inline bool isBackHotKey(UINT message, LPARAM lParam) {
  return message == WM_HOTKEY && HIWORD(static_cast<std::uintptr_t>(lParam)) == VK_TBACK;
}
