// Any bytes as the CSV that `tsq import` reads into a database with a
// column of every type, sorted by its text column. CSV the importer takes
// without a problem must make a sound database with every row as a
// record; anything else is refused with its problems.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "tools/tsq/check.h"
#include "tools/tsq/import.h"
#include "records/encoding.h"
#include "tools/tsq/record_order.h"
#include "tools/tsq/tsq_file.h"

namespace {

DatabaseImage valueColumns() {
  DatabaseImage image;
  auto item = [&](ItemKind kind, ValueType type, std::uint16_t fieldId, const char16_t* caption) {
    ItemImage i;
    i.kind = static_cast<std::uint8_t>(kind);
    i.valueType = static_cast<std::uint8_t>(type);
    i.fieldId = fieldId;
    i.caption = caption;
    if (kind == ItemKind::PickList) i.choices = {u"Home", u"Work"};
    image.items.push_back(i);
  };
  item(ItemKind::Label, ValueType::Text, 0xFFFF, u"Label");
  item(ItemKind::Field, ValueType::Text, 1, u"Name");
  item(ItemKind::Field, ValueType::Integer, 2, u"Count");
  item(ItemKind::Field, ValueType::Number, 3, u"Amount");
  item(ItemKind::Field, ValueType::Currency, 4, u"Price");
  item(ItemKind::Field, ValueType::Date, 5, u"Day");
  item(ItemKind::Field, ValueType::Time, 6, u"At");
  item(ItemKind::CheckBox, ValueType::YesNo, 7, u"Done");
  item(ItemKind::PickList, ValueType::Text, 8, u"Group");
  image.sortItem = 1;
  for (const char16_t* name : {u"b", u"m", u"x"}) {
    RecordImage record;
    FieldValue value;
    value.fieldId = 1;
    value.valueType = static_cast<std::uint8_t>(ValueType::Text);
    setText(value, name);
    record.values.push_back(value);
    image.records.push_back(record);
  }
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const DatabaseImage image = valueColumns();
  static const std::vector<std::uint8_t> database = encodeDatabase(image);
  static tsq::TsqFile file = [] {
    tsq::TsqFile opened;
    if (tsq::openTsqFile(fuzzing::writeScratch(database.data(), database.size()), opened) != err::ok)
      __builtin_trap();
    return opened;
  }();

  const ItemImage* sortItem = tsq::sortItemOf(image);
  tsq::AddedRecords added;
  added.base = file.dataSize();
  bool fits = true;
  const std::vector<std::string> problems = tsq::recordsFromCsv(
      std::string_view(reinterpret_cast<const char*>(data), size), image.items,
      [&](const RecordImage& record) { fits = fits && tsq::addRecord(added, record, sortItem, file.dataBase); });
  if (!problems.empty() || !fits || added.records.empty()) return 0;

  std::vector<std::uint8_t> bytes;
  if (tsq::linkRecords(file, sortItem, added, bytes) != err::ok) __builtin_trap();
  tsq::TsqFile imported;
  if (tsq::openTsqFile(fuzzing::writeScratch(bytes.data(), bytes.size()), imported) != err::ok) __builtin_trap();
  if (!tsq::checkFile(imported).empty()) __builtin_trap();
  DatabaseImage back;
  if (tsq::imageFromFile(imported, back) != err::ok) __builtin_trap();
  if (back.records.size() != image.records.size() + added.records.size()) __builtin_trap();
  return 0;
}
