// Sending and posting messages, the queue, the message loop's calls and
// the front-end's input source.
#include <deque>

#include "platform/instances/instances.h"
#include "platform/internal/message_loop.h"
#include "platform/internal/window_system.h"
#include "platform/phone.h"

using namespace platform::detail;

namespace {

struct Queue {
  std::deque<MSG> messages;
  bool quitPending = false;
  int quitCode = 0;
  platform::InputSource input;
  int beeps = 0;
  DWORD clock = 0;
};
Queue& queue() {
  static Queue q;
  return q;
}

bool matches(const MSG& m, HWND root, UINT filterMin, UINT filterMax) {
  if (root != nullptr && !belongsTo(m.hwnd, root)) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

// Takes the first matching message; messages for windows that are gone
// are dropped on the way.
bool takeMessage(MSG& out, HWND root, UINT filterMin, UINT filterMax, bool remove) {
  auto& messages = queue().messages;
  for (auto it = messages.begin(); it != messages.end();) {
    if (it->hwnd != nullptr && findWindow(it->hwnd) == nullptr) {
      it = messages.erase(it);
      continue;
    }
    if (matches(*it, root, filterMin, filterMax)) {
      out = *it;
      if (remove) messages.erase(it);
      return true;
    }
    ++it;
  }
  return false;
}

}  // namespace

namespace platform::detail {

void resetQueue() {
  auto& q = queue();
  q.messages.clear();
  q.quitPending = false;
  q.quitCode = 0;
  q.beeps = 0;
}

WaitResult waitMessage(MSG& msg, HWND root) {
  // Bounded only by the user: each turn either finds a message or asks the
  // input source for the next key.
  for (;;) {
    if (takeMessage(msg, root, 0, 0, true)) return WaitResult::Message;
    auto& q = queue();
    if (q.quitPending) {
      q.quitPending = false;
      msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, POINT{0, 0}};
      return WaitResult::Quit;
    }
    // Other instances are served before the user is asked: what they sent
    // may have queued messages (a handled WM_CLOSE posts WM_QUIT).
    if (serveOtherInstances()) continue;
    if (!q.input) {
      msg = MSG{nullptr, WM_QUIT, 0, 0, 0, POINT{0, 0}};
      return WaitResult::NoInput;
    }
    std::optional<platform::KeyEvent> key = q.input();
    if (!key) {
      closeMainWindow();
      if (root != nullptr) return WaitResult::Leave;
      continue;
    }
    platform::pressKey(*key);
  }
}

bool runModalLoop(HWND dialog) {
  // Other instances' messages and activations wait for the outer loop.
  struct HoldScope {
    bool previous = platform::instances::actingRequestsHeld();
    HoldScope() { platform::instances::holdActingRequests(true); }
    ~HoldScope() { platform::instances::holdActingRequests(previous); }
  } hold;
  for (;;) {
    const Window* w = findWindow(dialog);
    if (w == nullptr || !w->dialog || w->dialog->ended) return true;
    MSG msg{};
    WaitResult r = waitMessage(msg, dialog);
    if (r == WaitResult::Quit) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for the loops outside
      return false;
    }
    if (r != WaitResult::Message) return false;
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

void closeMainWindow() {
  if (HWND main = mainWindow()) PostMessageW(main, WM_CLOSE, 0, 0);
}

}  // namespace platform::detail

namespace platform {

void setInputSource(InputSource source) { queue().input = std::move(source); }

void runPending() {
  // Bounded, so that a window that keeps posting to itself cannot hang a test.
  MSG msg{};
  for (int i = 0; i < 1000000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int beepCount() { return queue().beeps; }

}  // namespace platform

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (isRemoteHandle(window)) return sendToRemote(window, message, wParam, lParam);
  const Window* w = findWindow(window);
  if (w == nullptr || w->proc == nullptr) return 0;
  return w->proc(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (isRemoteHandle(window)) return postToRemote(window, message, wParam, lParam) ? TRUE : FALSE;
  if (window != nullptr && findWindow(window) == nullptr) return FALSE;
  auto& q = queue();
  q.messages.push_back(MSG{window, message, wParam, lParam, ++q.clock, POINT{0, 0}});
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  queue().quitPending = true;
  queue().quitCode = exitCode;
}

BOOL GetMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) return -1;
  if (window != nullptr && findWindow(window) == nullptr) return -1;
  if (filterMin != 0 || filterMax != 0) {
    // A range filter never waits for keys: it takes what is queued.
    if (takeMessage(*msg, window, filterMin, filterMax, true)) return TRUE;
  }
  WaitResult r = waitMessage(*msg, window);
  return r == WaitResult::Message ? TRUE : FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT remove) {
  if (msg == nullptr) return FALSE;
  if (takeMessage(*msg, window, filterMin, filterMax, (remove & PM_REMOVE) != 0)) return TRUE;
  auto& q = queue();
  if (q.quitPending) {
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, 0, POINT{0, 0}};
    if ((remove & PM_REMOVE) != 0) q.quitPending = false;
    return TRUE;
  }
  return FALSE;
}

// WM_KEYDOWN of a character key is followed by its WM_CHAR, ahead of
// everything already queued. The phone's keys carry their character in bits
// 32-47 of lParam (set by pressKey); the action, Back and Escape keys give
// 13, 8 and 27 as on Win32.
BOOL TranslateMessage(const MSG* msg) {
  if (msg == nullptr || msg->message != WM_KEYDOWN) return FALSE;
  WPARAM ch = static_cast<WPARAM>((static_cast<std::uint64_t>(msg->lParam) >> 32) & 0xFFFF);
  if (ch == 0) {
    switch (msg->wParam) {
      case VK_RETURN: ch = 13; break;
      case VK_BACK: ch = 8; break;
      case VK_ESCAPE: ch = 27; break;
      default:
        if ((msg->wParam >= '0' && msg->wParam <= '9') || (msg->wParam >= 'A' && msg->wParam <= 'Z')) ch = msg->wParam;
        break;
    }
  }
  if (ch == 0) return FALSE;
  auto& q = queue();
  q.messages.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam & 0xFFFFFFFF, ++q.clock, POINT{0, 0}});
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL MessageBeep(UINT) {
  ++queue().beeps;
  return TRUE;
}
