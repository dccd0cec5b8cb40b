// The record store: the one path by which record values reach the file.
// It works on the Store alone; the form hands it the values its controls
// show, one item at a time.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct RecordSet;
struct Store;

// Reads the value that item index shows into fresh (which holds the item's
// current value on entry). hasValue false: the item holds no value, or
// keeps the one stored. A nonzero code ends the visit at that item.
using ItemReader = ErrorCode (*)(void* context, std::int32_t index, FieldValue& fresh, bool& hasValue);

// Writes the current record's values into the file when it is marked
// modified: visits the items from the last to the first, stores what
// differs from the stored values, drops what was emptied, and places a new
// or re-keyed record in sort order (allowReorder 1). A failed commit stays
// marked modified, and what it could not write is written by the next.
ErrorCode saveRecord(Store& store, ItemReader read, void* context, int allowReorder);

// Takes the current entry out of the RecordIndex; the caller has already
// lowered recordCount to remaining. Frees the index when none remains.
void removeIndexEntry(RecordSet& records, std::uint32_t remaining);
