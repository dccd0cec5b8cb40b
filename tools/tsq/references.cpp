#include "tools/tsq/references.h"

#include <charconv>

#include "platform/text.h"
#include "records/encoding.h"
#include "tools/tsq/expression.h"
#include "tools/tsq/values.h"

namespace tsq {
namespace {

using platform::fromUtf8;
using platform::toUtf8;

// "#n" names item n.
std::optional<std::uint32_t> hashIndex(const std::string& text) {
  if (text.size() < 2 || text[0] != '#') return std::nullopt;
  std::uint32_t index = 0;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), index);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return index;
}

// A caption names the item alone when no other item (of the kind asked for)
// has it and it cannot be taken for an index or a special key.
bool captionNames(const std::vector<ItemImage>& items, std::uint32_t index, bool valueItemsOnly) {
  const std::u16string& caption = items[index].caption;
  if (caption.empty() || caption[0] == u'#' || caption[0] == u'_') return false;
  std::string ignored;
  return findCaption(items, caption, valueItemsOnly, ignored) == index;
}

}  // namespace

std::optional<std::uint32_t> findCaption(const std::vector<ItemImage>& items, const std::u16string& caption,
                                         bool valueItemsOnly, std::string& reason) {
  std::vector<std::uint32_t> found;
  std::vector<std::uint32_t> nonLabels;
  for (std::uint32_t i = 0; i < items.size(); ++i) {
    if (items[i].caption != caption || (valueItemsOnly && !isValueKind(items[i].kind))) continue;
    found.push_back(i);
    if (items[i].kind != static_cast<std::uint8_t>(ItemKind::Label)) nonLabels.push_back(i);
  }
  if (found.size() == 1) return found[0];
  if (nonLabels.size() == 1) return nonLabels[0];
  reason = (found.empty() ? "no " : "more than one ") + std::string(valueItemsOnly ? "value item" : "item") +
           " is called \"" + toUtf8(caption) + "\"";
  return std::nullopt;
}

std::optional<std::uint32_t> resolveItem(const std::vector<ItemImage>& items, const Json& ref, bool valueItemsOnly,
                                         std::string& reason) {
  std::optional<std::uint32_t> index;
  if (ref.is_number_integer()) {
    index = integerOf<std::uint32_t>(ref);
  } else if (ref.is_string()) {
    index = hashIndex(ref.get<std::string>());
    if (!index) return findCaption(items, fromUtf8(ref.get<std::string>()), valueItemsOnly, reason);
  } else {
    reason = "an item caption or index is expected";
    return std::nullopt;
  }
  if (!index || *index >= items.size()) {
    reason = "no item has index " + ref.dump();
    return std::nullopt;
  }
  return index;
}

Json itemRef(const std::vector<ItemImage>& items, std::uint32_t index) {
  if (index >= items.size()) return index;
  if (captionNames(items, index, false)) return toUtf8(items[index].caption);
  return index;
}

std::string recordKey(const std::vector<ItemImage>& items, std::uint32_t index) {
  if (captionNames(items, index, true)) return toUtf8(items[index].caption);
  return "#" + std::to_string(index);
}

std::optional<std::uint32_t> ownerOf(const FieldValue& value, const std::vector<ItemImage>& items) {
  for (std::uint32_t i = 0; i < items.size(); ++i)
    if (items[i].fieldId == value.fieldId && items[i].valueType == value.valueType) {
      if (isValueKind(items[i].kind)) return i;
    }
  return std::nullopt;
}

std::optional<std::string> expressionText(const ItemImage& item, const std::vector<ItemImage>& items) {
  OperandName name = [&](std::uint32_t index) -> std::string {
    if (index >= items.size()) return {};
    const std::u16string& caption = items[index].caption;
    if (caption.find(u']') == std::u16string::npos) {
      std::string ignored;
      if (findCaption(items, caption, false, ignored) == index) return "[" + toUtf8(caption) + "]";
    }
    return "#" + std::to_string(index);
  };
  OperandLookup lookup = [&](std::string_view caption, std::string& reason) -> std::optional<std::uint32_t> {
    return resolveItem(items, Json(std::string(caption)), false, reason);
  };
  auto text = printExpression(item.expression, name);
  if (!text) return std::nullopt;
  // Only a text that compiles back to the very same bytes stands for them.
  ExpressionError error;
  auto code = compileExpression(*text, lookup, error);
  if (!code || *code != item.expression) return std::nullopt;
  return text;
}

}  // namespace tsq
