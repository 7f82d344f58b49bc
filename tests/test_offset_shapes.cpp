// Compensation over shapes of every kind a drawing brings (concave stars with arcs bulging
// both ways, slots and rounded rectangles, combs, necks, hundreds of tiny segments, flowers
// of arcs), written with four decimals as programs are, judged against a polygon library's
// round offset of the same shape: what is written keeps the radius, does not cross itself,
// lies on its side and leaves nothing the tool can reach uncut; what is refused has no
// single clean offset.
#include <gtest/gtest.h>

#ifdef VELTRANE_POLYCLIPPING
#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numbers>
#include <random>

#include "reference/PathGeometry.h"
#include "transform/Transformer.h"

namespace veltrane {
namespace {

using reference::TElement;
constexpr double pi = std::numbers::pi;

// Writes a closed path as a program does: every number with four decimals, each move
// relative to where the rounded moves before it ended.
class TPathWriter {
 public:
  explicit TPathWriter(TfPoint Start) : m_Start(Round(Start)), m_At(m_Start) {
    m_Lines.push_back("    MOVEABS(" + Num(m_Start.fX) + "," + Num(m_Start.fY) + ")");
  }
  void Line(TfPoint To) {
    const TfPoint d = Rel(To);
    if (d.fX == 0 && d.fY == 0) return;
    m_Lines.push_back("    MOVE(" + Num(d.fX) + "," + Num(d.fY) + ")");
    m_At = Round(TfPoint{m_At.fX + d.fX, m_At.fY + d.fY});
  }
  // An arc to To about Centre (taken as it comes: rounding moves it off the ends' circle).
  void Arc(TfPoint To, TfPoint Centre, bool bCw) {
    const TfPoint d = Rel(To), c = Rel(Centre);
    if (d.fX == 0 && d.fY == 0) return;
    m_Lines.push_back("    MOVECIRC(" + Num(d.fX) + "," + Num(d.fY) + "," + Num(c.fX) + "," + Num(c.fY) + "," +
                      (bCw ? "1" : "0") + ")");
    m_At = Round(TfPoint{m_At.fX + d.fX, m_At.fY + d.fY});
  }
  // An arc to To whose sagitta is Bulge times half its chord (positive bulges left).
  void Bulge(TfPoint To, double fBulge) {
    if (std::fabs(fBulge) < 1e-3) return Line(To);
    const double dx = To.fX - m_At.fX, dy = To.fY - m_At.fY, L = std::hypot(dx, dy);
    const double h = L * (1 - fBulge * fBulge) / (4 * fBulge);
    Arc(To, TfPoint{m_At.fX + dx / 2 - h * dy / L, m_At.fY + dy / 2 + h * dx / L}, fBulge < 0);
  }
  TStringList Close() {
    Line(m_Start);
    return m_Lines;
  }

 private:
  static double R4(double v) { return std::round(v * 1e4) / 1e4; }
  static TfPoint Round(TfPoint p) { return TfPoint{R4(p.fX), R4(p.fY)}; }
  TfPoint Rel(TfPoint p) const { return TfPoint{R4(p.fX - m_At.fX), R4(p.fY - m_At.fY)}; }
  static std::string Num(double v) {
    char s[40];
    std::snprintf(s, sizeof s, "%.4f", v == 0 ? 0.0 : v);
    std::string t = s;
    while (t.back() == '0') t.pop_back();
    if (t.back() == '.') t.pop_back();
    return t == "-0" ? "0" : t;
  }
  TfPoint m_Start, m_At;
  TStringList m_Lines;
};

TfPoint P(double x, double y) { return TfPoint{x, y}; }

// Turns and moves the points of a shape drawn about the origin.
struct TPlace {
  double a, s, x, y;
  TfPoint operator()(TfPoint p) const {
    return P(x + s * (p.fX * std::cos(a) - p.fY * std::sin(a)), y + s * (p.fX * std::sin(a) + p.fY * std::cos(a)));
  }
};

// One shape of kind nKind, in either direction of travel.
TStringList RandomShape(std::mt19937& rng, int nKind) {
  std::uniform_real_distribution<double> U(0, 1);
  const TPlace at{U(rng) * 2 * pi, 1.0, U(rng) * 40 - 20, U(rng) * 40 - 20};
  const bool bCw = U(rng) < 0.5;
  std::vector<TfPoint> v;          // corners, anticlockwise
  std::vector<double> bulge;       // per side (0: straight)
  switch (nKind) {
    case 0: {  // a star of straight sides and arcs bulging either way
      const int n = 5 + static_cast<int>(U(rng) * 12);
      std::vector<double> a(static_cast<size_t>(n));
      for (double& x : a) x = U(rng) * 2 * pi;
      std::sort(a.begin(), a.end());
      for (double x : a) {
        const double r = 3 + 7 * U(rng);
        v.push_back(P(r * std::cos(x), r * std::sin(x)));
        bulge.push_back(U(rng) < 0.4 ? U(rng) * 1.2 - 0.6 : 0.0);
      }
      break;
    }
    case 1: {  // a slot or a rounded rectangle
      const double w = 2 + 18 * U(rng), h = 0.5 + 6 * U(rng);
      const double r = U(rng) < 0.4 ? h / 2 : U(rng) * h / 2;
      TPathWriter wr(at(P(r, 0)));
      const std::vector<TfPoint> c{P(w - r, r), P(w - r, h - r), P(r, h - r), P(r, r)};
      const std::vector<TfPoint> s{P(w - r, 0), P(w, h - r), P(r, h), P(0, r)};
      const std::vector<TfPoint> e{P(w, r), P(w - r, h), P(0, h - r), P(r, 0)};
      for (size_t i = 0; i < 4; ++i) {
        wr.Line(at(s[i]));
        if (r > 1e-3) wr.Arc(at(e[i]), at(c[i]), false);
      }
      TStringList l = wr.Close();
      if (!bCw) return l;
      // The other way round: the same corners backwards.
      TPathWriter back(at(P(r, 0)));
      for (size_t i = 4; i-- > 0;) {
        if (r > 1e-3) back.Arc(at(s[i]), at(c[i]), true);
        back.Line(at(e[(i + 3) % 4]));
      }
      return back.Close();
    }
    case 2: {  // a comb: teeth and gaps of any width on a base
      const int n = 2 + static_cast<int>(U(rng) * 7);
      const double base = 1 + 3 * U(rng), tall = 2 + 8 * U(rng);
      double x = 0;
      v.push_back(P(0, 0));
      std::vector<TfPoint> top;
      for (int i = 0; i < n; ++i) {
        const double tooth = 0.3 + 2.5 * U(rng), gap = 0.1 + 2.5 * U(rng), t = tall * (0.5 + U(rng));
        top.push_back(P(x, base + t));
        top.push_back(P(x + tooth, base + t));
        x += tooth;
        if (i + 1 < n) {
          top.push_back(P(x, base));
          top.push_back(P(x + gap, base));
          x += gap;
        }
      }
      v.push_back(P(x, 0));
      for (size_t i = top.size(); i-- > 0;) v.push_back(top[i]);
      bulge.assign(v.size(), 0.0);
      break;
    }
    case 3: {  // two rooms joined by a neck of any width
      const double w1 = 3 + 6 * U(rng), h1 = 3 + 6 * U(rng), w2 = 3 + 6 * U(rng), h2 = 3 + 6 * U(rng);
      const double len = 0.5 + 6 * U(rng), neck = 0.2 + 3 * U(rng), y0 = (std::min(h1, h2) - neck) * U(rng);
      v = {P(0, 0),        P(w1, 0),        P(w1, y0),       P(w1 + len, y0),   P(w1 + len, 0),
           P(w1 + len + w2, 0), P(w1 + len + w2, h2), P(w1 + len, h2), P(w1 + len, y0 + neck), P(w1, y0 + neck),
           P(w1, h1),     P(0, h1)};
      bulge.assign(v.size(), 0.0);
      if (U(rng) < 0.5) bulge[5] = 0.5 * U(rng), bulge[11] = 0.5 * U(rng);
      break;
    }
    case 4: {  // hundreds of tiny segments round a wavy ellipse
      const int n = 100 + static_cast<int>(U(rng) * 300);
      const double ra = 2 + 8 * U(rng), rb = 2 + 8 * U(rng), amp = 0.3 * U(rng), waves = std::floor(3 + 12 * U(rng));
      for (int i = 0; i < n; ++i) {
        const double t = 2 * pi * i / n, k = 1 + amp * std::sin(waves * t) + 0.002 * (U(rng) - 0.5);
        v.push_back(P(ra * k * std::cos(t), rb * k * std::sin(t)));
      }
      bulge.assign(v.size(), 0.0);
      break;
    }
    default: {  // a flower: petals of arcs bulging out, arcs bulging in between
      const int n = 3 + static_cast<int>(U(rng) * 6);
      const double R = 4 + 6 * U(rng), r = R * (0.2 + 0.6 * U(rng)), bo = 0.3 + 0.6 * U(rng), bi = 0.1 + 0.6 * U(rng);
      for (int i = 0; i < 2 * n; ++i) {
        const double t = pi * i / n, rr = i % 2 ? R : r;
        v.push_back(P(rr * std::cos(t), rr * std::sin(t)));
        bulge.push_back(i % 2 ? -bo : bi);  // sides from an inner to an outer corner bulge out
      }
      break;
    }
  }
  const size_t n = v.size();
  if (!bCw) {
    TPathWriter wr(at(v[0]));
    for (size_t i = 0; i < n; ++i) wr.Bulge(at(v[(i + 1) % n]), bulge[i]);
    return wr.Close();
  }
  TPathWriter wr(at(v[0]));
  for (size_t i = n; i-- > 0;) wr.Bulge(at(v[i]), -bulge[i]);
  return wr.Close();
}

// The library's round offset of the closed path (positive f to the left of its travel).
ClipperLib::Paths LibraryRoundOffset(const std::vector<TfPoint>& Pts, double f) {
  constexpr double k = 1e6;
  ClipperLib::Path path;
  for (const TfPoint& p : Pts)
    path.emplace_back(static_cast<ClipperLib::cInt>(std::llround(p.fX * k)),
                      static_cast<ClipperLib::cInt>(std::llround(p.fY * k)));
  const bool bAcw = ClipperLib::Orientation(path);
  ClipperLib::ClipperOffset co(2.0, 0.00005 * k);
  co.AddPath(path, ClipperLib::jtRound, ClipperLib::etClosedPolygon);
  ClipperLib::Paths out;
  co.Execute(out, (bAcw ? -f : f) * k);  // the library grows a polygon by a positive delta
  return out;
}

// Points of a library loop, none farther apart than fStep.
std::vector<TfPoint> LoopPoints(const ClipperLib::Path& L, double fStep) {
  std::vector<TfPoint> v;
  for (size_t i = 0; i < L.size(); ++i) {
    const TfPoint a = P(L[i].X / 1e6, L[i].Y / 1e6), b = P(L[(i + 1) % L.size()].X / 1e6, L[(i + 1) % L.size()].Y / 1e6);
    const int m = std::max(1, static_cast<int>(std::ceil(std::hypot(b.fX - a.fX, b.fY - a.fY) / fStep)));
    for (int j = 0; j < m; ++j) v.push_back(P(a.fX + (b.fX - a.fX) * j / m, a.fY + (b.fY - a.fY) * j / m));
  }
  return v;
}

bool SegmentsCross(TfPoint a, TfPoint b, TfPoint c, TfPoint d) {
  auto orient = [](TfPoint p, TfPoint q, TfPoint r) {
    return (q.fX - p.fX) * (r.fY - p.fY) - (q.fY - p.fY) * (r.fX - p.fX);
  };
  const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
  return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

// Whether the closed polyline crosses itself properly somewhere (a sweep would be faster;
// the shapes are small).
bool PolylineCrossesItself(const std::vector<TfPoint>& v) {
  const size_t n = v.size();
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 2; j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      if (SegmentsCross(v[i], v[(i + 1) % n], v[j], v[(j + 1) % n])) return true;
    }
  return false;
}

// Points along the path, arcs by chords within fSagitta of them.
std::vector<TfPoint> PathPoints(const std::vector<TElement>& Path, double fSagitta) {
  std::vector<TfPoint> v;
  for (const TElement& e : Path) {
    const double r = std::hypot(e.a.fX - e.c.fX, e.a.fY - e.c.fY);
    const double fStep = 2 * std::acos(std::max(0.0, 1 - fSagitta / std::max(r, 1e-9)));
    const int m = e.bArc ? std::clamp(static_cast<int>(std::ceil(e.fSweep / std::max(fStep, 1e-6))), 4, 4000) : 1;
    for (int j = 0; j < m; ++j) v.push_back(reference::PointAt(e, j / static_cast<double>(m)));
  }
  return v;
}

// Points along the path no farther apart than fStep.
std::vector<TfPoint> Dense(const std::vector<TElement>& Path, double fStep) {
  std::vector<TfPoint> v;
  for (const TElement& e : Path) {
    const double len = e.bArc ? std::hypot(e.a.fX - e.c.fX, e.a.fY - e.c.fY) * e.fSweep
                              : std::hypot(e.b.fX - e.a.fX, e.b.fY - e.a.fY);
    const int m = std::max(1, static_cast<int>(std::ceil(len / fStep)));
    for (int j = 0; j < m; ++j) v.push_back(reference::PointAt(e, j / static_cast<double>(m)));
  }
  return v;
}

// The winding number of the closed polyline about p.
int Winding(const std::vector<TfPoint>& v, TfPoint p) {
  int w = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    const TfPoint a = v[i], b = v[(i + 1) % v.size()];
    const double c = (b.fX - a.fX) * (p.fY - a.fY) - (p.fX - a.fX) * (b.fY - a.fY);
    if (a.fY <= p.fY && b.fY > p.fY && c > 0) ++w;
    if (a.fY > p.fY && b.fY <= p.fY && c < 0) --w;
  }
  return w;
}

// With VELTRANE_DUMP_DIR set, each refused or wrong case is written there as a program of
// one sequence, named by what it is, the shape and the offset, to be looked at.
void Dump(const TStringList& Prog, int k, double f, const char* strWhat) {
  const char* dir = std::getenv("VELTRANE_DUMP_DIR");
  if (!dir) return;
  const std::string name = std::string(dir) + "/" + strWhat + "_" + std::to_string(k) + "_" + std::to_string(f) + ".bas";
  if (FILE* o = std::fopen(name.c_str(), "w")) {
    std::fprintf(o, "'$StartSeq(1)\ncadseq1:\n");
    for (const auto& l : Prog) std::fprintf(o, "%s\n", l.c_str());
    std::fprintf(o, "'$EndSeq(1)\n");
    std::fclose(o);
  }
}

TEST(Compensation, ShapesOfEveryKindAgainstTheLibrarysRoundOffset) {
  std::mt19937 rng(2026);
  std::uniform_real_distribution<double> U(0, 1);
  int nShapes = 0, nWritten = 0, nClean = 0, nCleanRefused = 0, nWrong = 0;
  std::map<std::string, int> reasons, wrongs;
  constexpr int c_nShapes = 1100;
  // Programs carry four decimals: a written arc's ends and centre each move by up to
  // 0.00007, its radius by twice that, and the original's arcs as much again.
  constexpr double c_fRounding = 4e-4;
  for (int k = 0; nShapes < c_nShapes && k < 3 * c_nShapes; ++k) {
    const int nKind = k % 6;
    const TStringList prog = RandomShape(rng, nKind);
    const auto paths = reference::ReadPaths(prog);
    ASSERT_EQ(paths.size(), 1u);
    const auto& src = paths[0];
    // The library works on chords within 1e-4 of the arcs: in a narrow wedge a small error
    // moves the point the tool reaches a long way.
    const std::vector<TfPoint> pts = PathPoints(src, 1e-4), coarse = PathPoints(src, 1e-3);
    if (PolylineCrossesItself(coarse)) continue;  // a bulge crossed another side
    ++nShapes;
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    for (const TfPoint& p : pts) {
      lo[0] = std::min(lo[0], p.fX), lo[1] = std::min(lo[1], p.fY);
      hi[0] = std::max(hi[0], p.fX), hi[1] = std::max(hi[1], p.fY);
    }
    const double size = std::min(hi[0] - lo[0], hi[1] - lo[1]);
    for (int side : {1, -1}) {
      // Radii from tiny to 0.4 x the part, spread evenly on a log scale.
      const double f = side * size * 0.4 * std::pow(10.0, -3 * U(rng));
      TTransformer t;
      TStringList lines = prog;
      t.SetProgram(&lines);
      const bool bOk = t.Compensation(f);
      const ClipperLib::Paths lib = LibraryRoundOffset(pts, f), libIn = LibraryRoundOffset(pts, f * 0.998),
                              libOut = LibraryRoundOffset(pts, f * 1.002);
      const bool bStable = lib.size() == libIn.size() && lib.size() == libOut.size();
      const bool bClean = bStable && lib.size() == 1;
      nClean += bClean;
      std::string strCase = "shape " + std::to_string(k) + " (kind " + std::to_string(nKind) + "), offset " +
                            std::to_string(f) + ":\n" + ::testing::PrintToString(prog);
      if (!bOk) {
        EXPECT_EQ(lines, prog) << strCase;
        if (bClean) {
          ++nCleanRefused;
          std::string r = t.FailureReason();
          r = r.substr(0, r.find(" ("));
          r = r.substr(0, r.find(" near"));
          ++reasons[r];
          Dump(prog, k, f, "refused");
        }
        continue;
      }
      ++nWritten;
      const auto outPaths = reference::ReadPaths(lines);
      ASSERT_EQ(outPaths.size(), 1u) << strCase;
      const auto& out = outPaths[0];
      const std::vector<TfPoint> outPts = PathPoints(out, 1e-4);
      std::string strWrong;
      for (const TfPoint& p : outPts)
        if (reference::Distance(p, src) < std::fabs(f) - c_fRounding) {
          strWrong = "comes within " + std::to_string(reference::Distance(p, src)) + " at " + std::to_string(p.fX) +
                     "," + std::to_string(p.fY);
          break;
        }
      if (strWrong.empty() && PolylineCrossesItself(outPts)) strWrong = "crosses itself";
      // The path lies on its side of the original: inside it for an offset into the
      // part, outside otherwise.
      const bool bInward = (f > 0) == (reference::Area(src) > 0);
      const std::vector<TfPoint> around = std::fabs(f) < 0.01 ? PathPoints(src, std::fabs(f) / 10) : coarse;
      for (size_t i = 0; strWrong.empty() && i < outPts.size(); i += 3)
        if ((Winding(around, outPts[i]) != 0) != bInward)
          strWrong = "lies on the wrong side at " + std::to_string(outPts[i].fX) + "," + std::to_string(outPts[i].fY);
      if (strWrong.empty() && bStable && !lib.empty()) {
        // Every point of the original that the library's outermost loop reaches, the
        // tool reaches too (to within 0.005); an inward offset that falls apart must have
        // been refused.
        size_t main = 0;
        for (size_t i = 1; i < lib.size(); ++i)
          if (std::fabs(ClipperLib::Area(lib[i])) > std::fabs(ClipperLib::Area(lib[main]))) main = i;
        size_t nOuter = 0;
        for (const auto& l : lib) nOuter += ClipperLib::Orientation(l) == ClipperLib::Orientation(lib[main]);
        if (nOuter > 1) strWrong = "one loop written where the offset falls apart into " + std::to_string(nOuter);
        // At a width just twice the radius the library's loop may or may not slip in: the
        // loop for a radius 0.2 % larger is the one the tool must reach at least.
        size_t mainOut = 0;
        for (size_t i = 1; i < libOut.size(); ++i)
          if (std::fabs(ClipperLib::Area(libOut[i])) > std::fabs(ClipperLib::Area(libOut[mainOut]))) mainOut = i;
        std::vector<TElement> libPath;
        const std::vector<TfPoint> libPts = LoopPoints(libOut[mainOut], 1e300);
        for (size_t i = 0; i < libPts.size(); ++i)
          libPath.push_back(TElement{false, libPts[i], libPts[(i + 1) % libPts.size()], {}, false, 0});
        for (const TfPoint& q : Dense(src, 0.02)) {
          if (!strWrong.empty()) break;
          const double d = reference::Distance(q, out);
          if (d > std::fabs(f) + 0.005 && d > reference::Distance(q, libPath) + 0.005)
            strWrong = "leaves uncut by " + std::to_string(d - std::fabs(f)) + " what the tool reaches at " +
                       std::to_string(q.fX) + "," + std::to_string(q.fY);
        }
      }
      if (!strWrong.empty()) {
        ++nWrong;
        ++wrongs[strWrong.substr(0, 12)];
        Dump(prog, k, f, "wrong");
        if (nWrong > 5) continue;  // counted, not told
        ADD_FAILURE() << "written wrong, " << strWrong << "; " << strCase << "\n" << ::testing::PrintToString(lines);
      }
    }
    if (::testing::Test::HasFatalFailure()) return;
  }
  std::string strReasons;
  for (const auto& [r, n] : reasons) strReasons += "\n  " + std::to_string(n) + " x " + r;
  for (const auto& [r, n] : wrongs) strReasons += "\n  wrong: " + std::to_string(n) + " x " + r;
  std::printf("%d shapes, %d offsets written, %d of %d with one clean offset refused:%s\n", nShapes, nWritten,
              nCleanRefused, nClean, strReasons.c_str());
  EXPECT_EQ(nShapes, c_nShapes);
  EXPECT_EQ(nWrong, 0);
  EXPECT_LE(nCleanRefused * 100, nClean) << strReasons;  // at most 1 %
}

}  // namespace
}  // namespace veltrane
#endif
