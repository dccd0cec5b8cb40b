// The list of records, the list box's action key, and control colours.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

ErrorCode fillRecordList(Database& db);
LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HBRUSH colourControl(Database& db, HWND window, UINT message, HDC dc, HWND control);
