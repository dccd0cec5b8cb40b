#include "commands/list_box.h"

#include "commands/dispatch.h"
#include "storage/database.h"
#include "views/chrome.h"

LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  if (message == WM_CHAR && wParam == VK_RETURN) {
    ErrorCode code = err::ok;
    if (db.screen == Screen::Catalogue) {
      code = showListView(db);
    } else if (db.screen == Screen::ListView) {
      code = showFormView(db, false);
    }
    if (code != err::ok) {
      showMessage(window, code, MB_ICONERROR);
      return 0;
    }
  }
  return CallWindowProcW(db.ui.savedProcs.listBox, window, message, wParam, lParam);
}
