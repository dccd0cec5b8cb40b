// The phone clock's time as the phone's own files write it.
#pragma once

#include <string>

namespace platform::phone {

// GetLocalTime as "YYYY-MM-DD HH:MM:SS".
std::string phoneClockText();

}  // namespace platform::phone
