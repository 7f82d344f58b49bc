// Containment of paths: candidates from a grid of the closed paths' boxes, then the
// exact test (clear of the outline, winding number of a point) on lines and arcs.
#include "geometry/PathContainment.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "geometry/PointMath.h"

namespace veltrane::offsetcheck {

namespace {

using namespace pointmath;

// The angle a piece sweeps as seen from p. An arc of at most a quarter turn sweeps its
// chord's angle, and a whole turn more when p lies between the chord and the arc.
double SweptAngle(const TPiece& s, const TfPoint& p) {
  auto chord = [&](TfPoint a, TfPoint b, bool bArcCw, bool bArc) {
    const TfPoint u = Sub(a, p), v = Sub(b, p);
    const double c = Cross(u, v), d = Dot(u, v);
    // p on the chord between its ends: the arc goes half round it.
    if (c == 0 && d < 0) return bArc ? (bArcCw ? -pi : pi) : 0.0;
    return std::atan2(c, d);
  };
  if (!s.bArc) return chord(s.a, s.b, false, false);
  const int nParts = std::max(1, static_cast<int>(std::ceil(s.fSweep / (pi / 2))));
  const double fStep = s.fSweep / nParts * (s.bCw ? -1 : 1);
  const bool bInsideCircle = Dist(p, s.c) < s.r;
  double fTotal = 0.0;
  TfPoint a = s.a;
  for (int k = 1; k <= nParts; ++k) {
    const TfPoint b = k == nParts ? s.b : Add(s.c, Polar(s.r, s.fStart + fStep * k));
    fTotal += chord(a, b, s.bCw, true);
    if (bInsideCircle) {
      const TfPoint m = Add(s.c, Polar(s.r, s.fStart + fStep * (k - 0.5)));
      const double sideM = Cross(Sub(b, a), Sub(m, a)), sideP = Cross(Sub(b, a), Sub(p, a));
      if (sideM * sideP > 0) fTotal += s.bCw ? -2 * pi : 2 * pi;
    }
    a = b;
  }
  return fTotal;
}

struct TGeom {
  std::vector<TPiece> Pieces;
  TfPoint lo, hi;
};

}  // namespace

int WindingNumber(const std::vector<TPiece>& Path, const TfPoint& p) {
  if (Path.empty()) return 0;
  double fTotal = 0.0;
  for (const TPiece& s : Path) fTotal += SweptAngle(s, p);
  // A path whose ends meet within the tolerance is closed by its small gap.
  fTotal += SweptAngle(LinePiece(Path.back().b, Path.front().a), p);
  return static_cast<int>(std::lround(fTotal / (2 * pi)));
}

TContainment PathContainment(const std::vector<std::vector<TPiece>>& Paths, const std::vector<bool>& Closed,
                             double fTouch) {
  TContainment out;
  const size_t n = Paths.size();
  out.Containers.assign(n, {});
  std::vector<TGeom> geom(n);
  for (size_t k = 0; k < n; ++k) {
    TGeom& g = geom[k];
    g.Pieces = Paths[k];
    if (g.Pieces.empty()) g.Pieces.push_back(LinePiece(Pt(0, 0), Pt(0, 0)));
    g.lo = g.Pieces.front().lo;
    g.hi = g.Pieces.front().hi;
    for (const TPiece& s : g.Pieces) {
      g.lo = Pt(std::min(g.lo.fX, s.lo.fX), std::min(g.lo.fY, s.lo.fY));
      g.hi = Pt(std::max(g.hi.fX, s.hi.fX), std::max(g.hi.fY, s.hi.fY));
    }
  }
  // A grid of the closed paths' boxes, cells about as large as an average box: a path's
  // containers all cover the cell of its first point.
  std::vector<uint32_t> closed;
  double fSize = 0.0;
  TfPoint lo{0, 0, 0}, hi{0, 0, 0};
  for (size_t k = 0; k < n; ++k) {
    if (!Closed[k]) continue;
    const TGeom& g = geom[k];
    if (closed.empty()) lo = g.lo, hi = g.hi;
    lo = Pt(std::min(lo.fX, g.lo.fX), std::min(lo.fY, g.lo.fY));
    hi = Pt(std::max(hi.fX, g.hi.fX), std::max(hi.fY, g.hi.fY));
    fSize += std::max(g.hi.fX - g.lo.fX, g.hi.fY - g.lo.fY);
    closed.push_back(static_cast<uint32_t>(k));
  }
  if (closed.empty()) return out;
  const double fCell = std::max({fSize / static_cast<double>(closed.size()),
                                 1e-6 * std::max(hi.fX - lo.fX, hi.fY - lo.fY), 1e-300});
  auto cell = [&](double v, double o) { return static_cast<int64_t>(std::floor((v - o) / fCell)); };
  auto key = [](int64_t x, int64_t y) { return x * 73856093 ^ y * 19349663; };
  constexpr int64_t c_nMaxCells = 4096;  // a box over more cells is a candidate everywhere
  std::unordered_map<int64_t, std::vector<uint32_t>> grid;
  std::vector<uint32_t> big;
  for (uint32_t k : closed) {
    const TGeom& g = geom[k];
    const int64_t x0 = cell(g.lo.fX, lo.fX), x1 = cell(g.hi.fX, lo.fX), y0 = cell(g.lo.fY, lo.fY),
                  y1 = cell(g.hi.fY, lo.fY);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) {
      big.push_back(k);
      continue;
    }
    for (int64_t x = x0; x <= x1; ++x)
      for (int64_t y = y0; y <= y1; ++y) grid[key(x, y)].push_back(k);
  }
  std::vector<uint32_t> candidates;
  for (size_t a = 0; a < n; ++a) {
    const TGeom& ga = geom[a];
    const TfPoint probe = ga.Pieces.front().a;
    // Outside every closed path's box, nothing contains it.
    if (!(probe.fX >= lo.fX && probe.fX <= hi.fX && probe.fY >= lo.fY && probe.fY <= hi.fY)) continue;
    candidates = big;
    if (const auto it = grid.find(key(cell(probe.fX, lo.fX), cell(probe.fY, lo.fY))); it != grid.end())
      candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    bool bInside = false;
    for (uint32_t b : candidates) {
      if (b == a) continue;
      const TGeom& gb = geom[b];
      if (!(gb.lo.fX <= ga.lo.fX && gb.lo.fY <= ga.lo.fY && gb.hi.fX >= ga.hi.fX && gb.hi.fY >= ga.hi.fY))
        continue;
      bool bTouch = false;
      ForNearPairs(ga.Pieces, gb.Pieces, fTouch, false, [&](size_t i, size_t j) {
        bTouch = Distance(ga.Pieces[i], gb.Pieces[j]) <= fTouch;
        return !bTouch;
      });
      if (bTouch) {
        ++out.nTouching;
        continue;
      }
      if (WindingNumber(gb.Pieces, probe) != 0) {
        out.Containers[a].push_back(b);
        bInside = true;
      }
    }
    out.nInside += bInside ? 1 : 0;
  }
  return out;
}

}  // namespace veltrane::offsetcheck
