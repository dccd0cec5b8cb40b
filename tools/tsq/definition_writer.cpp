// Writing the definition of an image: everything explicit, and in extra keys
// what a caption cannot say, so that the definition makes the same file.
#include "platform/text.h"
#include "records/encoding.h"
#include "tools/tsq/codes.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/references.h"
#include "tools/tsq/values.h"

namespace tsq {
namespace {

using platform::toUtf8;

constexpr auto textType = static_cast<std::uint8_t>(ValueType::Text);

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
  if (criterion.value.valueType != itemType) json["valueType"] = codeJson(valueTypeNames(), criterion.value.valueType);
  if (isKnownValueType(criterion.value.valueType)) {
    std::string exact;
    json["value"] = valueToJson(criterion.value, exact);
    if (!exact.empty()) json["payload"] = exact;
  }
  return json;
}

Json itemJson(const ItemImage& item, const std::vector<ItemImage>& items) {
  Json json;
  json["kind"] = codeJson(kindNames(), item.kind);
  json["caption"] = toUtf8(item.caption);
  json["valueType"] = codeJson(valueTypeNames(), item.valueType);
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
      else json["expressionCode"] = hexText(item.expression);
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

Json recordJson(const RecordImage& record, const std::vector<ItemImage>& items) {
  Json json = Json::object();
  if (record.flags != 0) json["_flags"] = record.flags;
  for (const FieldValue& value : record.values) {
    auto owner = ownerOf(value, items);
    std::string key = owner ? recordKey(items, *owner) : std::string();
    std::string exact;
    Json plain = valueToJson(value, exact);
    // A stored empty value would vanish in its plain form: keep its bytes.
    if (exact.empty() && isEmptyValue(value) && !plain.is_object()) exact = hexText(payloadOf(value));
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
