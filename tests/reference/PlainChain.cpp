// Literal chaining: bubble sort of points, four-point windows, tail and head growth by
// scanning all records after the current one, polyline expansion by searching the
// vertex list, and the travel ordering by scanning all sequences at every step.
#include "tests/reference/PlainChain.h"

#include <algorithm>
#include <cmath>

#include "dxf/DXFChain.h"

namespace veltrane::reference {

void PlainSortPoint(std::vector<TDXFEntity>& L) {
  // Move every point to the end, keeping the order of both groups.
  std::vector<TDXFEntity> others, points;
  for (const auto& r : L) (r.EntityType == eDXFET_Point ? points : others).push_back(r);
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const TfPoint& p = points[i].fStartPoint;
    if (i == 0) {
      minX = maxX = p.fX;
      minY = maxY = p.fY;
    }
    minX = std::min(minX, p.fX);
    maxX = std::max(maxX, p.fX);
    minY = std::min(minY, p.fY);
    maxY = std::max(maxY, p.fY);
  }
  size_t nIndex = others.size();
  L = others;
  L.insert(L.end(), points.begin(), points.end());
  bool bSortX = (maxX - minX) >= (maxY - minY);
  auto key = [&](size_t i) { return bSortX ? L[i].fStartPoint.fX : L[i].fStartPoint.fY; };
  bool bExchanged = true;
  while (bExchanged && L.size() > nIndex + 1) {
    bExchanged = false;
    for (size_t i = L.size() - 1; i > nIndex; --i)
      if (key(i) < key(i - 1)) {
        std::swap(L[i], L[i - 1]);
        bExchanged = true;
      }
  }
  SortPointWindows(L, nIndex);
}

int32_t PlainSortList(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fLimit,
                      double fCoincidenceLimit, int32_t nSequence, TIntList& Squences) {
  PlainSortPoint(L);
  for (auto& r : L) r.bSortedFlag = false;
  int32_t counter = nSequence;
  for (size_t r = 0; r < L.size(); ++r) {
    L[r].bSortedFlag = true;
    L[r].nSequence = counter;
    // Grows the sequence at its tail (the end of record r) or at its head (the start of its
    // first record) by the nearest record after r, turned round when its other end is the
    // nearer and matches; false when the nearest does not match there.
    auto grow = [&](bool bTail) {
      size_t h = r;
      while (!bTail && h > 0 && L[h - 1].nSequence == counter && L[h - 1].bSortedFlag) --h;
      const TfPoint q = bTail ? L[r].fEndPoint : L[h].fStartPoint;
      size_t best = SIZE_MAX;
      for (size_t t = r + 1; t < L.size(); ++t) {
        TDXFEntity& T = L[t];
        // The end that joins q as the record lies (its start at the tail), and the other.
        const TfPoint &join = bTail ? T.fStartPoint : T.fEndPoint, &other = bTail ? T.fEndPoint : T.fStartPoint;
        const double dJoin = DistanceBetween(join, q), dOther = DistanceBetween(other, q);
        if (dOther < dJoin && PointsMatch(other, q, fLimit)) {
          ReverseLine(T);
          T.fDistance = dOther;
        } else {
          T.fDistance = dJoin;
        }
        if (best == SIZE_MAX || T.fDistance < L[best].fDistance) best = t;
      }
      if (best == SIZE_MAX || !PointsMatch(bTail ? L[best].fStartPoint : L[best].fEndPoint, q, fLimit)) return false;
      TDXFEntity moved = L[best];
      moved.bSortedFlag = true;
      moved.nSequence = counter;
      L.erase(L.begin() + static_cast<ptrdiff_t>(best));
      L.insert(L.begin() + static_cast<ptrdiff_t>(bTail ? r + 1 : h), moved);
      ++r;
      return true;
    };
    if (L[r].EntityType != eDXFET_Point) {
      while (grow(true)) {}
      while (grow(false)) {}
    }
    Squences.Add(counter);
    ++counter;
  }
  for (auto& r : L) r.fDistance = 0.0;  // scratch, not part of the result
  PlainAddPolyline(L, V, fCoincidenceLimit);
  return counter;
}

void PlainAddPolyline(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fLimit) {
  for (size_t p = 0; p < L.size();) {
    if (L[p].EntityType != eDXFET_PolyLine) {
      ++p;
      continue;
    }
    const TDXFEntity poly = L[p];
    size_t first = V.size();
    for (size_t i = 0; i < V.size(); ++i)
      if (V[i].nEntity == poly.nEntity) {
        first = i;
        break;
      }
    L.erase(L.begin() + static_cast<ptrdiff_t>(p));
    if (first == V.size()) continue;
    size_t last = first;
    while (last + 1 < V.size() && V[last + 1].nEntity == poly.nEntity) ++last;
    std::vector<TDXFEntity> made;
    TfPoint from = poly.fStartPoint;
    auto add = [&](const TDXFVertex& v, double b) {
      TDXFEntity s = GetVertexPoint(v, from, b);
      s.nSequence = poly.nSequence;
      s.nLayer = poly.nLayer;
      s.bSortedFlag = true;
      from = s.fEndPoint;
      made.push_back(s);
    };
    bool bForward = PointsMatch(V[first].fPoint, poly.fStartPoint, fLimit) ||
                    (V[first].fPoint.fX == poly.fStartPoint.fX && V[first].fPoint.fY == poly.fStartPoint.fY);
    if (bForward) {
      double b = V[first].fBulge;
      for (size_t i = first + 1; i <= last; ++i) {
        add(V[i], b);
        b = V[i].fBulge;
      }
    } else {
      for (size_t i = last; i-- > first;) add(V[i], -V[i].fBulge);
    }
    L.insert(L.begin() + static_cast<ptrdiff_t>(p), made.begin(), made.end());
    p += made.size();
  }
}

void PlainQueueSeq(std::vector<TDXFEntity>& L, const TIntList& Squences, int32_t n_seq, double fClosedLimit,
                   const std::map<int32_t, std::vector<int32_t>>* pContainers) {
  auto firstOf = [&](int32_t s) {
    for (size_t i = 0; i < L.size(); ++i)
      if (L[i].nSequence == s) return i;
    return SIZE_MAX;
  };
  auto lastOf = [&](int32_t s) {
    for (size_t i = L.size(); i-- > 0;)
      if (L[i].nSequence == s) return i;
    return SIZE_MAX;
  };
  std::vector<int32_t> pending, queue;
  for (int32_t k = 0; k < Squences.Count(); ++k)
    if (firstOf(Squences.Get(k)) != SIZE_MAX) pending.push_back(Squences.Get(k));
  // With containers: a path may come next only once every path inside it is queued; when
  // none may, all may from then on.
  std::map<int32_t, int> inside;
  if (pContainers)
    for (int32_t s : pending)
      if (auto it = pContainers->find(s); it != pContainers->end())
        for (int32_t b : it->second) ++inside[b];
  TfPoint O{0, 0};
  struct TCand {
    int32_t seq;
    bool bReverse;
    double dist;
    TfPoint point;
  };
  while (!pending.empty()) {
    std::vector<int32_t> free;
    for (int32_t s : pending)
      if (inside[s] == 0) free.push_back(s);
    if (free.empty()) {
      inside.clear();
      continue;
    }
    TCand best{}, second{};
    for (size_t k = 0; k < free.size(); ++k) {
      int32_t s = free[k];
      TfPoint a = L[firstOf(s)].fStartPoint, b = L[lastOf(s)].fEndPoint;
      double d1 = DistanceBetween(O, a), d2 = DistanceBetween(O, b);
      if (a == b || PointsMatch(a, b, fClosedLimit)) d2 = d1;
      if (k == 0) {
        best = d1 <= d2 ? TCand{s, false, d1, a} : TCand{s, true, d2, b};
        second = d1 <= d2 ? TCand{s, true, d2, b} : TCand{s, false, d1, a};
      }
      if (d1 > d2 && d2 < best.dist) {
        second = best;
        best = TCand{s, true, d2, b};
      } else if (d1 <= d2 && d1 < best.dist) {
        second = best;
        best = TCand{s, false, d1, a};
      }
    }
    double m1 = 0, m2 = 0;
    bool bAny = false;
    for (int32_t s : free) {
      if (s == best.seq || s == second.seq) continue;
      TfPoint a = L[firstOf(s)].fStartPoint, b = L[lastOf(s)].fEndPoint;
      double x = std::min(DistanceBetween(best.point, a), DistanceBetween(best.point, b));
      double y = std::min(DistanceBetween(second.point, a), DistanceBetween(second.point, b));
      if (!bAny || x < m1) m1 = x;
      if (!bAny || y < m2) m2 = y;
      bAny = true;
    }
    double f1 = best.dist + m1, f2 = second.dist + m2;
    TCand c = (f1 < f2 || (f1 == f2 && best.seq == second.seq)) ? best : second;
    if (c.bReverse) ReverseRecordRange(L, firstOf(c.seq), lastOf(c.seq));
    queue.push_back(c.seq);
    pending.erase(std::find(pending.begin(), pending.end(), c.seq));
    if (pContainers)
      if (auto it = pContainers->find(c.seq); it != pContainers->end())
        for (int32_t b : it->second)
          if (inside[b] > 0) --inside[b];
    O = L[lastOf(c.seq)].fEndPoint;
  }
  std::vector<TDXFEntity> out;
  for (size_t q = 0; q < queue.size(); ++q)
    for (const auto& r : L)
      if (r.nSequence == queue[q]) {
        out.push_back(r);
        out.back().nSequence = n_seq + static_cast<int32_t>(q);
      }
  L = out;
}

}  // namespace veltrane::reference
