// Test hooks of the messaging library: make any one of its calls fail, and
// see that everything obtained was given back (live objects, buffers, the
// MAPIInitialize balance).
//
// A test holds the library loaded for as long as it looks at it (the
// library is never unloaded from a process, so its counts run on across
// loads; Reset starts them again):
//
//   cemapi::TestLibrary mapi;
//   mapi.failCall("IMessage::SubmitMessage", 0);
//   ... the code under test loads CEMAPI.DLL and sends ...
//   EXPECT_EQ(mapi.liveObjects(), 0);
#pragma once

#include "cemapi/cemapi.h"
#include "platform/libloaderapi.h"

extern "C" {
// Makes the call named call fail after skip more that succeed: "MAPIInitialize",
// "MAPILogonEx", "MAPIAllocateBuffer", or "INTERFACE::METHOD" for the methods
// of IMAPISession, IMAPITable, IMsgStore, IMAPIFolder, IMessage, IAttach and
// IStream ("IMessage::SubmitMessage", "IStream::Write"). A null or empty
// name counts every such call. result 0 gives the call's own failure
// (MAPI_E_NOT_ENOUGH_MEMORY for an allocation, MAPI_E_CALL_FAILED else).
// E_INVALIDARG for a name the library does not know. Each armed fault
// fires once.
CEMAPI_EXPORT HRESULT CemapiTestFailCall(const char* call, ULONG skip, HRESULT result);
// Disarms every fault and clears the call counts, fired faults and bad
// frees (what is still alive stays counted).
CEMAPI_EXPORT void CemapiTestReset();
CEMAPI_EXPORT ULONG CemapiTestFaultsFired();
// How many times the call ran (a null or empty name: all of them) since
// the last reset.
CEMAPI_EXPORT ULONG CemapiTestCallCount(const char* call);
// Objects not yet released, buffers not yet freed, MAPIInitialize calls not
// yet balanced, and MAPIFreeBuffer calls on what was no buffer of MAPI's.
CEMAPI_EXPORT LONG CemapiTestLiveObjects();
CEMAPI_EXPORT LONG CemapiTestLiveBuffers();
CEMAPI_EXPORT LONG CemapiTestInitializeDepth();
CEMAPI_EXPORT ULONG CemapiTestBadFrees();
}

namespace cemapi {

// The hooks of a loaded CEMAPI.DLL; valid() is false when it did not load.
class TestLibrary {
 public:
  TestLibrary() : module_(LoadLibraryW(u"CEMAPI.DLL")) {
    if (module_ == nullptr) return;
    find(failCall_, "CemapiTestFailCall");
    find(reset_, "CemapiTestReset");
    find(faultsFired_, "CemapiTestFaultsFired");
    find(callCount_, "CemapiTestCallCount");
    find(liveObjects_, "CemapiTestLiveObjects");
    find(liveBuffers_, "CemapiTestLiveBuffers");
    find(initializeDepth_, "CemapiTestInitializeDepth");
    find(badFrees_, "CemapiTestBadFrees");
    if (valid()) reset_();
  }
  ~TestLibrary() {
    if (module_ == nullptr) return;
    if (reset_ != nullptr) reset_();
    FreeLibrary(module_);
  }
  TestLibrary(const TestLibrary&) = delete;
  TestLibrary& operator=(const TestLibrary&) = delete;

  bool valid() const {
    return failCall_ != nullptr && reset_ != nullptr && faultsFired_ != nullptr && callCount_ != nullptr &&
           liveObjects_ != nullptr && liveBuffers_ != nullptr && initializeDepth_ != nullptr && badFrees_ != nullptr;
  }
  HMODULE module() const { return module_; }

  HRESULT failCall(const char* call, ULONG skip, HRESULT result = 0) { return failCall_(call, skip, result); }
  void reset() { reset_(); }
  ULONG faultsFired() const { return faultsFired_(); }
  ULONG callCount(const char* call = nullptr) const { return callCount_(call); }
  LONG liveObjects() const { return liveObjects_(); }
  LONG liveBuffers() const { return liveBuffers_(); }
  LONG initializeDepth() const { return initializeDepth_(); }
  ULONG badFrees() const { return badFrees_(); }

 private:
  template <typename Proc>
  void find(Proc& proc, const char* name) {
    proc = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

  HMODULE module_ = nullptr;
  HRESULT (*failCall_)(const char*, ULONG, HRESULT) = nullptr;
  void (*reset_)() = nullptr;
  ULONG (*faultsFired_)() = nullptr;
  ULONG (*callCount_)(const char*) = nullptr;
  LONG (*liveObjects_)() = nullptr;
  LONG (*liveBuffers_)() = nullptr;
  LONG (*initializeDepth_)() = nullptr;
  ULONG (*badFrees_)() = nullptr;
};

}  // namespace cemapi
