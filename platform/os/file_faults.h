// Faults that tests arm in the file layer (see platform/emulator.h).
#pragma once

#include "platform/emulator.h"

namespace platform::os {

// Counts one operation of the kind and tells whether an armed fault makes
// it fail.
bool fileOperationFails(FileOp op);

}  // namespace platform::os
