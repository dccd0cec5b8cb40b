// The open tsq file as the store sees it: the handle, where the data area
// starts, the DataHeader held in memory and a read cache over the area.
#pragma once

#include <cstdint>

#include "platform/win_base.h"
#include "storage/data_cache.h"
#include "storage/format.h"

struct DataFile {
  HANDLE handle = INVALID_HANDLE_VALUE;  // opened without sharing; invalid when closed
  char16_t path[room::filePath] = {};    // full path of the open file
  std::uint32_t dataBase = noPosition;   // file offset of the data area
  DataHeader header;                     // written back to data position 0 when changed
  // The DataHeader in memory differs from the file's: a write failed, and
  // the next commit (or closing) writes it.
  bool headerUnsaved = false;
  DataCache cache;
};
