// The Sort command: the "Pick Column" dialog and the re-sorted database.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Asks for the item to order by and re-sorts the records on it; 4 when the
// user cancels. The current record stays current; the ListView is refilled.
ErrorCode sortRecords(Database& db);

// The dialog procedure of the "Pick Column" dialog (resource 150): ends
// with the chosen item's index, or -1.
INT_PTR pickColumnDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
