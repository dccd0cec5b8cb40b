// The phone's clock: local and system time, overridable for tests, and the
// tick count.
#include <time.h>

#include <chrono>
#include <mutex>
#include <optional>

#include "platform/emulator.h"
#include "platform/os/calendar.h"
#include "platform/win_base.h"

namespace {

std::mutex clockMutex;
std::optional<SYSTEMTIME> fixedTime;

std::optional<SYSTEMTIME> fixed() {
  std::lock_guard lock(clockMutex);
  return fixedTime;
}

SYSTEMTIME fromTm(const tm& fields, long nanoseconds) {
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(fields.tm_year + 1900);
  t.wMonth = static_cast<WORD>(fields.tm_mon + 1);
  t.wDayOfWeek = static_cast<WORD>(fields.tm_wday);
  t.wDay = static_cast<WORD>(fields.tm_mday);
  t.wHour = static_cast<WORD>(fields.tm_hour);
  t.wMinute = static_cast<WORD>(fields.tm_min);
  t.wSecond = static_cast<WORD>(fields.tm_sec > 59 ? 59 : fields.tm_sec);  // no leap seconds
  t.wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
  return t;
}

SYSTEMTIME now(bool local) {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm fields{};
  if (local) {
    ::localtime_r(&ts.tv_sec, &fields);
  } else {
    ::gmtime_r(&ts.tv_sec, &fields);
  }
  return fromTm(fields, ts.tv_nsec);
}

}  // namespace

namespace platform {

// The fixed time stands for local and system time alike; its day of the week
// is computed from its date.
void setFixedLocalTime(std::optional<SYSTEMTIME> time) {
  if (time && os::isValidDate(*time)) time->wDayOfWeek = os::dayOfWeek(time->wYear, time->wMonth, time->wDay);
  std::lock_guard lock(clockMutex);
  fixedTime = time;
}

}  // namespace platform

void GetLocalTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  *time = fixed().value_or(now(true));
}

void GetSystemTime(SYSTEMTIME* time) {
  if (time == nullptr) return;
  *time = fixed().value_or(now(false));
}

DWORD GetTickCount() {
  static const auto start = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}
