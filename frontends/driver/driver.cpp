#include "frontends/driver/driver.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/emulator.h"
#include "platform/instances/instances.h"
#include "platform/text.h"

namespace driver {

namespace {

struct NamedKey {
  const char* name;
  platform::Key key;
};
constexpr NamedKey namedKeys[] = {
    {"SoftLeft", platform::Key::SoftLeft}, {"SoftRight", platform::Key::SoftRight}, {"Back", platform::Key::Back},
    {"Up", platform::Key::Up},             {"Down", platform::Key::Down},           {"Left", platform::Key::Left},
    {"Right", platform::Key::Right},       {"Action", platform::Key::Action},
};

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool parseNumber(std::string_view text, int* value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end;
}

// Day of the week (0 = Sunday) of a Gregorian date.
WORD weekday(int year, int month, int day) {
  static constexpr int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return static_cast<WORD>((year + year / 4 - year / 100 + year / 400 + offsets[month - 1] + day) % 7);
}

}  // namespace

bool parseKeyScript(std::string_view script, std::vector<ScriptKey>* keys, std::string* error) {
  std::size_t i = 0;
  while (i < script.size()) {
    if (isSpace(script[i])) {
      ++i;
      continue;
    }
    if (script[i] == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < script.size()) {
        char c = script[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < script.size()) c = script[i++];
        text.push_back(c);
      }
      if (!closed) {
        *error = "unterminated text in the key script";
        return false;
      }
      for (char16_t ch : platform::fromUtf8(text)) {
        std::string name = "\"" + platform::toUtf8(std::u16string(1, ch)) + "\"";
        keys->push_back(ScriptKey{platform::KeyEvent{platform::Key::Char, ch}, name});
      }
      continue;
    }
    std::size_t end = i;
    while (end < script.size() && !isSpace(script[end])) ++end;
    std::string_view word = script.substr(i, end - i);
    i = end;
    if (word == "Serve") {
      keys->push_back(ScriptKey{platform::KeyEvent{platform::Key::None, 0}, "Serve", true});
      continue;
    }
    bool found = false;
    for (const auto& k : namedKeys) {
      if (word == k.name) {
        keys->push_back(ScriptKey{platform::KeyEvent{k.key, 0}, std::string(word)});
        found = true;
        break;
      }
    }
    if (!found && word.size() == 1 && ((word[0] >= '0' && word[0] <= '9') || word[0] == '*' || word[0] == '#')) {
      keys->push_back(ScriptKey{platform::KeyEvent{platform::Key::Char, static_cast<char16_t>(word[0])}, std::string(word)});
      found = true;
    }
    if (!found) {
      *error = "unknown key: " + std::string(word);
      return false;
    }
  }
  return true;
}

std::optional<SYSTEMTIME> parseTime(std::string_view text) {
  // YYYY-MM-DD HH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return std::nullopt;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!parseNumber(text.substr(0, 4), &year) || !parseNumber(text.substr(5, 2), &month) ||
      !parseNumber(text.substr(8, 2), &day) || !parseNumber(text.substr(11, 2), &hour) ||
      !parseNumber(text.substr(14, 2), &minute) || !parseNumber(text.substr(17, 2), &second))
    return std::nullopt;
  static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > monthDays[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 59)
    return std::nullopt;
  return SYSTEMTIME{static_cast<WORD>(year), static_cast<WORD>(month), weekday(year, month, day),
                    static_cast<WORD>(day),  static_cast<WORD>(hour),  static_cast<WORD>(minute),
                    static_cast<WORD>(second), 0};
}

bool parseOptions(int argc, char** argv, Options* options, std::string* error) {
  auto value = [&](int& i, const std::string& option, std::string* out) {
    if (i + 1 >= argc) {
      *error = "missing value for " + option;
      return false;
    }
    *out = argv[++i];
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string v;
    if (arg == "--") {
      std::string line;
      for (int j = i + 1; j < argc; ++j) {
        if (!line.empty()) line += ' ';
        line += argv[j];
      }
      options->commandLine = platform::fromUtf8(line);
      return true;
    }
    if (arg == "--help") {
      options->help = true;
    } else if (arg == "--trace") {
      options->trace = true;
    } else if (arg == "--marks") {
      options->marks = true;
    } else if (arg == "--keys") {
      if (!value(i, arg, &v) || !parseKeyScript(v, &options->keys, error)) return false;
    } else if (arg == "--keys-file") {
      if (!value(i, arg, &v)) return false;
      std::ifstream in(v, std::ios::binary);
      if (!in) {
        *error = "cannot read the key file " + v;
        return false;
      }
      std::ostringstream text;
      text << in.rdbuf();
      if (!parseKeyScript(text.str(), &options->keys, error)) return false;
    } else if (arg == "--home") {
      if (!value(i, arg, &v)) return false;
      options->home = v;
    } else if (arg == "--device") {
      if (!value(i, arg, &v)) return false;
      options->device = v;
    } else if (arg == "--locale") {
      if (!value(i, arg, &v)) return false;
      options->locale = v;
    } else if (arg == "--now") {
      if (!value(i, arg, &v)) return false;
      auto time = parseTime(v);
      if (!time) {
        *error = "bad time for --now (YYYY-MM-DD HH:MM:SS): " + v;
        return false;
      }
      options->now = *time;
    } else if (arg == "--screen") {
      if (!value(i, arg, &v)) return false;
      std::size_t x = v.find('x');
      int width = 0, height = 0;
      if (x == std::string::npos || !parseNumber(std::string_view(v).substr(0, x), &width) ||
          !parseNumber(std::string_view(v).substr(x + 1), &height) || width < 48 || height < 88 || width > 4000 ||
          height > 4000) {
        *error = "bad screen size for --screen (WxH): " + v;
        return false;
      }
      options->screen.width = width;
      options->screen.height = height;
    } else if (arg == "--dpi") {
      if (!value(i, arg, &v)) return false;
      int dpi = 0;
      if (!parseNumber(v, &dpi) || dpi < 48 || dpi > 960) {
        *error = "bad dots per inch for --dpi: " + v;
        return false;
      }
      options->screen.dpi = dpi;
    } else {
      *error = "unknown option: " + arg;
      return false;
    }
  }
  return true;
}

std::string screenText(const platform::ScreenImage& screen, bool marks) {
  if (!marks) return screen.text();
  std::string out;
  for (int row = 0; row < screen.rows; ++row) {
    std::u16string line;
    bool selected = false;
    for (int column = 0; column < screen.columns; ++column) {
      const platform::Cell& cell = screen.at(column, row);
      line.push_back(cell.ch == 0 ? u' ' : cell.ch);
      selected = selected || cell.inverse;
    }
    const bool chrome = row == 0 || row == screen.rows - 1;
    out += selected && !chrome ? '>' : ' ';
    out += platform::toUtf8(line);
    out += '\n';
  }
  return out;
}

std::string usage() {
  return "usage: tessra-drive [--keys SCRIPT | --keys-file FILE] [--trace] [--marks] [--home DIR] [--device DIR]\n"
         "                    [--locale ID] [--now \"YYYY-MM-DD HH:MM:SS\"] [--screen WxH] [--dpi N]"
         " [-- ARGS]\n"
         "Runs the program headless, presses the script's keys and prints the screen.\n"
         "  --keys SCRIPT    keys: SoftLeft SoftRight Back Up Down Left Right Action, 0-9 * #,\n"
         "                   \"text\" (typed character by character; \\ takes the next one as it is),\n"
         "                   and Serve: no key, but serve the requests of other instances for up\n"
         "                   to 10 seconds, until one sent a message to or activated a window\n"
         "  --keys-file FILE the key script from a file\n"
         "  --trace          print the screen after every key\n"
         "  --marks          start each line with '>' where the row shows the selection\n"
         "  --home DIR       the program folder (as TESSRA_HOME)\n"
         "  --device DIR     the phone's root folder; runs that share it see each other as\n"
         "                   running instances (default: a fresh one of this run's own)\n"
         "  --locale ID      the phone's locale (default en_US)\n"
         "  --now TIME       the phone's fixed clock\n"
         "  --screen WxH, --dpi N   the screen\n"
         "  -- ARGS          the program's own command line\n";
}

namespace {

void printScreen(const std::string* header, bool marks) {
  if (header != nullptr) std::fputs(header->c_str(), stdout);
  std::fputs(screenText(platform::renderScreen(), marks).c_str(), stdout);
}

// The run's own phone root folder when no --device was given.
std::string privateDevice;

void makePrivateDevice() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/tessra-drive-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  if (::mkdtemp(name.data()) == nullptr) return;  // the platform's default root then
  privateDevice = name.data();
  platform::setDeviceRoot(privateDevice);
}

// Every way out: other instances stop seeing this one, and the private root
// folder goes.
void leave() {
  platform::instances::withdraw();
  if (!privateDevice.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(privateDevice, ignored);
  }
}

// The Serve pseudo-key: true when another instance's message or activation
// was handled in time.
bool serveOtherInstances() {
  if (platform::instances::requestFd() < 0) return false;  // no window: nobody can reach this run
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(serveTimeoutMs);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    if (platform::instances::serve(static_cast<int>(left))) return true;
  }
}

}  // namespace

int runDriver(int argc, char** argv, MainRoutine main) {
  static Options options;
  std::string error;
  if (!parseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "tessra-drive: %s\n%s", error.c_str(), usage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(usage().c_str(), stdout);
    return 0;
  }
  platform::configureScreen(options.screen);
  platform::setFixedLocalTime(options.now);
  platform::setLocale(options.locale);
  if (options.home) platform::setProgramFolder(*options.home);
  if (options.device) {
    platform::setDeviceRoot(*options.device);
  } else {
    makePrivateDevice();
  }

  // The program asks for a key each time it waits for input: that is when
  // the trace shows the screen the previous key led to. With no key left the
  // screen is printed and the process ends, without running more app code.
  static std::size_t next = 0;
  platform::setInputSource([]() -> std::optional<platform::KeyEvent> {
    if (options.trace) {
      std::string header = next == 0 ? std::string("-- start --\n")
                                     : "-- key " + std::to_string(next) + ": " + options.keys[next - 1].name + " --\n";
      printScreen(&header, options.marks);
    }
    if (next >= options.keys.size()) {
      if (!options.trace) printScreen(nullptr, options.marks);
      std::fflush(stdout);
      leave();
      std::_Exit(0);
    }
    const ScriptKey& key = options.keys[next++];
    if (key.serve) {
      if (!serveOtherInstances())
        std::fprintf(stderr, "tessra-drive: Serve: no other instance sent a message within %d seconds\n",
                     serveTimeoutMs / 1000);
      // The loop looks at its queue again: the request may have queued work.
      return platform::KeyEvent{platform::Key::None, 0};
    }
    return key.event;
  });

  main(reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000}), options.commandLine.c_str());
  // The program ended before the script did: show what is left.
  printScreen(nullptr, options.marks);
  std::fflush(stdout);
  leave();
  return 0;
}

}  // namespace driver
