#include "views/commit.h"

#include "records/encoding.h"
#include "records/record_store.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/values.h"

namespace {

constexpr int controlTextRoom = 1024;

// Reads one item's control into fresh. hasValue is false for items that
// hold no value, and for a pick list the user did not touch that has a
// stored text: it keeps it.
ErrorCode readControl(const LayoutItem& item, const ItemControls& controls, FieldValue& fresh, bool& hasValue) {
  hasValue = true;
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Label:
    case ItemKind::Calculated:
    case ItemKind::GoToButton:
    case ItemKind::SearchButton:
    case ItemKind::SmsButton:
      hasValue = false;
      return err::ok;
    case ItemKind::CheckBox:
      fresh.payload.yesNo = SendMessageW(controls.control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
      return err::ok;
    case ItemKind::PickList: {
      // An untouched pick list keeps the text the record stores (which may
      // match no choice); a record that stores none takes the choice shown.
      if (!controls.selectionChanged && item.valuePosition != noPosition) {
        hasValue = false;
        return err::ok;
      }
      WCHAR text[room::valueText] = {};
      LRESULT row = SendMessageW(controls.control, LB_GETCURSEL, 0, 0);
      if (row != LB_ERR) {
        LRESULT length = SendMessageW(controls.control, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        if (length < 0 || length >= room::valueText) return internalError();
        SendMessageW(controls.control, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
      }
      setText(fresh, text);
      return err::ok;
    }
    case ItemKind::Field: {
      auto type = static_cast<ValueType>(item.valueType);
      if (type == ValueType::Date || type == ValueType::Time) {
        SYSTEMTIME shown{};
        LRESULT answer = SendMessageW(controls.control, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
        fresh.payload.calendar.time = shown;
        fresh.payload.calendar.noValue = answer == GDT_NONE ? 1 : 0;
        return err::ok;
      }
      if (type == ValueType::Integer || type == ValueType::Number || type == ValueType::Currency ||
          type == ValueType::Text) {
        WCHAR text[controlTextRoom] = {};
        GetWindowTextW(controls.control, text, controlTextRoom);
        if (!parseValue(fresh, text, item.valueType, item.fieldId, item.value.next)) return err::conversion;
        return err::ok;
      }
      return internalError();
    }
    default:
      return internalError();
  }
}


ErrorCode readItem(void* context, std::int32_t index, FieldValue& fresh, bool& hasValue) {
  Database& db = *static_cast<Database*>(context);
  return readControl(db.store.layout.items[index], db.ui.items[index], fresh, hasValue);
}

}  // namespace

ErrorCode commitRecord(Database& db, int allowReorder) {
  // The ListView never holds a new record's edits: editing happens on the
  // Editing screen, and leaving it commits. Refused before anything is written.
  if (db.screen == Screen::ListView && db.store.records.currentRecord == noPosition &&
      (db.store.records.currentRecordHeader.flags & modifiedFlag) != 0 && !db.store.layout.readOnly &&
      db.store.layout.itemCount > 0)
    return internalError();
  return saveRecord(db.store, readItem, &db, allowReorder);
}
