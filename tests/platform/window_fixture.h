// Recording windows for the window system's conformance suites: every
// message a recording window receives is logged, in order, with its
// parameters, and then handed to DefWindowProcW.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/phone.h"
#include "platform/windows.h"
#include "resources/program_resources.h"

namespace window_test {

struct Logged {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Logged&) const = default;
};

inline std::vector<Logged>& log() {
  static std::vector<Logged> entries;
  return entries;
}

// Messages of interest only (creation and painting traffic is left out
// unless a test asks for it).
inline std::vector<Logged> logged(std::initializer_list<UINT> messages) {
  std::vector<Logged> out;
  for (const auto& e : log())
    for (UINT m : messages)
      if (e.message == m) out.push_back(e);
  return out;
}

// Per-window answers a test can script: message -> result (and no
// default processing).
inline std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>& override() {
  static std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> f;
  return f;
}

inline LRESULT recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  log().push_back(Logged{window, message, wParam, lParam});
  if (override()) {
    if (auto answer = override()(window, message, wParam, lParam)) return *answer;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

inline constexpr char16_t recordingClass[] = u"Recording";

// A phone root folder of this test process's own: windows of test processes
// running side by side never show up in each other's EnumWindows.
inline std::string processDeviceRoot() {
  return (std::filesystem::temp_directory_path() / ("tessra-window-test-" + std::to_string(::getpid()))).string();
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    res::registerProgramResources();
    platform::setDeviceRoot(processDeviceRoot());
    platform::configureScreen(platform::ScreenConfig{});
    platform::setInputSource(nullptr);
    platform::resetWindows();
    log().clear();
    override() = nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = recordingClass;
    wc.hInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});
    ASSERT_NE(RegisterClassW(&wc), 0);
  }
  void TearDown() override {
    platform::setInputSource(nullptr);
    override() = nullptr;
    platform::resetWindows();
    log().clear();
    std::error_code ignored;
    std::filesystem::remove_all(processDeviceRoot(), ignored);
    platform::setDeviceRoot("");
  }

  static HWND topLevel(LPCWSTR title = u"Main") {
    return CreateWindowExW(0, recordingClass, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  }
  static HWND child(HWND parent, int id, DWORD style = WS_VISIBLE | WS_TABSTOP, RECT r = RECT{0, 4, 120, 22},
                    LPCWSTR cls = recordingClass, LPCWSTR text = u"") {
    return CreateWindowExW(0, cls, text, WS_CHILD | style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                           reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
  }

  // Feeds keys to the message loop; when they run out the user leaves.
  static void feed(std::vector<platform::KeyEvent> keys) {
    auto queue = std::make_shared<std::deque<platform::KeyEvent>>(keys.begin(), keys.end());
    platform::setInputSource([queue]() -> std::optional<platform::KeyEvent> {
      if (queue->empty()) return std::nullopt;
      auto k = queue->front();
      queue->pop_front();
      return k;
    });
  }

  static std::vector<std::string> screenLines() {
    std::vector<std::string> lines;
    std::string text = platform::renderScreen().text();
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      lines.push_back(text.substr(start, end - start));
    return lines;
  }
};

inline platform::KeyEvent key(platform::Key k) { return platform::KeyEvent{k, 0}; }
inline platform::KeyEvent digit(char16_t c) { return platform::KeyEvent{platform::Key::Char, c}; }

}  // namespace window_test
