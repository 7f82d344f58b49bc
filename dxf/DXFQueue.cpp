// Travel ordering: from the origin, repeatedly the sequence whose nearer end is closest,
// with a one-step look-ahead between the best and the runner-up candidate. The rule
// compares all remaining sequences at every step; a k-d tree of their ends answers the
// same questions (nearest end, nearest end among earlier sequences, nearest end of any
// other sequence) with the same ties, so a sheet of a million paths orders in seconds.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dxf/DXFChain.h"
#include "model/LargeArrays.h"
#include "dxf/DXFCutOrder.h"

namespace veltrane {

namespace {

struct TSeqRange {
  int32_t nNumber = 0;
  size_t nFirst = 0, nLast = 0;
  bool bFound = false;
};

struct TMinSeq {
  uint32_t min_seq = 0;  // index into the ranges
  bool bReverse = false;
  double disToLast = 0.0;
  TfPoint point;
  uint32_t nPoint = UINT32_MAX;  // the entry point in the tree of ends
};

// The ends of the sequences not yet queued. A closed sequence has only its start.
class TEndTree {
 public:
  // other: the sequence's other end (c_nNone for a closed sequence, which has only its
  // start here), with c_nIsEnd set on the end of a sequence (not on its start).
  struct TPt {
    double x, y;
    uint32_t seq;
    uint32_t other = c_nNone;
  };
  static constexpr uint32_t c_nIsEnd = 1u << 31, c_nNone = c_nIsEnd - 1;

  explicit TEndTree(std::vector<TPt> pts) : m_Pts(std::move(pts)), m_Alive(m_Pts.size(), 1) {
    if (m_Pts.empty()) return;
    m_Nodes.reserve(2 * m_Pts.size() / c_nLeaf + 2);
    Build(0, m_Pts.size(), UINT32_MAX);
    m_LeafOf.assign(m_Pts.size(), 0);
    for (uint32_t n = 0; n < m_Nodes.size(); ++n)
      if (m_Nodes[n].left == UINT32_MAX)
        for (size_t i = m_Nodes[n].lo; i < m_Nodes[n].hi; ++i) m_LeafOf[i] = n;
    uint32_t nMaxSeq = 0;
    for (const auto& p : m_Pts) nMaxSeq = std::max(nMaxSeq, p.seq);
    m_PointsOf.assign(static_cast<size_t>(nMaxSeq) + 1, {UINT32_MAX, UINT32_MAX});
    for (uint32_t i = 0; i < m_Pts.size(); ++i) {
      auto& slot = m_PointsOf[m_Pts[i].seq];
      (slot.first == UINT32_MAX ? slot.first : slot.second) = i;
    }
    for (const auto& [a, b] : m_PointsOf)
      if (b != UINT32_MAX) {
        m_Pts[a].other = (m_Pts[a].other & c_nIsEnd) | b;
        m_Pts[b].other = (m_Pts[b].other & c_nIsEnd) | a;
      }
  }

  const TPt& Point(uint32_t i) const { return m_Pts[i]; }
  TfPoint At(uint32_t i) const { return TfPoint{m_Pts[i].x, m_Pts[i].y}; }
  // The sequence's other end, or c_nNone.
  uint32_t OtherEnd(uint32_t i) const { return m_Pts[i].other & ~c_nIsEnd; }
  bool IsEnd(uint32_t i) const { return (m_Pts[i].other & c_nIsEnd) != 0; }
  // The end the last search found.
  uint32_t FoundPoint() const { return m_nBestPt; }

  // Folds the live ends of the sequence with an end at point nPoint into a nearest end
  // found around q (bFound, fDist, nSeq, nAt the end): the answer of a search that had
  // also looked at them.
  void FoldEnds(const TfPoint& q, uint32_t nPoint, bool& bFound, double& fDist, uint32_t& nSeq, uint32_t& nAt) const {
    for (uint32_t i : {nPoint, OtherEnd(nPoint)}) {
      if (i == c_nNone || !m_Alive[i]) continue;
      const uint32_t seq = m_Pts[i].seq;
      const double d = std::sqrt(Distance2(m_Pts[i], q));
      if (!bFound || d < fDist || (d == fDist && seq < nSeq)) bFound = true, fDist = d, nSeq = seq, nAt = i;
    }
  }

  void Remove(uint32_t seq) { SetAlive(seq, 0); }
  // Takes the sequence with an end at point nPoint out, as Remove does.
  void RemoveAt(uint32_t nPoint) {
    for (uint32_t i : {nPoint, OtherEnd(nPoint)})
      if (i != c_nNone) SetPointAlive(i, 0);
  }
  // Makes a sequence's ends findable again (one that waited for the paths inside it).
  void Revive(uint32_t seq) { SetAlive(seq, 1); }

  // The nearest live end to q of a sequence below nBelow and other than the two excluded;
  // equal distances go to the lowest sequence. False when there is none. nNear, when
  // given, is an end (live or not) at or near q: the search starts in its leaf and goes
  // up from there, looking beside the way up only where a box may hold a nearer end,
  // instead of coming down from the root. Which boxes are looked at, and in which order,
  // changes nothing of the answer.
  bool Nearest(const TfPoint& q, uint32_t nBelow, uint32_t nEx1, uint32_t nEx2, double& fDist,
               uint32_t& nSeq, uint32_t nNear = c_nNone) const {
    m_bFound = false;
    m_q = q;
    m_nBelow = nBelow;
    m_nEx1 = nEx1;
    m_nEx2 = nEx2;
    if (!m_Nodes.empty()) {
      if (nNear >= m_Pts.size()) {
        Search(0, BoxDistance2(m_Nodes[0]));
      } else {
        uint32_t n = m_LeafOf[nNear];
        Search(n, BoxDistance2(m_Nodes[n]));
        for (uint32_t up = m_Nodes[n].parent; up != UINT32_MAX; n = up, up = m_Nodes[up].parent) {
          if (HoldsTheBall(m_Nodes[n])) break;
          const TNode& u = m_Nodes[up];
          const uint32_t other = u.left == n ? u.right : u.left;
          Search(other, BoxDistance2(m_Nodes[other]));
        }
      }
    }
    fDist = m_fBest;
    nSeq = m_nBestSeq;
    return m_bFound;
  }

 private:
  void SetAlive(uint32_t seq, uint8_t bAlive) {
    if (seq >= m_PointsOf.size()) return;
    for (uint32_t i : {m_PointsOf[seq].first, m_PointsOf[seq].second})
      if (i != UINT32_MAX) SetPointAlive(i, bAlive);
  }
  void SetPointAlive(uint32_t i, uint8_t bAlive) {
    if (m_Alive[i] == bAlive) return;
    m_Alive[i] = bAlive;
    for (uint32_t n = m_LeafOf[i]; n != UINT32_MAX; n = m_Nodes[n].parent) Refresh(n);
  }

  static constexpr size_t c_nLeaf = 16;
  // One cache line each.
  struct alignas(64) TNode {
    double x0, y0, x1, y1;
    uint32_t lo, hi;
    uint32_t left = UINT32_MAX, right = UINT32_MAX, parent = UINT32_MAX;
    uint32_t nAlive = 0, nMinSeq = UINT32_MAX;
  };

  uint32_t Build(size_t lo, size_t hi, uint32_t parent) {
    uint32_t id = static_cast<uint32_t>(m_Nodes.size());
    m_Nodes.push_back(TNode{0, 0, 0, 0, static_cast<uint32_t>(lo), static_cast<uint32_t>(hi)});
    m_Nodes[id].parent = parent;
    double x0 = m_Pts[lo].x, x1 = x0, y0 = m_Pts[lo].y, y1 = y0;
    for (size_t i = lo; i < hi; ++i) {
      x0 = std::min(x0, m_Pts[i].x);
      x1 = std::max(x1, m_Pts[i].x);
      y0 = std::min(y0, m_Pts[i].y);
      y1 = std::max(y1, m_Pts[i].y);
    }
    m_Nodes[id].x0 = x0;
    m_Nodes[id].x1 = x1;
    m_Nodes[id].y0 = y0;
    m_Nodes[id].y1 = y1;
    if (hi - lo > c_nLeaf) {
      size_t mid = lo + (hi - lo) / 2;
      bool bX = (x1 - x0) >= (y1 - y0);
      std::nth_element(m_Pts.begin() + static_cast<ptrdiff_t>(lo),
                       m_Pts.begin() + static_cast<ptrdiff_t>(mid),
                       m_Pts.begin() + static_cast<ptrdiff_t>(hi),
                       [bX](const TPt& a, const TPt& b) { return bX ? a.x < b.x : a.y < b.y; });
      uint32_t l = Build(lo, mid, id);
      uint32_t r = Build(mid, hi, id);
      m_Nodes[id].left = l;
      m_Nodes[id].right = r;
    }
    Refresh(id);
    return id;
  }

  void Refresh(uint32_t n) {
    TNode& t = m_Nodes[n];
    t.nAlive = 0;
    t.nMinSeq = UINT32_MAX;
    if (t.left == UINT32_MAX) {
      for (size_t i = t.lo; i < t.hi; ++i)
        if (m_Alive.empty() || m_Alive[i]) {
          ++t.nAlive;
          t.nMinSeq = std::min(t.nMinSeq, m_Pts[i].seq);
        }
      return;
    }
    for (uint32_t c : {t.left, t.right}) {
      t.nAlive += m_Nodes[c].nAlive;
      t.nMinSeq = std::min(t.nMinSeq, m_Nodes[c].nMinSeq);
    }
  }

  // Whether the best distance found around q lies within t's box with room to spare: an
  // end outside t's subtree lies beyond a split that bounds t's box, so it is no nearer
  // than that box's edge, and nothing outside can be as near as what was found.
  bool HoldsTheBall(const TNode& t) const {
    if (!m_bFound) return false;
    const double r = m_fBest * (1 + 1e-9) + 1e-300;
    return m_q.fX - t.x0 > r && t.x1 - m_q.fX > r && m_q.fY - t.y0 > r && t.y1 - m_q.fY > r;
  }
  // The square of the distance from q to an end: one expression wherever distances
  // between ends are compared, so that equal ones come out equal.
  static double Distance2(const TPt& p, const TfPoint& q) {
    const double dx = p.x - q.fX, dy = p.y - q.fY;
    return dx * dx + dy * dy;
  }
  // The square of the distance from q to t's box.
  double BoxDistance2(const TNode& t) const {
    const double dx = std::max({0.0, t.x0 - m_q.fX, m_q.fX - t.x1});
    const double dy = std::max({0.0, t.y0 - m_q.fY, m_q.fY - t.y1});
    return dx * dx + dy * dy;
  }

  // fBox2: the square of t's box distance, computed once by whoever looks at t. Squares
  // are compared with a slack far above their rounding, so that a box is passed only when
  // every end in it lies farther than the best (an equal distance is never hidden), and
  // no square root is taken for a box.
  bool Prunable(const TNode& t, double fBox2) const {
    if (t.nAlive == 0 || t.nMinSeq >= m_nBelow) return true;
    if (!m_bFound) return false;
    if (fBox2 > m_fBest2 * (1 + 4e-9) + 1e-300) return true;
    // Where many ends lie at one point (a hub, a stack of copies) only a lower sequence
    // can win the tie: a box of later sequences is passed.
    return m_fBest2 == 0.0 && t.nMinSeq >= m_nBestSeq;
  }

  void Search(uint32_t n, double fBox2) const {
    const TNode& t = m_Nodes[n];
    if (Prunable(t, fBox2)) return;
    if (t.left == UINT32_MAX) {
      for (size_t i = t.lo; i < t.hi; ++i) {
        const TPt& p = m_Pts[i];
        if (!m_Alive[i] || p.seq >= m_nBelow || p.seq == m_nEx1 || p.seq == m_nEx2) continue;
        // The square root (the distance compared) only for an end that may be nearest:
        // a square clearly above the best's square has a root above the best.
        const double d2 = Distance2(p, m_q);
        if (m_bFound && d2 > m_fBest2 * (1 + 1e-12)) continue;
        const double d = std::sqrt(d2);
        if (!m_bFound || d < m_fBest || (d == m_fBest && p.seq < m_nBestSeq)) {
          m_bFound = true;
          m_fBest = d;
          m_fBest2 = d2;
          m_nBestSeq = p.seq;
          m_nBestPt = static_cast<uint32_t>(i);
        }
      }
      return;
    }
    uint32_t a = t.left, b = t.right;
    double fa = BoxDistance2(m_Nodes[a]), fb = BoxDistance2(m_Nodes[b]);
    if (fb < fa || (fb == fa && m_Nodes[b].nMinSeq < m_Nodes[a].nMinSeq)) std::swap(a, b), std::swap(fa, fb);
    Search(a, fa);
    Search(b, fb);
  }

  std::vector<TPt> m_Pts;
  std::vector<uint8_t> m_Alive;
  std::vector<TNode> m_Nodes;
  std::vector<uint32_t> m_LeafOf;
  std::vector<std::pair<uint32_t, uint32_t>> m_PointsOf;
  // Search state.
  mutable bool m_bFound = false;
  mutable double m_fBest = 0.0, m_fBest2 = 0.0;  // the distance and its square
  mutable uint32_t m_nBestSeq = 0, m_nBestPt = 0;
  mutable TfPoint m_q;
  mutable uint32_t m_nBelow = 0, m_nEx1 = 0, m_nEx2 = 0;
};

// Puts the runs' records in queue order within L itself (each record moved once, along
// the cycles of the permutation), turning the runs marked turned round as
// ReverseRecordRange does, numbering them from n_seq, and dropping records of no run.
void ArrangeRuns(std::vector<TDXFEntity>& L, const std::vector<TQueuedRun>& runs, int32_t n_seq) {
  const size_t n = L.size();
  // from[j]: where the record that goes to position j stands now; placed[j]: its run, and
  // whether the run is turned round.
  constexpr uint32_t c_nTurned = 1u << 31;
  std::vector<uint32_t> from, placed;
  from.reserve(n);
  placed.reserve(n);
  std::vector<uint8_t> kept;
  AssignLarge(kept, n, uint8_t{0});
  for (size_t q = 0; q < runs.size(); ++q) {
    const TQueuedRun& r = runs[q];
    for (size_t j = 0; j < r.Size(); ++j) {
      from.push_back(static_cast<uint32_t>(r.At(j)));
      placed.push_back(static_cast<uint32_t>(q) | (r.bTurned ? c_nTurned : 0u));
      kept[r.At(j)] = 1;
    }
  }
  const size_t nKept = from.size();
  for (size_t i = 0; i < n; ++i)
    if (!kept[i]) from.push_back(static_cast<uint32_t>(i));
  kept = std::vector<uint8_t>();
  // Each record is turned as ReverseRecordRange does and numbered as it comes to its place.
  PermuteInPlace(L, std::move(from), [&](TDXFEntity& e, size_t j) {
    if (j >= nKept) return;
    if (placed[j] & c_nTurned) TurnInRun(e);
    e.nSequence = n_seq + static_cast<int32_t>(placed[j] & ~c_nTurned);
  });
  L.resize(nKept);
}

}  // namespace

void QueueSeq(std::vector<TDXFEntity>& L, const TIntList& Squences, int32_t n_seq,
              double fClosedLimit, TInnerFirst* pInnerFirst) {
  std::vector<TQueuedRun> runs;
  if (PlanQueue(L, Squences, n_seq, fClosedLimit, pInnerFirst, runs)) ArrangeRuns(L, runs, n_seq);
}

bool PlanQueue(std::vector<TDXFEntity>& L, const TIntList& Squences, int32_t n_seq,
               double fClosedLimit, TInnerFirst* pInnerFirst, std::vector<TQueuedRun>& Runs) {
  Runs.clear();
  const size_t S = static_cast<size_t>(Squences.Count());
  if (S == 0) return false;
  // Each sequence's records stand together in the list.
  std::vector<TSeqRange> seqs(S);
  std::vector<size_t> slotOf;  // sequence number - lowest number -> index
  int32_t nLow = Squences.Get(0);
  for (size_t k = 0; k < S; ++k) nLow = std::min(nLow, Squences.Get(static_cast<int32_t>(k)));
  for (size_t k = 0; k < S; ++k) {
    seqs[k].nNumber = Squences.Get(static_cast<int32_t>(k));
    size_t slot = static_cast<size_t>(static_cast<int64_t>(seqs[k].nNumber) - nLow);
    if (slot >= slotOf.size()) slotOf.resize(slot + 1, SIZE_MAX);
    slotOf[slot] = k;
  }
  // What a step asks of a sequence, in one place: a cold sequence costs one look at the
  // memory, not one per question.
  struct TSeqState {
    TfPoint start, end;
    uint8_t bTurned = 0, bClosed = 0, bQueued = 0;
  };
  std::vector<TSeqState> st(S);
  // One pass over the list: each sequence's range and ends, and how many records belong
  // to one.
  size_t nMembers = 0, nSpans = 0;
  for (size_t i = 0; i < L.size(); ++i) {
    int64_t slot = static_cast<int64_t>(L[i].nSequence) - nLow;
    if (slot < 0 || static_cast<size_t>(slot) >= slotOf.size() ||
        slotOf[static_cast<size_t>(slot)] == SIZE_MAX)
      continue;
    ++nMembers;
    const size_t k = slotOf[static_cast<size_t>(slot)];
    TSeqRange& r = seqs[k];
    if (!r.bFound) r.nFirst = i, st[k].start = L[i].fStartPoint;
    r.nLast = i;
    st[k].end = L[i].fEndPoint;
    r.bFound = true;
  }
  // When each sequence's range holds its records alone (as chaining leaves them), the
  // ends are kept per sequence and the turns made when the list is written in its new
  // order; otherwise each turn reverses its range of the list there and then.
  for (const TSeqRange& r : seqs)
    if (r.bFound) nSpans += r.nLast - r.nFirst + 1;
  const bool bContiguous = nMembers == nSpans;
  auto start = [&](size_t k) -> const TfPoint& {
    return bContiguous ? st[k].bTurned ? st[k].end : st[k].start : L[seqs[k].nFirst].fStartPoint;
  };
  auto end = [&](size_t k) -> const TfPoint& {
    return bContiguous ? st[k].bTurned ? st[k].start : st[k].end : L[seqs[k].nLast].fEndPoint;
  };
  std::vector<TEndTree::TPt> pts;
  pts.reserve(2 * S);
  for (size_t k = 0; k < S; ++k) {
    if (!seqs[k].bFound) {
      st[k].bQueued = 1;  // a number without records is not travelled
      continue;
    }
    // A closed path is entered where it starts; rounding must not turn it round.
    st[k].bClosed = start(k) == end(k) || PointsMatch(start(k), end(k), fClosedLimit);
    pts.push_back({start(k).fX, start(k).fY, static_cast<uint32_t>(k)});
    if (!st[k].bClosed) pts.push_back({end(k).fX, end(k).fY, static_cast<uint32_t>(k), TEndTree::c_nIsEnd});
  }
  TEndTree tree(std::move(pts));
  // Inner paths first: a sequence waits, out of the tree, until every path inside it is
  // queued; among those that may come next the travel rule chooses as ever.
  std::vector<std::vector<uint32_t>> containers;
  std::vector<uint32_t> waitingFor(S, 0);
  if (pInnerFirst) {
    std::vector<TPathSpan> spans;
    std::vector<uint32_t> slotOfSpan;
    for (size_t k = 0; k < S; ++k)
      if (seqs[k].bFound) {
        spans.push_back(TPathSpan{seqs[k].nFirst, seqs[k].nLast, st[k].bClosed != 0});
        slotOfSpan.push_back(static_cast<uint32_t>(k));
      }
    TContainment c = PathContainment(L, spans, pInnerFirst->fTouch);
    pInnerFirst->nTouching += c.nTouching;
    pInnerFirst->nInside += c.nInside;
    containers.assign(S, {});
    for (size_t i = 0; i < spans.size(); ++i)
      for (uint32_t b : c.Containers[i]) {
        containers[slotOfSpan[i]].push_back(slotOfSpan[b]);
        ++waitingFor[slotOfSpan[b]];
      }
    for (size_t k = 0; k < S; ++k)
      if (waitingFor[k] > 0) tree.Remove(static_cast<uint32_t>(k));
  }
  size_t nFirstPending = 0;
  std::vector<uint32_t> queue;
  queue.reserve(S);
  TfPoint O{0, 0};
  // A sequence as a candidate, from the end of it a search found (its ends are read from
  // the tree, where the search has just been): it is reversed only when that shortens the
  // way to it.
  auto candidate = [&](uint32_t nAt) {
    const uint32_t k = tree.Point(nAt).seq, nOther = tree.OtherEnd(nAt);
    const TfPoint P = tree.At(nAt);
    if (nOther == TEndTree::c_nNone) return TMinSeq{k, false, DistanceBetween(O, P), P, nAt};  // closed
    const TfPoint Q = tree.At(nOther);
    const bool bEnd = tree.IsEnd(nAt);
    const TfPoint &A = bEnd ? Q : P, &B = bEnd ? P : Q;  // the start and the end
    const uint32_t a = bEnd ? nOther : nAt, b = bEnd ? nAt : nOther;
    const double d1 = DistanceBetween(O, A), d2 = DistanceBetween(O, B);
    return d1 <= d2 ? TMinSeq{k, false, d1, A, a} : TMinSeq{k, true, d2, B, b};
  };
  // The nearest end to O, when the step before already knows it (see below).
  struct TKnown {
    bool bValid = false, bFound = false;
    double f = 0.0;
    uint32_t k = 0, nAt = 0;
  } next;
  // Where the sequence queued last was left: an end in the tree at or near O.
  uint32_t nLeft = TEndTree::c_nNone;
  for (;;) {
    while (nFirstPending < S && st[nFirstPending].bQueued) ++nFirstPending;
    if (nFirstPending == S) break;
    double f = 0.0;
    uint32_t k = 0, j = 0, nAt = 0;
    // The searches start beside where the sequence queued last was left.
    const bool bFound = next.bValid ? (f = next.f, k = next.k, nAt = next.nAt, next.bFound)
                                    : tree.Nearest(O, UINT32_MAX, UINT32_MAX, UINT32_MAX, f, k, nLeft);
    if (!next.bValid && bFound) nAt = tree.FoundPoint();
    next.bValid = false;
    if (!bFound) {
      // Every path left waits for another: containment that went round in a circle
      // (rounding on nearly equal outlines). They all may come next.
      for (size_t w = nFirstPending; w < S; ++w)
        if (!st[w].bQueued) waitingFor[w] = 0, tree.Revive(static_cast<uint32_t>(w));
      continue;
    }
    TMinSeq best = candidate(nAt), second;
    if (!tree.Nearest(O, k, UINT32_MAX, UINT32_MAX, f, j, nLeft)) {
      // Nothing displaced the first sequence: the runner-up is the same one turned round
      // (a closed one at its end, which the tree does not hold).
      second = best;
      second.bReverse = !best.bReverse;
      if (tree.OtherEnd(best.nPoint) == TEndTree::c_nNone) {
        second.point = best.bReverse ? start(k) : end(k);
        second.disToLast = best.disToLast;
      } else {
        second.nPoint = tree.OtherEnd(best.nPoint);
        second.point = tree.At(second.nPoint);
        second.disToLast = DistanceBetween(O, second.point);
      }
    } else {
      second = candidate(tree.FoundPoint());
    }
    // Look-ahead: how near the next sequence would be after each candidate (0 when none).
    double minDistSec = 0.0, minDistSec2 = 0.0;
    uint32_t nAfterBest = 0, nAfterSecond = 0, nAtAfterBest = 0, nAtAfterSecond = 0;
    const bool bAfterBest =
        tree.Nearest(best.point, UINT32_MAX, best.min_seq, second.min_seq, minDistSec, nAfterBest, best.nPoint);
    if (!bAfterBest) minDistSec = 0.0;
    else nAtAfterBest = tree.FoundPoint();
    const bool bAfterSecond = tree.Nearest(second.point, UINT32_MAX, best.min_seq, second.min_seq, minDistSec2,
                                           nAfterSecond, second.nPoint);
    if (!bAfterSecond) minDistSec2 = 0.0;
    else nAtAfterSecond = tree.FoundPoint();
    // Ties go to the runner-up, except when it is the same sequence turned round.
    double fBest = best.disToLast + minDistSec, fSecond = second.disToLast + minDistSec2;
    bool bBest = fBest < fSecond || (fBest == fSecond && best.min_seq == second.min_seq);
    const TMinSeq& chosen = bBest ? best : second;
    if (chosen.bReverse) {
      if (bContiguous)
        st[chosen.min_seq].bTurned = 1;
      else
        ReverseRecordRange(L, seqs[chosen.min_seq].nFirst, seqs[chosen.min_seq].nLast);
    }
    st[chosen.min_seq].bQueued = 1;
    tree.RemoveAt(chosen.nPoint);
    queue.push_back(chosen.min_seq);
    bool bRevived = false;
    if (!containers.empty())
      for (uint32_t b : containers[chosen.min_seq])
        if (waitingFor[b] > 0 && --waitingFor[b] == 0) tree.Revive(b), bRevived = true;
    O = end(chosen.min_seq);
    // It is left at its other end, or where it was entered when it is closed.
    nLeft = tree.OtherEnd(chosen.nPoint) != TEndTree::c_nNone ? tree.OtherEnd(chosen.nPoint) : chosen.nPoint;
    // A path left where it was entered (a closed one, mostly): the next step's nearest end
    // is the look-ahead's from that point, which left out only the two candidates, or an
    // end of the one not chosen. Nothing else has left or come back since.
    if (!bRevived && O.fX == chosen.point.fX && O.fY == chosen.point.fY) {
      next.bValid = true;
      next.bFound = bBest ? bAfterBest : bAfterSecond;
      next.f = bBest ? minDistSec : minDistSec2;
      next.k = bBest ? nAfterBest : nAfterSecond;
      next.nAt = bBest ? nAtAfterBest : nAtAfterSecond;
      const TMinSeq& other = bBest ? second : best;
      if (other.min_seq != chosen.min_seq) tree.FoldEnds(O, other.nPoint, next.bFound, next.f, next.k, next.nAt);
    }
  }
  if (pInnerFirst) {
    std::vector<uint32_t> positionOf(S, UINT32_MAX);
    for (size_t q = 0; q < queue.size(); ++q) positionOf[queue[q]] = static_cast<uint32_t>(q);
    pInnerFirst->ContainersByPosition.assign(queue.size(), {});
    for (size_t q = 0; q < queue.size(); ++q)
      for (uint32_t b : containers[queue[q]])
        pInnerFirst->ContainersByPosition[q].push_back(positionOf[b]);
  }
  if (bContiguous) {
    Runs.reserve(queue.size());
    for (uint32_t k : queue)
      Runs.push_back(TQueuedRun{static_cast<uint32_t>(seqs[k].nFirst), static_cast<uint32_t>(seqs[k].nLast),
                                st[k].bTurned != 0});
    return true;
  }
  std::vector<TDXFEntity> out;
  out.reserve(L.size());
  for (size_t q = 0; q < queue.size(); ++q) {
    const TSeqRange& r = seqs[queue[q]];
    for (size_t i = r.nFirst; i <= r.nLast; ++i) {
      if (L[i].nSequence != r.nNumber) continue;
      out.push_back(L[i]);
      out.back().nSequence = n_seq + static_cast<int32_t>(q);
    }
  }
  L = std::move(out);
  return false;
}

}  // namespace veltrane
