#include "platform/controls/date_fields.h"

#include <algorithm>

#include "platform/os/calendar.h"
#include "platform/win_base.h"

namespace platform::controls {
namespace {

constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;

bool isPictureLetter(char16_t c) {
  return c == u'd' || c == u'M' || c == u'y' || c == u'g' || c == u'h' || c == u'H' || c == u'm' || c == u's' ||
         c == u't';
}

std::u16string number(int value, int width) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value > 0);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), u'0');
  return digits;
}

// A name the locale gives for one picture token (month and week-day names,
// era, AM/PM), or `fallback` when the locale cannot.
std::u16string localeName(bool timeToken, const std::u16string& token, const SYSTEMTIME& time,
                          std::u16string_view fallback) {
  WCHAR buffer[64] = {};
  const int written = timeToken ? GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, token.c_str(), buffer, 64)
                                : GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, token.c_str(), buffer, 64);
  if (written <= 1) return std::u16string(fallback);
  return std::u16string(buffer, static_cast<std::size_t>(written - 1));
}

int hour12(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

}  // namespace

std::vector<PicturePiece> parsePicture(std::u16string_view picture) {
  std::vector<PicturePiece> pieces;
  auto addLiteral = [&](char16_t c) {
    if (pieces.empty() || pieces.back().letter != 0) pieces.push_back(PicturePiece{});
    pieces.back().literal += c;
  };
  std::size_t i = 0;
  while (i < picture.size()) {
    const char16_t c = picture[i];
    if (c == u'\'') {
      // Quoted text; '' inside quotes (or alone) is one quote.
      ++i;
      if (i < picture.size() && picture[i] == u'\'') {
        addLiteral(u'\'');
        ++i;
        continue;
      }
      while (i < picture.size()) {
        if (picture[i] == u'\'') {
          if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
            addLiteral(u'\'');
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        addLiteral(picture[i++]);
      }
      continue;
    }
    if (!isPictureLetter(c)) {
      addLiteral(c);
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < picture.size() && picture[i + run] == c) ++run;
    pieces.push_back(PicturePiece{{}, c, static_cast<int>(run)});
    i += run;
  }
  return pieces;
}

ShownTime showTime(const std::vector<PicturePiece>& picture, const SYSTEMTIME& time, bool fourDigitYear) {
  ShownTime shown;
  auto add = [&](std::u16string_view text, bool editable, DatePart part) {
    if (editable) shown.fields.push_back(FieldSpan{part, shown.text.size(), text.size()});
    shown.text += text;
  };
  for (const PicturePiece& piece : picture) {
    const int run = piece.run;
    const std::u16string token(static_cast<std::size_t>(run), piece.letter);
    switch (piece.letter) {
      case 0:
        shown.text += piece.literal;
        break;
      case u'd':
        if (run <= 2) {
          add(number(time.wDay, run), true, DatePart::Day);
        } else {
          add(localeName(false, token, time, u""), false, DatePart::Day);
        }
        break;
      case u'M':
        add(run <= 2 ? number(time.wMonth, run) : localeName(false, token, time, number(time.wMonth, 2)), true,
            DatePart::Month);
        break;
      case u'y':
        if (fourDigitYear || run >= 3) {
          add(number(time.wYear, 4), true, DatePart::Year);
        } else {
          add(number(time.wYear % 100, run), true, DatePart::Year);
        }
        break;
      case u'g':
        add(localeName(false, token, time, u""), false, DatePart::Year);
        break;
      case u'h':
        add(number(hour12(time.wHour), std::min(run, 2)), true, DatePart::Hour);
        break;
      case u'H':
        add(number(time.wHour, std::min(run, 2)), true, DatePart::Hour);
        break;
      case u'm':
        add(number(time.wMinute, std::min(run, 2)), true, DatePart::Minute);
        break;
      case u's':
        add(number(time.wSecond, std::min(run, 2)), true, DatePart::Second);
        break;
      case u't': {
        const bool pm = time.wHour >= 12;
        const std::u16string_view fallback = run == 1 ? (pm ? u"P" : u"A") : (pm ? u"PM" : u"AM");
        add(localeName(true, token, time, fallback), true, DatePart::AmPm);
        break;
      }
      default:
        break;
    }
  }
  return shown;
}

void clampTime(SYSTEMTIME& time) {
  time.wYear = static_cast<WORD>(std::clamp<int>(time.wYear, kFirstYear, kLastYear));
  time.wMonth = static_cast<WORD>(std::clamp<int>(time.wMonth, 1, 12));
  time.wDay = static_cast<WORD>(std::clamp<int>(time.wDay, 1, os::daysInMonth(time.wYear, time.wMonth)));
  time.wHour = static_cast<WORD>(std::min<int>(time.wHour, 23));
  time.wMinute = static_cast<WORD>(std::min<int>(time.wMinute, 59));
  time.wSecond = static_cast<WORD>(std::min<int>(time.wSecond, 59));
  time.wMilliseconds = static_cast<WORD>(std::min<int>(time.wMilliseconds, 999));
}

std::size_t digitsOf(DatePart part) { return part == DatePart::Year ? 4 : 2; }

int largestTyped(DatePart part) {
  switch (part) {
    case DatePart::Day: return 31;
    case DatePart::Month: return 12;
    case DatePart::Year: return 9999;
    case DatePart::Hour: return 23;
    case DatePart::Minute:
    case DatePart::Second: return 59;
    case DatePart::AmPm: return 0;
  }
  return 0;
}

bool setPart(SYSTEMTIME& time, DatePart part, int value) {
  const SYSTEMTIME before = time;
  switch (part) {
    case DatePart::Day: time.wDay = static_cast<WORD>(std::clamp(value, 1, 31)); break;
    case DatePart::Month: time.wMonth = static_cast<WORD>(std::clamp(value, 1, 12)); break;
    case DatePart::Year: time.wYear = static_cast<WORD>(std::clamp(value, kFirstYear, 9999)); break;
    case DatePart::Hour: time.wHour = static_cast<WORD>(std::clamp(value, 0, 23)); break;
    case DatePart::Minute: time.wMinute = static_cast<WORD>(std::clamp(value, 0, 59)); break;
    case DatePart::Second: time.wSecond = static_cast<WORD>(std::clamp(value, 0, 59)); break;
    case DatePart::AmPm: break;
  }
  clampTime(time);
  time.wDayOfWeek = os::dayOfWeek(time.wYear, time.wMonth, time.wDay);
  return before.wYear != time.wYear || before.wMonth != time.wMonth || before.wDay != time.wDay ||
         before.wHour != time.wHour || before.wMinute != time.wMinute || before.wSecond != time.wSecond;
}

bool stepPart(SYSTEMTIME& time, DatePart part, int step) {
  auto wrap = [](int value, int low, int high) {
    const int span = high - low + 1;
    return low + ((value - low) % span + span) % span;
  };
  switch (part) {
    case DatePart::Day:
      return setPart(time, part, wrap(time.wDay + step, 1, os::daysInMonth(time.wYear, time.wMonth)));
    case DatePart::Month: return setPart(time, part, wrap(time.wMonth + step, 1, 12));
    case DatePart::Year: return setPart(time, part, time.wYear + step);
    case DatePart::Hour: return setPart(time, part, wrap(time.wHour + step, 0, 23));
    case DatePart::Minute: return setPart(time, part, wrap(time.wMinute + step, 0, 59));
    case DatePart::Second: return setPart(time, part, wrap(time.wSecond + step, 0, 59));
    case DatePart::AmPm: return setPart(time, DatePart::Hour, (time.wHour + 12) % 24);
  }
  return false;
}

}  // namespace platform::controls
