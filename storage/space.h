// Space management inside the data area: a first-fit free list.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct DataFile;

// Takes size bytes (at least 8) from the free list or at the end of the file.
// A block larger than the request by more than 12 bytes is split; one larger
// by 1 to 12 is skipped. Room at the end is zero-filled at once so that every
// position the free list can name exists in the file. Sets headerChanged when
// freeList changed. The walk is bounded: a revisited block or more steps than
// the data area can hold is 15.
ErrorCode allocateSpace(DataFile& file, std::uint32_t size, bool& headerChanged, Position& position);

// Puts a stretch back at the head of the free list.
ErrorCode releaseSpace(DataFile& file, Position position, std::uint32_t size, bool& headerChanged);

// Reads the 28-byte DataHeader at position 0 into file.header, and writes it back.
ErrorCode readDataHeader(DataFile& file);
ErrorCode writeDataHeader(DataFile& file);
