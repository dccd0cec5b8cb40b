// The Search command: a value of the sort item asked for in the "Search
// For" dialog, and the first included record whose key is not below it.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// Asks for a key (starting from the current record's) and makes the first
// included record at or after it current; on the ListView its row is
// selected. 28 without a sort order, 4 when the user cancels, 26 when no
// included record has such a key (the current record stays).
ErrorCode searchRecords(Database& db);

// What the "Search For" dialog works on: the probe it fills on OK.
struct SearchRequest {
  Database* db;
  FieldValue* probe;
};

// The dialog procedure of the "Search For" dialog (resource 150 with its
// list hidden); lParam of WM_INITDIALOG is a SearchRequest. Ends with 1
// for OK and 0 for Cancel, -1 when it cannot be set up.
INT_PTR searchForDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
