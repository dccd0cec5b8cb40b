// The terminal front-end's command line.
#pragma once

#include <optional>
#include <string>

#include "platform/phone.h"

namespace terminal {

struct Options {
  std::string home;    // program folder; empty: the platform's default
  std::string device;  // the phone's root folder; empty: the default
  std::string locale;  // ICU id; empty: from the environment
  platform::ScreenConfig screen;
  std::u16string commandLine;  // the program's own, after "--"
  bool help = false;
};

// The parsed options, or nullopt with a message in error.
std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error);

std::string usage(const std::string& program);

}  // namespace terminal
