// The keypad behaviour of the form's controls and the form's scrolling.
#pragma once

#include <cstdint>

#include "platform/windows.h"

struct Database;

void moveFocus(Database& db, bool up);
LRESULT editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT datePickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT checkBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT pickListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void scrollForm(Database& db, HWND window, WPARAM request);
void ensureVisible(Database& db, std::int32_t index, bool withLabels);
// Focuses the control of currentItem and brings it into view.
void focusCurrentItem(Database& db);
