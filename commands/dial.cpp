#include "commands/dial.h"

#include <algorithm>

#include "storage/checks.h"
#include "storage/database.h"
#include "storage/format.h"
#include "views/form.h"
#include "views/values.h"

namespace {

constexpr std::size_t maxDialLength = 80;
constexpr char16_t telPrefix[] = u"TEL:";
constexpr std::size_t telPrefixLength = 4;

bool isFieldType(std::uint8_t type) {
  return isKnownValueType(type) && static_cast<ValueType>(type) != ValueType::YesNo;
}

bool isPhoneNumberItem(const LayoutItem& item) {
  return static_cast<ItemKind>(item.kind) == ItemKind::Field &&
         static_cast<ValueType>(item.valueType) == ValueType::Text && item.numericInput != 0;
}

}  // namespace

ErrorCode dialCurrentRecord(Database& db) {
  if (db.screen == Screen::Editing || db.screen == Screen::Catalogue) return internalError();
  if (db.store.records.currentEntry == -1) return err::noPhoneNumber;
  if (db.screen == Screen::ListView) {
    ErrorCode code = selectListedRecord(db);
    if (code != err::ok) return code;
  }
  const HWND focus = GetFocus();
  const Layout& layout = db.store.layout;
  std::int32_t chosen = -1;
  for (std::int32_t i = 0; i < layout.itemCount; ++i) {
    const LayoutItem& item = layout.items[i];
    if (!isKnownItemKind(item.kind)) return internalError();
    if (static_cast<ItemKind>(item.kind) == ItemKind::Field && !isFieldType(item.valueType)) return internalError();
    if (!isPhoneNumberItem(item)) continue;
    if (chosen < 0 || (focus != nullptr && db.ui.items[i].control == focus)) chosen = i;
  }
  if (chosen < 0) return err::noPhoneNumber;

  char16_t number[formatBufferSize] = {};
  formatValue(number, layout.items[chosen].value);
  number[maxDialLength] = 0;
  dialNumber(number);
  return err::ok;
}

void dialNumber(const char16_t* number) {
  char16_t request[telPrefixLength + maxDialLength + 1] = {};
  std::copy(telPrefix, telPrefix + telPrefixLength, request);
  std::size_t length = 0;
  while (length < maxDialLength && number[length] != 0) ++length;
  std::copy(number, number + length, request + telPrefixLength);

  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.lpVerb = u"open";
  execute.lpFile = request;
  execute.nShow = SW_SHOW;
  // Whether a call was placed is the dialler's business.
  ShellExecuteExW(&execute);
}
