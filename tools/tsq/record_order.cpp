#include "tools/tsq/record_order.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "records/compare.h"
#include "records/encoding.h"

namespace tsq {

const ItemImage* sortItemOf(const DatabaseImage& image) {
  if (image.sortItem == noItem || image.sortItem >= image.items.size()) return nullptr;
  return &image.items[image.sortItem];
}

FieldValue sortKey(const RecordImage& record, const ItemImage& item) {
  for (const FieldValue& value : record.values)
    if (value.fieldId == item.fieldId && value.valueType == item.valueType) return value;
  FieldValue empty;
  empty.fieldId = item.fieldId;
  empty.valueType = item.valueType;
  resetValue(empty);
  return empty;
}

int orderKeys(const FieldValue& a, const FieldValue& b) {
  if (isNumericType(a.valueType) && a.valueType != static_cast<std::uint8_t>(ValueType::Integer)) {
    const bool aNan = std::isnan(a.payload.number);
    const bool bNan = std::isnan(b.payload.number);
    if (aNan || bNan) return static_cast<int>(aNan) - static_cast<int>(bNan);
  }
  int result = 0;
  // A type the store cannot compare orders nothing: every key is equal.
  if (compareValues(a, b, result) != err::ok) return 0;
  return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

void sortRecords(DatabaseImage& image) {
  const ItemImage* item = sortItemOf(image);
  if (item == nullptr) return;
  std::vector<FieldValue> keys;
  keys.reserve(image.records.size());
  for (const RecordImage& record : image.records) keys.push_back(sortKey(record, *item));
  std::vector<std::size_t> order =
      mergedOrder(0, keys.size(), [&](std::size_t a, std::size_t b) { return orderKeys(keys[a], keys[b]); });
  std::vector<RecordImage> sorted;
  sorted.reserve(order.size());
  for (std::size_t index : order) sorted.push_back(std::move(image.records[index]));
  image.records = std::move(sorted);
}

std::vector<std::size_t> mergedOrder(std::size_t existing, std::size_t added, const KeyOrder& order) {
  std::vector<std::size_t> addedOrder(added);
  std::iota(addedOrder.begin(), addedOrder.end(), existing);
  std::stable_sort(addedOrder.begin(), addedOrder.end(), [&](std::size_t a, std::size_t b) { return order(a, b) < 0; });
  std::vector<std::size_t> merged;
  merged.reserve(existing + added);
  std::size_t e = 0;
  for (std::size_t a : addedOrder) {
    // An added record follows every existing record that is not greater.
    while (e < existing && order(e, a) <= 0) merged.push_back(e++);
    merged.push_back(a);
  }
  while (e < existing) merged.push_back(e++);
  return merged;
}

}  // namespace tsq
