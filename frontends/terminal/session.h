// The terminal in curses mode for as long as the phone is shown, and back to
// its normal state on every way out: the end of the session, exit(), an
// exception, SIGINT, SIGTERM, SIGHUP, and crashes (abort and the fault
// signals, which are then re-raised so the process still dies of them).
#pragma once

namespace terminal {

class CursesSession {
 public:
  CursesSession();
  CursesSession(const CursesSession&) = delete;
  CursesSession& operator=(const CursesSession&) = delete;
  ~CursesSession();

  // False when the terminal could not be set up (not a terminal, unknown
  // TERM); the process's terminal is then untouched.
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

// Leaves curses mode if it is on; does nothing the second time. Safe to call
// from the handlers above.
void restoreTerminal();

}  // namespace terminal
