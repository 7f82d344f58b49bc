// Duplicate removal as it was first built: a hash map of growable lists, every kept
// element listed in every cell its box meets. Kept as the reference that the flat grid,
// which lists elements only where some element looks, must match exactly.
#include "tests/reference/GridDedupe.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "geometry/OffsetCheck.h"
#include "geometry/PointMath.h"

namespace veltrane::reference {

namespace {

constexpr double c_fTurn = 2 * std::numbers::pi;

using pointmath::Dist;

double SegmentDistance(const TfPoint& p, const TfPoint& a, const TfPoint& b) {
  return offsetcheck::Distance(p, offsetcheck::LinePiece(a, b));
}

bool IsArcLike(const TDXFEntity& r) {
  return r.EntityType == eDXFET_Arc || r.EntityType == eDXFET_Circle;
}

// An arc as an anticlockwise range of angles: its start and its sweep.
void AngularRange(const TDXFEntity& r, double& fStart, double& fSweep) {
  if (r.EntityType == eDXFET_Circle) {
    fStart = 0.0;
    fSweep = c_fTurn;
    return;
  }
  const TfPoint& c = r.fCentrePoint;
  double a = std::atan2(r.fStartPoint.fY - c.fY, r.fStartPoint.fX - c.fX);
  double b = std::atan2(r.fEndPoint.fY - c.fY, r.fEndPoint.fX - c.fX);
  if (r.Direction == eClockwise) std::swap(a, b);
  fStart = a;
  fSweep = std::fmod(b - a + 2 * c_fTurn, c_fTurn);
  if (fSweep == 0.0) fSweep = c_fTurn;  // an arc whose end equals its start is a full circle
}

double Length(const TDXFEntity& r) {
  if (r.EntityType == eDXFET_Line) return Dist(r.fStartPoint, r.fEndPoint);
  if (IsArcLike(r)) {
    double s = 0, w = 0;
    AngularRange(r, s, w);
    return w * r.fRadius;
  }
  return 0.0;
}

// Whether r lies on top of k (within f).
bool Covers(const TDXFEntity& k, const TDXFEntity& r, double f) {
  if (r.EntityType == eDXFET_Point)
    return k.EntityType == eDXFET_Point && Dist(k.fStartPoint, r.fStartPoint) <= f;
  if (r.EntityType == eDXFET_Line)
    return k.EntityType == eDXFET_Line &&
           SegmentDistance(r.fStartPoint, k.fStartPoint, k.fEndPoint) <= f &&
           SegmentDistance(r.fEndPoint, k.fStartPoint, k.fEndPoint) <= f;
  if (!IsArcLike(r) || !IsArcLike(k)) return false;
  if (Dist(r.fCentrePoint, k.fCentrePoint) > f || std::fabs(r.fRadius - k.fRadius) > f)
    return false;
  double s1 = 0, w1 = 0, s2 = 0, w2 = 0;
  AngularRange(r, s1, w1);
  AngularRange(k, s2, w2);
  if (w2 >= c_fTurn) return true;
  if (w1 >= c_fTurn) return false;
  const double fSlack = f / std::max(k.fRadius, f);  // the tolerance as an angle
  double off = std::fmod(s1 - s2 + 2 * c_fTurn, c_fTurn);
  if (off > c_fTurn - fSlack) off -= c_fTurn;  // starts just before the other
  return off >= -fSlack && off + w1 <= w2 + fSlack;
}

void Box(const TDXFEntity& r, TfPoint& lo, TfPoint& hi) {
  if (IsArcLike(r)) {  // the whole circle: enough for finding candidates
    lo = {r.fCentrePoint.fX - r.fRadius, r.fCentrePoint.fY - r.fRadius};
    hi = {r.fCentrePoint.fX + r.fRadius, r.fCentrePoint.fY + r.fRadius};
    return;
  }
  lo = {std::min(r.fStartPoint.fX, r.fEndPoint.fX), std::min(r.fStartPoint.fY, r.fEndPoint.fY)};
  hi = {std::max(r.fStartPoint.fX, r.fEndPoint.fX), std::max(r.fStartPoint.fY, r.fEndPoint.fY)};
}

}  // namespace

size_t GridRemoveDuplicateRecords(std::vector<TDXFEntity>& L, double f) {
  std::vector<size_t> order;
  double fSize = 0.0;
  TfPoint all0{0, 0}, all1{0, 0};
  for (size_t i = 0; i < L.size(); ++i) {
    const EDXFEntityType t = L[i].EntityType;
    if (t != eDXFET_Line && t != eDXFET_Arc && t != eDXFET_Circle && t != eDXFET_Point) continue;
    TfPoint lo, hi;
    Box(L[i], lo, hi);
    if (order.empty()) all0 = lo, all1 = hi;
    all0 = {std::min(all0.fX, lo.fX), std::min(all0.fY, lo.fY)};
    all1 = {std::max(all1.fX, hi.fX), std::max(all1.fY, hi.fY)};
    order.push_back(i);
    fSize += std::max(hi.fX - lo.fX, hi.fY - lo.fY);
  }
  if (order.size() < 2) return 0;
  // Longest first, then in drawing order: the element kept is the one that covers.
  std::vector<double> length(L.size(), 0.0);
  for (size_t i : order) length[i] = Length(L[i]);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return length[a] > length[b]; });
  // Cells counted from the drawing's corner, at most a million along a side.
  const double fSpan = std::max(all1.fX - all0.fX, all1.fY - all0.fY);
  const double fCell =
      std::max({fSize / static_cast<double>(order.size()), 4 * f, fSpan * 1e-6, 1e-300});
  auto cellX = [&](double v) { return static_cast<int64_t>(std::floor((v - all0.fX) / fCell)); };
  auto cellY = [&](double v) { return static_cast<int64_t>(std::floor((v - all0.fY) / fCell)); };
  auto key = [](int64_t x, int64_t y) { return x * 73856093 ^ y * 19349663; };
  constexpr int64_t c_nMaxCells = 4096;  // a kept element over more cells is checked always
  std::unordered_map<int64_t, std::vector<uint32_t>> grid;
  std::vector<uint32_t> big;
  std::vector<uint8_t> dropped(L.size(), 0);
  size_t nDropped = 0;
  for (size_t i : order) {
    const TDXFEntity& r = L[i];
    // Whatever covers r passes within f of its start.
    bool bCovered = false;
    auto check = [&](const std::vector<uint32_t>& v) {
      for (uint32_t k : v)
        if (Covers(L[k], r, f)) return true;
      return false;
    };
    // Kept elements are listed in every cell their box, grown by f, meets.
    if (const auto it = grid.find(key(cellX(r.fStartPoint.fX), cellY(r.fStartPoint.fY)));
        it != grid.end())
      bCovered = check(it->second);
    if (!bCovered) bCovered = check(big);
    if (bCovered) {
      dropped[i] = 1;
      ++nDropped;
      continue;
    }
    TfPoint lo, hi;
    Box(r, lo, hi);
    const int64_t x0 = cellX(lo.fX - f), x1 = cellX(hi.fX + f), y0 = cellY(lo.fY - f),
                  y1 = cellY(hi.fY + f);
    if ((x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) {
      big.push_back(static_cast<uint32_t>(i));
      continue;
    }
    for (int64_t x = x0; x <= x1; ++x)
      for (int64_t y = y0; y <= y1; ++y) grid[key(x, y)].push_back(static_cast<uint32_t>(i));
  }
  if (nDropped == 0) return 0;
  size_t w = 0;
  for (size_t i = 0; i < L.size(); ++i)
    if (!dropped[i]) L[w++] = L[i];
  L.resize(w);
  return nDropped;
}

}  // namespace veltrane::reference
