// Dialogs and message boxes: modal loops that keep the owner's queue
// waiting, EndDialog's value, message box answers by key, resources.
#include "resources/ids.h"
#include "window_fixture.h"

using namespace window_test;
using platform::Key;

namespace {

class Dialogs : public WindowTest {};

struct DialogRun {
  LPARAM initParam = 0;
  RECT rectAfterInit{};
  int ownerMessagesAtOk = -1;
  HWND owner = nullptr;
  INT_PTR endWith = 0;
};
DialogRun run;

int countFor(HWND window, UINT message) {
  int n = 0;
  for (const auto& e : log())
    if (e.window == window && e.message == message) ++n;
  return n;
}

bool setUpShell(HWND dialog, unsigned bar) {
  SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
  SHMENUBARINFO info{};
  info.cbSize = SHMENUBARINFO_PHONE_SIZE;
  info.hwndParent = dialog;
  info.nToolBarId = bar;
  return SHInitDialog(&init) && SHCreateMenuBar(&info);
}

INT_PTR okDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    run.initParam = lParam;
    setUpShell(dialog, res::dialogBar);
    GetWindowRect(dialog, &run.rectAfterInit);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    run.ownerMessagesAtOk = countFor(run.owner, WM_USER + 5);
    EndDialog(dialog, run.endWith);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, -7);
    return TRUE;
  }
  return FALSE;
}

TEST_F(Dialogs, ModalDialogReturnsEndDialogValueWhileTheOwnersQueueWaits) {
  HWND main = topLevel();
  run = DialogRun{};
  run.owner = main;
  run.endWith = 42;
  PostMessageW(main, WM_USER + 5, 0, 0);
  feed({key(Key::SoftLeft)});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::listDialog), main, okDialog, 77), 42);
  EXPECT_EQ(run.initParam, 77);
  EXPECT_EQ(run.ownerMessagesAtOk, 0);  // held back while the dialog ran
  // Full-screen: between the title row and the soft-key row.
  EXPECT_EQ(run.rectAfterInit.top, 22);
  EXPECT_EQ(run.rectAfterInit.bottom, 286);
  EXPECT_EQ(run.rectAfterInit.right, 240);
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(GetActiveWindow(), main);

  platform::setInputSource(nullptr);
  platform::runPending();
  EXPECT_EQ(countFor(main, WM_USER + 5), 1);  // delivered afterwards, once
}

TEST_F(Dialogs, BackCancelsADialogWithoutOverrideAndLeavingCancelsToo) {
  HWND main = topLevel();
  run = DialogRun{};
  run.owner = main;
  feed({key(Key::Back)});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::listDialog), main, okDialog, 0), -7);
  // No keys at all: the user leaves, the dialog is cancelled as Back would.
  feed({});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::listDialog), main, okDialog, 0), -7);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(999), main, okDialog, 0), -1);
}

INT_PTR askingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return setUpShell(dialog, res::dialogBar) ? TRUE : FALSE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, MessageBoxW(dialog, u"Really?", u"Tessra", MB_YESNO | MB_ICONQUESTION));
    return TRUE;
  }
  return FALSE;
}

TEST_F(Dialogs, MessageBoxNestsInsideADialog) {
  HWND main = topLevel();
  feed({key(Key::SoftLeft), key(Key::SoftRight)});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::listDialog), main, askingDialog, 0), IDNO);
  feed({key(Key::SoftLeft), key(Key::Action)});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::listDialog), main, askingDialog, 0), IDYES);
  EXPECT_EQ(GetActiveWindow(), main);
}

struct InitFocus {
  HWND focusAfter = nullptr;
  HWND firstTab = nullptr;
  int firstTabId = 0;
};
InitFocus initFocus;
INT_PTR focusDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    initFocus.firstTab = reinterpret_cast<HWND>(wParam);
    initFocus.firstTabId = GetDlgCtrlID(initFocus.firstTab);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    initFocus.focusAfter = GetFocus();
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

TEST_F(Dialogs, TemplatesBecomeControlsAndTheFirstTabStopGetsTheFocus) {
  HWND main = topLevel();
  feed({key(Key::Back)});
  initFocus = InitFocus{};
  DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::passwordDialog), main, focusDialog, 0);
  ASSERT_NE(initFocus.firstTab, nullptr);
  EXPECT_EQ(initFocus.focusAfter, initFocus.firstTab);
  EXPECT_EQ(initFocus.firstTabId, res::passwordEditId);
}

int focusIdAtCancel = 0;
INT_PTR emailDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return setUpShell(dialog, res::dialogBar) ? TRUE : FALSE;
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    focusIdAtCancel = GetDlgCtrlID(GetFocus());
    EndDialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

TEST_F(Dialogs, UpAndDownWalkTheTabStopsOfADialog) {
  HWND main = topLevel();
  struct Case {
    std::vector<platform::KeyEvent> keys;
    int focused;
  };
  const Case cases[] = {
      {{}, res::emailServiceId},  // the first tab stop, a one-row pick line
      {{key(Key::Down)}, res::emailRecipientsId},
      {{key(Key::Down), key(Key::Down), key(Key::Up)}, res::emailRecipientsId},
      {{key(Key::Up)}, res::messageEditId},  // wraps to the last
      {{key(Key::Down), key(Key::Down), key(Key::Down), key(Key::Down)}, res::emailServiceId},
  };
  for (const auto& c : cases) {
    std::vector<platform::KeyEvent> keys = c.keys;
    keys.push_back(key(Key::Back));
    feed(keys);
    focusIdAtCancel = 0;
    DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::emailDialog), main, emailDialog, 0);
    EXPECT_EQ(focusIdAtCancel, c.focused) << c.keys.size() << " keys";
  }
}

// Dialog units are finer than the screen's rows: a template's 8-unit label
// over a 12-unit edit box must not share a row with it and vanish.
TEST_F(Dialogs, TemplateItemsStackedInDialogUnitsEachGetTheirOwnRow) {
  HWND main = topLevel();
  std::vector<std::string> seen;
  platform::setInputSource([&]() -> std::optional<platform::KeyEvent> {
    seen = screenLines();
    return key(Key::Back);
  });
  DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::emailDialog), main, emailDialog, 0);
  std::vector<std::string> labels;
  for (const auto& line : seen)
    for (const char* label : {"Service:", "To:", "Subject:", "Message:"})
      if (line.find(label) != std::string::npos) labels.push_back(label);
  EXPECT_EQ(labels, (std::vector<std::string>{"Service:", "To:", "Subject:", "Message:"}));
}

// The password flow end to end: typing, Back handed to the focused edit box
// through the override and SHSendBackToFocusWindow, then OK.
std::u16string typedText;
INT_PTR passwordDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SHINITDLGINFO init{SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
      SHMENUBARINFO bar{};
      bar.cbSize = SHMENUBARINFO_PHONE_SIZE;
      bar.hwndParent = dialog;
      bar.nToolBarId = res::dialogBar;
      if (!SHInitDialog(&init) || !SHCreateMenuBar(&bar)) EndDialog(dialog, -1);
      SendMessageW(bar.hwndMB, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(3, 3));
      return TRUE;
    }
    case WM_HOTKEY:
      SHSendBackToFocusWindow(message, wParam, lParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        WCHAR text[64];
        GetDlgItemTextW(dialog, res::passwordEditId, text, 64);
        typedText = text;
        EndDialog(dialog, 1);
      }
      return TRUE;
    default: return FALSE;
  }
}

TEST_F(Dialogs, BackOverrideErasesInTheFocusedEditBox) {
  HWND main = topLevel();
  typedText.clear();
  feed({platform::KeyEvent{Key::Char, u'a'}, platform::KeyEvent{Key::Char, u'b'}, platform::KeyEvent{Key::Char, u'c'},
        key(Key::Back), key(Key::SoftLeft)});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(res::passwordDialog), main, passwordDialog, 0), 1);
  EXPECT_EQ(typedText, u"ab");
}

struct BoxCase {
  UINT type;
  Key key;
  int answer;
};

TEST_F(Dialogs, MessageBoxAnswersBySoftKeyActionAndBack) {
  const BoxCase cases[] = {
      {MB_OK, Key::SoftLeft, IDOK},          {MB_OK, Key::Action, IDOK},
      {MB_OK, Key::Back, IDOK},              {MB_OKCANCEL, Key::SoftLeft, IDOK},
      {MB_OKCANCEL, Key::SoftRight, IDCANCEL}, {MB_OKCANCEL, Key::Back, IDCANCEL},
      {MB_YESNO, Key::SoftLeft, IDYES},      {MB_YESNO, Key::Action, IDYES},
      {MB_YESNO, Key::SoftRight, IDNO},      {MB_YESNO, Key::Back, IDNO},
  };
  HWND main = topLevel();
  for (const auto& c : cases) {
    feed({key(c.key)});
    EXPECT_EQ(MessageBoxW(main, u"Sure?", u"Tessra", c.type | MB_ICONQUESTION), c.answer)
        << "type " << c.type << " key " << static_cast<int>(c.key);
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
  }
  // The right soft key of an OK box does nothing; the box waits on.
  feed({key(Key::SoftRight), key(Key::SoftLeft)});
  EXPECT_EQ(MessageBoxW(main, u"Done", u"Tessra", MB_OK), IDOK);
}

TEST_F(Dialogs, FocusReturnsToTheOwnersControlWhenTheBoxCloses) {
  HWND main = topLevel();
  HWND a = child(main, 1);
  child(main, 2);
  SetFocus(a);
  feed({key(Key::SoftLeft)});
  MessageBoxW(main, u"Saved", u"Tessra", MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(GetFocus(), a);
}

TEST_F(Dialogs, MessageBoxIsDrawnWithCaptionIconTextAndSoftKeys) {
  HWND main = topLevel(u"Tessra");
  std::vector<std::string> seen;
  platform::setInputSource([&]() -> std::optional<platform::KeyEvent> {
    seen = screenLines();
    return key(Key::SoftRight);
  });
  EXPECT_EQ(MessageBoxW(main, u"OK to permanently delete record?", u"Tessra", MB_OKCANCEL | MB_ICONQUESTION), IDCANCEL);
  ASSERT_EQ(seen.size(), 14u);
  std::string all;
  for (const auto& line : seen) all += line + "\n";
  EXPECT_NE(all.find("Tessra"), std::string::npos);
  // 34 columns of text inside the frame: the question wraps at a space.
  EXPECT_NE(all.find("\u2502 (?) OK to permanently delete"), std::string::npos) << all;
  EXPECT_NE(all.find("\u2502 record?"), std::string::npos) << all;
  EXPECT_NE(all.find("\u250C\u2500 Tessra \u2500"), std::string::npos) << all;
  EXPECT_EQ(seen.back().substr(0, 2), "OK");
  EXPECT_EQ(seen.back().substr(seen.back().size() - 6), "Cancel");
}

TEST_F(Dialogs, MessageBoxWrapsLongTextsAtSpaces) {
  topLevel();
  std::vector<std::string> seen;
  platform::setInputSource([&]() -> std::optional<platform::KeyEvent> {
    seen = screenLines();
    return key(Key::SoftLeft);
  });
  MessageBoxW(nullptr, u"You already have a database with this name.\nOk to overwrite it?", u"Tessra", MB_YESNO);
  std::string all;
  for (const auto& line : seen) all += line + "\n";
  EXPECT_NE(all.find("You already have a database with "), std::string::npos) << all;
  EXPECT_NE(all.find("\u2502 this name."), std::string::npos) << all;
  EXPECT_NE(all.find("Ok to overwrite it?"), std::string::npos);
  EXPECT_EQ(seen.back().substr(0, 3), "Yes");
}

TEST_F(Dialogs, LoadStringCutsToTheBufferAndIconsExistByNumber) {
  WCHAR buffer[32];
  EXPECT_EQ(LoadStringW(nullptr, str::appName, buffer, 32), 6);
  EXPECT_EQ(std::u16string(buffer), u"Tessra");
  EXPECT_EQ(LoadStringW(nullptr, 5, buffer, 6), 5);
  EXPECT_EQ(std::u16string(buffer), u"OK to");
  EXPECT_EQ(LoadStringW(nullptr, 9999, buffer, 32), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_NE(LoadIconW(nullptr, MAKEINTRESOURCEW(res::appIcon)), nullptr);
  EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
}

}  // namespace
