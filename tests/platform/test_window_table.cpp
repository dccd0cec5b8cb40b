// The window table: freed slots are taken by later windows, yet a handle
// names one window only, and every walk sees the live windows in the order
// they were created.
#include <set>

#include "platform/internal/window_system.h"
#include "window_fixture.h"

using namespace window_test;

namespace {

class WindowTable : public WindowTest {};

std::vector<HWND> enumerated() {
  std::vector<HWND> seen;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen));
  return seen;
}

std::vector<HWND> childrenOf(HWND parent) {
  std::vector<HWND> seen;
  for (HWND c = GetWindow(parent, GW_CHILD); c != nullptr && seen.size() < 100; c = GetWindow(c, GW_HWNDNEXT))
    seen.push_back(c);
  return seen;
}

std::vector<HWND> destroyedInOrder() {
  std::vector<HWND> order;
  for (const auto& e : logged({WM_DESTROY})) order.push_back(e.window);
  return order;
}

}  // namespace

TEST_F(WindowTable, AStaleHandleNamesNothingOnceItsSlotIsTaken) {
  HWND main = topLevel();
  HWND old = child(main, 1, WS_VISIBLE, RECT{0, 0, 50, 20}, recordingClass, u"old");
  HWND oldTop = topLevel(u"Old top");
  const std::size_t slots = platform::detail::windowSlotCount();
  ASSERT_TRUE(DestroyWindow(old));
  ASSERT_TRUE(DestroyWindow(oldTop));
  HWND fresh = child(main, 1, WS_VISIBLE, RECT{0, 0, 50, 20}, recordingClass, u"fresh");
  HWND freshTop = topLevel(u"Fresh top");
  ASSERT_NE(fresh, nullptr);
  ASSERT_NE(freshTop, nullptr);
  // The new windows took the freed slots; their handles are new all the same.
  EXPECT_EQ(platform::detail::windowSlotCount(), slots);
  EXPECT_NE(fresh, old);
  EXPECT_NE(freshTop, oldTop);

  log().clear();
  for (HWND stale : {old, oldTop}) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(stale));
    EXPECT_FALSE(IsWindow(stale));
    EXPECT_EQ(SendMessageW(stale, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"hijacked")), 0);
    EXPECT_EQ(SendMessageW(stale, WM_USER, 1, 2), 0);
    EXPECT_FALSE(PostMessageW(stale, WM_USER, 3, 4));
    EXPECT_EQ(SetWindowLongW(stale, GWL_USERDATA, 7), 0);
    EXPECT_EQ(GetWindowLongW(stale, GWL_STYLE), 0);
    EXPECT_EQ(GetParent(stale), nullptr);
    EXPECT_FALSE(ShowWindow(stale, SW_HIDE));
    EXPECT_FALSE(DestroyWindow(stale));
  }
  // Nothing sent to the stale handles reached the windows now in their slots.
  EXPECT_TRUE(log().empty());
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  for (HWND live : {fresh, freshTop}) {
    EXPECT_TRUE(IsWindow(live));
    EXPECT_TRUE(IsWindowVisible(live));
    EXPECT_EQ(GetWindowLongW(live, GWL_USERDATA), 0);
  }
  char16_t text[16] = {};
  GetWindowTextW(fresh, text, 16);
  EXPECT_EQ(std::u16string(text), u"fresh");
  EXPECT_EQ(GetParent(fresh), main);
  EXPECT_EQ(GetDlgItem(main, 1), fresh);
}

TEST_F(WindowTable, HandlesStayValidAndUniqueAcrossManyCycles) {
  HWND main = topLevel();
  HWND kept1 = child(main, 1);
  HWND kept2 = child(main, 2);
  std::set<HWND> seen{main, kept1, kept2};
  std::size_t handles = seen.size();
  for (int cycle = 0; cycle < 300; ++cycle) {
    HWND form = topLevel(u"Form");
    seen.insert(form);
    for (int id = 1; id <= 10; ++id) seen.insert(child(form, id));
    handles += 11;
    // Destroying a kept window's sibling in the middle of the cycle frees a
    // slot below the form's.
    if (cycle % 50 == 0) {
      HWND extra = child(main, 3);
      seen.insert(extra);
      ++handles;
      ASSERT_TRUE(DestroyWindow(extra));
    }
    ASSERT_TRUE(DestroyWindow(form));
    ASSERT_TRUE(IsWindow(main));
    ASSERT_EQ(GetDlgItem(main, 1), kept1);
    ASSERT_EQ(GetDlgItem(main, 2), kept2);
  }
  EXPECT_EQ(seen.size(), handles) << "a handle was given to two windows";
  EXPECT_EQ(childrenOf(main), (std::vector<HWND>{kept1, kept2}));
  EXPECT_EQ(enumerated(), (std::vector<HWND>{main}));
}

// A slot is taken by one window after another; its handles still never
// repeat, also once the slot has had as many windows as a handle can count.
TEST_F(WindowTable, OneSlotUsedOverAndOverNeverRepeatsAHandle) {
  HWND main = topLevel();
  const std::size_t slots = platform::detail::windowSlotCount();
  std::set<HWND> seen{main};
  constexpr int windows = 70'000;
  for (int i = 0; i < windows; ++i) {
    HWND w = child(main, 1);
    ASSERT_NE(w, nullptr);
    seen.insert(w);
    ASSERT_TRUE(DestroyWindow(w));
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(windows) + 1);
  // A slot that has run out of handles is left, and another one taken.
  EXPECT_LE(platform::detail::windowSlotCount(), slots + 2);
  for (HWND h : seen) ASSERT_LE(reinterpret_cast<std::uintptr_t>(h), std::uintptr_t{0xFFFFFFFF});
}

// Every walk of the windows goes by creation order, whatever slot a window
// took: enumeration newest first, owned windows destroyed oldest first, the
// main window the oldest one.
TEST_F(WindowTable, WalksFollowCreationOrderNotSlotOrder) {
  HWND a = topLevel(u"Same");
  HWND b = topLevel(u"B");
  HWND c = topLevel(u"Same");
  ASSERT_TRUE(DestroyWindow(b));
  HWND d = topLevel(u"Same");  // in b's slot, below c's
  EXPECT_EQ(enumerated(), (std::vector<HWND>{d, c, a}));
  EXPECT_EQ(FindWindowW(recordingClass, u"Same"), d);

  HWND first = child(a, 1);
  HWND second = child(a, 2);
  HWND third = child(a, 3);
  ASSERT_TRUE(DestroyWindow(second));
  HWND fourth = child(a, 4);
  EXPECT_EQ(childrenOf(a), (std::vector<HWND>{first, third, fourth}));

  // Owned windows go before their owner, oldest first.
  HWND x = CreateWindowExW(0, recordingClass, u"X", WS_POPUP, 0, 0, 10, 10, c, nullptr, nullptr, nullptr);
  HWND y = CreateWindowExW(0, recordingClass, u"Y", WS_POPUP, 0, 0, 10, 10, c, nullptr, nullptr, nullptr);
  HWND z = CreateWindowExW(0, recordingClass, u"Z", WS_POPUP, 0, 0, 10, 10, c, nullptr, nullptr, nullptr);
  ASSERT_TRUE(DestroyWindow(y));
  HWND w = CreateWindowExW(0, recordingClass, u"W", WS_POPUP, 0, 0, 10, 10, c, nullptr, nullptr, nullptr);
  log().clear();
  ASSERT_TRUE(DestroyWindow(c));
  EXPECT_EQ(destroyedInOrder(), (std::vector<HWND>{x, z, w, c}));

  // The main window is the oldest left: after a goes, d, not the window
  // that takes a's slot.
  ASSERT_TRUE(DestroyWindow(a));
  HWND e = topLevel(u"E");
  ASSERT_NE(e, nullptr);
  feed({});
  MSG msg{};
  ASSERT_GT(GetMessageW(&msg, nullptr, 0, 0), 0);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(msg.hwnd, d);
}

TEST_F(WindowTable, RepeatedOpenAndCloseDoesNotGrowTheTable) {
  HWND main = topLevel();
  auto openAndClose = [&] {
    HWND form = CreateWindowExW(0, recordingClass, u"Form", WS_VISIBLE, 0, 0, 100, 100, main, nullptr, nullptr,
                                nullptr);
    for (int id = 1; id <= 40; ++id) child(form, id);
    HWND box = CreateWindowExW(0, recordingClass, u"Box", WS_POPUP, 0, 0, 10, 10, form, nullptr, nullptr, nullptr);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(DestroyWindow(form));
  };
  openAndClose();
  const std::size_t slots = platform::detail::windowSlotCount();
  EXPECT_LE(slots, 50u);
  for (int i = 0; i < 200; ++i) openAndClose();
  EXPECT_EQ(platform::detail::windowSlotCount(), slots);
  EXPECT_EQ(enumerated(), (std::vector<HWND>{main}));

  // Resetting frees every slot for later windows too.
  platform::resetWindows();
  WNDCLASSW wc{};
  wc.lpfnWndProc = recordingProc;
  wc.lpszClassName = recordingClass;
  ASSERT_NE(RegisterClassW(&wc), 0);
  main = topLevel();
  ASSERT_NE(main, nullptr);
  for (int i = 0; i < 50; ++i) openAndClose();
  EXPECT_EQ(platform::detail::windowSlotCount(), slots);
}

// When every slot holds a live window, creation fails cleanly; once one is
// freed, creation works again.
TEST_F(WindowTable, AFullTableRefusesNewWindows) {
  HWND main = topLevel();
  std::vector<HWND> windows;
  HWND last = nullptr;
  for (int id = 1; id < 70'000; ++id) {
    last = child(main, id, 0);
    if (last == nullptr) break;
    windows.push_back(last);
  }
  ASSERT_EQ(last, nullptr) << "the table never filled";
  EXPECT_EQ(topLevel(u"One more"), nullptr);

  // The refused windows left no trace among the siblings: once slots are
  // free, new windows come right after the old ones.
  ASSERT_TRUE(DestroyWindow(windows[10]));
  ASSERT_TRUE(DestroyWindow(windows[11]));
  HWND again = topLevel(u"Again");
  HWND againChild = child(main, 1, 0);
  ASSERT_NE(again, nullptr);
  ASSERT_NE(againChild, nullptr);
  EXPECT_NE(again, windows[10]);
  EXPECT_NE(againChild, windows[11]);
  EXPECT_EQ(GetWindow(again, GW_HWNDNEXT), main);
  EXPECT_EQ(GetWindow(windows.back(), GW_HWNDNEXT), againChild);
  EXPECT_EQ(enumerated(), (std::vector<HWND>{again, main}));
}
