// Names of the stored codes: item kinds, value types and search operators,
// as definitions and dumps write them. The kind and type names come from
// the enums themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/tsq/json.h"

namespace tsq {

struct CodeName {
  std::uint8_t code;
  const char* name;
};
std::span<const CodeName> kindNames();
std::span<const CodeName> valueTypeNames();
std::span<const CodeName> operatorNames();

// The name of a code; the number itself for a code without a name.
std::string nameOf(std::span<const CodeName> names, std::uint8_t code);
std::string kindName(std::uint8_t kind);
std::string valueTypeName(std::uint8_t valueType);
std::string operatorName(std::uint8_t op);

// The name as JSON, or the number for a code without a name.
Json codeJson(std::span<const CodeName> names, std::uint8_t code);

// A name from the table, or a number 0..255 (a stored code without a name).
std::optional<std::uint8_t> codeOf(std::span<const CodeName> names, const Json& json);

}  // namespace tsq
