#include "platform/os/wildcard.h"

#include <unicode/uchar.h>

namespace platform::os {

namespace {

bool sameUnit(char16_t a, char16_t b) {
  return a == b || u_foldCase(a, U_FOLD_CASE_DEFAULT) == u_foldCase(b, U_FOLD_CASE_DEFAULT);
}

}  // namespace

// Greedy matching with one remembered '*': linear in practice and never
// worse than pattern length x name length, so hostile names cannot make it
// run away.
bool matchesWildcard(std::u16string_view pattern, std::u16string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::u16string_view::npos;
  std::size_t resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || sameUnit(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::u16string_view::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

}  // namespace platform::os
