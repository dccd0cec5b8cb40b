#include "platform/os/write_recorder.h"

#include <utility>
#include <vector>

#include "platform/emulator.h"

namespace platform {

namespace {

struct Recorder {
  bool on = false;
  std::vector<RecordedWrite> writes;
};

Recorder& recorder() {
  static Recorder instance;
  return instance;
}

}  // namespace

void startRecordingWrites() {
  recorder().writes.clear();
  recorder().on = true;
}

std::vector<RecordedWrite> stopRecordingWrites() {
  recorder().on = false;
  return std::exchange(recorder().writes, {});
}

namespace os {

bool recordingWrites() { return recorder().on; }

void noteRecordedWrite(const std::string& path, std::uint64_t offset, const void* bytes, std::uint64_t length) {
  if (!recorder().on || length == 0) return;
  const auto* first = static_cast<const std::uint8_t*>(bytes);
  recorder().writes.push_back({RecordedWrite::Kind::Write, path, offset, std::vector<std::uint8_t>(first, first + length)});
}

void noteRecordedResize(const std::string& path, std::uint64_t length) {
  if (!recorder().on) return;
  recorder().writes.push_back({RecordedWrite::Kind::Resize, path, length, {}});
}

}  // namespace os
}  // namespace platform
