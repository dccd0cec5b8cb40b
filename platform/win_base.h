// Core services of the platform: files, the program's module path, time,
// locale, errors. Win32 names and values.
#pragma once

#include "platform/win_types.h"

// ---- Last error -----------------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_SEEK = 25;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_DLL_INIT_FAILED = 1114;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Files ----------------------------------------------------------------
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;
constexpr int MAX_PATH = 260;

// A file opened with share mode 0 holds an exclusive lock: every other open
// of the same file, from this process or another, fails with
// ERROR_SHARING_VIOLATION until it is closed. Opens that share reading take
// a shared lock. Paths use '/' on this platform; '\' is taken as a
// separator too, and a path that begins with a single '\' ("\Tessra.tmp")
// lies in the phone's root folder.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, void* security, DWORD creation,
                   DWORD flags, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
// Returns the new position, or INVALID_SET_FILE_POINTER with the last error set.
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE handle);
BOOL DeleteFileW(LPCWSTR path);
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists);
DWORD GetFileAttributesW(LPCWSTR path);
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  WCHAR cFileName[MAX_PATH];
};
// Lists a folder by a wildcard in its last path element ('*' and '?').
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);

// The full path of the program file (the executable, or the folder named by
// TESSRA_HOME followed by the program's name). Returns the length copied.
DWORD GetModuleFileNameW(HINSTANCE module, LPWSTR buffer, DWORD size);

// ---- Heap -----------------------------------------------------------------
constexpr UINT LMEM_FIXED = 0;
constexpr UINT LMEM_ZEROINIT = 0x40;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
using HLOCAL = void*;
HLOCAL LocalAlloc(UINT flags, std::size_t bytes);
HLOCAL LocalFree(HLOCAL block);

// ---- Time -----------------------------------------------------------------
void GetLocalTime(SYSTEMTIME* time);
void GetSystemTime(SYSTEMTIME* time);
DWORD GetTickCount();

// ---- Locale ---------------------------------------------------------------
using LCID = DWORD;
using LCTYPE = DWORD;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;
constexpr LCTYPE LOCALE_SSHORTDATE = 0x001F;
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;
constexpr DWORD DATE_SHORTDATE = 0x00000001;
constexpr DWORD DATE_LONGDATE = 0x00000002;
constexpr DWORD TIME_NOSECONDS = 0x00000002;

// Returns the number of units written, terminator included; 0 on failure
// (ERROR_INSUFFICIENT_BUFFER when the buffer is too small).
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size);
// Returns the number of units written, terminator included; 0 on failure
// (an invalid date or time, or a buffer too small). On failure the buffer
// holds the empty text when it has room for one unit.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer,
                   int size);
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer,
                   int size);

// ---- Strings --------------------------------------------------------------
// Case-insensitive comparison of UTF-16 texts by simple case folding of each
// unit, as the phone's _wcsicmp does. Results as strcmp.
int _wcsicmp(LPCWSTR a, LPCWSTR b);
int _wcsnicmp(LPCWSTR a, LPCWSTR b, std::size_t count);
// The unit those comparisons compare in place of unit: texts whose folded
// units compare equal, one by one, compare equal case-insensitively.
char16_t foldedUnit(char16_t unit);
std::size_t wcslen16(LPCWSTR s);

// The absolute, canonical form of a path (symbolic links and "." / ".."
// resolved) for an existing file; the path made absolute otherwise.
// Returns the length without the terminator, 0 on failure, or the room
// needed when the buffer is too small.
DWORD GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart);
