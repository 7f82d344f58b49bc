// The check of an offset path against the path it was made from, in exact geometry over
// straight pieces and arcs: the offset must not cross itself, no point of it may come
// closer to the original than the offset distance, no piece of the original may lie
// beyond the tool's reach (a notch narrower than the tool), and a closed offset must lie
// on the side it was asked for. A
// compensation whose result fails is refused: a tool following it would cut into the
// part, or leave some of it uncut.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "model/Records.h"

namespace veltrane::offsetcheck {

// One straight piece or arc of a path, in absolute coordinates.
struct TPiece {
  bool bArc = false;
  TfPoint a, b;         // start and end
  TfPoint c;            // arcs: centre
  double r = 0.0;       // arcs: radius
  bool bCw = false;     // arcs: clockwise
  double fStart = 0.0;  // arcs: angle of the start seen from the centre
  double fSweep = 0.0;  // arcs: swept angle in the direction of travel, up to 2 pi
  TfPoint lo, hi;       // bounding box
};

TPiece LinePiece(TfPoint a, TfPoint b);
// bFull: an arc that ends where it starts is a full circle.
TPiece ArcPiece(TfPoint a, TfPoint b, TfPoint c, bool bCw, bool bFull);

double Distance(TfPoint p, const TPiece& s);
// The smallest distance between two pieces; 0 when they meet.
double Distance(const TPiece& s, const TPiece& t);
// The points where two pieces meet (a shared stretch gives its ends); false when none.
bool Meet(const TPiece& s, const TPiece& t, std::vector<TfPoint>& At);
// Anticlockwise positive; arcs count with their circular segments.
double SignedArea(const std::vector<TPiece>& Path);

// Calls fn(i, j) for every i of S and j of T whose boxes, grown by fMargin, overlap (and
// perhaps for a few more); with bSame (S is T) each unordered pair once, i < j. Stops
// when fn returns false. A grid of cells about as large as the pieces finds the pairs, so
// a path of n pieces costs about n, whatever its shape.
template <class F>
void ForNearPairs(const std::vector<TPiece>& S, const std::vector<TPiece>& T, double fMargin,
                  bool bSame, F fn) {
  auto near = [fMargin](const TPiece& s, const TPiece& t) {
    return t.lo.fX <= s.hi.fX + fMargin && t.hi.fX >= s.lo.fX - fMargin &&
           t.lo.fY <= s.hi.fY + fMargin && t.hi.fY >= s.lo.fY - fMargin;
  };
  if (S.size() * T.size() <= 4096) {  // a short path: every pair
    for (size_t i = 0; i < S.size(); ++i)
      for (size_t j = bSame ? i + 1 : 0; j < T.size(); ++j)
        if (near(S[i], T[j]) && !fn(i, j)) return;
    return;
  }
  TfPoint lo = T.front().lo, hi = T.front().hi;
  double fSize = 0.0;
  for (const TPiece& t : T) {
    lo = TfPoint{std::min(lo.fX, t.lo.fX), std::min(lo.fY, t.lo.fY)};
    hi = TfPoint{std::max(hi.fX, t.hi.fX), std::max(hi.fY, t.hi.fY)};
    fSize += std::max(t.hi.fX - t.lo.fX, t.hi.fY - t.lo.fY);
  }
  const double fCell = std::max({fSize / static_cast<double>(T.size()), 2 * fMargin,
                                 1e-9 * std::max(hi.fX - lo.fX, hi.fY - lo.fY), 1e-300});
  auto cell = [&](double v, double o) { return static_cast<int64_t>(std::floor((v - o) / fCell)); };
  constexpr int64_t c_nMaxCells = 64;  // a piece covering more cells is checked against all
  std::unordered_map<int64_t, std::vector<uint32_t>> grid;
  std::vector<uint32_t> big;
  auto key = [](int64_t x, int64_t y) { return x * 73856093 ^ y * 19349663; };
  for (size_t j = 0; j < T.size(); ++j) {
    const TPiece& t = T[j];
    const int64_t x0 = cell(t.lo.fX - fMargin, lo.fX), x1 = cell(t.hi.fX + fMargin, lo.fX);
    const int64_t y0 = cell(t.lo.fY - fMargin, lo.fY), y1 = cell(t.hi.fY + fMargin, lo.fY);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) {
      big.push_back(static_cast<uint32_t>(j));
      continue;
    }
    for (int64_t x = x0; x <= x1; ++x)
      for (int64_t y = y0; y <= y1; ++y) grid[key(x, y)].push_back(static_cast<uint32_t>(j));
  }
  std::vector<size_t> seen(T.size(), SIZE_MAX);
  for (size_t i = 0; i < S.size(); ++i) {
    const TPiece& s = S[i];
    auto visit = [&](uint32_t j) {
      if (seen[j] == i || (bSame && j <= i)) return true;
      seen[j] = i;
      return !near(s, T[j]) || fn(i, j);
    };
    for (uint32_t j : big)
      if (!visit(j)) return;
    const int64_t x0 = cell(s.lo.fX, lo.fX), x1 = cell(s.hi.fX, lo.fX);
    const int64_t y0 = cell(s.lo.fY, lo.fY), y1 = cell(s.hi.fY, lo.fY);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) {  // a large piece: every other
      for (uint32_t j = 0; j < T.size(); ++j)
        if (!visit(j)) return;
      continue;
    }
    for (int64_t x = x0; x <= x1; ++x)
      for (int64_t y = y0; y <= y1; ++y) {
        auto it = grid.find(key(x, y));
        if (it == grid.end()) continue;
        for (uint32_t j : it->second)
          if (!visit(j)) return;
      }
  }
}

// Empty when the offset of Original by f (positive to the left) is sound, otherwise why not.
// With pUncut, pieces of the original the tool cannot reach (in a notch narrower than the
// tool) do not make it unsound: a point of each is added there.
std::string CheckOffset(const std::vector<TPiece>& Original, const std::vector<TPiece>& Offset,
                        double f, bool bClosed, std::vector<TfPoint>* pUncut = nullptr);

// The distance from each point to the nearest piece of Path, where it is within fMargin
// (farther: at least fMargin, perhaps infinity).
std::vector<double> ReachOf(const std::vector<TfPoint>& Points, const std::vector<TPiece>& Path, double fMargin);

// Whether a tool of radius |f| following Offset leaves some of Original uncut that it
// would reach following the reference offset (by more than fTol): points along every
// piece are measured against both. Reference is asked for only when Offset keeps some
// point farther than the radius (as in a corner or a notch); null: no reference.
bool ReachesLess(const std::vector<TPiece>& Original, const std::vector<TPiece>& Offset,
                 const std::function<const std::vector<TPiece>*()>& Reference, double f, double fTol);

}  // namespace veltrane::offsetcheck
