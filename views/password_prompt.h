// The password prompt of a protected database (dialog 152).
#pragma once

// Runs the dialog modally, owned by the MainWindow of the Database that
// context points to; true when the typed text matches password, ignoring
// case. It is the password check that opening a database hands the
// layout reader.
bool promptPassword(void* context, const char16_t* password);
