#include "tests/support/app_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/emulator.h"
#include "platform/text.h"
#include "shell/startup.h"
#include "tests/support/tsq_fixture.h"

namespace apptest {

namespace {
HINSTANCE programInstance() { return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000)); }
}  // namespace

App::App() : home_(tsqtest::uniqueTempPath("")) {
  std::filesystem::create_directories(home_ + "/device");
  platform::setProgramFolder(home_);
  platform::setDeviceRoot(home_ + "/device");
  platform::setLocale("en_US");
  platform::setDecimalSeparatorOverride(std::nullopt);
  platform::setFixedLocalTime(SYSTEMTIME{2026, 1, 4, 15, 10, 30, 0, 0});
  platform::configureScreen(platform::ScreenConfig{});
  platform::setInputSource([this]() -> std::optional<platform::KeyEvent> {
    waits_.push_back(platform::renderScreen().text());
    if (!queued_.empty()) {
      Step step = queued_.front();
      queued_.erase(queued_.begin());
      if (step.act) step.act(GetParent(GetFocus()));
      return step.key;
    }
    prompts_.push_back(platform::renderScreen().text());
    return platform::KeyEvent{platform::Key::Action, 0};
  });
}

void App::queueKey(platform::Key key, char16_t ch) { queued_.push_back(Step{platform::KeyEvent{key, ch}, nullptr}); }

void App::queueStep(std::function<void(HWND)> act, platform::Key key) {
  queued_.push_back(Step{platform::KeyEvent{key, 0}, std::move(act)});
}

App::~App() {
  if (started_) {
    Database& database = theDatabase();
    if (database.ui.mainWindow != nullptr && IsWindow(database.ui.mainWindow)) DestroyWindow(database.ui.mainWindow);
    platform::runPending();
    releaseInstance(programInstance());
    unregisterMainClass(programInstance());
  }
  // The next test starts on an empty phone, without this one's quit message.
  platform::resetWindows();
  platform::clearFileFaults();
  platform::setInputSource(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(home_, ignored);
}

std::string App::writeDatabase(const std::string& name, const DatabaseImage& image) {
  std::string path = home_ + "/" + name + ".tsq";
  tsqtest::writeFileBytes(path, encodeDatabase(image));
  return path;
}

std::vector<std::uint8_t> App::fileBytes(const std::string& name) const {
  return tsqtest::readFileBytes(home_ + "/" + name + ".tsq");
}

bool App::start(const std::u16string& commandLine) {
  if (!registerMainClass(programInstance())) return false;
  started_ = true;
  HWND window = initialiseInstance(programInstance(), commandLine.c_str(), SW_SHOW);
  platform::runPending();
  return window != nullptr;
}

bool App::open(const std::string& name) { return start(platform::fromUtf8(home_ + "/" + name + ".tsq")); }

Database& App::db() { return theDatabase(); }
HWND App::mainWindow() { return theDatabase().ui.mainWindow; }

void App::command(std::uint16_t commandId) {
  SendMessageW(mainWindow(), WM_COMMAND, commandId, 0);
  platform::runPending();
}

void App::press(platform::Key key, char16_t ch) {
  platform::pressKey(platform::KeyEvent{key, ch});
  platform::runPending();
}

void App::type(const std::u16string& text) {
  for (char16_t c : text) press(platform::Key::Char, c);
}

std::string App::screen() { return platform::renderScreen().text(); }

HWND App::control(int item) { return theDatabase().ui.items[item].control; }

void App::setText(int item, const std::u16string& text) {
  SetWindowTextW(control(item), text.c_str());
  platform::runPending();
}

std::u16string App::text(int item) {
  WCHAR buffer[1024] = {};
  GetWindowTextW(control(item), buffer, 1024);
  return buffer;
}

std::uint32_t u32At(const std::vector<std::uint8_t>& file, std::uint32_t offset) {
  if (offset + 4 > file.size()) return 0xFFFFFFFF;
  return static_cast<std::uint32_t>(file[offset]) | (static_cast<std::uint32_t>(file[offset + 1]) << 8) |
         (static_cast<std::uint32_t>(file[offset + 2]) << 16) | (static_cast<std::uint32_t>(file[offset + 3]) << 24);
}

StoredHeader readStoredHeader(const std::vector<std::uint8_t>& file, const DatabaseImage& image) {
  DatabaseImage empty = image;
  empty.records.clear();
  empty.smsNumber.clear();
  empty.smsMessage.clear();
  StoredHeader stored;
  stored.dataBase = static_cast<std::uint32_t>(encodeDatabase(empty).size()) - dataHeaderSize;
  std::uint32_t* fields[] = {&stored.header.recordCount,    &stored.header.freeList,
                             &stored.header.firstRecord,    &stored.header.sortItem,
                             &stored.header.reserved,       &stored.header.smsNumberValue,
                             &stored.header.smsMessageValue};
  for (std::uint32_t i = 0; i < 7; ++i) *fields[i] = u32At(file, stored.dataBase + 4 * i);
  return stored;
}

std::vector<StoredEntry> recordEntries(const std::vector<std::uint8_t>& file, std::uint32_t dataBase,
                                       Position record) {
  std::vector<StoredEntry> entries;
  Position at = u32At(file, dataBase + record);
  while (at != noPosition && entries.size() < 64) {
    const std::uint32_t offset = dataBase + at;
    if (offset + 8 > file.size()) break;
    StoredEntry entry{at, static_cast<std::uint16_t>(file[offset + 4] | (file[offset + 5] << 8)), file[offset + 6], {}};
    std::size_t size = 0;
    switch (static_cast<ValueType>(entry.valueType)) {
      case ValueType::Integer: size = 4; break;
      case ValueType::Number:
      case ValueType::Currency: size = 8; break;
      case ValueType::Date:
      case ValueType::Time: size = 20; break;
      case ValueType::YesNo: size = 1; break;
      case ValueType::Text: size = 2 + 2 * static_cast<std::size_t>(file[offset + 8] | (file[offset + 9] << 8)); break;
      default: break;
    }
    if (offset + 8 + size <= file.size())
      entry.payload.assign(file.begin() + offset + 8, file.begin() + static_cast<std::ptrdiff_t>(offset + 8 + size));
    entries.push_back(entry);
    at = u32At(file, offset);
  }
  return entries;
}

std::vector<Position> recordChain(const std::vector<std::uint8_t>& file, std::uint32_t dataBase) {
  std::vector<Position> chain;
  Position at = u32At(file, dataBase + 8);
  while (at != noPosition && chain.size() < 100000) {
    chain.push_back(at);
    at = u32At(file, dataBase + at + 4);
  }
  return chain;
}

std::string tsqCheck(const std::vector<std::uint8_t>& file) {
  tsqtest::TempFile copy(file);
  std::string report = copy.path() + ".report";
  std::string command = std::string(TSQ_BINARY) + " check " + copy.path() + " > " + report + " 2>&1";
  int status = std::system(command.c_str());
  std::vector<std::uint8_t> bytes = tsqtest::readFileBytes(report);
  std::string text(bytes.begin(), bytes.end());
  std::filesystem::remove(report);
  return status == 0 ? "sound" : text;
}

}  // namespace apptest
