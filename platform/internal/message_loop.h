// The parts of the message queue that modal loops (dialogs, message boxes)
// share with GetMessageW.
#pragma once

#include "platform/win_user.h"

namespace platform::detail {

enum class WaitResult {
  Message,  // msg holds a message for root (or for any window when root is null)
  Quit,     // a WM_QUIT is due; its code is in msg.wParam
  NoInput,  // the queue is empty and no input source is set
  Leave,    // the input source said the user leaves the program
};
// Takes the next message for `root` and its windows (descendants and owned
// windows), asking the input source for keys while there is none. Messages
// for other windows stay queued, in order, until a loop that takes them.
WaitResult waitMessage(MSG& msg, HWND root);

// Runs a dialog's or message box's own loop until it ends. Returns false
// when the loop stopped for a quit, a missing input source or the user
// leaving; a pending quit is kept for the loops outside.
bool runModalLoop(HWND dialog);

// Posts WM_CLOSE to the main window, as the phone's home key would.
void closeMainWindow();

}  // namespace platform::detail
