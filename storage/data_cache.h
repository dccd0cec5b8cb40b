// A small read cache over the data area of the open file. Opening a
// database walks every record header and key entry, and each of those is a
// few bytes: served from whole pages, that walk costs a read per page
// instead of a seek and a read per field, and a walk that goes forward
// through the file reads a run of pages at a time. Writes go to the file
// first and then into the pages they touch, so the cache never holds what
// the file does not.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct DataCache {
  static constexpr std::uint32_t pageSize = 4096;
  static constexpr std::uint32_t pageCount = 128;
  // Pages read at once when a miss follows on the last pages read.
  static constexpr std::uint32_t runPages = 16;
  struct Page {
    HANDLE file = nullptr;        // the file the page was read from; null: empty
    std::uint32_t offset = 0;     // file offset of the page's first byte
    std::uint32_t valid = 0;      // bytes the file held there when read
  };
  Page pages[pageCount];
  // A page's bytes; consecutive pages of the file have consecutive slots,
  // so a run is read straight into them.
  std::uint8_t bytes[pageCount][pageSize];
  // Where the last read from the file ended: a miss there reads a run.
  HANDLE lastFile = nullptr;
  std::uint32_t lastEnd = 0;
  // Every read goes to the file and nothing is kept, as when the database
  // is far larger than the cache: set by tests that fail each read of an
  // operation in turn.
  bool bypass = false;
};

// Reads length bytes at the file offset through the cache; false when the
// file does not hold them all (a seek or read failure, or the end of the file).
bool cachedRead(DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t length, void* destination);

// The cached bytes from the file offset to the end of what its page holds
// (available of them), or null when the page is not in the cache. Nothing
// is read from the file.
const std::uint8_t* cachedSpan(const DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t& available);

// Brings the cache in line with a write of length bytes at offset: the
// bytes written when it succeeded, otherwise the pages it touched are dropped.
void noteWrite(DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t length, const void* source,
               bool succeeded);

// Forgets every page (bypass stays as it is).
void clearCache(DataCache& cache);
