#include "tools/tsq/expression.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "storage/bytes.h"
#include "storage/format.h"

namespace tsq {
namespace {

// One node of the expression tree.
struct Node {
  std::uint8_t code = 0;
  double constant = 0.0;
  std::uint32_t index = 0;
  std::unique_ptr<Node> left;
  std::unique_ptr<Node> right;  // also the operand of a negation
};
using NodePtr = std::unique_ptr<Node>;

constexpr int maxDepth = 64;
// Far more than 256 bytes of code can hold; keeps the tree's depth small.
constexpr std::size_t maxTextLength = 4096;

// ---- Compiling --------------------------------------------------------------

class Parser {
 public:
  Parser(std::string_view text, const OperandLookup& lookup, ExpressionError& error)
      : text_(text), lookup_(lookup), error_(error) {}

  NodePtr parse() {
    NodePtr node = sum(0);
    if (!node) return nullptr;
    skipSpaces();
    if (at_ < text_.size()) return fail(at_, "unexpected '" + std::string(1, text_[at_]) + "'");
    return node;
  }

 private:
  NodePtr fail(std::size_t byteOffset, std::string message) {
    if (error_.message.empty()) {
      error_.position = characterPosition(byteOffset);
      error_.message = std::move(message);
    }
    return nullptr;
  }

  // Counts UTF-8 lead bytes, so a caption with accents moves the position by one per character.
  std::size_t characterPosition(std::size_t byteOffset) const {
    std::size_t position = 1;
    for (std::size_t i = 0; i < byteOffset && i < text_.size(); ++i)
      if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++position;
    return position;
  }

  void skipSpaces() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool peek(char c) {
    skipSpaces();
    return at_ < text_.size() && text_[at_] == c;
  }
  bool peekNumber() {
    skipSpaces();
    return at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.');
  }

  static NodePtr binary(std::uint8_t code, NodePtr left, NodePtr right) {
    auto node = std::make_unique<Node>();
    node->code = code;
    node->left = std::move(left);
    node->right = std::move(right);
    return node;
  }

  NodePtr sum(int depth) {
    NodePtr left = product(depth);
    while (left) {
      std::uint8_t code;
      if (peek('+')) code = expr::add;
      else if (peek('-')) code = expr::subtract;
      else break;
      ++at_;
      NodePtr right = product(depth);
      if (!right) return nullptr;
      left = binary(code, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr product(int depth) {
    NodePtr left = unary(depth);
    while (left) {
      std::uint8_t code;
      if (peek('*')) code = expr::multiply;
      else if (peek('/')) code = expr::divide;
      else break;
      ++at_;
      NodePtr right = unary(depth);
      if (!right) return nullptr;
      left = binary(code, std::move(left), std::move(right));
    }
    return left;
  }

  NodePtr unary(int depth) {
    if (depth > maxDepth) return fail(at_, "expression nested too deeply");
    if (!peek('-')) return primary(depth);
    ++at_;
    if (peekNumber()) {
      NodePtr number = primary(depth);
      if (number) number->constant = -number->constant;
      return number;
    }
    NodePtr operand = unary(depth + 1);
    if (!operand) return nullptr;
    auto node = std::make_unique<Node>();
    node->code = expr::negate;
    node->right = std::move(operand);
    return node;
  }

  NodePtr primary(int depth) {
    skipSpaces();
    if (at_ >= text_.size()) return fail(at_, "operand expected at the end");
    char c = text_[at_];
    if (c == '(') {
      std::size_t open = at_++;
      NodePtr inner = sum(depth + 1);
      if (!inner) return nullptr;
      if (!peek(')')) return fail(at_, "')' expected to close the '(' at character " +
                                              std::to_string(characterPosition(open)));
      ++at_;
      return inner;
    }
    if (c == '[') return captionOperand();
    if (c == '#') return indexOperand();
    if ((c >= '0' && c <= '9') || c == '.') return number();
    return fail(at_, "operand expected");
  }

  NodePtr number() {
    std::size_t start = at_;
    auto digits = [&] {
      std::size_t from = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      return at_ > from;
    };
    bool whole = digits();
    bool fraction = false;
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      fraction = digits();
    }
    if (!whole && !fraction) return fail(start, "number expected");
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return fail(at_, "exponent digits expected");
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(text_.data() + start, text_.data() + at_, value);
    if (ec != std::errc() || end != text_.data() + at_ || !std::isfinite(value))
      return fail(start, "number out of range");
    auto node = std::make_unique<Node>();
    node->code = expr::constant;
    node->constant = value;
    return node;
  }

  NodePtr captionOperand() {
    std::size_t open = at_++;
    std::size_t close = text_.find(']', at_);
    if (close == std::string_view::npos) return fail(open, "']' expected");
    std::string_view caption = text_.substr(at_, close - at_);
    std::string reason;
    std::optional<std::uint32_t> index = lookup_(caption, reason);
    if (!index) return fail(open, reason.empty() ? "unknown item [" + std::string(caption) + "]" : reason);
    at_ = close + 1;
    auto node = std::make_unique<Node>();
    node->code = expr::column;
    node->index = *index;
    return node;
  }

  NodePtr indexOperand() {
    std::size_t start = at_++;
    std::uint32_t index = 0;
    auto [end, ec] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), index);
    if (ec != std::errc() || end == text_.data() + at_) return fail(start, "item index expected after '#'");
    at_ = static_cast<std::size_t>(end - text_.data());
    std::string reason;
    if (!lookup_("#" + std::to_string(index), reason)) return fail(start, reason);
    auto node = std::make_unique<Node>();
    node->code = expr::column;
    node->index = index;
    return node;
  }

  std::string_view text_;
  const OperandLookup& lookup_;
  ExpressionError& error_;
  std::size_t at_ = 0;
};

void emit(const Node& node, std::vector<std::uint8_t>& code) {
  code.push_back(node.code);
  std::uint8_t bytes[encoded::bytes8];
  switch (node.code) {
    case expr::column:
      storeU32(bytes, node.index);
      code.insert(code.end(), bytes, bytes + encoded::u32);
      break;
    case expr::constant:
      storeDouble(bytes, node.constant);
      code.insert(code.end(), bytes, bytes + encoded::bytes8);
      break;
    case expr::negate:
      emit(*node.right, code);
      break;
    default:
      emit(*node.left, code);
      emit(*node.right, code);
      break;
  }
}

// ---- Printing ---------------------------------------------------------------

// Reads one node from code; null when the code ends early or holds a byte
// without an infix form. Depth is bounded by the code's length.
NodePtr readNode(std::span<const std::uint8_t> code, std::size_t& at) {
  if (at >= code.size()) return nullptr;
  auto node = std::make_unique<Node>();
  node->code = code[at++];
  switch (node->code) {
    case expr::column:
      if (code.size() - at < encoded::u32) return nullptr;
      node->index = loadU32(code.data() + at);
      at += encoded::u32;
      return node;
    case expr::constant:
      if (code.size() - at < encoded::bytes8) return nullptr;
      node->constant = loadDouble(code.data() + at);
      at += encoded::bytes8;
      if (!std::isfinite(node->constant)) return nullptr;
      return node;
    case expr::negate:
      node->right = readNode(code, at);
      return node->right ? std::move(node) : nullptr;
    case expr::add:
    case expr::subtract:
    case expr::multiply:
    case expr::divide:
      node->left = readNode(code, at);
      if (!node->left) return nullptr;
      node->right = readNode(code, at);
      return node->right ? std::move(node) : nullptr;
    default:
      return nullptr;
  }
}

int precedence(const Node& node) {
  switch (node.code) {
    case expr::add:
    case expr::subtract: return 1;
    case expr::multiply:
    case expr::divide: return 2;
    case expr::negate: return 3;
    default: return 4;
  }
}

std::string formatConstant(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool print(const Node& node, const OperandName& name, std::string& out) {
  auto operand = [&](const Node& child, bool parenthesise) {
    if (parenthesise) out += '(';
    bool ok = print(child, name, out);
    if (parenthesise) out += ')';
    return ok;
  };
  switch (node.code) {
    case expr::column: {
      std::string text = name(node.index);
      if (text.empty()) return false;
      out += text;
      return true;
    }
    case expr::constant:
      out += formatConstant(node.constant);
      return true;
    case expr::negate:
      out += '-';
      // A number right behind a minus would read as a negative constant.
      return operand(*node.right, precedence(*node.right) < 3 || node.right->code == expr::constant);
    default: {
      static constexpr const char* symbols[] = {"", " + ", " - ", " * ", " / "};
      int own = precedence(node);
      if (!operand(*node.left, precedence(*node.left) < own)) return false;
      out += symbols[node.code];
      return operand(*node.right, precedence(*node.right) <= own);
    }
  }
}

}  // namespace

std::optional<std::vector<std::uint8_t>> compileExpression(std::string_view text, const OperandLookup& lookup,
                                                           ExpressionError& error) {
  error = ExpressionError{};
  if (text.size() > maxTextLength) {
    error.position = maxTextLength + 1;
    error.message = "expression text too long";
    return std::nullopt;
  }
  Parser parser(text, lookup, error);
  NodePtr root = parser.parse();
  if (!root) return std::nullopt;
  std::vector<std::uint8_t> code;
  emit(*root, code);
  if (code.size() > static_cast<std::size_t>(maxExpressionBytes)) {
    error.position = 1;
    error.message = "expression longer than " + std::to_string(maxExpressionBytes) + " bytes when stored";
    return std::nullopt;
  }
  return code;
}

std::optional<std::string> printExpression(std::span<const std::uint8_t> code, const OperandName& name) {
  std::size_t at = 0;
  NodePtr root = readNode(code, at);
  if (!root || at != code.size()) return std::nullopt;
  std::string text;
  if (!print(*root, name, text)) return std::nullopt;
  return text;
}

}  // namespace tsq
