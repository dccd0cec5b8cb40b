// The Email dialog: the messaging services of the phone on one line
// stepped by its spinner, then To, Subject and Message.
#include "commands/email.h"

#include "resources/ids.h"
#include "storage/database.h"
#include "views/chrome.h"

namespace {

constexpr char16_t servicesKey[] = u"Software\\Microsoft\\Inbox\\SyncServiceProviders";
constexpr char16_t defaultService[] = u"ActiveSync";
// More services than a phone has; a key with more is read this far.
constexpr DWORD maxServices = 256;

// The subkeys of the services key in the order the registry gives them,
// and "ActiveSync" after them unless one of them is named so.
void listServices(HWND list, EmailRequest& request) {
  bool haveDefault = false;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, servicesKey, 0, 0, &key) == ERROR_SUCCESS) {
    for (DWORD index = 0; index < maxServices; ++index) {
      DWORD size = serviceRoom;
      if (RegEnumKeyExW(key, index, request.service, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(request.service));
      if (_wcsicmp(request.service, defaultService) == 0) haveDefault = true;
    }
    RegCloseKey(key);
  }
  request.service[0] = 0;
  if (!haveDefault) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(defaultService));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
}

}  // namespace

INT_PTR emailDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* request = reinterpret_cast<EmailRequest*>(lParam);
      SetWindowLongW(dialog, DWL_USER, lParam);
      CommCtrlInitDialog(dialog, GetParent(dialog));
      if (request == nullptr || request->database == nullptr) {
        EndDialog(dialog, 0);
        return TRUE;
      }
      listServices(GetDlgItem(dialog, res::emailServiceId), *request);
      SetDlgItemTextW(dialog, res::emailRecipientsId, request->database->store.layout.mailRecipient);
      SetDlgItemTextW(dialog, res::emailSubjectId, request->subject);
      SendDlgItemMessageW(dialog, res::emailSubjectId, EM_LIMITTEXT, subjectRoom - 1, 0);
      SendDlgItemMessageW(dialog, res::messageEditId, EM_LIMITTEXT, bodyRoom - 1, 0);
      if (!setUpDialogShell(dialog, request->database->ui.instance)) EndDialog(dialog, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* request = reinterpret_cast<EmailRequest*>(GetWindowLongW(dialog, DWL_USER));
      if (LOWORD(wParam) == IDOK && request != nullptr) {
        // The one-row list's window text is its selected service.
        GetWindowTextW(GetDlgItem(dialog, res::emailServiceId), request->service, serviceRoom);
        GetDlgItemTextW(dialog, res::emailRecipientsId, request->recipients, recipientsRoom);
        GetDlgItemTextW(dialog, res::emailSubjectId, request->subject, subjectRoom);
        GetDlgItemTextW(dialog, res::messageEditId, request->body, bodyRoom);
        EndDialog(dialog, 1);
        return TRUE;
      }
      return commonDialogMessage(dialog, message, wParam, lParam);
    }
    default:
      return commonDialogMessage(dialog, message, wParam, lParam);
  }
}
