#include "storage/data_cache.h"

#include <algorithm>
#include <cstring>

#include "platform/win_base.h"

namespace {

std::uint32_t slotOf(std::uint32_t pageOffset) { return (pageOffset / DataCache::pageSize) % DataCache::pageCount; }

bool holds(const DataCache::Page& page, HANDLE file, std::uint32_t pageOffset) {
  return page.file == file && page.offset == pageOffset;
}

// Reads the page at pageOffset into its slot, and when the read follows on
// the last one, the pages after it up to a run (or the last slot).
bool load(DataCache& cache, HANDLE file, std::uint32_t pageOffset) {
  const std::uint32_t slot = slotOf(pageOffset);
  const bool following = cache.lastFile == file && cache.lastEnd == pageOffset;
  std::uint32_t count = following ? DataCache::runPages : 1;
  if (count > DataCache::pageCount - slot) count = DataCache::pageCount - slot;
  for (std::uint32_t k = 0; k < count; ++k) cache.pages[slot + k].file = nullptr;
  cache.lastFile = nullptr;
  if (SetFilePointer(file, static_cast<LONG>(pageOffset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return false;
  DWORD read = 0;
  if (!ReadFile(file, cache.bytes[slot], count * DataCache::pageSize, &read, nullptr)) return false;
  // The first page is kept even when the file ends before it; the others
  // only with what the file held there.
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t start = k * DataCache::pageSize;
    if (k > 0 && read <= start) break;
    DataCache::Page& page = cache.pages[slot + k];
    page.file = file;
    page.offset = pageOffset + start;
    page.valid = read > start ? std::min<std::uint32_t>(read - start, DataCache::pageSize) : 0;
  }
  cache.lastFile = file;
  cache.lastEnd = pageOffset + count * DataCache::pageSize;
  return true;
}

}  // namespace

bool cachedRead(DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t length, void* destination) {
  if (cache.bypass) {
    DWORD read = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, destination, length, &read, nullptr) && read == length;
  }
  auto* out = static_cast<std::uint8_t*>(destination);
  while (length > 0) {
    const std::uint32_t pageOffset = offset - offset % DataCache::pageSize;
    const std::uint32_t slot = slotOf(pageOffset);
    if (!holds(cache.pages[slot], file, pageOffset) && !load(cache, file, pageOffset)) return false;
    const DataCache::Page& page = cache.pages[slot];
    const std::uint32_t within = offset - pageOffset;
    const std::uint32_t chunk = std::min(length, DataCache::pageSize - within);
    if (within + chunk > page.valid) return false;  // past the end of the file
    std::memcpy(out, cache.bytes[slot] + within, chunk);
    out += chunk;
    offset += chunk;
    length -= chunk;
  }
  return true;
}

const std::uint8_t* cachedSpan(const DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t& available) {
  if (cache.bypass) return nullptr;  // every read must reach the file
  const std::uint32_t pageOffset = offset - offset % DataCache::pageSize;
  const std::uint32_t slot = slotOf(pageOffset);
  const DataCache::Page& page = cache.pages[slot];
  const std::uint32_t within = offset - pageOffset;
  if (!holds(page, file, pageOffset) || within >= page.valid) return nullptr;
  available = page.valid - within;
  return cache.bytes[slot] + within;
}

void noteWrite(DataCache& cache, HANDLE file, std::uint32_t offset, std::uint32_t length, const void* source,
               bool succeeded) {
  const auto* in = static_cast<const std::uint8_t*>(source);
  const std::uint64_t end = static_cast<std::uint64_t>(offset) + length;
  std::uint64_t at = offset;
  while (at < end) {
    const auto pageOffset = static_cast<std::uint32_t>(at - at % DataCache::pageSize);
    const auto within = static_cast<std::uint32_t>(at - pageOffset);
    const auto chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(end - at, DataCache::pageSize - within));
    const std::uint32_t slot = slotOf(pageOffset);
    DataCache::Page& page = cache.pages[slot];
    if (holds(page, file, pageOffset)) {
      // Bytes beyond what the page held leave a gap it cannot vouch for.
      if (!succeeded || within > page.valid) {
        page.file = nullptr;
      } else {
        std::memcpy(cache.bytes[slot] + within, in + (at - offset), chunk);
        page.valid = std::max(page.valid, within + chunk);
      }
    }
    at += chunk;
  }
}

void clearCache(DataCache& cache) {
  for (auto& page : cache.pages) page.file = nullptr;
  cache.lastFile = nullptr;
}
