// The Catalogue's "Email": the dialog that asks for the service, the
// recipients, a subject and a text, and the database file (or its export
// copy) queued as an attachment in the chosen message store's Outbox.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

constexpr int serviceRoom = 128;
constexpr int recipientsRoom = 128;
constexpr int subjectRoom = 64;
constexpr int bodyRoom = 1024;

// What the Email dialog shows and, confirmed, hands back.
struct EmailRequest {
  Database* database = nullptr;  // read for the default recipient
  char16_t service[serviceRoom] = {};
  char16_t recipients[recipientsRoom] = {};  // addresses separated by ';'
  char16_t subject[subjectRoom] = {};
  char16_t body[bodyRoom] = {};
};

// E-mails the database selected in the Catalogue. 4 without a selection or
// when the dialog was not confirmed, the export copy's code when it could
// not be made, 31 when the message could not be queued; on success the
// user is told "The database is now in your Outbox". The temporary export
// copy never outlives the command.
ErrorCode emailDatabase(Database& db);

// The dialog procedure of the Email dialog (template 151); its creation
// parameter is the EmailRequest. Ends with 1 when confirmed (the request
// filled in) and 0 when cancelled or when it could not be set up.
INT_PTR emailDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
