// Machine range limits: when a program counts as outside, and the dialog's fields.
#include <gtest/gtest.h>

#include <tuple>

#include "tools/RangeLimits.h"

namespace veltrane {
namespace {

TRangeLimits Box() {
  TRangeLimits l;
  l.m_bEnableSpan = true;
  l.m_nXspanLeft = -10;
  l.m_nXspanRight = 10;
  l.m_nYspanBottom = -5;
  l.m_nYspanTop = 5;
  return l;
}

TEST(RangeLimits, OutsideOnlyWhenInUseAndCrossing) {
  TRangeLimits l = Box();
  EXPECT_FALSE(MovesOutsideRange(l, {-10, 10}, {-5, 5}));  // touching is inside
  EXPECT_TRUE(MovesOutsideRange(l, {-10.001, 0}, {0, 0}));
  EXPECT_TRUE(MovesOutsideRange(l, {0, 1}, {0, 5.5}));
  EXPECT_FALSE(MovesOutsideRange(l, {0, 0}, {0, 0}));  // an empty program
  l.m_bEnableSpan = false;
  EXPECT_FALSE(MovesOutsideRange(l, {-100, 100}, {-100, 100}));
  // The defaults switched on: everything but the origin is outside.
  TRangeLimits d;
  d.m_bEnableSpan = true;
  EXPECT_TRUE(MovesOutsideRange(d, {0, 1}, {0, 0}));
}

TEST(RangeLimits, FieldsAreTakenOnlyWhenAllAreNumbers) {
  TRangeFields f = RangeFieldsFrom(Box());
  EXPECT_EQ(std::tie(f.strXLeft, f.strYTop), std::make_tuple("-10", "5"));
  f.strXRight = "12.5";
  f.strYBottom = "low";
  TRangeLimits l = Box();
  TScriptedPrompts p;
  EXPECT_FALSE(RangeLimitsFromFields(f, l, &p));
  EXPECT_EQ(l, Box());
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0].second, "'low' is not a valid floating point value");
  f.strYBottom = "-7";
  f.bEnable = false;
  EXPECT_TRUE(RangeLimitsFromFields(f, l, &p));
  EXPECT_EQ(std::tie(l.m_nXspanRight, l.m_nYspanBottom, l.m_bEnableSpan), std::make_tuple(12.5, -7.0, false));
}

}  // namespace
}  // namespace veltrane
