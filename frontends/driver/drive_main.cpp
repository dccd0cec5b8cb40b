// tessra-drive: the headless driver around the demo program (the app's own
// main routine takes its place once it exists).
#include "frontends/demo/demo_main.h"
#include "frontends/driver/driver.h"

int main(int argc, char** argv) { return driver::runDriver(argc, argv, demoMain); }
