// The plot's logic: zoom, pan, scroll arithmetic, picking, arrows and ruler ticks, and
// what it draws, recorded from a canvas.
#include <gtest/gtest.h>

#include <cmath>

#include "plot/PlotView.h"

using namespace veltrane;

namespace {

struct TRecordingCanvas : ICanvas {
  struct TLine {
    int x0, y0, x1, y1;
    TColor c;
    bool bDashed;
  };
  void FillRect(int, int, int, int, TColor) override {}
  void SetPen(TColor c, int, bool d) override {
    pen = c;
    dashed = d;
  }
  void MoveTo(int x, int y) override {
    cx = x;
    cy = y;
  }
  void LineTo(int x, int y) override {
    lines.push_back({cx, cy, x, y, pen, dashed});
    cx = x;
    cy = y;
  }
  void Ellipse(int, int, int, int) override { ++ellipses; }
  void TextOut(int, int, const std::string&) override {}
  int Count(TColor c) const {
    int n = 0;
    for (const auto& l : lines) n += l.c == c;
    return n;
  }
  std::vector<TLine> lines;
  TColor pen;
  bool dashed = false;
  int cx = 0, cy = 0, ellipses = 0;
};

class View : public ::testing::Test {
 protected:
  void SetUp() override {
    in.SetProgram(&prog);
    view.SetPlotSize(400, 400);
  }
  // One unit a pixel from the origin.
  void UnitRanges() {
    view.m_fXRange = {0, 400};
    view.m_fYRange = {0, 400};
  }
  // Whether both ranges lie within fTol of those given.
  ::testing::AssertionResult Ranges(double x0, double x1, double y0, double y1, double fTol) const {
    const TfRange &x = view.m_fXRange, &y = view.m_fYRange;
    for (const auto& [fGot, fWant] : {std::pair{x.fFrom, x0}, {x.fTo, x1}, {y.fFrom, y0}, {y.fTo, y1}})
      if (!(std::fabs(fGot - fWant) <= fTol))
        return ::testing::AssertionFailure() << "x " << x.fFrom << ".." << x.fTo << ", y " << y.fFrom << ".." << y.fTo;
    return ::testing::AssertionSuccess();
  }
  TStringList prog;
  TInterpreter in;
  TPlotView view{in};
};

}  // namespace

TEST_F(View, ZoomToExtentsKeepsEqualScales) {
  prog = {"MOVEABS(100,50)"};
  view.ZoomExtents();
  EXPECT_TRUE(Ranges(-2, 102, -1, 103, 1e-4));
  prog = {"MOVEABS(10,10)", "MOVEABS(30,20)"};
  view.ZoomExtentsCZ();
  EXPECT_NEAR(view.m_fXRange.fFrom, -view.m_fXRange.fTo, 1e-9);
  EXPECT_NEAR(view.m_fYRange.fFrom, -view.m_fYRange.fTo, 1e-9);
}

TEST_F(View, ZoomInOutBoxAndPan) {
  prog = {"MOVEABS(100,100)"};
  view.m_fXRange = {0, 100};
  view.m_fYRange = {0, 100};
  view.ZoomIn(200, 200);
  EXPECT_TRUE(Ranges(25, 75, 25, 75, 1e-6));
  view.ZoomOut(200, 200);
  EXPECT_TRUE(Ranges(0, 100, 0, 100, 1e-6));
  int a[4] = {300, 300, 100, 100}, b[4] = {100, 100, 300, 300};
  TPlotView::NormaliseZoomBox(a[0], a[1], a[2], a[3]);
  TPlotView::NormaliseZoomBox(b[0], b[1], b[2], b[3]);
  EXPECT_EQ(std::vector<int>(a, a + 4), std::vector<int>(b, b + 4));
  int c[4] = {10, 10, 13, 12};
  TPlotView::NormaliseZoomBox(c[0], c[1], c[2], c[3]);
  EXPECT_EQ(c[2] - c[0], 8);
  view.ZoomBox(100, 100, 300, 300);
  EXPECT_TRUE(Ranges(25, 75, 25, 75, 1e-6));
  double x0 = view.m_fXRange.fFrom, y0 = view.m_fYRange.fFrom;
  view.Pan(40, 40);  // content follows the mouse: the range moves the other way in x
  EXPECT_NEAR(view.m_fXRange.fFrom, x0 - 5, 1e-6);
  EXPECT_NEAR(view.m_fYRange.fFrom, y0 + 5, 1e-6);
}

TEST_F(View, ZoomInStopsAtThePixelLimit) {
  prog = {"MOVEABS(1000000,1000000)"};
  view.m_fXRange = {0, 1};
  view.m_fYRange = {0, 1};
  int beeps = 0;
  view.OnBeep = [&] { ++beeps; };
  view.ZoomIn(0, 400);
  EXPECT_EQ(beeps, 1);
  double px = 400 / (view.m_fXRange.fTo - view.m_fXRange.fFrom) * (1000000 - view.m_fXRange.fTo);
  EXPECT_LE(px, 32500 * 1.0001);
}

TEST_F(View, ScrollBarsRoundTrip) {
  prog = {"MOVEABS(100,100)"};
  view.ZoomExtents();
  TScrollBarState h = view.HorizontalBar(), v = view.VerticalBar();
  EXPECT_EQ(h.nPageSize, 333);
  EXPECT_EQ(h.nPosition, 333);
  EXPECT_EQ(v.nPosition, 1000 - v.nPageSize - 333);
  TfRange x = view.m_fXRange, y = view.m_fYRange;
  view.ScrollHorizontal(0);
  EXPECT_NEAR(view.m_fXRange.fFrom, view.m_fWorldXRange.fFrom, 1e-9);
  view.ScrollHorizontal(h.nPosition);
  view.ScrollVertical(v.nPosition);
  // Positions are thousandths of the world: back within one of them.
  EXPECT_NEAR(view.m_fXRange.fFrom, x.fFrom, (view.m_fWorldXRange.fTo - view.m_fWorldXRange.fFrom) / 1000);
  EXPECT_NEAR(view.m_fYRange.fTo, y.fTo, (view.m_fWorldYRange.fTo - view.m_fWorldYRange.fFrom) / 1000);
}

TEST(PlotPick, DistanceRules) {
  TPixelPoint a{0, 0}, b{100, 0};
  EXPECT_DOUBLE_EQ(TPlotView::DistanceToLine(a, b, {50, 5}), 5.0);
  EXPECT_NEAR(TPlotView::DistanceToLine(a, b, {50, 3}), 3.0, 1e-9);
  // Beyond the end of a short segment: the distance to the nearer end.
  EXPECT_DOUBLE_EQ(TPlotView::DistanceToLine({0, 0}, {4, 0}, {12, 0}), 8.0);
  EXPECT_DOUBLE_EQ(TPlotView::DistanceToLine(a, b, a), 0.0);
  EXPECT_DOUBLE_EQ(TPlotView::DistanceToLine(a, a, {3, 4}), 5.0);
}

TEST_F(View, PickSelectsTheEarlierSegmentWithinFivePixels) {
  UnitRanges();
  view.GenerateDisplayList();
  prog = {"MOVEABS(0,300)", "MOVEABS(100,300)", "MOVEABS(100,302)", "MOVEABS(0,302)"};
  view.GenerateDisplayList();
  int i = view.HitTest({50, 105});
  ASSERT_GT(i, 0);
  EXPECT_EQ(in.DisplayList()[static_cast<size_t>(i)].nLine, 1);  // 5 from line 1, 3 from line 3
  EXPECT_EQ(view.HitTest({250, 100}), -1);
  TPixelPoint p = in.DisplayList()[1].Point;
  EXPECT_EQ(view.HitTest({p.X - 5, p.Y - 6}), -1);  // beyond its start by more than 5
}

TEST_F(View, ArrowsOnlyOnLongLinesExceptTheCurrentOne) {
  UnitRanges();
  prog = {"MOVE(8,0)", "MOVE(100,0)"};
  view.GenerateDisplayList();
  TRecordingCanvas cv;
  view.DrawGraph(cv);
  int nBlue = cv.Count(c_clActiveCaption);
  EXPECT_EQ(nBlue, 2 + 2);  // two segments, one arrow of two barbs
  view.m_nCurrentLine = 0;
  TRecordingCanvas cur;
  view.DrawGraph(cur);
  EXPECT_EQ(cur.Count(c_clRed), 1 + 2);  // the short current line has its arrow
  EXPECT_EQ(cur.ellipses, 1);            // the origin
}

TEST_F(View, CurrentSequenceAndOriginalPattern) {
  UnitRanges();
  TStringList orig = {"MOVEABS(50,50)", "MOVE(20,0)"};
  in.SetAdditional(&orig, true);
  prog = {"'$StartSeq(3)", "cadseq3:", "MOVEABS(10,10)", "MOVE(100,0)", "'$EndSeq(3)"};
  view.GenerateDisplayList();
  view.m_nCurrentSequence = 3;
  view.m_bShowOriginal = true;
  TRecordingCanvas cv;
  view.DrawGraph(cv);
  EXPECT_EQ(cv.Count(c_clAqua), 3);  // the leader and its arrow
  EXPECT_GE(cv.Count(c_clLime), 1);
  int nDashed = 0;
  for (const auto& l : cv.lines) nDashed += l.bDashed;
  EXPECT_EQ(nDashed, 1);  // the original's one move; it has no origin entry
}

TEST(PlotRulers, TickSteps) {
  auto t = TPlotView::RulerTicks({0, 100}, 400, true);  // 0.25 units per pixel: t = 2.5 x 10 -> step 20
  ASSERT_EQ(t.size(), 5u);
  EXPECT_DOUBLE_EQ(t[1].fValue - t[0].fValue, 20.0);
  EXPECT_EQ(t[1].nPixel, 80);
  auto v = TPlotView::RulerTicks({-1, 1}, 200, false);  // t = 1 -> step 1
  ASSERT_EQ(v.size(), 2u);
  EXPECT_DOUBLE_EQ(v[1].fValue - v[0].fValue, 1.0);
  EXPECT_EQ(v[0].nPixel, 200);  // the low end at the bottom
  auto w = TPlotView::RulerTicks({0.5, 1.5}, 1000, true);  // t = 0.1 -> 1 x 0.1
  EXPECT_NEAR(w[1].fValue - w[0].fValue, 0.1, 1e-12);
  EXPECT_TRUE(TPlotView::RulerTicks({3, 3}, 200, true).empty());
}

// The vertical ruler's texts run upwards from just above their ticks; the top one, which
// would run off the ruler, ends at its top instead (30000 near the top of a plot showed cut).
TEST(PlotRuler, VerticalLabelsStayOnTheRuler) {
  const int32_t H = 550;
  const std::vector<TRulerTick> ticks = TPlotView::RulerTicks(TfRange{-600, 30600}, H, false);
  ASSERT_FALSE(ticks.empty());
  EXPECT_EQ(ticks.back().fValue, 30000.0);
  EXPECT_LT(ticks.back().nPixel, 35);  // too near the top for its text above it
  const std::vector<int32_t> lengths(ticks.size(), 35);
  const std::vector<int32_t> starts = TPlotView::VerticalLabelStarts(ticks, lengths, H);
  ASSERT_EQ(starts.size(), ticks.size());
  EXPECT_EQ(starts.front(), -1);  // the tick below the ruler has no text
  int32_t nBelow = H + 100;
  for (size_t k = 1; k < ticks.size(); ++k) {
    ASSERT_GE(starts[k], 0) << ticks[k].fValue;
    EXPECT_GE(starts[k] - lengths[k], 0) << ticks[k].fValue;  // whole on the ruler
    EXPECT_LE(starts[k], H - 1);
    EXPECT_LT(starts[k], nBelow - lengths[k - 1] + 1) << "texts overlap";
    nBelow = starts[k];
  }
  EXPECT_EQ(starts.back(), 35);  // ends at the top
  EXPECT_EQ(starts[ticks.size() - 2], ticks[ticks.size() - 2].nPixel - 3);
  // A text the moved top one would cover is left out.
  const std::vector<TRulerTick> close{{0.0, 40}, {1.0, 10}};
  EXPECT_EQ(TPlotView::VerticalLabelStarts(close, {35, 35}, 100), (std::vector<int32_t>{-1, 35}));
}
