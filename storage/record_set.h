// The records of the open database in memory: the RecordIndex in chain
// order and the current record.
#pragma once

#include <cstdint>
#include <vector>

#include "storage/format.h"

struct RecordIndexEntry {
  Position position = noPosition;    // the record's RecordHeader
  std::uint32_t flags = 0;           // bit 0: included
  std::int32_t listRow = -1;         // row in the ListView's list box, -1 when not listed
  Position keyPosition = noPosition; // the record's FieldEntry for keyItem
};
constexpr std::uint32_t includedFlag = 1;

// A stretch of the data area: where it starts and how long it is.
struct Stretch {
  Position position = noPosition;
  std::uint32_t size = 0;
};

struct RecordSet {
  RecordIndexEntry* index = nullptr;  // DataHeader.recordCount entries; null when none
  // Entries the index has room for (0: exactly recordCount). Records added
  // one at a time grow it by half again, not by one copy of it each.
  std::uint32_t indexCapacity = 0;
  std::uint32_t includedCount = 0;    // entries with the included flag
  std::int32_t currentEntry = -1;
  Position currentRecord = noPosition;  // none: a new record not yet stored
  RecordHeader currentRecordHeader;     // bit 31 of flags: unsaved changes
  // False until a record has been shown in full: a commit never writes
  // the controls of a half-loaded record into the file.
  bool currentRecordLoaded = false;
  // A record whose key was stored but which could not be moved to its
  // sorted place; the next commit of it tries again.
  Position misplacedRecord = noPosition;
  // The current record's RecordHeader in memory differs from the file's: a
  // write failed, and the next commit writes it even when no value changed.
  bool recordHeaderUnsaved = false;
  // Stretches the current record gave up (replaced or emptied entries),
  // given back only once the RecordHeader in the file no longer leads to
  // them; a release that fails waits for the next commit.
  std::vector<Stretch> pendingReleases;
};
