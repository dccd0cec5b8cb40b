// Local heap blocks.
#include <cstdlib>

#include "platform/win_base.h"

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
  const std::size_t size = bytes == 0 ? 1 : bytes;  // a zero-byte block is still a distinct block
  void* block = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// Returns nullptr on success, as Win32.
HLOCAL LocalFree(HLOCAL block) {
  std::free(block);
  return nullptr;
}
