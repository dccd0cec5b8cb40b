// Showing a database: for a person, or as the definition that makes it.
#pragma once

#include <ostream>

#include "storage/writer.h"

namespace tsq {

// Header, layout and records as readable text.
void printDatabase(const DatabaseImage& image, std::ostream& out);

// The definition (JSON) that `tsq create` turns back into the same database.
void printDefinition(const DatabaseImage& image, std::ostream& out);

}  // namespace tsq
