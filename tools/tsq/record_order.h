// The order in which the program keeps its records: ascending by the sort
// item's values as the store compares them, a record placed later after
// every record whose value equals its own.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "storage/writer.h"

namespace tsq {

// The item whose values order image's records: its sortItem when that names
// an item of the layout, otherwise none (the records keep their order).
const ItemImage* sortItemOf(const DatabaseImage& image);

// The value that places record by item: its first entry with the item's
// fieldId and valueType, as the store finds a record's key, or the item's
// empty value when the record has none.
FieldValue sortKey(const RecordImage& record, const ItemImage& item);

// -1, 0 or 1 as the store orders a before b. A Number that is not a number
// equals every value there; here it follows every number, so that sorting
// has a total order to work with and the numbers around it stay in order.
int orderKeys(const FieldValue& a, const FieldValue& b);

// Sorts the records by the sort item; equal keys keep their order.
void sortRecords(DatabaseImage& image);

// Compares the keys of two records by their indexes, as orderKeys does.
using KeyOrder = std::function<int(std::size_t a, std::size_t b)>;

// Where records go when added to a chain that is in order: for each place of
// the merged chain, the index of what stands there, existing records as
// 0..existing-1 and added ones after them. The added records are placed
// one after the other in their order, as commits place them: each after
// every record whose value equals its own.
std::vector<std::size_t> mergedOrder(std::size_t existing, std::size_t added, const KeyOrder& order);

}  // namespace tsq
