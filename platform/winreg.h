// The registry: keys and their subkeys, read-only.
//
// A key is a folder under DEVICE/registry/ (the phone's root folder), the
// predefined key's name first: HKEY_LOCAL_MACHINE\Software\Microsoft is
// DEVICE/registry/HKEY_LOCAL_MACHINE/Software/Microsoft. Its subkeys are its
// subfolders. Names match ignoring letter case, as key names do.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

// The predefined keys, sign-extended as on 64-bit Windows.
#define TESSRA_PREDEFINED_HKEY(value) (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<LONG>(value))))
#define HKEY_CLASSES_ROOT TESSRA_PREDEFINED_HKEY(0x80000000u)
#define HKEY_CURRENT_USER TESSRA_PREDEFINED_HKEY(0x80000001u)
#define HKEY_LOCAL_MACHINE TESSRA_PREDEFINED_HKEY(0x80000002u)
#define HKEY_USERS TESSRA_PREDEFINED_HKEY(0x80000003u)

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Opens a key below hKey: subKey holds names separated by '\' (null or ""
// opens hKey again). The access wanted is not checked: every key is
// readable and none is writable here. Results: ERROR_SUCCESS with the new key
// in *result; ERROR_FILE_NOT_FOUND for a missing key; ERROR_BAD_PATHNAME for
// an empty name inside the path; ERROR_INVALID_HANDLE for a key that is not
// open; ERROR_INVALID_PARAMETER for reserved options or no result. On
// failure *result is null.
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
// The subkey at index in byte order of the names. *nameSize is the room of
// name in characters, terminator included; on success it becomes the
// length copied without the terminator. A name that does not fit gives
// ERROR_MORE_DATA and leaves both unchanged. Past the last subkey:
// ERROR_NO_MORE_ITEMS. A class, when asked for, is always empty; the time is
// the folder's last change.
LONG RegEnumKeyExW(HKEY hKey, DWORD index, LPWSTR name, DWORD* nameSize, DWORD* reserved, LPWSTR className,
                   DWORD* classSize, FILETIME* lastWriteTime);
LONG RegCloseKey(HKEY hKey);
