#include "platform/phone/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

extern char** environ;

namespace platform::phone {

namespace {

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program's path: a name with a '/' as it is, otherwise the first
// executable of that name in PATH. Resolved here rather than by the spawn,
// so that a missing program is known before anything starts.
std::optional<std::string> resolve(const std::string& program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string::npos) {
    if (isExecutableFile(program)) return program;
    return std::nullopt;
  }
  const char* pathVariable = std::getenv("PATH");
  const std::string path = pathVariable != nullptr ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = path.find(':', start);
    const std::string_view folder =
        std::string_view(path).substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    std::string candidate;
    candidate.reserve(folder.size() + 2 + program.size());
    candidate.append(folder.empty() ? std::string_view(".") : folder);
    candidate += '/';
    candidate += program;
    if (isExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) return std::nullopt;
    start = colon + 1;
  }
}

// The spawn's attributes and file actions, released on every path.
class SpawnSetup {
 public:
  explicit SpawnSetup(bool ownSession) {
    ok_ = ::posix_spawnattr_init(&attributes_) == 0;
    actionsReady_ = ::posix_spawn_file_actions_init(&actions_) == 0;
    ok_ = ok_ && actionsReady_;
    if (!ok_) return;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGTSTP, SIGTTIN, SIGTTOU}) {
      sigaddset(&defaults, signal);
    }
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (ownSession) flags |= POSIX_SPAWN_SETSID;
    ok_ = ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
          ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
          ::posix_spawnattr_setflags(&attributes_, flags) == 0 &&
          ::posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
          ::posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
          ::posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0) == 0 &&
          ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    if (actionsReady_) ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attributes_);
  }

  // The child's process id, or nullopt.
  std::optional<pid_t> spawn(const std::string& path, const std::string& program,
                             const std::vector<std::string>& arguments) {
    if (!ok_) return std::nullopt;
    std::vector<std::string> strings;
    strings.reserve(arguments.size() + 1);
    strings.push_back(program);
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(strings.size() + 1);
    for (std::string& s : strings) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, path.c_str(), &actions_, &attributes_, argv.data(), environ) != 0) return std::nullopt;
    return pid;
  }

 private:
  posix_spawnattr_t attributes_{};
  posix_spawn_file_actions_t actions_{};
  bool actionsReady_ = false;
  bool ok_ = false;
};

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The children started detached that have not ended yet. Never destroyed:
// a reaper may still be waiting while the program exits.
struct Detached {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};
Detached& detached() {
  static Detached* instance = new Detached;
  return *instance;
}

}  // namespace

int runAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  const auto path = resolve(program);
  if (!path) return -1;
  SpawnSetup setup(false);
  const auto pid = setup.spawn(*path, program, arguments);
  if (!pid) return -1;
  return waitFor(*pid);
}

bool startDetached(const std::string& program, const std::vector<std::string>& arguments) {
  const auto path = resolve(program);
  if (!path) return false;
  SpawnSetup setup(true);
  const auto pid = setup.spawn(*path, program, arguments);
  if (!pid) return false;
  Detached& d = detached();
  {
    std::lock_guard lock(d.mutex);
    ++d.running;
  }
  // The phone does not wait for its dialler; a reaper collects the child's
  // exit so that no zombie stays behind.
  auto reap = [child = *pid, &d] {
    waitFor(child);
    std::lock_guard lock(d.mutex);
    --d.running;
    d.ended.notify_all();
  };
  try {
    std::thread(reap).detach();
  } catch (...) {
    reap();  // no thread to spare: wait here rather than leave a zombie
  }
  return true;
}

void waitForDetached() {
  Detached& d = detached();
  std::unique_lock lock(d.mutex);
  d.ended.wait(lock, [&d] { return d.running == 0; });
}

}  // namespace platform::phone
