// The file layer's side of the write recorder (see platform/emulator.h).
#pragma once

#include <cstdint>
#include <string>

namespace platform::os {

// True while a test records writes; the callers then pay for finding the
// offset of each write, and nobody else does.
bool recordingWrites();
void noteRecordedWrite(const std::string& path, std::uint64_t offset, const void* bytes, std::uint64_t length);
void noteRecordedResize(const std::string& path, std::uint64_t length);

}  // namespace platform::os
