// A messaging library that lacks one of the five entry points
// (MAPIUninitialize), for tests of a phone whose library is incomplete.
#include "cemapi/cemapi.h"

extern "C" {
CEMAPI_EXPORT HRESULT MAPIInitialize(LPVOID) { return S_OK; }
CEMAPI_EXPORT HRESULT MAPILogonEx(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION* session) {
  if (session != nullptr) *session = nullptr;
  return MAPI_E_LOGON_FAILED;
}
CEMAPI_EXPORT SCODE MAPIAllocateBuffer(ULONG, LPVOID* buffer) {
  if (buffer != nullptr) *buffer = nullptr;
  return MAPI_E_NOT_ENOUGH_MEMORY;
}
CEMAPI_EXPORT ULONG MAPIFreeBuffer(LPVOID) { return 0; }
}
