#include "platform/os/icu_patterns.h"

#include <unicode/udat.h>

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace platform::os {

namespace {

struct FormatCloser {
  void operator()(UDateFormat* format) const { udat_close(format); }
};

std::u16string openPattern(const std::string& locale, UDateFormatStyle timeStyle, UDateFormatStyle dateStyle) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UDateFormat, FormatCloser> format(
      udat_open(timeStyle, dateStyle, locale.c_str(), u"GMT", -1, nullptr, -1, &status));
  if (U_FAILURE(status)) return {};
  UChar buffer[256];
  const int32_t length = udat_toPattern(format.get(), false, buffer, 256, &status);
  if (U_FAILURE(status) || length < 0 || length > 256) return {};
  return std::u16string(buffer, static_cast<std::size_t>(length));
}

// Asking ICU for a pattern opens a formatter, which is slow next to
// formatting; a list formats a date per row, so patterns are kept.
std::u16string patternOf(const std::string& locale, UDateFormatStyle timeStyle, UDateFormatStyle dateStyle) {
  static std::mutex mutex;
  static std::map<std::tuple<std::string, int, int>, std::u16string> known;
  std::lock_guard lock(mutex);
  auto key = std::make_tuple(locale, static_cast<int>(timeStyle), static_cast<int>(dateStyle));
  if (const auto it = known.find(key); it != known.end()) return it->second;
  if (known.size() >= 64) known.clear();
  return known.emplace(std::move(key), openPattern(locale, timeStyle, dateStyle)).first->second;
}

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Calls visit(letter, runLength) for each run of a pattern letter outside
// quotes and literal(text) for everything else (quotes kept as written).
template <typename Letter, typename Literal>
void walkPattern(const std::u16string& pattern, Letter visit, Literal literal) {
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c == u'\'') {
      std::size_t end = i + 1;
      while (end < pattern.size()) {
        if (pattern[end] == u'\'') {
          if (end + 1 < pattern.size() && pattern[end + 1] == u'\'') {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      const std::size_t stop = end < pattern.size() ? end + 1 : end;
      literal(pattern.substr(i, stop - i));
      i = stop;
    } else if (isAsciiLetter(c)) {
      std::size_t end = i;
      while (end < pattern.size() && pattern[end] == c) ++end;
      visit(c, end - i);
      i = end;
    } else {
      literal(std::u16string(1, c));
      ++i;
    }
  }
}

}  // namespace

void plainSpaces(std::u16string& text) {
  for (auto& c : text) {
    if (c == u'\u202F' || c == u'\u00A0') c = u' ';
  }
}

std::u16string shortDatePattern(const std::string& locale) {
  // Asked once per row of a list of dates: the last answer is kept.
  static std::mutex mutex;
  static std::string lastLocale;
  static std::u16string lastPattern;
  std::lock_guard lock(mutex);
  if (!lastPattern.empty() && locale == lastLocale) return lastPattern;
  std::u16string out;
  walkPattern(
      patternOf(locale, UDAT_NONE, UDAT_SHORT),
      [&](char16_t letter, std::size_t run) {
        out.append(letter == u'y' ? 4 : run, letter);
      },
      [&](const std::u16string& text) { out += text; });
  plainSpaces(out);
  lastLocale = locale;
  lastPattern = out.empty() ? u"yyyy-MM-dd" : out;
  return lastPattern;
}

std::u16string longDatePattern(const std::string& locale) {
  std::u16string out = patternOf(locale, UDAT_NONE, UDAT_LONG);
  plainSpaces(out);
  return out.empty() ? u"yyyy-MM-dd" : out;
}

std::u16string timePattern(const std::string& locale, bool withSeconds) {
  std::u16string out = patternOf(locale, withSeconds ? UDAT_MEDIUM : UDAT_SHORT, UDAT_NONE);
  plainSpaces(out);
  if (out.empty()) return withSeconds ? u"HH:mm:ss" : u"HH:mm";
  return out;
}

// The phone's pictures know days (d), months (M), years (y), eras (g),
// hours (h, H), minutes (m), seconds (s) and the AM/PM marker (t); other ICU
// fields are mapped to the nearest of these.
std::u16string toPicture(const std::u16string& icuPattern) {
  std::u16string out;
  walkPattern(
      icuPattern,
      [&](char16_t letter, std::size_t run) {
        switch (letter) {
          case u'd': case u'M': case u'y': case u'h': case u'H': case u'm': case u's':
            out.append(run, letter);
            break;
          case u'L':
            out.append(run, u'M');
            break;
          case u'k':
            out.append(run, u'H');
            break;
          case u'K':
            out.append(run, u'h');
            break;
          case u'E': case u'c':
            out += run >= 4 ? u"dddd" : u"ddd";
            break;
          case u'a': case u'b': case u'B':
            out += u"tt";
            break;
          case u'G':
            out += u"g";
            break;
          default:
            break;  // fields the phone's pictures cannot show
        }
      },
      [&](const std::u16string& text) { out += text; });
  return out;
}

std::u16string fromPicture(const std::u16string& picture) {
  std::u16string out;
  walkPattern(
      picture,
      [&](char16_t letter, std::size_t run) {
        switch (letter) {
          case u'd':
            out += run == 1 ? u"d" : run == 2 ? u"dd" : run == 3 ? u"EEE" : u"EEEE";
            break;
          case u'M':
            out.append(run > 4 ? 4 : run, u'M');
            break;
          case u'y':
            out += run <= 2 ? u"yy" : u"yyyy";
            break;
          case u'g':
            out += u"G";
            break;
          case u'h': case u'H': case u'm': case u's':
            out.append(run > 2 ? 2 : run, letter);
            break;
          case u't':
            out += run == 1 ? u"aaaaa" : u"a";
            break;
          default:  // any other letter is text
            out += u'\'';
            out.append(run, letter);
            out += u'\'';
            break;
        }
      },
      [&](const std::u16string& text) { out += text; });
  return out;
}

}  // namespace platform::os
