#include "shell/main_window.h"

#include <initializer_list>

#include "commands/catalogue.h"
#include "commands/dispatch.h"
#include "commands/list_box.h"
#include "resources/ids.h"
#include "storage/database.h"
#include "views/chrome.h"
#include "views/control_behaviour.h"
#include "views/form.h"
#include "views/list_view.h"
#include "views/opening.h"

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
  db.ui.mainWindow = window;
  db.ui.catalogueBar = createBar(window, db.ui.instance, res::catalogueBar);
  db.ui.listBar = createBar(window, db.ui.instance, res::listBar);
  db.ui.formBar = createBar(window, db.ui.instance, res::formBar);
  db.ui.editBar = createBar(window, db.ui.instance, res::editBar);
  if (!db.ui.catalogueBar || !db.ui.listBar || !db.ui.formBar || !db.ui.editBar) return false;

  HDC dc = GetDC(window);
  db.ui.normalFont = createLabelFont(dc, FW_NORMAL);
  db.ui.boldFont = createLabelFont(dc, FW_BOLD);
  db.ui.highResolution = GetDeviceCaps(dc, LOGPIXELSY) > 96 ? 1 : 0;
  ReleaseDC(window, dc);
  db.ui.controlFont = nullptr;
  db.ui.buttonFont = nullptr;
  if (!db.ui.normalFont || !db.ui.boldFont) return false;

  RECT client{};
  GetClientRect(window, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  db.ui.listBox = CreateWindowExW(0, u"LISTBOX", u"", listBoxStyle, 0, 0, width, height + 2, window,
                               reinterpret_cast<HMENU>(static_cast<std::intptr_t>(res::listBoxId)), db.ui.instance,
                               nullptr);
  if (db.ui.listBox == nullptr) return false;
  db.ui.savedProcs.listBox = reinterpret_cast<WNDPROC>(
      SetWindowLongW(db.ui.listBox, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(listBoxProc)));

  const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
  db.ui.formScrollBar = CreateWindowExW(0, u"SCROLLBAR", u"", scrollBarStyle, width - scrollWidth, 0, scrollWidth,
                                     height + 2, window, nullptr, db.ui.instance, nullptr);
  if (db.ui.formScrollBar == nullptr) return false;
  SetScrollRange(db.ui.formScrollBar, SB_CTL, 0, 0, FALSE);
  SetScrollPos(db.ui.formScrollBar, SB_CTL, 0, FALSE);
  ShowWindow(db.ui.formScrollBar, SW_HIDE);
  db.store.layout.reserved11 = 0;
  return true;
}

void report(Database& db, ErrorCode code) {
  if (code != err::ok) showMessage(db.ui.mainWindow, code, MB_ICONERROR);
}

bool isFormScreen(const Database& db) { return db.screen == Screen::FormView || db.screen == Screen::Editing; }

void onBackKey(HWND window, Database& db, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool keyUp = (LOWORD(static_cast<std::uintptr_t>(lParam)) & MOD_KEYUP) != 0;
  if (keyUp) {
    if (isFormScreen(db) && db.ui.currentItem >= 0 &&
        static_cast<ItemKind>(db.store.layout.items[db.ui.currentItem].kind) == ItemKind::Field)
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
      if (db.store.records.includedCount > 0) {
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
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    const LayoutItem& item = db.store.layout.items[i];
    const ItemControls& controls = db.ui.items[i];
    if (controls.control != change.nmhdr.hwndFrom || static_cast<ItemKind>(item.kind) != ItemKind::Field) continue;
    auto type = static_cast<ValueType>(item.valueType);
    if (type != ValueType::Date && type != ValueType::Time) return;
    if (db.screen != Screen::Editing) {
      // Outside Editing a picker only shows the record: put its value back.
      showCalendarValue(item, controls.control);
      return;
    }
    db.store.records.currentRecordHeader.flags |= modifiedFlag;
    // A cleared picker that the user switches on again starts from now.
    if (change.dwFlags == static_cast<DWORD>(GDT_NONE)) clearControl(db, i);
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
      for (HWND* bar : {&db.ui.catalogueBar, &db.ui.listBar, &db.ui.formBar, &db.ui.editBar}) {
        if (*bar != nullptr) DestroyWindow(*bar);
        *bar = nullptr;
      }
      PostQuitMessage(0);
      return 0;
    case WM_SIZE: {
      const int width = LOWORD(static_cast<std::uintptr_t>(lParam));
      const int height = HIWORD(static_cast<std::uintptr_t>(lParam));
      if (db.ui.listBox != nullptr) MoveWindow(db.ui.listBox, 0, 0, width, height + 2, TRUE);
      if (db.ui.formScrollBar != nullptr) {
        const int scrollWidth = GetSystemMetrics(SM_CXVSCROLL);
        MoveWindow(db.ui.formScrollBar, width - scrollWidth, 0, scrollWidth, height + 2, TRUE);
      }
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        if (isFormScreen(db)) {
          focusCurrentItem(db);
        } else if (db.ui.listBox != nullptr) {
          SetFocus(db.ui.listBox);
        }
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      HBRUSH brush = db.ui.backgroundBrush != nullptr ? db.ui.backgroundBrush
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
