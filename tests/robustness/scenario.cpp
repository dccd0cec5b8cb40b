#include "tests/robustness/scenario.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/text.h"
#include "storage/data_cache.h"
#include "tests/support/tsq_fixture.h"

namespace robust {

namespace {

const char* const errorTexts[] = {
    "Error reading data",     "Error writing data", "Data conversion error", "Record not found",
    "Memory allocation error", "Internal error",     "Window creation error", "Newer Tessra required",
    "Incorrect password",     "Unable to",          "Invalid expression",    "Division by zero",
};

bool isDatabaseFile(const std::string& path, const std::string& database) {
  std::error_code ignored;
  return std::filesystem::weakly_canonical(path, ignored) == std::filesystem::weakly_canonical(database, ignored);
}

// The texts of the message boxes shown from the first-th on.
std::vector<std::string> boxesSince(std::size_t first) {
  const std::vector<std::u16string>& shown = platform::messageBoxesShown();
  std::vector<std::string> texts;
  for (std::size_t i = first; i < shown.size(); ++i) texts.push_back(platform::toUtf8(shown[i]));
  return texts;
}

}  // namespace

std::vector<std::string> errorMessages(const std::vector<std::string>& texts) {
  std::vector<std::string> found;
  for (const std::string& shown : texts)
    for (const char* text : errorTexts)
      if (shown.find(text) != std::string::npos) {
        found.emplace_back(text);
        break;
      }
  return found;
}

bool rightMessage(platform::FileOp op, const std::vector<std::string>& messages) {
  if (messages.size() != 1) return false;
  const bool reading = messages[0] == "Error reading data";
  const bool writing = messages[0] == "Error writing data";
  switch (op) {
    case platform::FileOp::Write: return writing;
    case platform::FileOp::Read: return reading;
    case platform::FileOp::Seek: return reading || writing;
    case platform::FileOp::Open: return false;
  }
  return false;
}

const char* opName(platform::FileOp op) {
  switch (op) {
    case platform::FileOp::Write: return "Write";
    case platform::FileOp::Seek: return "Seek";
    case platform::FileOp::Read: return "Read";
    case platform::FileOp::Open: return "Open";
  }
  return "?";
}

CleanRun runClean(const Scenario& scenario) {
  CleanRun run;
  App app;
  scenario.begin(app);
  run.before = app.fileBytes("db");
  const std::size_t boxes = platform::messageBoxesShown().size();
  platform::clearFileFaults();
  platform::startRecordingWrites();
  scenario.act(app);
  std::vector<platform::RecordedWrite> writes = platform::stopRecordingWrites();
  run.writes = platform::fileOperationCount(platform::FileOp::Write);
  run.seeks = platform::fileOperationCount(platform::FileOp::Seek);
  run.reads = platform::fileOperationCount(platform::FileOp::Read);
  run.messages = errorMessages(boxesSince(boxes));
  run.after = app.fileBytes("db");
  const std::string database = app.home() + "/db.tsq";
  for (platform::RecordedWrite& write : writes)
    if (isDatabaseFile(write.path, database)) run.recorded.push_back(std::move(write));
  run.beforeState = stateOf(run.before);
  run.afterState = stateOf(run.after);
  return run;
}

FaultRun runWithFault(const Scenario& scenario, platform::FileOp op, int failAt, Retry retry) {
  FaultRun run;
  App app;
  scenario.begin(app);
  DataCache& cache = app.db().store.file.cache;
  if (op == platform::FileOp::Read) cache.bypass = true;
  platform::clearFileFaults();
  platform::failFileOperation(op, failAt);
  std::size_t boxes = platform::messageBoxesShown().size();
  scenario.act(app);
  cache.bypass = false;
  clearCache(cache);
  run.faults = platform::fileFaultsFired();
  run.operations = platform::fileOperationCount(op);
  run.fired = run.faults > 0;
  platform::clearFileFaults();
  run.messages = errorMessages(boxesSince(boxes));
  run.failed = app.fileBytes("db");
  if (!run.fired) return run;

  boxes = platform::messageBoxesShown().size();
  if (retry == Retry::Again) {
    run.repeated = scenario.again(app);
  } else {
    SendMessageW(app.mainWindow(), WM_CLOSE, 0, 0);
    platform::runPending();
    run.closed = !IsWindow(app.mainWindow());
  }
  run.retryMessages = errorMessages(boxesSince(boxes));
  run.retried = app.fileBytes("db");
  return run;
}

bool opens(const std::vector<std::uint8_t>& bytes, std::string* message) {
  platform::clearMessageBoxesShown();
  App app;
  tsqtest::writeFileBytes(app.home() + "/db.tsq", bytes);
  const bool started = app.open("db");
  const bool open = started && app.db().isOpen != 0;
  if (!open && message != nullptr) {
    const std::vector<std::string> shown = errorMessages(boxesSince(0));
    *message = shown.empty() ? "nothing shown" : shown.front();
  }
  return open;
}

std::vector<std::uint8_t> replay(const std::vector<std::uint8_t>& start,
                                 const std::vector<platform::RecordedWrite>& writes, std::size_t count) {
  std::vector<std::uint8_t> bytes = start;
  for (std::size_t i = 0; i < count && i < writes.size(); ++i) {
    const platform::RecordedWrite& write = writes[i];
    if (write.kind == platform::RecordedWrite::Kind::Resize) {
      bytes.resize(write.offset, 0);
      continue;
    }
    if (bytes.size() < write.offset + write.bytes.size()) bytes.resize(write.offset + write.bytes.size(), 0);
    std::copy(write.bytes.begin(), write.bytes.end(), bytes.begin() + static_cast<std::ptrdiff_t>(write.offset));
  }
  return bytes;
}

}  // namespace robust
