// Containment of paths: candidates from a grid of the closed paths' boxes, then the
// exact test (clear of the outline, winding number of a point) on lines and arcs.
#include "geometry/PathContainment.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

}  // namespace

int WindingNumber(const std::vector<TPiece>& Path, const TfPoint& p) {
  if (Path.empty()) return 0;
  double fTotal = 0.0;
  for (const TPiece& s : Path) fTotal += SweptAngle(s, p);
  // A path whose ends meet within the tolerance is closed by its small gap.
  fTotal += SweptAngle(LinePiece(Path.back().b, Path.front().a), p);
  return static_cast<int>(std::lround(fTotal / (2 * pi)));
}

TContainment PathContainment(const std::vector<std::vector<TPiece>>& Paths,
                             const std::vector<bool>& Closed, double fTouch) {
  TContainment out;
  const size_t n = Paths.size();
  out.Containers.assign(n, {});
  // A path of no pieces stands as a point at the origin.
  static const std::vector<TPiece> c_NoPieces{LinePiece(Pt(0, 0), Pt(0, 0))};
  auto piecesOf = [&](size_t k) -> const std::vector<TPiece>& {
    return Paths[k].empty() ? c_NoPieces : Paths[k];
  };
  struct TBox {
    TfPoint lo, hi;
  };
  std::vector<TBox> box(n);
  for (size_t k = 0; k < n; ++k) {
    const std::vector<TPiece>& v = piecesOf(k);
    TBox& g = box[k];
    g.lo = v.front().lo;
    g.hi = v.front().hi;
    for (const TPiece& s : v) {
      g.lo = Pt(std::min(g.lo.fX, s.lo.fX), std::min(g.lo.fY, s.lo.fY));
      g.hi = Pt(std::max(g.hi.fX, s.hi.fX), std::max(g.hi.fY, s.hi.fY));
    }
  }
  // A grid of the closed paths' boxes, cells about as large as an average box: a path's
  // containers all cover the cell of its first point.
  std::vector<uint32_t> closed;
  double fSize = 0.0;
  TfPoint lo{0, 0}, hi{0, 0};
  for (size_t k = 0; k < n; ++k) {
    if (!Closed[k]) continue;
    const TBox& g = box[k];
    if (closed.empty()) lo = g.lo, hi = g.hi;
    lo = Pt(std::min(lo.fX, g.lo.fX), std::min(lo.fY, g.lo.fY));
    hi = Pt(std::max(hi.fX, g.hi.fX), std::max(hi.fY, g.hi.fY));
    fSize += std::max(g.hi.fX - g.lo.fX, g.hi.fY - g.lo.fY);
    closed.push_back(static_cast<uint32_t>(k));
  }
  if (closed.empty()) return out;
  const double fCell = std::max({fSize / static_cast<double>(closed.size()),
                                 1e-6 * std::max(hi.fX - lo.fX, hi.fY - lo.fY), 1e-300});
  // Cells counted from the corner of the closed paths' boxes (about a million along a side
  // at most; kept within 31 bits whatever the coordinates), a column of cells one range
  // of keys.
  auto cell = [&](double v, double o) -> uint64_t {
    const double c = std::floor((v - o) / fCell);
    return !(c > 0) ? 0 : c > double(1u << 30) ? uint64_t{1} << 30 : static_cast<uint64_t>(c);
  };
  auto key = [](uint64_t x, uint64_t y) { return x << 32 | y; };
  constexpr uint64_t c_nMaxCells = 4096;  // a box over more cells is a candidate everywhere
  // The cells that some path's first point lies in; only those are listed (a drawing whose
  // paths lie apart lists hardly anything).
  constexpr uint64_t c_nOutside = UINT64_MAX;  // a first point outside every closed box
  std::vector<uint64_t> probeKey(n, c_nOutside), keys;
  for (size_t a = 0; a < n; ++a) {
    const TfPoint probe = piecesOf(a).front().a;
    // Outside every closed path's box, nothing contains it.
    if (!(probe.fX >= lo.fX && probe.fX <= hi.fX && probe.fY >= lo.fY && probe.fY <= hi.fY))
      continue;
    probeKey[a] = key(cell(probe.fX, lo.fX), cell(probe.fY, lo.fY));
    keys.push_back(probeKey[a]);
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  auto listOf = [&](uint64_t k) {
    return static_cast<size_t>(std::lower_bound(keys.begin(), keys.end(), k) - keys.begin());
  };
  // Each closed path in those of its cells, in the order of the paths: counted, then listed.
  std::vector<uint32_t> first(keys.size() + 1, 0), entries, big;
  auto listed = [&](uint32_t k, auto&& fn) {
    const TBox& g = box[k];
    const uint64_t x0 = cell(g.lo.fX, lo.fX), x1 = cell(g.hi.fX, lo.fX), y0 = cell(g.lo.fY, lo.fY),
                   y1 = cell(g.hi.fY, lo.fY);
    if (x1 < x0 || y1 < y0 || (x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) return false;
    for (uint64_t x = x0; x <= x1; ++x)
      for (size_t l = listOf(key(x, y0)); l < keys.size() && keys[l] <= key(x, y1); ++l) fn(l);
    return true;
  };
  for (uint32_t k : closed)
    if (!listed(k, [&](size_t l) { ++first[l + 1]; })) big.push_back(k);
  for (size_t l = 0; l < keys.size(); ++l) first[l + 1] += first[l];
  entries.resize(first[keys.size()]);
  {
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (uint32_t k : closed) listed(k, [&](size_t l) { entries[fill[l]++] = k; });
  }
  for (size_t a = 0; a < n; ++a) {
    if (probeKey[a] == c_nOutside) continue;
    const TBox& ga = box[a];
    const std::vector<TPiece>& pa = piecesOf(a);
    const TfPoint probe = pa.front().a;
    bool bInside = false;
    auto test = [&](uint32_t b) {
      if (b == a) return;
      const TBox& gb = box[b];
      if (!(gb.lo.fX <= ga.lo.fX && gb.lo.fY <= ga.lo.fY && gb.hi.fX >= ga.hi.fX &&
            gb.hi.fY >= ga.hi.fY))
        return;
      const std::vector<TPiece>& pb = piecesOf(b);
      bool bTouch = false;
      ForNearPairs(pa, pb, fTouch, false, [&](size_t i, size_t j) {
        bTouch = Distance(pa[i], pb[j]) <= fTouch;
        return !bTouch;
      });
      if (bTouch) {
        ++out.nTouching;
        return;
      }
      if (WindingNumber(pb, probe) != 0) {
        out.Containers[a].push_back(b);
        bInside = true;
      }
    };
    for (uint32_t b : big) test(b);
    const size_t l = listOf(probeKey[a]);
    for (uint32_t e = first[l]; e < first[l + 1]; ++e) test(entries[e]);
    out.nInside += bInside ? 1 : 0;
  }
  return out;
}

}  // namespace veltrane::offsetcheck
