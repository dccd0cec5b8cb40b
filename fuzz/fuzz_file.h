// What every fuzz target needs: the input as a file opened the way the
// program opens a database, and one Database to read it into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/windows.h"
#include "storage/database.h"

namespace fuzzing {

// The process's one Database, reset to its start-up values.
Database& freshDatabase();

// Writes data to the process's scratch file (one per process, in memory
// when /dev/shm is there) and returns its host path.
std::string writeScratch(const std::uint8_t* data, std::size_t size);

// Writes data to the process's scratch file and opens it for reading and
// writing without sharing; closed when the object goes.
class ScratchFile {
 public:
  ScratchFile(const std::uint8_t* data, std::size_t size);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A password prompt that always agrees, so protected files are read on.
bool acceptPassword(void* context, const char16_t* password);

// Walks what a sound open would walk after the layout: the DataHeader, the
// record chain (at most recordCount records) with each record's key entry
// and values, the remembered SMS texts, and one allocation and release.
void walkDataArea(Database& db);

}  // namespace fuzzing
