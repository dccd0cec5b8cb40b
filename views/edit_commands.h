// The record menu's New, Duplicate and Delete.
#pragma once

#include "storage/format.h"

struct Database;

// On the Editing screen: commits the current record, then starts a new one
// that the next commit places: empty (New), or holding what the controls
// show (duplicate). It is marked modified.
ErrorCode startNewRecord(Database& db, int duplicate);

// Deletes the current record (on the ListView, the selected row's): its
// values are emptied through the commit, it leaves the chain and the index,
// the next included record (or the previous one at the end) becomes current,
// and its room is given back.
ErrorCode deleteRecord(Database& db);
