// Case-insensitive comparison of UTF-16 texts, as file names and the
// catalogue's selection use it.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/win_base.h"

namespace {

int sign(int value) { return (value > 0) - (value < 0); }

TEST(Strings, CaseInsensitiveComparison) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int expected;  // sign of the result
  };
  const Case cases[] = {
      {u"abc", u"ABC", 0},
      {u"Contacts", u"contacts", 0},
      {u"abc", u"abd", -1},
      {u"abd", u"ABC", 1},
      {u"ab", u"abc", -1},  // a prefix sorts first
      {u"abc", u"AB", 1},
      {u"", u"", 0},
      {u"", u"a", -1},
      // Folded units are compared, not raw ones: 'a' > 'B' raw but a < b.
      {u"a", u"B", -1},
      {u"[", u"a", -1},  // '[' lies between 'Z' and 'a'; folding to lower case puts it first
      {u"\u00C4pfel", u"\u00E4PFEL", 0},  // Ä / ä
      {u"\u00C4", u"\u00E5", -1},  // ä < å after folding
      {u"\u03A3", u"\u03C2", 0},   // Σ and final ς fold to σ
      {u"stra\u00DFe", u"STRASSE", 1},  // simple folding keeps ß one unit
      {u"\u0130", u"i", 1},             // dotted capital I has no simple fold to i
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sign(_wcsicmp(c.a, c.b)), c.expected) << platform::toUtf8(c.a) << " / " << platform::toUtf8(c.b);
    EXPECT_EQ(sign(_wcsicmp(c.b, c.a)), -c.expected) << platform::toUtf8(c.b) << " / " << platform::toUtf8(c.a);
  }
}

TEST(Strings, BoundedComparison) {
  EXPECT_EQ(_wcsnicmp(u"abcX", u"ABCy", 3), 0);
  EXPECT_LT(_wcsnicmp(u"abcX", u"ABCy", 4), 0);
  EXPECT_EQ(_wcsnicmp(u"abc", u"xyz", 0), 0);
  EXPECT_EQ(_wcsnicmp(u"ab", u"AB", 100), 0) << "stops at the terminator";
  EXPECT_GT(_wcsnicmp(u"abc", u"AB", 100), 0);
  EXPECT_EQ(_wcsicmp(nullptr, u""), 0);
}

TEST(Strings, Length) {
  EXPECT_EQ(wcslen16(u""), 0u);
  EXPECT_EQ(wcslen16(u"Tessra"), 6u);
  EXPECT_EQ(wcslen16(nullptr), 0u);
}

}  // namespace
