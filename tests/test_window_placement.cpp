// Window placement: the stored text, and a window brought onto the screen's free area.
#include <gtest/gtest.h>

#include "settings/WindowPlacement.h"

using namespace veltrane;

TEST(WindowPlacement, StoredTextRoundTripsAndRejectsOtherTexts) {
  const TWindowPlacement p{{-20, 40, 1000, 700}, true};
  const auto back = ParseWindowPlacement(FormatWindowPlacement(p));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->Rect, p.Rect);
  EXPECT_TRUE(back->bMaximised);
  for (const char* s :
       {"", "1,2,3,4", "1,2,0,4,0", "1,2,3,4,2", "a,2,3,4,0", "1,2,3,4,0,", "1, 2,3,4,0"})
    EXPECT_FALSE(ParseWindowPlacement(s)) << s;
}

// A 1600 × 1000 screen at scale 2 is 800 × 500 to the window: a window of 1000 × 700
// (2000 × 1400 pixels) is shrunk to the free area, frame included.
TEST(WindowPlacement, TooLargeIsShrunkAndOffTheAreaIsMovedOnto) {
  const TWindowRect area{0, 0, 800, 470};
  const TWindowFrame frame{4, 30, 4, 4};
  const TWindowRect r = FitWindowRect({100, 100, 1000, 700}, area, frame, 360, 240);
  EXPECT_EQ(r, (TWindowRect{4, 30, 792, 436}));
  // Fits: unchanged.
  EXPECT_EQ(FitWindowRect({50, 60, 500, 300}, area, frame, 360, 240),
            (TWindowRect{50, 60, 500, 300}));
  // Off to the right and below (a screen no longer there): moved on, size kept.
  EXPECT_EQ(FitWindowRect({3000, 2000, 500, 300}, area, frame, 360, 240),
            (TWindowRect{296, 166, 500, 300}));
  // Above and left of the area: the title bar comes back on it.
  EXPECT_EQ(FitWindowRect({-900, -50, 500, 300}, area, frame, 360, 240),
            (TWindowRect{4, 30, 500, 300}));
  // Smaller than the minimum: enlarged to it; an area smaller than the minimum wins.
  EXPECT_EQ(FitWindowRect({10, 40, 100, 100}, area, frame, 360, 240).nWidth, 360);
  EXPECT_EQ(FitWindowRect({0, 0, 1000, 700}, {0, 0, 300, 200}, frame, 360, 240),
            (TWindowRect{4, 30, 292, 166}));
  // A second screen to the right: its own area.
  EXPECT_EQ(FitWindowRect({1700, 100, 1000, 700}, {1600, 0, 1280, 1000}, frame, 360, 240),
            (TWindowRect{1700, 100, 1000, 700}));
  EXPECT_EQ(CentredWindowRect(500, 300, area, frame), (TWindowRect{150, 98, 500, 300}));
}
