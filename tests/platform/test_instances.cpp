// Running instances meeting each other: the transport between processes
// (publishers in child processes, this process as the client), and the
// window calls that reach another instance's windows through it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/emulator.h"
#include "platform/instances/instances.h"
#include "platform/phone.h"
#include "platform/windows.h"

namespace fs = std::filesystem;
namespace inst = platform::instances;

namespace {

// A fresh phone root folder per test, removed afterwards.
class Roots {
 public:
  Roots() : base_(fs::temp_directory_path() / ("tessra-instances-" + std::to_string(::getpid()))) {
    fs::remove_all(base_);
  }
  ~Roots() {
    platform::setDeviceRoot("");
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }
  std::string make(const std::string& name) const {
    fs::create_directories(base_ / name);
    return (base_ / name).string();
  }

 private:
  fs::path base_;
};

// A child process that runs `body` on a phone with the given root folder.
// The child reports readiness by writing one byte to the pipe; the parent
// waits for it (bounded), so no test starts talking before the child listens.
struct ChildProcess {
  pid_t pid = -1;

  ChildProcess(const std::string& root, const std::function<int(int ready)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      platform::setDeviceRoot(root);
      ::_exit(body(fds[1]));
    }
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    char byte = 0;
    if (::poll(&p, 1, 10000) <= 0 || ::read(fds[0], &byte, 1) != 1) {
      ADD_FAILURE() << "the child did not get ready";
      ::kill(pid, SIGKILL);
    }
    ::close(fds[0]);
  }
  // The child's exit code, or -1 when it did not end by itself in time.
  int wait() {
    for (int i = 0; i < 2000; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
  }
};

void signalReady(int ready) {
  char byte = 1;
  (void)!::write(ready, &byte, 1);
  ::close(ready);
}

constexpr UINT stopMessage = 0x7001;
constexpr UINT activationsMessage = 0x7002;
constexpr UINT actedMessage = 0x7003;

// A bare publisher: two windows, a send that computes its answer from its
// parameters, counts of activations and of served requests that acted.
int runPublisher(int ready, std::uint64_t firstWindow) {
  static bool stop = false;
  static int activations = 0;
  static int acted = 0;
  inst::Handlers handlers;
  handlers.listWindows = [firstWindow] {
    return std::vector<inst::RemoteWindow>{{0, firstWindow, u"Tessra"}, {0, firstWindow + 1, u"Other"}};
  };
  handlers.send = [](std::uint64_t window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == stopMessage) stop = true;
    if (message == activationsMessage) return activations;
    if (message == actedMessage) return acted;
    return static_cast<LRESULT>(window + message) + static_cast<LRESULT>(wParam) * lParam;
  };
  handlers.activate = [](std::uint64_t) { ++activations; };
  if (!inst::publish(handlers)) return 3;
  signalReady(ready);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!stop && std::chrono::steady_clock::now() < deadline)
    if (inst::serve(100)) ++acted;
  inst::withdraw();
  return stop ? 0 : 4;
}

std::vector<inst::RemoteWindow> windowsOf(std::int32_t pid) {
  std::vector<inst::RemoteWindow> out;
  for (auto& w : inst::listRemoteWindows())
    if (w.pid == pid) out.push_back(w);
  return out;
}

TEST(Instances, EveryOtherInstanceIsListedAndAnswersItsMessages) {
  Roots roots;
  const std::string root = roots.make("phone");
  ChildProcess a(root, [](int ready) { return runPublisher(ready, 0x1000); });
  ChildProcess b(root, [](int ready) { return runPublisher(ready, 0x2000); });
  platform::setDeviceRoot(root);

  std::vector<inst::RemoteWindow> listed = inst::listRemoteWindows();
  ASSERT_EQ(listed.size(), 4u);
  // Listings change nothing in the serving instance and do not count as
  // requests that acted (a driver's Serve must not end on one).
  inst::listRemoteWindows();
  EXPECT_EQ(inst::sendRemote(a.pid, 0x1000, actedMessage, 0, 0), 0);
  auto ofA = windowsOf(a.pid);
  ASSERT_EQ(ofA.size(), 2u);
  EXPECT_EQ(ofA[0].window, 0x1000u);
  EXPECT_EQ(ofA[0].className, u"Tessra");
  EXPECT_EQ(ofA[1].className, u"Other");
  EXPECT_EQ(windowsOf(b.pid).size(), 2u);

  // The answer is the handler's: the sender waited until it ran.
  EXPECT_EQ(inst::sendRemote(a.pid, 0x1000, 0x400, 6, 7), 0x1000 + 0x400 + 42);
  EXPECT_EQ(inst::sendRemote(b.pid, 0x2001, 0x400, 1, -5), 0x2001 + 0x400 - 5);
  EXPECT_TRUE(inst::activateRemote(b.pid, 0x2000));
  EXPECT_EQ(inst::sendRemote(b.pid, 0x2000, activationsMessage, 0, 0), 1);
  EXPECT_EQ(inst::sendRemote(a.pid, 0x1000, activationsMessage, 0, 0), 0);

  // Requests that arrive together may be served in one turn: A has acted
  // at least once since the first query.
  EXPECT_GE(inst::sendRemote(a.pid, 0x1000, actedMessage, 0, 0).value_or(0), 1);

  EXPECT_EQ(inst::sendRemote(a.pid, 0x1000, stopMessage, 0, 0).has_value(), true);
  EXPECT_EQ(inst::sendRemote(b.pid, 0x2000, stopMessage, 0, 0).has_value(), true);
  EXPECT_EQ(a.wait(), 0);
  EXPECT_EQ(b.wait(), 0);
  // Both withdrew: nothing listed, no registry entries left.
  EXPECT_TRUE(inst::listRemoteWindows().empty());
  EXPECT_TRUE(fs::is_empty(root + "/instances"));
}

TEST(Instances, AnInstanceThatIsGoneIsForgottenAndAnsweredAtOnce) {
  Roots roots;
  const std::string root = roots.make("phone");
  ChildProcess gone(root, [](int ready) { return runPublisher(ready, 0x1000); });
  ::kill(gone.pid, SIGKILL);  // no chance to withdraw
  gone.wait();
  const std::string entry = root + "/instances/" + std::to_string(gone.pid);
  ASSERT_TRUE(fs::exists(entry));

  platform::setDeviceRoot(root);
  EXPECT_FALSE(inst::sendRemote(gone.pid, 0x1000, 0x400, 0, 0).has_value());
  EXPECT_FALSE(inst::activateRemote(gone.pid, 0x1000));
  EXPECT_TRUE(inst::listRemoteWindows().empty());
  EXPECT_FALSE(fs::exists(entry)) << "the stale entry stays";
}

TEST(Instances, InstancesOfDifferentRootFoldersNeverMeet) {
  Roots roots;
  const std::string mine = roots.make("mine");
  const std::string theirs = roots.make("theirs");
  ChildProcess other(theirs, [](int ready) { return runPublisher(ready, 0x1000); });

  // Even an entry naming the other process in this root leads nowhere: the
  // socket's name belongs to the root folder.
  platform::setDeviceRoot(mine);
  fs::create_directories(mine + "/instances");
  std::ofstream(mine + "/instances/" + std::to_string(other.pid)).put('\n');
  EXPECT_TRUE(inst::listRemoteWindows().empty());
  EXPECT_FALSE(inst::sendRemote(other.pid, 0x1000, 0x400, 0, 0).has_value());

  // The same root folder spelled differently is the same phone.
  platform::setDeviceRoot(theirs + "/../theirs/");
  EXPECT_EQ(windowsOf(other.pid).size(), 2u);
  EXPECT_TRUE(inst::sendRemote(other.pid, 0x1000, stopMessage, 0, 0).has_value());
  EXPECT_EQ(other.wait(), 0);
}

TEST(Instances, JunkInTheRegistryIsIgnored) {
  Roots roots;
  const std::string root = roots.make("phone");
  fs::create_directories(root + "/instances");
  for (const char* name : {"abc", "-5", "0", "99999999999999999999", "12x", "2147483648"})
    std::ofstream(root + "/instances/" + name).put('\n');
  platform::setDeviceRoot(root);
  EXPECT_TRUE(inst::listRemoteWindows().empty());
}

// A publisher that holds messages and activations, as under a modal dialog,
// until a byte arrives on `release`; it counts the sends it handled.
int runHoldingPublisher(int ready, int release) {
  static int sends = 0;
  static bool stop = false;
  inst::Handlers handlers;
  handlers.listWindows = [] { return std::vector<inst::RemoteWindow>{{0, 0x1000, u"Tessra"}}; };
  handlers.send = [](std::uint64_t, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
    if (message == stopMessage) stop = true;
    if (message == activationsMessage) return sends;
    ++sends;
    return static_cast<LRESULT>(wParam);
  };
  if (!inst::publish(handlers)) return 3;
  inst::holdActingRequests(true);
  signalReady(ready);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!stop && std::chrono::steady_clock::now() < deadline) {
    pollfd p{release, POLLIN, 0};
    char byte = 0;
    if (::poll(&p, 1, 0) > 0 && ::read(release, &byte, 1) == 1) inst::holdActingRequests(false);
    inst::serve(50);
  }
  inst::withdraw();
  return stop ? 0 : 4;
}

// Sends one message from a process of its own; its exit code is the answer
// (255 when there was none).
ChildProcess sender(const std::string& root, std::int32_t pid, WPARAM value) {
  return ChildProcess(root, [pid, value](int ready) {
    signalReady(ready);
    auto answer = inst::sendRemote(pid, 0x1000, 0x400, value, 0);
    return answer ? static_cast<int>(*answer) : 255;
  });
}

TEST(Instances, MessagesWaitWhileHeldAndThoseWhoseSenderGaveUpAreDropped) {
  Roots roots;
  const std::string root = roots.make("phone");
  int release[2];
  ASSERT_EQ(::pipe(release), 0);
  ChildProcess holder(root, [&release](int ready) {
    ::close(release[1]);
    return runHoldingPublisher(ready, release[0]);
  });
  ::close(release[0]);
  platform::setDeviceRoot(root);

  ChildProcess waiting = sender(root, holder.pid, 42);
  ChildProcess givingUp = sender(root, holder.pid, 7);
  // Listings are still answered while messages are held.
  EXPECT_EQ(windowsOf(holder.pid).size(), 1u);
  int status = 0;
  EXPECT_EQ(::waitpid(waiting.pid, &status, WNOHANG), 0) << "a held message was answered";
  ::kill(givingUp.pid, SIGKILL);
  givingUp.wait();

  char byte = 1;
  ASSERT_EQ(::write(release[1], &byte, 1), 1);
  EXPECT_EQ(waiting.wait(), 42);
  // Only the message whose sender still waited was handled.
  EXPECT_EQ(inst::sendRemote(holder.pid, 0x1000, activationsMessage, 0, 0), 1);
  EXPECT_TRUE(inst::sendRemote(holder.pid, 0x1000, stopMessage, 0, 0).has_value());
  EXPECT_EQ(holder.wait(), 0);
  ::close(release[1]);
}

// ---- The window calls on another instance's windows ----------------------------

constexpr UINT sumMessage = WM_USER + 1;
constexpr UINT textArrivedMessage = WM_USER + 2;
constexpr UINT isActiveMessage = WM_USER + 3;
bool textArrived = false;

LRESULT probeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case sumMessage: return static_cast<LRESULT>(wParam) + lParam;
    case textArrivedMessage: return textArrived ? 1 : 0;
    case isActiveMessage: return GetActiveWindow() == window ? 1 : 0;
    case WM_SETTEXT: textArrived = true; break;
    case WM_DESTROY: PostQuitMessage(7); return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// An instance with a real window system: windows "Probe" and (newer)
// "Second", a message loop that wakes for requests, exit code from WM_QUIT.
int runWindowInstance(int ready) {
  platform::resetWindows();
  WNDCLASSW wc{};
  wc.lpfnWndProc = probeProc;
  wc.lpszClassName = u"Probe";
  RegisterClassW(&wc);
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"Second";
  RegisterClassW(&wc);
  CreateWindowExW(0, u"Probe", u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                  nullptr, nullptr, nullptr);
  CreateWindowExW(0, u"Second", u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                  nullptr, nullptr, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  platform::setInputSource([deadline]() -> std::optional<platform::KeyEvent> {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    pollfd p{inst::requestFd(), POLLIN, 0};
    ::poll(&p, 1, 100);
    return platform::KeyEvent{platform::Key::None, 0};
  });
  signalReady(ready);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  platform::resetWindows();  // withdraws
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 5;
}

BOOL collect(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::u16string classOf(HWND window) {
  WCHAR name[32] = {};
  GetClassNameW(window, name, 32);
  return name;
}

TEST(RemoteWindows, EnumWindowsReachesAnotherInstancesWindows) {
  Roots roots;
  const std::string root = roots.make("phone");
  platform::resetWindows();
  ChildProcess other(root, runWindowInstance);
  platform::setDeviceRoot(root);

  // A window of this process comes first, then the other instance's.
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"Local";
  RegisterClassW(&wc);
  HWND local = CreateWindowExW(0, u"Local", u"", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<HWND> windows;
  ASSERT_TRUE(EnumWindows(collect, reinterpret_cast<LPARAM>(&windows)));
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0], local);
  EXPECT_EQ(classOf(windows[1]), u"Second");
  EXPECT_EQ(classOf(windows[2]), u"Probe");
  const HWND probe = windows[2];
  const HWND second = windows[1];
  EXPECT_TRUE(IsWindow(probe));
  // Enumerating again gives the same handles.
  std::vector<HWND> again;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&again));
  EXPECT_EQ(again, windows);
  // A remote handle is nothing to the local window calls.
  EXPECT_EQ(GetWindowLongW(probe, GWL_STYLE), 0);

  EXPECT_EQ(SendMessageW(probe, sumMessage, 2, 40), 42);
  // A message whose parameter is a pointer never crosses.
  EXPECT_EQ(SendMessageW(probe, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")), 0);
  EXPECT_EQ(SendMessageW(probe, textArrivedMessage, 0, 0), 0);
  EXPECT_TRUE(PostMessageW(probe, sumMessage, 1, 1));

  EXPECT_EQ(SendMessageW(probe, isActiveMessage, 0, 0), 0);
  EXPECT_TRUE(BringWindowToTop(probe));
  EXPECT_EQ(SendMessageW(probe, isActiveMessage, 0, 0), 1);
  EXPECT_TRUE(SetForegroundWindow(second));
  EXPECT_EQ(SendMessageW(probe, isActiveMessage, 0, 0), 0);

  // Closing ends the other instance's loop with the quit its window posted.
  EXPECT_EQ(SendMessageW(probe, WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(other.wait(), 7);
  EXPECT_FALSE(IsWindow(probe));
  EXPECT_EQ(SendMessageW(probe, sumMessage, 2, 40), 0);
  EXPECT_FALSE(BringWindowToTop(probe));
  windows.clear();
  EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
  EXPECT_EQ(windows, std::vector<HWND>{local});
  platform::resetWindows();
}

}  // namespace
