// Saving the form: the current record's controls, read into values and
// handed to the record store.
#pragma once

#include "storage/format.h"

struct Database;

// Writes the form's edits of the current record into the file when it is
// marked modified; places new or re-keyed records in sort order.
ErrorCode commitRecord(Database& db, int allowReorder);
