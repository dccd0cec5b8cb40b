#include "platform/os/numeric_dates.h"

#include <unicode/unumsys.h>

#include <cstring>
#include <memory>

namespace platform::os {

namespace {

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

void appendNumber(std::u16string& out, unsigned value, int width) {
  char16_t digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 12);
  for (int k = n; k < width; ++k) out += u'0';
  while (n > 0) out += digits[--n];
}

struct SystemCloser {
  void operator()(UNumberingSystem* system) const { unumsys_close(system); }
};

}  // namespace

std::optional<std::vector<PatternPiece>> numericPattern(const std::u16string& pattern) {
  std::vector<PatternPiece> pieces;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char16_t c = pattern[i];
    if (c == u'\'') return std::nullopt;
    if (!isAsciiLetter(c)) {
      if (pieces.empty() || pieces.back().field != 0) pieces.push_back(PatternPiece{});
      pieces.back().text += c;
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < pattern.size() && pattern[end] == c) ++end;
    const int width = static_cast<int>(end - i);
    const bool known = c == u'y' || ((c == u'd' || c == u'M' || c == u'H' || c == u'h' || c == u'm' || c == u's') &&
                                     width <= 2);
    if (!known) return std::nullopt;
    pieces.push_back(PatternPiece{c, width, {}});
    i = end;
  }
  return pieces;
}

std::u16string formatNumeric(const std::vector<PatternPiece>& pieces, const SYSTEMTIME& t) {
  std::u16string out;
  for (const PatternPiece& piece : pieces) {
    switch (piece.field) {
      case 0:
        out += piece.text;
        break;
      case u'd':
        appendNumber(out, t.wDay, piece.width);
        break;
      case u'M':
        appendNumber(out, t.wMonth, piece.width);
        break;
      case u'y':
        // Two letters show the year of the century; any other count is a
        // least width.
        if (piece.width == 2) {
          appendNumber(out, t.wYear % 100u, 2);
        } else {
          appendNumber(out, t.wYear, piece.width);
        }
        break;
      case u'H':
        appendNumber(out, t.wHour, piece.width);
        break;
      case u'h':
        appendNumber(out, t.wHour % 12 == 0 ? 12u : t.wHour % 12u, piece.width);
        break;
      case u'm':
        appendNumber(out, t.wMinute, piece.width);
        break;
      case u's':
        appendNumber(out, t.wSecond, piece.width);
        break;
      default:
        break;
    }
  }
  return out;
}

bool writesAsciiDigits(const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UNumberingSystem, SystemCloser> system(unumsys_open(locale.c_str(), &status));
  if (U_FAILURE(status) || system == nullptr || unumsys_isAlgorithmic(system.get())) return false;
  const char* name = unumsys_getName(system.get());
  return name != nullptr && std::strcmp(name, "latn") == 0;
}

}  // namespace platform::os
