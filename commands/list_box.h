// The shared list box's action key: it opens the selected database on the
// Catalogue and the selected record on the ListView.
#pragma once

#include "platform/windows.h"

LRESULT listBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
