// Chaining on a grid of end points. The rule compares the chain's open end with every
// record not yet placed; only records with an end point within the matching tolerance
// can be reversed or joined, so a static grid of the distinct end points (cells several
// times the tolerance's diagonal) finds exactly those, and the result is the same as
// comparing with every record. Many ends at one point cost one look at the point.
#include "dxf/DXFChain.h"
#include "model/LargeArrays.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
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
  r.fCentrePoint = TfPoint{S.fX + R * std::cos(delta), S.fY + R * std::sin(delta)};
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

// Where a layer's record ends lie, and whether every coordinate is a number.
struct TExtent {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
  bool bFinite = true;
};

// key ascending, val carried along; stable, so equal keys keep their order. Digits of
// eight bits (a pass scatters into 256 places, which the caches follow where 2048 did
// not), their counts all taken in one pass over the keys.
void RadixSort(std::vector<uint64_t>& key, std::vector<uint32_t>& val) {
  const size_t n = key.size();
  uint64_t nAll = 0;
  for (uint64_t k : key) nAll |= k;
  const int nBits = std::bit_width(nAll);
  if (nBits == 0) return;
  constexpr int c_nDigit = 8;
  constexpr size_t c_nBuckets = size_t{1} << c_nDigit;
  const int nPasses = (nBits + c_nDigit - 1) / c_nDigit;
  std::vector<uint32_t> counts(static_cast<size_t>(nPasses) * c_nBuckets, 0u);
  for (uint64_t k : key)
    for (int d = 0; d < nPasses; ++d) ++counts[static_cast<size_t>(d) * c_nBuckets + ((k >> (d * c_nDigit)) & (c_nBuckets - 1))];
  std::vector<uint64_t> key2;
  std::vector<uint32_t> val2;
  for (int d = 0; d < nPasses; ++d) {
    uint32_t* count = counts.data() + static_cast<size_t>(d) * c_nBuckets;
    const int shift = d * c_nDigit;
    if (count[(key[0] >> shift) & (c_nBuckets - 1)] == n) continue;  // one digit throughout
    if (key2.empty()) {
      AssignLarge(key2, n, uint64_t{0});
      AssignLarge(val2, n, 0u);
    }
    uint32_t nAt = 0;
    for (size_t b = 0; b < c_nBuckets; ++b) {
      const uint32_t m = count[b];
      count[b] = nAt;
      nAt += m;
    }
    for (size_t j = 0; j < n; ++j) {
      const uint32_t to = count[(key[j] >> shift) & (c_nBuckets - 1)]++;
      key2[to] = key[j];
      val2[to] = val[j];
    }
    key.swap(key2);
    val.swap(val2);
  }
}

// The chaining state of one layer, in two flat arrays: one entry per record and one per
// distinct end point, each holding what a step reads of it, so that a step costs a few
// cache lines however large the layer.
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
//
// The records themselves are only read: the turn each record was taken with is kept here
// and applied when the chained list is written out. Inside, records are laid out by
// place (slots in an order of their starts along a Morton curve), so that the records a
// chain visits one after another, and their points, mostly lie near one another in
// memory whatever the order of the drawing; each slot keeps its record's number, which
// still decides ties.
class TChainEnds {
 public:
  static constexpr uint32_t c_nNone = UINT32_MAX;

  // Nothing is indexed when no two ends can meet (bCanMatch false). e: the extent of the
  // records' ends.
  TChainEnds(const std::vector<TDXFEntity>& L, bool bCanMatch, double fMatchLimit, double w, const TExtent& e)
      : m_L(L), m_fMatch(fMatchLimit), m_w(w) {
    const size_t n = L.size();
    AssignLarge(m_Rec, n, TRec{});
    for (uint32_t i = 0; i < n; ++i) m_Rec[i].nOrig = i;
    if (!bCanMatch) return;
    if (!std::isfinite(w) || !e.bFinite) {
      // Not from a reader: every record is near every end, and the rule runs as written.
      m_bAllNear = true;
      return;
    }
    const double x0 = e.x0, y0 = e.y0, x1 = e.x1, y1 = e.y1;
    // Cells sixteen search widths wide (so that most searches stay within the point's own
    // cell), and never so many across that their numbers need more than 31 bits.
    const double fMaxAbs = std::max({std::fabs(x0), std::fabs(x1), std::fabs(y0), std::fabs(y1)});
    constexpr double c_fAcross = 1.0 / double(1u << 30);
    m_fCell = std::max({16 * m_w, fMaxAbs * 1e-15 * 4, x1 * c_fAcross - x0 * c_fAcross,
                        y1 * c_fAcross - y0 * c_fAcross, 1e-300});
    m_fPerCell = 1.0 / m_fCell;
    m_cx0 = CellOf(x0), m_cy0 = CellOf(y0);
    m_nCellsX = CellOf(x1) - m_cx0, m_nCellsY = CellOf(y1) - m_cy0;
    std::vector<uint64_t> startKeys = LayOutByPlace();
    BuildPoints(startKeys);
  }

  // Records are named by slot, except where a record's number is said.
  uint32_t SlotOf(uint32_t nRecord) const { return m_Slot.empty() ? nRecord : m_Slot[nRecord]; }
  uint32_t RecordAt(uint32_t i) const { return m_Rec[i].nOrig; }
  bool Placed(uint32_t i) const { return m_Rec[i].bPlaced != 0; }
  // Whether the record in slot i was turned round when it was placed.
  bool TakenReversed(uint32_t i) const { return m_Rec[i].bTakenReversed != 0; }

  // The slots in an order to start sequences from that gives what record order gives.
  // A step reads and changes only records with an end within a search width of its open
  // end (and reads their other ends), so records whose ends lie within a search width of
  // one another, directly or through other records, form a group that no step outside it
  // reads or changes. The groups may then be chained one after another, each from its
  // lowest waiting record up, in the order of their places: a step then mostly finds what
  // it reads near what the step before it read, where record order jumps about the
  // drawing at every sequence. The groups come in the order of their first points along
  // the curve; the records of a group in ascending numbers.
  std::vector<uint32_t> StartOrder() {
    const size_t n = m_Rec.size();
    std::vector<uint32_t> order;
    if (!m_bIndexed) {
      AssignLarge(order, n, 0u);
      for (uint32_t i = 0; i < n; ++i) order[i] = i;
      return order;
    }
    // Each point's group, named by its lowest point: up[p] <= p, and a name is its own.
    const size_t nPts = m_Pt.size();
    std::vector<uint32_t> up;
    AssignLarge(up, nPts, 0u);
    for (uint32_t p = 0; p < nPts; ++p) up[p] = p;
    auto find = [&](uint32_t p) {
      while (up[p] != p) p = up[p] = up[up[p]];
      return p;
    };
    auto unite = [&](uint32_t p, uint32_t q) {
      p = find(p), q = find(q);
      if (p < q) up[q] = p;
      else if (q < p) up[p] = q;
    };
    // A group may hold more than records that can meet (it is then only chained in record
    // order over more of the drawing), never less. So a crowded cell is one group with
    // every cell its points' search boxes reach, instead of each of its points looking
    // at all the others.
    constexpr uint32_t c_nCrowd = 32;
    for (uint32_t c = 0; c < m_Cells.size(); ++c) {
      const uint32_t nFirst = m_Cells[c].nFirst, nEnd = nFirst + m_Cells[c].nCount;
      if (m_Cells[c].nCount <= c_nCrowd) {
        for (uint32_t p = nFirst; p < nEnd; ++p) {
          m_Near.clear();
          CollectNear(At(p), p);
          for (uint32_t q : m_Near) unite(p, q);
        }
        continue;
      }
      double x0 = m_Pt[nFirst].x, x1 = x0, y0 = m_Pt[nFirst].y, y1 = y0;
      for (uint32_t p = nFirst; p < nEnd; ++p) {
        unite(nFirst, p);
        x0 = std::min(x0, m_Pt[p].x), x1 = std::max(x1, m_Pt[p].x);
        y0 = std::min(y0, m_Pt[p].y), y1 = std::max(y1, m_Pt[p].y);
      }
      for (int64_t cx = CellOf(x0 - m_w); cx <= CellOf(x1 + m_w); ++cx)
        for (int64_t cy = CellOf(y0 - m_w); cy <= CellOf(y1 + m_w); ++cy) {
          const uint32_t d = SeekCell(cx, cy, c);
          if (d != c_nNone && d != c)
            for (uint32_t p = m_Cells[d].nFirst; p < m_Cells[d].nFirst + m_Cells[d].nCount; ++p) unite(nFirst, p);
        }
    }
    for (const TRec& R : m_Rec) unite(R.a, R.b);
    for (uint32_t p = 0; p < nPts; ++p) up[p] = up[up[p]];
    // The slots by group (counted first), a group's in slot order.
    std::vector<uint32_t> first;
    AssignLarge(first, nPts + 1, 0u);
    for (const TRec& R : m_Rec) ++first[up[R.a] + 1];
    for (size_t p = 0; p < nPts; ++p) first[p + 1] += first[p];
    AssignLarge(order, n, 0u);
    for (uint32_t s = 0; s < n; ++s) order[first[up[m_Rec[s].a]]++] = s;
    // first[g] is now where group g ends. Each group's records in ascending numbers.
    std::vector<uint64_t> key;
    std::vector<uint32_t> val;
    uint32_t nFrom = 0;
    for (size_t g = 0; g < nPts; ++g) {
      const uint32_t nTo = first[g];
      if (nTo - nFrom > 64) {
        key.resize(nTo - nFrom), val.resize(nTo - nFrom);
        for (uint32_t k = nFrom; k < nTo; ++k) key[k - nFrom] = m_Rec[order[k]].nOrig, val[k - nFrom] = order[k];
        RadixSort(key, val);
        std::copy(val.begin(), val.end(), order.begin() + nFrom);
      } else {
        for (uint32_t k = nFrom + 1; k < nTo; ++k)
          for (uint32_t j = k; j > nFrom && m_Rec[order[j]].nOrig < m_Rec[order[j - 1]].nOrig; --j)
            std::swap(order[j], order[j - 1]);
      }
      nFrom = nTo;
    }
    return order;
  }

  // Places the record in slot i, turned as the steps so far have left it.
  void Take(uint32_t i) {
    m_Rec[i].bTakenReversed = Reversed(i) ? 1 : 0;
    m_Rec[i].bPlaced = 1;
  }
  // The start and end of a placed record as it was placed.
  TfPoint PlacedStart(uint32_t i) const {
    const bool bRev = m_Rec[i].bTakenReversed != 0;
    if (m_bIndexed) return At(bRev ? m_Rec[i].b : m_Rec[i].a);
    return bRev ? m_L[i].fEndPoint : m_L[i].fStartPoint;
  }
  TfPoint PlacedEnd(uint32_t i) const {
    const bool bRev = m_Rec[i].bTakenReversed != 0;
    if (m_bIndexed) return At(bRev ? m_Rec[i].a : m_Rec[i].b);
    return bRev ? m_L[i].fStartPoint : m_L[i].fEndPoint;
  }

  // One step of growth at placed record i's open end: bTail looks for a record starting
  // at i's end, otherwise for one ending at its start. Returns the record that joins, or
  // c_nNone.
  uint32_t Grow(uint32_t i, bool bTail) {
    ++m_nTime;
    m_Near.clear();
    if (m_bAllNear) return GrowByRule(bTail ? PlacedEnd(i) : PlacedStart(i), bTail);
    const bool bRevI = m_Rec[i].bTakenReversed != 0;
    const uint32_t p0 = bTail == bRevI ? m_Rec[i].a : m_Rec[i].b;
    const TfPoint q = At(p0);
    CollectNear(q, p0);
    for (uint32_t p : m_Near)
      if (PointsMatch(At(p), q, m_fMatch)) {
        m_Pt[p].nClaim = m_nTime << 1 | (bTail ? 1u : 0u);
      }
    m_bFound = false;
    // Short records: the rule, a group of records with the same two ends at a time.
    for (uint32_t p : m_Near)
      for (uint32_t k = m_Pt[p].nFarEnd; k < m_Pt[p].nEnd; ++k) {
        TGroup& G = m_Groups[m_List[k]];
        if (G.nStamp == m_nTime) continue;
        G.nStamp = m_nTime;
        ConsiderGroup(G, q, bTail);
      }
    // Points in the box: every record there faces q; the first one waiting is the candidate.
    for (uint32_t p : m_Near) {
      if (!ClaimedNow(p)) continue;
      const uint32_t i = FirstWaiting(p);
      if (i != c_nNone) Consider(DistanceBetween(At(p), q), i, At(p));
    }
    // Points near but outside the box: only records that already face q, and only when
    // nearer than what was found.
    for (uint32_t p : m_Near) {
      if (ClaimedNow(p)) continue;
      const double d = DistanceBetween(At(p), q);
      if (m_bFound && d > m_fBest) continue;
      FirstWaiting(p);
      for (uint32_t k = m_Pt[p].nCursor; k < m_Pt[p].nFarEnd; ++k) {
        const uint32_t i = m_List[k];
        if (m_Rec[i].bPlaced) continue;
        if (m_Rec[i].nKind == eStill || (bTail ? StartPoint(i) : EndPoint(i)) == p) {
          Consider(d, i, At(p));
          break;
        }
      }
    }
    if (!m_bFound || !PointsMatch(m_BestPoint, q, m_fMatch)) return c_nNone;
    return m_nBest;
  }

 private:
  enum EKind : uint8_t { eStill = 0, eFar = 1, eShort = 2 };

  // Per record slot: the record's number, its two end points, kind and state.
  struct TRec {
    uint32_t a = 0, b = 0;  // its start and end as read
    uint32_t nGroup = 0;    // a short record's group
    uint32_t nOrig = 0;     // the record's number
    EKind nKind = eShort;
    uint8_t bPlaced = 0, bRev = 0, bTakenReversed = 0;
  };
  // Per distinct end point (40 bytes): where it lies, the last step whose box held it
  // (its time times two, plus one for a tail step; 0 for none), its run of the list:
  // records of no length or far ends up to nFarEnd (waiting from the cursor), then short
  // ones up to nEnd; and the points of its cell, so that a search within the cell needs
  // no look at the cell table.
  struct TPoint {
    double x = 0.0, y = 0.0;
    uint32_t nClaim = 0;
    uint32_t nCursor = 0, nFarEnd = 0, nEnd = 0;
    uint32_t nCellFirst = 0, nCellCount = 0;
  };
  bool ClaimedNow(uint32_t p) const { return m_Pt[p].nClaim >> 1 == m_nTime; }

  // Short records with the same two end points, either way round, see the same steps: a
  // step turns each of them so that its nearer end faces the step's end when that end is
  // strictly the nearer and matches, and leaves it as it was otherwise. Until the first
  // such step they lie as read; after it all of them lie alike. So a group is turned as
  // one, and of its records only the lowest waiting one of each way round can be chosen.
  // Members: those read from a to b, then those read from b to a, each ascending in
  // record number from its cursor (which passes placed records only).
  struct TGroup {
    uint32_t a = 0, b = 0;
    uint32_t nStart = c_nNone;  // where all of them start, once a step has turned them
    uint32_t nStamp = 0;        // the last step that looked at it
    uint32_t nAB = 0, nABEnd = 0, nBA = 0, nBAEnd = 0;
  };
  uint32_t FirstWaitingIn(uint32_t& nCursor, uint32_t nEnd) {
    while (nCursor < nEnd && m_Rec[m_Members[nCursor]].bPlaced) ++nCursor;
    return nCursor < nEnd ? m_Members[nCursor] : c_nNone;
  }
  void ConsiderGroup(TGroup& G, const TfPoint& q, bool bTail) {
    const uint32_t iAB = FirstWaitingIn(G.nAB, G.nABEnd), iBA = FirstWaitingIn(G.nBA, G.nBAEnd);
    if (iAB == c_nNone && iBA == c_nNone) return;
    const TfPoint A = At(G.a), B = At(G.b);
    const double da = DistanceBetween(A, q), db = DistanceBetween(B, q);
    // The end that faces q: the start for a tail step, the end for a head step.
    if (db < da && PointsMatch(B, q, m_fMatch))
      G.nStart = bTail ? G.b : G.a;
    else if (da < db && PointsMatch(A, q, m_fMatch))
      G.nStart = bTail ? G.a : G.b;
    auto facing = [&](uint32_t nStart) { return bTail == (nStart == G.a) ? G.a : G.b; };
    if (G.nStart != c_nNone) {
      const uint32_t i = iBA == c_nNone || (iAB != c_nNone && m_Rec[iAB].nOrig < m_Rec[iBA].nOrig) ? iAB : iBA;
      const uint32_t f = facing(G.nStart);
      Consider(f == G.a ? da : db, i, At(f));
      return;
    }
    if (iAB != c_nNone) Consider(bTail ? da : db, iAB, bTail ? A : B);
    if (iBA != c_nNone) Consider(bTail ? db : da, iBA, bTail ? B : A);
  }

  TfPoint At(uint32_t p) const { return TfPoint{m_Pt[p].x, m_Pt[p].y}; }

  bool Reversed(uint32_t i) const {
    const TRec& R = m_Rec[i];
    if (R.nKind == eShort) {
      if (!m_bIndexed) return R.bRev != 0;
      const uint32_t nStart = m_Groups[R.nGroup].nStart;
      return nStart != c_nNone && nStart != R.a;
    }
    if (R.nKind == eStill) return false;
    const TPoint &a = m_Pt[R.a], &b = m_Pt[R.b];
    if (a.nClaim == 0 && b.nClaim == 0) return false;
    // The later step decides: a tail step makes its point the start, a head step the end.
    // (No step holds both ends of a far record in its box.)
    return a.nClaim > b.nClaim ? (a.nClaim & 1) == 0 : (b.nClaim & 1) != 0;
  }
  TfPoint StartOf(uint32_t i) const {
    if (!m_bIndexed) return Reversed(i) ? m_L[i].fEndPoint : m_L[i].fStartPoint;
    return At(StartPoint(i));
  }
  TfPoint EndOf(uint32_t i) const {
    if (!m_bIndexed) return Reversed(i) ? m_L[i].fStartPoint : m_L[i].fEndPoint;
    return At(EndPoint(i));
  }
  uint32_t StartPoint(uint32_t i) const { return Reversed(i) ? m_Rec[i].b : m_Rec[i].a; }
  uint32_t EndPoint(uint32_t i) const { return Reversed(i) ? m_Rec[i].a : m_Rec[i].b; }

  void Consider(double d, uint32_t i, const TfPoint& at) {
    if (!m_bFound || d < m_fBest || (d == m_fBest && m_Rec[i].nOrig < m_Rec[m_nBest].nOrig)) {
      m_bFound = true;
      m_fBest = d;
      m_nBest = i;
      m_BestPoint = at;
    }
  }

  // The lowest waiting record of no length or far ends at point p (the list is ascending
  // and the cursor only passes placed records).
  uint32_t FirstWaiting(uint32_t p) {
    TPoint& P = m_Pt[p];
    while (P.nCursor < P.nFarEnd && m_Rec[m_List[P.nCursor]].bPlaced) ++P.nCursor;
    return P.nCursor < P.nFarEnd ? m_List[P.nCursor] : c_nNone;
  }

  // Record i turned round when its nearer end lies at the open end q of the chain (the end
  // that would join it: its end for the head, its start for the tail); the end of it that
  // would then meet q.
  TfPoint TurnTowards(uint32_t i, const TfPoint& q, bool bTail) {
    const TfPoint S = StartOf(i), E = EndOf(i);
    const double ds = DistanceBetween(S, q), de = DistanceBetween(E, q);
    if (bTail ? (de < ds && PointsMatch(E, q, m_fMatch)) : (ds < de && PointsMatch(S, q, m_fMatch)))
      m_Rec[i].bRev ^= 1u;
    return bTail ? StartOf(i) : EndOf(i);
  }

  // The rule over every waiting record, in list order (coordinates that are not finite).
  uint32_t GrowByRule(const TfPoint& q, bool bTail) {
    m_bFound = false;
    for (uint32_t i = 0; i < m_L.size(); ++i) {
      if (m_Rec[i].bPlaced) continue;
      const TfPoint J = TurnTowards(i, q, bTail);
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

  // Any cells will do that every lookup agrees on and that keep the order of the
  // coordinates: a multiplication does, and costs less than a division.
  int64_t CellOf(double v) const {
    double c = std::floor(v * m_fPerCell);
    if (!(c > -4e18)) return -4'000'000'000'000'000'000;
    if (c > 4e18) return 4'000'000'000'000'000'000;
    return static_cast<int64_t>(c);
  }
  static uint64_t Spread(uint64_t v) {  // the low 32 bits of v to the even bits
    v &= 0xFFFFFFFFull;
    v = (v | v << 16) & 0x0000FFFF0000FFFFull;
    v = (v | v << 8) & 0x00FF00FF00FF00FFull;
    v = (v | v << 4) & 0x0F0F0F0F0F0F0F0Full;
    v = (v | v << 2) & 0x3333333333333333ull;
    v = (v | v << 1) & 0x5555555555555555ull;
    return v;
  }
  // A cell's place along a Morton curve over the drawing's cells (numbered from its
  // lowest cell, so each fits in 31 bits).
  uint64_t CellKey(int64_t cx, int64_t cy) const {
    return Spread(static_cast<uint64_t>(cx - m_cx0)) | Spread(static_cast<uint64_t>(cy - m_cy0)) << 1;
  }
  uint64_t CellKeyOf(double x, double y) const { return CellKey(CellOf(x), CellOf(y)); }

  // The slots: records in order of their starts' cells along the Morton curve (records
  // in one cell keep the order of their numbers). Returns the slots' start cells.
  std::vector<uint64_t> LayOutByPlace() {
    const size_t n = m_Rec.size();
    std::vector<uint64_t> key;
    std::vector<uint32_t> rec;
    AssignLarge(key, n, uint64_t{0});
    AssignLarge(rec, n, 0u);
    for (uint32_t i = 0; i < n; ++i) {
      key[i] = CellKeyOf(m_L[i].fStartPoint.fX, m_L[i].fStartPoint.fY);
      rec[i] = i;
    }
    RadixSort(key, rec);
    AssignLarge(m_Slot, n, 0u);
    for (uint32_t s = 0; s < n; ++s) {
      m_Rec[s].nOrig = rec[s];
      m_Slot[rec[s]] = s;
    }
    return key;
  }

  // The distinct end points, numbered cell by cell along the Morton curve (so the points
  // of a cell stand together), and per point the records ending there: those of no length
  // or with far ends in one ascending list, short ones in another. startKeys: the slots'
  // start cells, ascending.
  void BuildPoints(std::vector<uint64_t>& startKeys) {
    m_bIndexed = true;
    const size_t n = m_Rec.size();
    // Each slot's two ends, in slot order (the records lie in the drawing's order), and
    // the kind of its record.
    struct TEnds {
      double ax, ay, bx, by;
    };
    std::vector<TEnds> ends;
    AssignLarge(ends, n, TEnds{});
    for (size_t s = 0; s < n; ++s) {
      if (s + 8 < n) PrefetchRecord(&m_L[m_Rec[s + 8].nOrig]);
      const TDXFEntity& r = m_L[m_Rec[s].nOrig];
      const TfPoint &a = r.fStartPoint, &b = r.fEndPoint;
      ends[s] = TEnds{a.fX, a.fY, b.fX, b.fY};
      m_Rec[s].nKind = a.fX == b.fX && a.fY == b.fY ? eStill : DistanceBetween(a, b) > 4 * m_w ? eFar : eShort;
    }
    // The other ends (records of no length have one point) in cell order.
    std::vector<uint64_t> endKeys;
    std::vector<uint32_t> endSlots;
    endKeys.reserve(n);
    endSlots.reserve(n);
    for (uint32_t s = 0; s < n; ++s)
      if (m_Rec[s].nKind != eStill) {
        endKeys.push_back(CellKeyOf(ends[s].bx, ends[s].by));
        endSlots.push_back(s);
      }
    RadixSort(endKeys, endSlots);
    // Both lists merged, a cell at a time; within a cell, equal points become one.
    m_Pt.reserve(n + endSlots.size());
    m_PtCell.reserve(n + endSlots.size());
    m_Cells.reserve(n + endSlots.size());
    struct TEndAt {
      double x, y;
      uint32_t nSlot;
      bool bEnd;
    };
    std::vector<TEndAt> run;
    auto place = [&](const TEndAt& e, uint32_t p) {
      TRec& R = m_Rec[e.nSlot];
      if (e.bEnd)
        R.b = p;
      else
        R.a = p;
      if (R.nKind == eStill) R.b = p;  // its end is its start
    };
    auto addPoint = [&](double x, double y) {
      TPoint& P = m_Pt.emplace_back();
      P.x = x;
      P.y = y;
      m_PtCell.push_back(static_cast<uint32_t>(m_Cells.size()));
      return static_cast<uint32_t>(m_Pt.size() - 1);
    };
    auto closeCell = [&](uint64_t key) {
      const uint32_t nFirst = static_cast<uint32_t>(m_Pt.size());
      if (run.size() <= 32) {
        for (const TEndAt& e : run) {
          uint32_t p = nFirst;
          while (p < m_Pt.size() && !(m_Pt[p].x == e.x && m_Pt[p].y == e.y)) ++p;
          place(e, p < m_Pt.size() ? p : addPoint(e.x, e.y));
        }
      } else {
        std::sort(run.begin(), run.end(),
                  [](const TEndAt& u, const TEndAt& v) { return u.x < v.x || (u.x == v.x && u.y < v.y); });
        for (size_t k = 0; k < run.size(); ++k) {
          const bool bNew = k == 0 || !(run[k].x == run[k - 1].x && run[k].y == run[k - 1].y);
          place(run[k], bNew ? addPoint(run[k].x, run[k].y) : static_cast<uint32_t>(m_Pt.size() - 1));
        }
      }
      const uint32_t nCount = static_cast<uint32_t>(m_Pt.size()) - nFirst;
      for (uint32_t p = nFirst; p < nFirst + nCount; ++p) m_Pt[p].nCellFirst = nFirst, m_Pt[p].nCellCount = nCount;
      m_Cells.push_back(TCell{key, nFirst, nCount});
      run.clear();
    };
    size_t i = 0, j = 0;
    const size_t nEnds = endKeys.size();
    while (i < n || j < nEnds) {
      const uint64_t key = j == nEnds || (i < n && startKeys[i] <= endKeys[j]) ? startKeys[i] : endKeys[j];
      for (; i < n && startKeys[i] == key; ++i) run.push_back(TEndAt{ends[i].ax, ends[i].ay, static_cast<uint32_t>(i), false});
      for (; j < nEnds && endKeys[j] == key; ++j) {
        const uint32_t s = endSlots[j];
        run.push_back(TEndAt{ends[s].bx, ends[s].by, s, true});
      }
      closeCell(key);
    }
    ends = std::vector<TEnds>();
    endKeys = std::vector<uint64_t>();
    endSlots = std::vector<uint32_t>();
    startKeys = std::vector<uint64_t>();
    BuildGroups();
    const size_t nPts = m_Pt.size();
    // Per point its run of the list, counted first: far or still records, then the groups
    // of short ones.
    std::vector<uint32_t> farCount, first;
    AssignLarge(farCount, nPts, 0u);
    AssignLarge(first, nPts + 1, 0u);
    for (const TRec& R : m_Rec)
      if (R.nKind != eShort) {
        ++first[R.a + 1];
        ++farCount[R.a];
        if (R.nKind != eStill) ++first[R.b + 1], ++farCount[R.b];
      }
    for (const TGroup& G : m_Groups) ++first[G.a + 1], ++first[G.b + 1];
    for (size_t p = 0; p < nPts; ++p) first[p + 1] += first[p];
    AssignLarge(m_List, first[nPts], 0u);
    for (size_t p = 0; p < nPts; ++p) {
      m_Pt[p].nCursor = first[p];  // where the next far record goes
      m_Pt[p].nFarEnd = first[p] + farCount[p];  // where the next short one goes
    }
    farCount = std::vector<uint32_t>();
    for (uint32_t i = 0; i < n; ++i) {
      const TRec& R = m_Rec[i];
      if (R.nKind == eShort) continue;
      m_List[m_Pt[R.a].nCursor++] = i;
      if (R.nKind != eStill) m_List[m_Pt[R.b].nCursor++] = i;
    }
    for (uint32_t g = 0; g < m_Groups.size(); ++g) {
      m_List[m_Pt[m_Groups[g].a].nFarEnd++] = g;
      m_List[m_Pt[m_Groups[g].b].nFarEnd++] = g;
    }
    for (size_t p = 0; p < nPts; ++p) {
      m_Pt[p].nFarEnd = m_Pt[p].nCursor;
      m_Pt[p].nCursor = first[p];
      m_Pt[p].nEnd = first[p + 1];
      // The records in ascending numbers (they were filled in slot order).
      SortByRecord(first[p], m_Pt[p].nFarEnd);
    }
  }

  // The short records' groups (see TGroup), in order of their lower end point.
  void BuildGroups() {
    std::vector<uint32_t> shorts;
    for (uint32_t i = 0; i < m_Rec.size(); ++i)
      if (m_Rec[i].nKind == eShort) shorts.push_back(i);
    auto lo = [&](uint32_t i) { return std::min(m_Rec[i].a, m_Rec[i].b); };
    auto hi = [&](uint32_t i) { return std::max(m_Rec[i].a, m_Rec[i].b); };
    std::sort(shorts.begin(), shorts.end(), [&](uint32_t u, uint32_t v) {
      const TRec &U = m_Rec[u], &V = m_Rec[v];
      const uint32_t lu = lo(u), lv = lo(v), hu = hi(u), hv = hi(v);
      if (lu != lv) return lu < lv;
      if (hu != hv) return hu < hv;
      const bool bu = U.a != lu, bv = V.a != lv;  // read from the higher point
      if (bu != bv) return bv;
      return U.nOrig < V.nOrig;
    });
    m_Members = std::move(shorts);
    for (uint32_t k = 0; k < m_Members.size();) {
      TGroup G;
      G.a = lo(m_Members[k]), G.b = hi(m_Members[k]);
      G.nAB = k;
      uint32_t j = k;
      while (j < m_Members.size() && m_Rec[m_Members[j]].a == G.a && m_Rec[m_Members[j]].b == G.b) ++j;
      G.nABEnd = G.nBA = j;
      while (j < m_Members.size() && m_Rec[m_Members[j]].a == G.b && m_Rec[m_Members[j]].b == G.a) ++j;
      G.nBAEnd = j;
      for (uint32_t t = k; t < j; ++t) m_Rec[m_Members[t]].nGroup = static_cast<uint32_t>(m_Groups.size());
      m_Groups.push_back(G);
      k = j;
    }
  }

  // m_List[nFrom, nTo) in ascending record numbers (runs are short but for hubs).
  void SortByRecord(uint32_t nFrom, uint32_t nTo) {
    auto before = [&](uint32_t u, uint32_t v) { return m_Rec[u].nOrig < m_Rec[v].nOrig; };
    uint32_t* a = m_List.data();
    if (nTo - nFrom > 16) {
      std::sort(a + nFrom, a + nTo, before);
      return;
    }
    for (uint32_t k = nFrom + 1; k < nTo; ++k)
      for (uint32_t j = k; j > nFrom && before(a[j], a[j - 1]); --j) std::swap(a[j], a[j - 1]);
  }

  // The cell (cx, cy), or c_nNone when it holds no point. The cells are in key order, and
  // the one wanted lies near cell h along the curve: the search gallops out from h.
  uint32_t SeekCell(int64_t cx, int64_t cy, uint32_t h) const {
    if (cx < m_cx0 || cy < m_cy0 || cx - m_cx0 > m_nCellsX || cy - m_cy0 > m_nCellsY) return c_nNone;
    const uint64_t k = CellKey(cx, cy);
    const size_t nc = m_Cells.size();
    size_t lo = 0, hi = 0;  // the first cell whose key is not below k lies in [lo, hi]
    if (m_Cells[h].key == k) return h;
    if (m_Cells[h].key < k) {
      size_t b = 1;
      while (h + b < nc && m_Cells[h + b].key < k) b *= 2;
      lo = h + b / 2 + 1, hi = std::min(h + b, nc);
    } else {
      size_t b = 1;
      while (b <= h && m_Cells[h - b].key > k) b *= 2;
      lo = b <= h ? h - b : 0, hi = h - b / 2;
    }
    const auto it = std::lower_bound(m_Cells.begin() + static_cast<ptrdiff_t>(lo),
                                     m_Cells.begin() + static_cast<ptrdiff_t>(hi), k,
                                     [](const TCell& c, uint64_t v) { return c.key < v; });
    return it != m_Cells.end() && it->key == k ? static_cast<uint32_t>(it - m_Cells.begin()) : c_nNone;
  }

  // Only points within a search width of q (in both coordinates) can meet it or be
  // nearer than a point that meets it; the others of the cells are passed over.
  void CollectRun(const TfPoint& q, uint32_t nFirst, uint32_t nCount) {
    for (uint32_t p = nFirst; p < nFirst + nCount; ++p)
      if (std::fabs(m_Pt[p].x - q.fX) <= m_w && std::fabs(m_Pt[p].y - q.fY) <= m_w) m_Near.push_back(p);
  }
  // The points near q of the cells that q's search box meets; p0 is the point at q.
  void CollectNear(const TfPoint& q, uint32_t p0) {
    const int64_t x0 = CellOf(q.fX - m_w), x1 = CellOf(q.fX + m_w);
    const int64_t y0 = CellOf(q.fY - m_w), y1 = CellOf(q.fY + m_w);
    if (x0 == x1 && y0 == y1) {  // the box within p0's own cell
      const TPoint& P = m_Pt[p0];
      if (P.nCellCount == 1)
        m_Near.push_back(p0);
      else
        CollectRun(q, P.nCellFirst, P.nCellCount);
      return;
    }
    const uint32_t h = m_PtCell[p0];
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        const uint32_t c = SeekCell(cx, cy, h);
        if (c != c_nNone) CollectRun(q, m_Cells[c].nFirst, m_Cells[c].nCount);
      }
  }

  struct TCell {
    uint64_t key = 0;
    uint32_t nFirst = 0, nCount = 0;  // its points
  };

  const std::vector<TDXFEntity>& m_L;
  const double m_fMatch, m_w;
  double m_fCell = 1.0, m_fPerCell = 1.0;
  int64_t m_cx0 = 0, m_cy0 = 0, m_nCellsX = 0, m_nCellsY = 0;  // the lowest cell, and how many beyond it
  bool m_bAllNear = false;
  bool m_bIndexed = false;  // the end points are indexed (finite, and ends can meet)
  std::vector<TRec> m_Rec;
  std::vector<uint32_t> m_Slot;    // per record number its slot (none: slot = number)
  std::vector<TPoint> m_Pt;
  std::vector<uint32_t> m_List;
  std::vector<TGroup> m_Groups;
  std::vector<uint32_t> m_Members;  // the groups' records
  std::vector<TCell> m_Cells;      // the cells holding points, in key order
  std::vector<uint32_t> m_PtCell;  // per point its cell
  // Per step.
  uint32_t m_nTime = 0;
  std::vector<uint32_t> m_Near;
  bool m_bFound = false;
  double m_fBest = 0.0;
  uint32_t m_nBest = 0;
  TfPoint m_BestPoint;
};

// The lines and arcs of polyline r (already placed in its sequence) appended to out;
// a polyline whose vertices are missing gives nothing.
void AppendPolyline(std::vector<TDXFEntity>& out, const TDXFEntity& r, const std::vector<TDXFVertex>& V,
                    double fCoincidenceLimit) {
  if (r.nFirstVertex < 0 || r.nVertexCount <= 0) return;
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
  bool bForward = PointsMatch(V[first].fPoint, r.fStartPoint, fCoincidenceLimit) ||
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

// How many records polyline r expands into.
size_t PolylineSegments(const TDXFEntity& r) {
  return r.nFirstVertex < 0 || r.nVertexCount <= 0 ? 0 : static_cast<size_t>(r.nVertexCount) - 1;
}

// What expanding a list's polylines makes of it: how many records, and whether any
// polyline gives none.
struct TExpansion {
  size_t nOut = 0, nPolylines = 0, nEmpty = 0;
  void Count(const TDXFEntity& r) {
    if (r.EntityType != eDXFET_PolyLine) {
      ++nOut;
      return;
    }
    const size_t k = PolylineSegments(r);
    nOut += k;
    ++nPolylines;
    nEmpty += k == 0 ? 1 : 0;
  }
};

// Replaces each polyline of L by its lines and arcs (x.nOut records in all). The list grows
// within its own memory when it has room, from the back; otherwise into a new list.
void ExpandPolylines(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fCoincidenceLimit,
                     const TExpansion& x) {
  if (x.nPolylines == 0) return;
  const size_t nOut = x.nOut;
  if (L.capacity() < nOut) {
    std::vector<TDXFEntity> out;
    out.reserve(nOut);
    for (const auto& r : L) {
      if (r.EntityType != eDXFET_PolyLine)
        out.push_back(r);
      else
        AppendPolyline(out, r, V, fCoincidenceLimit);
    }
    L = std::move(out);
    return;
  }
  // Polylines that give nothing leave first, so that from the back every record keeps or
  // gains room.
  size_t w = L.size();
  if (x.nEmpty > 0) {
    w = 0;
    for (size_t i = 0; i < L.size(); ++i)
      if (L[i].EntityType != eDXFET_PolyLine || PolylineSegments(L[i]) > 0) {
        if (w != i) L[w] = L[i];
        ++w;
      }
  }
  const size_t n = w;
  L.resize(nOut);
  std::vector<TDXFEntity> pieces;
  size_t at = nOut;  // what records k.. become lies at [at, nOut), never before k
  for (size_t k = n; k-- > 0;) {
    if (L[k].EntityType != eDXFET_PolyLine) {
      if (--at != k) L[at] = L[k];
      continue;
    }
    const TDXFEntity r = L[k];
    pieces.clear();
    AppendPolyline(pieces, r, V, fCoincidenceLimit);
    at -= pieces.size();
    std::copy(pieces.begin(), pieces.end(), L.begin() + static_cast<ptrdiff_t>(at));
  }
}

}  // namespace

int32_t SortList(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& Vertices,
                 double fMatchLimit, double fCoincidenceLimit, int32_t nSequence,
                 TIntList& Squences, TProgressStage* pStage, bool bMadeOrder) {
  SortPoint(L);
  const size_t n = L.size();
  const bool bCanMatch = fMatchLimit > 0.0 && n > 1;
  // Every start within the tolerance box lies within its diagonal; a little more covers
  // rounding at the edge of the search square.
  double fMaxAbs = 0.0;
  TExpansion x;
  TExtent e;
  size_t nFirstPoint = n;  // points stand last (SortPoint)
  if (n > 0) e.x0 = e.x1 = L[0].fStartPoint.fX, e.y0 = e.y1 = L[0].fStartPoint.fY;
  for (const auto& r : L) {
    const TfPoint &a = r.fStartPoint, &b = r.fEndPoint;
    fMaxAbs = std::max({fMaxAbs, std::fabs(a.fX), std::fabs(a.fY), std::fabs(b.fX), std::fabs(b.fY)});
    x.Count(r);
    if (r.EntityType == eDXFET_Point) --nFirstPoint;
    e.bFinite = e.bFinite && std::isfinite(a.fX) && std::isfinite(a.fY) && std::isfinite(b.fX) && std::isfinite(b.fY);
    e.x0 = std::min({e.x0, a.fX, b.fX}), e.x1 = std::max({e.x1, a.fX, b.fX});
    e.y0 = std::min({e.y0, a.fY, b.fY}), e.y1 = std::max({e.y1, a.fY, b.fY});
  }
  const double w = fMatchLimit * std::sqrt(2.0) * (1 + 1e-9) + fMaxAbs * 1e-15;

  // The sequences one after another in one array, in the order they are made (with where
  // each begins and the number of the record it was started from, its lowest, which
  // stays its first in record order); a sequence's head grows in a scratch
  // array and is put before the rest when the sequence is complete. Once complete, a
  // sequence holds its records' numbers, each with the turn it was taken with.
  std::vector<uint32_t> made, head, seqAt, placed, order;
  std::vector<uint32_t> seqFirst;
  constexpr uint32_t c_nTurned = 1u << 31;
  made.reserve(n);
  int32_t counter = nSequence;
  {
    TChainEnds ends(L, bCanMatch, fMatchLimit, w, e);
    // One sequence may take most of the drawing, and where many short records crowd into
    // one search box each step looks at all of them: progress is told as records are taken.
    size_t nTaken = 0;
    const auto take = [&](uint32_t s) {
      ends.Take(s);
      if (pStage && (++nTaken & 255) == 0) pStage->Step(static_cast<double>(nTaken));
    };
    for (const uint32_t s0 : ends.StartOrder()) {
      if (ends.Placed(s0)) continue;
      const uint32_t first = ends.RecordAt(s0);
      take(s0);
      head.clear();
      const size_t nAt = made.size();
      seqAt.push_back(static_cast<uint32_t>(nAt));
      seqFirst.push_back(first);
      made.push_back(s0);
      if (bCanMatch && first < nFirstPoint) {
        uint32_t g = 0;
        while ((g = ends.Grow(made.back(), true)) != TChainEnds::c_nNone) {
          take(g);
          made.push_back(g);
        }
        uint32_t h = s0;
        while ((g = ends.Grow(h, false)) != TChainEnds::c_nNone) {
          take(g);
          head.push_back(g);
          h = g;
        }
      }
      if (!head.empty()) made.insert(made.begin() + static_cast<ptrdiff_t>(nAt), head.rbegin(), head.rend());
      for (size_t k = nAt; k < made.size(); ++k)
        made[k] = ends.RecordAt(made[k]) | (ends.TakenReversed(made[k]) ? c_nTurned : 0u);
      Squences.Add(counter);
      ++counter;
    }
  }
  // The sequences are numbered in the order of the records they were started from, as
  // chaining the records in their order would make them: a sequence's number counts the
  // records started from below its own, marked one bit each. Per place in the chained list:
  // the record, and its sequence (counted from the first) and whether it was turned round.
  const size_t nSeqs = seqAt.size();
  seqAt.push_back(static_cast<uint32_t>(n));
  std::vector<uint32_t> rank;
  {
    std::vector<uint64_t> started((n + 63) / 64, 0);
    for (const uint32_t f : seqFirst) started[f >> 6] |= uint64_t{1} << (f & 63);
    std::vector<uint32_t> before(started.size());
    for (size_t w = 0, c = 0; w < started.size(); ++w) {
      before[w] = static_cast<uint32_t>(c);
      c += static_cast<size_t>(std::popcount(started[w]));
    }
    AssignLarge(rank, nSeqs, 0u);
    for (size_t q = 0; q < nSeqs; ++q) {
      const uint32_t f = seqFirst[q];
      rank[q] = before[f >> 6] + static_cast<uint32_t>(std::popcount(started[f >> 6] & ((uint64_t{1} << (f & 63)) - 1)));
    }
  }
  seqFirst = std::vector<uint32_t>();
  AssignLarge(placed, n, 0u);
  if (bMadeOrder) {
    // The sequences stay in the order they were made, near ones together.
    for (size_t q = 0; q < nSeqs; ++q)
      for (uint32_t k = seqAt[q]; k < seqAt[q + 1]; ++k) {
        placed[k] = rank[q] | (made[k] & c_nTurned);
        made[k] &= ~c_nTurned;
      }
    order = std::move(made);
  } else {
    std::vector<uint32_t> byFirst;
    AssignLarge(byFirst, nSeqs, 0u);
    for (uint32_t q = 0; q < nSeqs; ++q) byFirst[rank[q]] = q;
    AssignLarge(order, n, 0u);
    for (size_t t = 0, j = 0; t < nSeqs; ++t) {
      const uint32_t q = byFirst[t];
      for (uint32_t k = seqAt[q]; k < seqAt[q + 1]; ++k, ++j) {
        order[j] = made[k] & ~c_nTurned;
        placed[j] = static_cast<uint32_t>(t) | (made[k] & c_nTurned);
      }
    }
  }
  rank = std::vector<uint32_t>();
  made = std::vector<uint32_t>();
  // The chained list: records put in chain order within the list itself, each turned and
  // numbered as it comes to its place, and polylines expanded.
  PermuteInPlace(L, std::move(order), [&](TDXFEntity& r, size_t k) {
    if (placed[k] & c_nTurned) ReverseLine(r);
    r.bSortedFlag = true;
    r.nSequence = nSequence + static_cast<int32_t>(placed[k] & ~c_nTurned);
  });
  order = std::vector<uint32_t>();
  placed = std::vector<uint32_t>();
  ExpandPolylines(L, Vertices, fCoincidenceLimit, x);
  return counter;
}

void AddPolyline(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V,
                 double fCoincidenceLimit) {
  TExpansion x;
  for (const auto& r : L) x.Count(r);
  ExpandPolylines(L, V, fCoincidenceLimit, x);
}

void ReverseRecordRange(std::vector<TDXFEntity>& L, size_t nFirst, size_t nLast) {
  std::reverse(L.begin() + static_cast<ptrdiff_t>(nFirst),
               L.begin() + static_cast<ptrdiff_t>(nLast) + 1);
  for (size_t i = nFirst; i <= nLast; ++i) TurnInRun(L[i]);
}

}  // namespace veltrane
