#include "platform/instances/instances.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/emulator.h"

namespace platform::instances {
namespace {

constexpr int replyTimeoutMs = 30000;
constexpr std::uint32_t maxWindows = 64;
constexpr std::uint32_t maxClassName = 256;

struct WireRequest {
  std::uint32_t kind;
  std::uint32_t message;
  std::uint64_t window;
  std::uint64_t wParam;
  std::int64_t lParam;
};

int listening = -1;
Handlers serving;

std::string registryFolder() { return deviceRoot() + "/instances"; }

// The socket's name in the abstract namespace: no file to clean up after a
// crash, and no path-length limit from a deep root folder.
sockaddr_un addressOf(std::int32_t pid, socklen_t& length) {
  std::uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : deviceRoot()) hash = (hash ^ c) * 1099511628211ULL;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  char name[80];
  int n = std::snprintf(name, sizeof name, "tessra-%016llx-%d", static_cast<unsigned long long>(hash),
                        static_cast<int>(pid));
  std::memcpy(address.sun_path + 1, name, static_cast<std::size_t>(n));
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(n));
  return address;
}

bool waitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = poll(&p, 1, timeoutMs);
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

bool readAll(int fd, void* data, std::size_t size, int timeoutMs) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    if (!waitFor(fd, POLLIN, timeoutMs)) return false;
    ssize_t n = ::recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

int connectTo(std::int32_t pid) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  socklen_t length = 0;
  sockaddr_un address = addressOf(pid, length);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void handle(int fd) {
  WireRequest request{};
  if (!readAll(fd, &request, sizeof request, 2000)) return;
  switch (static_cast<Request::Kind>(request.kind)) {
    case Request::Kind::ListWindows: {
      std::vector<RemoteWindow> windows = serving.listWindows ? serving.listWindows() : std::vector<RemoteWindow>{};
      auto count = static_cast<std::uint32_t>(std::min<std::size_t>(windows.size(), maxWindows));
      if (!writeAll(fd, &count, sizeof count)) return;
      for (std::uint32_t i = 0; i < count; ++i) {
        auto length = static_cast<std::uint32_t>(std::min<std::size_t>(windows[i].className.size(), maxClassName));
        if (!writeAll(fd, &windows[i].window, sizeof windows[i].window) || !writeAll(fd, &length, sizeof length) ||
            !writeAll(fd, windows[i].className.data(), length * sizeof(char16_t)))
          return;
      }
      break;
    }
    case Request::Kind::Send: {
      std::int64_t result = serving.send ? serving.send(request.window, request.message,
                                                        static_cast<WPARAM>(request.wParam),
                                                        static_cast<LPARAM>(request.lParam))
                                         : 0;
      writeAll(fd, &result, sizeof result);
      break;
    }
    case Request::Kind::Activate: {
      if (serving.activate) serving.activate(request.window);
      std::int64_t result = 0;
      writeAll(fd, &result, sizeof result);
      break;
    }
  }
}

std::optional<std::int64_t> call(std::int32_t pid, const WireRequest& request) {
  int fd = connectTo(pid);
  if (fd < 0) return std::nullopt;
  std::int64_t result = 0;
  bool ok = writeAll(fd, &request, sizeof request) && readAll(fd, &result, sizeof result, replyTimeoutMs);
  ::close(fd);
  if (!ok) return std::nullopt;
  return result;
}

}  // namespace

bool publish(const Handlers& handlers) {
  serving = handlers;
  if (listening >= 0) return true;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  socklen_t length = 0;
  sockaddr_un address = addressOf(static_cast<std::int32_t>(::getpid()), length);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 8) != 0) {
    ::close(fd);
    return false;
  }
  ::mkdir(registryFolder().c_str(), 0700);
  std::string entry = registryFolder() + "/" + std::to_string(::getpid());
  int marker = ::open(entry.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
  if (marker >= 0) ::close(marker);
  listening = fd;
  return true;
}

void withdraw() {
  if (listening < 0) return;
  ::close(listening);
  listening = -1;
  std::string entry = registryFolder() + "/" + std::to_string(::getpid());
  ::unlink(entry.c_str());
}

int requestFd() { return listening; }

bool serve(int timeoutMs) {
  if (listening < 0) return false;
  bool served = false;
  if (!waitFor(listening, POLLIN, timeoutMs)) return false;
  for (;;) {
    int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR) continue;
      break;
    }
    handle(fd);
    ::close(fd);
    served = true;
  }
  return served;
}

std::vector<RemoteWindow> listRemoteWindows() {
  std::vector<RemoteWindow> found;
  DIR* folder = ::opendir(registryFolder().c_str());
  if (folder == nullptr) return found;
  const std::int32_t self = static_cast<std::int32_t>(::getpid());
  std::vector<std::int32_t> pids;
  while (dirent* entry = ::readdir(folder)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != 0 || pid <= 0 || pid == self) continue;
    pids.push_back(static_cast<std::int32_t>(pid));
  }
  ::closedir(folder);
  for (std::int32_t pid : pids) {
    int fd = connectTo(pid);
    if (fd < 0) {
      // The instance is gone; its entry is stale.
      std::string entry = registryFolder() + "/" + std::to_string(pid);
      ::unlink(entry.c_str());
      continue;
    }
    WireRequest request{static_cast<std::uint32_t>(Request::Kind::ListWindows), 0, 0, 0, 0};
    std::uint32_t count = 0;
    if (writeAll(fd, &request, sizeof request) && readAll(fd, &count, sizeof count, replyTimeoutMs) &&
        count <= maxWindows) {
      for (std::uint32_t i = 0; i < count; ++i) {
        RemoteWindow window;
        window.pid = pid;
        std::uint32_t length = 0;
        if (!readAll(fd, &window.window, sizeof window.window, replyTimeoutMs) ||
            !readAll(fd, &length, sizeof length, replyTimeoutMs) || length > maxClassName)
          break;
        window.className.resize(length);
        if (!readAll(fd, window.className.data(), length * sizeof(char16_t), replyTimeoutMs)) break;
        found.push_back(std::move(window));
      }
    }
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
