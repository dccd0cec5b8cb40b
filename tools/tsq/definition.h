// The JSON definition of a database and its conversion to and from the
// image the writer turns into a file.
//
// A definition names things as the program does: header keys (headerText,
// password, mailSubject, mailRecipient, readOnly, backgroundColour), items
// with their kind, caption, valueType, fieldId, colour, row, left, width and
// kind data, a sortItem, and records keyed by the captions of value items.
// Items are referred to by caption or by index; the keys "_flags" and
// "_extra" of a record, and "#n" for item n, keep what a caption cannot say,
// so that a dumped file makes the same file again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "storage/writer.h"

namespace tsq {

using Json = nlohmann::ordered_json;

// Builds image from a definition. False with a message naming the item,
// record or key at fault.
bool imageFromDefinition(const Json& definition, DatabaseImage& image, std::string& error);

// The definition that gives image back, everything explicit.
Json definitionFromImage(const DatabaseImage& image);

// Field, CheckBox and PickList items hold record values.
bool isValueKind(std::uint8_t kind);
bool isKnownType(std::uint8_t valueType);

// A Calculated item's stored code as infix text over the items' captions;
// nullopt when no text compiles back to the same bytes.
std::optional<std::string> expressionText(const ItemImage& item, const std::vector<ItemImage>& items);

// Bytes as "0a ff 12".
std::string hexText(std::span<const std::uint8_t> bytes);

// Names of the stored codes; the number itself for codes without a name.
std::string kindName(std::uint8_t kind);
std::string valueTypeName(std::uint8_t valueType);
std::string operatorName(std::uint8_t op);
std::string colourText(COLORREF colour);  // "#RRGGBB", "none", or the number

// A value's definition form: the JSON of its type (null for no date or
// time). When that form holds the same value but would be stored with other
// bytes (a date made elsewhere with another day of week), exact gets the
// stored payload as hex, to be kept beside it; when no plain form holds the
// value, the form is {"payload": hex}.
Json valueToJson(const FieldValue& value, std::string& exact);

// The text a person reads for a value, e.g. 2024-05-01 or "Anna".
std::string valueText(const FieldValue& value);

}  // namespace tsq
