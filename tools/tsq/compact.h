// tsq compact: the data area rewritten without free space, as VACUUM does
// for SQLite. The header and layout stay byte for byte; the records keep
// their values, order and flags, and the sort item and the remembered SMS
// texts stay.
#pragma once

#include <string>
#include <vector>

#include "tools/tsq/console.h"
#include "tools/tsq/tsq_file.h"

namespace tsq {

// The file's bytes with its data area packed: the DataHeader, then each
// record (its RecordHeader, then its FieldEntries) in chain order, then the
// remembered SMS texts; no free list.
ErrorCode compactBytes(const TsqFile& file, std::vector<std::uint8_t>& bytes);

// The whole command. Refuses a file another program holds (Tessra has it
// open: exitFailure) and one that is not sound (exitProblems).
int compactCommand(const std::string& databasePath, Console& console);

}  // namespace tsq
