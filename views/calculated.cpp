#include "views/calculated.h"

#include <cmath>
#include <cstring>

#include "storage/bytes.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/values.h"

namespace {

// Bytes left behind the cursor.
std::ptrdiff_t remaining(const ExprCursor& cursor) { return cursor.end - cursor.at; }

}  // namespace

ErrorCode evaluateExpression(Database& db, ExprCursor& cursor, double& result, OperandSource operands,
                             void* context) {
  result = 0.0;
  if (remaining(cursor) < 1) return err::badExpression;
  ExprCursor at{cursor.at + 1, cursor.end};
  const std::uint8_t code = cursor.at[0];
  switch (code) {
    case expr::add:
    case expr::subtract:
    case expr::multiply:
    case expr::divide:
    case expr::negate: {
      double left = 0.0;
      if (ErrorCode failed = evaluateExpression(db, at, left, operands, context)) return failed;
      if (code == expr::negate) {
        result = -left;
        break;
      }
      double right = 0.0;
      if (ErrorCode failed = evaluateExpression(db, at, right, operands, context)) return failed;
      if (code == expr::add) result = left + right;
      if (code == expr::subtract) result = left - right;
      if (code == expr::multiply) result = left * right;
      if (code == expr::divide) {
        if (right == 0.0) return err::divisionByZero;
        result = left / right;
      }
      break;
    }
    case expr::column: {
      if (remaining(at) < 4) return err::badExpression;
      std::uint32_t index = loadU32(at.at);
      // The index comes from the file: it must name an item of this layout.
      if (index >= static_cast<std::uint32_t>(db.store.layout.itemCount) || operands == nullptr) return internalError();
      double value = 0.0;
      if (ErrorCode failed = operands(db, static_cast<std::int32_t>(index), value, context)) return failed;
      result = value;
      at.at += 4;
      break;
    }
    case expr::constant:
      if (remaining(at) < 8) return err::badExpression;
      result = loadDouble(at.at);
      at.at += 8;
      break;
    case expr::invalid:
      return err::badExpression;
    default:
      return internalError();
  }
  cursor = at;
  return err::ok;
}

void formatCalculated(char16_t* buffer, ErrorCode evaluation, double result, std::uint8_t decimalPlaces) {
  static constexpr char16_t failed[] = u"*****";
  if (evaluation != err::ok || !std::isfinite(result)) {
    std::memcpy(buffer, failed, sizeof failed);
    return;
  }
  FieldValue number;
  number.next = noPosition;
  number.fieldId = 0;
  number.valueType = static_cast<std::uint8_t>(ValueType::Number);
  number.payload.number = result;
  formatValue(buffer, number);

  // Cut, never round: the sign and integer digits stay, then the separator
  // and up to decimalPlaces of the six printed decimals.
  int i = 0;
  if (buffer[i] == u'-') ++i;
  while (buffer[i] >= u'0' && buffer[i] <= u'9') ++i;
  if (buffer[i] == 0) return;
  if (decimalPlaces == 0) {
    buffer[i] = 0;
    return;
  }
  ++i;  // the separator
  for (int kept = 0; kept < decimalPlaces && buffer[i] != 0; ++kept) ++i;
  buffer[i] = 0;
}
