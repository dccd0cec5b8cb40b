// A parent window that records what its controls tell it, for the standard
// controls' conformance suites.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/phone.h"
#include "platform/windows.h"

namespace controls_test {

struct Notice {
  UINT message = 0;  // WM_COMMAND or WM_NOTIFY
  WORD id = 0;
  UINT code = 0;
  HWND from = nullptr;
  LRESULT checkAtClick = -1;     // BM_GETCHECK while BN_CLICKED is handled
  NMDATETIMECHANGE change{};     // for DTN_DATETIMECHANGE
};

inline std::vector<Notice>& notices() {
  static std::vector<Notice> log;
  return log;
}

// What the parent answers to its controls' colour requests (null: the
// default processing).
struct ColourAnswer {
  HBRUSH brush = nullptr;
  COLORREF colour = 0;
};
inline ColourAnswer& colourAnswer() {
  static ColourAnswer answer;
  return answer;
}

inline LRESULT recordingParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC && colourAnswer().brush != nullptr) {
    SetBkColor(reinterpret_cast<HDC>(wParam), colourAnswer().colour);
    return reinterpret_cast<LRESULT>(colourAnswer().brush);
  }
  if (message == WM_COMMAND) {
    Notice n;
    n.message = message;
    n.id = LOWORD(wParam);
    n.code = HIWORD(wParam);
    n.from = reinterpret_cast<HWND>(lParam);
    if (n.code == BN_CLICKED) n.checkAtClick = SendMessageW(n.from, BM_GETCHECK, 0, 0);
    notices().push_back(n);
    return 0;
  }
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    Notice n;
    n.message = message;
    n.id = LOWORD(wParam);
    n.code = header->code;
    n.from = header->hwndFrom;
    if (header->code == DTN_DATETIMECHANGE) n.change = *reinterpret_cast<const NMDATETIMECHANGE*>(lParam);
    notices().push_back(n);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::resetWindows();
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingParentProc;
    wc.lpszClassName = u"ControlsTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowExW(0, u"ControlsTestParent", u"Test", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    notices().clear();
  }
  void TearDown() override {
    platform::resetWindows();
    notices().clear();
    colourAnswer() = ColourAnswer{};
  }

  HWND create(LPCWSTR className, LPCWSTR text, DWORD style, int id = 7, int width = 120, int height = 18,
              int y = 4) {
    HWND control = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 3, y, width, height, parent_,
                                   reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id)), nullptr, nullptr);
    EXPECT_NE(control, nullptr);
    return control;
  }

  static void key(HWND window, UINT vk) { SendMessageW(window, WM_KEYDOWN, vk, 0); }
  static void type(HWND window, std::u16string_view chars) {
    for (char16_t c : chars) SendMessageW(window, WM_CHAR, c, 0);
  }
  static std::u16string textOf(HWND window) {
    WCHAR buffer[512] = {};
    const int n = GetWindowTextW(window, buffer, 512);
    return std::u16string(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
  }
  // The notification codes the parent received from one control, in order.
  static std::vector<UINT> codesFrom(HWND control) {
    std::vector<UINT> codes;
    for (const Notice& n : notices())
      if (n.from == control) codes.push_back(n.code);
    return codes;
  }

  HWND parent_ = nullptr;
};

}  // namespace controls_test
