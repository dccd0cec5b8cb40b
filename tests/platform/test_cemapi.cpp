// The messaging library as a program uses it to e-mail a file: the whole
// sequence from loading CEMAPI.DLL to submitting the message, the message a
// mail program then reads from the Outbox, and every failure on the way
// giving back what it obtained.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "cemapi/cemapi.h"
#include "cemapi/cemapi_testing.h"
#include "phone_fixture.h"
#include "platform/objbase.h"
#include "platform/text.h"
#include "platform/windows.h"

namespace {

namespace fs = phonetest::fs;

template <typename Proc>
Proc entryPoint(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Releases an object once, if there is one.
template <typename T>
void release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

struct Mapi {
  LPMAPIALLOCATEBUFFER allocate = nullptr;
  LPMAPIFREEBUFFER free = nullptr;

  // A row set and its rows' values, as FreeProws gives them back.
  void freeRows(LPSRowSet rows) const {
    if (rows == nullptr) return;
    for (ULONG i = 0; i < rows->cRows; ++i) free(rows->aRow[i].lpProps);
    free(rows);
  }
};

// The store whose display name is name, ignoring case; null if none.
LPMDB findMessageStore(const Mapi& mapi, IMAPISession* session, IMAPITable* table, const std::u16string& name) {
  SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
  if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) return nullptr;
  for (;;) {
    LPSRowSet rows = nullptr;
    if (FAILED(table->QueryRows(1, 0, &rows))) return nullptr;
    if (rows->cRows != 1) {
      mapi.freeRows(rows);
      return nullptr;
    }
    const SPropValue* props = rows->aRow[0].lpProps;
    if (props[0].ulPropTag == PR_DISPLAY_NAME_W && _wcsicmp(props[0].Value.lpszW, name.c_str()) == 0) {
      LPMDB store = nullptr;
      const HRESULT opened =
          session->OpenMsgStore(0, props[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(props[1].Value.bin.lpb), nullptr,
                                MDB_NO_DIALOG | MAPI_BEST_ACCESS, &store);
      mapi.freeRows(rows);
      return SUCCEEDED(opened) ? store : nullptr;
    }
    mapi.freeRows(rows);
  }
}

// The e-mail of one file, call for call as the program sends it: 1 when
// the message was submitted, 0 otherwise, with everything obtained given
// back on every path.
int sendMailWithAttachment(const std::u16string& service, const std::u16string& recipients,
                           const std::u16string& subject, const std::u16string& body, const std::u16string& attachPath,
                           const std::u16string& attachName) {
  HMODULE library = LoadLibraryW(u"CEMAPI.DLL");
  if (library == nullptr) return 0;
  const auto initialize = entryPoint<LPMAPIINITIALIZE>(library, "MAPIInitialize");
  const auto logon = entryPoint<LPMAPILOGONEX>(library, "MAPILogonEx");
  Mapi mapi{entryPoint<LPMAPIALLOCATEBUFFER>(library, "MAPIAllocateBuffer"),
            entryPoint<LPMAPIFREEBUFFER>(library, "MAPIFreeBuffer")};
  const auto uninitialize = entryPoint<LPMAPIUNINITIALIZE>(library, "MAPIUninitialize");
  if (initialize == nullptr || logon == nullptr || mapi.allocate == nullptr || mapi.free == nullptr ||
      uninitialize == nullptr) {
    FreeLibrary(library);
    return 0;
  }
  if (FAILED(CoInitializeEx(nullptr, 0))) {
    FreeLibrary(library);
    return 0;
  }
  if (FAILED(initialize(nullptr))) {
    CoUninitialize();
    FreeLibrary(library);
    return 0;
  }

  int result = 0;
  LPMAPISESSION session = nullptr;
  LPMAPITABLE storeTable = nullptr;
  LPMDB store = nullptr;
  LPMAPIFOLDER folder = nullptr;
  LPMESSAGE message = nullptr;
  LPATTACH attachment = nullptr;
  IStream* stream = nullptr;
  [&] {
    if (FAILED(logon(0, nullptr, nullptr, 0, &session))) return;
    if (FAILED(session->GetMsgStoresTable(0, &storeTable))) return;
    store = findMessageStore(mapi, session, storeTable, service);
    if (store == nullptr && FAILED(session->OpenMsgStore(0, 0, nullptr, nullptr, 0, &store))) return;

    SizedSPropTagArray(1, outboxTag) = {1, {PR_CE_IPM_OUTBOX_ENTRYID}};
    ULONG count = 0;
    LPSPropValue outbox = nullptr;
    if (FAILED(store->GetProps(reinterpret_cast<LPSPropTagArray>(&outboxTag), MAPI_UNICODE, &count, &outbox))) return;
    if (outbox[0].ulPropTag != PR_CE_IPM_OUTBOX_ENTRYID) {
      mapi.free(outbox);
      return;
    }
    LPUNKNOWN opened = nullptr;
    const HRESULT openedFolder =
        store->OpenEntry(outbox[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(outbox[0].Value.bin.lpb), nullptr,
                         MAPI_MODIFY, nullptr, &opened);
    mapi.free(outbox);
    if (FAILED(openedFolder)) return;
    folder = static_cast<LPMAPIFOLDER>(opened);
    if (FAILED(folder->CreateMessage(nullptr, 0, &message))) return;

    // Recipients: one address per part between ';', taken as they are.
    std::vector<std::u16string> parts{u""};
    for (const char16_t c : recipients) {
      if (c == u';') {
        parts.emplace_back();
      } else {
        parts.back() += c;
      }
    }
    const auto n = static_cast<ULONG>(parts.size());
    LPADRLIST list = nullptr;
    if (FAILED(mapi.allocate(static_cast<ULONG>(CbNewADRLIST(n)), reinterpret_cast<LPVOID*>(&list)))) return;
    std::memset(list, 0, CbNewADRLIST(n));
    const auto freeList = [&] {
      for (ULONG i = list->cEntries; i > 0; --i) mapi.free(list->aEntries[i - 1].rgPropVals);
      mapi.free(list);
    };
    for (const std::u16string& part : parts) {
      LPSPropValue props = nullptr;
      if (FAILED(mapi.allocate(3 * sizeof(SPropValue), reinterpret_cast<LPVOID*>(&props)))) {
        freeList();
        return;
      }
      std::memset(props, 0, 3 * sizeof(SPropValue));
      props[0].ulPropTag = PR_RECIPIENT_TYPE;
      props[0].Value.l = MAPI_TO;
      props[1].ulPropTag = PR_ADDRTYPE_W;
      props[1].Value.lpszW = const_cast<LPWSTR>(u"SMTP");
      props[2].ulPropTag = PR_EMAIL_ADDRESS_W;
      props[2].Value.lpszW = const_cast<LPWSTR>(part.c_str());
      ADRENTRY& entry = list->aEntries[list->cEntries];
      entry.rgPropVals = props;
      entry.cValues = 3;
      ++list->cEntries;
    }
    const HRESULT modified = message->ModifyRecipients(MODRECIP_ADD, list);
    freeList();
    if (FAILED(modified)) return;

    SPropValue messageProps[3] = {};
    messageProps[0].ulPropTag = PR_MESSAGE_FLAGS;
    messageProps[0].Value.l = MSGFLAG_UNSENT | MSGFLAG_FROMME;
    messageProps[1].ulPropTag = PR_SUBJECT_W;
    messageProps[1].Value.lpszW = const_cast<LPWSTR>(subject.c_str());
    messageProps[2].ulPropTag = PR_MSG_STATUS;
    messageProps[2].Value.l = MSGSTATUS_RECTYPE_SMTP;
    if (FAILED(message->SetProps(3, messageProps, nullptr))) return;

    LPUNKNOWN bodyStream = nullptr;
    if (FAILED(message->OpenProperty(PR_BODY_W, nullptr, 0, MAPI_CREATE | MAPI_MODIFY, &bodyStream))) return;
    stream = static_cast<IStream*>(bodyStream);
    ULONG written = 0;
    stream->Write(body.c_str(), static_cast<ULONG>((body.size() + 1) * 2), &written);
    release(stream);

    ULONG number = 0;
    if (FAILED(message->CreateAttach(nullptr, 0, &number, &attachment))) return;
    SPropValue attachProps[3] = {};
    attachProps[0].ulPropTag = PR_ATTACH_METHOD;
    attachProps[0].Value.l = ATTACH_BY_VALUE;
    attachProps[1].ulPropTag = PR_ATTACH_DATA_BIN;
    attachProps[2].ulPropTag = PR_ATTACH_FILENAME_W;
    attachProps[2].Value.lpszW = const_cast<LPWSTR>(attachName.c_str());
    if (FAILED(attachment->SetProps(3, attachProps, nullptr))) return;
    LPUNKNOWN dataStream = nullptr;
    if (FAILED(attachment->OpenProperty(PR_ATTACH_DATA_BIN, &IID_IStream, 0, MAPI_CREATE | MAPI_MODIFY, &dataStream))) {
      return;
    }
    stream = static_cast<IStream*>(dataStream);

    HANDLE file = CreateFileW(attachPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      release(stream);
      return;
    }
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
      CloseHandle(file);
      release(stream);
      return;
    }
    for (;;) {
      BYTE block[4096];
      DWORD read = 0;
      if (!ReadFile(file, block, sizeof block, &read, nullptr)) {
        CloseHandle(file);
        release(stream);
        return;
      }
      if (read != 0 && FAILED(stream->Write(block, read, &written))) {
        CloseHandle(file);
        release(stream);
        return;
      }
      if (read < sizeof block) break;
    }
    CloseHandle(file);
    stream->Commit(0);
    release(stream);

    SPropValue sizeProp{};
    sizeProp.ulPropTag = PR_ATTACH_SIZE;
    sizeProp.Value.l = static_cast<LONG>(size + 16);
    if (FAILED(attachment->SetProps(1, &sizeProp, nullptr))) return;
    if (SUCCEEDED(message->SubmitMessage(0))) result = 1;
  }();

  release(attachment);
  release(folder);
  release(message);
  release(store);
  release(storeTable);
  release(session);
  uninitialize();
  CoUninitialize();
  FreeLibrary(library);
  return result;
}

// What Python's email package reads from a message file: header=value
// lines, the text part's lines after "body=", and the attachment's bytes
// written to a file of their own.
std::map<std::string, std::string> parseWithPython(const fs::path& message, const fs::path& attachmentOut) {
  static const char script[] = R"(
import sys, email
from email import policy
with open(sys.argv[1], 'rb') as f:
    m = email.message_from_binary_file(f, policy=policy.default)
print('to=' + str(m['To']))
print('subject=' + str(m['Subject']))
print('bcc=' + str(m['Bcc']))
print('date=' + m['Date'].datetime.strftime('%Y-%m-%d %H:%M:%S'))
print('mime=' + str(m['MIME-Version']))
print('type=' + m.get_content_type())
print('defects=' + str(len(m.defects)))
parts = list(m.iter_parts())
print('parts=' + str(len(parts)))
text, data = parts[0], parts[-1]
print('text.type=' + text.get_content_type())
print('text.charset=' + str(text.get_content_charset()))
print('data.type=' + data.get_content_type())
print('data.encoding=' + str(data['Content-Transfer-Encoding']))
print('data.disposition=' + str(data.get_content_disposition()))
print('data.filename=' + str(data.get_filename()))
payload = data.get_payload(decode=True)
print('data.size=' + str(len(payload)))
with open(sys.argv[2], 'wb') as out:
    out.write(payload)
print('body=' + text.get_content().replace('\n', '\\n'))
)";
  const fs::path scriptFile = attachmentOut.parent_path() / "parse.py";
  std::FILE* file = std::fopen(scriptFile.c_str(), "w");
  if (file == nullptr) return {};
  std::fputs(script, file);
  std::fclose(file);
  const std::string command =
      "python3 '" + scriptFile.string() + "' '" + message.string() + "' '" + attachmentOut.string() + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::map<std::string, std::string> fields;
  char line[65536];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
      fields["error"] += text + "\n";
    } else {
      fields[text.substr(0, equals)] = text.substr(equals + 1);
    }
  }
  fields["status"] = std::to_string(::pclose(pipe));
  return fields;
}

class Cemapi : public phonetest::PhoneTest {
 protected:
  void SetUp() override {
    PhoneTest::SetUp();
    platform::resetComCounts();
    ASSERT_TRUE(mapi_.valid());
  }
  void TearDown() override {
    expectEverythingGivenBack();
    PhoneTest::TearDown();
  }

  void expectEverythingGivenBack() {
    EXPECT_EQ(mapi_.liveObjects(), 0);
    EXPECT_EQ(mapi_.liveBuffers(), 0);
    EXPECT_EQ(mapi_.initializeDepth(), 0);
    EXPECT_EQ(mapi_.badFrees(), 0u);
    EXPECT_EQ(platform::comInitializeDepth(), 0);
    EXPECT_EQ(platform::comUnbalancedUninitializeCount(), 0);
    EXPECT_EQ(platform::loadedLibraryReferences(), 1);  // the test's own
  }

  // A file of size bytes in a pattern that shows any byte out of place.
  std::u16string attachmentFile(std::size_t size, const std::string& name = "Contacts.tsq") {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    write("files/" + name, bytes);
    return platform::fromUtf8(path("files/" + name).string());
  }

  int send(const std::u16string& service, const std::u16string& recipients, const std::u16string& subject,
           const std::u16string& attachPath, const std::u16string& body = u"Here is the database.") {
    return sendMailWithAttachment(service, recipients, subject, body, attachPath, u"Contacts.tsq");
  }

  std::vector<std::string> outboxFiles(const std::string& store = "ActiveSync") const {
    return names("mail/" + store + "/Outbox/new");
  }

  // The one message in a store's Outbox as Python reads it.
  std::map<std::string, std::string> parsedMessage(const std::string& store = "ActiveSync") {
    const auto files = outboxFiles(store);
    if (files.size() != 1) return {{"error", std::to_string(files.size()) + " messages in the Outbox"}};
    return parseWithPython(path("mail/" + store + "/Outbox/new/" + files[0]), path("attachment.out"));
  }

  cemapi::TestLibrary mapi_;
};

TEST_F(Cemapi, TheMessageInTheOutboxIsOneAMailProgramReadsWithTheFileAttachedByteForByte) {
  for (const std::size_t size : {std::size_t{0}, std::size_t{4096}, std::size_t{8192}, std::size_t{10000}}) {
    SCOPED_TRACE(size);
    fs::remove_all(path("mail"));
    const std::u16string file = attachmentFile(size);
    ASSERT_EQ(send(u"ActiveSync", u"ann@example.com;bob@example.org", u"Contacts", file), 1);
    EXPECT_TRUE(names("mail/ActiveSync/Outbox/tmp").empty());
    auto fields = parsedMessage();
    EXPECT_EQ(fields["status"], "0") << fields["error"];
    EXPECT_EQ(fields["to"], "ann@example.com, bob@example.org");
    EXPECT_EQ(fields["subject"], "Contacts");
    EXPECT_EQ(fields["date"], "2024-05-17 09:30:05");
    EXPECT_EQ(fields["mime"], "1.0");
    EXPECT_EQ(fields["type"], "multipart/mixed");
    EXPECT_EQ(fields["defects"], "0");
    EXPECT_EQ(fields["parts"], "2");
    EXPECT_EQ(fields["text.type"], "text/plain");
    EXPECT_EQ(fields["text.charset"], "utf-8");
    EXPECT_EQ(fields["body"], "Here is the database.");
    EXPECT_EQ(fields["data.type"], "application/octet-stream");
    EXPECT_EQ(fields["data.encoding"], "base64");
    EXPECT_EQ(fields["data.disposition"], "attachment");
    EXPECT_EQ(fields["data.filename"], "Contacts.tsq");
    EXPECT_EQ(fields["data.size"], std::to_string(size));
    EXPECT_EQ(read("attachment.out"), read("files/Contacts.tsq"));
    expectEverythingGivenBack();
  }
}

TEST_F(Cemapi, ASubjectOrBodyBeyondAsciiIsEncodedForMail) {
  const std::u16string subject = u"Gr\u00fc\u00dfe \u2013 \u03a9mega \U0001F600";
  ASSERT_EQ(send(u"ActiveSync", u"ann@example.com", subject, attachmentFile(10), u"Z\u00fcrich\nline two"), 1);
  const auto files = outboxFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string raw = read("mail/ActiveSync/Outbox/new/" + files[0]);
  const auto headerEnd = raw.find("\n\n");
  const std::string headers = raw.substr(0, headerEnd);
  // Headers stay ASCII; the subject is an RFC 2047 encoded word.
  for (const unsigned char c : headers) EXPECT_LT(c, 0x80);
  EXPECT_NE(headers.find("Subject: =?"), std::string::npos) << headers;
  auto fields = parsedMessage();
  EXPECT_EQ(fields["subject"], platform::toUtf8(subject));
  EXPECT_EQ(fields["body"], "Z\xc3\xbcrich\\nline two");
  EXPECT_EQ(fields["text.charset"], "utf-8");
}

TEST_F(Cemapi, ALineBreakInTheSubjectCannotAddAHeader) {
  ASSERT_EQ(send(u"ActiveSync", u"ann@example.com", u"Hi\r\nBcc: eve@example.net", attachmentFile(1)), 1);
  auto fields = parsedMessage();
  EXPECT_EQ(fields["subject"], "Hi  Bcc: eve@example.net");
  EXPECT_EQ(fields["bcc"], "None");
}

TEST_F(Cemapi, RecipientsAreThePartsWithAnAddress) {
  const struct {
    std::u16string recipients;
    std::string to;
  } cases[] = {
      {u"ann@example.com;", "ann@example.com"},
      {u"ann@example.com; bob@example.org", "ann@example.com, bob@example.org"},
      {u";;ann@example.com;;", "ann@example.com"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::toUtf8(c.recipients));
    fs::remove_all(path("mail"));
    ASSERT_EQ(send(u"ActiveSync", c.recipients, u"s", attachmentFile(1)), 1);
    EXPECT_EQ(parsedMessage()["to"], c.to);
  }
  // Nobody to send to: the message is not queued.
  for (const char16_t* nobody : {u"", u";", u" ; "}) {
    fs::remove_all(path("mail"));
    EXPECT_EQ(send(u"ActiveSync", nobody, u"s", attachmentFile(1)), 0);
    EXPECT_TRUE(outboxFiles().empty());
    expectEverythingGivenBack();
  }
  // An address that would break the header is refused.
  EXPECT_EQ(send(u"ActiveSync", u"ann@example.com\r\nBcc: eve@example.net", u"s", attachmentFile(1)), 0);
  EXPECT_TRUE(outboxFiles().empty());
}

TEST_F(Cemapi, TheServiceNamesTheStoreIgnoringCaseElseActiveSyncIsMadeAndUsed) {
  for (const char* folder : {"mail/Work/Outbox/tmp", "mail/Work/Outbox/new", "mail/Work/Outbox/cur"}) {
    makeFolders(folder);
  }
  ASSERT_EQ(send(u"WORK", u"ann@example.com", u"s", attachmentFile(1)), 1);
  EXPECT_EQ(outboxFiles("Work").size(), 1u);
  EXPECT_FALSE(fs::exists(path("mail/ActiveSync")));

  ASSERT_EQ(send(u"Nowhere", u"ann@example.com", u"s", attachmentFile(1)), 1);
  EXPECT_EQ(outboxFiles("ActiveSync").size(), 1u);
  for (const char* folder : {"tmp", "new", "cur"}) {
    EXPECT_TRUE(fs::is_directory(path(std::string("mail/ActiveSync/Outbox/") + folder))) << folder;
  }
  // Two messages in the same second are two files.
  ASSERT_EQ(send(u"activesync", u"ann@example.com", u"s", attachmentFile(1)), 1);
  EXPECT_EQ(outboxFiles("ActiveSync").size(), 2u);
}

TEST_F(Cemapi, AStoreWithoutAnOutboxLacksTheFolderProperty) {
  makeFolders("mail/Bare");
  EXPECT_EQ(send(u"Bare", u"ann@example.com", u"s", attachmentFile(1)), 0);
  EXPECT_TRUE(names("mail/Bare").empty());
}

TEST_F(Cemapi, EveryFailureOnTheWayGivesBackWhatItObtainedAndQueuesNothing) {
  const std::u16string file = attachmentFile(5000);
  const std::u16string recipients = u"ann@example.com;bob@example.org";
  // Once to make the store, once to count the calls a sending makes.
  ASSERT_EQ(send(u"ActiveSync", recipients, u"s", file), 1);
  mapi_.reset();
  ASSERT_EQ(send(u"ActiveSync", recipients, u"s", file), 1);
  const ULONG calls = mapi_.callCount();
  fs::remove_all(path("mail/ActiveSync/Outbox/new"));
  ULONG n = 0;
  for (;; ++n) {
    mapi_.reset();
    ASSERT_EQ(mapi_.failCall(nullptr, n), S_OK);
    const int result = send(u"ActiveSync", recipients, u"s", file);
    if (mapi_.faultsFired() == 0) {
      // Past the last call nothing failed, and the message went out.
      EXPECT_EQ(result, 1);
      break;
    }
    // The body stream's Write is the one call whose failure the sender
    // does not look at; the message goes without its body then.
    if (result == 1) {
      EXPECT_EQ(outboxFiles().size(), 1u);
      fs::remove_all(path("mail/ActiveSync/Outbox/new"));
      continue;
    }
    EXPECT_TRUE(outboxFiles().empty()) << "call " << n;
    EXPECT_EQ(mapi_.liveObjects(), 0) << "call " << n;
    EXPECT_EQ(mapi_.liveBuffers(), 0) << "call " << n;
    expectEverythingGivenBack();
  }
  EXPECT_EQ(n, calls);
}

TEST_F(Cemapi, ANamedCallFailsOnItsTurnWithTheResultAsked) {
  EXPECT_EQ(mapi_.failCall("IMessage::Submit", 0), E_INVALIDARG);
  ASSERT_EQ(mapi_.failCall("IMessage::SubmitMessage", 0, MAPI_E_NOT_ENOUGH_DISK), S_OK);
  EXPECT_EQ(send(u"ActiveSync", u"ann@example.com", u"s", attachmentFile(1)), 0);
  EXPECT_EQ(mapi_.faultsFired(), 1u);
  EXPECT_TRUE(outboxFiles().empty());
  // The second attachment block's Write: the body's and the first block's
  // go first.
  mapi_.reset();
  ASSERT_EQ(mapi_.failCall("IStream::Write", 2), S_OK);
  EXPECT_EQ(send(u"ActiveSync", u"ann@example.com", u"s", attachmentFile(8192)), 0);
  EXPECT_EQ(mapi_.callCount("IStream::Write"), 3u);  // the body, then two blocks
  EXPECT_TRUE(outboxFiles().empty());
}

TEST_F(Cemapi, BuffersAreCountedAndAForeignOneIsLeftAlone) {
  HMODULE library = mapi_.module();
  const auto initialize = entryPoint<LPMAPIINITIALIZE>(library, "MAPIInitialize");
  const auto uninitialize = entryPoint<LPMAPIUNINITIALIZE>(library, "MAPIUninitialize");
  const auto logon = entryPoint<LPMAPILOGONEX>(library, "MAPILogonEx");
  const auto allocate = entryPoint<LPMAPIALLOCATEBUFFER>(library, "MAPIAllocateBuffer");
  const auto freeBuffer = entryPoint<LPMAPIFREEBUFFER>(library, "MAPIFreeBuffer");
  LPMAPISESSION session = reinterpret_cast<LPMAPISESSION>(1);
  EXPECT_EQ(logon(0, nullptr, nullptr, 0, &session), MAPI_E_NOT_INITIALIZED);
  EXPECT_EQ(session, nullptr);
  ASSERT_EQ(initialize(nullptr), S_OK);
  LPVOID a = nullptr;
  LPVOID b = nullptr;
  ASSERT_EQ(allocate(16, &a), S_OK);
  ASSERT_EQ(allocate(0, &b), S_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(mapi_.liveBuffers(), 2);
  int notOurs = 0;
  freeBuffer(&notOurs);
  freeBuffer(a);
  freeBuffer(a);
  EXPECT_EQ(mapi_.badFrees(), 2u);
  freeBuffer(b);
  EXPECT_EQ(mapi_.liveBuffers(), 0);
  uninitialize();
  mapi_.reset();
  EXPECT_EQ(mapi_.badFrees(), 0u);
}

TEST_F(Cemapi, ObjectsAreReferenceCountedAndKeepWhatTheyCameFrom) {
  HMODULE library = mapi_.module();
  ASSERT_EQ(entryPoint<LPMAPIINITIALIZE>(library, "MAPIInitialize")(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(entryPoint<LPMAPILOGONEX>(library, "MAPILogonEx")(0, nullptr, nullptr, 0, &session), S_OK);
  LPMDB store = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, 0, nullptr, nullptr, 0, &store), S_OK);
  release(session);  // the store keeps its session
  EXPECT_EQ(mapi_.liveObjects(), 2);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(store->QueryInterface(IID_IMAPIProp, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(store->QueryInterface(IID_IStream, reinterpret_cast<void**>(&unknown)), E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  EXPECT_EQ(store->AddRef(), 3u);
  EXPECT_EQ(store->Release(), 2u);
  EXPECT_EQ(store->Release(), 1u);
  // Read-only: a store's properties are its own.
  SPropValue name{};
  name.ulPropTag = PR_DISPLAY_NAME_W;
  name.Value.lpszW = const_cast<LPWSTR>(u"Other");
  EXPECT_EQ(store->SetProps(1, &name, nullptr), MAPI_E_NO_ACCESS);
  ULONG count = 0;
  LPSPropValue values = nullptr;
  SizedSPropTagArray(2, tags) = {2, {PR_DISPLAY_NAME_W, PR_SUBJECT_W}};
  EXPECT_EQ(store->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values),
            MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(std::u16string(values[0].Value.lpszW), u"ActiveSync");
  EXPECT_EQ(values[1].ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(PR_SUBJECT_W)));
  EXPECT_EQ(values[1].Value.err, MAPI_E_NOT_FOUND);
  entryPoint<LPMAPIFREEBUFFER>(library, "MAPIFreeBuffer")(values);
  release(store);
  EXPECT_EQ(mapi_.liveObjects(), 0);
  entryPoint<LPMAPIUNINITIALIZE>(library, "MAPIUninitialize")();
}

TEST_F(Cemapi, AFolderOpenedForReadingMakesNoMessages) {
  HMODULE library = mapi_.module();
  ASSERT_EQ(entryPoint<LPMAPIINITIALIZE>(library, "MAPIInitialize")(nullptr), S_OK);
  LPMAPISESSION session = nullptr;
  ASSERT_EQ(entryPoint<LPMAPILOGONEX>(library, "MAPILogonEx")(0, nullptr, nullptr, 0, &session), S_OK);
  LPMDB store = nullptr;
  ASSERT_EQ(session->OpenMsgStore(0, 0, nullptr, nullptr, 0, &store), S_OK);
  SizedSPropTagArray(1, tag) = {1, {PR_CE_IPM_OUTBOX_ENTRYID}};
  ULONG count = 0;
  LPSPropValue outbox = nullptr;
  ASSERT_EQ(store->GetProps(reinterpret_cast<LPSPropTagArray>(&tag), 0, &count, &outbox), S_OK);
  LPUNKNOWN opened = nullptr;
  ULONG type = 0;
  ASSERT_EQ(store->OpenEntry(outbox[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(outbox[0].Value.bin.lpb), nullptr, 0,
                             &type, &opened),
            S_OK);
  EXPECT_EQ(type, MAPI_FOLDER);
  auto* folder = static_cast<LPMAPIFOLDER>(opened);
  LPMESSAGE message = nullptr;
  EXPECT_EQ(folder->CreateMessage(nullptr, 0, &message), MAPI_E_NO_ACCESS);
  EXPECT_EQ(message, nullptr);
  BYTE wrong[12] = {0, 0, 0, 0, 'T', 'S', 'Q', 'F', 'I', 'n', 'b', 'x'};
  EXPECT_EQ(store->OpenEntry(sizeof wrong, reinterpret_cast<LPENTRYID>(wrong), nullptr, MAPI_MODIFY, nullptr, &opened),
            MAPI_E_NOT_FOUND);
  EXPECT_EQ(store->OpenEntry(3, reinterpret_cast<LPENTRYID>(wrong), nullptr, MAPI_MODIFY, nullptr, &opened),
            MAPI_E_INVALID_ENTRYID);
  entryPoint<LPMAPIFREEBUFFER>(library, "MAPIFreeBuffer")(outbox);
  release(folder);
  release(store);
  release(session);
  entryPoint<LPMAPIUNINITIALIZE>(library, "MAPIUninitialize")();
}

}  // namespace
