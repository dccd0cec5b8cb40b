#include "storage/checks.h"

#include <cstdio>
#include <cstdlib>

namespace {
char lastPlace[256] = {};
}  // namespace

void assertionFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::abort();
}

ErrorCode internalErrorAt(const char* file, int line) {
  std::snprintf(lastPlace, sizeof lastPlace, "%s:%d", file, line);
  if (TESSRA_CHECKS) std::fprintf(stderr, "Internal error at %s\n", lastPlace);
  return err::internal;
}

const char* lastInternalError() { return lastPlace; }
