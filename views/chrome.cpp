#include "views/chrome.h"

#include <initializer_list>

#include "resources/ids.h"
#include "storage/database.h"

namespace {
constexpr int titleRoom = 32;
constexpr int messageRoom = 128;
}  // namespace

int showMessage(HWND owner, WORD stringId, UINT flags) {
  Database& db = theDatabase();
  WCHAR caption[titleRoom] = {};
  WCHAR text[messageRoom] = {};
  LoadStringW(db.ui.instance, str::appName, caption, titleRoom);
  LoadStringW(db.ui.instance, stringId, text, messageRoom);
  return MessageBoxW(owner, text, caption, flags);
}

void showBar(Database& db, HWND visible) {
  for (HWND bar : {db.ui.catalogueBar, db.ui.listBar, db.ui.formBar, db.ui.editBar})
    if (bar != nullptr) ShowWindow(bar, bar == visible ? SW_SHOW : SW_HIDE);
}

void overrideBackKey(HWND bar) {
  SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK,
               MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
}

bool setUpDialogShell(HWND dialog, HINSTANCE instance) {
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
  if (!SHInitDialog(&init)) return false;
  SHMENUBARINFO bar{};
  bar.cbSize = SHMENUBARINFO_PHONE_SIZE;
  bar.hwndParent = dialog;
  bar.nToolBarId = res::dialogBar;
  bar.hInstRes = instance;
  if (!SHCreateMenuBar(&bar)) return false;
  overrideBackKey(bar.hwndMB);
  return true;
}

INT_PTR commonDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) != IDCANCEL) return FALSE;
      EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_HOTKEY:
      if (!isBackHotKey(message, lParam)) return FALSE;
      SHSendBackToFocusWindow(message, wParam, lParam);
      return TRUE;
    default:
      return FALSE;
  }
}
