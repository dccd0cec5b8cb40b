// Reading a definition into an image: the header keys, the items (their
// basics first, so that kind data can refer to any item), the sort item and
// the records, each mistake reported with its place.
#include <set>

#include "platform/text.h"
#include "records/encoding.h"
#include "storage/layout.h"
#include "tools/tsq/codes.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/expression.h"
#include "tools/tsq/record_order.h"
#include "tools/tsq/references.h"
#include "tools/tsq/values.h"

namespace tsq {
namespace {

using platform::fromUtf8;
using platform::toUtf8;

constexpr auto textType = static_cast<std::uint8_t>(ValueType::Text);

// Collects the first error with the place it was found.
struct Reader {
  std::string& error;

  bool fail(const std::string& where, const std::string& what) {
    if (error.empty()) error = where.empty() ? what : where + ": " + what;
    return false;
  }

  bool onlyKeys(const Json& object, std::initializer_list<const char*> keys, const std::string& where) {
    for (const auto& [key, unused] : object.items()) {
      bool known = false;
      for (const char* k : keys) known = known || key == k;
      if (!known) return fail(where, "unknown key \"" + key + "\"");
    }
    return true;
  }

  template <typename T>
  bool integer(const Json& object, const char* key, T& out, const std::string& where) {
    if (!object.contains(key)) return true;
    auto v = integerOf<T>(object[key]);
    if (!v) return fail(where, std::string(key) + ": a whole number in range is expected");
    out = *v;
    return true;
  }

  bool flag(const Json& object, const char* key, std::uint8_t& out, const std::string& where) {
    if (!object.contains(key)) return true;
    auto v = flagOf(object[key]);
    if (!v) return fail(where, std::string(key) + ": true or false is expected");
    out = *v;
    return true;
  }

  bool text(const Json& object, const char* key, std::size_t maxLength, std::u16string& out,
            const std::string& where) {
    if (!object.contains(key)) return true;
    std::string why;
    auto v = textOf(object[key], maxLength, why);
    if (!v) return fail(where, std::string(key) + ": " + why);
    out = *v;
    return true;
  }

  bool colour(const Json& object, const char* key, COLORREF& out, const std::string& where) {
    if (!object.contains(key)) return true;
    auto v = colourOf(object[key]);
    if (!v) return fail(where, std::string(key) + ": \"#RRGGBB\" or null is expected");
    out = *v;
    return true;
  }
};

std::string itemPlace(std::size_t index, const Json& item) {
  std::string place = "item " + std::to_string(index);
  if (item.is_object() && item.contains("caption") && item["caption"].is_string())
    place += " (\"" + item["caption"].get<std::string>() + "\")";
  return place;
}

std::uint8_t defaultValueType(std::uint8_t kind) {
  switch (static_cast<ItemKind>(kind)) {
    case ItemKind::CheckBox: return static_cast<std::uint8_t>(ValueType::YesNo);
    case ItemKind::Calculated: return static_cast<std::uint8_t>(ValueType::Number);
    default: return textType;
  }
}

// Kind, caption, type, identifier and place of every item: what references
// need before the kind data can be read.
bool readItemBasics(Reader& reader, const Json& list, std::vector<ItemImage>& items) {
  if (!list.is_array()) return reader.fail("items", "a list is expected");
  if (list.size() > static_cast<std::size_t>(maxItems)) return reader.fail("items", "more than 100 items");
  std::int32_t previousRow = -1;
  std::set<std::uint16_t> explicitIds;
  std::vector<bool> autoId;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const Json& json = list[i];
    std::string place = itemPlace(i, json);
    if (!json.is_object()) return reader.fail(place, "an object is expected");
    if (!reader.onlyKeys(json, {"kind", "caption", "valueType", "fieldId", "colour", "row", "left", "width",
                                "numericInput", "choices", "expression", "expressionCode", "decimalPlaces", "target",
                                "criteria", "matchAll", "phoneItem", "messageItem"},
                         place))
      return false;
    ItemImage item;
    if (!json.contains("kind")) return reader.fail(place, "kind is missing");
    auto kind = codeOf(kindNames(), json["kind"]);
    if (!kind) return reader.fail(place, "kind: unknown kind " + json["kind"].dump());
    item.kind = *kind;
    if (!reader.text(json, "caption", 254, item.caption, place)) return false;
    item.valueType = defaultValueType(item.kind);
    if (json.contains("valueType")) {
      auto type = codeOf(valueTypeNames(), json["valueType"]);
      if (!type) return reader.fail(place, "valueType: unknown type " + json["valueType"].dump());
      item.valueType = *type;
    }
    item.fieldId = 0xFFFF;
    if (!reader.integer(json, "fieldId", item.fieldId, place)) return false;
    if (json.contains("fieldId")) explicitIds.insert(item.fieldId);
    autoId.push_back(!json.contains("fieldId") && isValueKind(item.kind));
    if (!reader.colour(json, "colour", item.colour, place)) return false;
    item.row = previousRow + 1;
    if (!reader.integer(json, "row", item.row, place) || !reader.integer(json, "left", item.left, place) ||
        !reader.integer(json, "width", item.width, place))
      return false;
    previousRow = item.row;
    items.push_back(std::move(item));
  }
  std::uint16_t next = 1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!autoId[i]) continue;
    while (explicitIds.count(next) != 0) ++next;
    items[i].fieldId = next++;
  }
  return true;
}

bool readCriterion(Reader& reader, const Json& json, const std::vector<ItemImage>& items, SearchCriterion& criterion,
                   const std::string& place) {
  if (!json.is_object()) return reader.fail(place, "an object is expected");
  if (!reader.onlyKeys(json, {"item", "operator", "valueType", "value", "payload"}, place)) return false;
  if (!json.contains("item") || !json.contains("operator")) return reader.fail(place, "item and operator are needed");
  std::uint8_t itemType = textType;
  if (json["item"] == "*") {
    criterion.item = anyTextItem;
  } else {
    std::string why;
    auto index = resolveItem(items, json["item"], false, why);
    if (!index) return reader.fail(place, "item: " + why);
    criterion.item = *index;
    itemType = items[*index].valueType;
  }
  auto operation = codeOf(operatorNames(), json["operator"]);
  // The rules the program's reader holds a stored criterion to.
  switch (operation ? criterionFault(*operation, criterion.item, static_cast<std::uint32_t>(items.size()), itemType)
                    : CriterionFault::Operator) {
    case CriterionFault::None:
      break;
    case CriterionFault::Operator:
      return reader.fail(place, "operator: one of = <> < > <= >= contains (or 10 to 16) is expected");
    case CriterionFault::Item:
      return reader.fail(place, "item: no item has index " + std::to_string(criterion.item));
    case CriterionFault::AnyItemNeedsContains:
      return reader.fail(place, "\"*\" (any Text item) goes only with contains");
    case CriterionFault::ContainsNeedsText:
      return reader.fail(place, "contains needs a Text item");
  }
  criterion.op = *operation;
  criterion.value = FieldValue{};
  criterion.value.valueType = itemType;
  if (json.contains("valueType")) {
    auto type = codeOf(valueTypeNames(), json["valueType"]);
    if (!type) return reader.fail(place, "valueType: unknown type " + json["valueType"].dump());
    criterion.value.valueType = *type;
  }
  if (!isKnownValueType(criterion.value.valueType)) {
    if (json.contains("value") || json.contains("payload"))
      return reader.fail(place, "a constant of this type holds no value");
    return true;
  }
  std::string why;
  if (!valueFromJsonAndExact(json.contains("value") ? json["value"] : Json(nullptr),
                             json.contains("payload") ? &json["payload"] : nullptr, criterion.value, why))
    return reader.fail(place, "value: " + why);
  return true;
}

bool readKindData(Reader& reader, const Json& json, std::vector<ItemImage>& items, std::size_t index) {
  ItemImage& item = items[index];
  std::string place = itemPlace(index, json);
  auto ref = [&](const char* key, std::uint32_t& out, bool required) {
    if (!json.contains(key) || json[key].is_null()) {
      if (required) return reader.fail(place, std::string(key) + " is missing");
      out = noItem;
      return true;
    }
    std::string why;
    auto found = resolveItem(items, json[key], false, why);
    if (!found) return reader.fail(place, std::string(key) + ": " + why);
    out = *found;
    return true;
  };
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      return reader.flag(json, "numericInput", item.numericInput, place);
    case ItemKind::PickList: {
      if (!json.contains("choices")) return true;
      const Json& choices = json["choices"];
      if (!choices.is_array() || choices.size() > static_cast<std::size_t>(maxChoices))
        return reader.fail(place, "choices: a list of at most 255 texts is expected");
      for (const Json& choice : choices) {
        std::string why;
        auto text = textOf(choice, room::choice - 1, why);
        if (!text) return reader.fail(place, "choices: " + why);
        item.choices.push_back(*text);
      }
      return true;
    }
    case ItemKind::Calculated: {
      item.decimalPlaces = 2;
      if (!reader.integer(json, "decimalPlaces", item.decimalPlaces, place)) return false;
      if (json.contains("expressionCode")) {
        auto bytes = json["expressionCode"].is_string() ? bytesOfHex(json["expressionCode"].get<std::string>())
                                                        : std::nullopt;
        if (!bytes || bytes->size() > static_cast<std::size_t>(maxExpressionBytes))
          return reader.fail(place, "expressionCode: at most 256 hex bytes are expected");
        item.expression = *bytes;
        return true;
      }
      if (!json.contains("expression") || !json["expression"].is_string())
        return reader.fail(place, "expression is missing");
      OperandLookup lookup = [&](std::string_view caption, std::string& reason) -> std::optional<std::uint32_t> {
        return resolveItem(items, Json(std::string(caption)), false, reason);
      };
      ExpressionError error;
      auto code = compileExpression(json["expression"].get<std::string>(), lookup, error);
      if (!code)
        return reader.fail(place, "expression: at character " + std::to_string(error.position) + ": " + error.message);
      item.expression = *code;
      return true;
    }
    case ItemKind::GoToButton:
      return ref("target", item.target, true);
    case ItemKind::SearchButton: {
      item.matchAll = 1;
      if (!reader.flag(json, "matchAll", item.matchAll, place)) return false;
      if (!json.contains("criteria")) return true;
      const Json& criteria = json["criteria"];
      if (!criteria.is_array() || criteria.size() > static_cast<std::size_t>(maxCriteria))
        return reader.fail(place, "criteria: a list of at most 3 criteria is expected");
      for (std::size_t c = 0; c < criteria.size(); ++c) {
        SearchCriterion criterion;
        if (!readCriterion(reader, criteria[c], items, criterion, place + ", criterion " + std::to_string(c)))
          return false;
        item.criteria.push_back(criterion);
      }
      return true;
    }
    case ItemKind::SmsButton:
      return ref("phoneItem", item.sms.phoneItem, false) && ref("messageItem", item.sms.messageItem, false);
    default:
      return true;
  }
}

bool readExtra(Reader& reader, const Json& list, RecordImage& record, const std::string& place) {
  if (!list.is_array()) return reader.fail(place, "_extra: a list is expected");
  for (const Json& json : list) {
    if (!json.is_object() || !reader.onlyKeys(json, {"fieldId", "valueType", "value", "payload"}, place + ", _extra"))
      return reader.fail(place, "_extra: objects with fieldId, valueType and value are expected");
    FieldValue value;
    auto type = json.contains("valueType") ? codeOf(valueTypeNames(), json["valueType"]) : std::nullopt;
    if (!type || !isKnownValueType(*type)) return reader.fail(place, "_extra: a known valueType is needed");
    value.valueType = *type;
    if (!reader.integer(json, "fieldId", value.fieldId, place + ", _extra")) return false;
    std::string why;
    if (!valueFromJsonAndExact(json.contains("value") ? json["value"] : Json(nullptr),
                               json.contains("payload") ? &json["payload"] : nullptr, value, why))
      return reader.fail(place, "_extra: " + why);
    record.values.push_back(value);
  }
  return true;
}

bool readRecord(Reader& reader, const Json& json, const std::vector<ItemImage>& items, RecordImage& record,
                const std::string& place) {
  if (!json.is_object()) return reader.fail(place, "an object is expected");
  // "_payloads" keeps, by record key, the exact bytes of values whose plain
  // form would be stored otherwise.
  const Json* payloads = json.contains("_payloads") ? &json["_payloads"] : nullptr;
  if (payloads != nullptr && !payloads->is_object())
    return reader.fail(place, "_payloads: an object of record keys and hex bytes is expected");
  std::set<std::string> payloadsUsed;
  std::set<std::uint32_t> given;
  for (const auto& [key, valueJson] : json.items()) {
    if (key == "_flags") {
      if (!reader.integer(json, "_flags", record.flags, place)) return false;
      continue;
    }
    if (key == "_extra") {
      if (!readExtra(reader, valueJson, record, place)) return false;
      continue;
    }
    if (key == "_payloads") continue;
    std::string why;
    auto index = resolveItem(items, Json(key), true, why);
    if (!index) return reader.fail(place, "\"" + key + "\": " + why);
    if (!given.insert(*index).second) return reader.fail(place, "\"" + key + "\": the item is given twice");
    const ItemImage& item = items[*index];
    FieldValue value;
    value.fieldId = item.fieldId;
    value.valueType = item.valueType;
    const Json* exact = payloads != nullptr && payloads->contains(key) ? &(*payloads)[key] : nullptr;
    if (exact != nullptr) payloadsUsed.insert(key);
    if (!valueFromJsonAndExact(valueJson, exact, value, why)) return reader.fail(place, "\"" + key + "\": " + why);
    // An empty value is the absence of an entry; a payload is stored as given.
    if (!valueJson.is_object() && exact == nullptr && isEmptyValue(value)) continue;
    record.values.push_back(value);
  }
  if (payloads != nullptr) {
    for (const auto& [key, unused] : payloads->items())
      if (payloadsUsed.count(key) == 0)
        return reader.fail(place, "_payloads: \"" + key + "\" names no value of the record");
  }
  return true;
}

bool readReserved(Reader& reader, const Json& json, DatabaseImage& image) {
  if (!json.is_object()) return reader.fail("reserved", "an object is expected");
  HeaderImage& h = image.header;
  return reader.onlyKeys(json, {"header2", "header4", "header8", "header11", "header13", "dataHeader"}, "reserved") &&
         reader.integer(json, "header2", h.reserved2, "reserved") &&
         reader.integer(json, "header4", h.reserved4, "reserved") &&
         reader.integer(json, "header8", h.reserved8, "reserved") &&
         reader.integer(json, "header11", h.reserved11, "reserved") &&
         reader.integer(json, "header13", h.reserved13, "reserved") &&
         reader.integer(json, "dataHeader", image.dataReserved, "reserved");
}

}  // namespace

bool imageFromDefinition(const Json& definition, DatabaseImage& image, std::string& error) {
  error.clear();
  Reader reader{error};
  image = DatabaseImage{};
  if (!definition.is_object()) return reader.fail("", "the definition must be a JSON object");
  if (!reader.onlyKeys(definition, {"headerText", "password", "mailSubject", "mailRecipient", "readOnly",
                                    "backgroundColour", "reserved", "items", "sortItem", "records", "smsNumber",
                                    "smsMessage"},
                       ""))
    return false;
  HeaderImage& header = image.header;
  if (!reader.text(definition, "headerText", 254, header.headerText, "") ||
      !reader.text(definition, "password", room::password - 1, header.password, "") ||
      !reader.text(definition, "mailSubject", room::mailSubject - 1, header.mailSubject, "") ||
      !reader.text(definition, "mailRecipient", room::mailRecipient - 1, header.mailRecipient, "") ||
      !reader.flag(definition, "readOnly", header.readOnly, "") ||
      !reader.colour(definition, "backgroundColour", header.backgroundColour, "") ||
      !reader.text(definition, "smsNumber", maxValueText, image.smsNumber, "") ||
      !reader.text(definition, "smsMessage", maxValueText, image.smsMessage, ""))
    return false;
  if (definition.contains("reserved") && !readReserved(reader, definition["reserved"], image)) return false;

  const Json& items = definition.contains("items") ? definition["items"] : Json::array();
  if (!readItemBasics(reader, items, image.items)) return false;
  for (std::size_t i = 0; i < image.items.size(); ++i)
    if (!readKindData(reader, items[i], image.items, i)) return false;

  if (definition.contains("sortItem") && !definition["sortItem"].is_null()) {
    const Json& sort = definition["sortItem"];
    std::string why;
    // A stored index outside the layout means no order; a number is kept as given.
    auto index = sort.is_number_integer() ? integerOf<std::uint32_t>(sort) : resolveItem(image.items, sort, false, why);
    if (!index) return reader.fail("sortItem", why.empty() ? "an item caption or index is expected" : why);
    image.sortItem = *index;
  }

  if (definition.contains("records")) {
    const Json& records = definition["records"];
    if (!records.is_array()) return reader.fail("records", "a list is expected");
    for (std::size_t r = 0; r < records.size(); ++r) {
      RecordImage record;
      if (!readRecord(reader, records[r], image.items, record, "record " + std::to_string(r))) return false;
      image.records.push_back(std::move(record));
    }
  }
  // The file holds the records as the program keeps them, so that it opens
  // sound whatever order the definition lists them in.
  sortRecords(image);
  return true;
}

}  // namespace tsq
