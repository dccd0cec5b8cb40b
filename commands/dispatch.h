// Command dispatch, the screen switches and messages.
#pragma once

#include <cstdint>

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

std::int32_t dispatchCommand(HWND window, WORD commandId, HWND control, WORD notifyCode);
ErrorCode showListView(Database& db);
ErrorCode showFormView(Database& db, bool discard);
ErrorCode startEditing(Database& db);
// Before a database is closed: saves a pending edit and leaves the ListView
// without loading its selected record, which might be the unreadable one
// that the user wants to get away from.
ErrorCode leaveRecord(Database& db);
void focusFirstInputItem(Database& db);
