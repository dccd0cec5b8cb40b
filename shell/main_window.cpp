#include "shell/main_window.h"

#include <initializer_list>

#include "commands/dispatch.h"
#include "resources/ids.h"
#include "shell/catalogue.h"
#include "shell/dialog_shell.h"
#include "storage/database.h"
#include "storage/open.h"
#include "views/control_behaviour.h"
#include "views/form.h"
#include "views/list_view.h"

namespace {

constexpr DWORD listBoxStyle = 0x40300181;
constexpr DWORD scrollBarStyle = 0x44000001;

HWND createBar(HWND owner, HINSTANCE instance, UINT resource) {
  SHMENUBARINFO bar{};
  bar.cbSize = SHMENUBARINFO_PHONE_SIZE;
  bar.hwndParent = owner;
  bar.nToolBarId = resource;
  bar.hInstRes = instance;
  return SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
}

HFONT createLabelFont(HDC dc, LONG weight) {
  LOGFONTW font{};
  font.lfHeight = -(10 * GetDeviceCaps(dc, LOGPIXELSY) / 72);
  font.lfWeight = weight;
  font.lfQuality = 1;
  font.lfPitchAndFamily = 0x26;
  const char16_t face[] = u"Tahoma";
  for (std::size_t i = 0; i < sizeof face / sizeof face[0]; ++i) font.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&font);
}

bool createChildren(HWND window, Database& db) {
  db.mainWindow = window;
  db.catalogueBar = createBar(window, db.instance, res::catalogueBar);
  db.listBar = createBar(window, db.instance, res::listBar);
  db.formBar = createBar(window, db.instance, res::formBar);
  db.editBar = createBar(window, db.instance, res::editBar);
  if (!db.catalogueBar || !db.listBar || !db.formBar || !db.editBar) return false;

  HDC dc = GetDC(window);
  db.normalFont = createLabelFont(dc, FW_NORMAL);
  db.boldFont = createLabelFont(dc, FW_BOLD);
  db.highResolution = GetDeviceCaps(dc, LOGPIXELSY) > 96 ? 1 : 0;
  ReleaseDC(window, dc);
  db.controlFont = nullptr;
  db.buttonFont = nullptr;
  if (!db.normalFont || !db.boldFont) return false;

  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  db.listBox = CreateWindowExW(0, u"LISTBOX", u"", listBoxStyle, 0, 0, width, height + 2, window,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(res::listBoxId)), db.instance,
                               nullptr);
  if (db.listBox == nullptr) return false;
  db.savedProcs.listBox = reinterpret_cast<WNDPROC>(
      SetWindowLongW(db.listBox, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(listBoxProc)));

  const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
  db.formScrollBar = CreateWindowExW(0, u"SCROLLBAR", u"", scrollBarStyle, width - scrollWidth, 0, scrollWidth,
                                     height + 2, window, nullptr, db.instance, nullptr);
  if (db.formScrollBar == nullptr) return false;
  SetScrollRange(db.formScrollBar, SB_CTL, 0, 0, FALSE);
  SetScrollPos(db.formScrollBar, SB_CTL, 0, FALSE);
  ShowWindow(db.formScrollBar, SW_HIDE);
  db.reserved11 = 0;
  return true;
}

void report(Database& db, ErrorCode code) {
  if (code != err::ok) showMessage(db.mainWindow, code, MB_ICONERROR);
}

bool isFormScreen(const Database& db) { return db.screen == Screen::FormView || db.screen == Screen::Editing; }

void onBackKey(HWND window, Database& db, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool keyUp = (LOWORD(static_cast<std::uintptr_t>(lParam)) & MOD_KEYUP) != 0;
  if (keyUp) {
    if (isFormScreen(db) && db.currentItem >= 0 &&
        static_cast<ItemKind>(db.items[db.currentItem].kind) == ItemKind::Field)
      SHSendBackToFocusWindow(message, wParam, lParam);
    else
      DefWindowProcW(window, message, wParam, lParam);
    return;
  }
  switch (db.screen) {
    case Screen::ListView:
      report(db, listDatabases(db));
      break;
    case Screen::FormView:
      if (db.includedCount > 0) {
        ErrorCode code = showListView(db);
        if (code == err::ok) break;
        // A list that cannot be shown must not keep the user in the database.
        report(db, code);
      }
      report(db, listDatabases(db));
      break;
    case Screen::Editing:
      SHSendBackToFocusWindow(message, wParam, lParam);
      break;
    case Screen::Catalogue:
      SHNavigateBack();
      break;
  }
}

// A date or time picker of a Field changed.
void onDateTimeChange(Database& db, const NMDATETIMECHANGE& change) {
  if (db.screen == Screen::Catalogue) return;
  for (std::int32_t i = 0; i < db.itemCount; ++i) {
    LayoutItem& item = db.items[i];
    if (item.control != change.nmhdr.hwndFrom || static_cast<ItemKind>(item.kind) != ItemKind::Field) continue;
    auto type = static_cast<ValueType>(item.valueType);
    if (type != ValueType::Date && type != ValueType::Time) return;
    if (db.screen != Screen::Editing) {
      // Outside Editing a picker only shows the record: put its value back.
      showCalendarValue(item);
      return;
    }
    db.currentRecordHeader.flags |= modifiedFlag;
    // A cleared picker that the user switches on again starts from now.
    if (change.dwFlags == static_cast<DWORD>(GDT_NONE)) clearControl(db, item);
    return;
  }
}

}  // namespace

LRESULT mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  switch (message) {
    case WM_CREATE:
      return createChildren(window, db) ? 0 : -1;
    case WM_DESTROY:
      closeDatabase(nullptr, db);
      for (HWND* bar : {&db.catalogueBar, &db.listBar, &db.formBar, &db.editBar}) {
        if (*bar != nullptr) DestroyWindow(*bar);
        *bar = nullptr;
      }
      PostQuitMessage(0);
      return 0;
    case WM_SIZE: {
      const int width = LOWORD(static_cast<std::uintptr_t>(lParam));
      const int height = HIWORD(static_cast<std::uintptr_t>(lParam));
      if (db.listBox != nullptr) MoveWindow(db.listBox, 0, 0, width, height + 2, TRUE);
      if (db.formScrollBar != nullptr) {
        const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
        MoveWindow(db.formScrollBar, width - scrollWidth, 0, scrollWidth, height + 2, TRUE);
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        if (isFormScreen(db)) {
          focusCurrentItem(db);
        } else if (db.listBox != nullptr) {
          SetFocus(db.listBox);
        }
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      HBRUSH brush = db.backgroundBrush != nullptr ? db.backgroundBrush
                                                   : reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      FillRect(dc, &client, brush);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE: {
      if (db.screen != Screen::Catalogue) {
        ErrorCode code = leaveRecord(db);
        if (code != err::ok) {
          report(db, code);
          return 0;
        }
      }
      ErrorCode code = closeDatabase(window, db);
      if (code == err::canceled) return 0;
      if (code != err::ok) {
        report(db, code);
        return 0;
      }
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header != nullptr && header->code == DTN_DATETIMECHANGE)
        onDateTimeChange(db, *reinterpret_cast<const NMDATETIMECHANGE*>(lParam));
      return 0;
    }
    case WM_COMMAND:
      dispatchCommand(window, LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
      return 0;
    case WM_VSCROLL:
      scrollForm(db, window, wParam);
      return DefWindowProcW(window, message, wParam, lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(
          colourControl(db, window, message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_HOTKEY:
      if (isBackHotKey(message, lParam)) onBackKey(window, db, message, wParam, lParam);
      return 0;
    case WM_TESSRA_REFRESH:
      if (db.screen == Screen::Editing) {
        ErrorCode code = showFormView(db, false);
        if (code != err::ok) {
          report(db, code);
          return 0;
        }
      }
      report(db, listDatabases(db));
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
