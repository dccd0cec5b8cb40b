// Comparing values and finding a key's place in the sorted RecordIndex.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct DataFile;
struct Store;

// Compares two values of the same type: negative, 0 or positive as a is
// less than, equal to or greater than b. Text ignores case; dates compare
// by day, times by second; no value comes before every value.
ErrorCode compareValues(const FieldValue& a, const FieldValue& b, int& result);

// Compares probe with the value stored at position (or the empty value of
// the probe's type when position is none).
ErrorCode compareValue(DataFile& file, const FieldValue& probe, Position position, int& result);

// Binary search of the RecordIndex by its entries' keyPosition values.
// Insert mode answers the last entry whose value is not greater than the
// probe (-1 for the front); search mode the first entry whose value is not
// less than it, or 26 when there is none.
ErrorCode locateKey(Store& store, const FieldValue& probe, bool insertMode, std::int32_t& index);
