// The SmsButton: the "Send SMS" dialog, prefilled from two items of the
// current record or from what the database remembers, and the message
// handed to the phone's SMS service.
#pragma once

#include "platform/windows.h"
#include "storage/format.h"

struct Database;

constexpr int smsTextRoom = 256;  // 255 characters and the terminator

// What the dialog shows and, confirmed, what it hands back.
struct SmsRequest {
  char16_t number[smsTextRoom] = {};
  char16_t message[smsTextRoom] = {};
  Database* database = nullptr;  // for the resource instance, the font and the resolution
};

// Saves a pending edit, asks for the number and text, remembers them in
// the file when they changed, and sends the message. 29 while editing, 4
// when the dialog was not confirmed (nothing stored, nothing sent), 16 when
// the remembered texts could not be written (nothing sent), 46 when the
// phone refused the message.
ErrorCode sendSms(Database& db, const SmsItems& smsItems);

// The dialog procedure of the "Send SMS" dialog (template 150). Ends with
// 1 when confirmed (the request updated), 0 when cancelled, -1 when it
// could not be set up.
INT_PTR smsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
