// Calculated columns: the stored prefix code and its evaluation.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct Database;

// Supplies the current value of a layout item used as an operand.
using OperandSource = ErrorCode (*)(Database& db, std::int32_t itemIndex, double& out, void* context);

// The bytes of one expression and where evaluation stands in them. The
// evaluator never reads past end; a node cut short is 44.
struct ExprCursor {
  const std::uint8_t* at;
  const std::uint8_t* end;
};

// Evaluates the node at the cursor; on success moves the cursor past it.
// The depth of nesting is bounded by the 256 stored bytes.
ErrorCode evaluateExpression(Database& db, ExprCursor& cursor, double& result, OperandSource operands,
                             void* context);

// The text a Calculated item shows for a result: six printed decimals cut
// to decimalPlaces; "*****" for a failed evaluation or a result that is
// infinite or not a number. buffer holds formatBufferSize units.
void formatCalculated(char16_t* buffer, ErrorCode evaluation, double result, std::uint8_t decimalPlaces);

// Reads an operand from the form's controls (Field: parseValue of its text;
// CheckBox: 1 or 0; any other kind 53).
ErrorCode fetchOperand(Database& db, std::int32_t itemIndex, double& out);

// Recomputes one Calculated item (or all, with -1) and shows its text. Always 0.
ErrorCode recalculate(Database& db, std::int32_t itemIndex);
