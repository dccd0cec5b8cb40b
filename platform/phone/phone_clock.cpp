#include "platform/phone/phone_clock.h"

#include <cstdio>

#include "platform/win_base.h"

namespace platform::phone {

std::string phoneClockText() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{now.wYear}, unsigned{now.wMonth},
                unsigned{now.wDay}, unsigned{now.wHour}, unsigned{now.wMinute}, unsigned{now.wSecond});
  return text;
}

}  // namespace platform::phone
