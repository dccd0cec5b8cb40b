// Start-up as a single instance, the message loop, and the end.
#pragma once

#include "platform/windows.h"

bool registerMainClass(HINSTANCE instance);
HWND initialiseInstance(HINSTANCE instance, const char16_t* commandLine, int showState);
void releaseInstance(HINSTANCE instance);
void unregisterMainClass(HINSTANCE instance);

// The main routine: returns the exit code.
int tessraMain(HINSTANCE instance, const char16_t* commandLine);
