// The list of records and the colours of the controls.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Saves a pending edit, then lists one row per included record and selects
// the current record's row (nothing to do while the ListView is shown).
ErrorCode fillRecordList(Database& db);
// The rows alone: the list emptied and filled again from the RecordIndex,
// the current record's row selected.
ErrorCode fillRows(Database& db);
// Before the current entry leaves the RecordIndex (recordCount already
// lowered): deletes its row and renumbers the rows after it, checking that
// each row still names its entry.
ErrorCode removeListRow(Database& db);
HBRUSH colourControl(Database& db, HWND window, UINT message, HDC dc, HWND control);
