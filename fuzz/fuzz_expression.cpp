// Any bytes as a calculated column's expression, and as typed text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "views/calculated.h"
#include "views/values.h"

namespace {

ErrorCode operand(Database&, std::int32_t index, double& out, void*) {
  if (index % 3 == 0) return err::conversion;
  out = index * 0.5;
  return err::ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Database& db = fuzzing::freshDatabase();
  db.store.layout.itemCount = 10;

  // Exactly the input's bytes, so that reading one more is caught; at most
  // as many as a layout item holds (the layout reader refuses more), which
  // is what bounds the evaluator's nesting.
  std::vector<std::uint8_t> code(data, data + std::min<std::size_t>(size, maxExpressionBytes));
  ExprCursor cursor{code.data(), code.data() + code.size()};
  double result = 0.0;
  ErrorCode evaluated = evaluateExpression(db, cursor, result, operand, nullptr);
  if (cursor.at < code.data() || cursor.at > code.data() + code.size()) __builtin_trap();
  char16_t text[formatBufferSize];
  formatCalculated(text, evaluated, result, size > 0 ? data[0] : 0);

  // The same bytes as UTF-16 text typed into a field of every type.
  std::vector<char16_t> typed(size / 2 + 1, 0);
  std::memcpy(typed.data(), data, size / 2 * 2);
  for (std::uint8_t type : {2, 4, 5, 8, 16, 32, 64, 0, 200}) {
    FieldValue value;
    parseValue(value, typed.data(), type, 1, noPosition);
    formatValue(text, value);
  }
  return 0;
}
