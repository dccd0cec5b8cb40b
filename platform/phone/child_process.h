// Running the helper programs the phone hands its services to (a dialler,
// an SMS gateway): no shell, the arguments as a list, the standard streams
// on /dev/null so that nothing disturbs the terminal the phone is drawn on.
#pragma once

#include <string>
#include <vector>

namespace platform::phone {

// Runs program (a path, or a name looked up in PATH) with the arguments and
// waits for it. Its exit status, or -1 when it could not be started or did
// not exit normally.
int runAndWait(const std::string& program, const std::vector<std::string>& arguments);

// Starts program in a session of its own and returns at once; the child is
// reaped as soon as it ends, so none is left behind as a zombie. False when
// it could not be started.
bool startDetached(const std::string& program, const std::vector<std::string>& arguments);

// Waits until every program startDetached started has ended (tests).
void waitForDetached();

}  // namespace platform::phone
