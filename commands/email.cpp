#include "commands/email.h"

#include <algorithm>

#include "commands/mail_submission.h"
#include "resources/ids.h"
#include "storage/database.h"
#include "storage/export_copy.h"
#include "storage/paths.h"
#include "storage/primitives.h"
#include "views/chrome.h"

namespace {

void copyCut(const char16_t* text, char16_t* out, std::size_t room) {
  std::size_t length = 0;
  while (length + 1 < room && text[length] != 0) ++length;
  std::copy(text, text + length, out);
  out[length] = 0;
}

}  // namespace

ErrorCode emailDatabase(Database& db) {
  const LRESULT row = SendMessageW(db.ui.listBox, LB_GETCURSEL, 0, 0);
  if (row == LB_ERR) return err::canceled;
  WCHAR name[room::filePath] = {};
  if (SendMessageW(db.ui.listBox, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) >= room::filePath) return err::readData;
  SendMessageW(db.ui.listBox, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(name));
  WCHAR path[room::filePath] = {};
  if (!databasePath(name, path)) return err::readData;

  EmailRequest request;
  request.database = &db;
  const char16_t* mailSubject = db.store.layout.mailSubject;
  copyCut(mailSubject[0] != 0 ? mailSubject : name, request.subject, subjectRoom);
  // Only a confirmation sends: a dialog that failed (-1) is no answer.
  const INT_PTR answer = DialogBoxParamW(db.ui.instance, MAKEINTRESOURCEW(res::emailDialog), db.ui.mainWindow,
                                         emailDialog, reinterpret_cast<LPARAM>(&request));
  if (answer != 1) return err::canceled;

  WCHAR attachPath[room::filePath] = {};
  ErrorCode code = makeExportCopy(path, attachPath);
  if (code != err::ok) return code;
  const int sent = sendMailWithAttachment(request.service, request.recipients, request.subject, request.body,
                                          attachPath, fileNameOf(path));
  if (_wcsicmp(attachPath, path) != 0) DeleteFileW(attachPath);
  if (sent != 1) return err::emailFailed;
  showMessage(db.ui.mainWindow, str::inOutbox, MB_ICONINFORMATION);
  return err::ok;
}
