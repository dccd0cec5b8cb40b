#include "frontends/terminal/session.h"

#include <curses.h>
#include <signal.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace terminal {

namespace {

std::atomic<bool> cursesActive{false};
SCREEN* screen = nullptr;

void onFatalSignal(int signal) {
  restoreTerminal();
  // The handler was installed with SA_RESETHAND: raising again ends the
  // process as the signal would have.
  ::raise(signal);
}

void installHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(restoreTerminal);
  struct sigaction action {};
  action.sa_handler = onFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void restoreTerminal() {
  if (cursesActive.exchange(false)) endwin();
}

CursesSession::CursesSession() {
  // Only the character type follows the user's locale: numbers printed by
  // the program keep the C locale's decimal point.
  std::setlocale(LC_CTYPE, "");
  set_escdelay(25);  // Esc is the Back key: no waiting for escape sequences
  screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) return;
  set_term(screen);
  installHandlers();
  cursesActive = true;
  raw();  // Ctrl-Q and Ctrl-C arrive as keys; flow control is off
  noecho();
  nonl();
  keypad(stdscr, TRUE);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
  }
  ok_ = true;
}

CursesSession::~CursesSession() {
  restoreTerminal();
  if (screen != nullptr) {
    delscreen(screen);
    screen = nullptr;
  }
}

}  // namespace terminal
