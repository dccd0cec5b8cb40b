#include "views/form.h"

#include <algorithm>

#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/calculated.h"
#include "views/commit.h"
#include "views/control_behaviour.h"
#include "views/values.h"

namespace {

constexpr DWORD labelStyle = 0x54000100;
constexpr DWORD editStyle = 0x54030080;
constexpr DWORD dateStyle = 0x5403000E;
constexpr DWORD timeStyle = 0x5403000A;
constexpr DWORD checkBoxStyle = 0x54030003;
constexpr DWORD pickListStyle = 0x54030100;
constexpr DWORD calculatedStyle = 0x54000102;
constexpr DWORD buttonStyle = 0x50032000;
constexpr DWORD spinStyle = 0x10000076;

HMENU controlId() { return reinterpret_cast<HMENU>(static_cast<std::intptr_t>(-1)); }

HWND createControl(Database& db, HWND owner, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y,
                   int width, int height) {
  return CreateWindowExW(0, className, text, style, x, y, width, height, owner, controlId(), db.ui.instance,
                         nullptr);
}

void setNumericMode(HWND edit) { SendMessageW(edit, EM_SETINPUTMODE, 0, IM_NUMBERS); }

// Puts a date or time picker into its none state, showing `now` when the
// user switches it on.
void setPickerEmpty(HWND picker, bool isTime) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  if (isTime) {
    setTimeOnlyDate(now);
  } else {
    clearTimePart(now);
  }
  SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
  SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&now));
}

void showZero(HWND edit, std::uint8_t valueType) {
  FieldValue zero{};
  zero.valueType = valueType;
  resetValue(zero);
  char16_t text[formatBufferSize];
  formatValue(text, zero);
  SetWindowTextW(edit, text);
}

// Creates the control (and spin control) of one item.
ErrorCode createItemControl(Database& db, HWND owner, const LayoutItem& item, ItemControls& controls, int x, int y,
                            int width) {
  const int height = controlHeight(db);
  auto kind = static_cast<ItemKind>(item.kind);
  auto type = static_cast<ValueType>(item.valueType);
  switch (kind) {
    case ItemKind::Label:
      controls.control = createControl(db, owner, u"STATIC", item.caption, labelStyle, x, y, width, height);
      break;
    case ItemKind::Field:
      switch (type) {
        case ValueType::Integer:
        case ValueType::Number:
        case ValueType::Currency:
        case ValueType::Text:
          controls.control = createControl(db, owner, u"EDIT", u"", editStyle, x, y, width, height);
          if (controls.control == nullptr) break;
          if (type != ValueType::Text) showZero(controls.control, item.valueType);
          SendMessageW(controls.control, EM_LIMITTEXT, 255, 0);
          if (type != ValueType::Text || item.numericInput != 0) setNumericMode(controls.control);
          subclassControl(controls.control, editProc, db.ui.savedProcs.edit);
          break;
        case ValueType::Date:
        case ValueType::Time:
          controls.control = createControl(db, owner, DATETIMEPICK_CLASSW, u"",
                                       type == ValueType::Date ? dateStyle : timeStyle, x, y, width, height);
          if (controls.control == nullptr) break;
          subclassControl(controls.control, datePickerProc, db.ui.savedProcs.datePicker);
          setPickerEmpty(controls.control, type == ValueType::Time);
          break;
        default:
          return internalError();
      }
      break;
    case ItemKind::CheckBox:
      controls.control = createControl(db, owner, u"BUTTON", item.caption, checkBoxStyle, x, y, width, height);
      if (controls.control != nullptr) subclassControl(controls.control, checkBoxProc, db.ui.savedProcs.checkBox);
      break;
    case ItemKind::PickList:
      controls.control = createControl(db, owner, u"LISTBOX", u"", pickListStyle, x, y, width, height);
      if (controls.control == nullptr) break;
      // With UDS_AUTOBUDDY the spinner takes the list created just before it.
      controls.spinControl = createControl(db, owner, UPDOWN_CLASSW, u"", spinStyle, 0, 0, 10, 0);
      if (controls.spinControl != nullptr) EnableWindow(controls.spinControl, FALSE);
      subclassControl(controls.control, pickListProc, db.ui.savedProcs.pickList);
      for (int c = 0; c < item.pickList.choiceCount; ++c)
        SendMessageW(controls.control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.pickList.choices[c]));
      SendMessageW(controls.control, LB_SETCURSEL, 0, 0);
      break;
    case ItemKind::Calculated:
      controls.control = createControl(db, owner, u"STATIC", u"", calculatedStyle, x, y, width, height);
      break;
    case ItemKind::GoToButton:
    case ItemKind::SearchButton:
    case ItemKind::SmsButton:
      controls.control = createControl(db, owner, u"BUTTON", item.caption, buttonStyle, x, y, width, height);
      if (controls.control != nullptr) subclassControl(controls.control, buttonProc, db.ui.savedProcs.button);
      break;
    default:
      return internalError();
  }
  return controls.control != nullptr ? err::ok : err::windowCreation;
}

}  // namespace

void subclassControl(HWND window, WNDPROC proc, WNDPROC& saved) {
  auto previous = reinterpret_cast<WNDPROC>(SetWindowLongW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
  if (saved == nullptr) saved = previous;
}

// Layout units from a file are bounded far beyond any screen, so that no
// position or width computed from them can overflow.
int formScaled(const Database& db, int layoutUnits) {
  constexpr int limit = 100000;
  const int factor = db.ui.highResolution ? 3 : 2;
  return factor * std::clamp(layoutUnits, -limit, limit) / 2;
}
int leftMargin(const Database& db) { return formScaled(db, 3); }
int lineGap(const Database& db) { return formScaled(db, 4); }
int controlHeight(const Database& db) { return formScaled(db, 18); }

ErrorCode buildForm(HWND owner, Database& db, std::int32_t recalculationIndex) {
  RECT client{};
  GetClientRect(owner, &client);
  const int clientHeight = client.bottom - client.top;
  int rangeMin = 0;
  int rangeMax = 0;
  GetScrollRange(db.ui.formScrollBar, SB_CTL, &rangeMin, &rangeMax);
  const int position = GetScrollPos(db.ui.formScrollBar, SB_CTL);
  int extent = rangeMax == 0 ? lineGap(db) - clientHeight : rangeMax;

  const int formWidth = (client.right - client.left) - 2 * leftMargin(db) - GetSystemMetrics(SM_CXVSCROLL);
  const int factor = db.ui.highResolution ? 3 : 2;
  int y = lineGap(db) - position;
  int lineHeight = 0;
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    LayoutItem& item = db.store.layout.items[i];
    const int x = leftMargin(db) + formScaled(db, item.left);
    int width = 0;
    if (item.width == -1) {
      width = formWidth - formScaled(db, item.left);
      item.width = (2 * width) / factor;
    } else {
      width = formScaled(db, item.width);
    }
    ErrorCode code = createItemControl(db, owner, item, db.ui.items[i], x, y, width);
    if (code != err::ok) return code;
    lineHeight = controlHeight(db);
    if (i + 1 < db.store.layout.itemCount && db.store.layout.items[i + 1].row != item.row) {
      y += lineHeight + lineGap(db);
      extent += lineHeight + lineGap(db);
      lineHeight = 0;
    }
  }
  extent += lineHeight + lineGap(db);
  if (extent > 0) {
    SetScrollRange(db.ui.formScrollBar, SB_CTL, 0, extent, FALSE);
    ShowWindow(db.ui.formScrollBar, SW_SHOWNA);
  }
  recalculate(db, recalculationIndex);
  return err::ok;
}

ErrorCode showRecord(Database& db) {
  db.store.records.currentRecordLoaded = false;
  ErrorCode code = loadRecordValues(db.store);
  if (code != err::ok) return code;

  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    LayoutItem& item = db.store.layout.items[i];
    ItemControls& controls = db.ui.items[i];
    auto kind = static_cast<ItemKind>(item.kind);
    switch (kind) {
      case ItemKind::Label:
      case ItemKind::GoToButton:
      case ItemKind::SearchButton:
      case ItemKind::SmsButton:
        break;
      case ItemKind::Field: {
        auto type = static_cast<ValueType>(item.valueType);
        if (type == ValueType::Date || type == ValueType::Time) {
          showCalendarValue(item, controls.control);
        } else if (isNumericType(item.valueType) || type == ValueType::Text) {
          char16_t text[formatBufferSize];
          if (!formatValue(text, item.value)) return err::conversion;
          SetWindowTextW(controls.control, text);
        } else {
          return internalError();
        }
        break;
      }
      case ItemKind::CheckBox:
        SendMessageW(controls.control, BM_SETCHECK, item.value.payload.yesNo != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case ItemKind::PickList: {
        LRESULT count = SendMessageW(controls.control, LB_GETCOUNT, 0, 0);
        LRESULT selected = 0;
        for (LRESULT row = 0; row < count; ++row) {
          char16_t choice[room::choice + 1] = {};
          if (SendMessageW(controls.control, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) > room::choice) continue;
          SendMessageW(controls.control, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(choice));
          if (_wcsicmp(choice, item.value.payload.text.chars) == 0) {
            selected = row;
            break;
          }
        }
        SendMessageW(controls.control, LB_SETCURSEL, static_cast<WPARAM>(selected), 0);
        controls.selectionChanged = false;
        break;
      }
      case ItemKind::Calculated:
        SetWindowTextW(controls.control, u"");
        break;
      default:
        return internalError();
    }
  }
  recalculate(db, -1);
  db.store.records.currentRecordHeader.flags &= ~modifiedFlag;
  db.store.records.currentRecordLoaded = true;
  return err::ok;
}

void showCalendarValue(const FieldValue& value, HWND control) {
  SYSTEMTIME shown = value.payload.calendar.time;
  SendMessageW(control, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&shown));
  SendMessageW(control, DTM_SETSYSTEMTIME, value.payload.calendar.noValue == 1 ? GDT_NONE : GDT_VALID,
               reinterpret_cast<LPARAM>(&shown));
}

void showCalendarValue(const LayoutItem& item, HWND control) { showCalendarValue(item.value, control); }

ErrorCode showFirstRecord(Database& db) {
  if (db.screen == Screen::Catalogue) return internalError();
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;
  if (db.store.records.includedCount == 0) {
    if (db.screen == Screen::FormView) return showRecord(db);
    return internalError();
  }
  std::int32_t found = -1;
  for (std::uint32_t i = 0; i < db.store.file.header.recordCount; ++i) {
    if ((db.store.records.index[i].flags & includedFlag) != 0) {
      found = static_cast<std::int32_t>(i);
      break;
    }
  }
  if (found < 0) return err::recordNotFound;
  db.store.records.currentEntry = found;
  db.store.records.currentRecord = db.store.records.index[found].position;
  code = showRecord(db);
  if (code != err::ok) return code;
  if (db.screen == Screen::ListView) {
    if (db.store.records.index[found].listRow == -1) return internalError();
    SendMessageW(db.ui.listBox, LB_SETCURSEL, static_cast<WPARAM>(db.store.records.index[found].listRow), 0);
  }
  return err::ok;
}

ErrorCode selectListedRecord(Database& db) {
  LRESULT row = SendMessageW(db.ui.listBox, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return internalError();
  LRESULT entry = SendMessageW(db.ui.listBox, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
  if (entry < 0 || static_cast<std::uint64_t>(entry) >= db.store.file.header.recordCount) return internalError();
  db.store.records.currentEntry = static_cast<std::int32_t>(entry);
  db.store.records.currentRecord = db.store.records.index[entry].position;
  return showRecord(db);
}

ErrorCode prepareFormView(Database& db, bool discard) {
  if (db.screen == Screen::Catalogue) return internalError();
  if (discard) {
    if (db.store.records.currentEntry == -1) {
      if (db.screen != Screen::Editing) return internalError();
      db.store.records.currentRecordHeader.flags &= ~modifiedFlag;
      return db.store.records.includedCount == 0 ? showRecord(db) : showFirstRecord(db);
    }
    db.store.records.currentRecordHeader.flags &= ~modifiedFlag;
    ErrorCode code = showRecord(db);
    if (code != err::ok) return code;
  } else {
    ErrorCode code = commitRecord(db, 1);
    if (code != err::ok) return code;
  }
  if (db.screen == Screen::ListView) return selectListedRecord(db);
  return err::ok;
}

ErrorCode prepareEditing(Database& db) {
  if (db.store.layout.readOnly || db.screen == Screen::Catalogue) return internalError();
  if (db.screen == Screen::ListView) return selectListedRecord(db);
  return err::ok;
}

void clearControl(Database& db, std::int32_t index) {
  const LayoutItem& item = db.store.layout.items[index];
  ItemControls& controls = db.ui.items[index];
  auto kind = static_cast<ItemKind>(item.kind);
  if (kind == ItemKind::Field) {
    auto type = static_cast<ValueType>(item.valueType);
    switch (type) {
      case ValueType::Integer:
      case ValueType::Number:
      case ValueType::Currency:
        showZero(controls.control, item.valueType);
        break;
      case ValueType::Date:
      case ValueType::Time:
        setPickerEmpty(controls.control, type == ValueType::Time);
        break;
      default:
        SetWindowTextW(controls.control, u"");
        break;
    }
  } else if (kind == ItemKind::CheckBox) {
    SendMessageW(controls.control, BM_SETCHECK, BST_UNCHECKED, 0);
  } else if (kind == ItemKind::PickList) {
    SendMessageW(controls.control, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    controls.selectionChanged = true;
  }
}
