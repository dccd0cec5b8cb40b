// Open files: CreateFileW and the calls on a file handle.
//
// Sharing is enforced with advisory locks (flock) on the open file, so it
// holds between handles of this process and against other processes alike:
// an open that shares nothing, or that writes without sharing writes, takes
// the lock exclusively; every other open takes it shared. A lock that cannot
// be had fails the open with ERROR_SHARING_VIOLATION.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/os/file_faults.h"
#include "platform/os/handle_table.h"
#include "platform/os/posix_errors.h"
#include "platform/os/posix_path.h"
#include "platform/os/write_recorder.h"
#include "platform/win_base.h"

namespace {

using platform::FileOp;
using platform::os::OpenFile;

int openFlags(bool read, bool write) {
  if (write) return (read ? O_RDWR : O_WRONLY) | O_CLOEXEC;
  return O_RDONLY | O_CLOEXEC;
}

bool takesExclusiveLock(DWORD access, DWORD shareMode) {
  if (shareMode == 0) return true;
  return (access & GENERIC_WRITE) != 0 && (shareMode & FILE_SHARE_WRITE) == 0;
}

HANDLE failOpen(int fd, DWORD error) {
  if (fd >= 0) ::close(fd);
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, void*, DWORD creation, DWORD, HANDLE) {
  const auto posix = platform::os::toPosixPath(path);
  if (!posix) return INVALID_HANDLE_VALUE;
  const bool read = (access & GENERIC_READ) != 0;
  const bool write = (access & GENERIC_WRITE) != 0;
  if (creation < CREATE_NEW || creation > TRUNCATE_EXISTING || (creation == TRUNCATE_EXISTING && !write)) {
    return failOpen(-1, ERROR_INVALID_PARAMETER);
  }
  if (platform::os::fileOperationFails(FileOp::Open)) return failOpen(-1, ERROR_ACCESS_DENIED);

  const char* name = posix->c_str();
  const int flags = openFlags(read, write);
  bool existed = true;
  int fd = -1;
  switch (creation) {
    case CREATE_NEW:
      fd = ::open(name, flags | O_CREAT | O_EXCL, 0666);
      existed = false;
      break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      fd = ::open(name, flags | O_CREAT | O_EXCL, 0666);
      existed = fd < 0 && errno == EEXIST;
      if (existed) fd = ::open(name, flags);
      break;
    default:  // OPEN_EXISTING, TRUNCATE_EXISTING
      fd = ::open(name, flags);
      break;
  }
  if (fd < 0) return failOpen(-1, platform::os::errorFromErrno(errno, *posix));

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return failOpen(fd, ERROR_ACCESS_DENIED);
  const int lock = takesExclusiveLock(access, shareMode) ? LOCK_EX : LOCK_SH;
  if (::flock(fd, lock | LOCK_NB) != 0) {
    return failOpen(fd, errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
  }
  // Truncation waits for the lock, so a file that someone else holds is
  // never emptied underneath them.
  if ((creation == CREATE_ALWAYS && existed) || creation == TRUNCATE_EXISTING) {
    if (::ftruncate(fd, 0) != 0) return failOpen(fd, platform::os::errorFromErrno(errno));
  }
  // A file made or emptied here is, to a replay, one cut to nothing.
  if (!existed || (creation == CREATE_ALWAYS && existed) || creation == TRUNCATE_EXISTING)
    platform::os::noteRecordedResize(*posix, 0);
  SetLastError((creation == CREATE_ALWAYS || creation == OPEN_ALWAYS) && existed ? ERROR_ALREADY_EXISTS
                                                                                  : ERROR_SUCCESS);
  return platform::os::addHandle(OpenFile{fd, read, write, 0, *posix});
}

// A short read (end of file) succeeds with fewer bytes, as on Win32.
BOOL ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void*) {
  if (read != nullptr) *read = 0;
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return FALSE;
  if (buffer == nullptr && toRead > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!open->canRead) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (platform::os::fileOperationFails(FileOp::Read)) {
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
  }
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  DWORD done = 0;
  while (done < toRead) {
    const ssize_t n = ::pread(open->fd, bytes + done, toRead - done, static_cast<off_t>(open->position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      platform::os::setLastErrorFromErrno(errno);
      open->position += done;
      if (read != nullptr) *read = done;
      return FALSE;
    }
    if (n == 0) break;
    done += static_cast<DWORD>(n);
  }
  open->position += done;
  if (read != nullptr) *read = done;
  return TRUE;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void*) {
  if (written != nullptr) *written = 0;
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return FALSE;
  if (buffer == nullptr && toWrite > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!open->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (platform::os::fileOperationFails(FileOp::Write)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  const std::int64_t start = platform::os::recordingWrites() ? open->position : -1;
  DWORD done = 0;
  BOOL ok = TRUE;
  while (done < toWrite) {
    const ssize_t n = ::pwrite(open->fd, bytes + done, toWrite - done, static_cast<off_t>(open->position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(errno == EIO ? ERROR_WRITE_FAULT : platform::os::errorFromErrno(errno));
      ok = FALSE;
      break;
    }
    done += static_cast<DWORD>(n);
  }
  open->position += done;
  if (start >= 0) platform::os::noteRecordedWrite(open->path, static_cast<std::uint64_t>(start), bytes, done);
  if (written != nullptr) *written = done;
  return ok;
}

// Without distanceHigh the distance is a signed 32-bit number and the new
// position must fit in 32 bits (below INVALID_SET_FILE_POINTER).
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return INVALID_SET_FILE_POINTER;
  if (method > FILE_END) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (platform::os::fileOperationFails(FileOp::Seek)) {
    SetLastError(ERROR_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  const std::int64_t move =
      distanceHigh != nullptr
          ? static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                      static_cast<std::uint32_t>(distance))
          : static_cast<std::int64_t>(distance);
  std::int64_t base = 0;
  if (method == FILE_CURRENT) {
    base = open->position;
  } else if (method == FILE_END) {
    struct stat info {};
    base = ::fstat(open->fd, &info) == 0 ? info.st_size : -1;
  }
  if (base < 0) {
    platform::os::setLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t target = 0;
  if (__builtin_add_overflow(base, move, &target) || target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (distanceHigh == nullptr && target >= static_cast<std::int64_t>(INVALID_SET_FILE_POINTER)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  open->position = target;
  if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(static_cast<std::uint64_t>(target) & 0xFFFFFFFFu);
}

DWORD GetFileSize(HANDLE file, DWORD* sizeHigh) {
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return INVALID_FILE_SIZE;
  struct stat info {};
  if (::fstat(open->fd, &info) != 0) {
    platform::os::setLastErrorFromErrno(errno);
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

// Cuts or extends (with zeros) the file at the current position. Counts as
// a write for the fault injection.
BOOL SetEndOfFile(HANDLE file) {
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return FALSE;
  if (!open->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (platform::os::fileOperationFails(FileOp::Write)) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  if (::ftruncate(open->fd, static_cast<off_t>(open->position)) != 0) {
    platform::os::setLastErrorFromErrno(errno);
    return FALSE;
  }
  platform::os::noteRecordedResize(open->path, static_cast<std::uint64_t>(open->position));
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  OpenFile* open = platform::os::findOpenFile(file);
  if (open == nullptr) return FALSE;
  if (open->canWrite && ::fdatasync(open->fd) != 0) {
    platform::os::setLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

// Closes a file handle (search handles are closed with FindClose).
BOOL CloseHandle(HANDLE handle) {
  if (platform::os::findOpenFile(handle) == nullptr) return FALSE;
  platform::os::HandleEntry entry;
  platform::os::removeHandle(handle, &entry);
  ::close(std::get<OpenFile>(entry).fd);
  return TRUE;
}
