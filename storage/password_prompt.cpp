#include "storage/password_prompt.h"

#include "resources/ids.h"
#include "shell/dialog_shell.h"
#include "storage/database.h"
#include "storage/layout.h"

namespace {

constexpr int maxPasswordLength = 63;

INT_PTR passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* db = reinterpret_cast<Database*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      CommCtrlInitDialog(dialog, GetParent(dialog));
      SendDlgItemMessageW(dialog, res::passwordEditId, EM_LIMITTEXT, maxPasswordLength, 0);
      if (!setUpDialogShell(dialog, db->instance)) EndDialog(dialog, FALSE);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* db = reinterpret_cast<Database*>(GetWindowLongW(dialog, DWL_USER));
      if (LOWORD(wParam) == IDOK) {
        WCHAR typed[maxPasswordLength + 1] = {};
        GetDlgItemTextW(dialog, res::passwordEditId, typed, maxPasswordLength + 1);
        EndDialog(dialog, db != nullptr && _wcsicmp(typed, db->password) == 0);
      } else if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, FALSE);
      }
      return TRUE;
    }
    case WM_HOTKEY:
      if (!isBackHotKey(message, lParam)) return FALSE;
      SHSendBackToFocusWindow(message, wParam, lParam);
      return TRUE;
    case WM_DESTROY:
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

bool promptPassword(HWND ownerWindow, Database& db) {
  INT_PTR result = DialogBoxParamW(db.instance, MAKEINTRESOURCEW(res::passwordDialog), ownerWindow,
                                   passwordDialogProc, reinterpret_cast<LPARAM>(&db));
  return result == TRUE;
}

ErrorCode readLayout(HANDLE file, Database& db) {
  return readLayoutWith(file, db, promptPassword);
}
