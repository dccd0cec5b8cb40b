#include <glib.h>

#include "cemapi/internal.h"

namespace cemapi {

std::string toUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    char bytes[6];
    const gint n = g_unichar_to_utf8(static_cast<gunichar>(c), bytes);
    out.append(bytes, static_cast<std::size_t>(n));
  }
  return out;
}

std::u16string fromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    gunichar c = g_utf8_get_char_validated(p, end - p);
    std::size_t length = 1;
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      c = 0xFFFD;
    } else {
      length = static_cast<std::size_t>(g_utf8_next_char(p) - p);
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    p += length;
  }
  return out;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
  const std::string left(a);
  const std::string right(b);
  if (!g_utf8_validate(left.c_str(), static_cast<gssize>(left.size()), nullptr) ||
      !g_utf8_validate(right.c_str(), static_cast<gssize>(right.size()), nullptr)) {
    return left == right;
  }
  gchar* foldedLeft = g_utf8_casefold(left.c_str(), static_cast<gssize>(left.size()));
  gchar* foldedRight = g_utf8_casefold(right.c_str(), static_cast<gssize>(right.size()));
  const bool same = g_strcmp0(foldedLeft, foldedRight) == 0;
  g_free(foldedLeft);
  g_free(foldedRight);
  return same;
}

}  // namespace cemapi
