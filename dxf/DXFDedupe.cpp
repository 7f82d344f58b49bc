// Covered elements: candidates from a grid of the elements' boxes (flat lists, only in the
// cells that some element looks in), then the exact test (both ends on the other line; the same
// circle and an angular range within the other's).
#include "dxf/DXFDedupe.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "geometry/OffsetCheck.h"
#include "geometry/PointMath.h"

namespace veltrane {

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
    lo = {r.fCentrePoint.fX - r.fRadius, r.fCentrePoint.fY - r.fRadius, 0};
    hi = {r.fCentrePoint.fX + r.fRadius, r.fCentrePoint.fY + r.fRadius, 0};
    return;
  }
  lo = {std::min(r.fStartPoint.fX, r.fEndPoint.fX), std::min(r.fStartPoint.fY, r.fEndPoint.fY), 0};
  hi = {std::max(r.fStartPoint.fX, r.fEndPoint.fX), std::max(r.fStartPoint.fY, r.fEndPoint.fY), 0};
}

}  // namespace

size_t RemoveDuplicateRecords(std::vector<TDXFEntity>& L, double f) {
  std::vector<size_t> order;
  double fSize = 0.0;
  TfPoint all0{0, 0, 0}, all1{0, 0, 0};
  for (size_t i = 0; i < L.size(); ++i) {
    const EDXFEntityType t = L[i].EntityType;
    if (t != eDXFET_Line && t != eDXFET_Arc && t != eDXFET_Circle && t != eDXFET_Point) continue;
    TfPoint lo, hi;
    Box(L[i], lo, hi);
    if (order.empty()) all0 = lo, all1 = hi;
    all0 = {std::min(all0.fX, lo.fX), std::min(all0.fY, lo.fY), 0};
    all1 = {std::max(all1.fX, hi.fX), std::max(all1.fY, hi.fY), 0};
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
  // An element is looked for in the one cell of its start, and can only be covered by one
  // of its own class; so the grid has a list only for the cells and classes that some
  // element looks in, and an element is listed only in those of its cells. Lists run in
  // the order of length, so an element reads only the ones before it, of which it skips
  // those dropped: exactly the kept elements that the grid would have held at its turn.
  const size_t m = order.size();
  auto classOf = [&](size_t i) -> uint8_t {
    return L[i].EntityType == eDXFET_Point ? 0 : L[i].EntityType == eDXFET_Line ? 1 : 2;
  };
  struct TSlot {
    int64_t nKey = 0;
    uint32_t nList = UINT32_MAX;
    uint8_t nClass = 0;
  };
  size_t cap = 16;
  while (cap < 2 * m) cap <<= 1;
  std::vector<TSlot> slots(cap);
  auto hashOf = [](int64_t k, uint8_t c) {
    uint64_t h = static_cast<uint64_t>(k) * 0x9E3779B97F4A7C15ull + c;
    return h ^ (h >> 31);
  };
  uint32_t nLists = 0;
  auto find = [&](int64_t k, uint8_t c, bool bAdd) -> uint32_t {
    size_t mask = cap - 1, at = hashOf(k, c) & mask;
    while (slots[at].nList != UINT32_MAX) {
      if (slots[at].nKey == k && slots[at].nClass == c) return slots[at].nList;
      at = (at + 1) & mask;
    }
    if (!bAdd) return UINT32_MAX;
    slots[at] = TSlot{k, nLists, c};
    return nLists++;
  };
  std::vector<uint32_t> queryList(m);
  for (size_t k = 0; k < m; ++k) {
    const TDXFEntity& r = L[order[k]];
    queryList[k] =
        find(key(cellX(r.fStartPoint.fX), cellY(r.fStartPoint.fY)), classOf(order[k]), true);
  }
  // Each element's cells that some element looks in: counted, then listed.
  std::vector<uint32_t> first(static_cast<size_t>(nLists) + 1, 0), big;
  std::vector<uint8_t> isBig(m, 0);
  std::vector<uint32_t> entries;
  {
    auto cells = [&](size_t k, auto&& fn) {
      TfPoint lo, hi;
      Box(L[order[k]], lo, hi);
      const int64_t x0 = cellX(lo.fX - f), x1 = cellX(hi.fX + f), y0 = cellY(lo.fY - f),
                    y1 = cellY(hi.fY + f);
      if ((x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) return false;
      const uint8_t c = classOf(order[k]);
      for (int64_t x = x0; x <= x1; ++x)
        for (int64_t y = y0; y <= y1; ++y)
          if (const uint32_t l = find(key(x, y), c, false); l != UINT32_MAX) fn(l);
      return true;
    };
    for (size_t k = 0; k < m; ++k)
      if (!cells(k, [&](uint32_t l) { ++first[l + 1]; })) isBig[k] = 1;
    for (size_t l = 0; l < nLists; ++l) first[l + 1] += first[l];
    entries.resize(first[nLists]);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (size_t k = 0; k < m; ++k) {
      if (isBig[k]) {
        big.push_back(static_cast<uint32_t>(k));
        continue;
      }
      cells(k, [&](uint32_t l) { entries[fill[l]++] = static_cast<uint32_t>(k); });
    }
  }
  std::vector<uint8_t> dropped(L.size(), 0), droppedAt(m, 0);
  size_t nDropped = 0;
  for (size_t k = 0; k < m; ++k) {
    const TDXFEntity& r = L[order[k]];
    // Whatever covers r passes within f of its start.
    auto covers = [&](uint32_t j) { return !droppedAt[j] && Covers(L[order[j]], r, f); };
    bool bCovered = false;
    for (uint32_t e = first[queryList[k]];
         !bCovered && e < first[queryList[k] + 1] && entries[e] < k; ++e)
      bCovered = covers(entries[e]);
    for (size_t b = 0; !bCovered && b < big.size() && big[b] < k; ++b) bCovered = covers(big[b]);
    if (bCovered) {
      droppedAt[k] = 1;
      dropped[order[k]] = 1;
      ++nDropped;
    }
  }
  if (nDropped == 0) return 0;
  size_t w = 0;
  for (size_t i = 0; i < L.size(); ++i)
    if (!dropped[i]) L[w++] = L[i];
  L.resize(w);
  return nDropped;
}

}  // namespace veltrane
