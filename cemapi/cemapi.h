// CEMAPI.DLL: the phone's messaging library (libcemapi.so next to the
// executables). A program loads it at run time and finds the five entry
// points by name:
//
//   HMODULE library = LoadLibraryW(u"CEMAPI.DLL");
//   auto initialize = reinterpret_cast<LPMAPIINITIALIZE>(
//       reinterpret_cast<void (*)()>(GetProcAddress(library, "MAPIInitialize")));
//
// (the cast goes through void (*)(), the one function type any other may be
// cast from without a warning).
//
// Message stores are the folders DEVICE/mail/NAME/ (see docs/phone-services.md).
#pragma once

#include "cemapi/mapidefs.h"
#include "cemapi/mapitags.h"

struct MAPIINIT_0 {
  ULONG ulVersion;
  ULONG ulFlags;
};

#define CEMAPI_EXPORT __attribute__((visibility("default")))

extern "C" {
// Counted: each success is balanced by one MAPIUninitialize. The
// initialisation record may be null.
CEMAPI_EXPORT HRESULT MAPIInitialize(LPVOID mapiInit);
CEMAPI_EXPORT void MAPIUninitialize();
// A session; no profile, password or user interface is needed.
CEMAPI_EXPORT HRESULT MAPILogonEx(ULONG_PTR uiParam, LPTSTR profileName, LPTSTR password, ULONG flags,
                                  LPMAPISESSION* session);
// A buffer of size bytes, not zeroed, or MAPI_E_NOT_ENOUGH_MEMORY.
CEMAPI_EXPORT SCODE MAPIAllocateBuffer(ULONG size, LPVOID* buffer);
CEMAPI_EXPORT ULONG MAPIFreeBuffer(LPVOID buffer);
}

using LPMAPIINITIALIZE = HRESULT (*)(LPVOID);
using LPMAPIUNINITIALIZE = void (*)();
using LPMAPILOGONEX = HRESULT (*)(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION*);
using LPMAPIALLOCATEBUFFER = SCODE (*)(ULONG, LPVOID*);
using LPMAPIFREEBUFFER = ULONG (*)(LPVOID);
