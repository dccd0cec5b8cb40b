// Dial: calls the phone number held in the current record through the
// phone's shell.
#pragma once

#include "storage/format.h"

struct Database;

// The number of the phone-number field that has the focus, else of the
// first one (Text Fields typed on the keypad), cut to 80 characters. On
// the ListView the selected row's record becomes current first. 30 without
// a current record or a phone-number field; 53 on Editing or the Catalogue
// and for a layout item the form cannot show.
ErrorCode dialCurrentRecord(Database& db);

// Hands "TEL:" and the number, unfiltered, to the shell's "open".
void dialNumber(const char16_t* number);
