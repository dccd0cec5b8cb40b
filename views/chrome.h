// The screen's chrome that every screen and dialog shares: message boxes,
// the soft-key bars, and the phone-shell set-up of full-screen dialogs.
#pragma once

#include "platform/windows.h"

struct Database;

// Shows string stringId in a message box owned by owner, captioned
// "Tessra", with the given flags; returns the box's answer (1 = OK).
int showMessage(HWND owner, WORD stringId, UINT flags);

// Shows exactly one of the four soft-key bars.
void showBar(Database& db, HWND visible);

// Sizes the dialog to the full screen, gives it the OK/Cancel soft-key bar
// and hands the Back key to it as WM_HOTKEY. False when the shell refuses.
bool setUpDialogShell(HWND dialog, HINSTANCE instance);

// Makes a soft-key bar hand the Back key to its owner as WM_HOTKEY.
void overrideBackKey(HWND bar);

// True for WM_HOTKEY of the Back key.
inline bool isBackHotKey(UINT message, LPARAM lParam) {
  return message == WM_HOTKEY && HIWORD(static_cast<std::uintptr_t>(lParam)) == VK_TBACK;
}

// What the program's input dialogs answer alike: Cancel and closing end
// the dialog with 0, and Back goes to the focused edit box, which erases.
// FALSE for every other message.
INT_PTR commonDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
