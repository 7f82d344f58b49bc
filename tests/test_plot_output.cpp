// The plot options' arithmetic, the SVG canvas and the one-shot plot of a program.
#include <gtest/gtest.h>

#include <tuple>

#include "plot/Interpreter.h"
#include "plot/PlotOptions.h"
#include "plot/PlotRender.h"
#include "plot/PlotView.h"
#include "plot/SvgCanvas.h"

using namespace veltrane;

namespace {

// A plot of 400 x 200 pixels showing 0..100 by 0..50.
struct TPlotSetup {
  TPlotSetup() {
    view.SetPlotSize(400, 200);
    view.m_fXRange = {0, 100};
    view.m_fYRange = {0, 50};
  }
  TInterpreter interp;
  TPlotView view{interp};
};
struct PlotOptions : ::testing::Test, TPlotSetup {};

TEST_F(PlotOptions, FieldsShowAxesAndRanges) {
  TPlotOptionsFields f = LoadPlotOptions(interp, view);
  EXPECT_EQ(std::tie(f.strXAxis, f.strYAxis, f.strXMin, f.strXMax, f.strYMin),
            std::make_tuple("0", "1", "0", "100", "0"));
  view.m_fXRange = {5, 5};
  f = LoadPlotOptions(interp, view);
  EXPECT_EQ(f.strXMax, "5.1");
}

// Fields applied to the plot above: the axes and ranges they leave.
TEST(PlotOptionsApplied, AxesAndRanges) {
  const struct {
    const char* strWhat;
    TPlotOptionsFields Fields;
    int32_t nX, nY;
    TfRange X, Y;
  } cases[] = {
      {"equal axes take the next one", {"2", "2", "0", "100", "0"}, 2, 3, {0, 100}, {0, 50}},
      {"numbers that are not numbers keep their values", {"x", "", "abc", "nan", "1e999"}, 0, 1, {0, 100}, {0, 50}},
      {"the Y range keeps the aspect", {"0", "1", "-10", "190", "7"}, 0, 1, {-10, 190}, {7, 7 + 200 * 0.5}},
      {"a reversed X range is refused", {"0", "1", "50", "10", "0"}, 0, 1, {0, 100}, {0, 50}},
  };
  for (const auto& c : cases) {
    TPlotSetup p;
    ApplyPlotOptions(c.Fields, p.interp, p.view);
    EXPECT_EQ(p.interp.XAxisNumber(), c.nX) << c.strWhat;
    EXPECT_EQ(p.interp.YAxisNumber(), c.nY) << c.strWhat;
    EXPECT_EQ(p.view.m_fXRange, c.X) << c.strWhat;
    EXPECT_DOUBLE_EQ(p.view.m_fYRange.fFrom, c.Y.fFrom) << c.strWhat;
    EXPECT_DOUBLE_EQ(p.view.m_fYRange.fTo, c.Y.fTo) << c.strWhat;
  }
}

TEST(SvgCanvas, OnePenRunIsOnePolyline) {
  TSvgCanvas c(10, 10);
  c.SetPen({1, 2, 3}, 1, false);
  c.MoveTo(0, 0);
  c.LineTo(1, 0);
  c.LineTo(2, 1);
  c.SetPen({255, 0, 0}, 1, true);
  c.LineTo(3, 3);
  c.MoveTo(5, 5);
  c.LineTo(6, 6);
  c.TextOut(1, 1, "a<b&\"c\"");
  std::string s = c.Text();
  EXPECT_NE(s.find("stroke=\"#010203\" stroke-width=\"1\" points=\"0,0 1,0 2,1\""),
            std::string::npos)
      << s;
  EXPECT_NE(s.find("stroke-dasharray=\"4 2\" points=\"2,1 3,3\""), std::string::npos) << s;
  EXPECT_NE(s.find("points=\"5,5 6,6\""), std::string::npos) << s;
  EXPECT_NE(s.find(">a&lt;b&amp;&quot;c&quot;</text>"), std::string::npos) << s;
  EXPECT_EQ(s.substr(s.size() - 7), "</svg>\n");
}

TEST(PlotRender, AProgramIsDrawnToItsExtents) {
  TStringList program{"MOVEABS(0,0)", "MOVE(100,0)", "MOVE(0,50)"};
  TSvgCanvas svg(400, 400);
  ASSERT_TRUE(RenderProgramPlot(program, {400, 400, 0, 1, 1}, svg));
  std::string s = svg.Text();
  // Zoomed to extents, x runs from -2 to 102: the current line, red, spans the width.
  EXPECT_NE(s.find("stroke=\"#ff0000\" stroke-width=\"1\" points=\"8,396 393,396\""),
            std::string::npos)
      << s;
  TSvgCanvas tiny(4, 4);
  EXPECT_FALSE(RenderProgramPlot(program, {4, 4}, tiny));
}

}  // namespace

namespace {

// The display list of one display pass equals that of the extents pass followed by the
// display pass, on programs of every kind of move.
TEST(PlotRender, OnePassGivesTheListOfTwo) {
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % 200) - 100;
  };
  for (int round = 0; round < 50; ++round) {
    TStringList p;
    for (int i = 0; i < 60; ++i) {
      switch ((next() + 100) % 6) {
        case 0:
          p.push_back("'$StartSeq(" + std::to_string(i) + ")");
          break;
        case 1:
          p.push_back("    MOVEABS(" + std::to_string(next()) + "," + std::to_string(next()) + ")");
          break;
        case 2:
          p.push_back("    MOVECIRC(" + std::to_string(next()) + "," + std::to_string(next()) +
                      ",5,0," + std::to_string((next() + 100) % 2) + ")");
          break;
        case 3:
          p.push_back("'$EndSeq(" + std::to_string(i - 1) + ")");
          break;
        default:
          p.push_back("    MOVE(" + std::to_string(next()) + "," + std::to_string(next()) + ")");
          break;
      }
    }
    TInterpreter a, b;
    a.SetProgram(&p);
    b.SetProgram(&p);
    TPlotView va(a), vb(b);
    for (TPlotView* v : {&va, &vb}) {
      v->SetPlotSize(300, 200);
      v->ZoomExtents();
    }
    va.GenerateDisplayList();
    vb.AdjustXAndYRangesToDisplay();
    b.SetXRange(vb.m_fXRange);
    b.SetYRange(vb.m_fYRange);
    TfRange x, y;
    b.GetExtents(x, y);
    b.Interpret();
    ASSERT_EQ(a.DisplayList(), b.DisplayList()) << round;
    ASSERT_EQ(a.EndPointList(), b.EndPointList()) << round;
  }
}

}  // namespace
