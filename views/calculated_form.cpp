// Calculated columns over the form's controls: operands are read from the
// controls as they stand, so a calculated field follows the user's typing.
#include "storage/database.h"
#include "storage/checks.h"
#include "views/calculated.h"
#include "views/values.h"

namespace {

ErrorCode operandFromForm(Database& db, std::int32_t itemIndex, double& out, void*) {
  return fetchOperand(db, itemIndex, out);
}

}  // namespace

ErrorCode fetchOperand(Database& db, std::int32_t itemIndex, double& out) {
  out = 0.0;
  if (itemIndex < 0 || itemIndex >= db.store.layout.itemCount) return internalError();
  const LayoutItem& item = db.store.layout.items[itemIndex];
  const ItemControls& controls = db.ui.items[itemIndex];
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field: {
      auto type = static_cast<ValueType>(item.valueType);
      if (type != ValueType::Integer && type != ValueType::Number && type != ValueType::Currency)
        return internalError();
      WCHAR text[formatBufferSize] = {};
      GetWindowTextW(controls.control, text, formatBufferSize);
      FieldValue value{};
      if (!parseValue(value, text, item.valueType, item.fieldId, item.value.next)) return err::conversion;
      out = type == ValueType::Integer ? static_cast<double>(value.payload.integer) : value.payload.number;
      return err::ok;
    }
    case ItemKind::CheckBox:
      out = SendMessageW(controls.control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1.0 : 0.0;
      return err::ok;
    default:
      return internalError();
  }
}

ErrorCode recalculate(Database& db, std::int32_t itemIndex) {
  for (std::int32_t i = 0; i < db.store.layout.itemCount; ++i) {
    if (itemIndex != -1 && i != itemIndex) continue;
    LayoutItem& item = db.store.layout.items[i];
    ItemControls& controls = db.ui.items[i];
    if (static_cast<ItemKind>(item.kind) != ItemKind::Calculated) continue;
    const CalculatedData& calc = item.calculated;
    ExprCursor cursor{calc.expression, calc.expression + calc.expressionLength};
    double result = 0.0;
    ErrorCode code = evaluateExpression(db, cursor, result, operandFromForm, nullptr);
    char16_t text[formatBufferSize];
    formatCalculated(text, code, result, calc.decimalPlaces);
    if (controls.control != nullptr) SetWindowTextW(controls.control, text);
  }
  return err::ok;
}
