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

// Polylines are left as they are.
bool MayBeCovered(EDXFEntityType t) {
  return t == eDXFET_Line || t == eDXFET_Arc || t == eDXFET_Circle || t == eDXFET_Point;
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

size_t RemoveDuplicateRecords(std::vector<TDXFEntity>& L, double f) {
  // Longest first, then in drawing order: the element kept is the one that covers.
  struct TByLength {
    double fLength;
    uint32_t i;
  };
  std::vector<TByLength> byLength;
  double fSize = 0.0;
  TfPoint all0{0, 0}, all1{0, 0};
  for (size_t i = 0; i < L.size(); ++i) {
    if (!MayBeCovered(L[i].EntityType)) continue;
    TfPoint lo, hi;
    Box(L[i], lo, hi);
    if (byLength.empty()) all0 = lo, all1 = hi;
    all0 = {std::min(all0.fX, lo.fX), std::min(all0.fY, lo.fY)};
    all1 = {std::max(all1.fX, hi.fX), std::max(all1.fY, hi.fY)};
    byLength.push_back({Length(L[i]), static_cast<uint32_t>(i)});
    fSize += std::max(hi.fX - lo.fX, hi.fY - lo.fY);
  }
  const size_t m = byLength.size();
  if (m < 2) return 0;
  std::sort(byLength.begin(), byLength.end(), [](const TByLength& a, const TByLength& b) {
    return a.fLength > b.fLength || (!(b.fLength > a.fLength) && a.i < b.i);
  });
  std::vector<uint32_t> order(m), rankOf(L.size(), 0);
  for (size_t k = 0; k < m; ++k)
    order[k] = byLength[k].i, rankOf[byLength[k].i] = static_cast<uint32_t>(k);
  byLength = {};
  // Cells counted from the drawing's corner, at most a million along a side (a cell number
  // is kept within 30 bits whatever the coordinates).
  const double fSpan = std::max(all1.fX - all0.fX, all1.fY - all0.fY);
  const double fCell = std::max({fSize / static_cast<double>(m), 4 * f, fSpan * 1e-6, 1e-300});
  auto cellOf = [&](double v, double v0) -> uint32_t {
    const double c = std::floor((v - v0) / fCell) + 1;
    return !(c > 0) ? 0 : c > double(1u << 30) ? 1u << 30 : static_cast<uint32_t>(c);
  };
  // A cell of one class: the class, then the row, then the column, so that a row of cells
  // is one range of keys.
  auto keyOf = [](uint64_t c, uint64_t x, uint64_t y) { return c << 62 | y << 31 | x; };
  constexpr uint64_t c_nMaxCells = 4096;  // a kept element over more cells is checked always
  // An element is looked for in the one cell of its start, and can only be covered by one
  // of its own class; so there is a list only for the cells and classes that some element
  // looks in, and an element is listed only in those of its cells. The cells looked in are
  // found by sorting the elements by the cell of their start, and each element finds its
  // cells near its own place in that order, so the search stays in memory just read. The
  // elements are read once, in drawing order: each query holds the cells of its element's
  // box, grown by f.
  struct TQuery {
    uint64_t key;
    uint32_t k;
    uint32_t x0, x1, y0, y1;
  };
  std::vector<TQuery> queries;
  queries.reserve(m);
  // Per element in the order of length, the cells of its box (grown by f), of its start
  // and of its end: a line or point lies within f of what covers it, so its start and end
  // cells lie in the other's box, which is asked before the elements themselves are read.
  struct TCells {
    uint32_t x0, x1, y0, y1, sx, sy, ex, ey;
    bool Holds(uint32_t x, uint32_t y) const { return x0 <= x && x <= x1 && y0 <= y && y <= y1; }
  };
  std::vector<TCells> cells(m);
  for (size_t i = 0; i < L.size(); ++i) {
    const TDXFEntity& r = L[i];
    const EDXFEntityType t = r.EntityType;
    if (!MayBeCovered(t)) continue;
    const uint64_t c = t == eDXFET_Point ? 0 : t == eDXFET_Line ? 1 : 2;
    TfPoint lo, hi;
    Box(r, lo, hi);
    const uint32_t sx = cellOf(r.fStartPoint.fX, all0.fX), sy = cellOf(r.fStartPoint.fY, all0.fY);
    const TCells C{cellOf(lo.fX - f, all0.fX),
                   cellOf(hi.fX + f, all0.fX),
                   cellOf(lo.fY - f, all0.fY),
                   cellOf(hi.fY + f, all0.fY),
                   sx,
                   sy,
                   c == 2 ? UINT32_MAX : cellOf(r.fEndPoint.fX, all0.fX),
                   cellOf(r.fEndPoint.fY, all0.fY)};
    cells[rankOf[i]] = C;
    queries.push_back({keyOf(c, sx, sy), rankOf[i], C.x0, C.x1, C.y0, C.y1});
  }
  rankOf = {};
  std::sort(queries.begin(), queries.end(), [](const TQuery& a, const TQuery& b) {
    return a.key < b.key || (a.key == b.key && a.k < b.k);
  });
  // The lists: one per distinct key, numbered in key order.
  std::vector<uint32_t> queryList(m);
  std::vector<uint64_t> cellKey;
  for (size_t q = 0; q < m; ++q) {
    if (q == 0 || queries[q].key != queries[q - 1].key) cellKey.push_back(queries[q].key);
    queryList[queries[q].k] = static_cast<uint32_t>(cellKey.size() - 1);
  }
  const size_t nLists = cellKey.size();
  // The first list whose key is not below v, searched by galloping out from list h.
  auto seek = [&](uint64_t v, size_t h) -> size_t {
    size_t lo = 0, hi = nLists;
    if (h >= nLists) h = nLists - 1;
    if (cellKey[h] < v) {
      size_t b = 1;
      while (h + b < nLists && cellKey[h + b] < v) b *= 2;
      lo = h + b / 2 + 1, hi = std::min(h + b, nLists);
    } else {
      size_t b = 1;
      while (b <= h && cellKey[h - b] >= v) b *= 2;
      lo = b <= h ? h - b + 1 : 0, hi = h - b / 2;
    }
    return static_cast<size_t>(std::lower_bound(cellKey.begin() + static_cast<ptrdiff_t>(lo),
                                                cellKey.begin() + static_cast<ptrdiff_t>(hi), v) -
                               cellKey.begin());
  };
  // Each element's cells that some element looks in: counted, then listed, the elements
  // taken in the order of their start cells; each row of an element's box is sought from
  // where the same row was found for the element before.
  std::vector<uint32_t> first(nLists + 1, 0), big;
  std::vector<uint8_t> isBig(m, 0), hasEarlier(m, 0);
  std::vector<uint32_t> entries;
  {
    std::vector<size_t> hints(2 * c_nMaxCells + 1, 0);
    auto listed = [&](size_t q, auto&& fn) {
      const TQuery& Q = queries[q];
      const uint64_t x0 = Q.x0, x1 = Q.x1, y0 = Q.y0, y1 = Q.y1, k = Q.k;
      if (x1 < x0 || y1 < y0 || (x1 - x0 + 1) * (y1 - y0 + 1) > c_nMaxCells) return false;
      const uint64_t c = Q.key >> 62, ys = Q.key >> 31 & 0x7FFFFFFFu;
      for (uint64_t y = y0; y <= y1; ++y) {
        size_t& h = hints[std::min<uint64_t>(y + c_nMaxCells - ys, 2 * c_nMaxCells)];
        const uint64_t kEnd = keyOf(c, x1, y);
        size_t l = seek(keyOf(c, x0, y), h);
        h = l;
        for (; l < nLists && cellKey[l] <= kEnd; ++l) fn(static_cast<uint32_t>(l), k);
      }
      return true;
    };
    for (size_t q = 0; q < m; ++q)
      if (!listed(q, [&](uint32_t l, size_t) { ++first[l + 1]; })) isBig[queries[q].k] = 1;
    for (size_t l = 0; l < nLists; ++l) first[l + 1] += first[l];
    entries.resize(first[nLists]);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (size_t q = 0; q < m; ++q)
      if (!isBig[queries[q].k])
        listed(q, [&](uint32_t l, size_t k) { entries[fill[l]++] = static_cast<uint32_t>(k); });
    // Lists run in the order of length, so an element reads only the ones before it, of
    // which it skips those dropped: exactly the kept elements that a grid of kept elements
    // would have held at its turn.
    for (size_t l = 0; l < nLists; ++l) {
      uint32_t *a = entries.data() + first[l], *b = entries.data() + first[l + 1];
      if (b - a > 16)
        std::sort(a, b);
      else
        for (uint32_t* p = a + 1; p < b; ++p)
          for (uint32_t* t = p; t > a && t[0] < t[-1]; --t) std::swap(t[0], t[-1]);
    }
    for (size_t k = 0; k < m; ++k)
      if (isBig[k]) big.push_back(static_cast<uint32_t>(k));
    // Whether an element's list holds one before it: most hold none, and such an element
    // is passed without a look at its list.
    for (size_t q = 0, l = 0; q < m; ++q) {
      if (q > 0 && queries[q].key != queries[q - 1].key) ++l;
      const uint32_t k = queries[q].k;
      if (first[l] < first[l + 1] && entries[first[l]] < k) hasEarlier[k] = 1;
    }
  }
  queries = {};
  std::vector<uint8_t> dropped(L.size(), 0), droppedAt(m, 0);
  size_t nDropped = 0;
  for (size_t k = 0; k < m; ++k) {
    const TDXFEntity& r = L[order[k]];
    // Whatever covers r passes within f of its start.
    const TCells& K = cells[k];
    auto covers = [&](uint32_t j) {
      if (droppedAt[j]) return false;
      if (K.ex != UINT32_MAX && !(cells[j].Holds(K.sx, K.sy) && cells[j].Holds(K.ex, K.ey)))
        return false;
      return Covers(L[order[j]], r, f);
    };
    bool bCovered = false;
    if (hasEarlier[k])
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
