#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "storage/bytes.h"
#include "storage/database.h"
#include "views/calculated.h"
#include "views/values.h"

namespace {

using Code = std::vector<std::uint8_t>;

Code constant(double v) {
  Code c(9, expr::constant);
  storeDouble(c.data() + 1, v);
  return c;
}
Code column(std::uint32_t index) {
  Code c(5, expr::column);
  storeU32(c.data() + 1, index);
  return c;
}
Code node(std::uint8_t op, const Code& left, const Code& right = {}) {
  Code c{op};
  c.insert(c.end(), left.begin(), left.end());
  c.insert(c.end(), right.begin(), right.end());
  return c;
}

// Operands of the form as a map from item index to value; a missing index
// answers 24, as a Field with letters in it does.
struct Operands {
  std::map<std::int32_t, double> values;
  int calls = 0;
};

ErrorCode fromMap(Database&, std::int32_t index, double& out, void* context) {
  auto& operands = *static_cast<Operands*>(context);
  ++operands.calls;
  auto found = operands.values.find(index);
  if (found == operands.values.end()) return err::conversion;
  out = found->second;
  return err::ok;
}

class Calculated : public ::testing::Test {
 protected:
  void SetUp() override {
    db = std::make_unique<Database>();
    setStartupValues(*db);
    db->store.layout.itemCount = 6;
    platform::setDecimalSeparatorOverride(u".");
  }
  void TearDown() override { platform::setDecimalSeparatorOverride(std::nullopt); }

  ErrorCode run(const Code& code, double& result, std::ptrdiff_t& consumed) {
    ExprCursor cursor{code.data(), code.data() + code.size()};
    result = 12345.0;
    ErrorCode failed = evaluateExpression(*db, cursor, result, fromMap, &operands);
    consumed = cursor.at - code.data();
    return failed;
  }

  std::unique_ptr<Database> db;
  Operands operands{{{3, 2.0}, {4, 5.0}, {5, 0.0}}};
};

TEST_F(Calculated, TheStoredExampleComputes) {
  // (item 3 x item 4) - 1.5, as 21 stored bytes.
  const Code code = {0x02, 0x03, 0x06, 0x03, 0, 0, 0, 0x06, 0x04, 0, 0, 0, 0x07, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F};
  EXPECT_EQ(code, node(expr::subtract, node(expr::multiply, column(3), column(4)), constant(1.5)));
  double result;
  std::ptrdiff_t consumed;
  ASSERT_EQ(run(code, result, consumed), err::ok);
  EXPECT_EQ(result, 8.5);
  EXPECT_EQ(consumed, 21);
}

TEST_F(Calculated, Evaluation) {
  struct Case {
    const char* name;
    Code code;
    ErrorCode expected;
    double result;  // on success
  };
  Code trailing = constant(4.0);
  trailing.push_back(0xEE);  // bytes after the first complete node are ignored
  Code deep(247, expr::negate);  // with the constant, 256 bytes
  const Code three = constant(3.0);
  deep.insert(deep.end(), three.begin(), three.end());
  const Case cases[] = {
      {"add", node(expr::add, constant(1.25), column(4)), err::ok, 6.25},
      {"divide", node(expr::divide, column(4), column(3)), err::ok, 2.5},
      {"negate", node(expr::negate, column(3)), err::ok, -2.0},
      {"trailingBytes", trailing, err::ok, 4.0},
      {"deepNegates", deep, err::ok, -3.0},
      {"divideByZero", node(expr::divide, constant(1.0), column(5)), err::divisionByZero, 0},
      {"divideByMinusZero", node(expr::divide, constant(1.0), constant(-0.0)), err::divisionByZero, 0},
      {"invalidMark", Code{255}, err::badExpression, 0},
      {"emptyExpression", Code{}, err::badExpression, 0},
      {"unknownCode0", Code{0}, err::internal, 0},
      {"unknownCode5", Code{5, 1, 2, 3}, err::internal, 0},
      {"unknownCode8", Code{8}, err::internal, 0},
      {"unknownCode10", node(expr::add, Code{10}, constant(1)), err::internal, 0},
      {"operandFails", node(expr::multiply, column(0), constant(2)), err::conversion, 0},
      {"firstFailureWins", node(expr::add, Code{255}, node(expr::divide, constant(1), constant(0))),
       err::badExpression, 0},
      {"columnPastLayout", column(6), err::internal, 0},
      {"columnFarPastLayout", column(0xFFFFFFFF), err::internal, 0},
      {"truncatedColumn", Code{expr::column, 3, 0, 0}, err::badExpression, 0},
      {"truncatedConstant", Code{expr::constant, 0, 0, 0, 0, 0, 0, 0xF8}, err::badExpression, 0},
      {"missingRight", node(expr::add, constant(1)), err::badExpression, 0},
      {"missingOperand", Code{expr::negate}, err::badExpression, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    double result;
    std::ptrdiff_t consumed;
    ErrorCode code = run(c.code, result, consumed);
    EXPECT_EQ(code, c.expected);
    if (code == err::ok) {
      EXPECT_EQ(result, c.result);
      EXPECT_GT(consumed, 0);
    } else {
      EXPECT_EQ(consumed, 0);  // the cursor stays where it was
      EXPECT_EQ(result, 0.0);
    }
  }
}

TEST_F(Calculated, ColumnOutsideTheLayoutIsNeverFetched) {
  double result;
  std::ptrdiff_t consumed;
  operands.calls = 0;
  EXPECT_EQ(run(node(expr::add, column(3), column(99)), result, consumed), err::internal);
  EXPECT_EQ(operands.calls, 1);
}

std::u16string display(ErrorCode code, double result, std::uint8_t places) {
  char16_t buffer[formatBufferSize];
  formatCalculated(buffer, code, result, places);
  return buffer;
}

TEST_F(Calculated, DisplayCuts) {
  struct Case {
    double value;
    std::uint8_t places;
    std::u16string text;
  };
  const Case cases[] = {
      {123.5, 2, u"123.50"},   {-123.5, 2, u"-123.50"}, {2.999, 2, u"2.99"},    {2.9999999, 2, u"3.00"},
      {7.9, 0, u"7"},          {-7.9, 0, u"-7"},        {1.5, 9, u"1.500000"},  {1.5, 255, u"1.500000"},
      {0.125, 1, u"0.1"},      {-0.0001, 2, u"-0.00"},  {1e20, 1, u"100000000000000000000.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(display(err::ok, c.value, c.places), c.text) << c.value;

  EXPECT_EQ(display(err::divisionByZero, 0, 2), u"*****");
  EXPECT_EQ(display(err::badExpression, 0, 2), u"*****");
  EXPECT_EQ(display(err::ok, std::numeric_limits<double>::infinity(), 2), u"*****");
  EXPECT_EQ(display(err::ok, -std::numeric_limits<double>::infinity(), 2), u"*****");
  EXPECT_EQ(display(err::ok, std::nan(""), 2), u"*****");

  platform::setDecimalSeparatorOverride(u",");
  EXPECT_EQ(display(err::ok, 2.5, 1), u"2,5");
  EXPECT_EQ(display(err::ok, -2.5, 0), u"-2");
}

TEST_F(Calculated, OverflowShowsStars) {
  double result;
  std::ptrdiff_t consumed;
  ASSERT_EQ(run(node(expr::multiply, constant(1e200), constant(1e200)), result, consumed), err::ok);
  EXPECT_EQ(display(err::ok, result, 2), u"*****");
}

}  // namespace
