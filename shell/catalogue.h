// The catalogue of databases in the program folder.
#pragma once

#include "storage/format.h"

struct Database;

// The program folder with its final '/'; false when it does not fit 260 units.
bool programFolder(char16_t* path);

// Builds programFolder + name + ".tsq"; false when it does not fit 260 units.
bool databasePath(const char16_t* name, char16_t* path);

ErrorCode listDatabases(Database& db);
ErrorCode importDatabase(Database& db, char16_t* path);
ErrorCode deleteDatabase(Database& db);
