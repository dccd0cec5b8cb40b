#include "frontends/terminal/terminal.h"

#include <curses.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "frontends/terminal/keys.h"
#include "frontends/terminal/options.h"
#include "frontends/terminal/screen_view.h"
#include "frontends/terminal/session.h"
#include "platform/emulator.h"
#include "platform/instances/instances.h"
#include "platform/phone.h"

namespace {

// The program's instance handle, the same value the headless driver passes.
const HINSTANCE programInstance = reinterpret_cast<HINSTANCE>(std::uintptr_t{0x400000});

// After this many failed reads in a row the terminal is gone (end of input,
// a closed pseudo-terminal): the user is taken to have left.
constexpr int maxFailedReads = 100;

enum class Wake { Input, Request, Signal };

// Waits until the terminal has input or another running instance has a
// request for this one (which the message loop serves).
Wake waitForInputOrRequest() {
  const int requests = platform::instances::requestFd();
  pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {requests, POLLIN, 0}};
  const nfds_t count = requests >= 0 ? 2 : 1;
  const int r = ::poll(fds, count, -1);
  if (r < 0) return errno == EINTR ? Wake::Signal : Wake::Input;  // a resize arrives as a signal
  if (count == 2 && fds[1].revents != 0) return Wake::Request;
  return Wake::Input;
}

// The phone's input: shows the screen as it is now, then waits for a key the
// phone knows, or for another instance's request: then it answers "no key"
// so that the loop serves the request and looks at its queue again.
std::optional<platform::KeyEvent> nextKey(terminal::ScreenView& view) {
  int failedReads = 0;
  nodelay(stdscr, TRUE);  // reads never block: the waiting is done by poll
  for (;;) {
    view.draw(platform::renderScreen());
    refresh();
    wint_t code = 0;
    int kind = get_wch(&code);
    if (kind == ERR) {
      switch (waitForInputOrRequest()) {
        case Wake::Request: return platform::KeyEvent{platform::Key::None, 0};
        case Wake::Signal: kind = get_wch(&code); break;
        case Wake::Input:
          kind = get_wch(&code);
          // Readable but nothing to read: the terminal is gone.
          if (kind == ERR && ++failedReads >= maxFailedReads) return std::nullopt;
          break;
      }
      if (kind == ERR) continue;
    }
    failedReads = 0;
    const terminal::TerminalKey key = terminal::translateKey(code, kind == KEY_CODE_YES);
    switch (key.action) {
      case terminal::KeyAction::Press:
        return key.key;
      case terminal::KeyAction::Quit:
        return std::nullopt;
      case terminal::KeyAction::Resize:  // LINES and COLS are new: draw again, centred
      case terminal::KeyAction::Ignore:
        break;
    }
  }
}

std::string programName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "tessra-term";
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void configurePhone(const terminal::Options& options) {
  if (!options.home.empty()) platform::setProgramFolder(options.home);
  if (!options.device.empty()) platform::setDeviceRoot(options.device);
  platform::setLocale(options.locale);
  platform::configureScreen(options.screen);
}

}  // namespace

int runTerminal(int argc, char** argv, MainRoutine main) {
  const std::string program = programName(argc > 0 ? argv[0] : nullptr);
  std::string error;
  const auto options = terminal::parseOptions(argc, argv, error);
  if (!options) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(), terminal::usage(program).c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(terminal::usage(program).c_str(), stdout);
    return 0;
  }
  if (::isatty(STDIN_FILENO) == 0 || ::isatty(STDOUT_FILENO) == 0) {
    std::fprintf(stderr, "%s: needs a terminal (use tessra-drive to run without one)\n", program.c_str());
    return 2;
  }
  configurePhone(*options);

  terminal::CursesSession session;
  if (!session.ok()) {
    std::fprintf(stderr, "%s: cannot use this terminal (TERM=%s)\n", program.c_str(),
                 std::getenv("TERM") != nullptr ? std::getenv("TERM") : "");
    return 1;
  }
  terminal::ScreenView view;
  platform::setInputSource([&view] { return nextKey(view); });

  int result = 1;
  try {
    result = main(programInstance, options->commandLine.c_str());
  } catch (const std::exception& failure) {
    terminal::restoreTerminal();
    std::fprintf(stderr, "%s: %s\n", program.c_str(), failure.what());
  } catch (...) {
    terminal::restoreTerminal();
    std::fprintf(stderr, "%s: stopped by an unexpected error\n", program.c_str());
  }
  platform::setInputSource(nullptr);
  return result;
}
