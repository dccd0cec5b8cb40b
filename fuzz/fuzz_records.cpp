// A sound layout with an item of every value kind, followed by any bytes as
// the data area: the fuzzer spends its effort on records, not the header.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "storage/layout.h"
#include "storage/writer.h"

namespace {

std::vector<std::uint8_t> layoutPrefix() {
  DatabaseImage image;
  auto item = [&](ItemKind kind, ValueType type, std::uint16_t fieldId) {
    ItemImage i;
    i.kind = static_cast<std::uint8_t>(kind);
    i.valueType = static_cast<std::uint8_t>(type);
    i.fieldId = fieldId;
    i.caption = u"item";
    image.items.push_back(i);
  };
  item(ItemKind::Label, ValueType::Text, 1);
  item(ItemKind::Field, ValueType::Text, 1);
  item(ItemKind::Field, ValueType::Integer, 2);
  item(ItemKind::Field, ValueType::Number, 3);
  item(ItemKind::Field, ValueType::Currency, 4);
  item(ItemKind::Field, ValueType::Date, 5);
  item(ItemKind::Field, ValueType::Time, 6);
  item(ItemKind::CheckBox, ValueType::YesNo, 7);
  item(ItemKind::PickList, ValueType::Text, 8);
  std::vector<std::uint8_t> bytes = encodeDatabase(image);
  bytes.resize(bytes.size() - dataHeaderSize);  // the data area is the input
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::uint8_t> prefix = layoutPrefix();
  std::vector<std::uint8_t> file(prefix);
  file.insert(file.end(), data, data + size);

  Database& db = fuzzing::freshDatabase();
  fuzzing::ScratchFile scratch(file.data(), file.size());
  if (scratch.handle() == INVALID_HANDLE_VALUE) return 0;
  if (readLayout(scratch.handle(), db.store.layout, fuzzing::acceptPassword, nullptr) != err::ok) __builtin_trap();
  db.store.file.handle = scratch.handle();
  db.store.file.dataBase = static_cast<std::uint32_t>(prefix.size());
  fuzzing::walkDataArea(db);
  return 0;
}
