// Chaining on a grid of end points. The rule compares the chain's open end with every
// record not yet placed; only records with an end point within the matching tolerance
// can be reversed or joined, so a static grid of the distinct end points (cells a little
// wider than the tolerance's diagonal) finds exactly those, and the result is the same as
// comparing with every record. Many ends at one point cost one look at the point.
#include "dxf/DXFChain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace veltrane {

double DistanceBetween(const TfPoint& a, const TfPoint& b) {
  double dx = b.fX - a.fX, dy = b.fY - a.fY;
  return std::sqrt(dx * dx + dy * dy);
}

void ReverseLine(TDXFEntity& r) {
  std::swap(r.fStartPoint, r.fEndPoint);
  if (r.EntityType == eDXFET_Arc) {
    std::swap(r.fStartAngle, r.fEndAngle);
    r.Direction = r.Direction == eAnticlockwise ? eClockwise : eAnticlockwise;
  }
}

TDXFEntity GetVertexPoint(const TDXFVertex& v, const TfPoint& S, double fBulge) {
  TDXFEntity r;
  r.fStartPoint = S;
  r.fEndPoint = v.fPoint;
  r.nEntity = v.nEntity;
  const TfPoint& V = v.fPoint;
  if (fBulge == 0.0 || BulgeIsStraight(fBulge, DistanceBetween(S, V))) {
    r.EntityType = eDXFET_Line;
    return r;
  }
  double theta = 4 * std::atan(fBulge);
  double gamma = std::atan2(V.fY - S.fY, V.fX - S.fX);
  double delta =
      theta >= 0 ? gamma + (std::numbers::pi - theta) / 2 : gamma - (std::numbers::pi + theta) / 2;
  double R = std::fabs((DistanceBetween(S, V) / 2) / std::sin(theta / 2));
  r.EntityType = eDXFET_Arc;
  r.fCentrePoint = TfPoint{S.fX + R * std::cos(delta), S.fY + R * std::sin(delta), 0.0};
  r.fRadius = R;
  r.Direction = theta >= 0 ? eAnticlockwise : eClockwise;
  return r;
}

void SortPointWindows(std::vector<TDXFEntity>& L, size_t nIndex) {
  const size_t n = L.size();
  if (n < nIndex + 4) return;
  auto d = [&](size_t a, size_t b) { return DistanceBetween(L[a].fStartPoint, L[b].fEndPoint); };
  static const int order[6][3] = {{1, 2, 3}, {1, 3, 2}, {2, 3, 1}, {2, 1, 3}, {3, 1, 2}, {3, 2, 1}};
  for (int pass = 0; pass < 5; ++pass) {
    for (size_t i = nIndex; i + 4 <= n; ++i) {
      double d01 = d(i, i + 1), d02 = d(i, i + 2), d03 = d(i, i + 3);
      double d12 = d(i + 1, i + 2), d13 = d(i + 1, i + 3), d23 = d(i + 2, i + 3);
      double len[6] = {d01 + d12 + d23, d01 + d13 + d23, d02 + d23 + d13,
                       d02 + d12 + d13, d03 + d13 + d12, d03 + d23 + d12};
      double fMin = len[0];
      for (double l : len) fMin = std::min(fMin, l);
      int chosen = 0;
      for (int k = 1; k < 6; ++k)
        if (len[k] == fMin) {
          chosen = k;
          break;
        }
      if (chosen != 0) {
        TDXFEntity p[4] = {L[i], L[i + 1], L[i + 2], L[i + 3]};
        for (int k = 0; k < 3; ++k) L[i + 1 + static_cast<size_t>(k)] = p[order[chosen][k]];
      }
      if (i + 4 == n && (chosen == 1 || chosen == 2 || chosen == 5)) std::swap(L[i + 2], L[i + 3]);
    }
  }
}

void SortPoint(std::vector<TDXFEntity>& L) {
  std::vector<TDXFEntity> points;
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  size_t w = 0;
  for (size_t i = 0; i < L.size(); ++i) {
    if (L[i].EntityType == eDXFET_Point) {
      const TfPoint& p = L[i].fStartPoint;
      if (points.empty()) {
        minX = maxX = p.fX;
        minY = maxY = p.fY;
      } else {
        minX = std::min(minX, p.fX);
        maxX = std::max(maxX, p.fX);
        minY = std::min(minY, p.fY);
        maxY = std::max(maxY, p.fY);
      }
      points.push_back(L[i]);
    } else {
      if (w != i) L[w] = L[i];
      ++w;
    }
  }
  const size_t nIndex = w;
  bool bSortX = (maxX - minX) >= (maxY - minY);
  // A bubble sort that only exchanges on strictly smaller values is a stable sort.
  std::stable_sort(
      points.begin(), points.end(), [bSortX](const TDXFEntity& a, const TDXFEntity& b) {
        return bSortX ? a.fStartPoint.fX < b.fStartPoint.fX : a.fStartPoint.fY < b.fStartPoint.fY;
      });
  std::copy(points.begin(), points.end(), L.begin() + static_cast<ptrdiff_t>(nIndex));
  SortPointWindows(L, nIndex);
}

namespace {

// The chaining state of one layer, in flat arrays indexed by record and by end point.
//
// A step at the chain's open end q first turns round every waiting record whose nearer end
// lies in q's tolerance box, so that end faces the chain; then the nearest facing end joins.
// Such a turn sets the record's orientation outright (whatever it was), so only the latest
// step that turned a record matters. For a record whose ends lie far apart (further than
// two search widths), a step turns it exactly when one of its ends lies in the box, and so
// every such record at an end point turns alike: the point keeps the time and kind of the
// last step whose box held it, and a record's orientation is read from its two points when
// it is needed. A star of ten thousand lines or a stack of copies either way round then
// costs a look at one point per step instead of a look at every record there. Records of
// no length never turn; short records (both ends near one another) are turned one by one
// as the rule says.
class TChainEnds {
 public:
  static constexpr uint32_t c_nNone = UINT32_MAX;

  // Nothing is indexed when no two ends can meet (bCanMatch false).
  TChainEnds(std::vector<TDXFEntity>& L, bool bCanMatch, double fMatchLimit, double w)
      : m_L(L), m_fMatch(fMatchLimit), m_w(w) {
    const size_t n = L.size();
    m_A.resize(n);
    m_B.resize(n);
    m_Kind.assign(n, eShort);
    m_bPlaced.assign(n, 0);
    m_bRev.assign(n, 0);
    m_Stamp.assign(n, 0);
    bool bFinite = std::isfinite(w);
    for (size_t i = 0; i < n; ++i) {
      m_A[i] = L[i].fStartPoint;
      m_B[i] = L[i].fEndPoint;
      bFinite = bFinite && std::isfinite(m_A[i].fX) && std::isfinite(m_A[i].fY) &&
                std::isfinite(m_B[i].fX) && std::isfinite(m_B[i].fY);
    }
    if (!bCanMatch) return;
    if (!bFinite) {
      // Not from a reader: every record is near every end, and the rule runs as written.
      m_bAllNear = true;
      return;
    }
    for (size_t i = 0; i < n; ++i) {
      if (m_A[i].fX == m_B[i].fX && m_A[i].fY == m_B[i].fY)
        m_Kind[i] = eStill;
      else if (DistanceBetween(m_A[i], m_B[i]) > 4 * w)
        m_Kind[i] = eFar;
    }
    BuildPoints();
    BuildCells(std::max(w, m_fMaxAbs * 1e-15 * 4));
  }

  bool Placed(uint32_t i) const { return m_bPlaced[i] != 0; }

  // Places record i in sequence nSeq, turned as the steps so far have left it.
  void Take(uint32_t i, int32_t nSeq) {
    if (Reversed(i)) ReverseLine(m_L[i]);
    m_bPlaced[i] = 1;
    m_L[i].bSortedFlag = true;
    m_L[i].nSequence = nSeq;
  }

  // One step of growth at q: bTail looks for a record starting at q, otherwise for one
  // ending there. Returns the record that joins, or c_nNone.
  uint32_t Grow(const TfPoint& q, bool bTail) {
    ++m_nTime;
    m_Near.clear();
    if (m_bAllNear) return GrowByRule(q, bTail);
    CollectNear(q);
    for (uint32_t p : m_Near)
      if (PointsMatch(m_Pt[p], q, m_fMatch)) {
        m_Claim[p] = m_nTime;
        m_bClaimTail[p] = bTail;
      }
    m_bFound = false;
    // Short records: the rule, record by record.
    for (uint32_t p : m_Near)
      for (uint32_t k = m_ShortFirst[p]; k < m_ShortFirst[p + 1]; ++k) {
        const uint32_t i = m_Short[k];
        if (m_bPlaced[i] || m_Stamp[i] == m_nTime) continue;
        m_Stamp[i] = m_nTime;
        const TfPoint& J = TurnTowards(i, q, bTail);
        Consider(DistanceBetween(J, q), i, J);
      }
    // Points in the box: every record there faces q; the first one waiting is the candidate.
    for (uint32_t p : m_Near) {
      if (m_Claim[p] != m_nTime) continue;
      const uint32_t i = FirstWaiting(p);
      if (i != c_nNone) Consider(DistanceBetween(m_Pt[p], q), i, m_Pt[p]);
    }
    // Points near but outside the box: only records that already face q, and only when
    // nearer than what was found.
    for (uint32_t p : m_Near) {
      if (m_Claim[p] == m_nTime) continue;
      const double d = DistanceBetween(m_Pt[p], q);
      if (m_bFound && d > m_fBest) continue;
      FirstWaiting(p);
      for (uint32_t k = m_Cursor[p]; k < m_ListFirst[p + 1]; ++k) {
        const uint32_t i = m_List[k];
        if (m_bPlaced[i]) continue;
        if (m_Kind[i] == eStill || (bTail ? StartPoint(i) : EndPoint(i)) == p) {
          Consider(d, i, m_Pt[p]);
          break;
        }
      }
    }
    if (!m_bFound || !PointsMatch(m_BestPoint, q, m_fMatch)) return c_nNone;
    return m_nBest;
  }

 private:
  enum EKind : uint8_t { eStill = 0, eFar = 1, eShort = 2 };

  bool Reversed(uint32_t i) const {
    if (m_Kind[i] == eShort) return m_bRev[i] != 0;
    if (m_Kind[i] == eStill) return false;
    const uint32_t a = m_PtOfA[i], b = m_PtOfB[i];
    if (m_Claim[a] == 0 && m_Claim[b] == 0) return false;
    // The later step decides: a tail step makes its point the start, a head step the end.
    return m_Claim[a] > m_Claim[b] ? !m_bClaimTail[a] : m_bClaimTail[b] != 0;
  }
  const TfPoint& StartOf(uint32_t i) const { return Reversed(i) ? m_B[i] : m_A[i]; }
  const TfPoint& EndOf(uint32_t i) const { return Reversed(i) ? m_A[i] : m_B[i]; }
  uint32_t StartPoint(uint32_t i) const { return Reversed(i) ? m_PtOfB[i] : m_PtOfA[i]; }
  uint32_t EndPoint(uint32_t i) const { return Reversed(i) ? m_PtOfA[i] : m_PtOfB[i]; }

  void Consider(double d, uint32_t i, const TfPoint& at) {
    if (!m_bFound || d < m_fBest || (d == m_fBest && i < m_nBest)) {
      m_bFound = true;
      m_fBest = d;
      m_nBest = i;
      m_BestPoint = at;
    }
  }

  // The lowest waiting record of no length or far ends at point p (the list is ascending
  // and the cursor only passes placed records).
  uint32_t FirstWaiting(uint32_t p) {
    uint32_t& k = m_Cursor[p];
    while (k < m_ListFirst[p + 1] && m_bPlaced[m_List[k]]) ++k;
    return k < m_ListFirst[p + 1] ? m_List[k] : c_nNone;
  }

  // The rule over every waiting record, in list order (coordinates that are not finite).
  // Record i turned round when its nearer end lies at the open end q of the chain (the end
  // that would join it: its end for the head, its start for the tail); the end of it that
  // would then meet q.
  const TfPoint& TurnTowards(uint32_t i, const TfPoint& q, bool bTail) {
    const TfPoint &S = StartOf(i), &E = EndOf(i);
    const double ds = DistanceBetween(S, q), de = DistanceBetween(E, q);
    if (bTail ? (de < ds && PointsMatch(E, q, m_fMatch)) : (ds < de && PointsMatch(S, q, m_fMatch))) m_bRev[i] ^= 1u;
    return bTail ? StartOf(i) : EndOf(i);
  }

  uint32_t GrowByRule(const TfPoint& q, bool bTail) {
    m_bFound = false;
    for (uint32_t i = 0; i < m_L.size(); ++i) {
      if (m_bPlaced[i]) continue;
      const TfPoint& J = TurnTowards(i, q, bTail);
      const double d = DistanceBetween(J, q);
      if (!m_bFound || d < m_fBest) {
        m_bFound = true;
        m_fBest = d;
        m_nBest = i;
        m_BestPoint = J;
      }
    }
    if (!m_bFound || !PointsMatch(m_BestPoint, q, m_fMatch)) return c_nNone;
    return m_nBest;
  }

  static uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return h;
  }
  static uint64_t PointHash(double x, double y) {
    x += 0.0;  // -0 and 0 are one point
    y += 0.0;
    uint64_t ux = 0, uy = 0;
    std::memcpy(&ux, &x, sizeof ux);
    std::memcpy(&uy, &y, sizeof uy);
    return Mix(ux * 0x9E3779B97F4A7C15ull ^ Mix(uy));
  }

  // Distinct end points, and per point the records ending there: those of no length or
  // with far ends in one ascending list, short ones in another.
  void BuildPoints() {
    const size_t n = m_L.size();
    m_PtOfA.resize(n);
    m_PtOfB.resize(n);
    size_t cap = 16;
    while (cap < 4 * n) cap <<= 1;
    std::vector<uint32_t> slots(cap, c_nNone);
    m_Pt.reserve(n + 1);
    auto pointOf = [&](const TfPoint& v) {
      size_t mask = cap - 1, s = PointHash(v.fX, v.fY) & mask;
      while (slots[s] != c_nNone) {
        const TfPoint& u = m_Pt[slots[s]];
        if (u.fX == v.fX && u.fY == v.fY) return slots[s];
        s = (s + 1) & mask;
      }
      slots[s] = static_cast<uint32_t>(m_Pt.size());
      m_Pt.push_back(v);
      m_fMaxAbs = std::max({m_fMaxAbs, std::fabs(v.fX), std::fabs(v.fY)});
      return slots[s];
    };
    for (size_t i = 0; i < n; ++i) {
      m_PtOfA[i] = pointOf(m_A[i]);
      m_PtOfB[i] = m_Kind[i] == eStill ? m_PtOfA[i] : pointOf(m_B[i]);
    }
    slots = {};
    const size_t nPts = m_Pt.size();
    m_Claim.assign(nPts, 0);
    m_bClaimTail.assign(nPts, 0);
    m_ListFirst.assign(nPts + 1, 0);
    m_ShortFirst.assign(nPts + 1, 0);
    for (size_t i = 0; i < n; ++i) {
      auto& first = m_Kind[i] == eShort ? m_ShortFirst : m_ListFirst;
      ++first[m_PtOfA[i] + 1];
      if (m_Kind[i] != eStill) ++first[m_PtOfB[i] + 1];
    }
    for (size_t p = 0; p < nPts; ++p) {
      m_ListFirst[p + 1] += m_ListFirst[p];
      m_ShortFirst[p + 1] += m_ShortFirst[p];
    }
    m_List.resize(m_ListFirst[nPts]);
    m_Short.resize(m_ShortFirst[nPts]);
    m_Cursor.assign(m_ListFirst.begin(), m_ListFirst.end() - 1);
    std::vector<uint32_t> fill(m_ShortFirst.begin(), m_ShortFirst.end() - 1);
    for (uint32_t i = 0; i < n; ++i) {
      const bool bShort = m_Kind[i] == eShort;
      auto& list = bShort ? m_Short : m_List;
      auto& at = bShort ? fill : m_Cursor;
      list[at[m_PtOfA[i]]++] = i;
      if (m_Kind[i] != eStill) list[at[m_PtOfB[i]]++] = i;
    }
    m_Cursor.assign(m_ListFirst.begin(), m_ListFirst.end() - 1);
  }

  int64_t CellOf(double v) const {
    double c = std::floor(v / m_fCell);
    if (!(c > -4e18)) return -4'000'000'000'000'000'000;
    if (c > 4e18) return 4'000'000'000'000'000'000;
    return static_cast<int64_t>(c);
  }
  static uint64_t CellHash(int64_t x, int64_t y) {
    return Mix(static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ Mix(static_cast<uint64_t>(y)));
  }

  // The points in square cells a little wider than the search, each cell's points chained.
  void BuildCells(double fCell) {
    m_fCell = fCell;
    const size_t nPts = m_Pt.size();
    size_t cap = 16;
    while (cap < 2 * nPts) cap <<= 1;
    m_Cells.assign(cap, TCell());
    m_NextInCell.assign(nPts, c_nNone);
    for (uint32_t p = 0; p < nPts; ++p) {
      const int64_t cx = CellOf(m_Pt[p].fX), cy = CellOf(m_Pt[p].fY);
      size_t mask = cap - 1, s = CellHash(cx, cy) & mask;
      while (m_Cells[s].nHead != c_nNone && (m_Cells[s].cx != cx || m_Cells[s].cy != cy))
        s = (s + 1) & mask;
      if (m_Cells[s].nHead == c_nNone) m_Cells[s].cx = cx, m_Cells[s].cy = cy;
      m_NextInCell[p] = m_Cells[s].nHead;
      m_Cells[s].nHead = p;
    }
  }

  void CollectNear(const TfPoint& q) {
    const int64_t x0 = CellOf(q.fX - m_w), x1 = CellOf(q.fX + m_w);
    const int64_t y0 = CellOf(q.fY - m_w), y1 = CellOf(q.fY + m_w);
    const size_t mask = m_Cells.size() - 1;
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        size_t s = CellHash(cx, cy) & mask;
        while (m_Cells[s].nHead != c_nNone && (m_Cells[s].cx != cx || m_Cells[s].cy != cy))
          s = (s + 1) & mask;
        for (uint32_t p = m_Cells[s].nHead; p != c_nNone; p = m_NextInCell[p]) m_Near.push_back(p);
      }
  }

  struct TCell {
    int64_t cx = 0, cy = 0;
    uint32_t nHead = c_nNone;
  };

  std::vector<TDXFEntity>& m_L;
  const double m_fMatch, m_w;
  double m_fCell = 1.0, m_fMaxAbs = 0.0;
  bool m_bAllNear = false;
  // Per record: its ends as read, kind, state and end points.
  std::vector<TfPoint> m_A, m_B;
  std::vector<EKind> m_Kind;
  std::vector<uint8_t> m_bPlaced, m_bRev;
  std::vector<uint32_t> m_Stamp, m_PtOfA, m_PtOfB;
  // Per point: position, the last step whose box held it, its records.
  std::vector<TfPoint> m_Pt;
  std::vector<uint32_t> m_Claim;
  std::vector<uint8_t> m_bClaimTail;
  std::vector<uint32_t> m_ListFirst, m_List, m_Cursor, m_ShortFirst, m_Short;
  std::vector<TCell> m_Cells;
  std::vector<uint32_t> m_NextInCell;
  // Per step.
  uint32_t m_nTime = 0;
  std::vector<uint32_t> m_Near;
  bool m_bFound = false;
  double m_fBest = 0.0;
  uint32_t m_nBest = 0;
  TfPoint m_BestPoint;
};

}  // namespace

int32_t SortList(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& Vertices,
                 double fMatchLimit, double fCoincidenceLimit, int32_t nSequence,
                 TIntList& Squences, TProgressStage* pStage) {
  SortPoint(L);
  const size_t n = L.size();
  for (auto& r : L) r.bSortedFlag = false;
  const bool bCanMatch = fMatchLimit > 0.0 && n > 1;
  // Every start within the tolerance box lies within its diagonal; a little more covers
  // rounding at the edge of the search square.
  double fMaxAbs = 0.0;
  for (const auto& r : L)
    fMaxAbs = std::max({fMaxAbs, std::fabs(r.fStartPoint.fX), std::fabs(r.fStartPoint.fY),
                        std::fabs(r.fEndPoint.fX), std::fabs(r.fEndPoint.fY)});
  const double w = fMatchLimit * std::sqrt(2.0) * (1 + 1e-9) + fMaxAbs * 1e-15;
  TChainEnds ends(L, bCanMatch, fMatchLimit, w);

  // The sequences one after another in one array; a sequence's head grows in a scratch
  // array and is put before the rest when the sequence is complete.
  std::vector<uint32_t> order, head;
  order.reserve(n);
  int32_t counter = nSequence;
  for (uint32_t first = 0; first < n; ++first) {
    if (pStage) pStage->Step(first);
    if (ends.Placed(first)) continue;
    ends.Take(first, counter);
    head.clear();
    const size_t nAt = order.size();
    order.push_back(first);
    if (bCanMatch && L[first].EntityType != eDXFET_Point) {
      uint32_t g = 0;
      while ((g = ends.Grow(L[order.back()].fEndPoint, true)) != TChainEnds::c_nNone) {
        ends.Take(g, counter);
        order.push_back(g);
      }
      uint32_t h = first;
      while ((g = ends.Grow(L[h].fStartPoint, false)) != TChainEnds::c_nNone) {
        ends.Take(g, counter);
        head.push_back(g);
        h = g;
      }
    }
    if (!head.empty()) {
      order.insert(order.begin() + static_cast<ptrdiff_t>(nAt), head.rbegin(), head.rend());
    }
    Squences.Add(counter);
    ++counter;
  }
  std::vector<TDXFEntity> out;
  out.reserve(n);
  for (uint32_t i : order) out.push_back(L[i]);
  L = std::move(out);
  AddPolyline(L, Vertices, fCoincidenceLimit);
  return counter;
}

void AddPolyline(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V,
                 double fCoincidenceLimit) {
  bool bAny = false;
  for (const auto& r : L) bAny = bAny || r.EntityType == eDXFET_PolyLine;
  if (!bAny) return;
  std::vector<TDXFEntity> out;
  out.reserve(L.size());
  for (const auto& r : L) {
    if (r.EntityType != eDXFET_PolyLine) {
      out.push_back(r);
      continue;
    }
    if (r.nFirstVertex < 0 || r.nVertexCount <= 0) continue;
    const size_t first = static_cast<size_t>(r.nFirstVertex);
    const size_t last = first + static_cast<size_t>(r.nVertexCount) - 1;
    auto add = [&](const TDXFVertex& v, TfPoint& from, double fBulge) {
      TDXFEntity s = GetVertexPoint(v, from, fBulge);
      s.nSequence = r.nSequence;
      s.nLayer = r.nLayer;
      s.bSortedFlag = true;
      from = s.fEndPoint;
      out.push_back(s);
    };
    TfPoint from = r.fStartPoint;
    // A first vertex equal to the start also counts when the tolerance is 0.
    bool bForward =
        PointsMatch(V[first].fPoint, r.fStartPoint, fCoincidenceLimit) ||
        (V[first].fPoint.fX == r.fStartPoint.fX && V[first].fPoint.fY == r.fStartPoint.fY);
    if (bForward) {
      double fBulge = V[first].fBulge;
      for (size_t i = first + 1; i <= last; ++i) {
        add(V[i], from, fBulge);
        fBulge = V[i].fBulge;
      }
    } else {
      for (size_t i = last; i-- > first;) add(V[i], from, -V[i].fBulge);
    }
  }
  L = std::move(out);
}

void ReverseRecordRange(std::vector<TDXFEntity>& L, size_t nFirst, size_t nLast) {
  std::reverse(L.begin() + static_cast<ptrdiff_t>(nFirst),
               L.begin() + static_cast<ptrdiff_t>(nLast) + 1);
  for (size_t i = nFirst; i <= nLast; ++i) {
    std::swap(L[i].fStartPoint, L[i].fEndPoint);
    L[i].Direction = L[i].Direction == eClockwise ? eAnticlockwise : eClockwise;
  }
}

}  // namespace veltrane
