// A small demo program for the front-ends until the app's own main routine
// exists: one window holding one control of each standard class, a soft-key
// bar with a menu, a message box and a dialog.
#pragma once

#include "platform/win_types.h"

int demoMain(HINSTANCE instance, const char16_t* commandLine);
