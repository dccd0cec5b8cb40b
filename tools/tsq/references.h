// Items referred to in a definition: by caption, or by index ("#3", or a
// number where a caption is not required), and the references a dump writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/writer.h"
#include "tools/tsq/json.h"

namespace tsq {

// The item a caption names: the only one with it, or among several the only
// one that is not a Label (a label and its field may share a caption).
// valueItemsOnly looks at Field, CheckBox and PickList items alone.
std::optional<std::uint32_t> findCaption(const std::vector<ItemImage>& items, const std::u16string& caption,
                                         bool valueItemsOnly, std::string& reason);

// A caption, "#n" or a number; nullopt with the reason when it names no item.
std::optional<std::uint32_t> resolveItem(const std::vector<ItemImage>& items, const Json& ref, bool valueItemsOnly,
                                         std::string& reason);

// How a dump refers to item index: its caption when that names it alone,
// otherwise its index (as a number, or "#n" as a record's key).
Json itemRef(const std::vector<ItemImage>& items, std::uint32_t index);
std::string recordKey(const std::vector<ItemImage>& items, std::uint32_t index);

// The value item an entry is loaded into: the first Field, CheckBox or
// PickList with its fieldId and valueType.
std::optional<std::uint32_t> ownerOf(const FieldValue& value, const std::vector<ItemImage>& items);

// A Calculated item's stored code as infix text over the items' captions;
// nullopt when no text compiles back to the same bytes.
std::optional<std::string> expressionText(const ItemImage& item, const std::vector<ItemImage>& items);

}  // namespace tsq
