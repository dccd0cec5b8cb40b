// tessra-term-demo: the demo program in the terminal (the app's own main
// routine takes its place once it exists).
#include "frontends/demo/demo_main.h"
#include "frontends/terminal/terminal.h"

int main(int argc, char** argv) { return runTerminal(argc, argv, demoMain); }
