// The whole program on a hostile file: it is named on the command line,
// opened, and every included record (up to a bound) is shown in the list
// and then in the form, as a user would go through them. Whatever the
// bytes, the program shows a message or the records, and never crashes or
// hangs.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/emulator.h"
#include "platform/phone.h"
#include "platform/text.h"
#include "shell/startup.h"
#include "storage/database.h"

namespace {

const std::string& home() {
  static const std::string folder = [] {
    std::string path = std::filesystem::temp_directory_path() / ("tessra-fuzz-open-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path + "/device");
    platform::setProgramFolder(path);
    platform::setDeviceRoot(path + "/device");
    platform::setLocale("en_US");
    platform::setFixedLocalTime(SYSTEMTIME{2026, 1, 4, 15, 10, 30, 0, 0});
    return path;
  }();
  return folder;
}

// More records than this are not all visited: each visit costs a form, and
// the fuzzer's inputs stay small.
constexpr std::uint32_t maxVisits = 128;

// The keys: "a" and OK while nothing is open yet (a password prompt, or
// the message of a file refused), then for every record its
// form (Action), a step through its items (Down), back to the list (Back)
// and on to the next row (Down); at the end Back twice, to the Catalogue
// and out.
class Keys {
 public:
  std::optional<platform::KeyEvent> next() {
    using platform::Key;
    // Only while nothing is open: on the list the left soft key dials.
    if (step_ == 0 && theDatabase().isOpen != 0) step_ = 2;
    if (step_ < 2) return step_++ == 0 ? platform::KeyEvent{Key::Char, u'a'} : platform::KeyEvent{Key::SoftLeft, 0};
    const std::uint32_t included = theDatabase().store.records.includedCount;
    if (visits_ < included && visits_ < maxVisits) {
      static const Key visit[] = {Key::Action, Key::Down, Key::Back, Key::Down};
      const Key key = visit[inVisit_];
      if (++inVisit_ == 4) {
        inVisit_ = 0;
        ++visits_;
      }
      return platform::KeyEvent{key, 0};
    }
    if (ending_ < 2) {
      ++ending_;
      return platform::KeyEvent{Key::Back, 0};
    }
    return std::nullopt;
  }

 private:
  int step_ = 0;
  std::uint32_t visits_ = 0;
  int inVisit_ = 0;
  int ending_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = home() + "/fuzz.tsq";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  Keys keys;
  platform::setInputSource([&keys]() { return keys.next(); });
  auto instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
  std::u16string commandLine = platform::fromUtf8(path);
  tessraMain(instance, commandLine.c_str());
  platform::resetWindows();
  setStartupValues(theDatabase());
  return 0;
}
