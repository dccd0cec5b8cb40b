// The library's entry points, its buffers, and the faults tests arm.
#include <gmime/gmime.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "cemapi/cemapi_testing.h"
#include "cemapi/internal.h"
#include "cemapi/objects.h"
#include "platform/phone/library_host.h"

namespace cemapi {

namespace {

const TessraPlatformServices* host = nullptr;

// Every call a test can make fail.
const std::set<std::string, std::less<>>& failableCalls() {
  static const std::set<std::string, std::less<>> calls = [] {
    std::set<std::string, std::less<>> names{"MAPIInitialize",
                                             "MAPILogonEx",
                                             "MAPIAllocateBuffer",
                                             "IMAPISession::GetMsgStoresTable",
                                             "IMAPISession::OpenMsgStore",
                                             "IMAPITable::SetColumns",
                                             "IMAPITable::QueryRows",
                                             "IMsgStore::OpenEntry",
                                             "IMAPIFolder::CreateMessage",
                                             "IMessage::CreateAttach",
                                             "IMessage::ModifyRecipients",
                                             "IMessage::SubmitMessage",
                                             "IStream::Read",
                                             "IStream::Write",
                                             "IStream::Commit"};
    for (const char* kind : {"IMsgStore", "IMAPIFolder", "IMessage", "IAttach"}) {
      for (const char* method : {"GetProps", "SetProps", "OpenProperty", "SaveChanges"}) {
        names.insert(std::string(kind) + "::" + method);
      }
    }
    return names;
  }();
  return calls;
}

struct Fault {
  std::string call;  // empty: any call
  ULONG skip = 0;
  HRESULT result = 0;
};

struct Faults {
  std::vector<Fault> armed;
  std::map<std::string, ULONG, std::less<>> calls;
  ULONG allCalls = 0;
  ULONG fired = 0;
};
Faults& faults() {
  static Faults instance;
  return instance;
}

// Buffers carry their size in front, aligned for any value.
struct alignas(16) BufferHeader {
  std::size_t size;
};
std::unordered_set<void*>& liveBuffers() {
  static std::unordered_set<void*> buffers;
  return buffers;
}

void* newBuffer(std::size_t size) {
  if (size > maxValueBytes) return nullptr;
  auto* header = static_cast<BufferHeader*>(std::malloc(sizeof(BufferHeader) + size));
  if (header == nullptr) return nullptr;
  header->size = size;
  void* buffer = header + 1;
  // Not zeroed, as MAPI's buffers are not: a caller that forgets to clear
  // what it allocated sees this pattern rather than lucky zeros.
  std::memset(buffer, 0xA5, size);
  liveBuffers().insert(buffer);
  ++counters().liveBuffers;
  return buffer;
}

}  // namespace

Counters& counters() {
  static Counters instance;
  return instance;
}

std::optional<HRESULT> injectedFault(std::string_view call, HRESULT natural) {
  Faults& f = faults();
  ++f.allCalls;
  auto it = f.calls.find(call);
  if (it == f.calls.end()) it = f.calls.emplace(std::string(call), 0).first;
  ++it->second;
  for (auto fault = f.armed.begin(); fault != f.armed.end(); ++fault) {
    if (!fault->call.empty() && fault->call != call) continue;
    if (fault->skip > 0) {
      --fault->skip;
      continue;
    }
    const HRESULT result = fault->result != 0 ? fault->result : natural;
    f.armed.erase(fault);
    ++f.fired;
    return result;
  }
  return std::nullopt;
}

void* allocateBuffer(std::size_t size) { return newBuffer(size); }

std::optional<std::string> deviceRoot() {
  if (host == nullptr) return std::nullopt;
  std::string root(256, '\0');
  std::size_t length = host->deviceRoot(root.data(), root.size());
  if (length >= root.size()) {
    root.assign(length + 1, '\0');
    length = host->deviceRoot(root.data(), root.size());
    if (length >= root.size()) return std::nullopt;
  }
  root.resize(length);
  if (root.empty()) return std::nullopt;
  return root;
}

SYSTEMTIME localTime() {
  SYSTEMTIME now{};
  if (host != nullptr) host->getLocalTime(&now);
  return now;
}

}  // namespace cemapi

using namespace cemapi;

extern "C" {

CEMAPI_EXPORT void TessraAttachPlatform(const TessraPlatformServices* services) {
  if (services != nullptr && services->size >= sizeof(TessraPlatformServices)) host = services;
}

HRESULT MAPIInitialize(LPVOID) {
  if (const auto fault = injectedFault("MAPIInitialize")) return *fault;
  // Without the program's services there is no phone to reach.
  if (host == nullptr) return MAPI_E_CALL_FAILED;
  static const bool mimeReady = [] {
    g_mime_init();
    return true;
  }();
  (void)mimeReady;
  ++counters().initializeDepth;
  return S_OK;
}

void MAPIUninitialize() {
  if (counters().initializeDepth > 0) --counters().initializeDepth;
}

HRESULT MAPILogonEx(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION* session) {
  if (session == nullptr) return MAPI_E_INVALID_PARAMETER;
  *session = nullptr;
  if (const auto fault = injectedFault("MAPILogonEx")) return *fault;
  if (counters().initializeDepth == 0) return MAPI_E_NOT_INITIALIZED;
  *session = newSession();
  return S_OK;
}

SCODE MAPIAllocateBuffer(ULONG size, LPVOID* buffer) {
  if (buffer == nullptr) return MAPI_E_INVALID_PARAMETER;
  *buffer = nullptr;
  if (const auto fault = injectedFault("MAPIAllocateBuffer", MAPI_E_NOT_ENOUGH_MEMORY)) return *fault;
  *buffer = newBuffer(size);
  return *buffer != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

ULONG MAPIFreeBuffer(LPVOID buffer) {
  if (buffer == nullptr) return 0;
  if (liveBuffers().erase(buffer) == 0) {
    ++counters().badFrees;  // not ours, or freed before: leave it alone
    return 0;
  }
  --counters().liveBuffers;
  std::free(static_cast<BufferHeader*>(buffer) - 1);
  return 0;
}

HRESULT CemapiTestFailCall(const char* call, ULONG skip, HRESULT result) {
  const std::string name = call != nullptr ? call : "";
  if (!name.empty() && failableCalls().count(name) == 0) return E_INVALIDARG;
  faults().armed.push_back(Fault{name, skip, result});
  return S_OK;
}

void CemapiTestReset() {
  Faults& f = faults();
  f.armed.clear();
  f.calls.clear();
  f.allCalls = 0;
  f.fired = 0;
  counters().badFrees = 0;
}

ULONG CemapiTestFaultsFired() { return faults().fired; }

ULONG CemapiTestCallCount(const char* call) {
  const Faults& f = faults();
  if (call == nullptr || *call == '\0') return f.allCalls;
  const auto it = f.calls.find(std::string_view(call));
  return it != f.calls.end() ? it->second : 0;
}

LONG CemapiTestLiveObjects() { return static_cast<LONG>(counters().liveObjects); }
LONG CemapiTestLiveBuffers() { return static_cast<LONG>(counters().liveBuffers); }
LONG CemapiTestInitializeDepth() { return static_cast<LONG>(counters().initializeDepth); }
ULONG CemapiTestBadFrees() { return static_cast<ULONG>(counters().badFrees); }

}  // extern "C"
