#include "tools/tsq/expression.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "storage/bytes.h"

namespace {

using tsq::compileExpression;
using tsq::ExpressionError;
using tsq::printExpression;
using Code = std::vector<std::uint8_t>;

// Stored code pieces.
Code op(std::uint8_t code) { return {code}; }
Code col(std::uint32_t index) {
  Code code(5);
  code[0] = expr::column;
  storeU32(code.data() + 1, index);
  return code;
}
Code num(double value) {
  Code code(9);
  code[0] = expr::constant;
  storeDouble(code.data() + 1, value);
  return code;
}
Code cat(std::initializer_list<Code> parts) {
  Code code;
  for (const Code& part : parts) code.insert(code.end(), part.begin(), part.end());
  return code;
}
const Code add = op(1), sub = op(2), mul = op(3), div = op(4), neg = op(9);

// Items of a small layout: [Qty] is 3, [Unit price] 4, [Paid] 5; #0 to #9 exist.
std::optional<std::uint32_t> lookup(std::string_view caption, std::string& reason) {
  static const std::map<std::string, std::uint32_t, std::less<>> names{
      {"Qty", 3}, {"Unit price", 4}, {"Paid", 5}, {"Größe", 6}, {"#0", 0}, {"#3", 3}, {"#7", 7}};
  auto found = names.find(caption);
  if (found != names.end()) return found->second;
  reason = "no item is called \"" + std::string(caption) + "\"";
  return std::nullopt;
}

std::string name(std::uint32_t index) {
  switch (index) {
    case 3: return "[Qty]";
    case 4: return "[Unit price]";
    case 5: return "[Paid]";
    case 7: return "#7";
    default: return {};
  }
}

struct CompileCase {
  const char* text;
  Code code;
};

TEST(ExpressionCompile, GivesThePrefixCodeOfTheInfixText) {
  const CompileCase cases[] = {
      {"[Qty]", col(3)},
      {"1.5", num(1.5)},
      {"1e3", num(1000.0)},
      {".25", num(0.25)},
      {"2.5E-1", num(0.25)},
      // The worked example: (item 3 x item 4) - 1.5, 21 bytes.
      {"[Qty] * [Unit price] - 1.5", cat({sub, mul, col(3), col(4), num(1.5)})},
      {"[Qty] + [Unit price] * 2", cat({add, col(3), mul, col(4), num(2)})},
      {"([Qty] + [Unit price]) * 2", cat({mul, add, col(3), col(4), num(2)})},
      {"1 - 2 - 3", cat({sub, sub, num(1), num(2), num(3)})},
      {"1 - (2 - 3)", cat({sub, num(1), sub, num(2), num(3)})},
      {"8 / 4 / 2", cat({div, div, num(8), num(4), num(2)})},
      {"-[Qty]", cat({neg, col(3)})},
      {"-1.5", num(-1.5)},
      {"-(1.5)", cat({neg, num(1.5)})},
      {"--[Qty]", cat({neg, neg, col(3)})},
      {"[Qty] - -2", cat({sub, col(3), num(-2)})},
      {"-[Qty] * [Paid]", cat({mul, neg, col(3), col(5)})},
      {"-([Qty] * [Paid])", cat({neg, mul, col(3), col(5)})},
      {"-0", num(-0.0)},
      {"#7 * [Größe]", cat({mul, col(7), col(6)})},
      {"  [Qty]\t*\n2  ", cat({mul, col(3), num(2)})},
  };
  for (const CompileCase& c : cases) {
    ExpressionError error;
    auto code = compileExpression(c.text, lookup, error);
    ASSERT_TRUE(code) << c.text << ": " << error.message;
    EXPECT_EQ(*code, c.code) << c.text;
  }
}

struct ErrorCase {
  const char* text;
  std::size_t position;
  const char* message;
};

TEST(ExpressionCompile, NamesTheCharacterWhereTheTextGoesWrong) {
  const ErrorCase cases[] = {
      {"", 1, "operand expected"},
      {"[Qty] *", 8, "operand expected"},
      {"[Qty] [Paid]", 7, "unexpected"},
      {"([Qty] + 1", 11, "')' expected"},
      {"[Qty) + 1", 1, "']' expected"},
      {"[Qtx] * 2", 1, "no item is called \"Qtx\""},
      {"2 * #12", 5, "no item"},
      {"#x", 1, "item index expected"},
      {"1e", 3, "exponent digits expected"},
      {"1e999", 1, "out of range"},
      {"[Größe] + $", 11, "operand expected"},  // positions count characters, not bytes
      {"2 + 3)", 6, "unexpected ')'"},
  };
  for (const ErrorCase& c : cases) {
    ExpressionError error;
    EXPECT_FALSE(compileExpression(c.text, lookup, error)) << c.text;
    EXPECT_EQ(error.position, c.position) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << c.text << ": " << error.message;
  }
}

TEST(ExpressionCompile, RefusesWhatTheStoredFormCannotHold) {
  ExpressionError error;
  std::string deep(100, '(');
  deep += "1" + std::string(100, ')');
  EXPECT_FALSE(compileExpression(deep, lookup, error));
  EXPECT_NE(error.message.find("nested"), std::string::npos);

  // 50 operands of 5 bytes and 49 operators exceed 256 bytes.
  std::string longSum = "[Qty]";
  for (int i = 0; i < 49; ++i) longSum += " + [Qty]";
  EXPECT_FALSE(compileExpression(longSum, lookup, error));
  EXPECT_NE(error.message.find("256"), std::string::npos);

  EXPECT_FALSE(compileExpression(std::string(5000, '1'), lookup, error));
}

TEST(ExpressionPrint, GivesTextThatCompilesToTheSameCode) {
  const char* texts[] = {
      "[Qty] * [Unit price] - 1.5",
      "([Qty] + [Unit price]) * 2",
      "1 - (2 - 3)",
      "1 - 2 - 3",
      "[Qty] / ([Unit price] / 2)",
      "[Qty] + ([Unit price] + 1)",
      "-[Qty]",
      "-1.5",
      "-(1.5)",
      "-(-1.5)",
      "--[Qty]",
      "-([Qty] + 1)",
      "[Qty] - -2",
      "-2 * [Qty]",
      "0.1 + 1e+300",
      "-0",
      "#7 * [Paid]",
  };
  for (const char* text : texts) {
    ExpressionError error;
    auto code = compileExpression(text, lookup, error);
    ASSERT_TRUE(code) << text << ": " << error.message;
    auto printed = printExpression(*code, name);
    ASSERT_TRUE(printed) << text;
    EXPECT_EQ(*printed, text);
  }
}

TEST(ExpressionPrint, RefusesCodeWithoutAnInfixForm) {
  const Code cases[] = {
      {},                                    // nothing
      op(255),                               // the invalid mark
      op(5),                                 // not a node
      cat({add, col(3)}),                    // ends before its second operand
      Code{6, 3, 0},                         // column index cut short
      cat({col(3), num(1)}),                 // bytes after the first node
      num(std::numeric_limits<double>::infinity()),
      num(std::numeric_limits<double>::quiet_NaN()),
      col(99),                               // no name for the item
  };
  for (const Code& code : cases) EXPECT_FALSE(printExpression(code, name)) << ::testing::PrintToString(code);
}

}  // namespace
