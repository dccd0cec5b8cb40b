#include "frontends/terminal/options.h"

#include <charconv>
#include <string_view>

#include "platform/text.h"

namespace terminal {

namespace {

bool parseNumber(std::string_view text, int low, int high, int& out) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return false;
  out = value;
  return true;
}

// "WxH" with each side between 64 and 4096 pixels.
bool parseScreen(std::string_view text, platform::ScreenConfig& screen) {
  const auto x = text.find('x');
  if (x == std::string_view::npos) return false;
  return parseNumber(text.substr(0, x), 64, 4096, screen.width) &&
         parseNumber(text.substr(x + 1), 64, 4096, screen.height);
}

// Arguments are joined with spaces; one holding a space is quoted, as a
// phone's command line would carry a path with spaces.
std::u16string joinArguments(int first, int argc, const char* const* argv) {
  std::u16string line;
  for (int i = first; i < argc; ++i) {
    if (!line.empty()) line += u' ';
    const std::u16string argument = platform::fromUtf8(argv[i]);
    const bool quote = argument.find(u' ') != std::u16string::npos;
    if (quote) line += u'"';
    line += argument;
    if (quote) line += u'"';
  }
  return line;
}

}  // namespace

std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {
      options.commandLine = joinArguments(i + 1, argc, argv);
      break;
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    const bool takesValue = arg == "--home" || arg == "--device" || arg == "--locale" || arg == "--screen" ||
                            arg == "--dpi";
    if (!takesValue) {
      error = "unknown option: " + std::string(arg);
      return std::nullopt;
    }
    if (i + 1 >= argc) {
      error = std::string(arg) + " needs a value";
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (arg == "--home") {
      options.home = value;
    } else if (arg == "--device") {
      options.device = value;
    } else if (arg == "--locale") {
      options.locale = value;
    } else if (arg == "--screen") {
      if (!parseScreen(value, options.screen)) {
        error = "--screen wants WxH, for example 240x320";
        return std::nullopt;
      }
    } else if (!parseNumber(value, 48, 480, options.screen.dpi)) {
      error = "--dpi wants a number from 48 to 480";
      return std::nullopt;
    }
  }
  return options;
}

std::string usage(const std::string& program) {
  return "usage: " + program +
         " [--home DIR] [--device DIR] [--locale ID] [--screen WxH] [--dpi N] [-- ARGS]\n"
         "  --home DIR     the program folder (where the databases lie)\n"
         "  --device DIR   the phone's root folder for its own files\n"
         "  --locale ID    the phone's locale, e.g. en_US or de_DE\n"
         "  --screen WxH   the phone's screen in pixels (default 240x320)\n"
         "  --dpi N        the screen's dots per inch (default 96)\n"
         "  -- ARGS        the program's own command line\n";
}

}  // namespace terminal
