// The common controls: date/time picker and up-down control.
#pragma once

#include "platform/win_types.h"

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);
constexpr DWORD ICC_BAR_CLASSES = 0x00000004;
constexpr DWORD ICC_UPDOWN_CLASS = 0x00000010;
constexpr DWORD ICC_DATE_CLASSES = 0x00000100;
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
// The phone's per-dialog common-controls set-up (commctrl ordinal 35): lets
// the dialog's controls take the phone's look. Nothing depends on its result.
BOOL CommCtrlInitDialog(HWND dialog, HWND owner);

struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};

// "SysDateTimePick32"
inline constexpr WCHAR DATETIMEPICK_CLASSW[] = u"SysDateTimePick32";
constexpr DWORD DTS_UPDOWN = 0x0001;
constexpr DWORD DTS_SHOWNONE = 0x0002;
constexpr DWORD DTS_SHORTDATEFORMAT = 0x0000;
constexpr DWORD DTS_LONGDATEFORMAT = 0x0004;
constexpr DWORD DTS_TIMEFORMAT = 0x0009;
constexpr DWORD DTS_TIMEFORMATBIT = 0x0008;
constexpr DWORD DTS_SHORTDATECENTURYFORMAT = 0x000C;
constexpr UINT DTM_FIRST = 0x1000;
constexpr UINT DTM_GETSYSTEMTIME = DTM_FIRST + 1;
constexpr UINT DTM_SETSYSTEMTIME = DTM_FIRST + 2;
constexpr LRESULT GDT_ERROR = -1;
constexpr LRESULT GDT_VALID = 0;
constexpr LRESULT GDT_NONE = 1;
constexpr UINT DTN_FIRST = static_cast<UINT>(-760);
constexpr UINT DTN_DATETIMECHANGE = DTN_FIRST + 1;
struct NMDATETIMECHANGE {
  NMHDR nmhdr;
  DWORD dwFlags;  // GDT_VALID or GDT_NONE
  SYSTEMTIME st;
};

// "msctls_updown32"
inline constexpr WCHAR UPDOWN_CLASSW[] = u"msctls_updown32";
constexpr DWORD UDS_WRAP = 0x0001;
constexpr DWORD UDS_SETBUDDYINT = 0x0002;
constexpr DWORD UDS_ALIGNRIGHT = 0x0004;
constexpr DWORD UDS_ALIGNLEFT = 0x0008;
constexpr DWORD UDS_AUTOBUDDY = 0x0010;
constexpr DWORD UDS_ARROWKEYS = 0x0020;
constexpr DWORD UDS_HORZ = 0x0040;
constexpr UINT UDM_SETBUDDY = 0x0400 + 105;
constexpr UINT UDM_GETBUDDY = 0x0400 + 106;
