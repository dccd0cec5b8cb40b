#include "storage/layout.h"

#include <cstring>

#include "records/encoding.h"
#include "storage/layout.h"
#include "storage/primitives.h"

namespace {

// Reads one search constant of the stored valueType into value's payload.
bool readConstant(HANDLE file, FieldValue& value) {
  auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: {
      std::uint32_t raw = 0;
      if (!readU32(file, raw)) return false;
      payload.integer = static_cast<std::int32_t>(raw);
      return true;
    }
    case ValueType::Number:
    case ValueType::Currency:
      return readBytes8(file, &payload.number);
    case ValueType::Date:
    case ValueType::Time:
      return readU32(file, payload.calendar.noValue) && readBytes16(file, &payload.calendar.time);
    case ValueType::Text: {
      if (!readText16(file, payload.text.chars, room::criterionText)) return false;
      std::uint16_t count = 0;
      while (payload.text.chars[count] != 0) ++count;
      payload.text.count = static_cast<std::uint16_t>(count + 1);
      return true;
    }
    case ValueType::YesNo:
      return readU8(file, payload.yesNo);
  }
  return true;  // any other type carries no constant
}

bool readSearchData(HANDLE file, SearchData& search) {
  if (!readU8(file, search.criterionCount) || search.criterionCount > maxCriteria) return false;
  for (int i = 0; i < search.criterionCount; ++i) {
    SearchCriterion& criterion = search.criteria[i];
    criterion.value = FieldValue{};
    if (!readU32(file, criterion.item) || !readU8(file, criterion.op) ||
        !readU8(file, criterion.value.valueType) || !readConstant(file, criterion.value)) {
      return false;
    }
  }
  return readU8(file, search.matchAll);
}

bool readKindData(HANDLE file, LayoutItem& item) {
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      return readU8(file, item.numericInput);
    case ItemKind::PickList: {
      if (!readU8(file, item.pickList.choiceCount)) return false;
      for (int i = 0; i < item.pickList.choiceCount; ++i) {
        if (!readText8(file, item.pickList.choices[i], room::choice)) return false;
      }
      return true;
    }
    case ItemKind::Calculated:
      return readBlob16(file, item.calculated.expressionLength, item.calculated.expression,
                        maxExpressionBytes) &&
             readU8(file, item.calculated.decimalPlaces);
    case ItemKind::GoToButton:
      return readU32(file, item.target);
    case ItemKind::SearchButton:
      return readSearchData(file, item.search);
    case ItemKind::SmsButton:
      return readU32(file, item.sms.phoneItem) && readU32(file, item.sms.messageItem);
    case ItemKind::Label:
    case ItemKind::CheckBox:
      return true;
  }
  return true;  // an unknown kind carries no data; the form refuses to show it
}

bool readSigned(HANDLE file, std::int32_t& out) {
  std::uint32_t raw = 0;
  if (!readU32(file, raw)) return false;
  out = static_cast<std::int32_t>(raw);
  return true;
}

bool readItem(HANDLE file, LayoutItem& item) {
  if (!readText8(file, item.caption, room::caption) || !readU8(file, item.valueType) ||
      !readU16(file, item.fieldId)) {
    return false;
  }
  item.valuePosition = noPosition;
  item.value = FieldValue{};
  item.value.fieldId = item.fieldId;
  item.value.valueType = item.valueType;
  resetValue(item.value);
  item.numericInput = 0;
  item.pickList.choiceCount = 0;
  item.calculated.expressionLength = 0;
  item.calculated.decimalPlaces = 0;
  item.target = 0;
  item.search.criterionCount = 0;
  item.search.matchAll = 0;
  item.sms = SmsItems{};
  return readU32(file, item.colour) && readU8(file, item.kind) && readKindData(file, item) &&
         readSigned(file, item.row) && readSigned(file, item.left) && readSigned(file, item.width);
}

// Indexes stored in the layout are used as array indexes later: every one
// must name an item of this layout (or be one of its "none" values).
bool indexesSound(const Layout& layout) {
  auto count = static_cast<std::uint32_t>(layout.itemCount);
  for (std::uint32_t i = 0; i < count; ++i) {
    const LayoutItem& item = layout.items[i];
    switch (static_cast<ItemKind>(item.kind)) {
      case ItemKind::GoToButton:
        if (item.target >= count) return false;
        break;
      case ItemKind::SmsButton:
        if (item.sms.phoneItem != noItem && item.sms.phoneItem >= count) return false;
        if (item.sms.messageItem != noItem && item.sms.messageItem >= count) return false;
        break;
      case ItemKind::SearchButton:
        for (int c = 0; c < item.search.criterionCount; ++c) {
          const SearchCriterion& criterion = item.search.criteria[c];
          const std::uint8_t itemType = criterion.item < count ? layout.items[criterion.item].valueType : 0;
          if (criterionFault(criterion.op, criterion.item, count, itemType) != CriterionFault::None) return false;
        }
        break;
      default:
        break;
    }
  }
  return true;
}

ErrorCode readHeaderAndItems(HANDLE file, Layout& layout, PasswordCheck checkPassword, void* context) {
  std::uint32_t version = 0;
  if (!readU32(file, version) || version == 0) return err::readData;
  if (version > formatVersion) return err::newerVersion;

  if (!readU32(file, layout.stored.field2)) return err::readData;
  layout.reserved2 = 0;
  if (!readText8(file, layout.headerText, room::headerText) || !readU32(file, layout.stored.field4) ||
      !readScrambledText8(file, layout.password, room::password)) {
    return err::readData;
  }

  if (layout.password[0] != 0 && (checkPassword == nullptr || !checkPassword(context, layout.password))) {
    layout.password[0] = 0;
    return err::wrongPassword;
  }

  std::uint32_t itemCount = 0;
  if (!readText8(file, layout.mailSubject, room::mailSubject) ||
      !readText8(file, layout.mailRecipient, room::mailRecipient) || !readU8(file, layout.reserved8) ||
      !readU8(file, layout.readOnly) || !readU32(file, layout.backgroundColour) ||
      !readU32(file, layout.stored.field11) || !readU32(file, itemCount) || !readU32(file, layout.stored.field13)) {
    return err::readData;
  }
  layout.reserved11 = 0;

  auto signedCount = static_cast<std::int32_t>(itemCount);
  if (signedCount > maxItems) return err::readData;
  layout.itemCount = signedCount < 1 ? 0 : signedCount;

  for (std::int32_t i = 0; i < layout.itemCount; ++i) {
    if (!readItem(file, layout.items[i])) return err::readData;
  }
  if (!indexesSound(layout)) return err::readData;
  return err::ok;
}

}  // namespace

CriterionFault criterionFault(std::uint8_t operation, std::uint32_t item, std::uint32_t itemCount, std::uint8_t itemValueType) {
  if (operation < op::equal || operation > op::contains) return CriterionFault::Operator;
  if (item == anyTextItem)
    return operation == op::contains ? CriterionFault::None : CriterionFault::AnyItemNeedsContains;
  if (item >= itemCount) return CriterionFault::Item;
  if (operation == op::contains && itemValueType != static_cast<std::uint8_t>(ValueType::Text))
    return CriterionFault::ContainsNeedsText;
  return CriterionFault::None;
}

void resetHeaderFields(Layout& layout) {
  layout.headerText[0] = 0;
  layout.mailSubject[0] = 0;
  layout.mailRecipient[0] = 0;
  // A password read before the failure is not kept either.
  layout.password[0] = 0;
  layout.reserved2 = 0;
  layout.reserved8 = 0;
  layout.reserved11 = 0;
  layout.stored = Layout::StoredWords{};
  layout.itemCount = 0;
  layout.backgroundColour = 0xFFFFFF;
  layout.readOnly = 0;
}

ErrorCode readLayout(HANDLE file, Layout& layout, PasswordCheck checkPassword, void* context) {
  ErrorCode code = readHeaderAndItems(file, layout, checkPassword, context);
  if (code == err::readData) resetHeaderFields(layout);
  return code;
}
