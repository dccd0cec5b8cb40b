// Verifying a tsq file's data area: the record chain, the FieldEntries, the
// free list and the remembered SMS texts.
#pragma once

#include <string>
#include <vector>

#include "tools/tsq/tsq_file.h"

namespace tsq {

// One line per problem found; empty when the file is sound.
std::vector<std::string> checkFile(const TsqFile& file);

// Orders two values of one column as the program sorts them (-1, 0, 1).
// Null stands for a record without an entry: its column's empty value.
int compareKeys(const FieldValue* a, const FieldValue* b);

}  // namespace tsq
