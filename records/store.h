// The record store: the one path by which record data reaches the file.
#pragma once

#include <cstdint>

#include "storage/format.h"

struct Database;

// Writes the form's edits of the current record into the file when it is
// marked modified; places new or re-keyed records in sort order.
ErrorCode commitRecord(Database& db, int allowReorder);

// Takes the current entry out of the RecordIndex (the caller has already
// lowered recordCount); renumbers the ListView's rows.
ErrorCode removeIndexEntry(Database& db);
