// The interpreter: display list, end points, extents, arcs, sequence tracking and the
// pixel mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "plot/Interpreter.h"

using namespace veltrane;

namespace {

// A program and the lists the interpreter fills from it.
struct TPass {
  TPass() {
    in.SetProgram(&prog);
    in.SetDisplayList(&display);
    in.SetEndPointList(&ends);
    in.SetAddDisList(&add);
  }
  // 2.5 pixels per unit over -20..20, a state saved every nSpacing lines.
  explicit TPass(size_t nSpacing) : TPass() {
    in.SetPlotRect({0, 0, 100, 100});
    in.SetXRange({-20, 20});
    in.SetYRange({-20, 20});
    in.SetCheckpointLines(nSpacing);
  }
  TStringList prog;
  std::vector<TDisplayRecord> display, add;
  std::vector<TEndPoints> ends;
  TInterpreter in;
};

class Interp : public ::testing::Test, protected TPass {
 protected:
  // A view of 1 pixel per unit over -100..100 on a 200 x 200 rectangle.
  void UnitView() {
    in.SetPlotRect({0, 0, 200, 200});
    in.SetXRange({-100, 100});
    in.SetYRange({-100, 100});
  }
  // The display list's points, sequences and leader marks.
  std::vector<TPixelPoint> Points() const { return Column(&TDisplayRecord::Point); }
  std::vector<int32_t> Sequences() const { return Column(&TDisplayRecord::nSequence); }
  std::vector<bool> Leaders() const { return Column(&TDisplayRecord::bLeader); }
  template <class T>
  std::vector<T> Column(T TDisplayRecord::*pField) const {
    std::vector<T> v;
    for (const TDisplayRecord& d : display) v.push_back(d.*pField);
    return v;
  }
};

TPixelPoint Px(int x, int y) { return TPixelPoint{x, y}; }

}  // namespace

TEST_F(Interp, EmptyProgram) {
  EXPECT_TRUE(in.Interpret());
  ASSERT_EQ(display.size(), 1u);
  EXPECT_EQ(display[0].nLine, -1);
  EXPECT_FALSE(display[0].bDrawArrow);
  TfRange x{1, 1}, y{1, 1};
  EXPECT_TRUE(in.GetExtents(x, y));
  EXPECT_EQ(x, (TfRange{0, 0}));
  EXPECT_EQ(y, (TfRange{0, 0}));
  TInterpreter unassigned;
  EXPECT_FALSE(unassigned.GetExtents(x, y));
  TfPoint e{5, 5};
  EXPECT_FALSE(unassigned.GetEndPoint(e));
  EXPECT_EQ(e, (TfPoint{0, 0}));
  EXPECT_FALSE(unassigned.ProcessLine(0, true));
}

TEST_F(Interp, StraightMovesAndEndPoints) {
  UnitView();
  prog = {"MOVEABS(10,0)", "MOVE(0,10)", "' comment", "MOVE(0,0)"};
  in.Interpret();
  ASSERT_EQ(Points(), (std::vector<TPixelPoint>{Px(100, 100), Px(110, 100), Px(110, 90)}));
  EXPECT_EQ(Column(&TDisplayRecord::nLine), (std::vector<int32_t>{-1, 0, 1}));
  EXPECT_TRUE(display[1].bDrawArrow && display[2].bDrawArrow);
  ASSERT_EQ(ends.size(), 4u);
  EXPECT_EQ(ends[1].fStartPoint, (TfPoint{10, 0}));
  EXPECT_EQ(ends[1].fEndPoint, (TfPoint{10, 10}));
  EXPECT_EQ(ends[1].nPixelLength, 10);
  EXPECT_EQ(ends[2].fStartPoint, ends[2].fEndPoint);
  EXPECT_EQ(ends[2].nPixelLength, 0);
  prog.resize(2);
  in.Interpret();
  EXPECT_EQ(ends.size(), 2u);  // the end-point list follows the program's length
  TfPoint e;
  EXPECT_TRUE(in.GetEndPoint(e));
  EXPECT_EQ(e.fX, 10);
  EXPECT_EQ(e.fY, 10);
}

TEST_F(Interp, UnplottedAxesBadNumbersAndRepeats) {
  UnitView();
  prog = {"MOVE(0,0,5)", "MOVEABS(0,0)", "MOVE(x,3)", "MOVE(1,1)", "MOVEABS(offset_x+4,offset_y+4)"};
  in.Interpret();
  ASSERT_EQ(Points(), (std::vector<TPixelPoint>{Px(100, 100), Px(101, 96), Px(104, 96)}));
  EXPECT_EQ(display[1].nLine, 3);  // the bad line moved y but stayed out of the list
  EXPECT_EQ(ends[2].fEndPoint.fY, 3);
  EXPECT_EQ(in.Position(2), 5);
}

TEST_F(Interp, SequenceTrackingAndLeader) {
  UnitView();
  prog = {"'$StartSeq(4)", "cadseq4:", "    MOVEABS(2,3)", "    MOVE(5,0)", "'$EndSeq(4)", "MOVE(1,1)"};
  in.Interpret();
  EXPECT_EQ(Sequences(), (std::vector<int32_t>{0, 4, 4, 0}));
  EXPECT_EQ(Leaders(), (std::vector<bool>{false, true, false, false}));
  // A leader to where the axes already stand leaves no leader entry.
  prog = {"'$StartSeq(1)", "MOVEABS(0,0)", "MOVE(1,0)"};
  in.Interpret();
  ASSERT_EQ(display.size(), 2u);
  EXPECT_FALSE(display[1].bLeader);
}

TEST_F(Interp, StrayEndMarkerSuspendsTracking) {
  UnitView();
  prog = {"'$EndSeq(9)", "'$StartSeq(2)", "MOVEABS(1,1)", "'$EndSeq(2)",
          "'$StartSeq(3)", "MOVEABS(2,2)", "'$EndSeq(3)", "  '$startseq(7)", "MOVEABS(3,2)",
          "'$EndSeq(7)", "'$StartSeq()", "MOVEABS(9,9)"};
  in.Interpret();
  EXPECT_EQ(Sequences(), (std::vector<int32_t>{0, -1, 3, 7, 0}));  // 7: a trimmed lower-case marker
  ASSERT_EQ(display.size(), 5u);
  EXPECT_FALSE(display[4].bLeader);  // "'$StartSeq()" does not arm the leader
}

TEST_F(Interp, HalfCircleDirections) {
  UnitView();
  prog = {"MOVECIRC(10,0,5,0,1)"};
  in.Interpret();
  // Clockwise from (0,0) about (5,0) passes (5,5): pixel y 95.
  int nMinY = 1000;
  for (const auto& d : display) nMinY = std::min(nMinY, d.Point.Y);
  EXPECT_EQ(nMinY, 95);
  EXPECT_EQ(display.back().Point, Px(110, 100));
  int nArrows = 0;
  for (const auto& d : display) nArrows += d.bDrawArrow;
  EXPECT_EQ(nArrows, 1);
  TfRange x, y;
  in.GetExtents(x, y);
  EXPECT_EQ(y.fTo, 5);  // the arc's top, exactly
  EXPECT_EQ(y.fFrom, 0);
  EXPECT_NEAR(x.fTo, 10, 1e-9);
  prog = {"MOVECIRC(10,0,5,0,0)"};
  in.GetExtents(x, y);
  EXPECT_EQ(y.fFrom, -5);
  EXPECT_NEAR(y.fTo, 0, 1e-9);
  prog = {"MOVECIRC(10,0,5,0,7)"};  // any other digit is anticlockwise
  in.GetExtents(x, y);
  EXPECT_EQ(y.fFrom, -5);
}

TEST_F(Interp, ArcExtentsAreThoseOfTheCircleSampledDensely) {
  // Arcs from anywhere, any sweep either way, as the plot draws them: the extents hold
  // every point of the arc and reach no further than its farthest one.
  std::mt19937 rng(2112);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int i = 0; i < 3000; ++i) {
    const double cx = u(rng) * 50, cy = u(rng) * 50, r = 0.01 + std::fabs(u(rng)) * 40;
    const double a0 = u(rng) * 3.2, sweep = u(rng) * 6.28;  // less than a whole turn either way
    const double sx = cx + r * std::cos(a0), sy = cy + r * std::sin(a0);
    const double ex = cx + r * std::cos(a0 + sweep), ey = cy + r * std::sin(a0 + sweep);
    char line[256];
    std::snprintf(line, sizeof line, "MOVECIRC(%.17g,%.17g,%.17g,%.17g,%d)", ex - sx, ey - sy, cx - sx, cy - sy,
                  sweep < 0 ? 1 : 0);
    prog = {"MOVEABS(" + std::to_string(sx) + "," + std::to_string(sy) + ")", line};
    const double px = std::stod(std::to_string(sx)), py = std::stod(std::to_string(sy));
    double x0 = std::min(0.0, px), x1 = std::max(0.0, px), y0 = std::min(0.0, py), y1 = std::max(0.0, py);
    for (int k = 0; k <= 20000; ++k) {
      const double t = a0 + sweep * k / 20000;
      const double qx = (px - sx) + cx + r * std::cos(t), qy = (py - sy) + cy + r * std::sin(t);
      x0 = std::min(x0, qx), x1 = std::max(x1, qx), y0 = std::min(y0, qy), y1 = std::max(y1, qy);
    }
    TfRange x, y;
    in.GetExtents(x, y);
    const double tol = 1e-6 * (1 + r);
    const double slack = r * (1 - std::cos(std::fabs(sweep) / 20000)) + tol;
    // The low ends, and the high ends negated: at most tol above the sampled bound, slack below.
    const double got[] = {x.fFrom, y.fFrom, -x.fTo, -y.fTo}, bound[] = {x0, y0, -x1, -y1};
    for (int k = 0; k < 4; ++k) {
      ASSERT_LE(got[k], bound[k] + tol) << i << " " << line << " end " << k;
      ASSERT_GE(got[k], bound[k] - slack) << i << " " << line << " end " << k;
    }
  }
}

TEST_F(Interp, FullCircleAndStepSize) {
  in.SetPlotRect({0, 0, 1000, 1000});
  in.SetXRange({-50, 50});
  in.SetYRange({-50, 50});  // 10 pixels per unit
  prog = {"MOVECIRC(0,0,10,0,1)"};
  TfRange x, y;
  in.GetExtents(x, y);
  EXPECT_NEAR(x.fTo, 20, 2e-3);
  EXPECT_NEAR(y.fTo, 10, 1e-3);
  EXPECT_NEAR(y.fFrom, -10, 1e-3);
  in.Interpret();
  // 3 / (10 * 10) = 0.03 is raised to 0.035: about 180 chords over the full turn.
  EXPECT_GE(display.size(), 170u);
  EXPECT_LE(display.size(), 185u);
  EXPECT_EQ(display.back().Point, display.front().Point);
}

TEST_F(Interp, TinyArcsUseQuarterSteps) {
  UnitView();
  prog = {"MOVECIRC(0,0,0,0,1)", "MOVECIRC(0,0,1e-21,0,0)"};
  in.Interpret();  // must terminate; radius 0 traces at most a few points
  EXPECT_LE(display.size(), 12u);
  TfRange x, y;
  in.GetExtents(x, y);
  EXPECT_LE(x.fTo, 1e-20);
}

TEST_F(Interp, ArcOnOnePlottedAxisIsAStraightLine) {
  UnitView();
  in.SetYAxisNumber(2);
  prog = {"MOVECIRC(10,4,5,0,1)", "MOVE(0,0,3)"};
  in.Interpret();
  EXPECT_EQ(Points(), (std::vector<TPixelPoint>{Px(100, 100), Px(110, 100), Px(110, 97)}));
  EXPECT_EQ(in.Position(1), 4);  // the arc's axes still end at the end point
  in.SetXAxisNumber(2);
  in.SetYAxisNumber(3);
  prog = {"MOVECIRC(10,4,5,0,1)"};
  in.Interpret();
  EXPECT_EQ(display.size(), 1u);
  EXPECT_EQ(in.Position(0), 20);  // unplotted axes carry over between passes
}

TEST_F(Interp, SwappedAxesShowTheArcAsItLies) {
  UnitView();
  in.SetXAxisNumber(1);
  in.SetYAxisNumber(0);
  prog = {"MOVECIRC(10,0,5,0,1)"};  // in axis 0/1 it bulges to +axis 1
  TfRange x, y;
  in.GetExtents(x, y);
  EXPECT_NEAR(x.fTo, 5, 0.15);   // plotted X is axis 1
  EXPECT_NEAR(y.fTo, 10, 1e-9);  // plotted Y is axis 0
  in.Interpret();
  EXPECT_EQ(display.back().Point, Px(100, 90));
}

TEST_F(Interp, ParametersBeyondTheAxesAreIgnored) {
  UnitView();
  std::string line = "MOVE(";
  for (int i = 0; i < 30; ++i) line += (i ? "," : "") + std::to_string(i + 1);
  prog = {line + ")"};
  in.Interpret();
  EXPECT_EQ(in.Position(23), 24);
  EXPECT_EQ(display.back().Point, Px(101, 98));
}

TEST_F(Interp, AdditionListAndItsOwnDisplay) {
  UnitView();
  TStringList original = {"MOVEABS(5,5)", "MOVE(1,0)"};
  in.SetAdditional(&original, true);
  prog = {"MOVEABS(-5,-5)"};
  in.Interpret();
  EXPECT_EQ(display.size(), 2u);
  ASSERT_EQ(add.size(), 2u);
  EXPECT_EQ(add[0].Point, Px(105, 95));
  EXPECT_EQ(add[1].nLine, 1);
  EXPECT_TRUE(in.AdditionalShown());
  EXPECT_EQ(ends.size(), 1u);
  in.SetAdditional(&original, false);
  in.Interpret();
  EXPECT_TRUE(add.empty());
}

TEST_F(Interp, RangesRectAndScales) {
  in.SetXRange({3, 3});
  EXPECT_EQ(in.XRange(), (TfRange{3, 3.1}));
  in.SetPlotRect({-5, -5, -5, 10});
  EXPECT_EQ(in.PlotRect(), (TPlotRect{0, 0, 1, 10}));
  in.SetXRange({1e300, 1e300});  // 1e300 + 0.1 has no width in a double
  EXPECT_EQ(in.XScale(), 1.0);
  in.SetControllerAxes(100);
  EXPECT_EQ(in.ControllerAxes(), 24);
  in.SetControllerAxes(0);
  EXPECT_EQ(in.ControllerAxes(), 2);
  in.SetXAxisNumber(5);
  EXPECT_EQ(in.XAxisNumber(), 1);
  in.SetYAxisNumber(-4);
  EXPECT_EQ(in.YAxisNumber(), 0);
}

TEST_F(Interp, PixelMappingRoundsHalvesToEven) {
  in.SetPlotRect({0, 0, 100, 100});
  in.SetXRange({0, 100});
  in.SetYRange({0, 100});
  for (const auto& [x, nX] : {std::pair{2.5, 2}, {3.5, 4}, {-2.5, -2}}) EXPECT_EQ(in.MapToPixel(x, 0).X, nX) << x;
  for (const auto& [y, nY] : {std::pair{0.5, 100}, {1.5, 98}}) EXPECT_EQ(in.MapToPixel(0, y).Y, nY) << y;
}

TEST_F(Interp, FarAwayPointsDoNotOverflow) {
  UnitView();
  prog = {"MOVEABS(1e30,-1e30)", "MOVE(1e308,1e308)", "MOVE(1e308,1e308)", "MOVECIRC(1e300,0,1e300,0,1)",
          "MOVECIRC(1,1,1e308,1e308,0)"};
  in.Interpret();
  for (const auto& d : display) {
    EXPECT_LE(std::abs(static_cast<int64_t>(d.Point.X)), 2'100'000'000);
    EXPECT_LE(std::abs(static_cast<int64_t>(d.Point.Y)), 2'100'000'000);
  }
  EXPECT_EQ(display[1].Point, Px(1'000'000'100, 1'000'000'100));
  for (const auto& e : ends) EXPECT_GE(e.nPixelLength, 0);
  TfRange x, y;
  in.GetExtents(x, y);
}

TEST_F(Interp, NotANumberNeverLoops) {
  UnitView();
  prog = {"MOVECIRC(nan,0,nan,0,1)", "MOVECIRC(inf,1,2,3,1)", "MOVEABS(nan,nan)",
          "MOVECIRC(10,0,5,0,1)"};
  in.Interpret();
  EXPECT_EQ(display.back().Point, Px(110, 99));
}

// Combining two changes: applying the combined change to the first text gives the text
// the two changes give one after the other.
TEST(LineChanges, CombinedChangeCoversBoth) {
  std::mt19937 rng(20261208);
  auto apply = [](std::vector<int>& v, const TLineChange& c, int nMark) {
    v.erase(v.begin() + static_cast<ptrdiff_t>(c.nFirst), v.begin() + static_cast<ptrdiff_t>(c.nFirst + c.nRemoved));
    v.insert(v.begin() + static_cast<ptrdiff_t>(c.nFirst), c.nAdded, nMark);
  };
  for (int k = 0; k < 5000; ++k) {
    std::vector<int> text(rng() % 12 + 1);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<int>(i);
    auto random = [&](size_t n) {
      TLineChange c;
      c.nFirst = rng() % (n + 1);
      c.nRemoved = rng() % (n - c.nFirst + 1);
      c.nAdded = rng() % 4;
      return c;
    };
    const TLineChange a = random(text.size());
    std::vector<int> twice = text;
    apply(twice, a, -1);
    const TLineChange b = random(twice.size());
    apply(twice, b, -1);
    const TLineChange ab = CombineChanges(a, b);
    // Outside the combined change, the text is the first one's.
    ASSERT_LE(ab.nFirst + ab.nRemoved, text.size());
    ASSERT_EQ(text.size() - ab.nRemoved + ab.nAdded, twice.size());
    for (size_t i = 0; i < ab.nFirst; ++i) ASSERT_EQ(twice[i], text[i]) << k;
    for (size_t i = ab.nFirst + ab.nRemoved; i < text.size(); ++i)
      ASSERT_EQ(twice[i - ab.nRemoved + ab.nAdded], text[i]) << k;
  }
}

// The display pass after a change gives what a whole pass gives: random programs, random
// changes of every size, one or several between passes, states saved every few lines. The
// programs are sheets of sequences with some stray lines, or any lines at all.
TEST(InterpretChange, GivesWhatAWholePassGives) {
  std::mt19937 rng(8122026);
  auto number = [&] { return std::to_string(static_cast<int>(rng() % 9) - 4); };
  int nSequence = 0;
  auto any = [&]() -> std::string {
    switch (rng() % 12) {
      case 0: return "'$StartSeq(" + std::to_string(rng() % 4 + 1) + ")";
      case 1: return "'$EndSeq(" + std::to_string(rng() % 4 + 1) + ")";
      case 2: return "    MOVEABS(" + number() + "," + number() + ")";
      case 3: return "    MOVECIRC(" + number() + "," + number() + "," + number() + "," + number() + "," +
                     std::to_string(rng() % 2) + ")";
      case 4: return "' note";
      case 5: return "";
      case 6: return "    MOVE(" + number() + ",x)";
      case 7: return "    MOVEABS(" + number() + "," + number() + "," + number() + ")";
      case 8: return "    MOVE(0,0)";
      default: return "    MOVE(" + number() + "," + number() + ")";
    }
  };
  auto sequence = [&](TStringList& out) {
    ++nSequence;
    out.push_back("'$StartSeq(" + std::to_string(nSequence) + ")");
    out.push_back("    MOVEABS(" + number() + "," + number() + ")");
    for (int i = static_cast<int>(rng() % 5); i >= 0; --i)
      out.push_back(rng() % 4 ? "    MOVE(" + number() + "," + number() + ")"
                              : "    MOVECIRC(" + number() + "," + number() + "," + number() + "," + number() + ",1)");
    out.push_back("'$EndSeq(" + std::to_string(nSequence) + ")");
  };
  size_t nRunFast = 0, nRunWhole = 0;
  for (int k = 0; k < 120; ++k) {
    const bool bSheet = k % 2 == 0;
    TPass fast(rng() % 9 + 1), whole(1024);
    const size_t nLines = rng() % 200;
    while (fast.prog.size() < nLines) {
      if (bSheet && rng() % 8)
        sequence(fast.prog);
      else
        fast.prog.push_back(any());
    }
    // Both pass over the same programs in turn: the other axes and the leader state carry
    // over from one pass to the next.
    fast.in.Interpret();
    whole.prog = fast.prog;
    whole.in.Interpret();
    for (int e = 0; e < 30; ++e) {
      TLineChange all;
      // Typing in a sheet: a straight move's numbers change.
      const bool bTyping = bSheet && rng() % 4 != 0;
      if (bTyping) {
        size_t i = rng() % (fast.prog.size() + 1);
        while (i < fast.prog.size() && fast.prog[i].rfind("    MOVE(", 0) != 0) ++i;
        if (i == fast.prog.size()) continue;
        fast.prog[i] = "    MOVE(" + number() + "," + number() + ")";
        all = TLineChange{i, 1, 1};
      }
      const int nChanges = bTyping ? 0 : static_cast<int>(rng() % 3) + 1;
      for (int c = 0; c < nChanges; ++c) {
        TLineChange one;
        one.nFirst = rng() % (fast.prog.size() + 1);
        one.nRemoved = rng() % 5 == 0 ? rng() % (fast.prog.size() - one.nFirst + 1)
                                       : std::min<size_t>(rng() % 2, fast.prog.size() - one.nFirst);
        TStringList added;
        if (bSheet && rng() % 3 == 0)
          sequence(added);
        else
          for (size_t i = rng() % 3; i > 0; --i) added.push_back(bSheet && rng() % 4 ? "    MOVE(" + number() + ",1)" : any());
        if (one.nRemoved == 0 && added.empty()) added.push_back(any());
        one.nAdded = added.size();
        auto at = fast.prog.begin() + static_cast<ptrdiff_t>(one.nFirst);
        fast.prog.erase(at, at + static_cast<ptrdiff_t>(one.nRemoved));
        fast.prog.insert(fast.prog.begin() + static_cast<ptrdiff_t>(one.nFirst), added.begin(), added.end());
        all = c == 0 ? one : CombineChanges(all, one);
      }
      fast.in.InterpretChange(all.nFirst, all.nRemoved, all.nAdded);
      whole.prog = fast.prog;
      whole.in.Interpret();
      if (bTyping) {
        nRunFast += fast.in.LinesRun();
        nRunWhole += whole.in.LinesRun();
      }
      ASSERT_EQ(fast.display, whole.display) << "program " << k << ", change " << e;
      ASSERT_EQ(fast.ends, whole.ends) << "program " << k << ", change " << e;
    }
  }
  // Typing in a sheet of sequences ran a few lines, not the program.
  EXPECT_LT(nRunFast * 4, nRunWhole);
}

// A state that differs only in the sign of a zero is not the same state: an arc from there
// starts at the angle pi or -pi.
TEST(InterpretChange, ZeroAndMinusZeroAreNotTheSameState) {
  TPass fast(1), whole(1);
  for (TPass* p : {&fast, &whole}) {
    p->prog = {"MOVEABS(0,0)", "MOVEABS(-10,0)", "MOVECIRC(20,0,10,0,0)", "MOVE(0,1)"};
    p->in.Interpret();
    p->prog[1] = "MOVEABS(-10,-0)";
  }
  fast.in.InterpretChange(1, 1, 1);
  whole.in.Interpret();
  EXPECT_EQ(fast.display, whole.display);
  EXPECT_GT(fast.in.LinesRun(), 1u);  // ran on past the changed line
}
