// Sorting the records by one item's values: the order the Sort command
// gives, and relinking the record chain into it.
//
// The order is that of a quicksort with the first element of each range as
// its pivot, run over the RecordIndex: it is not stable, so the order in
// which records with equal values end up is the one its steps leave them
// in, and that is what a user sees. sortIndex is that algorithm as it
// stands, comparing values read from the file (compareStored); planSort
// reaches the very same order in O(n log n) on every input, also on a
// column already in order, by ranking the values once and replaying the
// algorithm's partition steps on the ranks.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/format.h"
#include "storage/record_set.h"

struct Store;

// compareStored's one-value cache: a value and the position it was read from.
struct SortCache {
  FieldValue value{};
  Position position = noPosition;  // none: the cache holds nothing read
};

// The sign of value(a) - value(b) for item itemIndex; a position of none
// stands for the empty value of the item's type.
ErrorCode compareStored(Store& store, SortCache& cache, std::int32_t itemIndex, Position a, Position b,
                        int& result);

// Sorts entries low..high (inclusive) of entries (count in all) by their
// keyPosition values, comparing through compareStored. 27 when its stack
// cannot be had.
ErrorCode sortIndex(Store& store, std::int32_t itemIndex, RecordIndexEntry* entries, std::uint32_t count,
                    std::uint32_t low, std::uint32_t high);

// The order of every record by item itemIndex: index lists the records as
// the Sort command orders them, each entry with its keyPosition for the
// item and no list row; headers[i] is the RecordHeader of index[i] as read.
// Nothing changes, in memory or in the file.
struct SortPlan {
  std::vector<RecordIndexEntry> index;
  std::vector<RecordHeader> headers;
};
ErrorCode planSort(Store& store, std::int32_t itemIndex, SortPlan& plan);

// Relinks the chain in the file into the plan's order and stores itemIndex
// as the sort item: the RecordHeaders in runs of the file, so that the chain
// in the file walks without a cycle whatever write fails (records/relink.h),
// then the DataHeader. On success the plan's index replaces the
// RecordIndex and currentEntry follows the current record. A failed write
// puts back what was written and keeps the old order.
ErrorCode applySort(Store& store, std::int32_t itemIndex, SortPlan& plan);

// The quicksort's order of ranks (equal values, equal ranks): for each
// place, the index into ranks of the element standing there. The quicksort
// runs as it reads while it stays near its usual cost, and the replay
// finishes the columns where it would not.
std::vector<std::uint32_t> quicksortOrder(const std::vector<std::uint32_t>& ranks);
// The replay alone: O(n log n) on every input.
std::vector<std::uint32_t> replayQuicksortOrder(const std::vector<std::uint32_t>& ranks);
