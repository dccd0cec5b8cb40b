// tessra-drive: the program under the headless driver.
#include "frontends/driver/driver.h"
#include "shell/startup.h"

int main(int argc, char** argv) { return driver::runDriver(argc, argv, tessraMain); }
