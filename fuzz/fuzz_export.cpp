// Any bytes as a file handed to `tsq export`. Whatever the bytes, export
// writes CSV or refuses; CSV it writes without a warning is read back by
// `tsq import` without a problem, into the same records (their values, in
// any order: import places them by the sort item; dates, times and yeses
// as the program compares them).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "records/encoding.h"
#include "tools/tsq/export.h"
#include "tools/tsq/import.h"
#include "tools/tsq/tsq_file.h"

namespace {

// A record's values as bytes, in a fixed order. A date is its day, a time
// its second and a yes any byte but 0, as the program compares them (the
// rest is no part of the value, and no cell holds it).
std::vector<std::vector<std::uint8_t>> valuesOf(const RecordImage& record) {
  std::vector<std::vector<std::uint8_t>> values;
  for (FieldValue value : record.values) {
    value.next = noPosition;
    SYSTEMTIME& time = value.payload.calendar.time;
    if (static_cast<ValueType>(value.valueType) == ValueType::Date)
      time = SYSTEMTIME{time.wYear, time.wMonth, 0, time.wDay, 0, 0, 0, 0};
    if (static_cast<ValueType>(value.valueType) == ValueType::Time)
      time = SYSTEMTIME{0, 0, 0, 0, time.wHour, time.wMinute, time.wSecond, 0};
    if (static_cast<ValueType>(value.valueType) == ValueType::YesNo) value.payload.yesNo = value.payload.yesNo != 0;
    values.push_back(encodeFieldEntry(value));
  }
  std::sort(values.begin(), values.end());
  return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tsq::setPassword(u"a");
  tsq::TsqFile file;
  if (tsq::openTsqFile(fuzzing::writeScratch(data, size), file) != err::ok) return 0;
  std::string csv;
  std::vector<std::string> warnings;
  if (tsq::csvFromFile(file, csv, warnings) != err::ok || !warnings.empty()) return 0;

  DatabaseImage image;
  if (tsq::imageFromFile(file, image) != err::ok) return 0;
  // Without a value item there is no column, and CSV without columns has
  // no header row for import to read.
  if (std::none_of(image.items.begin(), image.items.end(), [](const ItemImage& item) { return isValueKind(item.kind); }))
    return 0;
  std::vector<std::vector<std::vector<std::uint8_t>>> read;
  const std::vector<std::string> problems =
      tsq::recordsFromCsv(csv, image.items, [&](const RecordImage& record) { read.push_back(valuesOf(record)); });
  if (!problems.empty()) __builtin_trap();
  std::vector<std::vector<std::vector<std::uint8_t>>> stored;
  for (const RecordImage& record : image.records) stored.push_back(valuesOf(record));
  std::sort(read.begin(), read.end());
  std::sort(stored.begin(), stored.end());
  if (read != stored) __builtin_trap();
  return 0;
}
