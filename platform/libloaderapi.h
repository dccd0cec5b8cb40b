// Dynamic libraries: LoadLibraryW, GetProcAddress, FreeLibrary.
//
// A library named "NAME.DLL" (any letter case, any folder before it) is the
// shared object libname.so (the name in lower case) in the folder of the
// running executable. Loading the same library again gives the same module
// with one more reference; FreeLibrary drops one.
#pragma once

#include "platform/win_types.h"

// An entry point is cast to its own type through void (*)(), the one
// function type that converts to any other without a warning:
//   reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, "Name")))
using FARPROC = INT_PTR (*)();

// The module, or null with ERROR_MOD_NOT_FOUND (no such library) or
// ERROR_BAD_EXE_FORMAT (a file that does not load as a library).
HMODULE LoadLibraryW(LPCWSTR fileName);
// An exported entry point by name, or null with ERROR_PROC_NOT_FOUND (also
// for ordinals, which libraries here do not have) or ERROR_INVALID_HANDLE.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
BOOL FreeLibrary(HMODULE module);
