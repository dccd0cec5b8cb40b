#include "platform/os/file_faults.h"

#include <array>
#include <cstddef>

namespace platform {

namespace {

constexpr std::size_t kindCount = 4;

struct Faults {
  std::array<int, kindCount> counts{};
  std::array<int, kindCount> armed{-1, -1, -1, -1};  // successes left before the fault; -1 none
  int fired = 0;
};

Faults& faults() {
  static Faults instance;
  return instance;
}

std::size_t indexOf(FileOp op) { return static_cast<std::size_t>(op) % kindCount; }

}  // namespace

void failFileOperation(FileOp op, int skip) { faults().armed[indexOf(op)] = skip < 0 ? 0 : skip; }

void clearFileFaults() { faults() = Faults{}; }

int fileOperationCount(FileOp op) { return faults().counts[indexOf(op)]; }

int fileFaultsFired() { return faults().fired; }

namespace os {

bool fileOperationFails(FileOp op) {
  auto& f = faults();
  const std::size_t i = indexOf(op);
  ++f.counts[i];
  if (f.armed[i] < 0) return false;
  if (f.armed[i] > 0) {
    --f.armed[i];
    return false;
  }
  f.armed[i] = -1;
  ++f.fired;
  return true;
}

}  // namespace os
}  // namespace platform
