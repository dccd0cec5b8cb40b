#include "views/control_behaviour.h"

#include "storage/database.h"
#include "views/form.h"
#include "views/values.h"

namespace {

bool isFocusable(std::uint8_t kind) {
  switch (static_cast<ItemKind>(kind)) {
    case ItemKind::Field:
    case ItemKind::CheckBox:
    case ItemKind::PickList:
    case ItemKind::GoToButton:
    case ItemKind::SearchButton:
    case ItemKind::SmsButton:
      return true;
    default:
      return false;
  }
}

bool isButtonKind(std::uint8_t kind) {
  auto k = static_cast<ItemKind>(kind);
  return k == ItemKind::GoToButton || k == ItemKind::SearchButton || k == ItemKind::SmsButton;
}

// The first item of one of the expected kinds whose control is window, or -1.
template <typename KindTest>
std::int32_t findItem(const Database& db, HWND window, KindTest matches) {
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i)
    if (db.ui.items[i].control == window && matches(db.store.layout.items[i].kind)) return i;
  return -1;
}

std::int32_t findField(const Database& db, HWND window) {
  return findItem(db, window, [](std::uint8_t k) { return static_cast<ItemKind>(k) == ItemKind::Field; });
}

// The item whose type and colour a field's control follows: its own, or,
// for the search dialog's key box, which is no form item, the sort item's.
// -1 when there is neither.
std::int32_t fieldOrKeyBox(const Database& db, std::int32_t index) {
  if (index >= 0) return index;
  const std::uint32_t sortItem = db.store.file.header.sortItem;
  if (sortItem != noItem && sortItem < static_cast<std::uint32_t>(db.store.layout.itemCount))
    return static_cast<std::int32_t>(sortItem);
  return -1;
}

bool onFormScreen(const Database& db) { return db.screen == Screen::FormView || db.screen == Screen::Editing; }
bool editing(const Database& db) { return db.screen == Screen::Editing; }

bool isUpDown(WPARAM key) { return key == VK_UP || key == VK_DOWN; }

// Fills the control's client area with the item's brush.
bool eraseWithBrush(HWND window, WPARAM dc, HBRUSH brush) {
  if (brush == nullptr) return false;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(reinterpret_cast<HDC>(dc), &client, brush);
  return true;
}

bool comesFromSymbolPicker(WPARAM previous) {
  auto window = reinterpret_cast<HWND>(previous);
  if (window == nullptr) return false;
  WCHAR name[32] = {};
  GetClassNameW(window, name, 32);
  return _wcsicmp(name, u"MS_SymMenu") == 0;
}

// The keypad's two symbol keys give a numeric field its decimal point and
// minus sign.
WPARAM mapNumericCharacter(WPARAM ch) {
  if (ch == u'#') {
    char16_t separator = decimalSeparator();
    return separator != 0 ? separator : u'.';
  }
  if (ch == u'*') return u'-';
  return ch;
}

// What every control of the form does alike: receiving the focus makes its
// item current and brings it into view; Up and Down walk the form. True
// when the message is consumed.
bool navigate(Database& db, std::int32_t index, UINT message, WPARAM wParam) {
  if (message == WM_SETFOCUS) {
    db.ui.currentItem = index;
    ensureVisible(db, index, true);
    return false;
  }
  if (message == WM_KEYDOWN && isUpDown(wParam) && onFormScreen(db)) {
    moveFocus(db, wParam == VK_UP);
    return true;
  }
  return false;
}

}  // namespace

void moveFocus(Database& db, bool up) {
  HWND focus = GetFocus();
  std::int32_t start = -1;
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i)
    if (focus != nullptr && db.ui.items[i].control == focus) {
      start = i;
      break;
    }
  if (start < 0 || db.store.layout.itemCount <= 0) return;
  std::int32_t i = start;
  for (;;) {
    i = up ? (i == 0 ? db.store.layout.itemCount - 1 : i - 1) : (i + 1 == db.store.layout.itemCount ? 0 : i + 1);
    if (i == start) return;
    if (isFocusable(db.store.layout.items[i].kind)) break;
  }
  SetFocus(db.ui.items[i].control);
}

LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  std::int32_t index = findField(db, window);
  const std::int32_t follows = fieldOrKeyBox(db, index);
  if (follows < 0) return CallWindowProcW(db.ui.savedProcs.edit, window, message, wParam, lParam);
  const LayoutItem* item = &db.store.layout.items[follows];

  if (index >= 0) {
    // Entering a field on the Editing screen selects its text, so typing
    // replaces it; coming back from the symbol picker leaves it alone.
    if (message == WM_SETFOCUS && editing(db) && !comesFromSymbolPicker(wParam))
      SendMessageW(window, EM_SETSEL, 0, -1);
    if (navigate(db, index, message, wParam)) return 0;
  }
  switch (message) {
    case WM_ERASEBKGND:
      if (eraseWithBrush(window, wParam, db.ui.items[follows].brush)) return 1;
      break;
    case WM_CHAR:
      if (isNumericType(item->valueType)) {
        if (index >= 0 && !editing(db)) return 0;
        wParam = mapNumericCharacter(wParam);
      } else if (static_cast<ValueType>(item->valueType) == ValueType::Text) {
        if (index >= 0 && !editing(db)) return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcW(db.ui.savedProcs.edit, window, message, wParam, lParam);
}

LRESULT datePickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  std::int32_t index = findField(db, window);
  const std::int32_t follows = fieldOrKeyBox(db, index);
  if (follows < 0) return CallWindowProcW(db.ui.savedProcs.datePicker, window, message, wParam, lParam);

  if (index >= 0 && navigate(db, index, message, wParam)) return 0;
  switch (message) {
    case WM_ERASEBKGND:
      if (eraseWithBrush(window, wParam, db.ui.items[follows].brush)) return 1;
      break;
    case WM_CHAR:
    case WM_LBUTTONDOWN:
      if (index >= 0 && !editing(db)) return 0;
      break;
    default:
      break;
  }
  return CallWindowProcW(db.ui.savedProcs.datePicker, window, message, wParam, lParam);
}

LRESULT checkBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  std::int32_t index =
      findItem(db, window, [](std::uint8_t k) { return static_cast<ItemKind>(k) == ItemKind::CheckBox; });
  if (index >= 0) {
    if (navigate(db, index, message, wParam)) return 0;
    if (message == WM_CHAR && !editing(db)) return 0;
  }
  return CallWindowProcW(db.ui.savedProcs.checkBox, window, message, wParam, lParam);
}

LRESULT pickListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  std::int32_t index =
      findItem(db, window, [](std::uint8_t k) { return static_cast<ItemKind>(k) == ItemKind::PickList; });
  if (index >= 0) {
    if (navigate(db, index, message, wParam)) return 0;
    if (message == WM_CHAR && !editing(db)) return 0;
    if (message == LB_SETCURSEL && editing(db)) {
      db.store.records.currentRecordHeader.flags |= modifiedFlag;
      db.ui.items[index].selectionChanged = true;
    }
  }
  return CallWindowProcW(db.ui.savedProcs.pickList, window, message, wParam, lParam);
}

LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Database& db = theDatabase();
  std::int32_t index = findItem(db, window, isButtonKind);
  if (index < 0) return CallWindowProcW(db.ui.savedProcs.button, window, message, wParam, lParam);
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) InvalidateRect(window, nullptr, TRUE);
  if (navigate(db, index, message, wParam)) return 0;
  if (message == WM_PAINT) {
    // The focused button is drawn in the bold label font.
    HFONT font = db.ui.currentItem == index ? db.ui.boldFont : db.ui.normalFont;
    LRESULT previous = SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    LRESULT result = CallWindowProcW(db.ui.savedProcs.button, window, message, wParam, lParam);
    SendMessageW(window, WM_SETFONT, static_cast<WPARAM>(previous), FALSE);
    return result;
  }
  return CallWindowProcW(db.ui.savedProcs.button, window, message, wParam, lParam);
}

void scrollForm(Database& db, HWND window, WPARAM request) {
  int minimum = 0;
  int maximum = 0;
  GetScrollRange(db.ui.formScrollBar, SB_CTL, &minimum, &maximum);
  const int old = GetScrollPos(db.ui.formScrollBar, SB_CTL);
  RECT client{};
  GetClientRect(window, &client);
  const int page = client.bottom - client.top;
  auto clamp = [&](int v) { return v < minimum ? minimum : (v > maximum ? maximum : v); };
  int position = old;
  switch (LOWORD(request)) {
    case SB_LINEUP: position = clamp(old - 1); break;
    case SB_LINEDOWN: position = clamp(old + 1); break;
    case SB_PAGEUP: position = clamp(old - page); break;
    case SB_PAGEDOWN: position = clamp(old + page); break;
    case SB_THUMBPOSITION: position = clamp(static_cast<std::int16_t>(HIWORD(request))); break;
    case SB_TOP: position = minimum; break;
    case SB_BOTTOM: position = maximum; break;
    default: break;
  }
  if (position == old) return;
  SetScrollPos(db.ui.formScrollBar, SB_CTL, position, TRUE);
  db.ui.formScroll = position;

  RECT frame{};
  GetWindowRect(window, &frame);
  auto shift = [&](HWND control) {
    if (control == nullptr) return;
    RECT r{};
    GetWindowRect(control, &r);
    SetWindowPos(control, nullptr, r.left - frame.left, r.top - frame.top - position + old, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
  };
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    shift(db.ui.items[i].control);
    shift(db.ui.items[i].spinControl);
  }
}

void ensureVisible(Database& db, std::int32_t index, bool withLabels) {
  if (index < 0 || index >= db.store.layout.itemCount) return;
  std::int32_t top = index;
  if (withLabels) {
    while (top > 0) {
      auto kind = static_cast<ItemKind>(db.store.layout.items[top - 1].kind);
      if (kind != ItemKind::Label && kind != ItemKind::Calculated) break;
      --top;
    }
  }
  RECT band{};
  GetWindowRect(db.ui.mainWindow, &band);
  band.top += 1;
  RECT topRect{};
  RECT itemRect{};
  GetWindowRect(db.ui.items[top].control, &topRect);
  GetWindowRect(db.ui.items[index].control, &itemRect);
  const int p = GetScrollPos(db.ui.formScrollBar, SB_CTL);
  auto scrollTo = [&](int position) {
    scrollForm(db, db.ui.mainWindow, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(position)));
  };
  if (!withLabels) {
    scrollTo(p - lineGap(db) - band.top + itemRect.top);
    return;
  }
  if (topRect.top < band.top) {
    scrollTo(p - lineGap(db) - band.top + topRect.top);
  } else if (itemRect.bottom > band.bottom) {
    const int margin = top == 0 ? 0 : lineGap(db);
    scrollTo(p + (itemRect.bottom - band.bottom) + margin);
  }
}

void focusCurrentItem(Database& db) {
  if (db.ui.currentItem < 0 || db.ui.currentItem >= db.store.layout.itemCount) return;
  HWND control = db.ui.items[db.ui.currentItem].control;
  if (control == nullptr) return;
  SetFocus(control);
  ensureVisible(db, db.ui.currentItem, true);
}
