// Calendar arithmetic on SYSTEMTIME fields (proleptic Gregorian calendar).
#pragma once

#include <cstdint>

#include "platform/win_types.h"

namespace platform::os {

int daysInMonth(int year, int month);
// Year 1601..30827, month 1..12, day inside the month.
bool isValidDate(const SYSTEMTIME& time);
// Hour < 24, minute < 60, second < 60, milliseconds < 1000.
bool isValidTimeOfDay(const SYSTEMTIME& time);
// 0 = Sunday.
WORD dayOfWeek(int year, int month, int day);
// Days since 1970-01-01 (negative before).
std::int64_t daysFromCivil(int year, int month, int day);

}  // namespace platform::os
