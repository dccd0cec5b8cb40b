// How running instances of the program find and message each other: each
// publishes a local socket named after the phone's root folder and its
// process id, so instances with different root folders never meet. Only
// messages without pointer parameters travel; a sender waits until the
// receiving instance has handled the message in its message loop, and
// serves requests made to itself meanwhile, so two instances sending to
// each other do not wait on each other. Only processes of the same user are
// served or believed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace platform::instances {

// A top-level window of a running instance, as another instance sees it.
struct RemoteWindow {
  std::int32_t pid = 0;
  std::uint64_t window = 0;  // the owner's own handle value
  std::u16string className;
};

// What a request asks of the instance that serves it.
struct Request {
  enum class Kind : std::uint32_t { ListWindows = 1, Send = 2, Activate = 3 };
  Kind kind = Kind::ListWindows;
  std::uint64_t window = 0;
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

// Supplied by the window system of the serving instance. They run on the
// thread that calls serve(), inside its message loop.
struct Handlers {
  std::function<std::vector<RemoteWindow>()> listWindows;
  std::function<LRESULT(std::uint64_t window, UINT message, WPARAM wParam, LPARAM lParam)> send;
  std::function<void(std::uint64_t window)> activate;
};

// Starts serving requests of other instances and makes this one known in the
// registry of the phone's root folder. Idempotent: while published, the
// first handlers stay. False when the socket or the registry entry cannot be
// made; the program then runs as if it were alone.
bool publish(const Handlers& handlers);
// Stops serving and removes this instance's registry entry.
void withdraw();
bool published();
// The socket to wait on for requests (-1 when not published), so a
// front-end can wait for keys and requests at once.
int requestFd();
// Serves the requests that are waiting, waiting up to timeoutMs for the
// first one. True when a served request acted on a window (a message or an
// activation); a listing alone changes nothing and does not count.
bool serve(int timeoutMs);
// While set (a modal dialog runs), messages and activations are held, their
// senders kept waiting, and only listings are served: closing the window or
// switching screens underneath a dialog would pull its state away. The
// first serve() after clearing handles the held ones, dropping those whose
// sender gave up.
void holdActingRequests(bool hold);
bool actingRequestsHeld();

// Client side: the top-level windows of every other running instance.
// Registry entries of instances that are gone are removed on the way.
std::vector<RemoteWindow> listRemoteWindows();
// Sends a message and waits for its result; nullopt when the instance is
// gone (at once) or did not answer in time.
std::optional<LRESULT> sendRemote(std::int32_t pid, std::uint64_t window, UINT message, WPARAM wParam,
                                  LPARAM lParam);
bool activateRemote(std::int32_t pid, std::uint64_t window);

}  // namespace platform::instances
