#include "commands/mail_submission.h"

#include <cstring>

#include "platform/windows.h"

namespace {

constexpr DWORD attachBlockSize = 4096;
// The recipients text as the Email dialog hands it over.
constexpr std::size_t maxRecipientsText = 127;
// Room the message store counts for an attachment beyond its bytes.
constexpr LONG attachSizeExtra = 16;

struct MapiLibrary {
  HMODULE module = nullptr;
  LPMAPIINITIALIZE initialize = nullptr;
  LPMAPILOGONEX logon = nullptr;
  LPMAPIALLOCATEBUFFER allocate = nullptr;
  LPMAPIFREEBUFFER free = nullptr;
  LPMAPIUNINITIALIZE uninitialize = nullptr;
};

template <typename Proc>
Proc entryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loads the library with its five exports; false (nothing left loaded) when
// it is missing or lacks one.
bool loadMapi(MapiLibrary& mapi) {
  mapi.module = LoadLibraryW(u"CEMAPI.DLL");
  if (mapi.module == nullptr) return false;
  mapi.initialize = entryPoint<LPMAPIINITIALIZE>(mapi.module, "MAPIInitialize");
  mapi.logon = entryPoint<LPMAPILOGONEX>(mapi.module, "MAPILogonEx");
  mapi.allocate = entryPoint<LPMAPIALLOCATEBUFFER>(mapi.module, "MAPIAllocateBuffer");
  mapi.free = entryPoint<LPMAPIFREEBUFFER>(mapi.module, "MAPIFreeBuffer");
  mapi.uninitialize = entryPoint<LPMAPIUNINITIALIZE>(mapi.module, "MAPIUninitialize");
  if (mapi.initialize != nullptr && mapi.logon != nullptr && mapi.allocate != nullptr && mapi.free != nullptr &&
      mapi.uninitialize != nullptr)
    return true;
  FreeLibrary(mapi.module);
  mapi.module = nullptr;
  return false;
}

// What one e-mail obtains, each released once at the end if it was.
struct MailObjects {
  LPMAPISESSION session = nullptr;
  LPMAPITABLE storeTable = nullptr;
  LPMDB store = nullptr;
  LPMAPIFOLDER folder = nullptr;
  LPMESSAGE message = nullptr;
  LPATTACH attachment = nullptr;
  LPSTREAM stream = nullptr;
};

template <typename T>
void release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void freeRows(const MapiLibrary& mapi, LPSRowSet rows) {
  for (ULONG i = 0; i < rows->cRows; ++i) mapi.free(rows->aRow[i].lpProps);
  mapi.free(rows);
}

LPWSTR text(const char16_t* value) { return const_cast<LPWSTR>(value); }

// The recipients as a MAPI address list: one "To" entry per part between
// ';' characters, empty parts included. The list and each entry's values
// are buffers of their own; freeAddressList gives them all back.
void freeAddressList(const MapiLibrary& mapi, LPADRLIST list) {
  for (ULONG i = list->cEntries; i > 0; --i) mapi.free(list->aEntries[i - 1].rgPropVals);
  mapi.free(list);
}

LPADRLIST addressList(const MapiLibrary& mapi, char16_t* parts) {
  ULONG count = 1;
  for (const char16_t* c = parts; *c != 0; ++c)
    if (*c == u';') ++count;
  LPADRLIST list = nullptr;
  if (FAILED(mapi.allocate(static_cast<ULONG>(CbNewADRLIST(count)), reinterpret_cast<LPVOID*>(&list)))) return nullptr;
  std::memset(list, 0, CbNewADRLIST(count));
  char16_t* part = parts;
  for (ULONG i = 0; i < count; ++i) {
    char16_t* end = part;
    while (*end != 0 && *end != u';') ++end;
    const bool last = *end == 0;
    *end = 0;
    LPSPropValue values = nullptr;
    if (FAILED(mapi.allocate(3 * sizeof(SPropValue), reinterpret_cast<LPVOID*>(&values)))) {
      freeAddressList(mapi, list);
      return nullptr;
    }
    std::memset(values, 0, 3 * sizeof(SPropValue));
    values[0].ulPropTag = PR_RECIPIENT_TYPE;
    values[0].Value.l = MAPI_TO;
    values[1].ulPropTag = PR_ADDRTYPE_W;
    values[1].Value.lpszW = text(u"SMTP");
    values[2].ulPropTag = PR_EMAIL_ADDRESS_W;
    values[2].Value.lpszW = part;
    list->aEntries[i].rgPropVals = values;
    list->aEntries[i].cValues = 3;
    ++list->cEntries;
    if (!last) part = end + 1;
  }
  return list;
}

bool openOutbox(const MapiLibrary& mapi, MailObjects& objects) {
  SizedSPropTagArray(1, outboxTag) = {1, {PR_CE_IPM_OUTBOX_ENTRYID}};
  ULONG count = 0;
  LPSPropValue outbox = nullptr;
  if (FAILED(objects.store->GetProps(reinterpret_cast<LPSPropTagArray>(&outboxTag), MAPI_UNICODE, &count, &outbox)))
    return false;
  if (outbox == nullptr) return false;
  if (count < 1 || outbox[0].ulPropTag != PR_CE_IPM_OUTBOX_ENTRYID) {
    mapi.free(outbox);
    return false;
  }
  LPUNKNOWN opened = nullptr;
  const HRESULT result = objects.store->OpenEntry(
      outbox[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(outbox[0].Value.bin.lpb), nullptr, MAPI_MODIFY, nullptr, &opened);
  mapi.free(outbox);
  if (FAILED(result) || opened == nullptr) return false;
  objects.folder = static_cast<LPMAPIFOLDER>(opened);
  return true;
}

bool addRecipients(const MapiLibrary& mapi, MailObjects& objects, const char16_t* recipients) {
  char16_t parts[maxRecipientsText + 1] = {};
  std::size_t length = 0;
  while (length < maxRecipientsText && recipients[length] != 0) ++length;
  std::memcpy(parts, recipients, length * sizeof(char16_t));
  LPADRLIST list = addressList(mapi, parts);
  if (list == nullptr) return false;
  const HRESULT result = objects.message->ModifyRecipients(MODRECIP_ADD, list);
  freeAddressList(mapi, list);
  return SUCCEEDED(result);
}

bool setMessageProps(MailObjects& objects, const char16_t* subject, const char16_t* body) {
  SPropValue props[3] = {};
  props[0].ulPropTag = PR_MESSAGE_FLAGS;
  props[0].Value.l = MSGFLAG_UNSENT | MSGFLAG_FROMME;
  props[1].ulPropTag = PR_SUBJECT_W;
  props[1].Value.lpszW = text(subject);
  props[2].ulPropTag = PR_MSG_STATUS;
  props[2].Value.l = MSGSTATUS_RECTYPE_SMTP;
  if (FAILED(objects.message->SetProps(3, props, nullptr))) return false;

  LPUNKNOWN opened = nullptr;
  if (FAILED(objects.message->OpenProperty(PR_BODY_W, nullptr, 0, MAPI_CREATE | MAPI_MODIFY, &opened)) ||
      opened == nullptr)
    return false;
  objects.stream = static_cast<LPSTREAM>(opened);
  ULONG written = 0;
  // The store keeps what was written, committed or not.
  objects.stream->Write(body, static_cast<ULONG>((wcslen16(body) + 1) * sizeof(char16_t)), &written);
  release(objects.stream);
  return true;
}

// Streams the file's bytes into the attachment; its size comes back.
bool copyFileInto(LPSTREAM stream, const char16_t* attachPath, DWORD& size) {
  HANDLE file =
      CreateFileW(attachPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  size = GetFileSize(file, nullptr);
  bool copied = size != INVALID_FILE_SIZE;
  while (copied) {
    BYTE block[attachBlockSize];
    DWORD got = 0;
    if (!ReadFile(file, block, attachBlockSize, &got, nullptr)) {
      copied = false;
      break;
    }
    ULONG written = 0;
    if (got != 0 && FAILED(stream->Write(block, got, &written))) {
      copied = false;
      break;
    }
    if (got < attachBlockSize) break;
  }
  CloseHandle(file);
  return copied;
}

bool attachFile(MailObjects& objects, const char16_t* attachPath, const char16_t* attachName) {
  ULONG number = 0;
  if (FAILED(objects.message->CreateAttach(nullptr, 0, &number, &objects.attachment)) || objects.attachment == nullptr)
    return false;
  SPropValue props[3] = {};
  props[0].ulPropTag = PR_ATTACH_METHOD;
  props[0].Value.l = ATTACH_BY_VALUE;
  props[1].ulPropTag = PR_ATTACH_DATA_BIN;
  props[2].ulPropTag = PR_ATTACH_FILENAME_W;
  props[2].Value.lpszW = text(attachName);
  if (FAILED(objects.attachment->SetProps(3, props, nullptr))) return false;

  LPUNKNOWN opened = nullptr;
  if (FAILED(objects.attachment->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY,
                                              &opened)) ||
      opened == nullptr)
    return false;
  objects.stream = static_cast<LPSTREAM>(opened);
  DWORD size = 0;
  if (!copyFileInto(objects.stream, attachPath, size)) {
    release(objects.stream);
    return false;
  }
  objects.stream->Commit(STGC_DEFAULT);
  release(objects.stream);

  SPropValue sizeProp{};
  sizeProp.ulPropTag = PR_ATTACH_SIZE;
  sizeProp.Value.l = static_cast<LONG>(size) + attachSizeExtra;
  return SUCCEEDED(objects.attachment->SetProps(1, &sizeProp, nullptr));
}

bool submit(const MapiLibrary& mapi, MailObjects& objects, const char16_t* service, const char16_t* recipients,
            const char16_t* subject, const char16_t* body, const char16_t* attachPath, const char16_t* attachName) {
  if (FAILED(mapi.logon(0, nullptr, nullptr, 0, &objects.session)) || objects.session == nullptr) return false;
  if (FAILED(objects.session->GetMsgStoresTable(0, &objects.storeTable)) || objects.storeTable == nullptr)
    return false;
  objects.store = findMessageStore(objects.session, objects.storeTable, service, mapi.free);
  if (objects.store == nullptr &&
      (FAILED(objects.session->OpenMsgStore(0, 0, nullptr, nullptr, 0, &objects.store)) || objects.store == nullptr))
    return false;
  if (!openOutbox(mapi, objects)) return false;
  if (FAILED(objects.folder->CreateMessage(nullptr, 0, &objects.message)) || objects.message == nullptr) return false;
  if (!addRecipients(mapi, objects, recipients)) return false;
  if (!setMessageProps(objects, subject, body)) return false;
  if (!attachFile(objects, attachPath, attachName)) return false;
  return SUCCEEDED(objects.message->SubmitMessage(0));
}

}  // namespace

LPMDB findMessageStore(LPMAPISESSION session, LPMAPITABLE storeTable, const char16_t* name,
                       LPMAPIFREEBUFFER freeBuffer) {
  MapiLibrary mapi;
  mapi.free = freeBuffer;
  SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
  if (FAILED(storeTable->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) return nullptr;
  // Each row read moves the table's cursor on; the table ends the walk.
  for (;;) {
    LPSRowSet rows = nullptr;
    if (FAILED(storeTable->QueryRows(1, 0, &rows)) || rows == nullptr) return nullptr;
    if (rows->cRows != 1) {
      freeRows(mapi, rows);
      return nullptr;
    }
    const SRow& row = rows->aRow[0];
    const bool matches = row.cValues >= 2 && row.lpProps != nullptr && row.lpProps[0].ulPropTag == PR_DISPLAY_NAME_W &&
                         row.lpProps[1].ulPropTag == PR_ENTRYID && row.lpProps[0].Value.lpszW != nullptr &&
                         _wcsicmp(row.lpProps[0].Value.lpszW, name) == 0;
    if (!matches) {
      freeRows(mapi, rows);
      continue;
    }
    LPMDB store = nullptr;
    const HRESULT opened =
        session->OpenMsgStore(0, row.lpProps[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(row.lpProps[1].Value.bin.lpb),
                              nullptr, MDB_NO_DIALOG | MAPI_BEST_ACCESS, &store);
    freeRows(mapi, rows);
    return SUCCEEDED(opened) ? store : nullptr;
  }
}

int sendMailWithAttachment(const char16_t* service, const char16_t* recipients, const char16_t* subject,
                           const char16_t* body, const char16_t* attachPath, const char16_t* attachName) {
  MapiLibrary mapi;
  if (!loadMapi(mapi)) return 0;
  if (FAILED(CoInitializeEx(nullptr, 0))) {
    FreeLibrary(mapi.module);
    return 0;
  }
  if (FAILED(mapi.initialize(nullptr))) {
    CoUninitialize();
    FreeLibrary(mapi.module);
    return 0;
  }
  MailObjects objects;
  const bool submitted = submit(mapi, objects, service, recipients, subject, body, attachPath, attachName);
  release(objects.stream);
  release(objects.attachment);
  release(objects.folder);
  release(objects.message);
  release(objects.store);
  release(objects.storeTable);
  release(objects.session);
  mapi.uninitialize();
  CoUninitialize();
  FreeLibrary(mapi.module);
  return submitted ? 1 : 0;
}
