// Identifiers of the program's resources and commands.
#pragma once

#include <cstdint>

namespace res {
// Menus and soft-key bars
constexpr unsigned recordMenu = 101;
constexpr unsigned catalogueMenu = 102;
constexpr unsigned catalogueBar = 103;
constexpr unsigned listBar = 104;
constexpr unsigned formBar = 105;
constexpr unsigned editBar = 106;
constexpr unsigned dialogBar = 153;
// Dialogs
constexpr unsigned listDialog = 150;  // "Pick Column", "Search For", "Send SMS"
constexpr unsigned emailDialog = 151;
constexpr unsigned passwordDialog = 152;
// Controls
constexpr int listBoxId = 117;
constexpr int searchInputId = 119;
constexpr int emailSubjectId = 120;
constexpr int emailRecipientsId = 121;
constexpr int emailServiceId = 123;
constexpr int messageEditId = 124;
constexpr int emailSpinnerId = 125;
constexpr int passwordEditId = 132;
constexpr int smsNumberId = 141;
// Icon
constexpr unsigned appIcon = 2000;
}  // namespace res

// Strings of the string table.
namespace str {
constexpr unsigned smsSent = 1;
constexpr unsigned inOutbox = 2;
constexpr unsigned canceled = 4;
constexpr unsigned confirmDeleteRecord = 5;
constexpr unsigned confirmDeleteDatabase = 6;
constexpr unsigned confirmOverwrite = 7;
constexpr unsigned useExisting = 8;
constexpr unsigned appName = 54;
constexpr unsigned dial = 55;
constexpr unsigned open = 56;
constexpr unsigned done = 59;
constexpr unsigned menu = 60;
constexpr unsigned ok = 61;
constexpr unsigned cancel = 64;
constexpr unsigned pickColumn = 74;
constexpr unsigned searchFor = 75;
constexpr unsigned sendSms = 76;
constexpr unsigned phone = 77;
constexpr unsigned message = 78;
}  // namespace str

// Commands of the menus and soft keys.
enum CommandId : std::uint16_t {
  cmdOpen = 202,
  cmdEmail = 208,
  cmdDeleteDatabase = 209,
  cmdClose = 210,
  cmdMenu = 230,
  cmdShowList = 236,
  cmdDone = 237,
  cmdEdit = 238,
  cmdCancel = 239,
  cmdSort = 240,
  cmdSearch = 241,
  cmdNew = 242,
  cmdDuplicate = 243,
  cmdDeleteRecord = 244,
  cmdDial = 246,
};

// The message a second instance sends the first for "/f".
constexpr unsigned WM_TESSRA_REFRESH = 0x0400 + 100;  // 1124
