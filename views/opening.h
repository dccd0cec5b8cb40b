// Opening and closing a database on the screen: the store's file and
// records, the brushes of its colours and the form of its layout.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

// The brush of a colour from the 64-slot cache; none for 0xFFFFFFFF.
HBRUSH brushFor(Database& db, COLORREF colour);

// Opens path for reading and writing without sharing, reads its layout
// (asking for its password), builds the form under ownerWindow and loads
// the RecordIndex, showing the first included record.
ErrorCode openDatabase(HWND ownerWindow, Database& db, const char16_t* path);

// Reads the DataHeader and walks the record chain into the RecordIndex, then
// shows the first included record.
ErrorCode loadRecordIndex(Database& db);

// Commits a pending edit and forgets the record state.
ErrorCode commitAndReset(Database& db);

// With an owner window, commits first (a failure keeps the database open);
// without one, discards. Destroys the form's controls.
ErrorCode closeDatabase(HWND ownerWindow, Database& db);
