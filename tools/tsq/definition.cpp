#include "tools/tsq/definition.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "platform/text.h"
#include "records/compare.h"
#include "records/encoding.h"
#include "tools/tsq/expression.h"
#include "tools/tsq/record_order.h"

namespace tsq {
namespace {

using platform::fromUtf8;
using platform::toUtf8;

// ---- Names of stored codes --------------------------------------------------

struct CodeName {
  std::uint8_t code;
  const char* name;
};
constexpr CodeName kindNames[] = {
    {1, "Label"}, {2, "Field"}, {4, "CheckBox"}, {5, "PickList"}, {8, "Calculated"},
    {9, "GoToButton"}, {19, "SearchButton"}, {20, "SmsButton"},
};
constexpr CodeName typeNames[] = {
    {2, "Integer"}, {4, "Number"}, {5, "Currency"}, {8, "Date"}, {16, "Time"}, {32, "Text"}, {64, "YesNo"},
};
constexpr CodeName operatorNames[] = {
    {10, "="}, {11, "<>"}, {12, "<"}, {13, ">"}, {14, "<="}, {15, ">="}, {16, "contains"},
};

std::string nameOf(std::span<const CodeName> names, std::uint8_t code) {
  for (const CodeName& entry : names)
    if (entry.code == code) return entry.name;
  return std::to_string(code);
}

// The name as JSON, or the number for a code without a name.
Json codeJson(std::span<const CodeName> names, std::uint8_t code) {
  for (const CodeName& entry : names)
    if (entry.code == code) return entry.name;
  return code;
}

// A name from the table, or a number 0..255 (a stored code without a name).
std::optional<std::uint8_t> codeOf(std::span<const CodeName> names, const Json& json) {
  if (json.is_string()) {
    for (const CodeName& entry : names)
      if (json.get_ref<const std::string&>() == entry.name) return entry.code;
    return std::nullopt;
  }
  if (json.is_number_unsigned() && json.get<std::uint64_t>() <= 255) return static_cast<std::uint8_t>(json.get<std::uint64_t>());
  return std::nullopt;
}

constexpr auto textType = static_cast<std::uint8_t>(ValueType::Text);


// ---- Small conversions -------------------------------------------------------

std::string hexOf(std::span<const std::uint8_t> bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> bytesOfHex(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c == ' ' && high < 0) continue;
    else return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) return std::nullopt;
  return bytes;
}

std::string numberText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

template <typename T>
std::optional<T> integerOf(const Json& json) {
  if (json.is_number_unsigned()) {
    auto v = json.get<std::uint64_t>();
    if (v <= static_cast<std::uint64_t>(std::numeric_limits<T>::max())) return static_cast<T>(v);
  } else if (json.is_number_integer()) {
    auto v = json.get<std::int64_t>();
    if (v >= static_cast<std::int64_t>(std::numeric_limits<T>::min()) &&
        v <= static_cast<std::int64_t>(std::numeric_limits<T>::max()))
      return static_cast<T>(v);
  }
  return std::nullopt;
}

// true/false, or a stored byte 0..255.
std::optional<std::uint8_t> flagOf(const Json& json) {
  if (json.is_boolean()) return static_cast<std::uint8_t>(json.get<bool>() ? 1 : 0);
  return integerOf<std::uint8_t>(json);
}
Json flagJson(std::uint8_t flag) {
  if (flag <= 1) return flag == 1;
  return flag;
}

std::optional<COLORREF> colourOf(const Json& json) {
  if (json.is_null()) return 0xFFFFFFFF;
  if (json.is_string()) {
    const std::string& text = json.get_ref<const std::string&>();
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    auto bytes = bytesOfHex(text.substr(1));
    if (!bytes || bytes->size() != 3) return std::nullopt;
    return RGB((*bytes)[0], (*bytes)[1], (*bytes)[2]);
  }
  return integerOf<std::uint32_t>(json);
}
Json colourJson(COLORREF colour) {
  if (colour == 0xFFFFFFFF) return nullptr;
  if (colour > 0xFFFFFF) return colour;
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  return text;
}

// A JSON string as UTF-16 of at most maxLength characters, without zeros.
std::optional<std::u16string> textOf(const Json& json, std::size_t maxLength, std::string& error) {
  if (!json.is_string()) {
    error = "a text is expected";
    return std::nullopt;
  }
  std::u16string text = fromUtf8(json.get_ref<const std::string&>());
  if (text.size() > maxLength) {
    error = "longer than " + std::to_string(maxLength) + " characters";
    return std::nullopt;
  }
  if (text.find(u'\0') != std::u16string::npos) {
    error = "contains a zero character";
    return std::nullopt;
  }
  return text;
}

// ---- Values -------------------------------------------------------------------

constexpr std::size_t maxValueText = room::valueText - 1;

// 1899-12-30, the date every Time value carries, was a Saturday.
constexpr WORD timeOnlyDayOfWeek = 6;

bool parseDate(const std::string& text, SYSTEMTIME& time) {
  unsigned y = 0, m = 0, d = 0;
  char tail = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4u-%2u-%2u%c", &y, &m, &d, &tail) != 3) return false;
  std::chrono::year_month_day date{std::chrono::year(static_cast<int>(y)), std::chrono::month(m), std::chrono::day(d)};
  if (y < 1 || !date.ok()) return false;
  time = SYSTEMTIME{};
  time.wYear = static_cast<WORD>(y);
  time.wMonth = static_cast<WORD>(m);
  time.wDay = static_cast<WORD>(d);
  time.wDayOfWeek = static_cast<WORD>(std::chrono::weekday(std::chrono::sys_days(date)).c_encoding());
  return true;
}

bool parseTime(const std::string& text, SYSTEMTIME& time) {
  unsigned h = 0, m = 0, s = 0;
  char tail = 0;
  int fields = 0;
  if (text.size() == 8) fields = std::sscanf(text.c_str(), "%2u:%2u:%2u%c", &h, &m, &s, &tail);
  else if (text.size() == 5) fields = std::sscanf(text.c_str(), "%2u:%2u%c", &h, &m, &tail) + 1;
  if (fields != 3 || h > 23 || m > 59 || s > 59) return false;
  time = SYSTEMTIME{};
  time.wYear = 1899;
  time.wMonth = 12;
  time.wDay = 30;
  time.wDayOfWeek = timeOnlyDayOfWeek;
  time.wHour = static_cast<WORD>(h);
  time.wMinute = static_cast<WORD>(m);
  time.wSecond = static_cast<WORD>(s);
  return true;
}

// The payload bytes a value is stored with.
std::vector<std::uint8_t> payloadOf(const FieldValue& value) {
  std::vector<std::uint8_t> entry = encodeFieldEntry(value);
  entry.erase(entry.begin(), entry.begin() + fieldHeaderSize);
  return entry;
}

// Fills value from stored payload bytes; false when they do not fit the type.
bool valueFromPayload(const std::vector<std::uint8_t>& bytes, FieldValue& value) {
  std::size_t expected = 0;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: expected = 4; break;
    case ValueType::Number:
    case ValueType::Currency: expected = 8; break;
    case ValueType::Date:
    case ValueType::Time: expected = 20; break;
    case ValueType::YesNo: expected = 1; break;
    case ValueType::Text: {
      if (bytes.size() < 4) return false;
      std::size_t count = bytes[0] | (bytes[1] << 8);
      if (count == 0 || count > room::valueText || bytes[bytes.size() - 1] != 0 || bytes[bytes.size() - 2] != 0)
        return false;
      expected = 2 + 2 * count;
      break;
    }
    default:
      return false;
  }
  if (bytes.size() != expected) return false;
  std::memcpy(value.payload.bytes, bytes.data(), bytes.size());
  return true;
}

// Fills value (whose valueType is set) from its definition form. Null is the
// type's empty value; {"payload": hex} the stored bytes themselves.
bool valueFromJson(const Json& json, FieldValue& value, std::string& error) {
  auto& payload = value.payload;
  std::memset(payload.bytes, 0, sizeof payload.bytes);
  if (json.is_object()) {
    if (json.size() != 1 || !json.contains("payload") || !json["payload"].is_string()) {
      error = "a value object holds only \"payload\"";
      return false;
    }
    auto bytes = bytesOfHex(json["payload"].get<std::string>());
    if (!bytes || !valueFromPayload(*bytes, value)) {
      error = "the payload does not fit a " + valueTypeName(value.valueType);
      return false;
    }
    return true;
  }
  auto type = static_cast<ValueType>(value.valueType);
  if (json.is_null()) {
    if (type == ValueType::Date || type == ValueType::Time) payload.calendar.noValue = 1;
    if (type == ValueType::Text) payload.text.count = 1;
    return isKnownType(value.valueType) || (error = "no value of this type can be given", false);
  }
  switch (type) {
    case ValueType::Integer:
      if (auto v = integerOf<std::int32_t>(json)) {
        payload.integer = *v;
        return true;
      }
      error = "a whole number within 32 bits is expected";
      return false;
    case ValueType::Number:
    case ValueType::Currency:
      if (json.is_number()) {
        payload.number = json.get<double>();
        return true;
      }
      error = "a number is expected";
      return false;
    case ValueType::Date:
      if (json.is_string() && parseDate(json.get<std::string>(), payload.calendar.time)) return true;
      error = "a date \"YYYY-MM-DD\" is expected";
      return false;
    case ValueType::Time:
      if (json.is_string() && parseTime(json.get<std::string>(), payload.calendar.time)) return true;
      error = "a time \"HH:MM:SS\" is expected";
      return false;
    case ValueType::Text: {
      auto text = textOf(json, maxValueText, error);
      if (!text) return false;
      setText(value, text->c_str());
      return true;
    }
    case ValueType::YesNo:
      if (json.is_boolean()) {
        payload.yesNo = json.get<bool>() ? 1 : 0;
        return true;
      }
      error = "true or false is expected";
      return false;
  }
  error = "no value of this type can be given";
  return false;
}

// Fills value from its definition form and, when exact is given, from those
// stored bytes: they must hold the same value (the store's comparison), so
// that an edit of the plain form is never silently overridden.
bool valueFromJsonAndExact(const Json& json, const Json* exact, FieldValue& value, std::string& error) {
  if (!valueFromJson(json, value, error)) return false;
  if (exact == nullptr) return true;
  FieldValue stored = value;
  auto bytes = exact->is_string() ? bytesOfHex(exact->get<std::string>()) : std::nullopt;
  if (!bytes || !valueFromPayload(*bytes, stored)) {
    error = "the payload does not fit a " + valueTypeName(value.valueType);
    return false;
  }
  int order = 0;
  if (compareValues(stored, value, order) != err::ok || order != 0 ||
      isEmptyValue(stored) != isEmptyValue(value)) {
    error = "the payload holds another value than " + json.dump();
    return false;
  }
  value = stored;
  return true;
}

Json plainJson(const FieldValue& value) {
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Integer: return payload.integer;
    case ValueType::Number:
    case ValueType::Currency:
      if (!std::isfinite(payload.number)) return nullptr;
      return payload.number;
    case ValueType::Date:
    case ValueType::Time: {
      if (payload.calendar.noValue != 0) return nullptr;
      const SYSTEMTIME& t = payload.calendar.time;
      char text[32];
      if (value.valueType == static_cast<std::uint8_t>(ValueType::Date))
        std::snprintf(text, sizeof text, "%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
      else
        std::snprintf(text, sizeof text, "%02u:%02u:%02u", t.wHour, t.wMinute, t.wSecond);
      return text;
    }
    case ValueType::Text: return toUtf8(payload.text.chars);
    case ValueType::YesNo: return payload.yesNo != 0;
  }
  return nullptr;
}

// ---- Item references ------------------------------------------------------------

// The item a caption names: the only one with it, or among several the only
// one that is not a Label (a label and its field may share a caption).
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

// "#n" names item n.
std::optional<std::uint32_t> hashIndex(const std::string& text) {
  if (text.size() < 2 || text[0] != '#') return std::nullopt;
  std::uint32_t index = 0;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), index);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return index;
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

bool captionNames(const std::vector<ItemImage>& items, std::uint32_t index, bool valueItemsOnly) {
  const std::u16string& caption = items[index].caption;
  if (caption.empty() || caption[0] == u'#' || caption[0] == u'_') return false;
  std::string ignored;
  return findCaption(items, caption, valueItemsOnly, ignored) == index;
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

// ---- Reading a definition -------------------------------------------------------

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
    auto kind = codeOf(kindNames, json["kind"]);
    if (!kind) return reader.fail(place, "kind: unknown kind " + json["kind"].dump());
    item.kind = *kind;
    if (!reader.text(json, "caption", 254, item.caption, place)) return false;
    item.valueType = defaultValueType(item.kind);
    if (json.contains("valueType")) {
      auto type = codeOf(typeNames, json["valueType"]);
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
  auto op = codeOf(operatorNames, json["operator"]);
  if (!op || *op < op::equal || *op > op::contains)
    return reader.fail(place, "operator: one of = <> < > <= >= contains (or 10 to 16) is expected");
  criterion.op = *op;
  if (criterion.item == anyTextItem && criterion.op != op::contains)
    return reader.fail(place, "\"*\" (any Text item) goes only with contains");
  if (criterion.op == op::contains && itemType != textType)
    return reader.fail(place, "contains needs a Text item");
  criterion.value = FieldValue{};
  criterion.value.valueType = itemType;
  if (json.contains("valueType")) {
    auto type = codeOf(typeNames, json["valueType"]);
    if (!type) return reader.fail(place, "valueType: unknown type " + json["valueType"].dump());
    criterion.value.valueType = *type;
  }
  if (!isKnownType(criterion.value.valueType)) {
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
    auto type = json.contains("valueType") ? codeOf(typeNames, json["valueType"]) : std::nullopt;
    if (!type || !isKnownType(*type)) return reader.fail(place, "_extra: a known valueType is needed");
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

// ---- Writing a definition -----------------------------------------------------

Json criterionJson(const SearchCriterion& criterion, const std::vector<ItemImage>& items) {
  Json json;
  std::uint8_t itemType = textType;
  if (criterion.item == anyTextItem) {
    json["item"] = "*";
  } else {
    json["item"] = itemRef(items, criterion.item);
    if (criterion.item < items.size()) itemType = items[criterion.item].valueType;
  }
  if (criterion.op >= op::equal && criterion.op <= op::contains) json["operator"] = operatorName(criterion.op);
  else json["operator"] = criterion.op;
  if (criterion.value.valueType != itemType) json["valueType"] = codeJson(typeNames, criterion.value.valueType);
  if (isKnownType(criterion.value.valueType)) {
    std::string exact;
    json["value"] = valueToJson(criterion.value, exact);
    if (!exact.empty()) json["payload"] = exact;
  }
  return json;
}

Json itemJson(const ItemImage& item, const std::vector<ItemImage>& items) {
  Json json;
  json["kind"] = codeJson(kindNames, item.kind);
  json["caption"] = toUtf8(item.caption);
  json["valueType"] = codeJson(typeNames, item.valueType);
  json["fieldId"] = item.fieldId;
  json["colour"] = colourJson(item.colour);
  json["row"] = item.row;
  json["left"] = item.left;
  json["width"] = item.width;
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      json["numericInput"] = flagJson(item.numericInput);
      break;
    case ItemKind::PickList:
      json["choices"] = Json::array();
      for (const auto& choice : item.choices) json["choices"].push_back(toUtf8(choice));
      break;
    case ItemKind::Calculated:
      if (auto text = expressionText(item, items)) json["expression"] = *text;
      else json["expressionCode"] = hexOf(item.expression);
      json["decimalPlaces"] = item.decimalPlaces;
      break;
    case ItemKind::GoToButton:
      json["target"] = itemRef(items, item.target);
      break;
    case ItemKind::SearchButton:
      json["criteria"] = Json::array();
      for (const auto& criterion : item.criteria) json["criteria"].push_back(criterionJson(criterion, items));
      json["matchAll"] = flagJson(item.matchAll);
      break;
    case ItemKind::SmsButton:
      json["phoneItem"] = item.sms.phoneItem == noItem ? Json(nullptr) : itemRef(items, item.sms.phoneItem);
      json["messageItem"] = item.sms.messageItem == noItem ? Json(nullptr) : itemRef(items, item.sms.messageItem);
      break;
    default:
      break;
  }
  return json;
}

// The value item an entry is loaded into: the first Field, CheckBox or
// PickList with its fieldId and valueType.
std::optional<std::uint32_t> ownerOf(const FieldValue& value, const std::vector<ItemImage>& items) {
  for (std::uint32_t i = 0; i < items.size(); ++i)
    if (items[i].fieldId == value.fieldId && items[i].valueType == value.valueType) {
      if (isValueKind(items[i].kind)) return i;
    }
  return std::nullopt;
}

Json recordJson(const RecordImage& record, const std::vector<ItemImage>& items) {
  Json json = Json::object();
  if (record.flags != 0) json["_flags"] = record.flags;
  for (const FieldValue& value : record.values) {
    auto owner = ownerOf(value, items);
    std::string key = owner ? recordKey(items, *owner) : std::string();
    std::string exact;
    Json plain = valueToJson(value, exact);
    // A stored empty value would vanish in its plain form: keep its bytes.
    if (exact.empty() && isEmptyValue(value) && !plain.is_object()) exact = hexOf(payloadOf(value));
    if (owner && !json.contains(key)) {
      json[key] = plain;
      if (!exact.empty()) json["_payloads"][key] = exact;
      continue;
    }
    Json extra;
    extra["fieldId"] = value.fieldId;
    extra["valueType"] = valueTypeName(value.valueType);
    extra["value"] = plain;
    if (!exact.empty()) extra["payload"] = exact;
    json["_extra"].push_back(extra);
  }
  return json;
}

}  // namespace

bool isValueKind(std::uint8_t kind) {
  auto k = static_cast<ItemKind>(kind);
  return k == ItemKind::Field || k == ItemKind::CheckBox || k == ItemKind::PickList;
}

bool isKnownType(std::uint8_t type) {
  for (const CodeName& entry : typeNames)
    if (entry.code == type) return true;
  return false;
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

std::string hexText(std::span<const std::uint8_t> bytes) { return hexOf(bytes); }

std::string kindName(std::uint8_t kind) { return nameOf(kindNames, kind); }
std::string valueTypeName(std::uint8_t valueType) { return nameOf(typeNames, valueType); }
std::string operatorName(std::uint8_t op) { return nameOf(operatorNames, op); }
std::string colourText(COLORREF colour) {
  Json json = colourJson(colour);
  return json.is_null() ? "none" : json.is_string() ? json.get<std::string>() : json.dump();
}

Json valueToJson(const FieldValue& value, std::string& exact) {
  exact.clear();
  Json plain = plainJson(value);
  FieldValue again;
  again.valueType = value.valueType;
  std::string ignored;
  if (!valueFromJson(plain, again, ignored)) return Json{{"payload", hexOf(payloadOf(value))}};
  if (payloadOf(again) == payloadOf(value)) return plain;
  int order = 0;
  if (!plain.is_null() && compareValues(again, value, order) == err::ok && order == 0) {
    exact = hexOf(payloadOf(value));
    return plain;
  }
  return Json{{"payload", hexOf(payloadOf(value))}};
}

std::string valueText(const FieldValue& value) {
  const auto& payload = value.payload;
  switch (static_cast<ValueType>(value.valueType)) {
    case ValueType::Number: return numberText(payload.number);
    case ValueType::Currency: {
      char text[64];
      std::snprintf(text, sizeof text, "%.2f", payload.number);
      return text;
    }
    case ValueType::Date:
    case ValueType::Time:
      return payload.calendar.noValue != 0 ? "(none)" : plainJson(value).get<std::string>();
    case ValueType::YesNo: return payload.yesNo != 0 ? "yes" : "no";
    case ValueType::Integer:
    case ValueType::Text: return plainJson(value).dump();
  }
  return "?";
}

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

Json definitionFromImage(const DatabaseImage& image) {
  const HeaderImage& header = image.header;
  Json json;
  json["headerText"] = toUtf8(header.headerText);
  json["password"] = toUtf8(header.password);
  json["mailSubject"] = toUtf8(header.mailSubject);
  json["mailRecipient"] = toUtf8(header.mailRecipient);
  json["readOnly"] = flagJson(header.readOnly);
  json["backgroundColour"] = colourJson(header.backgroundColour);
  Json reserved = Json::object();
  auto keep = [&](const char* key, std::uint32_t value) {
    if (value != 0) reserved[key] = value;
  };
  keep("header2", header.reserved2);
  keep("header4", header.reserved4);
  keep("header8", header.reserved8);
  keep("header11", header.reserved11);
  keep("header13", header.reserved13);
  keep("dataHeader", image.dataReserved);
  if (!reserved.empty()) json["reserved"] = reserved;
  if (image.sortItem == noItem) json["sortItem"] = nullptr;
  else if (image.sortItem < image.items.size()) json["sortItem"] = itemRef(image.items, image.sortItem);
  else json["sortItem"] = image.sortItem;
  if (!image.smsNumber.empty()) json["smsNumber"] = toUtf8(image.smsNumber);
  if (!image.smsMessage.empty()) json["smsMessage"] = toUtf8(image.smsMessage);
  json["items"] = Json::array();
  for (const ItemImage& item : image.items) json["items"].push_back(itemJson(item, image.items));
  json["records"] = Json::array();
  for (const RecordImage& record : image.records) json["records"].push_back(recordJson(record, image.items));
  return json;
}

}  // namespace tsq
