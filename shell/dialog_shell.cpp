#include "shell/dialog_shell.h"

#include "resources/ids.h"

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
