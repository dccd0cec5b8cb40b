// The string table: every message and label text of the program.
#pragma once

#include <span>

#include "platform/resource_data.h"

namespace res {
using StringEntry = platform::StringData;
std::span<const StringEntry> stringTable();
// The text of a string id, or null when the table has none.
const char16_t* findString(unsigned id);
}  // namespace res
