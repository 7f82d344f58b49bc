// Chaining on a grid of end points. The rule compares the chain's open end with every
// record not yet placed; only records with an end point within the matching tolerance
// can be reversed or joined, so a static grid of all end points (cells a little wider
// than the tolerance's diagonal) finds exactly those, and the result is the same as
// comparing with every record.
#include "dxf/DXFChain.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <numbers>
#include <unordered_map>

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
  double delta = theta >= 0 ? gamma + (std::numbers::pi - theta) / 2 : gamma - (std::numbers::pi + theta) / 2;
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
  std::stable_sort(points.begin(), points.end(), [bSortX](const TDXFEntity& a, const TDXFEntity& b) {
    return bSortX ? a.fStartPoint.fX < b.fStartPoint.fX : a.fStartPoint.fY < b.fStartPoint.fY;
  });
  std::copy(points.begin(), points.end(), L.begin() + static_cast<ptrdiff_t>(nIndex));
  SortPointWindows(L, nIndex);
}

namespace {

// All end points of a layer in cells of a fixed size, built once. Each entry is one end of
// one record; which end is the record's start depends on whether it has been reversed.
class TEndPointGrid {
 public:
  TEndPointGrid(const std::vector<TDXFEntity>& L, double fCell) : m_fCell(fCell) {
    const size_t n = L.size();
    std::vector<std::pair<uint64_t, uint32_t>> keyed;  // (cell hash, entry)
    keyed.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
      for (int e = 0; e < 2; ++e) {
        const TfPoint& p = e == 0 ? L[i].fStartPoint : L[i].fEndPoint;
        int64_t cx = CellOf(p.fX), cy = CellOf(p.fY);
        m_EntryCell.push_back({cx, cy});
        keyed.push_back({Hash(cx, cy), static_cast<uint32_t>(2 * i + static_cast<size_t>(e))});
      }
    }
    std::sort(keyed.begin(), keyed.end());
    // Open addressing: one slot per distinct cell.
    size_t cap = 16;
    while (cap < keyed.size() * 2) cap <<= 1;
    m_Slots.assign(cap, TSlot());
    m_Entries.reserve(keyed.size());
    size_t i = 0;
    while (i < keyed.size()) {
      // Entries with equal hash may still lie in different cells: group by real cell.
      size_t j = i;
      while (j < keyed.size() && keyed[j].first == keyed[i].first) ++j;
      std::stable_sort(keyed.begin() + static_cast<ptrdiff_t>(i), keyed.begin() + static_cast<ptrdiff_t>(j),
                       [this](const auto& a, const auto& b) {
                         return m_EntryCell[a.second] < m_EntryCell[b.second];
                       });
      size_t k = i;
      while (k < j) {
        size_t l = k;
        while (l < j && m_EntryCell[keyed[l].second] == m_EntryCell[keyed[k].second]) ++l;
        Insert(m_EntryCell[keyed[k].second], static_cast<uint32_t>(m_Entries.size()),
               static_cast<uint32_t>(l - k));
        for (size_t t = k; t < l; ++t) m_Entries.push_back(keyed[t].second);
        k = l;
      }
      i = j;
    }
    m_PosOf.assign(m_Entries.size(), 0);
    for (uint32_t k = 0; k < m_Entries.size(); ++k) m_PosOf[m_Entries[k]] = k;
  }

  // Calls f(entry) for every entry still in the cells that cover the square of half-width w.
  template <class F>
  void ForEachNear(const TfPoint& q, double w, F f) const {
    int64_t x0 = CellOf(q.fX - w), x1 = CellOf(q.fX + w);
    int64_t y0 = CellOf(q.fY - w), y1 = CellOf(q.fY + w);
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) {
        const TSlot* s = Find({cx, cy});
        if (!s) continue;
        for (uint32_t k = 0; k < s->nCount; ++k) f(m_Entries[s->nFirst + k]);
      }
  }

  // Takes both ends of record i out of their cells, so that placed records cost nothing.
  void RemoveRecord(uint32_t i) {
    for (uint32_t e : {2 * i, 2 * i + 1}) {
      TSlot* s = FindMutable(m_EntryCell[e]);
      uint32_t pos = m_PosOf[e], last = s->nFirst + s->nCount - 1;
      uint32_t moved = m_Entries[last];
      m_Entries[pos] = moved;
      m_PosOf[moved] = pos;
      m_Entries[last] = e;
      m_PosOf[e] = last;
      --s->nCount;
    }
  }

 private:
  using TCell = std::pair<int64_t, int64_t>;
  struct TSlot {
    TCell cell{0, 0};
    uint32_t nFirst = 0, nCount = 0;
    bool bUsed = false;
  };
  int64_t CellOf(double v) const {
    double c = std::floor(v / m_fCell);
    if (!(c > -4e18)) return -4'000'000'000'000'000'000;  // also NaN, which the reader never passes
    if (c > 4e18) return 4'000'000'000'000'000'000;
    return static_cast<int64_t>(c);
  }
  static uint64_t Hash(int64_t x, int64_t y) {
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full);
    return h ^ (h >> 29);
  }
  void Insert(TCell c, uint32_t nFirst, uint32_t nCount) {
    size_t mask = m_Slots.size() - 1, i = Hash(c.first, c.second) & mask;
    while (m_Slots[i].bUsed) i = (i + 1) & mask;
    m_Slots[i] = TSlot{c, nFirst, nCount, true};
  }
  const TSlot* Find(TCell c) const {
    size_t mask = m_Slots.size() - 1, i = Hash(c.first, c.second) & mask;
    while (m_Slots[i].bUsed) {
      if (m_Slots[i].cell == c) return &m_Slots[i];
      i = (i + 1) & mask;
    }
    return nullptr;
  }
  TSlot* FindMutable(TCell c) { return const_cast<TSlot*>(Find(c)); }

  double m_fCell;
  std::vector<TCell> m_EntryCell;
  std::vector<TSlot> m_Slots;
  std::vector<uint32_t> m_Entries;
  std::vector<uint32_t> m_PosOf;  // where each entry stands in m_Entries
};

}  // namespace

int32_t SortList(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& Vertices, double fMatchLimit,
                 double fCoincidenceLimit, int32_t nSequence, TIntList& Squences, TProgressStage* pStage) {
  SortPoint(L);
  const size_t n = L.size();
  for (auto& r : L) r.bSortedFlag = false;
  // Records with the same start and the same end (a stack of copies) are measured alike
  // at every step and are reversed together, so they stand in the grid once, as a group:
  // a stack of thousands of copies costs what one record costs. The group's reversals are
  // counted and given to each member when it joins a sequence.
  struct TGroup {
    uint32_t nFirst = 0, nCount = 0;  // its members: Members[nFirst .. nFirst + nCount), ascending
    uint32_t nNext = 0;               // how many of them are in a sequence already
    uint8_t bReversed = 0;            // reversed an odd number of times since reading
  };
  std::vector<TGroup> groups;
  std::vector<uint32_t> groupOf(n), Members(n);
  {
    struct TKeyHash {
      size_t operator()(const std::array<double, 5>& k) const {
        size_t h = 0;
        for (double v : k) h = h * 0x9E3779B97F4A7C15ull ^ std::hash<double>()(v);
        return h;
      }
    };
    std::unordered_map<std::array<double, 5>, uint32_t, TKeyHash> index;
    index.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
      const TDXFEntity& r = L[i];
      const std::array<double, 5> key{r.EntityType == eDXFET_Point ? 1.0 : 0.0, r.fStartPoint.fX, r.fStartPoint.fY,
                                      r.fEndPoint.fX, r.fEndPoint.fY};
      // NaN never equals itself: such a record stays alone.
      const bool bKeyable = key[1] == key[1] && key[2] == key[2] && key[3] == key[3] && key[4] == key[4];
      uint32_t g = static_cast<uint32_t>(groups.size());
      if (bKeyable) g = index.try_emplace(key, g).first->second;
      if (g == groups.size()) groups.emplace_back();
      ++groups[g].nCount;
      groupOf[i] = g;
    }
    uint32_t nAt = 0;
    for (TGroup& G : groups) {
      G.nFirst = nAt;
      nAt += G.nCount;
      G.nCount = 0;
    }
    for (uint32_t i = 0; i < n; ++i) {
      TGroup& G = groups[groupOf[i]];
      Members[G.nFirst + G.nCount++] = i;
    }
  }
  // Each group's ends as read: the records themselves when no two are alike (a record is
  // changed only when it joins a sequence, and its group then leaves the grid for good).
  std::vector<TDXFEntity> stacked;
  if (groups.size() < n)
    for (const TGroup& G : groups) stacked.push_back(L[Members[G.nFirst]]);
  const std::vector<TDXFEntity>& prototypes = groups.size() < n ? stacked : L;
  const size_t nGroups = groups.size();
  std::vector<std::deque<uint32_t>> sequences;
  const bool bCanMatch = fMatchLimit > 0.0 && n > 1;
  // Every start within the tolerance box lies within its diagonal; a little more covers
  // rounding at the edge of the search square.
  double fMaxAbs = 0.0;
  for (const auto& r : L)
    fMaxAbs = std::max({fMaxAbs, std::fabs(r.fStartPoint.fX), std::fabs(r.fStartPoint.fY),
                        std::fabs(r.fEndPoint.fX), std::fabs(r.fEndPoint.fY)});
  const double w = fMatchLimit * std::sqrt(2.0) * (1 + 1e-9) + fMaxAbs * 1e-15;
  std::unique_ptr<TEndPointGrid> grid;
  if (bCanMatch) grid = std::make_unique<TEndPointGrid>(prototypes, std::max(w, fMaxAbs * 1e-15 * 4));

  std::vector<uint32_t> near;
  std::vector<uint32_t> seen(nGroups, 0);
  uint32_t stamp = 0;
  // Entry 2g + e is end e of group g as read; it is the group's start when e equals the
  // group's reversal count.
  auto isStart = [&](uint32_t e) { return (e & 1u) == groups[e >> 1].bReversed; };
  auto pointOf = [&](uint32_t e) -> const TfPoint& {
    const TDXFEntity& r = prototypes[e >> 1];
    return (e & 1u) == 0 ? r.fStartPoint : r.fEndPoint;
  };
  auto startOf = [&](uint32_t g) -> const TfPoint& {
    return groups[g].bReversed ? prototypes[g].fEndPoint : prototypes[g].fStartPoint;
  };
  auto endOf = [&](uint32_t g) -> const TfPoint& {
    return groups[g].bReversed ? prototypes[g].fStartPoint : prototypes[g].fEndPoint;
  };
  // The group's first waiting member joins a sequence, with the group's reversals.
  auto take = [&](uint32_t g, int32_t nSeq) {
    TGroup& G = groups[g];
    const uint32_t i = Members[G.nFirst + G.nNext++];
    if (G.bReversed) ReverseLine(L[i]);
    L[i].bSortedFlag = true;
    L[i].nSequence = nSeq;
    if (grid && G.nNext == G.nCount) grid->RemoveRecord(g);
    return i;
  };
  // Grows the sequence at one end: bTail joins a record's start to q, the head joins its end.
  auto grow = [&](const TfPoint& q, bool bTail, uint32_t& joined) {
    near.clear();
    grid->ForEachNear(q, w, [&](uint32_t e) { near.push_back(e); });
    // Reversals: the end that should meet q is farther than the other, which matches.
    ++stamp;
    for (uint32_t e : near) {
      const uint32_t g = e >> 1;
      if (seen[g] == stamp) continue;  // one look at each group
      seen[g] = stamp;
      const TfPoint &S = startOf(g), &E = endOf(g);
      const double ds = DistanceBetween(S, q), de = DistanceBetween(E, q);
      if (bTail ? (de < ds && PointsMatch(E, q, fMatchLimit)) : (ds < de && PointsMatch(S, q, fMatchLimit)))
        groups[g].bReversed ^= 1u;
    }
    // The nearest joining end among the records near q; the first record on ties.
    bool bFound = false;
    double fBest = 0.0;
    uint32_t best = 0, bestGroup = 0;
    for (uint32_t e : near) {
      if (isStart(e) != bTail) continue;
      const double d = DistanceBetween(pointOf(e), q);
      const uint32_t g = e >> 1;
      const uint32_t i = Members[groups[g].nFirst + groups[g].nNext];
      if (!bFound || d < fBest || (d == fBest && i < best)) {
        bFound = true;
        fBest = d;
        best = i;
        bestGroup = g;
      }
    }
    if (!bFound) return false;
    const TfPoint& p = bTail ? startOf(bestGroup) : endOf(bestGroup);
    if (!PointsMatch(p, q, fMatchLimit)) return false;
    joined = bestGroup;
    return true;
  };

  int32_t counter = nSequence;
  for (uint32_t first = 0; first < n; ++first) {
    if (pStage) pStage->Step(first);
    if (L[first].bSortedFlag) continue;
    // The first record not yet in a sequence is the first waiting member of its group.
    std::deque<uint32_t> seq{take(groupOf[first], counter)};
    if (bCanMatch && L[first].EntityType != eDXFET_Point) {
      uint32_t g = 0;
      while (grow(L[seq.back()].fEndPoint, true, g)) seq.push_back(take(g, counter));
      while (grow(L[seq.front()].fStartPoint, false, g)) seq.push_front(take(g, counter));
    }
    sequences.push_back(std::move(seq));
    Squences.Add(counter);
    ++counter;
  }
  std::vector<TDXFEntity> out;
  out.reserve(n);
  for (const auto& s : sequences)
    for (uint32_t i : s) out.push_back(L[i]);
  L = std::move(out);
  AddPolyline(L, Vertices, fCoincidenceLimit);
  return counter;
}

void AddPolyline(std::vector<TDXFEntity>& L, const std::vector<TDXFVertex>& V, double fCoincidenceLimit) {
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
  L = std::move(out);
}

void ReverseRecordRange(std::vector<TDXFEntity>& L, size_t nFirst, size_t nLast) {
  std::reverse(L.begin() + static_cast<ptrdiff_t>(nFirst), L.begin() + static_cast<ptrdiff_t>(nLast) + 1);
  for (size_t i = nFirst; i <= nLast; ++i) {
    std::swap(L[i].fStartPoint, L[i].fEndPoint);
    L[i].Direction = L[i].Direction == eClockwise ? eAnticlockwise : eClockwise;
  }
}

}  // namespace veltrane
