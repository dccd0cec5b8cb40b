// UTF-16 <-> UTF-8 at the edges of the program (terminal, command line, file
// system names). Invalid sequences become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace platform {
std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
}  // namespace platform
