// Turns the phone's UTF-16 paths into POSIX paths.
//
// Paths on this platform use '/' and name host files directly. Two phone
// habits are kept working: '\' is taken as a separator too, and a path that
// begins with a single '\' ("\Tessra.tmp") is rooted at the phone's root
// folder (deviceRoot()), as the phone's own file system would root it.
#pragma once

#include <optional>
#include <string>

#include "platform/win_types.h"

namespace platform::os {

// The POSIX path (UTF-8) for a phone path; nullopt, with the last error set,
// for a null or empty path.
std::optional<std::string> toPosixPath(LPCWSTR path);

}  // namespace platform::os
