// Calculated expressions: infix text (as people write them in a definition)
// to the stored prefix code, and the stored code back to infix text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/format.h"

namespace tsq {

// Finds the layout index of an operand written as [Caption]; on failure it
// returns nullopt and says why in reason.
using OperandLookup = std::function<std::optional<std::uint32_t>(std::string_view caption, std::string& reason)>;

struct ExpressionError {
  std::size_t position = 0;  // 1-based character position in the text
  std::string message;
};

// Compiles text such as "[Qty] * [Price] - 1.5". Operands are [Caption] or
// #index; constants are decimal numbers with an optional exponent. A minus
// directly in front of a number makes a negative constant; in front of
// anything else it is a negation. Binary operators are left-associative,
// * and / bind tighter than + and -.
std::optional<std::vector<std::uint8_t>> compileExpression(std::string_view text, const OperandLookup& lookup,
                                                           ExpressionError& error);

// Gives the text an operand is written as, e.g. "[Qty]" or "#3"; empty when
// the index cannot be named.
using OperandName = std::function<std::string(std::uint32_t index)>;

// Prints stored code as infix text with the fewest parentheses that compile
// back to the same code. Nullopt when the code is not one complete node or
// holds something that has no infix form (255, unknown codes, a constant
// that is not finite).
std::optional<std::string> printExpression(std::span<const std::uint8_t> code, const OperandName& name);

}  // namespace tsq
