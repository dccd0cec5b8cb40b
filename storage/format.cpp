#include "storage/format.h"

bool isKnownValueType(std::uint8_t code) {
  switch (static_cast<ValueType>(code)) {
    case ValueType::Integer:
    case ValueType::Number:
    case ValueType::Currency:
    case ValueType::Date:
    case ValueType::Time:
    case ValueType::Text:
    case ValueType::YesNo:
      return true;
  }
  return false;
}

bool isKnownItemKind(std::uint8_t code) {
  switch (static_cast<ItemKind>(code)) {
    case ItemKind::Label:
    case ItemKind::Field:
    case ItemKind::CheckBox:
    case ItemKind::PickList:
    case ItemKind::Calculated:
    case ItemKind::GoToButton:
    case ItemKind::SearchButton:
    case ItemKind::SmsButton:
      return true;
  }
  return false;
}

bool isNumericType(std::uint8_t code) {
  auto type = static_cast<ValueType>(code);
  return type == ValueType::Integer || type == ValueType::Number || type == ValueType::Currency;
}
