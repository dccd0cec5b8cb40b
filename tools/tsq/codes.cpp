#include "tools/tsq/codes.h"

#include <vector>

#include "storage/format.h"

namespace tsq {
namespace {

// Each switch names every enumerator, so the compiler reports a kind or type
// added to the format without a name here.
const char* nameOf(ItemKind kind) {
  switch (kind) {
    case ItemKind::Label: return "Label";
    case ItemKind::Field: return "Field";
    case ItemKind::CheckBox: return "CheckBox";
    case ItemKind::PickList: return "PickList";
    case ItemKind::Calculated: return "Calculated";
    case ItemKind::GoToButton: return "GoToButton";
    case ItemKind::SearchButton: return "SearchButton";
    case ItemKind::SmsButton: return "SmsButton";
  }
  return nullptr;
}

const char* nameOf(ValueType type) {
  switch (type) {
    case ValueType::Integer: return "Integer";
    case ValueType::Number: return "Number";
    case ValueType::Currency: return "Currency";
    case ValueType::Date: return "Date";
    case ValueType::Time: return "Time";
    case ValueType::Text: return "Text";
    case ValueType::YesNo: return "YesNo";
  }
  return nullptr;
}

// Every byte code that has a name, in ascending order.
template <typename Enum>
std::vector<CodeName> tableOf() {
  std::vector<CodeName> table;
  for (unsigned code = 0; code <= 255; ++code)
    if (const char* name = nameOf(static_cast<Enum>(code))) table.push_back({static_cast<std::uint8_t>(code), name});
  return table;
}

}  // namespace

std::span<const CodeName> kindNames() {
  static const std::vector<CodeName> table = tableOf<ItemKind>();
  return table;
}

std::span<const CodeName> valueTypeNames() {
  static const std::vector<CodeName> table = tableOf<ValueType>();
  return table;
}

std::span<const CodeName> operatorNames() {
  static constexpr CodeName table[] = {
      {op::equal, "="},       {op::notEqual, "<>"},          {op::less, "<"},           {op::greater, ">"},
      {op::lessOrEqual, "<="}, {op::greaterOrEqual, ">="}, {op::contains, "contains"},
  };
  return table;
}

std::string nameOf(std::span<const CodeName> names, std::uint8_t code) {
  for (const CodeName& entry : names)
    if (entry.code == code) return entry.name;
  return std::to_string(code);
}

std::string kindName(std::uint8_t kind) { return nameOf(kindNames(), kind); }
std::string valueTypeName(std::uint8_t valueType) { return nameOf(valueTypeNames(), valueType); }
std::string operatorName(std::uint8_t op) { return nameOf(operatorNames(), op); }

Json codeJson(std::span<const CodeName> names, std::uint8_t code) {
  for (const CodeName& entry : names)
    if (entry.code == code) return entry.name;
  return code;
}

std::optional<std::uint8_t> codeOf(std::span<const CodeName> names, const Json& json) {
  if (json.is_string()) {
    for (const CodeName& entry : names)
      if (json.get_ref<const std::string&>() == entry.name) return entry.code;
    return std::nullopt;
  }
  if (json.is_number_unsigned() && json.get<std::uint64_t>() <= 255) return static_cast<std::uint8_t>(json.get<std::uint64_t>());
  return std::nullopt;
}

}  // namespace tsq
