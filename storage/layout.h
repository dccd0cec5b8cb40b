// Reading the header and layout of a tsq file.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Asks the user for the password of a protected database; true when the
// typed text matches db.password (ignoring case).
using PasswordCheck = bool (*)(HWND owner, Database& db);

// Reads header and layout from offset 0 of a freshly opened file. On success
// the file position is the start of the data area. Any failure resets the
// header fields (15), a newer version gives 25, an unconfirmed password 33.
// Every count, index and text is checked against its room: a file that does
// not fit the in-memory layout is refused with 15.
ErrorCode readLayoutWith(HANDLE file, Database& db, PasswordCheck checkPassword);

// The program's reader: asks with the password dialog.
ErrorCode readLayout(HANDLE file, Database& db);

// Resets the header fields as a failed read leaves them.
void resetHeaderFields(Database& db);
