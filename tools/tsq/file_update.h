// Changing a database file all or nothing. The file is held open without
// sharing from the first read to the end, as Tessra holds a database it
// has open, so neither can change it under the other; the new contents are
// written to a copy beside it, which replaces the original only once every
// byte is written and flushed. A failure at any step leaves the original as
// it was and removes the copy.
#pragma once

#include <string>
#include <vector>

#include "tools/tsq/tsq_file.h"

namespace tsq {

struct HeldDatabase {
  std::string path;
  HANDLE handle = INVALID_HANDLE_VALUE;  // the original, held without sharing
  TsqFile file;

  HeldDatabase() = default;
  HeldDatabase(const HeldDatabase&) = delete;
  HeldDatabase& operator=(const HeldDatabase&) = delete;
  ~HeldDatabase();
};

// Opens path for reading and writing without sharing and reads it. 15 when
// it cannot be opened or read (inUse tells whether another program holds
// it), 25 and 33 as the layout reader gives them.
ErrorCode holdDatabase(const std::string& path, HeldDatabase& held, bool& inUse);

// Replaces the held file's contents by bytes: a copy beside it, written and
// flushed, then renamed over it, with the original's permissions. 16 when a
// write, the flush or the rename fails; the original is then unchanged.
// The file stays held.
ErrorCode replaceDatabase(HeldDatabase& held, const std::vector<std::uint8_t>& bytes);

// Writes bytes as the file at path the same way: a copy beside it renamed
// into place. An existing file is replaced only with replace (exists tells
// that it was refused for that), and only while nothing else holds it
// (inUse: Tessra has it open); it is held itself until it is replaced.
ErrorCode writeNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes, bool replace, bool& exists,
                       bool& inUse);

}  // namespace tsq
