// Windows and messages: creation and destruction, stale handles, focus
// order, subclassing chains, the queue and TranslateMessage.
#include "window_fixture.h"

using namespace window_test;

namespace {

class Windows : public WindowTest {};

TEST_F(Windows, CreateSendsCreateStructAndMinusOneFailsCreation) {
  HWND seenParent = reinterpret_cast<HWND>(1);
  LPCWSTR seenName = nullptr;
  override() = [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT> {
    if (m != WM_CREATE) return std::nullopt;
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(l);
    seenParent = cs->hwndParent;
    seenName = cs->lpszName;
    return cs->lpszName != nullptr && std::u16string(cs->lpszName) == u"refuse" ? -1 : 0;
  };
  HWND main = topLevel(u"Main");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(seenParent, nullptr);
  EXPECT_EQ(std::u16string(seenName), u"Main");

  log().clear();
  EXPECT_EQ(child(main, 5, WS_VISIBLE, RECT{0, 0, 10, 10}, recordingClass, u"refuse"), nullptr);
  // The refused window was destroyed again and is not among the children.
  ASSERT_EQ(logged({WM_DESTROY}).size(), 1u);
  EXPECT_FALSE(IsWindow(logged({WM_DESTROY})[0].window));
  EXPECT_EQ(GetWindow(main, GW_CHILD), nullptr);
}

TEST_F(Windows, DestroySendsDestroyToTheWindowThenItsChildrenAndRefusesStaleHandles) {
  HWND main = topLevel();
  HWND a = child(main, 1);
  HWND b = child(main, 2);
  HWND a1 = child(a, 3);
  log().clear();
  ASSERT_TRUE(DestroyWindow(main));
  std::vector<HWND> order;
  for (const auto& e : logged({WM_DESTROY})) order.push_back(e.window);
  EXPECT_EQ(order, (std::vector<HWND>{main, a, a1, b}));

  for (HWND stale : {main, a, b, a1, reinterpret_cast<HWND>(1), reinterpret_cast<HWND>(~std::uintptr_t{0})}) {
    EXPECT_FALSE(IsWindow(stale));
    EXPECT_EQ(SendMessageW(stale, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(GetWindowLongW(stale, GWL_STYLE), 0);
    EXPECT_FALSE(PostMessageW(stale, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(stale));
    RECT r{};
    EXPECT_FALSE(GetWindowRect(stale, &r));
  }
  // A new window never takes a destroyed window's handle.
  HWND fresh = topLevel();
  EXPECT_NE(fresh, main);
  EXPECT_NE(fresh, a);
}

TEST_F(Windows, CloseDestroysByDefault) {
  HWND main = topLevel();
  SendMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(main));
}

TEST_F(Windows, FocusChangeSendsKillFocusThenSetFocusEachNamingTheOther) {
  HWND main = topLevel();
  HWND a = child(main, 1);
  HWND b = child(main, 2);
  SetFocus(a);
  log().clear();
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(GetFocus(), b);
  std::vector<Logged> expected = {
      {a, WM_KILLFOCUS, reinterpret_cast<WPARAM>(b), 0},
      {b, WM_SETFOCUS, reinterpret_cast<WPARAM>(a), 0},
  };
  EXPECT_EQ(logged({WM_KILLFOCUS, WM_SETFOCUS}), expected);

  // Setting the focus where it already is sends nothing.
  log().clear();
  SetFocus(b);
  EXPECT_TRUE(logged({WM_KILLFOCUS, WM_SETFOCUS}).empty());

  // While the losing window handles WM_KILLFOCUS, it still has the focus.
  HWND focusDuringKill = nullptr;
  override() = [&](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m == WM_KILLFOCUS) focusDuringKill = GetFocus();
    return std::nullopt;
  };
  SetFocus(a);
  EXPECT_EQ(focusDuringKill, b);
}

TEST_F(Windows, ActivationSendsActivateToBothWindows) {
  HWND first = topLevel(u"First");
  EXPECT_EQ(GetActiveWindow(), first);
  log().clear();
  HWND second = topLevel(u"Second");
  std::vector<Logged> expected = {
      {first, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(second)},
      {second, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(first)},
  };
  EXPECT_EQ(logged({WM_ACTIVATE}), expected);
  EXPECT_EQ(GetActiveWindow(), second);
}

// Two subclass procedures stacked on a window: each logs and passes the
// message to the procedure it replaced.
std::vector<std::string> chain;
WNDPROC firstSaved = nullptr;
WNDPROC secondSaved = nullptr;
LRESULT firstSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETTEXT) chain.push_back("first");
  return CallWindowProcW(firstSaved, w, m, wp, lp);
}
LRESULT secondSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETTEXT) chain.push_back("second");
  if (m == WM_USER + 1) return 77;  // handled here, not passed on
  return CallWindowProcW(secondSaved, w, m, wp, lp);
}

TEST_F(Windows, SubclassingChainPassesMessagesOnToTheClassProcedure) {
  HWND main = topLevel();
  HWND c = child(main, 1);
  chain.clear();
  firstSaved = reinterpret_cast<WNDPROC>(SetWindowLongW(c, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(firstSubclass)));
  secondSaved = reinterpret_cast<WNDPROC>(SetWindowLongW(c, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(secondSubclass)));
  EXPECT_EQ(firstSaved, recordingProc);
  EXPECT_EQ(secondSaved, firstSubclass);
  EXPECT_EQ(GetWindowLongW(c, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(secondSubclass));

  log().clear();
  SetWindowTextW(c, u"hello");
  EXPECT_EQ(chain, (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(logged({WM_SETTEXT}).size(), 1u);  // reached the class procedure
  WCHAR text[16];
  EXPECT_EQ(GetWindowTextW(c, text, 16), 5);
  EXPECT_EQ(std::u16string(text), u"hello");

  log().clear();
  EXPECT_EQ(SendMessageW(c, WM_USER + 1, 0, 0), 77);
  EXPECT_TRUE(logged({WM_USER + 1}).empty());
}

TEST_F(Windows, WindowLongsAndTextAreKeptPerWindow) {
  HWND main = topLevel();
  HWND c = child(main, 42, WS_VISIBLE | WS_TABSTOP);
  EXPECT_EQ(GetWindowLongW(c, GWL_ID), 42);
  EXPECT_EQ(GetDlgCtrlID(c), 42);
  EXPECT_EQ(GetWindowLongW(c, GWL_STYLE), static_cast<LONG_PTR>(WS_CHILD | WS_VISIBLE | WS_TABSTOP));
  SetWindowLongW(c, GWL_USERDATA, 1234);
  EXPECT_EQ(GetWindowLongW(c, GWL_USERDATA), 1234);
  EXPECT_EQ(GetWindowLongW(main, GWL_USERDATA), 0);
  // Text is cut to the buffer, terminator included.
  SetWindowTextW(c, u"abcdef");
  WCHAR small[4];
  EXPECT_EQ(GetWindowTextW(c, small, 4), 3);
  EXPECT_EQ(std::u16string(small), u"abc");
  WCHAR cls[8];
  EXPECT_EQ(GetClassNameW(c, cls, 8), 7);
  EXPECT_EQ(std::u16string(cls), u"Recordi");
  EXPECT_EQ(GetParent(c), main);
  EXPECT_EQ(FindWindowW(u"recording", nullptr), main);  // class names ignore case
}

TEST_F(Windows, PostedMessagesArriveInOrderAndTranslateAddsCharsBeforeKeyUp) {
  HWND main = topLevel();
  HWND edit = child(main, 1);
  SetFocus(edit);
  log().clear();
  PostMessageW(main, WM_USER + 1, 0, 0);
  platform::pressKey(digit(u'7'));
  platform::pressKey(key(platform::Key::Action));
  PostMessageW(main, WM_USER + 2, 0, 0);
  platform::runPending();
  std::vector<std::pair<HWND, UINT>> seen;
  for (const auto& e : logged({WM_USER + 1, WM_USER + 2, WM_KEYDOWN, WM_CHAR, WM_KEYUP}))
    seen.emplace_back(e.window, e.message);
  std::vector<std::pair<HWND, UINT>> expected = {
      {main, WM_USER + 1}, {edit, WM_KEYDOWN}, {edit, WM_CHAR}, {edit, WM_KEYUP},
      {edit, WM_KEYDOWN},  {edit, WM_CHAR},    {edit, WM_KEYUP}, {main, WM_USER + 2},
  };
  EXPECT_EQ(seen, expected);
  auto chars = logged({WM_CHAR});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].wParam, WPARAM{'7'});
  EXPECT_EQ(chars[1].wParam, WPARAM{13});  // the action key
}

TEST_F(Windows, GetMessageEndsOnQuitAndWithoutInput) {
  HWND main = topLevel();
  MSG msg{};
  // No input source and nothing queued: the loop ends as if WM_QUIT came.
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);

  PostMessageW(main, WM_USER, 0, 0);
  PostQuitMessage(3);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Windows, LeavingClosesTheMainWindow) {
  HWND main = topLevel();
  override() = [&](HWND w, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (w == main && m == WM_DESTROY) PostQuitMessage(9);
    return std::nullopt;
  };
  feed({});
  MSG msg{};
  int loops = 0;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0 && loops++ < 100) DispatchMessageW(&msg);
  EXPECT_FALSE(IsWindow(main));
  EXPECT_EQ(msg.wParam, 9u);
}

TEST_F(Windows, GeometryIsInScreenAndClientCoordinates) {
  HWND main = topLevel();
  RECT r{};
  GetWindowRect(main, &r);
  // Between the title row and the soft-key row of the 240 x 320 screen.
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 22);
  EXPECT_EQ(r.right, 240);
  EXPECT_EQ(r.bottom, 286);
  HWND c = child(main, 1, WS_VISIBLE, RECT{10, 20, 60, 38});
  GetWindowRect(c, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 42);
  GetClientRect(c, &r);
  EXPECT_EQ(r.right, 50);
  EXPECT_EQ(r.bottom, 18);
  POINT p{0, 0};
  ClientToScreen(c, &p);
  EXPECT_EQ(p.y, 42);
  ScreenToClient(main, &p);
  EXPECT_EQ(p.y, 20);

  log().clear();
  MoveWindow(c, 0, 0, 30, 18, TRUE);
  ASSERT_EQ(logged({WM_SIZE}).size(), 1u);
  EXPECT_EQ(logged({WM_SIZE})[0].lParam, MAKELPARAM(30, 18));

  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 240);
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 6);
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 96);
  platform::configureScreen(platform::ScreenConfig{480, 640, 192});
  EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 12);
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 192);
  EXPECT_EQ(GetDialogBaseUnits(), static_cast<LONG>(MAKELONG(12, 26)));
}

TEST_F(Windows, ShowAndEnableNotifyTheWindow) {
  HWND main = topLevel();
  HWND c = child(main, 1, 0);
  EXPECT_FALSE(IsWindowVisible(c));
  ShowWindow(c, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(c));
  ShowWindow(main, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(c));  // hidden with its parent
  log().clear();
  EnableWindow(c, FALSE);
  EnableWindow(c, FALSE);  // no change, no message
  EnableWindow(c, TRUE);
  std::vector<Logged> expected = {{c, WM_ENABLE, FALSE, 0}, {c, WM_ENABLE, TRUE, 0}};
  EXPECT_EQ(logged({WM_ENABLE}), expected);
}

TEST_F(Windows, EnumWindowsListsTopLevelWindowsNewestFirst) {
  HWND a = topLevel(u"A");
  HWND b = topLevel(u"B");
  child(a, 1);
  std::vector<HWND> seen;
  EXPECT_TRUE(EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&seen)));
  EXPECT_EQ(seen, (std::vector<HWND>{b, a}));
  // Stopping early still counts as an enumeration that ran.
  EXPECT_TRUE(EnumWindows([](HWND, LPARAM) -> BOOL { return FALSE; }, 0));
}

TEST_F(Windows, MessageBeepIsCounted) {
  EXPECT_EQ(platform::beepCount(), 0);
  MessageBeep(0xFFFFFFFF);
  EXPECT_EQ(platform::beepCount(), 1);
}

}  // namespace
