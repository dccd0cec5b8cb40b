#include "commands/sms.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "platform/sms.h"
#include "records/stored_texts.h"
#include "resources/ids.h"
#include "storage/checks.h"
#include "storage/database.h"
#include "views/chrome.h"
#include "views/commit.h"

namespace {

constexpr int titleRoom = 32;
constexpr int labelRoom = 32;
constexpr WPARAM maxSmsLength = smsTextRoom - 1;
constexpr DWORD labelStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_NOTIFY;
constexpr DWORD editStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | ES_AUTOHSCROLL;
static_assert(labelStyle == 0x54000100 && editStyle == 0x54030080);

void copyCut(const char16_t* text, char16_t* out, std::size_t room) {
  std::size_t length = 0;
  while (length + 1 < room && text[length] != 0) ++length;
  std::copy(text, text + length, out);
  out[length] = 0;
}

// The text to offer from the item at index, or from what is remembered
// when the record holds none.
ErrorCode offer(const Database& db, std::uint32_t index, const char16_t* remembered, char16_t* out) {
  const Layout& layout = db.store.layout;
  out[0] = 0;
  if (db.store.records.includedCount != 0 && index != noItem) {
    if (index >= static_cast<std::uint32_t>(layout.itemCount)) return internalError();
    const FieldValue& value = layout.items[index].value;
    if (static_cast<ValueType>(value.valueType) != ValueType::Text) return internalError();
    copyCut(value.payload.text.chars, out, std::min<std::size_t>(smsTextRoom, value.payload.text.count));
  }
  if (out[0] == 0) copyCut(remembered, out, smsTextRoom);
  return err::ok;
}

// Hands the message to the phone; true when it accepted it.
bool sendTextMessage(const char16_t* number, const char16_t* text) {
  SMS_HANDLE handle = 0;
  if (FAILED(SmsOpen(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, &handle, nullptr))) return false;
  SMS_ADDRESS to{};
  to.smsatAddressType = SMSAT_UNKNOWN;
  copyCut(number, to.ptsAddress, SMS_MAX_ADDRESS_LENGTH);
  TEXT_PROVIDER_SPECIFIC_DATA provider{};
  provider.dwMessageOptions = PS_MESSAGE_OPTION_NONE;
  provider.psMessageClass = PS_MESSAGE_CLASS1;
  provider.psReplaceOption = PSRO_NONE;
  const std::size_t length = wcslen16(text);
  SMS_MESSAGE_ID id = INVALID_MESSAGE_ID;
  const HRESULT sent = SmsSendMessage(handle, nullptr, &to, nullptr, reinterpret_cast<const BYTE*>(text),
                                      static_cast<DWORD>((length + 1) * sizeof(char16_t)),
                                      reinterpret_cast<const BYTE*>(&provider), sizeof provider, SMSDE_OPTIMAL,
                                      SMS_OPTION_DELIVERY_NONE, &id);
  SmsClose(handle);
  return SUCCEEDED(sent);
}

HWND createChild(HWND dialog, HINSTANCE instance, LPCWSTR className, LPCWSTR text, DWORD style, int id, int top,
                 int width, int height) {
  return CreateWindowExW(0, className, text, style, 5, top, width, height, dialog,
                         reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), instance, nullptr);
}

// The four rows of the dialog, centred in its client area; false when a
// control could not be made.
bool buildSmsControls(HWND dialog, const SmsRequest& request) {
  const Database& db = *request.database;
  RECT client{};
  GetClientRect(dialog, &client);
  const int width = client.right - client.left - 10;
  const int h = db.ui.highResolution != 0 ? 27 : 18;
  const int g = db.ui.highResolution != 0 ? 6 : 4;
  const int y0 = (client.bottom - client.top - (6 * h + 5 * g)) / 2;
  WCHAR phone[labelRoom] = {};
  WCHAR message[labelRoom] = {};
  LoadStringW(db.ui.instance, str::phone, phone, labelRoom);
  LoadStringW(db.ui.instance, str::message, message, labelRoom);
  HWND controls[] = {
      createChild(dialog, db.ui.instance, u"STATIC", phone, labelStyle, -1, y0, width, h),
      createChild(dialog, db.ui.instance, u"EDIT", request.number, editStyle, res::smsNumberId, y0 + (h + g), width, h),
      createChild(dialog, db.ui.instance, u"STATIC", message, labelStyle, -1, y0 + 2 * (h + g), width, h),
      createChild(dialog, db.ui.instance, u"EDIT", request.message, editStyle, res::messageEditId, y0 + 3 * (h + g),
                  width, h),
  };
  for (HWND control : controls)
    if (control == nullptr) return false;
  SendMessageW(controls[1], EM_SETINPUTMODE, 0, IM_NUMBERS);
  SendMessageW(controls[1], EM_LIMITTEXT, maxSmsLength, 0);
  SendMessageW(controls[3], EM_LIMITTEXT, maxSmsLength, 0);
  if (db.ui.controlFont != nullptr)
    for (HWND control : controls) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(db.ui.controlFont), FALSE);
  SetFocus(controls[1]);
  return true;
}

}  // namespace

INT_PTR smsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* request = reinterpret_cast<SmsRequest*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      if (request == nullptr || request->database == nullptr) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      WCHAR title[titleRoom] = {};
      LoadStringW(request->database->ui.instance, str::sendSms, title, titleRoom);
      SetWindowTextW(dialog, title);
      ShowWindow(GetDlgItem(dialog, res::listBoxId), SW_HIDE);
      if (!setUpDialogShell(dialog, request->database->ui.instance) || !buildSmsControls(dialog, *request)) {
        EndDialog(dialog, -1);
        return TRUE;
      }
      return FALSE;  // the number box has the focus
    }
    case WM_COMMAND: {
      auto* request = reinterpret_cast<SmsRequest*>(GetWindowLongW(dialog, DWL_USER));
      if (LOWORD(wParam) == IDOK && request != nullptr) {
        GetDlgItemTextW(dialog, res::smsNumberId, request->number, smsTextRoom);
        GetDlgItemTextW(dialog, res::messageEditId, request->message, smsTextRoom);
        EndDialog(dialog, 1);
        return TRUE;
      }
      return commonDialogMessage(dialog, message, wParam, lParam);
    }
    default:
      return commonDialogMessage(dialog, message, wParam, lParam);
  }
}

ErrorCode sendSms(Database& db, const SmsItems& smsItems) {
  if (db.screen == Screen::Editing) return err::whileEditing;
  if (db.screen != Screen::FormView) return internalError();
  ErrorCode code = commitRecord(db, 1);
  if (code != err::ok) return code;

  DataFile& file = db.store.file;
  char16_t rememberedNumber[room::valueText] = {};
  char16_t rememberedMessage[room::valueText] = {};
  code = readStoredText(file, file.header.smsNumberValue, rememberedNumber, room::valueText);
  if (code == err::ok) code = readStoredText(file, file.header.smsMessageValue, rememberedMessage, room::valueText);
  if (code != err::ok) return code;

  SmsRequest request;
  request.database = &db;
  code = offer(db, smsItems.phoneItem, rememberedNumber, request.number);
  if (code == err::ok) code = offer(db, smsItems.messageItem, rememberedMessage, request.message);
  if (code != err::ok) return code;

  // Only a confirmation sends: a dialog that could not even be set up
  // (-1) must not send a chargeable message unseen.
  const INT_PTR answer = DialogBoxParamW(db.ui.instance, MAKEINTRESOURCEW(res::listDialog), db.ui.mainWindow,
                                         smsDialog, reinterpret_cast<LPARAM>(&request));
  if (answer != 1) return err::canceled;

  const bool numberChanged = std::u16string_view(request.number) != std::u16string_view(rememberedNumber);
  const bool messageChanged = std::u16string_view(request.message) != std::u16string_view(rememberedMessage);
  if (numberChanged || messageChanged) {
    code = replaceStoredTexts(db.store, numberChanged ? request.number : nullptr,
                              messageChanged ? request.message : nullptr);
    if (code != err::ok) return code;
  }
  return sendTextMessage(request.number, request.message) ? err::ok : err::smsFailed;
}
