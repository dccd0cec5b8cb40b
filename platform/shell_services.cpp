// The shell's other services: full-screen dialogs, Back-key forwarding and
// handling, shell execution (recorded; "TEL:" requests place a call), the
// common-controls initialisation.
#include "platform/aygshell.h"
#include "platform/commctrl.h"
#include "platform/internal/message_loop.h"
#include "platform/internal/window_system.h"
#include "platform/phone.h"
#include "platform/phone/calls.h"

namespace {
std::vector<platform::ShellRequest>& requests() {
  static std::vector<platform::ShellRequest> r;
  return r;
}
std::u16string textOf(LPCWSTR p) { return (p != nullptr && !IS_INTRESOURCE(p)) ? std::u16string(p) : std::u16string(); }
}  // namespace

namespace platform {
const std::vector<ShellRequest>& shellRequests() { return requests(); }
void resetWindows() {
  detail::resetWindowState();
  requests().clear();
}
}  // namespace platform

using namespace platform::detail;

BOOL SHInitDialog(SHINITDLGINFO* info) {
  if (info == nullptr || findWindow(info->hDlg) == nullptr) return FALSE;
  if ((info->dwMask & SHIDIM_FLAGS) != 0 && (info->dwFlags & SHIDIF_SIZEDLGFULLSCREEN) != 0) {
    const RECT area = screenGeometry().clientArea;
    MoveWindow(info->hDlg, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
  }
  return TRUE;
}

// The Back key reaches the focused window as a real key press through the
// queue: WM_KEYDOWN(VK_BACK) (which TranslateMessage follows with WM_CHAR 8)
// for a key-down, WM_KEYUP(VK_BACK) for a key-up. Key messages are passed
// on as they are.
void SHSendBackToFocusWindow(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND focus = GetFocus();
  if (focus == nullptr) return;
  if (message == WM_HOTKEY) {
    const bool up = (LOWORD(static_cast<std::uintptr_t>(lParam)) & MOD_KEYUP) != 0;
    PostMessageW(focus, up ? WM_KEYUP : WM_KEYDOWN, VK_BACK, up ? LPARAM{static_cast<LPARAM>(0xC0000001)} : LPARAM{1});
    return;
  }
  if (message == WM_KEYDOWN || message == WM_KEYUP || message == WM_CHAR) PostMessageW(focus, message, wParam, lParam);
}

BOOL SHNavigateBack() {
  closeMainWindow();
  return TRUE;
}

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
  if (info == nullptr) return FALSE;
  requests().push_back(platform::ShellRequest{textOf(info->lpVerb), textOf(info->lpFile), textOf(info->lpParameters)});
  if (platform::phone::isCallRequest(info->lpVerb, info->lpFile)) platform::phone::placeCall(info->lpFile);
  return TRUE;
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (init == nullptr || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
  ensureStarted();
  return TRUE;
}

BOOL CommCtrlInitDialog(HWND, HWND) { return TRUE; }
