// The file that travels by e-mail: the database itself, or a copy of it
// without the header's text, made as the temporary file "\Tessra.tmp" in
// the phone's root folder. No window is touched and the database is not
// open while this runs.
#pragma once

#include "storage/format.h"

// Where the copy is made; whoever attaches it deletes it afterwards.
inline constexpr char16_t exportCopyPath[] = u"\\Tessra.tmp";

// Decides which file to attach for sourcePath and writes it into attachPath
// (room::filePath units): sourcePath itself when its headerText is empty,
// otherwise exportCopyPath, written anew with an empty headerText, header
// field 4 set to 0, and every other byte as the source has it. 15 for a
// source that cannot be opened or whose header cannot be read (a short one
// too), 25 for a newer version, 16 when the copy cannot be written; on
// every failure no copy is left behind.
ErrorCode makeExportCopy(const char16_t* sourcePath, char16_t* attachPath);
