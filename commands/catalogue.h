// The Catalogue: the databases of the program folder, listed in the
// shared list box, and deleting one of them.
#pragma once

#include "storage/format.h"

struct Database;

// Switches to the Catalogue if needed (saving a pending edit and closing
// the database) and lists the database files afresh.
ErrorCode listDatabases(Database& db);

// Deletes the selected entry's file after the user confirmed it.
ErrorCode deleteDatabase(Database& db);
