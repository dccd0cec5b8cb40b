// tessra: the program in the terminal.
#include "frontends/terminal/terminal.h"
#include "shell/startup.h"

int main(int argc, char** argv) { return runTerminal(argc, argv, tessraMain); }
