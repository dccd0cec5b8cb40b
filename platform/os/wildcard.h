// Wildcard matching of file names, as the phone's file search does it.
#pragma once

#include <string_view>

namespace platform::os {

// True when name matches pattern as a whole: '*' stands for any run of
// units (also none), '?' for exactly one; other units match after simple
// case folding, because the phone's file names ignore case.
bool matchesWildcard(std::u16string_view pattern, std::u16string_view name);

}  // namespace platform::os
