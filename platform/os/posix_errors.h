// Maps POSIX errno values to the platform's last-error codes.
#pragma once

#include <string>

#include "platform/win_types.h"

namespace platform::os {

// The Win32 code for an errno of a call on the file at path. A missing file
// whose folder is missing as well is ERROR_PATH_NOT_FOUND, as on the phone.
DWORD errorFromErrno(int error, const std::string& path = {});

// Sets the last error from errno (see errorFromErrno).
void setLastErrorFromErrno(int error, const std::string& path = {});

}  // namespace platform::os
