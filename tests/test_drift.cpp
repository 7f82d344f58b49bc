// Relative moves never drift: after any number of written moves the position the program
// reaches (summed in exact decimal arithmetic from the written text) stays within half a
// unit of the last written decimal of the exact position, for the import and for every
// transformation and path tool.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iomanip>
#include <numbers>
#include <random>

#include "dxf/DXFIn.h"
#include "model/MoveWriter.h"
#include "model/NumberFormat.h"
#include "model/ProgramDocument.h"
#include "tests/DXFText.h"
#include "tests/TextImport.h"
#include "transform/Transformer.h"

namespace veltrane {
namespace {

using testing::TDXFText;
using testing::TImport;
constexpr double pi = std::numbers::pi;
constexpr int64_t c_nUnits = 10000;  // grid steps per drawing unit at four decimals
constexpr double c_fHalfUnit = 0.5 / c_nUnits + 1e-9;

// A written number as a whole count of 1e-4 steps, read digit by digit (no floating point).
int64_t Units(std::string_view s) {
  bool bNeg = !s.empty() && s[0] == '-';
  if (bNeg) s.remove_prefix(1);
  int64_t n = 0;
  int nDecimals = -1;
  for (char c : s) {
    if (c == '.') {
      nDecimals = 0;
      continue;
    }
    EXPECT_TRUE(c >= '0' && c <= '9') << s;
    n = n * 10 + (c - '0');
    if (nDecimals >= 0) ++nDecimals;
  }
  EXPECT_LE(nDecimals, 4) << s;
  for (int i = std::max(nDecimals, 0); i < 4; ++i) n *= 10;
  return bNeg ? -n : n;
}

struct TReached {
  int64_t x = 0, y = 0;
  double X() const { return static_cast<double>(x) / c_nUnits; }
  double Y() const { return static_cast<double>(y) / c_nUnits; }
};

// The position after every move line, in order, summed exactly from the written text.
std::vector<TReached> Positions(const TStringList& Lines) {
  std::vector<TReached> out;
  TReached p;
  for (const std::string& l : Lines) {
    const size_t open = l.find('('), close = l.find(')');
    if (l.find("MOVE") == std::string::npos || open == std::string::npos) continue;
    std::vector<int64_t> v;
    std::string_view inner(l.data() + open + 1, close - open - 1);
    while (true) {
      const size_t c = inner.find(',');
      v.push_back(Units(inner.substr(0, c)));
      if (c == std::string_view::npos) break;
      inner.remove_prefix(c + 1);
    }
    if (l.find("MOVEABS") != std::string::npos) {
      p = TReached{v[0], v[1]};
    } else {
      p.x += v[0];
      p.y += v[1];
    }
    out.push_back(p);
  }
  return out;
}

void ExpectNear(const TReached& p, double x, double y, const std::string& what) {
  EXPECT_LE(std::fabs(p.X() - x), c_fHalfUnit) << what << ": x " << p.X() << " for " << x;
  EXPECT_LE(std::fabs(p.Y() - y), c_fHalfUnit) << what << ": y " << p.Y() << " for " << y;
}

// A seeded random chain: a start and a list of exact positions reached by straight moves
// and arcs (bulge != 0) of awkward lengths, written with many decimals.
struct TChain {
  TfPoint start;
  std::vector<TfPoint> points;
  std::vector<double> bulges;  // of the move that ends at points[i]
};

TChain RandomChain(std::mt19937& rng, int nMoves) {
  std::uniform_real_distribution<double> len(0.001, 3.0), ang(-pi, pi), pos(-500, 500),
      bulge(-1.5, 1.5);
  std::bernoulli_distribution arc(0.3);
  TChain c;
  c.start = TfPoint{pos(rng), pos(rng)};
  TfPoint p = c.start;
  for (int i = 0; i < nMoves; ++i) {
    const double a = ang(rng), l = len(rng);
    p = TfPoint{p.fX + l * std::cos(a), p.fY + l * std::sin(a)};
    c.points.push_back(p);
    c.bulges.push_back(arc(rng) ? bulge(rng) : 0.0);
  }
  return c;
}

// The chain as a program: relative moves with ten decimals (not yet on the written grid).
TStringList ChainProgram(const TChain& c) {
  auto n = [](double f) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10f", f);
    return std::string(buf);
  };
  TStringList s{"    MOVEABS(" + n(c.start.fX) + "," + n(c.start.fY) + ")"};
  TfPoint from = c.start;
  for (size_t i = 0; i < c.points.size(); ++i) {
    const TfPoint& to = c.points[i];
    const double dx = to.fX - from.fX, dy = to.fY - from.fY;
    if (c.bulges[i] == 0.0) {
      s.push_back("    MOVE(" + n(dx) + "," + n(dy) + ")");
    } else {
      // Centre from the bulge: on the chord's perpendicular bisector.
      const double b = c.bulges[i], L = std::hypot(dx, dy);
      const double h =
          L * (1 - b * b) / (4 * b);  // signed distance of the centre from the chord's middle
      const double cx = dx / 2 - h * dy / L, cy = dy / 2 + h * dx / L;
      s.push_back("    MOVECIRC(" + n(dx) + "," + n(dy) + "," + n(cx) + "," + n(cy) + "," +
                  (b < 0 ? "1" : "0") + ")");
    }
    from = to;
  }
  return s;
}

// The exact positions the chain's program reaches, read from its many-decimal text.
std::vector<TfPoint> ExactPositions(const TStringList& Lines) {
  std::vector<TfPoint> out;
  TfPoint p;
  for (const std::string& l : Lines) {
    const size_t open = l.find('(');
    double x = 0, y = 0;
    const size_t c1 = l.find(',', open), c2 = l.find_first_of(",)", c1 + 1);
    EXPECT_TRUE(TryStrToFloat(l.substr(open + 1, c1 - open - 1), x));
    EXPECT_TRUE(TryStrToFloat(l.substr(c1 + 1, c2 - c1 - 1), y));
    p = l.find("MOVEABS") != std::string::npos ? TfPoint{x, y} : TfPoint{p.fX + x, p.fY + y};
    out.push_back(p);
  }
  return out;
}

TStringList Transformed(TStringList Lines, const std::function<void(TTransformer&)>& op,
                        TfPoint* pCentre = nullptr) {
  TTransformer t;
  t.SetProgram(&Lines);
  op(t);
  if (pCentre) *pCentre = t.m_Center;
  return Lines;
}

TStringList Import(const std::string& text) {
  return TImport(text, {}, [](TDXFIn& in) { in.SetMatching(true, 1e-7); }).Program();
}

TEST(Drift, TheWriterKeepsTheWrittenPositionOnTheExactOne) {
  // Each written step of a third alternates between 0.3333 and 0.3334 as the exact
  // position demands; a full circle stays one, a sliver of an arc is left out.
  TMoveWriter w;
  w.MoveTo(TfPoint{0, 0});
  EXPECT_EQ(w.Line(TfPoint{1.0 / 3, 0}), "0.3333,0");
  EXPECT_EQ(w.Line(TfPoint{2.0 / 3, 0}), "0.3334,0");
  EXPECT_EQ(w.Line(TfPoint{2.0 / 3 + 1e-5, 0}), "");           // too short to write
  EXPECT_EQ(w.Line(TfPoint{2.0 / 3 + 1e-5, 0}, true), "0,0");  // kept in its place
  EXPECT_EQ(w.Arc(w.Exact(), TfPoint{5.6667, 0}, true, true), "0,0,5,0,1");
  const TfPoint c{w.Exact().fX + 1, 0};  // 0.0002 degrees of a radius-1 arc
  EXPECT_EQ(w.Arc(TfPoint{c.fX - std::cos(3.5e-6), -std::sin(3.5e-6)}, c, false, false), "");
  // A near-full circle whose ends round together is the circle it practically is.
  const TfPoint s = w.Exact(), m{s.fX + 2, s.fY};
  EXPECT_EQ(
      w.Arc(TfPoint{m.fX - 2 * std::cos(1e-6), m.fY + 2 * std::sin(1e-6)}, m, false, false),
      "0,0,2,0,0");
  EXPECT_EQ(WrittenValue(0.33336), 0.3334);
}

// The quick rounding against reading the written text back, near ties included.
TEST(Drift, WrittenValueIsWhatTheTextReadsBackAs) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> mant(-1, 1), tiny(-1e-12, 1e-12);
  std::uniform_int_distribution<int> expo(-6, 12);
  for (int i = 0; i < 200000; ++i) {
    double f = mant(rng) * std::pow(10.0, expo(rng));
    if (i % 2) f = (std::floor(f * 1e4) + 0.5) / 1e4 + tiny(rng) * std::max(1.0, std::fabs(f));
    double back = 0;
    ASSERT_TRUE(TryStrToFloat(StringFromDouble(f), back));
    ASSERT_EQ(WrittenValue(f), back) << std::setprecision(17) << f;
  }
}

TEST(Drift, TheRewriteKeepsEveryLineAndNeverMakesACircle) {
  const std::string huge = StringFromDouble(1e308);
  const TStringList out = Transformed(
      {"    MOVEABS(0,0)", "    MOVE(0.00001,0)", "    MOVECIRCSP(0.00001,0.00001,1,0,1) ' tiny",
       "    MOVECIRC(0,0,2,0,1)", "    MOVEABS(" + huge + ",0)", "    MOVE(" + huge + ",0)"},
      [](TTransformer& t) { t.RewriteCanonical(); });
  EXPECT_EQ(out, (TStringList{"    MOVEABS(0,0)", "    MOVE(0,0)", "    MOVESP(0,0) ' tiny",
                              "    MOVECIRC(0,0,2,0,1)", "    MOVEABS(" + huge + ",0)",
                              "    MOVE(" + huge + ",0)"}));
}

TEST(Drift, NumbersTooLargeToWriteAreRefused) {
  // A result of 1e15 or more could not be written within fifteen significant digits, one
  // beyond the range of numbers not at all: the line is left as it was.
  for (const auto& [strMove, fScale] :
       {std::pair{"    MOVE(1000000,0)", 1e10}, std::pair{"    MOVE(1e305,0)", 1e6}}) {
    TStringList lines{"    MOVEABS(0,0)", strMove};
    TTransformer t;
    t.SetProgram(&lines);
    EXPECT_THROW(t.Scale(fScale), ETransformError) << strMove;
    EXPECT_EQ(lines[1], strMove);
  }
  // A line holding such a number is kept as it stands by the rewrite and refused by a
  // real operation, naming it.
  const TStringList big{"    MOVEABS(0,0)", "    MOVE(1e20,0)"};
  EXPECT_EQ(Transformed(big, [](TTransformer& t) { t.RewriteCanonical(); }), big);
  try {
    Transformed(big, [](TTransformer& t) { t.Mirror(eXAxis); });
    ADD_FAILURE() << "no refusal";
  } catch (const ETransformError& e) {
    EXPECT_EQ(e.nLine, 1);
    EXPECT_STREQ(e.what(), "'1e20' is too large to be written back");
  }
}

TEST(Drift, LongZigzagPolylineReachesItsEnd) {
  // 30,000 steps of 0.33333333: rounded one by one they lose a whole unit.
  const int n = 30000;
  std::vector<std::pair<int, std::string>> pairs{{8, "Z"}, {90, std::to_string(n + 1)}, {70, "0"}};
  for (int i = 0; i <= n; ++i) pairs.insert(pairs.end(), {{10, TDXFText::N(i * 0.33333333)}, {20, i % 2 ? "0.5" : "0"}});
  const TStringList prog = Import(TDXFText({"Z"}).Add("LWPOLYLINE", pairs).Text());
  const auto reached = Positions(prog);
  ASSERT_EQ(reached.size(), static_cast<size_t>(n + 1));
  for (int i = 0; i <= n; ++i)
    ExpectNear(reached[static_cast<size_t>(i)], i * 0.33333333, i % 2 ? 0.5 : 0, "step");
}

TEST(Drift, RotatedChainOfShortMovesEndsWhereTheRotationPutsIt) {
  TStringList prog{"    MOVEABS(0,0)"};
  for (int i = 0; i < 20000; ++i) prog.push_back("    MOVE(0.1,0.05)");
  TfPoint c;
  const TStringList out = Transformed(
      prog, [](TTransformer& t) { t.Rotate(pi / 6); }, &c);
  const auto reached = Positions(out);
  ASSERT_EQ(reached.size(), prog.size());
  const double cs = std::cos(pi / 6), sn = std::sin(pi / 6);
  for (size_t i = 0; i < reached.size(); i += 997) {
    const double x = 0.1 * static_cast<double>(i) - c.fX, y = 0.05 * static_cast<double>(i) - c.fY;
    ExpectNear(reached[i], c.fX + x * cs - y * sn, c.fY + x * sn + y * cs, "rotated");
  }
  ExpectNear(reached.back(), c.fX + (2000 - c.fX) * cs - (1000 - c.fY) * sn,
             c.fY + (2000 - c.fX) * sn + (1000 - c.fY) * cs, "end");
}

// Random chains of straight moves and arcs through every affine operation: each written
// position against the operation applied to the exact source position.
TEST(Drift, RandomChainsThroughTheAffineOperations) {
  std::mt19937 rng(18);
  struct TOp {
    const char* name;
    std::function<void(TTransformer&)> op;
    std::function<TfPoint(TfPoint, TfPoint centre)> map;
  };
  const double a = 0.7, cs = std::cos(a), sn = std::sin(a);
  const std::vector<TOp> ops = {
      {"canonical", [](TTransformer& t) { t.RewriteCanonical(); }, [](TfPoint p, TfPoint) { return p; }},
      {"rotate", [&](TTransformer& t) { t.Rotate(a); },
       [&](TfPoint p, TfPoint c) {
         const double x = p.fX - c.fX, y = p.fY - c.fY;
         return TfPoint{c.fX + x * cs - y * sn, c.fY + x * sn + y * cs};
       }},
      {"scale", [](TTransformer& t) { t.Scale(1.0 / 3); }, [](TfPoint p, TfPoint) { return TfPoint{p.fX / 3, p.fY / 3}; }},
      {"mirror", [](TTransformer& t) { t.Mirror(eYAxis); }, [](TfPoint p, TfPoint) { return TfPoint{-p.fX, p.fY}; }},
      {"shift", [](TTransformer& t) { t.Shift(true, 0.123456, -7.654321); },
       [](TfPoint p, TfPoint) { return TfPoint{p.fX + 0.123456, p.fY - 7.654321}; }},
  };
  size_t nChecked = 0;
  for (int k = 0; k < 2000; ++k) {
    const TStringList src = ChainProgram(RandomChain(rng, 40));
    const auto exact = ExactPositions(src);
    const TOp& op = ops[static_cast<size_t>(k) % ops.size()];
    TfPoint c;
    const auto reached = Positions(Transformed(src, op.op, &c));
    ASSERT_EQ(reached.size(), exact.size()) << op.name;
    for (size_t i = 0; i < exact.size(); ++i, ++nChecked) {
      const TfPoint e = op.map(exact[i], c);
      ExpectNear(reached[i], e.fX, e.fY, std::string(op.name) + " move " + std::to_string(i));
    }
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_EQ(nChecked, 2000u * 41u);
}

// Random polyline drawings with bulges, imported: every vertex is reached.
TEST(Drift, RandomPolylinesImportedReachEveryVertex) {
  std::mt19937 rng(20);
  for (int k = 0; k < 1500; ++k) {
    const TChain c = RandomChain(rng, 30);
    std::vector<TfPoint> all{c.start};
    all.insert(all.end(), c.points.begin(), c.points.end());
    std::vector<std::pair<int, std::string>> pairs{{8, "0"}, {90, std::to_string(all.size())}, {70, "0"}};
    for (size_t i = 0; i < all.size(); ++i)
      pairs.insert(pairs.end(), {{10, TDXFText::N(all[i].fX)}, {20, TDXFText::N(all[i].fY)},
                                 {42, TDXFText::N(i < c.bulges.size() ? c.bulges[i] : 0.0)}});
    const auto reached = Positions(Import(TDXFText().Add("LWPOLYLINE", pairs).Text()));
    ASSERT_EQ(reached.size(), c.points.size() + 1);
    // The path may run either way round; it starts at one of the two ends.
    const bool bForward = std::fabs(reached[0].X() - c.start.fX) <= c_fHalfUnit &&
                          std::fabs(reached[0].Y() - c.start.fY) <= c_fHalfUnit;
    if (!bForward) std::reverse(all.begin(), all.end());
    for (size_t i = 0; i < all.size(); ++i)
      ExpectNear(reached[i], all[i].fX, all[i].fY, "vertex " + std::to_string(i));
    if (::testing::Test::HasFailure()) break;
  }
}

// A closed polygon of many short awkward edges: the exact path returns to its start, so
// after the path tools the written path must return to its written start too.
TStringList RoundPolygon(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> r(9.5, 10.0);
  std::vector<TfPoint> v;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * pi * i / n, R = r(rng);
    v.push_back(TfPoint{100.123456 + R * std::cos(a), -50.654321 + R * std::sin(a)});
  }
  TChain c{v[0], {}, {}};
  for (int i = 1; i <= n; ++i) {
    c.points.push_back(v[static_cast<size_t>(i % n)]);
    c.bulges.push_back(0.0);
  }
  TStringList s = ChainProgram(c);
  s[0] = "    MOVEABS(" + StringFromDouble(v[0].fX) + "," + StringFromDouble(v[0].fY) + ")";
  return s;
}

TEST(Drift, PathToolsOnLongClosedPathsCloseExactly) {
  std::mt19937 rng(14);
  int nCompensated = 0;
  for (int k = 0; k < 60; ++k) {
    const TStringList src = RoundPolygon(rng, 400);
    const TReached start = Positions({src[0]})[0];
    auto closes = [&](const TStringList& out, const char* what) {
      const auto p = Positions(out);
      ASSERT_FALSE(p.empty());
      EXPECT_LE(std::llabs(p.back().x - p.front().x), 1) << what;
      EXPECT_LE(std::llabs(p.back().y - p.front().y), 1) << what;
    };
    TTransformer t;
    TStringList out = src;
    t.SetProgram(&out);
    if (t.Compensation(k % 2 ? 0.05 : -0.05)) {
      ++nCompensated;
      closes(out, "compensation");
    }
    closes(Transformed(src, [](TTransformer& t) { t.FilletCorners(179 * pi / 180, 0.01); }),
           "fillet");
    // Lead in and out: the lead-in ends on the path's start and the path comes back to it.
    const auto lead =
        Positions(Transformed(src, [](TTransformer& t) { t.LeadInOut(true, false, 1.5, 2); }));
    ASSERT_EQ(lead.size(), 403u);
    EXPECT_EQ(lead[1].x, start.x);
    EXPECT_EQ(lead[1].y, start.y);
    EXPECT_LE(std::llabs(lead[401].x - start.x), 1);
    EXPECT_LE(std::llabs(lead[401].y - start.y), 1);
  }
  EXPECT_GE(nCompensated, 50);
}

TEST(Drift, BatchCopiesStartWhereTheyShould) {
  TProgramDocument doc;
  doc.m_Program = {"'$Layer0:P",        "'$StartSeq(1)", "cadseq1:",     "    MOVEABS(1.2346,2)",
                   "    MOVE(0.1,0.1)", "'$EndSeq(1)",   "'$EndLayer0:P"};
  ASSERT_EQ(doc.BatchCopy(1, 0.33333333, 40, 0.7777777, 30), 40 * 30 - 1);
  std::vector<TReached> starts;
  for (const std::string& l : doc.m_Program)
    if (l.find("MOVEABS") != std::string::npos) starts.push_back(Positions({l})[0]);
  ASSERT_EQ(starts.size(), 1200u);
  std::vector<std::pair<double, double>> want;
  for (int i = 0; i < 40; ++i)
    for (int j = 0; j < 30; ++j) want.emplace_back(1.2346 + i * 0.33333333, 2 + j * 0.7777777);
  std::sort(want.begin(), want.end());
  std::vector<std::pair<double, double>> got;
  for (const auto& s : starts) got.emplace_back(s.X(), s.Y());
  std::sort(got.begin(), got.end());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_LE(std::fabs(got[i].first - want[i].first), c_fHalfUnit);
    EXPECT_LE(std::fabs(got[i].second - want[i].second), c_fHalfUnit);
  }
}

TEST(Drift, ZeroLengthElementsAreDroppedAndCounted) {
  TDXFText d({"A"});
  d.Line("A", 5, 5, 5, 5)
      .Line("A", 0, 0, 10, 0)
      .Point("A", 20, 20)
      .Add("LWPOLYLINE",
           {{8, "A"}, {90, "2"}, {70, "0"}, {10, "3"}, {20, "3"}, {10, "3"}, {20, "3"}});
  TImport im(d.Text());
  const TStringList out = im.Program();
  EXPECT_EQ(
      std::count_if(out.begin(), out.end(),
                    [](const std::string& s) { return s.find("MOVEABS") != std::string::npos; }),
      2);  // the line and the point
  EXPECT_EQ(std::count(out.begin(), out.end(), "    MOVE(0,0)"), 0);
  EXPECT_EQ(im.in.WarningSummary(), (TStringList{"skipped 1 LINE (zero length) at line 30",
                                                 "skipped 1 LWPOLYLINE (zero length) at line 62"}));
}

}  // namespace
}  // namespace veltrane
