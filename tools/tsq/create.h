// tsq create: a database file from a JSON definition.
#pragma once

#include <string>

#include "tools/tsq/console.h"

namespace tsq {

// Builds OUT from the definition at definitionPath. An existing OUT is
// replaced only with force, and a failure leaves it as it was.
int createCommand(const std::string& out, const std::string& definitionPath, bool force, Console& console);

}  // namespace tsq
