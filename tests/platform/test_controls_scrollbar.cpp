// "SCROLLBAR": range and position through the messages and the SB_CTL
// functions.
#include "controls_fixture.h"

namespace {

using controls_test::ControlsTest;

using ScrollBarTest = ControlsTest;

TEST_F(ScrollBarTest, ThePositionStaysInsideTheRange) {
  HWND bar = create(u"SCROLLBAR", u"", SBS_VERT, -1, 6, 200);
  int low = -1;
  int high = -1;
  ASSERT_TRUE(GetScrollRange(bar, SB_CTL, &low, &high));
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 0);

  ASSERT_TRUE(SetScrollRange(bar, SB_CTL, 0, 300, FALSE));
  struct Case {
    int set;
    int previous;
    int after;
  };
  const Case cases[] = {{120, 0, 120}, {400, 120, 300}, {-5, 300, 0}, {300, 0, 300}};
  for (const Case& c : cases) {
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, c.set, TRUE), c.previous) << c.set;
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), c.after) << c.set;
  }

  // A narrower range pulls the position in.
  SetScrollRange(bar, SB_CTL, 0, 100, TRUE);
  EXPECT_EQ(GetScrollPos(bar, SB_CTL), 100);
  SendMessageW(bar, SBM_SETRANGE, 10, 20);
  EXPECT_EQ(SendMessageW(bar, SBM_GETPOS, 0, 0), 20);
  ASSERT_TRUE(GetScrollRange(bar, SB_CTL, &low, &high));
  EXPECT_EQ(low, 10);
  EXPECT_EQ(high, 20);
}

TEST_F(ScrollBarTest, OnlyScrollBarControlsHaveARangeHere) {
  HWND label = create(u"STATIC", u"x", SS_LEFT);
  HWND bar = create(u"SCROLLBAR", u"", SBS_VERT, -1, 6, 200);
  int low = 0;
  int high = 0;
  EXPECT_FALSE(SetScrollRange(label, SB_CTL, 0, 10, FALSE));
  EXPECT_FALSE(GetScrollRange(label, SB_CTL, &low, &high));
  EXPECT_FALSE(SetScrollRange(bar, SB_VERT, 0, 10, FALSE));
  EXPECT_EQ(SetScrollPos(label, SB_CTL, 3, FALSE), 0);
  EXPECT_FALSE(GetScrollRange(bar, SB_CTL, nullptr, &high));
}

}  // namespace
