// Bringing a database named on the command line into the program folder.
#pragma once

#include "storage/format.h"

struct Database;

// Copies the file at path into the program folder, asking before it
// replaces a database of the same name; on success path names the copy
// (or the file itself when it already lies there). 4 when the user keeps
// neither.
ErrorCode importDatabase(Database& db, char16_t* path);
