#include "records/compare.h"

#include "records/encoding.h"
#include "storage/checks.h"
#include "storage/store.h"

namespace {

int sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int compareCalendar(const CalendarValue& a, const CalendarValue& b, bool timeOfDay) {
  if (b.noValue == 1) return a.noValue == 1 ? 0 : 1;
  if (a.noValue == 1) return -1;
  const WORD fa[3] = {timeOfDay ? a.time.wHour : a.time.wYear, timeOfDay ? a.time.wMinute : a.time.wMonth,
                      timeOfDay ? a.time.wSecond : a.time.wDay};
  const WORD fb[3] = {timeOfDay ? b.time.wHour : b.time.wYear, timeOfDay ? b.time.wMinute : b.time.wMonth,
                      timeOfDay ? b.time.wSecond : b.time.wDay};
  for (int i = 0; i < 3; ++i)
    if (fa[i] != fb[i]) return fa[i] < fb[i] ? -1 : 1;
  return 0;
}

}  // namespace

ErrorCode compareValues(const FieldValue& a, const FieldValue& b, int& result) {
  result = 0;
  switch (static_cast<ValueType>(a.valueType)) {
    case ValueType::Integer:
      result = sign(static_cast<long long>(a.payload.integer) - b.payload.integer);
      return err::ok;
    case ValueType::Number:
    case ValueType::Currency:
      result = a.payload.number > b.payload.number ? 1 : (a.payload.number < b.payload.number ? -1 : 0);
      return err::ok;
    case ValueType::Date:
      result = compareCalendar(a.payload.calendar, b.payload.calendar, false);
      return err::ok;
    case ValueType::Time:
      result = compareCalendar(a.payload.calendar, b.payload.calendar, true);
      return err::ok;
    case ValueType::Text:
      result = _wcsicmp(a.payload.text.chars, b.payload.text.chars);
      return err::ok;
    case ValueType::YesNo:
      result = (a.payload.yesNo != 0) - (b.payload.yesNo != 0);
      return err::ok;
    default:
      return internalError();
  }
}

ErrorCode compareValue(DataFile& file, const FieldValue& probe, Position position, int& result) {
  result = 0;
  FieldValue stored{};
  if (position != noPosition) {
    ErrorCode code = readFieldValue(file, position, stored);
    if (code != err::ok) return code;
    if (stored.valueType != probe.valueType) return internalError();
  } else {
    stored = probe;
    resetValue(stored);
  }
  return compareValues(probe, stored, result);
}

ErrorCode locateKey(Store& store, const FieldValue& probe, bool insertMode, std::int32_t& index) {
  const auto count = static_cast<std::int32_t>(store.file.header.recordCount);
  std::int32_t high = count;
  std::int32_t low = store.file.header.sortItem != noItem ? 0 : count;
  auto compareAt = [&](std::int32_t i, int& result) {
    return compareValue(store.file, probe, store.records.index[i].keyPosition, result);
  };
  while (low < high) {
    const std::int32_t mid = low + (high - low) / 2;
    int result = 0;
    ErrorCode code = compareAt(mid, result);
    if (code != err::ok) return code;
    if (result == 0) {
      std::int32_t at = mid;
      if (insertMode) {
        while (at + 1 < count) {
          code = compareAt(at + 1, result);
          if (code != err::ok) return code;
          if (result != 0) break;
          ++at;
        }
      } else {
        while (at > 0) {
          code = compareAt(at - 1, result);
          if (code != err::ok) return code;
          if (result != 0) break;
          --at;
        }
      }
      index = at;
      return err::ok;
    }
    if (result < 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  if (insertMode) {
    index = high - 1;
    return err::ok;
  }
  if (high == count) return err::recordNotFound;
  index = high;
  return err::ok;
}
