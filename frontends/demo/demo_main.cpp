#include "frontends/demo/demo_main.h"

#include <initializer_list>

#include "platform/windows.h"
#include "resources/ids.h"
#include "resources/program_resources.h"

namespace {

constexpr int nameId = 301;
constexpr int checkId = 302;
constexpr int listId = 303;
constexpr int dateId = 305;
constexpr int buttonId = 306;
constexpr int scrollId = 307;
constexpr int statusId = 308;

HINSTANCE demoInstance = nullptr;

HWND child(HWND parent, LPCWSTR cls, LPCWSTR text, DWORD style, int line, int x, int width, int id) {
  constexpr int lineGap = 4;
  constexpr int lineHeight = 18;
  return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, lineGap + line * (lineHeight + lineGap), width,
                         lineHeight, parent, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), demoInstance,
                         nullptr);
}

bool buildChildren(HWND window) {
  SHMENUBARINFO bar{};
  bar.cbSize = SHMENUBARINFO_PHONE_SIZE;
  bar.hwndParent = window;
  bar.nToolBarId = res::catalogueBar;
  bar.hInstRes = demoInstance;
  if (!SHCreateMenuBar(&bar)) return false;

  child(window, u"STATIC", u"Name:", SS_LEFT, 0, 3, 60, -1);
  child(window, u"EDIT", u"Ada", WS_TABSTOP | ES_AUTOHSCROLL, 0, 66, 160, nameId);
  child(window, u"BUTTON", u"Member", WS_TABSTOP | BS_AUTOCHECKBOX, 1, 3, 120, checkId);
  HWND list = child(window, u"LISTBOX", u"", WS_TABSTOP | LBS_NOINTEGRALHEIGHT, 2, 3, 150, listId);
  for (const char16_t* choice : {u"Red", u"Green", u"Blue"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  CreateWindowExW(0, UPDOWN_CLASSW, u"", WS_CHILD | WS_VISIBLE | UDS_AUTOBUDDY | UDS_ARROWKEYS | UDS_HORZ | UDS_WRAP |
                  UDS_ALIGNRIGHT, 0, 0, 10, 0, window, nullptr, demoInstance, nullptr);
  HWND date = child(window, DATETIMEPICK_CLASSW, u"", WS_TABSTOP | DTS_SHORTDATECENTURYFORMAT, 3, 3, 120, dateId);
  SYSTEMTIME day{2026, 1, 4, 15, 0, 0, 0, 0};
  SendMessageW(date, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&day));
  child(window, u"BUTTON", u"Search", WS_TABSTOP | BS_PUSHBUTTON, 4, 3, 100, buttonId);
  child(window, u"STATIC", u"", SS_RIGHT, 5, 3, 200, statusId);
  RECT client{};
  GetClientRect(window, &client);
  HWND scroll = CreateWindowExW(0, u"SCROLLBAR", u"", WS_CHILD | WS_VISIBLE | SBS_VERT,
                                client.right - GetSystemMetrics(SM_CXVSCROLL), 0, GetSystemMetrics(SM_CXVSCROLL),
                                client.bottom, window, reinterpret_cast<HMENU>(static_cast<std::intptr_t>(scrollId)),
                                demoInstance, nullptr);
  SetScrollRange(scroll, SB_CTL, 0, 10, FALSE);
  SetScrollPos(scroll, SB_CTL, 3, FALSE);
  SetFocus(GetDlgItem(window, nameId));
  return true;
}

INT_PTR passwordProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
      SHMENUBARINFO bar{};
      bar.cbSize = SHMENUBARINFO_PHONE_SIZE;
      bar.hwndParent = dialog;
      bar.nToolBarId = res::dialogBar;
      bar.hInstRes = demoInstance;
      if (!SHInitDialog(&init) || !SHCreateMenuBar(&bar)) EndDialog(dialog, -1);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

void showStatus(HWND window, LPCWSTR text) { SetDlgItemTextW(window, statusId, text); }

LRESULT demoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return buildChildren(window) ? 0 : -1;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case cmdOpen:
          showStatus(window, MessageBoxW(window, u"Open the demo database?", u"Tessra", MB_OKCANCEL | MB_ICONQUESTION) ==
                                     IDOK
                                 ? u"Opened"
                                 : u"Not opened");
          return 0;
        case cmdEmail:
          showStatus(window, DialogBoxParamW(demoInstance, MAKEINTRESOURCEW(res::passwordDialog), window, passwordProc,
                                             0) == IDOK
                                 ? u"Password given"
                                 : u"No password");
          return 0;
        case cmdDeleteDatabase:
          MessageBoxW(window, u"Nothing to delete", u"Tessra", MB_OK | MB_ICONINFORMATION);
          return 0;
        case cmdClose: PostMessageW(window, WM_CLOSE, 0, 0); return 0;
        case buttonId: showStatus(window, u"Searched"); return 0;
        default: return 0;
      }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int demoMain(HINSTANCE instance, const char16_t*) {
  res::registerProgramResources();
  demoInstance = instance;
  INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = demoProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(res::appIcon));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = u"TessraDemo";
  if (!RegisterClassW(&wc)) return 0;
  HWND window = CreateWindowExW(0, u"TessraDemo", u"Tessra", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 0;
  UpdateWindow(window);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    // Up and Down walk the demo's controls as in a dialog.
    if (IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  UnregisterClassW(u"TessraDemo", instance);
  return static_cast<int>(msg.wParam);
}
