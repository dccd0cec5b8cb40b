// The JSON the tool reads and writes: objects keep their keys in order, so
// that a dump reads in the order of the file.
#pragma once

#include <nlohmann/json.hpp>

namespace tsq {
using Json = nlohmann::ordered_json;
}  // namespace tsq
