#include "storage/data_cache.h"

#include <algorithm>
#include <cstring>

#include "platform/win_base.h"

namespace {

DataCache::Page& slotOf(DataCache& cache, std::uint32_t pageOffset) {
  return cache.pages[(pageOffset / DataCache::pageSize) % DataCache::pageCount];
}

bool holds(const DataCache::Page& page, HANDLE file, std::uint32_t pageOffset) {
  return page.file == file && page.offset == pageOffset;
}

bool load(DataCache::Page& page, HANDLE file, std::uint32_t pageOffset) {
  page.file = nullptr;
  if (SetFilePointer(file, static_cast<LONG>(pageOffset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
    return false;
  DWORD read = 0;
  if (!ReadFile(file, page.bytes, DataCache::pageSize, &read, nullptr)) return false;
  page.file = file;
  page.offset = pageOffset;
  page.valid = read;
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
    DataCache::Page& page = slotOf(cache, pageOffset);
    if (!holds(page, file, pageOffset) && !load(page, file, pageOffset)) return false;
    const std::uint32_t within = offset - pageOffset;
    const std::uint32_t chunk = std::min(length, DataCache::pageSize - within);
    if (within + chunk > page.valid) return false;  // past the end of the file
    std::memcpy(out, page.bytes + within, chunk);
    out += chunk;
    offset += chunk;
    length -= chunk;
  }
  return true;
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
    DataCache::Page& page = slotOf(cache, pageOffset);
    if (holds(page, file, pageOffset)) {
      // Bytes beyond what the page held leave a gap it cannot vouch for.
      if (!succeeded || within > page.valid) {
        page.file = nullptr;
      } else {
        std::memcpy(page.bytes + within, in + (at - offset), chunk);
        page.valid = std::max(page.valid, within + chunk);
      }
    }
    at += chunk;
  }
}

void clearCache(DataCache& cache) {
  for (auto& page : cache.pages) page.file = nullptr;
}
