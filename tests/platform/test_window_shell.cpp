// The phone shell: soft-key bars and their commands, pop-up menus, the Back
// key's override and default, the shell's request checks.
#include "resources/ids.h"
#include "window_fixture.h"

using namespace window_test;
using platform::Key;

namespace {

class Shell : public WindowTest {
 protected:
  HWND bar(HWND owner, unsigned id) {
    SHMENUBARINFO info{};
    info.cbSize = SHMENUBARINFO_PHONE_SIZE;
    info.hwndParent = owner;
    info.nToolBarId = id;
    EXPECT_TRUE(SHCreateMenuBar(&info));
    return info.hwndMB;
  }
  std::vector<WORD> commands(HWND owner) {
    std::vector<WORD> out;
    for (const auto& e : logged({WM_COMMAND}))
      if (e.window == owner) out.push_back(LOWORD(e.wParam));
    return out;
  }
  void press(std::initializer_list<platform::KeyEvent> keys) {
    for (const auto& k : keys) {
      platform::pressKey(k);
      platform::runPending();
    }
  }
};

TEST_F(Shell, BarRequestsAreChecked) {
  HWND main = topLevel();
  SHMENUBARINFO info{};
  info.hwndParent = main;
  info.nToolBarId = res::catalogueBar;
  info.cbSize = 20;
  EXPECT_FALSE(SHCreateMenuBar(&info));
  info.cbSize = sizeof(SHMENUBARINFO);
  EXPECT_TRUE(SHCreateMenuBar(&info));
  EXPECT_TRUE(IsWindow(info.hwndMB));
  info.nToolBarId = 4711;
  EXPECT_FALSE(SHCreateMenuBar(&info));
  info.nToolBarId = res::catalogueBar;
  info.hwndParent = reinterpret_cast<HWND>(12345);
  EXPECT_FALSE(SHCreateMenuBar(&info));
  EXPECT_FALSE(SHCreateMenuBar(nullptr));
}

TEST_F(Shell, LeftSoftKeyOfTheVisibleBarSendsItsCommandToTheOwner) {
  HWND main = topLevel();
  HWND catalogue = bar(main, res::catalogueBar);
  HWND list = bar(main, res::listBar);
  HWND edit = bar(main, res::editBar);
  ShowWindow(list, SW_HIDE);
  ShowWindow(edit, SW_HIDE);
  log().clear();
  press({key(Key::SoftLeft)});
  ShowWindow(catalogue, SW_HIDE);
  ShowWindow(list, SW_SHOW);
  press({key(Key::SoftLeft)});
  ShowWindow(list, SW_HIDE);
  ShowWindow(edit, SW_SHOW);
  press({key(Key::SoftLeft), key(Key::SoftRight)});
  EXPECT_EQ(commands(main), (std::vector<WORD>{cmdOpen, cmdDial, cmdDone, cmdCancel}));
  // The soft-key row shows the visible bar's labels.
  auto lines = screenLines();
  EXPECT_EQ(lines.back().substr(0, 4), "Done");
  EXPECT_EQ(lines.back().substr(lines.back().size() - 6), "Cancel");
}

TEST_F(Shell, MenuKeyOpensThePopupAndADigitOrTheActionKeyChooses) {
  HWND main = topLevel();
  // Back without its default action, so that it only ever closes menus here.
  SendMessageW(bar(main, res::formBar), SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(SHMBOF_NODEFAULT, SHMBOF_NODEFAULT));
  struct Case {
    std::vector<platform::KeyEvent> keys;
    std::vector<WORD> expected;
  };
  const Case cases[] = {
      {{key(Key::SoftRight), digit(u'1')}, {cmdDial}},
      {{key(Key::SoftRight), digit(u'7')}, {cmdDeleteRecord}},
      {{key(Key::SoftRight), digit(u'8')}, {}},  // no eighth item: the menu stays open
      {{key(Key::SoftRight), key(Key::Down), key(Key::Down), key(Key::Down), key(Key::Action)}, {cmdEdit}},
      {{key(Key::SoftRight), key(Key::Up), key(Key::Action)}, {cmdDeleteRecord}},  // wraps to the last
      {{key(Key::SoftRight), key(Key::Back), key(Key::SoftLeft)}, {cmdDial}},      // Back closed it
      {{key(Key::SoftRight), key(Key::SoftRight), digit(u'2')}, {}},               // closed: digits go elsewhere
  };
  for (const auto& c : cases) {
    log().clear();
    for (const auto& k : c.keys) {
      platform::pressKey(k);
      platform::runPending();
    }
    EXPECT_EQ(commands(main), c.expected);
    platform::pressKey(key(Key::Back));  // close whatever is open
    log().clear();
  }
}

TEST_F(Shell, OpenMenuIsDrawnNumberedAboveTheSoftKeys) {
  HWND main = topLevel();
  bar(main, res::catalogueBar);
  press({key(Key::SoftRight), key(Key::Down)});
  auto lines = screenLines();
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  for (const char* item : {"1 Open", "2 Delete", "3 Email", "4 Close"}) EXPECT_NE(all.find(item), std::string::npos) << all;
  EXPECT_NE(all.find("4 Close"), std::string::npos);
}

TEST_F(Shell, BackOverrideReachesTheOwnerAsHotKeyOnKeyDownAndKeyUp) {
  HWND main = topLevel();
  HWND b = bar(main, res::listBar);
  EXPECT_TRUE(SendMessageW(b, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY,
                                                                         SHMBOF_NODEFAULT | SHMBOF_NOTIFY)));
  log().clear();
  press({key(Key::Back)});
  std::vector<Logged> expected = {
      {main, WM_HOTKEY, 0, MAKELPARAM(0, VK_TBACK)},
      {main, WM_HOTKEY, 0, MAKELPARAM(MOD_KEYUP, VK_TBACK)},
  };
  EXPECT_EQ(logged({WM_HOTKEY, WM_CLOSE}), expected);
  EXPECT_TRUE(IsWindow(main));
}

TEST_F(Shell, BackWithoutOverrideLeavesTheProgram) {
  HWND main = topLevel();
  bar(main, res::catalogueBar);
  log().clear();
  press({key(Key::Back)});
  EXPECT_EQ(logged({WM_CLOSE}).size(), 1u);
  EXPECT_FALSE(IsWindow(main));
}

TEST_F(Shell, KeysWithoutAShellMeaningGoToTheFocusedWindow) {
  HWND main = topLevel();
  bar(main, res::catalogueBar);
  HWND a = child(main, 1);
  SetFocus(a);
  log().clear();
  press({key(Key::Down), digit(u'5'), digit(u'#')});
  std::vector<std::pair<HWND, WPARAM>> chars;
  for (const auto& e : logged({WM_CHAR})) chars.emplace_back(e.window, e.wParam);
  EXPECT_EQ(chars, (std::vector<std::pair<HWND, WPARAM>>{{a, '5'}, {a, '#'}}));
  ASSERT_FALSE(logged({WM_KEYDOWN}).empty());
  EXPECT_EQ(logged({WM_KEYDOWN})[0].wParam, WPARAM{VK_DOWN});
}

TEST_F(Shell, ShellExecuteIsRecorded) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.lpVerb = u"open";
  info.lpFile = u"TEL:5551234";
  EXPECT_TRUE(ShellExecuteExW(&info));
  ASSERT_EQ(platform::shellRequests().size(), 1u);
  EXPECT_EQ(platform::shellRequests()[0].verb, u"open");
  EXPECT_EQ(platform::shellRequests()[0].file, u"TEL:5551234");
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_DATE_CLASSES};
  EXPECT_TRUE(InitCommonControlsEx(&icc));
}

}  // namespace
