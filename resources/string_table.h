// The string table: every message and label text of the program.
#pragma once

#include <span>

namespace res {
struct StringEntry {
  unsigned id;
  const char16_t* text;
};
std::span<const StringEntry> stringTable();
// The text of a string id, or null when the table has none.
const char16_t* findString(unsigned id);
}  // namespace res
