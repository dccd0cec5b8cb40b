#include "tools/tsq/dump.h"

#include <cstdio>
#include <string>

#include "platform/text.h"
#include "records/encoding.h"
#include "tools/tsq/codes.h"
#include "tools/tsq/definition.h"
#include "tools/tsq/references.h"
#include "tools/tsq/values.h"

namespace tsq {
namespace {

using platform::toUtf8;

std::string quoted(const std::u16string& text) { return Json(toUtf8(text)).dump(); }

std::string itemName(const DatabaseImage& image, std::uint32_t index) {
  if (index == noItem) return "none";
  if (index == anyTextItem) return "any Text item";
  if (index >= image.items.size()) return "#" + std::to_string(index) + " (outside the layout)";
  return "#" + std::to_string(index) + " " + quoted(image.items[index].caption);
}

// What an item carries beyond the common fields.
std::string kindData(const DatabaseImage& image, const ItemImage& item) {
  switch (static_cast<ItemKind>(item.kind)) {
    case ItemKind::Field:
      return item.numericInput != 0 ? "numeric input" : "";
    case ItemKind::PickList: {
      std::string text = "choices:";
      for (const auto& choice : item.choices) text += " " + quoted(choice);
      return text;
    }
    case ItemKind::Calculated: {
      auto text = expressionText(item, image.items);
      return (text ? *text : "code " + hexText(item.expression)) + ", " + std::to_string(item.decimalPlaces) +
             " decimals";
    }
    case ItemKind::GoToButton:
      return "goes to " + itemName(image, item.target);
    case ItemKind::SearchButton: {
      std::string text = item.criteria.empty() ? "shows all records" : (item.matchAll ? "all of:" : "any of:");
      for (const auto& criterion : item.criteria) {
        text += " [" + itemName(image, criterion.item) + " " + operatorName(criterion.op);
        if (isKnownValueType(criterion.value.valueType)) text += " " + valueText(criterion.value);
        text += "]";
      }
      return text;
    }
    case ItemKind::SmsButton:
      return "phone " + itemName(image, item.sms.phoneItem) + ", message " + itemName(image, item.sms.messageItem);
    default:
      return "";
  }
}

}  // namespace

void printDatabase(const DatabaseImage& image, std::ostream& out) {
  const HeaderImage& header = image.header;
  out << "Header text:     " << quoted(header.headerText) << "\n"
      << "Password:        " << (header.password.empty() ? "none" : "set") << "\n"
      << "Mail subject:    " << quoted(header.mailSubject) << "\n"
      << "Mail recipient:  " << quoted(header.mailRecipient) << "\n"
      << "Read-only:       " << (header.readOnly ? "yes" : "no") << "\n"
      << "Background:      " << colourText(header.backgroundColour) << "\n"
      << "Sort item:       " << itemName(image, image.sortItem) << "\n";
  if (!image.smsNumber.empty()) out << "Last SMS number: " << quoted(image.smsNumber) << "\n";
  if (!image.smsMessage.empty()) out << "Last SMS text:   " << quoted(image.smsMessage) << "\n";

  out << "\nLayout: " << image.items.size() << " items\n";
  char line[160];
  std::snprintf(line, sizeof line, "  %3s %-12s %-8s %5s %4s %4s %5s %-7s  %s\n", "#", "kind", "type", "id", "row", "left",
                "width", "colour", "caption");
  out << line;
  for (std::size_t i = 0; i < image.items.size(); ++i) {
    const ItemImage& item = image.items[i];
    std::snprintf(line, sizeof line, "  %3zu %-12s %-8s %5u %4d %4d %5d %-7s  ", i, kindName(item.kind).c_str(),
                  valueTypeName(item.valueType).c_str(), item.fieldId, item.row, item.left, item.width,
                  colourText(item.colour).c_str());
    out << line << quoted(item.caption);
    std::string data = kindData(image, item);
    if (!data.empty()) out << "  " << data;
    out << "\n";
  }

  out << "\nRecords: " << image.records.size() << "\n";
  for (std::size_t r = 0; r < image.records.size(); ++r) {
    const RecordImage& record = image.records[r];
    out << "  " << r + 1 << ":";
    if (record.flags != 0) out << " [flags " << record.flags << "]";
    for (const FieldValue& value : record.values) {
      std::string name;
      for (const ItemImage& item : image.items)
        if (item.fieldId == value.fieldId && item.valueType == value.valueType &&
            isValueKind(item.kind)) {
          name = toUtf8(item.caption);
          break;
        }
      if (name.empty()) name = "column " + std::to_string(value.fieldId);
      out << " " << name << "=" << valueText(value);
    }
    out << "\n";
  }
}

void printDefinition(const DatabaseImage& image, std::ostream& out) {
  out << definitionFromImage(image).dump(2) << "\n";
}

}  // namespace tsq
