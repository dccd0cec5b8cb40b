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
int showMessage(HWND owner, WORD stringId, UINT flags);
void focusFirstInputItem(Database& db);
