// Whole-file calls: DeleteFileW, CopyFileW, GetFileAttributesW.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/os/descriptor.h"
#include "platform/os/file_faults.h"
#include "platform/os/posix_errors.h"
#include "platform/os/posix_path.h"
#include "platform/win_base.h"

namespace {

using platform::os::Descriptor;

BOOL fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// True when nobody holds the file open without sharing (a locked file cannot
// be replaced or deleted, as on the phone).
bool nobodyHoldsExclusively(const std::string& path) {
  Descriptor probe(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!probe.valid()) return true;
  return ::flock(probe.get(), LOCK_EX | LOCK_NB) == 0;
}

// Copies every byte from one descriptor to the other; the last error is set
// on failure.
bool copyBytes(int from, int to) {
  char block[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(from, block, sizeof block);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ERROR_READ_FAULT);
      return false;
    }
    if (n == 0) return true;
    ssize_t done = 0;
    while (done < n) {
      const ssize_t w = ::write(to, block + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        SetLastError(errno == EIO ? ERROR_WRITE_FAULT : platform::os::errorFromErrno(errno));
        return false;
      }
      done += w;
    }
  }
}

std::string folderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Moves the finished copy to its name. link() refuses an existing target, so
// fail-if-exists holds even against a file that appeared while copying; a
// file system without hard links falls back to a checked rename.
BOOL placeCopy(const std::string& temporary, const std::string& target, BOOL failIfExists) {
  int placed = -1;
  if (failIfExists) {
    placed = ::link(temporary.c_str(), target.c_str());
    if (placed != 0 && errno != EEXIST) {
      struct stat info {};
      if (::lstat(target.c_str(), &info) == 0) {
        errno = EEXIST;
      } else {
        placed = ::rename(temporary.c_str(), target.c_str());
      }
    }
  } else {
    placed = ::rename(temporary.c_str(), target.c_str());
  }
  const int placeError = errno;
  ::unlink(temporary.c_str());  // a no-op after a rename
  if (placed != 0) return fail(platform::os::errorFromErrno(placeError, target));
  return TRUE;
}

}  // namespace

// A file that someone holds open without sharing is not deleted
// (ERROR_SHARING_VIOLATION); folders are not files (ERROR_ACCESS_DENIED).
BOOL DeleteFileW(LPCWSTR path) {
  const auto posix = platform::os::toPosixPath(path);
  if (!posix) return FALSE;
  struct stat info {};
  if (::stat(posix->c_str(), &info) != 0) return fail(platform::os::errorFromErrno(errno, *posix));
  if (S_ISDIR(info.st_mode)) return fail(ERROR_ACCESS_DENIED);
  if (!nobodyHoldsExclusively(*posix)) return fail(ERROR_SHARING_VIOLATION);
  if (::unlink(posix->c_str()) != 0) return fail(platform::os::errorFromErrno(errno, *posix));
  return TRUE;
}

// The copy is written beside the target and moved into place only when
// complete, so a failed copy never leaves a half-written target. Copying a
// file onto itself is refused with ERROR_ACCESS_DENIED and leaves it intact.
// Counts as one write for the fault injection.
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL failIfExists) {
  const auto from = platform::os::toPosixPath(existing);
  if (!from) return FALSE;
  const auto to = platform::os::toPosixPath(target);
  if (!to) return FALSE;

  Descriptor source(::open(from->c_str(), O_RDONLY | O_CLOEXEC));
  if (!source.valid()) return fail(platform::os::errorFromErrno(errno, *from));
  struct stat sourceInfo {};
  if (::fstat(source.get(), &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) return fail(ERROR_ACCESS_DENIED);
  if (::flock(source.get(), LOCK_SH | LOCK_NB) != 0) return fail(ERROR_SHARING_VIOLATION);

  struct stat targetInfo {};
  if (::stat(to->c_str(), &targetInfo) == 0) {
    if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
      return fail(ERROR_ACCESS_DENIED);
    }
    if (failIfExists) return fail(ERROR_FILE_EXISTS);
    if (S_ISDIR(targetInfo.st_mode)) return fail(ERROR_ACCESS_DENIED);
    if (!nobodyHoldsExclusively(*to)) return fail(ERROR_SHARING_VIOLATION);
  } else if (errno != ENOENT) {
    return fail(platform::os::errorFromErrno(errno, *to));
  }
  if (platform::os::fileOperationFails(platform::FileOp::Write)) return fail(ERROR_WRITE_FAULT);

  std::string temporary = folderOf(*to) + "/.tessra-copy-XXXXXX";
  Descriptor copy(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!copy.valid()) return fail(platform::os::errorFromErrno(errno, *to));
  DWORD copyError = ERROR_SUCCESS;
  if (!copyBytes(source.get(), copy.get())) {
    copyError = GetLastError();
  } else if (::fchmod(copy.get(), (sourceInfo.st_mode & 0777) | 0600) != 0) {
    copyError = platform::os::errorFromErrno(errno);
  }
  if (copyError != ERROR_SUCCESS) {
    ::unlink(temporary.c_str());
    return fail(copyError);
  }
  return placeCopy(temporary, *to, failIfExists);
}

// FILE_ATTRIBUTE_DIRECTORY for folders, FILE_ATTRIBUTE_NORMAL for files.
DWORD GetFileAttributesW(LPCWSTR path) {
  const auto posix = platform::os::toPosixPath(path);
  if (!posix) return INVALID_FILE_ATTRIBUTES;
  struct stat info {};
  if (::stat(posix->c_str(), &info) != 0) {
    platform::os::setLastErrorFromErrno(errno, *posix);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}
