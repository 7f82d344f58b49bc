// Tabs checked against the original path read by a parser of the tests' own: the pieces
// lie on it, their lengths and the tabs' add up to it, each tab is as long as asked,
// the pieces follow one another along it, and tabs keep off corners, arcs and leads.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <tuple>

#include "model/NumberFormat.h"
#include "model/ProgramDocument.h"
#include "model/SequenceMarkup.h"
#include "reference/PathGeometry.h"
#include "tools/AutoCodeInsert.h"
#include "transform/Tabs.h"

namespace veltrane {
namespace {

using reference::TElement;
constexpr double pi = std::numbers::pi;

std::string Num(double f) { return StringFromDouble(f); }

TStringList Program(const TStringList& Body, int32_t n = 1) {
  TStringList p{"'$Layer1:0", StartMarker(n), "cadseq" + std::to_string(n) + ":"};
  p.insert(p.end(), Body.begin(), Body.end());
  p.push_back(EndMarker(n));
  p.push_back("'$EndLayer");
  return p;
}

// Length of an element, and the position along a path of a point on it.
double ElementLength(const TElement& e) { return reference::Length({e}); }

double PositionOf(TfPoint p, const std::vector<TElement>& Path) {
  double fBest = std::numeric_limits<double>::infinity(), fPos = 0, fStart = 0;
  for (const TElement& e : Path) {
    const double d = reference::Distance(p, {e});
    if (d < fBest - 1e-9) {
      fBest = d;
      double t;
      if (!e.bArc) {
        t = reference::SegmentParameter(p, e.a, e.b);
      } else {
        const double s0 = std::atan2(e.a.fY - e.c.fY, e.a.fX - e.c.fX);
        double rel = (e.bCw ? -1 : 1) * (std::atan2(p.fY - e.c.fY, p.fX - e.c.fX) - s0);
        rel = std::fmod(std::fmod(rel, 2 * pi) + 2 * pi, 2 * pi);
        if (rel > e.fSweep + 1e-9) rel = rel - e.fSweep > 2 * pi - rel ? 0 : e.fSweep;
        t = e.fSweep > 0 ? rel / e.fSweep : 0;
      }
      fPos = fStart + t * ElementLength(e);
    }
    fStart += ElementLength(e);
  }
  return fPos;
}

// Positions of the joints that turn by more than fDegrees.
std::vector<double> CornerPositions(const std::vector<TElement>& Path, double fDegrees) {
  std::vector<double> v;
  double fPos = 0;
  for (size_t i = 0; i < Path.size(); ++i) {
    const TElement& prev = Path[(i + Path.size() - 1) % Path.size()];
    const double turn = std::remainder(reference::DirectionAt(Path[i], 0) - reference::DirectionAt(prev, 1), 2 * pi);
    if (std::fabs(turn) > fDegrees * pi / 180) v.push_back(fPos);
    fPos += ElementLength(Path[i]);
  }
  return v;
}

double Around(double d, double L) { return std::fmod(std::fmod(d, L) + L, L); }

// The pieces of a cut path, and the gaps between each two as positions on the original.
struct TTabbed {
  std::vector<std::vector<TElement>> Pieces;
  std::vector<std::pair<double, double>> Tabs;  // start and end along the original
};

TTabbed ReadTabbed(const TStringList& Result, const std::vector<TElement>& Loop) {
  TTabbed t;
  t.Pieces = reference::ReadPaths(Result);
  for (size_t k = 0; k + 1 < t.Pieces.size(); ++k)
    t.Tabs.push_back({PositionOf(t.Pieces[k].back().b, Loop), PositionOf(t.Pieces[k + 1].front().a, Loop)});
  return t;
}

TEST(PlaceTabs, CountsSpacingAndRefusals) {
  struct TCase {
    double fLength, fSpacing;
    int32_t nCount;
    double fTab;
    bool bOnArcs, bFixed;
    std::vector<std::pair<double, double>> Arcs;
    std::vector<double> Corners;
    size_t nWanted;  // 0: refused
    const char* strWhy;
    std::vector<double> Starts;  // where given
  };
  const TCase cases[] = {
      // A rectangle gets one tab in the middle of each side.
      {300, 0, 4, 5, true, false, {}, {0, 100, 150, 250}, 4, "", {47.5, 122.5, 197.5, 272.5}},
      {300, 70, 0, 5, true, false, {}, {}, 4, "", {}},  // 300 / 70 rounds to 4
      {300, 100, 0, 5, true, false, {}, {}, 3, "", {}},
      {300, 1000, 0, 5, true, false, {}, {}, 1, "", {}},  // at least one
      {300, 0.001, 0, 5, true, false, {}, {}, 0, "more than", {}},
      {300, 0, 10, 30, true, false, {}, {}, 0, "do not fit", {}},
      {300, 0, 9, 30, true, false, {}, {}, 9, "", {}},
      {100, 0, 2, 5, false, false, {{0, 100}}, {}, 0, "off the arcs", {}},
      {100, 0, 2, 5, false, false, {{0, 40}, {50, 90}}, {}, 2, "", {}},
      {100, 0, 2, 5, false, false, {{0, 46}, {50, 96}}, {}, 0, "no room", {}},
      {100, 0, 1, 5, false, false, {{0, 46}, {50, 96}}, {}, 0, "no room", {}},
      {100, 0, 1, 5, false, false, {{0, 40}, {60, 100}}, {}, 1, "", {}},
      {100, 0, 1, 5, true, true, {}, {}, 1, "", {}},
      // No room away from the corners: a lead's start is still kept free.
      {20, 0, 1, 5, true, true, {}, {5, 10, 15}, 1, "", {}},
      {20, 0, 2, 2, false, true, {{2, 8}, {12, 18}}, {}, 0, "no room", {}},
  };
  for (const TCase& c : cases) {
    TTabLoop loop;
    loop.fLength = c.fLength;
    loop.Arcs = c.Arcs;
    loop.Corners = c.Corners;
    loop.bFixedStart = c.bFixed;
    TTabRequest r;
    r.fSpacing = c.fSpacing;
    r.nCount = c.nCount;
    r.fLength = c.fTab;
    r.bOnArcs = c.bOnArcs;
    std::string why;
    const auto starts = PlaceTabs(loop, r, why);
    SCOPED_TRACE(std::to_string(c.fLength) + " spacing " + std::to_string(c.fSpacing) + " count " +
                 std::to_string(c.nCount));
    EXPECT_EQ(starts.size(), c.nWanted) << why;
    for (size_t i = 0; i < c.Starts.size() && i < starts.size(); ++i)
      EXPECT_NEAR(starts[i], c.Starts[i], 1e-6);
    if (c.nWanted == 0) {
      EXPECT_NE(why.find(c.strWhy), std::string::npos) << why;
    }
    for (double s : starts) {
      for (const auto& [a, b] : c.Arcs)
        if (!c.bOnArcs) {
          EXPECT_TRUE(s + c.fTab <= a + 1e-9 || s >= b - 1e-9) << s;
        }
      if (c.bFixed) {
        EXPECT_TRUE(s > 0 && s + c.fTab < c.fLength) << s;
      }
    }
  }
}

// Three sides 10 long and a round end: tabs off the arc go on the 30 of straight path,
// as evenly spaced there as the corners let them, however many are asked for.
TEST(PlaceTabs, OffTheArcsEvenlyOnTheStraights) {
  TTabLoop loop;
  const double fArc = 5 * 3.141592653589793;
  loop.fLength = 30 + fArc;
  loop.Arcs = {{10, 10 + fArc}};
  loop.Corners = {0, 20 + fArc};
  TTabRequest r;
  r.fLength = 0.5;
  r.bOnArcs = false;
  for (int32_t n = 1; n <= 40; ++n) {
    r.nCount = n;
    std::string why;
    const auto starts = PlaceTabs(loop, r, why);
    ASSERT_EQ(starts.size(), static_cast<size_t>(n)) << n << ": " << why;
    // The straight path left to tabs, away from the arc and the corners, in even shares.
    // (A tab keeps 1.5 tab lengths from a corner: 3 lengths round each of two corners.)
    const double fShare = (30 - r.fLength - 6 * r.fLength) / n;
    std::vector<double> onStraights;
    for (double s : starts) {
      EXPECT_TRUE(s + r.fLength <= 10 + 1e-9 || s >= 10 + fArc - 1e-9) << n << ": " << s;
      onStraights.push_back(s < 10 ? s : s - fArc);  // the straights as one stretch of 30
    }
    std::sort(onStraights.begin(), onStraights.end());
    for (size_t k = 1; k < onStraights.size(); ++k)
      if (n > 2) {  // (with one or two, a corner's room may come between: one share)
        EXPECT_GE(onStraights[k] - onStraights[k - 1], fShare - 1e-9) << n << " tabs";
        EXPECT_LE(onStraights[k] - onStraights[k - 1], fShare + 3 * r.fLength + 1e-9) << n << " tabs";
      }
  }
}

TEST(Tabs, DialogTexts) {
  TTabRequest r;
  std::string why;
  EXPECT_TRUE(TabRequestFromText("3", false, "2.5", false, r, why));
  EXPECT_EQ(std::tie(r.nCount, r.fSpacing, r.fLength, r.bOnArcs), std::make_tuple(3, 0.0, 2.5, false));
  EXPECT_TRUE(TabRequestFromText("150", true, "4", true, r, why));
  EXPECT_EQ(r.fSpacing, 150);
  for (auto [count, bSpacing, length] :
       {std::tuple{"0", false, "2"}, std::tuple{"2.5", false, "2"}, std::tuple{"abc", false, "2"},
        std::tuple{"3", false, "0"}, std::tuple{"3", false, "-1"}, std::tuple{"-5", true, "2"},
        std::tuple{"20000", false, "2"}, std::tuple{"3", false, "x"}}) {
    r = TTabRequest{};
    EXPECT_FALSE(TabRequestFromText(count, bSpacing, length, true, r, why)) << count << " " << length;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(r.nCount, 4);  // unchanged
  }
}

// A random closed path: a star-shaped polygon whose sides are straight or arcs bulging
// either way, or a full circle.
struct TShape {
  TStringList Body;
  std::vector<double> SideLengths;
};

TShape RandomShape(std::mt19937& rng) {
  std::uniform_real_distribution<double> u(0, 1);
  TShape s;
  const double cx = u(rng) * 200 - 100, cy = u(rng) * 200 - 100;
  if (u(rng) < 0.08) {
    const double r = 2 + u(rng) * 40, a = u(rng) * 2 * pi;
    const TfPoint p{cx + r * std::cos(a), cy + r * std::sin(a)};
    s.Body = {"    MOVEABS(" + Num(p.fX) + "," + Num(p.fY) + ")",
              "    MOVECIRC(0,0," + Num(cx - p.fX) + "," + Num(cy - p.fY) + "," + (u(rng) < 0.5 ? "1" : "0") + ")"};
    s.SideLengths = {2 * pi * r};
    return s;
  }
  const int n = 3 + static_cast<int>(u(rng) * 7);
  std::vector<double> angles;
  for (int i = 0; i < n; ++i) angles.push_back(u(rng) * 2 * pi);
  std::sort(angles.begin(), angles.end());
  std::vector<TfPoint> v;
  for (double a : angles) {
    const double r = 10 + u(rng) * 60;
    // Whole numbers of ten-thousandths, so that the program holds the points exactly.
    v.push_back(TfPoint{std::round((cx + r * std::cos(a)) * 1e4) / 1e4, std::round((cy + r * std::sin(a)) * 1e4) / 1e4});
  }
  s.Body.push_back("    MOVEABS(" + Num(v[0].fX) + "," + Num(v[0].fY) + ")");
  for (int i = 0; i < n; ++i) {
    const TfPoint a = v[static_cast<size_t>(i)], b = v[static_cast<size_t>((i + 1) % n)];
    const double dx = b.fX - a.fX, dy = b.fY - a.fY, c = std::hypot(dx, dy);
    if (c < 1e-3) continue;
    if (u(rng) < 0.35) {
      const double sweep = 0.2 + u(rng) * 2.2;
      const bool bCw = u(rng) < 0.5;
      const double k = (c / 2) / std::tan(sweep / 2) * (bCw ? -1 : 1);
      const double mx = (a.fX + b.fX) / 2 - dy / c * k, my = (a.fY + b.fY) / 2 + dx / c * k;
      s.Body.push_back("    MOVECIRC(" + Num(dx) + "," + Num(dy) + "," + Num(mx - a.fX) + "," + Num(my - a.fY) +
                       "," + (bCw ? "1" : "0") + ")");
      s.SideLengths.push_back(sweep * std::hypot(mx - a.fX, my - a.fY));
    } else {
      s.Body.push_back("    MOVE(" + Num(dx) + "," + Num(dy) + ")");
      s.SideLengths.push_back(c);
    }
  }
  return s;
}

TEST(Tabs, RandomClosedPathsAreCutWhereTheTabsAre) {
  std::mt19937 rng(20261208);
  std::uniform_real_distribution<double> u(0, 1);
  int nCut = 0, nCornerChecked = 0, nLeads = 0;
  for (int iShape = 0; iShape < 3000; ++iShape) {
    TShape shape = RandomShape(rng);
    TTabRequest r;
    r.fLength = 0.5 + u(rng) * 4;
    r.nCount = 1 + static_cast<int32_t>(u(rng) * (u(rng) < 0.3 ? 24 : 6));
    r.bOnArcs = u(rng) < 0.7;
    TStringList body = shape.Body;
    const std::vector<TElement> loop = reference::ReadPaths(body)[0];
    const double L = reference::Length(loop);
    // Some paths get lead arcs first: the cut must then keep them whole at the ends.
    const bool bLeads = u(rng) < 0.25;
    double fLeads = 0;
    if (bLeads) {
      TTransformer t;
      t.SetProgram(&body);
      t.LeadInOut(u(rng) < 0.5, u(rng) < 0.5, 1 + u(rng) * 3, 1 + u(rng) * 3);
      fLeads = reference::Length(reference::ReadPaths(body)[0]) - L;
    }
    TProgramDocument doc;
    doc.m_Program = Program(body);
    TTransformer t;
    const TPathOutcome o = AddTabsToSequence(doc, t, 1, r);
    SCOPED_TRACE("shape " + std::to_string(iShape));
    ASSERT_TRUE(o.bFound);
    if (!o.bDone) {
      const bool bTooMany = r.nCount * (r.fLength + c_fMinTabPiece) > L - 1e-6;
      EXPECT_TRUE(bTooMany || (!r.bOnArcs && o.strReason.find("no room") != std::string::npos) ||
                  o.strReason.find("do not fit") != std::string::npos)
          << o.strReason;
      continue;
    }
    ++nCut;
    const TTabbed cut = ReadTabbed(doc.m_Program, loop);
    const size_t nPieces = static_cast<size_t>(r.nCount) + (bLeads ? 1 : 0);
    ASSERT_EQ(cut.Pieces.size(), nPieces);
    // Cut and tabs add up to the path; every piece lies on it (leads apart).
    double fCut = 0;
    for (const auto& piece : cut.Pieces) fCut += reference::Length(piece);
    EXPECT_NEAR(fCut + r.nCount * r.fLength, L + fLeads, 2e-3);
    for (size_t k = 0; k < cut.Pieces.size(); ++k) {
      std::vector<TElement> piece = cut.Pieces[k];
      if (bLeads && k == 0) piece.erase(piece.begin());
      if (bLeads && k + 1 == cut.Pieces.size()) piece.pop_back();
      for (const TfPoint& p : reference::Samples(piece, 8)) ASSERT_LT(reference::Distance(p, loop), 1e-3);
    }
    // Each tab as long as asked, the pieces in order along the path.
    std::vector<std::pair<double, double>> tabs = cut.Tabs;
    if (!bLeads) tabs.push_back({PositionOf(cut.Pieces.back().back().b, loop), PositionOf(cut.Pieces[0].front().a, loop)});
    ASSERT_EQ(tabs.size(), static_cast<size_t>(r.nCount));
    double fTurned = 0;
    for (size_t k = 0; k < tabs.size(); ++k) {
      EXPECT_NEAR(Around(tabs[k].second - tabs[k].first, L), r.fLength, 1e-3);
      fTurned += Around(tabs[(k + 1) % tabs.size()].first - tabs[k].first, L);
    }
    if (tabs.size() > 1) {
      EXPECT_NEAR(fTurned, L, 1e-3);  // once round, in order
    }
    if (bLeads) {
      ++nLeads;
      // No tab over the start, where the leads join.
      for (const auto& [a, b] : tabs) EXPECT_LE(a, b);
      EXPECT_EQ(cut.Pieces.front().front().bArc, true);
      EXPECT_EQ(cut.Pieces.back().back().bArc, true);
    }
    // Tabs off the arcs when asked.
    if (!r.bOnArcs) {
      double fPos = 0;
      for (const TElement& e : loop) {
        const double len = ElementLength(e);
        if (e.bArc)
          for (const auto& [a, b] : tabs) {
            const double s = Around(a - fPos, L);
            EXPECT_TRUE(s >= len - 1e-3 && s + r.fLength <= L + 1e-3) << "tab at " << a << " on arc " << fPos;
          }
        fPos += len;
      }
    }
    // Off the corners where there is certainly room: every side longer than three tabs
    // (room between the stretches kept clear of its corners) and the tabs at least four
    // tab lengths apart (so that moving each off a corner leaves room between them).
    const bool bRoom = r.bOnArcs && !bLeads && L / r.nCount >= 4.02 * r.fLength &&
                       std::all_of(shape.SideLengths.begin(), shape.SideLengths.end(),
                                   [&](double s) { return s >= 3.02 * r.fLength; });
    if (bRoom) {
      ++nCornerChecked;
      for (double c : CornerPositions(loop, c_fTabCornerDegrees + 1))
        for (const auto& [a, b] : tabs)
          for (double end : {a, b}) {
            const double d = std::min(Around(end - c, L), Around(c - end, L));
            EXPECT_GE(d, r.fLength - 1e-3) << "tab end " << end << " corner " << c;
          }
    }
    if (testing::Test::HasFailure()) break;
  }
  EXPECT_GT(nCut, 1500);
  EXPECT_GT(nCornerChecked, 1000);
  EXPECT_GT(nLeads, 300);
}

TEST(Tabs, PiecesBecomeSequencesNumberedAsCopiesAndGetTheInsertedCode) {
  TProgramDocument doc;
  doc.m_Program = Program({"    MOVEABS(0,0)", "    MOVE(100,0)", "    MOVE(0,50)", "    MOVE(-100,0)", "    MOVE(0,-50)"});
  // A second sequence after it, and a higher number elsewhere.
  doc.m_Program.insert(doc.m_Program.end() - 1, {StartMarker(7), "cadseq7:", "    MOVEABS(200,0)", "    MOVE(10,0)", EndMarker(7)});
  struct THooks : IDocumentHooks {
    int nUndo = 0;
    void SaveForUndo() override { ++nUndo; }
  } hooks;
  doc.SetHooks(&hooks);
  TTransformer t;
  TTabRequest r;
  r.nCount = 4;
  r.fLength = 5;
  ASSERT_TRUE(AddTabsToSequence(doc, t, 1, r).bDone);
  EXPECT_EQ(hooks.nUndo, 1);
  TStringList numbers;
  ASSERT_TRUE(GetSequenceNumberList(doc.m_Program, numbers, nullptr));
  EXPECT_EQ(numbers, (TStringList{"1", "8", "9", "10", "7"}));
  EXPECT_EQ(doc.m_Program[2], "cadseq1:");
  EXPECT_NE(std::find(doc.m_Program.begin(), doc.m_Program.end(), "cadseq8:"), doc.m_Program.end());
  EXPECT_EQ(doc.m_OriginalList.size(), 3u * 7u);  // the three new sequences, each with its blank line
  // Code insertion brackets every piece as any sequence.
  TAutoCodeTexts texts;
  texts.Layer[0][eSequenceStartCode] = "TOOL_ON";
  texts.Layer[0][eSequenceEndCode] = "TOOL_OFF";
  ASSERT_EQ(AutoCodeInsertProblem(doc.m_Program), "");
  const TStringList coded = InsertAutoCode(doc.m_Program, texts);
  EXPECT_EQ(std::count(coded.begin(), coded.end(), "TOOL_ON"), 5);
  EXPECT_EQ(std::count(coded.begin(), coded.end(), "TOOL_OFF"), 5);
  // Every piece begins with its absolute move and is cut: TOOL_ON before its first move.
  for (size_t i = 0; i < coded.size(); ++i)
    if (coded[i] == "TOOL_ON") {
      bool bSawMove = false;
      for (size_t k = i + 1; k < coded.size() && !IsEndMarkerLine(coded[k]); ++k)
        bSawMove = bSawMove || coded[k].find("MOVE(") != std::string::npos;
      EXPECT_TRUE(bSawMove) << i;
    }
}

TEST(Tabs, LinesThatAreNoMovesStayWithTheirPieces) {
  // Code before and after the path goes with every piece; a line between two moves stays
  // where it stood along the path (or at the start of the piece after the tab over it).
  TStringList body{"    MOVEABS(0,0)", "    OP(1,ON)", "    MOVE(100,0)", "    SPEED=5",
                   "    MOVE(0,100)", "    MOVE(-100,0)", "    MOVE(0,-100)", "    OP(1,OFF)"};
  TTransformer t;
  t.SetProgram(&body);
  TTabRequest r;
  r.nCount = 2;
  r.fLength = 4;
  TTabCut cut;
  ASSERT_TRUE(t.CutTabs(r, cut)) << t.FailureReason();
  ASSERT_EQ(cut.Pieces.size(), 2u);
  for (const TStringList& p : cut.Pieces) {
    EXPECT_EQ(p[1], "    OP(1,ON)");
    EXPECT_EQ(p.back(), "    OP(1,OFF)");
  }
  size_t nSpeed = 0;
  for (const TStringList& p : cut.Pieces) nSpeed += static_cast<size_t>(std::count(p.begin(), p.end(), "    SPEED=5"));
  EXPECT_EQ(nSpeed, 1u);
  EXPECT_EQ(body.size(), 8u);  // the list itself is not changed
}

TEST(Tabs, EveryClosedSequencePassesOverOpenOnesAndNamesRefusals) {
  TProgramDocument doc;
  doc.m_Program = {"'$Layer1:0",
                   StartMarker(1), "cadseq1:", "    MOVEABS(0,0)", "    MOVE(50,0)", "    MOVE(0,50)", "    MOVE(-50,-50)", EndMarker(1),
                   StartMarker(2), "cadseq2:", "    MOVEABS(100,0)", "    MOVE(30,0)", EndMarker(2),
                   StartMarker(3), "cadseq3:", "    MOVEABS(200,0)", "    MOVECIRC(0,0,1,0,0)", EndMarker(3),
                   "'$EndLayer"};
  TTransformer t;
  TScriptedPrompts prompts;
  TTabRequest r;
  r.nCount = 3;
  r.fLength = 3;
  int32_t nTabbed = 0;
  const auto failed = AddTabsToAll(doc, t, r, &prompts, &nTabbed);
  EXPECT_EQ(nTabbed, 1);
  EXPECT_EQ(failed, (std::vector<int32_t>{3}));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_NE(prompts.Messages[0].second.find("sequence 3: 3 tabs of length 3 do not fit"), std::string::npos)
      << prompts.Messages[0].second;
  TStringList numbers;
  GetSequenceNumberList(doc.m_Program, numbers, nullptr);
  EXPECT_EQ(numbers, (TStringList{"1", "4", "5", "2", "3"}));
  // A line that cannot be modelled names its line in the program as it was.
  TProgramDocument bad;
  bad.m_Program = Program({"    MOVEABS(0,0)", "    MOVE(x,0)"});
  try {
    AddTabsToAll(bad, t, r, &prompts);
    FAIL() << "no error";
  } catch (const ETransformError& e) {
    EXPECT_EQ(e.nLine, 4);
  }
}

}  // namespace
}  // namespace veltrane
