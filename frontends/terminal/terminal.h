// The terminal front-end: shows the emulated phone in a terminal (ncursesw)
// and feeds it the user's keys.
#pragma once

#include "platform/win_types.h"

// The program's main routine, as the phone starts it.
using MainRoutine = int (*)(HINSTANCE, const char16_t* commandLine);

// Sets the phone up from the command line (--home DIR, --device DIR,
// --locale ID, --screen WxH, --dpi N, and -- ARGS for the program's own
// command line), runs main in the terminal and returns its result, or 2 for
// a bad command line. The terminal is restored on every way out.
int runTerminal(int argc, char** argv, MainRoutine main);
