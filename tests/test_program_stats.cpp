// Program statistics against figures of the tests' own: times against the closed-form
// figures of trapezoidal profiles, lengths and counts against a plain evaluator that
// reads the move statements itself, extents against dense samples; and each finding of
// the motion check on a program made for it.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <regex>
#include <sstream>

#include "model/NumberFormat.h"
#include "model/TextFile.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramStats.h"

namespace veltrane {
namespace {

constexpr double pi = std::numbers::pi;

TStringList Lines(std::initializer_list<const char*> l) { return TStringList(l.begin(), l.end()); }

// The lines given, then sequence 1 of the moves given.
TStringList Sequence(std::initializer_list<const char*> Moves, std::initializer_list<const char*> Before = {}) {
  TStringList l(Before.begin(), Before.end());
  l.insert(l.end(), {"'$StartSeq(1)", "cadseq1:"});
  l.insert(l.end(), Moves.begin(), Moves.end());
  l.push_back("'$EndSeq(1)");
  return l;
}

// A move accelerating from rest to v, cruising and stopping again.
double StopToStop(double L, double v, double a, double d) {
  if (v * v / (2 * a) + v * v / (2 * d) <= L) return v / a + v / d + (L - v * v / (2 * a) - v * v / (2 * d)) / v;
  const double peak = std::sqrt(2 * a * d * L / (a + d));
  return peak / a + peak / d;
}

TEST(Estimate, ClosedFormTimes) {
  TEstimateSettings s;
  s.fSpeed = 50;
  s.fAccel = 500;
  s.fDecel = 250;
  s.fTravelSpeed = 100;
  s.fBlendDegrees = 5;
  struct TCase {
    const char* strWhat;
    TStringList Program;
    double fSeconds;
  };
  // A run of tangent arcs (an S of two half circles of radius 10) blends throughout.
  const double fS = 2 * pi * 10;
  const TCase cases[] = {
      {"one straight move", Sequence({"MOVEABS(0,0)", "MOVE(100,0)"}), StopToStop(100, 50, 500, 250)},
      {"a move too short to reach the speed", Sequence({"MOVE(2,0)"}), StopToStop(2, 50, 500, 250)},
      {"a square stops at every corner even in look-ahead form",
       Sequence({"MOVESP(40,0)", "MOVESP(0,40)", "MOVESP(-40,0)", "MOVESP(0,-40)"}), 4 * StopToStop(40, 50, 500, 250)},
      {"a full circle", Sequence({"MOVECIRC(0,0,10,0,0)"}), StopToStop(2 * pi * 10, 50, 500, 250)},
      {"tangent arcs in look-ahead form blend", Sequence({"MOVECIRCSP(20,0,10,0,0)", "MOVECIRCSP(20,0,10,0,1)"}),
       StopToStop(fS, 50, 500, 250)},
      {"the same arcs in plain form stop between", Sequence({"MOVECIRC(20,0,10,0,0)", "MOVECIRC(20,0,10,0,1)"}),
       2 * StopToStop(fS / 2, 50, 500, 250)},
      {"MERGE blends plain moves in line", Sequence({"MOVE(30,0)", "MOVE(30,0)", "MOVE(40,0)"}, {"MERGE=ON"}),
       StopToStop(100, 50, 500, 250)},
      {"the program's own speed and accelerations",
       Sequence({"MOVE(0,100)"}, {"SPEED=20", "ACCEL=100", "DECEL=100"}), StopToStop(100, 20, 100, 100)},
      {"travel at the travel speed until the program sets one",
       Lines({"MOVEABS(60,80)", "SPEED=10", "MOVEABS(0,0)"}),
       StopToStop(100, 100, 500, 250) + StopToStop(100, 10, 500, 250)},
      {"a dwell and a wait", Lines({"WA(1500)", "WAIT IDLE", "WA(250) ' a quarter"}), 1.75},
      {"an absolute move after the leader cuts, at the cutting speed",
       Sequence({"MOVEABS(0,0)", "MOVE(50,0)", "MOVEABS(50,50)"}), 2 * StopToStop(50, 50, 500, 250)},
      {"MERGE does not blend the leader into the cut: the pierce stops",
       Sequence({"MOVEABS(100,0)", "MOVE(100,0)"}, {"MERGE=ON"}),
       StopToStop(100, 100, 500, 250) + StopToStop(100, 50, 500, 250)},
      // The look-ahead move runs at FORCE_SPEED and hands over at it: up to 25 and on;
      // then from 25 up to 50 and down to rest.
      {"look-ahead moves at FORCE_SPEED", Sequence({"MOVESP(100,0)", "MOVE(100,0)"}, {"FORCE_SPEED=25"}),
       25.0 / 500 + (100 - 25.0 * 25 / 1000) / 25 +
           (25.0 / 500 + 50.0 / 250 + (100 - (50.0 * 50 - 25 * 25) / 1000 - 50.0 * 50 / 500) / 50)},
  };
  for (const TCase& c : cases) {
    const TProgramStats st = ComputeProgramStats(c.Program, s, "p");
    EXPECT_NEAR(st.Program.fTime, c.fSeconds, c.fSeconds * 1e-3) << c.strWhat << "\n" << StatsTable(st);
    EXPECT_TRUE(st.Notes.empty()) << c.strWhat;
  }
}

TEST(Estimate, JointSpeedsAreLimitedByEndSpeedAndByWhatTheNextMovesCanStop) {
  TEstimateSettings s;
  s.fSpeed = 100;
  s.fAccel = s.fDecel = 1000;
  // A long move blending into a short one: the joint is no faster than the short move can
  // stop from, so the long move ends at sqrt(2 d L) and the short one decelerates all along.
  const TProgramStats st = ComputeProgramStats(Sequence({"MOVESP(100,0)", "MOVE(0.5,0)"}), s, "p");
  const double vj = std::sqrt(2 * 1000 * 0.5);  // 31.6
  const double tLong = 100.0 / 1000 + (100.0 - vj) / 1000 + (100 - 5.0 - (100.0 * 100 - vj * vj) / 2000) / 100;
  EXPECT_NEAR(st.Program.fTime, tLong + vj / 1000, 1e-6);
  // ENDMOVE_SPEED caps the joint of a look-ahead move.
  const TProgramStats capped =
      ComputeProgramStats(Sequence({"MOVESP(50,0)", "MOVESP(50,0)"}, {"ENDMOVE_SPEED=0"}), s, "p");
  EXPECT_NEAR(capped.Program.fTime, 2 * StopToStop(50, 100, 1000, 1000), 1e-6);
  // A turn beyond the blend angle stops; within it, it does not.
  s.fBlendDegrees = 10;
  const TProgramStats kink = ComputeProgramStats(Sequence({"MOVESP(50,0)", "MOVESP(50,5)"}), s, "p");
  EXPECT_LT(kink.Program.fTime, 2 * StopToStop(50, 100, 1000, 1000) - 0.05);
  const TProgramStats corner = ComputeProgramStats(Sequence({"MOVESP(50,0)", "MOVESP(50,10)"}), s, "p");
  EXPECT_NEAR(corner.Program.fTime, StopToStop(50, 100, 1000, 1000) + StopToStop(std::hypot(50, 10), 100, 1000, 1000),
              1e-6);
}

TEST(Estimate, ValuesItCannotEvaluateFallBackAndAreNamedOnce) {
  TEstimateSettings s;
  s.fSpeed = 40;
  const TProgramStats st = ComputeProgramStats(
      Sequence({"MOVE(40,0)", "SPEED=v", "MOVE(40,0)", "WA(t)", "MOVE(x,0)"}, {"SPEED=feed*2"}), s, "p");
  ASSERT_EQ(st.Notes.size(), 3u);
  EXPECT_EQ(st.Notes[0], "line 1: SPEED is not a constant above 0; the default is used (and 1 more such lines)");
  EXPECT_EQ(st.Notes[1], "line 7: WA with a time that is not a constant counts no time");
  EXPECT_EQ(st.Notes[2], "line 8: a move whose coordinates are not all numbers is left out");
  EXPECT_NEAR(st.Program.fTime, 2 * StopToStop(40, 40, 1000, 1000), 1e-9);
  EXPECT_NEAR(st.Program.fCut, 80, 1e-12);
}

// The tests' own reading of a program: lengths of cuts and travel per sequence, moves.
struct TPlain {
  double fCut = 0, fTravel = 0;
  int nMoves = 0, nSequences = 0;
  std::map<int, double> CutBySequence;
};

TPlain PlainFigures(const TStringList& Program) {
  static const std::regex move(R"(^\s*(MOVEABS|MOVE|MOVECIRC)(SP)?\(([^)]*)\))");
  TPlain p;
  double x = 0, y = 0;
  int seq = 0;
  bool bLeader = false;  // the absolute moves that open a sequence travel; later ones cut
  for (const std::string& l : Program) {
    if (l.rfind("'$StartSeq(", 0) == 0) {
      seq = std::stoi(l.substr(11));
      ++p.nSequences;
      bLeader = true;
      continue;
    }
    if (l.rfind("'$EndSeq(", 0) == 0) {
      seq = 0;
      continue;
    }
    std::smatch m;
    if (!std::regex_search(l, m, move)) continue;
    std::vector<double> a;
    std::stringstream ss(m[3].str());
    for (std::string t; std::getline(ss, t, ',');) a.push_back(std::stod(t));
    ++p.nMoves;
    double len;
    if (m[1] == "MOVEABS") {
      len = std::hypot(a[0] - x, a[1] - y);
      x = a[0];
      y = a[1];
      if (seq && !bLeader) {
        p.fCut += len;
        p.CutBySequence[seq] += len;
      } else {
        p.fTravel += len;
      }
      continue;
    }
    bLeader = false;
    if (m[1] == "MOVE") {
      len = std::hypot(a[0], a[1]);
    } else {
      const double r = std::hypot(a[2], a[3]);
      double s0 = std::atan2(-a[3], -a[2]), s1 = std::atan2(a[1] - a[3], a[0] - a[2]);
      double sweep = a[4] == 1 ? s0 - s1 : s1 - s0;
      while (sweep <= 1e-12) sweep += 2 * pi;
      len = r * sweep;
    }
    x += a[0];
    y += a[1];
    (seq ? p.fCut : p.fTravel) += len;
    if (seq) p.CutBySequence[seq] += len;
  }
  return p;
}

TEST(Statistics, RandomProgramsAgreeWithAPlainReading) {
  std::mt19937 rng(8122026);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int iProgram = 0; iProgram < 1500; ++iProgram) {
    TStringList prog{"'$Layer0:A"};
    const int nSeq = 1 + static_cast<int>(rng() % 5);
    std::vector<std::pair<double, double>> samples;  // every point the path passes
    for (int k = 1; k <= nSeq; ++k) {
      prog.push_back("'$StartSeq(" + std::to_string(k) + ")");
      prog.push_back("cadseq" + std::to_string(k) + ":");
      double x = std::round(u(rng) * 1000) / 10, y = std::round(u(rng) * 1000) / 10;
      prog.push_back("    MOVEABS(" + StringFromDouble(x) + "," + StringFromDouble(y) + ")");
      samples.push_back({x, y});
      const int nMoves = 1 + static_cast<int>(rng() % 6);
      for (int i = 0; i < nMoves; ++i) {
        if (rng() % 2) {
          const double dx = std::round(u(rng) * 500) / 10, dy = std::round(u(rng) * 500) / 10;
          prog.push_back("    MOVE(" + StringFromDouble(dx) + "," + StringFromDouble(dy) + ")");
          x += dx;
          y += dy;
          samples.push_back({x, y});
        } else {
          // An arc with a centre on whole tenths and its end on the circle, so the
          // program holds it exactly; sometimes a full circle.
          const double cx = std::round(u(rng) * 200) / 10, cy = std::round(u(rng) * 200) / 10;
          const double r = std::hypot(cx, cy);
          const bool bFull = rng() % 5 == 0, bCw = rng() % 2;
          const double a0 = std::atan2(-cy, -cx), a1 = a0 + u(rng) * pi;
          const double ex = bFull ? 0 : cx + r * std::cos(a1), ey = bFull ? 0 : cy + r * std::sin(a1);
          prog.push_back("    MOVECIRC(" + StringFromDouble(ex) + "," + StringFromDouble(ey) + "," +
                         StringFromDouble(cx) + "," + StringFromDouble(cy) + "," + (bCw ? "1" : "0") + ")");
          // Dense samples along the arc as the program holds it.
          const double ex2 = std::stod(StringFromDouble(ex)), ey2 = std::stod(StringFromDouble(ey));
          double s0 = std::atan2(-cy, -cx), s1 = std::atan2(ey2 - cy, ex2 - cx);
          double sweep = bCw ? s0 - s1 : s1 - s0;
          while (sweep <= 1e-12) sweep += 2 * pi;
          for (int q = 1; q <= 400; ++q) {
            const double t = s0 + (bCw ? -1 : 1) * sweep * q / 400;
            samples.push_back({x + cx + r * std::cos(t), y + cy + r * std::sin(t)});
          }
          x += ex2;
          y += ey2;
        }
      }
      prog.push_back("'$EndSeq(" + std::to_string(k) + ")");
    }
    prog.push_back("'$EndLayer0:A");
    const TPlain plain = PlainFigures(prog);
    const TProgramStats st = ComputeProgramStats(prog, TEstimateSettings{}, "p");
    SCOPED_TRACE("program " + std::to_string(iProgram));
    ASSERT_EQ(st.Program.nSequences, plain.nSequences);
    ASSERT_EQ(st.Program.Moves(), plain.nMoves);
    ASSERT_NEAR(st.Program.fCut, plain.fCut, 1e-6 * (1 + plain.fCut));
    ASSERT_NEAR(st.Program.fTravel, plain.fTravel, 1e-6 * (1 + plain.fTravel));
    ASSERT_EQ(st.Layers.size(), 1u);
    ASSERT_NEAR(st.Layers[0].fCut, plain.fCut, 1e-6 * (1 + plain.fCut));
    ASSERT_EQ(st.Sequences.size(), static_cast<size_t>(nSeq));
    double fTimes = 0;
    for (const TStatsRow& r : st.Sequences) {
      ASSERT_NEAR(r.fCut, plain.CutBySequence.at(r.nSequence), 1e-6 * (1 + r.fCut));
      fTimes += r.fTime;
    }
    ASSERT_NEAR(fTimes, st.Program.fTime, 1e-9 * (1 + fTimes));  // every second in some sequence here
    // The extents hold every point passed (the written arc ends may lie off their circle
    // by the written precision) and no more than the points passed.
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    for (auto [px, py] : samples) {
      x0 = std::min(x0, px), x1 = std::max(x1, px), y0 = std::min(y0, py), y1 = std::max(y1, py);
    }
    // The low ends, and the high ends negated: at most 2e-4 above the sampled bound, less
    // than 1e-3 below it.
    const TStatsRow& p = st.Program;
    const double got[] = {p.fX.fFrom, p.fY.fFrom, -p.fX.fTo, -p.fY.fTo}, bound[] = {x0, y0, -x1, -y1};
    for (int k = 0; k < 4; ++k) {
      ASSERT_LE(got[k], bound[k] + 2e-4) << "end " << k;
      ASSERT_GT(got[k], bound[k] - 1e-3) << "end " << k;
    }
  }
}

TEST(Statistics, TableAndCsvOfTheExample) {
  TStringList prog = LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas");
  TEstimateSettings s;
  s.fPierceTime = 0.5;
  const TProgramStats st = ComputeProgramStats(prog, s, "bracket.bas");
  const std::string csv = StatsCsv(st);
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "scope,name,sequences,cut_length,travel_length,moves,time_s");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 1 + 2 + 3);
  // The outline 80 + 30 + 60 + 50 and a quarter circle of radius 20; holes of radius 5 and 4.
  EXPECT_NE(csv.find("\nprogram,bracket.bas,3,307.9646,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nlayer,HOLES,2,56.5487,"), std::string::npos) << csv;
  double fTimes = 0;
  for (const TStatsRow& r : st.Sequences) fTimes += r.fTime;
  EXPECT_NEAR(fTimes, st.Program.fTime, 1e-9);
  EXPECT_GE(st.Sequences[0].fTime, 0.5);  // its pierce
  EXPECT_EQ(FormatDuration(3.04), "3.0 s");
  EXPECT_EQ(FormatDuration(125.26), "2:05.3");
  EXPECT_EQ(FormatDuration(3725), "1:02:05.0");
}

TEST(MotionCheck, EachFindingOnAProgramMadeForIt) {
  const TStringList prog = Lines({
      "'$StartSeq(1)", "cadseq1:",  // lines 1, 2
      "    MOVEABS(0,0)",           // 3
      "    MOVE(0,0)",              // 4: no length
      "    MOVE(10,0)",             // 5
      "    MOVECIRC(0,10,0,5,0)",   // 6: a half circle, end on its circle
      "    MOVECIRC(0,-10.1,0,-5,0)",  // 7: end 0.1 off the circle
      "    MOVECIRC(0,0,0.01,0,1)",    // 8: a full circle of radius 0.01
      "'$EndSeq(1)", "'$StartSeq(2)", "cadseq2:",  // 9, 10, 11
      "    MOVEABS(10,10)",           // 12
      "    MOVECIRC(0,-10,0,-5,1)",   // 13: the arc of line 6, the other way round
      "    MOVE(0,-10)",              // 14
      "    MOVE(0,10)",               // 15: line 14 again, backwards
      "    MOVECIRC(0,0,0,0,0)",      // 16: radius 0
      "'$EndSeq(2)",
      "    MOVEABS(500,0)",            // 18: outside the limits
  });
  TMotionCheckOptions o;
  o.Limits.m_bEnableSpan = true;
  o.Limits.m_nXspanLeft = -100;
  o.Limits.m_nXspanRight = 100;
  o.Limits.m_nYspanBottom = -100;
  o.Limits.m_nYspanTop = 100;
  const std::vector<std::string> want = {
      "   - Line 4 (sequence 1): a move of no length",
      "   - Line 7 (sequence 1): the arc's end lies 0.1 off its circle of radius 5 (the controller would cut a "
      "spiral or stop)",
      "   - Line 8 (sequence 1): a full circle of radius 0.01, below 0.05",
      "   - Line 13 (sequence 2): cuts the same segment as line 6",
      "   - Line 15 (sequence 2): cuts the same segment as line 14",
      "   - Line 16 (sequence 2): an arc of radius 0",
      "   - Line 18 (outside any sequence): reaches outside the machine limits",
  };
  EXPECT_EQ(CheckMotion(prog, o), want);
  // Many findings of one kind are cut short.
  TStringList many = Sequence({});
  many.insert(many.end() - 1, 120, "    MOVE(0,0)");
  const auto cut = CheckMotion(many, TMotionCheckOptions{});
  ASSERT_EQ(cut.size(), 51u);
  EXPECT_EQ(cut.back(), "   - ... and 70 more moves of no length after line 52");
  // The example is sound.
  EXPECT_TRUE(CheckMotion(LoadLines(VELTRANE_SOURCE_DIR "/examples/bracket.bas"), o).empty());
  // After the leader an absolute move cuts: one of no length and one over a cut segment
  // are found; two tiny moves in a row are not one segment cut twice.
  const TStringList abs = Sequence({"    MOVEABS(20,20)", "    MOVEABS(20,20)", "    MOVE(10,0)", "    MOVEABS(30,20)",
                                    "    MOVEABS(20,20)", "    MOVE(0.0004,0)", "    MOVE(0.0004,0)",
                                    "    MOVE(0.0004,0)"});
  EXPECT_EQ(CheckMotion(abs, TMotionCheckOptions{}),
            (std::vector<std::string>{"   - Line 6 (sequence 1): a move of no length",
                                      "   - Line 7 (sequence 1): cuts the same segment as line 5"}));
}

// Positions beyond the range of numbers give no figures, and the line is named; huge
// finite figures are printed as numbers, never as the digits of a fixed buffer.
TEST(Statistics, NumbersBeyondRange) {
  TEstimateSettings s;
  EXPECT_EQ(ComputeProgramStats(Lines({"MOVE(1,1)", "MOVE(1e308,0)", "MOVE(1e308,0)", "MOVE(1,1)"}), s, "p").nBeyondRange,
            2);
  const TProgramStats big = ComputeProgramStats(Sequence({"MOVEABS(0,0)", "MOVECIRC(0,0,1e300,0,1)"}), s, "p");
  EXPECT_EQ(big.nBeyondRange, -1);
  for (const std::string& t : {StatsTable(big), StatsCsv(big)}) {
    EXPECT_EQ(t.find("inf"), std::string::npos) << t;
    EXPECT_NE(t.find("6.28319e+300"), std::string::npos) << t;
    std::istringstream in(t);
    for (std::string l; std::getline(in, l);) EXPECT_LT(l.size(), 140u) << l;
  }
  EXPECT_EQ(FormatDuration(3.6e20), "1e+17 h");
}

}  // namespace
}  // namespace veltrane
