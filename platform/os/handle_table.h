// The table behind file and search HANDLEs.
//
// A HANDLE is a number the table hands out, never a pointer and never a raw
// descriptor: numbers are not reused, so a stale or forged handle finds no
// entry and is refused with ERROR_INVALID_HANDLE.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/win_base.h"

namespace platform::os {

struct OpenFile {
  int fd = -1;
  bool canRead = false;
  bool canWrite = false;
  // The handle's file pointer. Kept here rather than in the descriptor, so
  // that a seek costs no system call and a read or write at it costs one.
  std::int64_t position = 0;
  std::string path;  // as opened, for the write recorder
};

struct FileSearch {
  std::vector<WIN32_FIND_DATAW> found;  // sorted by name
  std::size_t next = 0;
};

using HandleEntry = std::variant<OpenFile, FileSearch>;

HANDLE addHandle(HandleEntry entry);
// The entry of a live handle of the kind asked for, else nullptr with
// ERROR_INVALID_HANDLE. The pointer stays valid until the handle is removed;
// the platform is single-threaded, as the phone's user interface is.
OpenFile* findOpenFile(HANDLE handle);
FileSearch* findFileSearch(HANDLE handle);
// Removes the handle; false (ERROR_INVALID_HANDLE) if it is not live.
bool removeHandle(HANDLE handle, HandleEntry* removed);

}  // namespace platform::os
