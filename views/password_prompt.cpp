#include "views/password_prompt.h"

#include "resources/ids.h"
#include "storage/database.h"
#include "views/chrome.h"

namespace {

constexpr int maxPasswordLength = 63;

struct PasswordRequest {
  HINSTANCE instance;
  const char16_t* password;
};

INT_PTR passwordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* request = reinterpret_cast<PasswordRequest*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      CommCtrlInitDialog(dialog, GetParent(dialog));
      SendDlgItemMessageW(dialog, res::passwordEditId, EM_LIMITTEXT, maxPasswordLength, 0);
      if (!setUpDialogShell(dialog, request->instance)) EndDialog(dialog, FALSE);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* request = reinterpret_cast<PasswordRequest*>(GetWindowLongW(dialog, DWL_USER));
      if (LOWORD(wParam) == IDOK) {
        WCHAR typed[maxPasswordLength + 1] = {};
        GetDlgItemTextW(dialog, res::passwordEditId, typed, maxPasswordLength + 1);
        EndDialog(dialog, request != nullptr && _wcsicmp(typed, request->password) == 0);
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

bool promptPassword(void* context, const char16_t* password) {
  const Database& db = *static_cast<const Database*>(context);
  PasswordRequest request{db.ui.instance, password};
  INT_PTR result = DialogBoxParamW(db.ui.instance, MAKEINTRESOURCEW(res::passwordDialog), db.ui.mainWindow,
                                   passwordDialogProc, reinterpret_cast<LPARAM>(&request));
  return result == TRUE;
}
