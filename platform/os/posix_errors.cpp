#include "platform/os/posix_errors.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/win_base.h"

namespace platform::os {

namespace {

bool parentFolderExists(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return true;  // relative to the working folder
  const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
  struct stat info {};
  return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

DWORD errorFromErrno(int error, const std::string& path) {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return path.empty() || parentFolderExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case EIO:
      return ERROR_READ_FAULT;
    default:  // EACCES, EPERM, EROFS, EISDIR, EBUSY, ...
      return ERROR_ACCESS_DENIED;
  }
}

void setLastErrorFromErrno(int error, const std::string& path) { SetLastError(errorFromErrno(error, path)); }

}  // namespace platform::os
