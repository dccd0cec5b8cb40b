// Deleting the current record from the store, once the commit has emptied
// it: out of the chain and the count, then its room given back.
#pragma once

#include <vector>

#include "storage/format.h"
#include "storage/record_set.h"

struct Store;

// The stretches of every FieldEntry in the chain from firstField (entries
// of columns the form does not show are left by emptying the items).
ErrorCode chainStretches(Store& store, Position firstField, std::vector<Stretch>& stretches);

// Unlinks the current record: its predecessor (the previous index entry)
// or the DataHeader's firstRecord is made to skip it, recordCount and
// includedCount go down by one and the DataHeader is written. The index is
// left to the caller. saved tells whether the file's DataHeader now says so:
// a record that stays named by an unwritten DataHeader must not give its
// room back.
ErrorCode unlinkCurrentRecord(Store& store, bool& saved);

// Gives back the stretches of a record no header names any more, then
// writes the DataHeader once more when the free list's head changed.
ErrorCode releaseStretches(Store& store, const std::vector<Stretch>& stretches);
