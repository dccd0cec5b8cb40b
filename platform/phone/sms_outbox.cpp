#include "platform/phone/sms_outbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/emulator.h"
#include "platform/os/descriptor.h"
#include "platform/phone/child_process.h"
#include "platform/phone/phone_clock.h"
#include "platform/win_base.h"

namespace platform::phone {

namespace {

// Outbox names are this many digits and ".txt", so that they sort as
// their numbers do.
constexpr int sequenceDigits = 12;
constexpr std::uint64_t lastSequence = 999999999999ULL;
// How many outbox entries a scan for the highest number reads, and how
// many taken names a delivery steps over, before it gives up.
constexpr int scanLimit = 100000;
constexpr int takenLimit = 10000;

using platform::os::Descriptor;

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string outboxName(std::uint64_t sequence) {
  char name[32];
  std::snprintf(name, sizeof name, "%0*llu.txt", sequenceDigits, static_cast<unsigned long long>(sequence));
  return name;
}

// The number of an outbox name, or nullopt for any other file.
std::optional<std::uint64_t> sequenceOf(const char* name) {
  std::uint64_t value = 0;
  int i = 0;
  for (; i < sequenceDigits; ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(name[i] - '0');
  }
  if (std::string_view(name + i) != ".txt") return std::nullopt;
  return value;
}

// The highest number in the outbox, for a sequence file that is missing or
// unreadable.
std::uint64_t highestInOutbox(const std::string& outbox) {
  std::uint64_t highest = 0;
  DIR* folder = ::opendir(outbox.c_str());
  if (folder == nullptr) return 0;
  for (int read = 0; read < scanLimit; ++read) {
    const dirent* entry = ::readdir(folder);
    if (entry == nullptr) break;
    if (const auto n = sequenceOf(entry->d_name); n && *n > highest) highest = *n;
  }
  ::closedir(folder);
  return highest;
}

// The sequence file holds the last number given out, in decimal.
std::optional<std::uint64_t> readSequence(int fd) {
  char text[32];
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  if (n <= 0) return std::nullopt;
  std::uint64_t value = 0;
  ssize_t i = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (i >= sequenceDigits) return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (i == 0 || (i < n && text[i] != '\n')) return std::nullopt;
  return value;
}

void writeSequence(int fd, std::uint64_t value) {
  const std::string text = std::to_string(value) + "\n";
  if (::pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
    (void)::ftruncate(fd, static_cast<off_t>(text.size()));
  }
}

// Moves the finished file to its outbox name without replacing anything.
// 0, or the errno (EEXIST: the name is taken).
int moveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the no-replace rename: link() refuses a taken name.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

// A name in tmp/ no other delivery uses: the process, a counter and the time.
std::string temporaryName(const std::string& tmp) {
  static std::atomic<unsigned long> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char name[96];
  std::snprintf(name, sizeof name, "/%lld.%09ld.P%dQ%lu", static_cast<long long>(now.tv_sec), now.tv_nsec,
                static_cast<int>(::getpid()), ++counter);
  return tmp + name;
}

bool makeFolder(const std::string& folder) { return ::mkdir(folder.c_str(), 0777) == 0 || errno == EEXIST; }

}  // namespace

SmsResult sendSms(const std::string& number, const std::string& text, std::uint64_t* sequence) {
  const std::string sms = deviceRoot() + "/sms";
  const std::string tmp = sms + "/tmp";
  const std::string outbox = sms + "/outbox";
  if (!makeFolder(sms) || !makeFolder(tmp) || !makeFolder(outbox)) return SmsResult::NotStored;

  const std::string message = "To: " + number + "\nDate: " + phoneClockText() + "\n\n" + text;
  const std::string written = temporaryName(tmp);
  {
    Descriptor file(::open(written.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.valid()) return SmsResult::NotStored;
    if (!writeAll(file.get(), message) || ::fsync(file.get()) != 0) {
      ::unlink(written.c_str());
      return SmsResult::NotStored;
    }
  }

  const char* command = std::getenv("TESSRA_SMS_COMMAND");
  if (command != nullptr && *command != '\0' && runAndWait(command, {number, text}) != 0) {
    ::unlink(written.c_str());
    return SmsResult::Refused;
  }

  // The sequence file's lock orders deliveries of every program.
  Descriptor lock(::open((sms + "/sequence").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!lock.valid() || ::flock(lock.get(), LOCK_EX) != 0) {
    ::unlink(written.c_str());
    return SmsResult::NotStored;
  }
  const auto last = readSequence(lock.get());
  std::uint64_t next = (last ? *last : highestInOutbox(outbox)) + 1;
  for (int tries = 0;; ++tries, ++next) {
    if (tries == takenLimit || next > lastSequence) {
      ::unlink(written.c_str());
      return SmsResult::NotStored;
    }
    const int error = moveWithoutReplacing(written, outbox + "/" + outboxName(next));
    if (error == 0) break;
    if (error != EEXIST) {
      ::unlink(written.c_str());
      return SmsResult::NotStored;
    }
  }
  writeSequence(lock.get(), next);
  if (sequence != nullptr) *sequence = next;
  return SmsResult::Accepted;
}

}  // namespace platform::phone
