#include "platform/instances/instances.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulator.h"

namespace platform::instances {
namespace {

using Clock = std::chrono::steady_clock;

// A client that connected must say what it wants at once.
constexpr int requestTimeoutMs = 2000;
// Listing every instance together; an instance busy for longer is left out.
constexpr int listTimeoutMs = 10000;
// A message may run a while in the other instance (closing saves a database).
constexpr int sendTimeoutMs = 30000;
constexpr std::uint32_t maxWindows = 64;
constexpr std::uint32_t maxClassName = 256;
// Bounds on the registry walk: a folder full of junk cannot stall a start.
constexpr int maxRegistryEntries = 1024;
constexpr std::size_t maxInstances = 64;

struct WireRequest {
  std::uint32_t kind;
  std::uint32_t message;
  std::uint64_t window;
  std::uint64_t wParam;
  std::int64_t lParam;
};
static_assert(sizeof(WireRequest) == 32, "the request travels as its bytes");

// A message or activation held while a modal dialog runs, with the
// connection its answer goes back on.
struct HeldRequest {
  int fd = -1;
  WireRequest request{};
};
constexpr std::size_t maxHeld = 16;

struct Publication {
  int listening = -1;
  std::string entry;  // this instance's registry file, as made at publishing
  Handlers handlers;
  bool holdActing = false;
  std::vector<HeldRequest> held;
};
Publication& publication() {
  static Publication p;
  return p;
}

// The root folder as one spelling, so that "/a/b" and "/a/./b/" meet.
std::string canonicalRoot() {
  std::string root = deviceRoot();
  if (char* resolved = ::realpath(root.c_str(), nullptr)) {
    root = resolved;
    std::free(resolved);
  }
  return root;
}

std::string registryFolder(const std::string& root) { return root + "/instances"; }

// The socket's name in the abstract namespace: no file to clean up after a
// crash, and no path-length limit from a deep root folder.
sockaddr_un addressOf(const std::string& root, std::int32_t pid, socklen_t& length) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : root) hash = (hash ^ c) * 1099511628211ULL;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  char name[80];
  int n = std::snprintf(name, sizeof name, "tessra-%016llx-%d", static_cast<unsigned long long>(hash),
                        static_cast<int>(pid));
  std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(n));
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(n));
  return address;
}

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

bool waitFor(int fd, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    int r = ::poll(&p, 1, remainingMs(deadline));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

bool writeAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool readAll(int fd, void* data, std::size_t size, Clock::time_point deadline) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    if (!waitFor(fd, deadline)) return false;
    ssize_t n = ::recv(fd, p, size, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Both ends refuse processes of other users: the abstract namespace has no
// file permissions to do it for them.
bool peerIsSameUser(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && credentials.uid == ::getuid();
}

// -1 with errno ECONNREFUSED when nobody listens under the name.
int connectTo(const std::string& root, std::int32_t pid) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  socklen_t length = 0;
  sockaddr_un address = addressOf(root, pid, length);
  int r = 0;
  do {
    r = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
  } while (r != 0 && errno == EINTR);
  if (r != 0 || !peerIsSameUser(fd)) {
    const int error = r != 0 ? errno : EACCES;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Reads the request of a new connection; nullopt when it was refused or
// could not be read.
std::optional<WireRequest> readRequest(int fd) {
  if (!peerIsSameUser(fd)) return std::nullopt;
  WireRequest request{};
  const auto deadline = Clock::now() + std::chrono::milliseconds(requestTimeoutMs);
  if (!readAll(fd, &request, sizeof request, deadline)) return std::nullopt;
  return request;
}

bool acts(const WireRequest& request) {
  return request.kind == static_cast<std::uint32_t>(Request::Kind::Send) ||
         request.kind == static_cast<std::uint32_t>(Request::Kind::Activate);
}

// True when the sender closed its end: it no longer waits for the answer.
bool senderGone(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  if ((p.revents & (POLLHUP | POLLERR)) != 0) return true;
  char byte = 0;
  return ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

// Answers one request; returns its kind, or nullopt for an unknown one.
std::optional<Request::Kind> answer(int fd, const WireRequest& request) {
  // A copy: a handler may withdraw and publish again while it runs.
  const Handlers handlers = publication().handlers;
  switch (static_cast<Request::Kind>(request.kind)) {
    case Request::Kind::ListWindows: {
      std::vector<RemoteWindow> windows = handlers.listWindows ? handlers.listWindows() : std::vector<RemoteWindow>{};
      auto count = static_cast<std::uint32_t>(std::min<std::size_t>(windows.size(), maxWindows));
      if (!writeAll(fd, &count, sizeof count)) break;
      for (std::uint32_t i = 0; i < count; ++i) {
        auto length = static_cast<std::uint32_t>(std::min<std::size_t>(windows[i].className.size(), maxClassName));
        if (!writeAll(fd, &windows[i].window, sizeof windows[i].window) || !writeAll(fd, &length, sizeof length) ||
            !writeAll(fd, windows[i].className.data(), length * sizeof(char16_t)))
          break;
      }
      return Request::Kind::ListWindows;
    }
    case Request::Kind::Send: {
      std::int64_t result = handlers.send ? handlers.send(request.window, request.message,
                                                          static_cast<WPARAM>(request.wParam),
                                                          static_cast<LPARAM>(request.lParam))
                                          : 0;
      writeAll(fd, &result, sizeof result);
      return Request::Kind::Send;
    }
    case Request::Kind::Activate: {
      if (handlers.activate) handlers.activate(request.window);
      std::int64_t result = 0;
      writeAll(fd, &result, sizeof result);
      return Request::Kind::Activate;
    }
  }
  return std::nullopt;
}

// Answers the held requests whose senders still wait; true when one acted.
bool answerHeld() {
  std::vector<HeldRequest> held = std::move(publication().held);
  publication().held.clear();
  bool acted = false;
  for (const HeldRequest& h : held) {
    if (!senderGone(h.fd) && answer(h.fd, h.request)) acted = true;
    ::close(h.fd);
  }
  return acted;
}

// Waits for the reply on fd; requests made to this instance meanwhile are
// served, as a Win32 thread waiting in SendMessage handles messages sent to
// it, so that two instances messaging each other cannot lock up.
bool awaitReply(int fd, Clock::time_point deadline) {
  for (;;) {
    const int listening = publication().listening;
    pollfd p[2] = {{fd, POLLIN, 0}, {listening, POLLIN, 0}};
    const nfds_t count = listening >= 0 ? 2 : 1;
    int r = ::poll(p, count, remainingMs(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    if (p[0].revents != 0) return true;
    if (count == 2 && p[1].revents != 0) serve(0);
  }
}

std::optional<std::int64_t> call(std::int32_t pid, const WireRequest& request) {
  int fd = connectTo(canonicalRoot(), pid);
  if (fd < 0) return std::nullopt;
  const auto deadline = Clock::now() + std::chrono::milliseconds(sendTimeoutMs);
  std::int64_t result = 0;
  bool ok = writeAll(fd, &request, sizeof request) && awaitReply(fd, deadline) &&
            readAll(fd, &result, sizeof result, deadline);
  ::close(fd);
  if (!ok) return std::nullopt;
  return result;
}

// The process ids the registry names, this process's own left out.
std::vector<std::int32_t> registeredPids(const std::string& folder) {
  std::vector<std::int32_t> pids;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return pids;
  const auto self = static_cast<std::int32_t>(::getpid());
  int seen = 0;
  while (dirent* entry = ::readdir(dir)) {
    if (++seen > maxRegistryEntries || pids.size() >= maxInstances) break;
    char* end = nullptr;
    errno = 0;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != 0 || errno != 0 || pid <= 0 || pid > INT32_MAX || pid == self) continue;
    pids.push_back(static_cast<std::int32_t>(pid));
  }
  ::closedir(dir);
  std::sort(pids.begin(), pids.end());
  return pids;
}

// One instance's windows, read within the deadline; whatever arrived whole
// before a fault is kept.
void readWindows(int fd, std::int32_t pid, Clock::time_point deadline, std::vector<RemoteWindow>& found) {
  WireRequest request{static_cast<std::uint32_t>(Request::Kind::ListWindows), 0, 0, 0, 0};
  std::uint32_t count = 0;
  if (!writeAll(fd, &request, sizeof request) || !awaitReply(fd, deadline) ||
      !readAll(fd, &count, sizeof count, deadline) || count > maxWindows)
    return;
  for (std::uint32_t i = 0; i < count; ++i) {
    RemoteWindow window;
    window.pid = pid;
    std::uint32_t length = 0;
    if (!readAll(fd, &window.window, sizeof window.window, deadline) ||
        !readAll(fd, &length, sizeof length, deadline) || length > maxClassName)
      return;
    window.className.resize(length);
    if (!readAll(fd, window.className.data(), length * sizeof(char16_t), deadline)) return;
    found.push_back(std::move(window));
  }
}

}  // namespace

bool publish(const Handlers& handlers) {
  Publication& p = publication();
  if (p.listening >= 0) return true;
  const std::string root = canonicalRoot();
  const auto pid = static_cast<std::int32_t>(::getpid());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t length = 0;
  sockaddr_un address = addressOf(root, pid, length);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return false;
  }
  // The socket listens before the entry appears: whoever finds the entry
  // can connect at once.
  ::mkdir(registryFolder(root).c_str(), 0700);
  std::string entry = registryFolder(root) + "/" + std::to_string(pid);
  int marker = ::open(entry.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  if (marker < 0) {
    ::close(fd);
    return false;
  }
  ::close(marker);
  p.listening = fd;
  p.entry = std::move(entry);
  p.handlers = handlers;
  return true;
}

void withdraw() {
  Publication& p = publication();
  // Held senders learn at once that nobody will answer.
  for (const HeldRequest& h : p.held) ::close(h.fd);
  p.held.clear();
  if (p.listening < 0) return;
  ::unlink(p.entry.c_str());
  ::close(p.listening);
  p.listening = -1;
  p.entry.clear();
}

bool published() { return publication().listening >= 0; }

int requestFd() { return publication().listening; }

void holdActingRequests(bool hold) { publication().holdActing = hold; }

bool actingRequestsHeld() { return publication().holdActing; }

bool serve(int timeoutMs) {
  if (publication().listening < 0) return false;
  if (!publication().holdActing && !publication().held.empty() && answerHeld()) return true;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  if (!waitFor(publication().listening, deadline)) return false;
  bool acted = false;
  // Bounded: a flood of connections cannot keep the loop from its keys.
  for (int i = 0; i < 64; ++i) {
    // Looked up on each turn: a handler may have withdrawn.
    const int listening = publication().listening;
    if (listening < 0) break;
    int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      break;
    }
    std::optional<WireRequest> request = readRequest(fd);
    if (request && acts(*request) && publication().holdActing) {
      if (publication().held.size() < maxHeld) {
        publication().held.push_back(HeldRequest{fd, *request});
        continue;
      }
      request.reset();  // too many waiting: this sender is refused at once
    }
    std::optional<Request::Kind> kind = request ? answer(fd, *request) : std::nullopt;
    ::close(fd);
    if (kind && *kind != Request::Kind::ListWindows) acted = true;
  }
  return acted;
}

std::vector<RemoteWindow> listRemoteWindows() {
  std::vector<RemoteWindow> found;
  const std::string root = canonicalRoot();
  const std::string folder = registryFolder(root);
  const auto deadline = Clock::now() + std::chrono::milliseconds(listTimeoutMs);
  for (std::int32_t pid : registeredPids(folder)) {
    int fd = connectTo(root, pid);
    if (fd < 0) {
      // Nobody listens under the name: the instance is gone and its entry
      // is stale. Other failures (no descriptors left) prove nothing.
      if (errno == ECONNREFUSED) ::unlink((folder + "/" + std::to_string(pid)).c_str());
      continue;
    }
    readWindows(fd, pid, deadline, found);
    ::close(fd);
  }
  return found;
}

std::optional<LRESULT> sendRemote(std::int32_t pid, std::uint64_t window, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
  WireRequest request{static_cast<std::uint32_t>(Request::Kind::Send), message, window,
                      static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam)};
  auto result = call(pid, request);
  if (!result) return std::nullopt;
  return static_cast<LRESULT>(*result);
}

bool activateRemote(std::int32_t pid, std::uint64_t window) {
  WireRequest request{static_cast<std::uint32_t>(Request::Kind::Activate), 0, window, 0, 0};
  return call(pid, request).has_value();
}

}  // namespace platform::instances
