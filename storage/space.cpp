#include "storage/space.h"

#include "storage/bytes.h"
#include "storage/checks.h"
#include "storage/data_file.h"
#include "storage/primitives.h"

namespace {

ErrorCode readFreeBlock(DataFile& file, Position position, FreeBlock& block) {
  std::uint8_t raw[freeBlockSize];
  if (ErrorCode code = readAt(file, position, freeBlockSize, raw)) return code;
  block.next = loadU32(raw);
  block.size = loadU32(raw + 4);
  return err::ok;
}

ErrorCode writeFreeBlock(DataFile& file, Position position, const FreeBlock& block) {
  std::uint8_t raw[freeBlockSize];
  storeU32(raw, block.next);
  storeU32(raw + 4, block.size);
  return writeAt(file, position, freeBlockSize, raw);
}

// Takes size bytes at the end of the file and writes zeros there at once, so
// that the room exists even if the caller never writes it.
ErrorCode appendSpace(DataFile& file, std::uint32_t size, Position& position) {
  DWORD end = SetFilePointer(file.handle, 0, nullptr, FILE_END);
  if (end == INVALID_SET_FILE_POINTER || file.dataBase == noPosition || end < file.dataBase) return err::writeData;
  std::uint64_t newEnd = static_cast<std::uint64_t>(end) + size;
  if (newEnd > 0x7FFFFFFFu) return err::writeData;
  Position at = end - file.dataBase;
  static const std::uint8_t zeros[512] = {};
  for (std::uint32_t done = 0; done < size;) {
    std::uint32_t chunk = size - done < sizeof zeros ? size - done : sizeof zeros;
    if (ErrorCode code = writeAt(file, at + done, chunk, zeros)) return code;
    done += chunk;
  }
  position = at;
  return err::ok;
}

}  // namespace

ErrorCode allocateSpace(DataFile& file, std::uint32_t size, bool& headerChanged, Position& position) {
  position = noPosition;
  if (size < freeBlockSize) return internalError();

  // The area's size bounds the walk of the free list; with no free list
  // (records only ever added) it is not needed, nor asked of the file.
  const std::uint32_t areaSize = file.header.freeList != noPosition ? dataAreaSize(file) : 0;
  ChainWalk walk(areaSize / freeBlockSize);
  Position previous = noPosition;
  FreeBlock previousBlock;
  for (Position at = file.header.freeList; at != noPosition;) {
    if (!walk.step(at)) return err::readData;
    FreeBlock block;
    if (ErrorCode code = readFreeBlock(file, at, block)) return code;
    // A block must lie inside the data area, behind the DataHeader; taking
    // or splitting one that does not would overwrite live data.
    if (at < dataHeaderSize || block.size > areaSize || at > areaSize - block.size) return err::readData;

    if (block.size > static_cast<std::uint64_t>(size) + 12) {
      FreeBlock rest{block.next, block.size - size};
      if (ErrorCode code = writeFreeBlock(file, at + size, rest)) return code;
      block = FreeBlock{at + size, size};
    }
    if (block.size == size) {
      if (previous == noPosition) {
        file.header.freeList = block.next;
        headerChanged = true;
      } else {
        previousBlock.next = block.next;
        if (ErrorCode code = writeFreeBlock(file, previous, previousBlock)) return code;
      }
      position = at;
      return err::ok;
    }
    previous = at;
    previousBlock = block;
    at = block.next;
  }
  return appendSpace(file, size, position);
}

ErrorCode releaseSpace(DataFile& file, Position position, std::uint32_t size, bool& headerChanged) {
  if (ErrorCode code = writeFreeBlock(file, position, FreeBlock{file.header.freeList, size})) return code;
  file.header.freeList = position;
  headerChanged = true;
  return err::ok;
}

ErrorCode readDataHeader(DataFile& file) {
  std::uint8_t raw[dataHeaderSize];
  if (ErrorCode code = readAt(file, 0, dataHeaderSize, raw)) return code;
  file.header = DataHeader{loadU32(raw),      loadU32(raw + 4),  loadU32(raw + 8), loadU32(raw + 12),
                             loadU32(raw + 16), loadU32(raw + 20), loadU32(raw + 24)};
  return err::ok;
}

ErrorCode writeDataHeader(DataFile& file) {
  const DataHeader& h = file.header;
  std::uint8_t raw[dataHeaderSize];
  const std::uint32_t fields[] = {h.recordCount, h.freeList,       h.firstRecord,    h.sortItem,
                                  h.reserved,    h.smsNumberValue, h.smsMessageValue};
  for (int i = 0; i < 7; ++i) storeU32(raw + 4 * i, fields[i]);
  return writeAt(file, 0, dataHeaderSize, raw);
}
