// The list of records and the colours of the controls.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

ErrorCode fillRecordList(Database& db);
HBRUSH colourControl(Database& db, HWND window, UINT message, HDC dc, HWND control);
