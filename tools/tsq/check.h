// Verifying a tsq file's data area: the record chain, the FieldEntries, the
// free list and the remembered SMS texts.
#pragma once

#include <string>
#include <vector>

#include "tools/tsq/tsq_file.h"

namespace tsq {

// One line per problem found; empty when the file is sound.
std::vector<std::string> checkFile(const TsqFile& file);

// Orders two values of one column as the program sorts them: no value
// first, Text ignoring case, dates by day, times by second, no before yes,
// numbers by value. Null stands for a record without an entry.
int compareKeys(const FieldValue* a, const FieldValue* b);

}  // namespace tsq
