// The password prompt of a protected database (dialog 152).
#pragma once

#include "platform/windows.h"

struct Database;

// Runs the dialog modally; true when the typed text matches db.password,
// ignoring case.
bool promptPassword(HWND ownerWindow, Database& db);
