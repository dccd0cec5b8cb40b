// The phone shell: soft-key bars, full-screen dialogs, the Back key.
#pragma once

#include "platform/win_types.h"

// Soft-key bar creation (shell ordinal 34). The request is 36 bytes on the
// phone; the bar window comes back in hwndMB.
struct SHMENUBARINFO {
  DWORD cbSize;
  HWND hwndParent;
  DWORD dwFlags;
  UINT nToolBarId;
  HINSTANCE hInstRes;
  int nBmpId;
  int cBmpImages;
  HWND hwndMB;
  COLORREF clrBk;
};
constexpr DWORD SHMENUBARINFO_PHONE_SIZE = 36;
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

// Full-screen dialog set-up (shell ordinal 56): a 12-byte request.
struct SHINITDLGINFO {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
};
constexpr DWORD SHIDIM_FLAGS = 0x0001;
constexpr DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
BOOL SHInitDialog(SHINITDLGINFO* info);

// The bar's key override: sent to a bar with wParam the virtual key and
// lParam MAKELPARAM(flags, flags). With SHMBOF_NODEFAULT the bar does not
// take the key's default action; with SHMBOF_NOTIFY the bar's owner gets
// WM_HOTKEY with the key in the high word of lParam and, in the low word,
// 0 on key-down and MOD_KEYUP on key-up.
constexpr UINT SHCMBM_OVERRIDEKEY = 0x0400 + 403;  // 0x593
constexpr WORD SHMBOF_NODEFAULT = 0x0001;
constexpr WORD SHMBOF_NOTIFY = 0x0002;
constexpr WORD MOD_KEYUP = 0x1000;

// Hands a key message to the window that has the focus (shell ordinal 97):
// Back erases a character in an edit box.
void SHSendBackToFocusWindow(UINT message, WPARAM wParam, LPARAM lParam);
// The shell's own Back handling (shell ordinal 183): leaves the application,
// as the phone's home key would.
BOOL SHNavigateBack();

// ---- Shell execution (dialling) ---------------------------------------------
struct SHELLEXECUTEINFOW {
  DWORD cbSize;
  DWORD fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  void* lpIDList;
  LPCWSTR lpClass;
  void* hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
};
constexpr DWORD SEE_MASK_FLAG_NO_UI = 0x00000400;
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
