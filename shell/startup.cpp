#include "shell/startup.h"

#include <initializer_list>

#include "commands/catalogue.h"
#include "commands/dispatch.h"
#include "resources/ids.h"
#include "resources/program_resources.h"
#include "shell/import.h"
#include "shell/main_window.h"
#include "storage/database.h"
#include "storage/open.h"
#include "views/chrome.h"
#include "views/control_behaviour.h"
#include "views/opening.h"

namespace {

constexpr int titleRoom = 32;
constexpr int classNameRoom = 32;

BOOL findRunningInstance(HWND window, LPARAM param) {
  WCHAR name[classNameRoom] = {};
  GetClassNameW(window, name, classNameRoom);
  if (_wcsicmp(name, mainClassName) != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

bool isEmpty(const char16_t* text) { return text == nullptr || text[0] == 0; }

void loadTitle(HINSTANCE instance, WCHAR* title) { LoadStringW(instance, str::appName, title, titleRoom); }

}  // namespace

bool registerMainClass(HINSTANCE instance) {
  // The platform finds the icon, the bars and the strings among them.
  res::registerProgramResources();
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSW wc{};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = mainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(res::appIcon));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = mainClassName;
  return RegisterClassW(&wc) != 0;
}

HWND initialiseInstance(HINSTANCE instance, const char16_t* commandLine, int showState) {
  Database& db = theDatabase();
  setStartupValues(db);
  db.ui.instance = instance;

  HWND running = nullptr;
  EnumWindows(findRunningInstance, reinterpret_cast<LPARAM>(&running));
  db.ui.mainWindow = running;

  if (!isEmpty(commandLine) && _wcsicmp(commandLine, u"/f") == 0) {
    if (running != nullptr) SendMessageW(running, WM_TESSRA_REFRESH, 0, 0);
    db.ui.mainWindow = nullptr;
    return nullptr;
  }
  if (running != nullptr) {
    if (isEmpty(commandLine)) {
      BringWindowToTop(running);
      SetForegroundWindow(running);
      db.ui.mainWindow = nullptr;
      return nullptr;
    }
    // The running instance saves and closes its database and ends, so that
    // this one can take over with the file.
    SendMessageW(running, WM_CLOSE, 0, 0);
    db.ui.mainWindow = nullptr;
  }

  WCHAR title[titleRoom] = {};
  loadTitle(instance, title);
  HWND window = CreateWindowExW(0, mainClassName, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    showMessage(nullptr, err::windowCreation, MB_ICONERROR);
    return nullptr;
  }
  for (HWND bar : {db.ui.catalogueBar, db.ui.listBar, db.ui.formBar, db.ui.editBar}) overrideBackKey(bar);

  ShowWindow(window, showState);
  UpdateWindow(window);

  if (isEmpty(commandLine)) {
    db.screen = Screen::FormView;
    ErrorCode code = listDatabases(db);
    if (code != err::ok) {
      showMessage(window, code, MB_ICONERROR);
      return nullptr;
    }
    return window;
  }

  WCHAR path[room::filePath] = {};
  const std::size_t n = wcslen16(commandLine);
  if (n >= static_cast<std::size_t>(room::filePath)) {
    showMessage(window, err::readData, MB_ICONERROR);
    return nullptr;
  }
  for (std::size_t i = 0; i <= n; ++i) path[i] = commandLine[i];

  ErrorCode code = importDatabase(db, path);
  if (code == err::canceled) return nullptr;
  if (code == err::ok) code = openDatabase(window, db, path);
  if (code != err::ok) {
    showMessage(window, code, MB_ICONERROR);
    return nullptr;
  }
  SetWindowTextW(window, title);
  if (db.store.records.includedCount > 0) {
    code = showListView(db);
    if (code != err::ok) {
      showMessage(window, code, MB_ICONERROR);
      return nullptr;
    }
    return window;
  }
  // No record to list: the form of a new record stays.
  showBar(db, db.ui.formBar);
  ShowWindow(db.ui.listBox, SW_HIDE);
  focusCurrentItem(db);
  return window;
}

void releaseInstance(HINSTANCE) {
  Database& db = theDatabase();
  closeDatabase(nullptr, db);
  forgetRecords(db.store);  // a RecordIndex left by a database that never opened in full
  if (db.ui.boldFont != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(db.ui.boldFont));
  if (db.ui.normalFont != nullptr) DeleteObject(reinterpret_cast<HGDIOBJ>(db.ui.normalFont));
  db.ui.boldFont = db.ui.normalFont = nullptr;
  db.ui.controlFont = db.ui.buttonFont = nullptr;
}

void unregisterMainClass(HINSTANCE instance) { UnregisterClassW(mainClassName, instance); }

int tessraMain(HINSTANCE instance, const char16_t* commandLine) {
  if (!registerMainClass(instance)) return 0;
  if (initialiseInstance(instance, commandLine, SW_SHOW) == nullptr) {
    // A window that start-up made and then gave up on goes away with the class.
    Database& db = theDatabase();
    if (db.ui.mainWindow != nullptr && IsWindow(db.ui.mainWindow)) DestroyWindow(db.ui.mainWindow);
    releaseInstance(instance);
    unregisterMainClass(instance);
    return 0;
  }
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  releaseInstance(instance);
  unregisterMainClass(instance);
  return static_cast<int>(msg.wParam);
}
