// The whole program on a hostile file: it is named on the command line,
// opened, listed and browsed with a few keys, as a user would. Whatever the
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = home() + "/fuzz.tsq";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // A few keys through every screen, then the user leaves; the password
  // prompt gets "a" and OK.
  static const platform::KeyEvent script[] = {
      {platform::Key::Char, u'a'},  {platform::Key::SoftLeft, 0}, {platform::Key::Down, 0},
      {platform::Key::Action, 0},   {platform::Key::Down, 0},     {platform::Key::Down, 0},
      {platform::Key::Action, 0},   {platform::Key::Back, 0},     {platform::Key::Back, 0},
  };
  std::size_t next = 0;
  platform::setInputSource([&]() -> std::optional<platform::KeyEvent> {
    if (next < sizeof script / sizeof script[0]) return script[next++];
    return std::nullopt;
  });
  auto instance = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(0x400000));
  std::u16string commandLine = platform::fromUtf8(path);
  tessraMain(instance, commandLine.c_str());
  platform::resetWindows();
  setStartupValues(theDatabase());
  return 0;
}
