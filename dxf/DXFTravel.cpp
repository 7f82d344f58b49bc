// The local search over the order of a layer's paths. Each path is a node with an entry
// and an exit (a closed path enters and leaves at one point); the travel is the sum of the
// straight moves from the origin to the first entry and from each exit to the next entry.
#include "dxf/DXFTravel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dxf/DXFChain.h"
#include "geometry/PointMath.h"

namespace veltrane {

namespace {

constexpr size_t c_nWindow = 30;         // how far along the order a move reaches
constexpr size_t c_nWorkPerPath = 3000;  // move evaluations per path, in all: the budget

using pointmath::Dist;

struct TNode {
  size_t nFirst = 0, nLast = 0;
  TfPoint S, E;
  bool bClosed = false;
  bool bReversed = false;
  TfPoint Entry() const { return bReversed ? E : S; }
  TfPoint Exit() const { return bReversed ? S : E; }
};

class TSearch {
 public:
  TSearch(std::vector<TNode>& Nodes, const std::vector<std::vector<uint32_t>>& Containers)
      : m_Nodes(Nodes), m_Containers(Containers), m_nBudget(c_nWorkPerPath * Nodes.size() + 1000) {
    m_Order.resize(Nodes.size());
    m_Pos.resize(Nodes.size());
    for (uint32_t k = 0; k < Nodes.size(); ++k) m_Order[k] = m_Pos[k] = k;
  }

  // Runs passes of both kinds of move until one finds nothing or the budget is spent. A
  // path where no move helped is not tried again until a move changes its neighbourhood.
  void Run() {
    m_Active.assign(m_Order.size(), 1);
    bool bImproved = true;
    while (bImproved && m_nWork < m_nBudget) {
      bImproved = false;
      for (size_t i = 0; i < m_Order.size() && m_nWork < m_nBudget; ++i) {
        if (!m_Active[m_Order[i]]) continue;
        bool bHere = TwoOpt(i);
        for (size_t nLen = 1; nLen <= 3 && !bHere; ++nLen) bHere = OrOpt(i, nLen);
        if (!bHere) m_Active[m_Order[i]] = 0;
        bImproved |= bHere;
      }
    }
  }
  bool BudgetLeft() const { return m_nWork < m_nBudget; }
  const std::vector<uint32_t>& Order() const { return m_Order; }

 private:
  const TNode& At(size_t i) const { return m_Nodes[m_Order[i]]; }
  TfPoint ExitBefore(size_t i) const { return i == 0 ? TfPoint{0, 0, 0} : At(i - 1).Exit(); }
  // The leg from an exit to the entry at position i; none past the end.
  double LegTo(const TfPoint& from, size_t i) const { return i < m_Order.size() ? Dist(from, At(i).Entry()) : 0.0; }

  // The order of positions lo..hi may become Range: every path in it still comes before
  // the closed paths around it.
  bool Keeps(size_t lo, const std::vector<uint32_t>& Range) const {
    if (m_Containers.empty()) return true;
    for (size_t k = 0; k < Range.size(); ++k)
      for (uint32_t c : m_Containers[Range[k]]) {
        const size_t pc = m_Pos[c];
        size_t newPc = pc;
        if (pc >= lo && pc < lo + Range.size())
          newPc = static_cast<size_t>(std::find(Range.begin(), Range.end(), c) - Range.begin()) + lo;
        if (newPc <= lo + k) return false;
      }
    return true;
  }

  void Place(size_t lo, const std::vector<uint32_t>& Range) {
    for (size_t k = 0; k < Range.size(); ++k) {
      m_Order[lo + k] = Range[k];
      m_Pos[Range[k]] = static_cast<uint32_t>(lo + k);
      m_Active[Range[k]] = 1;
    }
    if (lo > 0) m_Active[m_Order[lo - 1]] = 1;
    if (lo + Range.size() < m_Order.size()) m_Active[m_Order[lo + Range.size()]] = 1;
  }

  // Positions i..j run backwards, open paths turned round.
  bool TwoOpt(size_t i) {
    const size_t n = m_Order.size();
    const TfPoint before = ExitBefore(i);
    const double fOldIn = Dist(before, At(i).Entry());
    for (size_t j = i + 1; j < n && j <= i + c_nWindow; ++j) {
      ++m_nWork;
      const TNode& last = At(j);
      // Turned round, the stretch enters where its last path left and leaves where its
      // first path entered (closed paths enter and leave at one point).
      const TfPoint newEntry = last.bClosed ? last.Entry() : last.Exit();
      const TfPoint newExit = At(i).Entry();
      const double fDelta = Dist(before, newEntry) + LegTo(newExit, j + 1) - fOldIn - LegTo(last.Exit(), j + 1);
      if (fDelta >= -1e-9 * (1 + fOldIn)) continue;
      // Closed paths in the stretch keep their direction: the stretch's inner legs
      // change then, so the whole stretch is measured.
      std::vector<uint32_t> range(m_Order.begin() + static_cast<ptrdiff_t>(i),
                                  m_Order.begin() + static_cast<ptrdiff_t>(j + 1));
      std::reverse(range.begin(), range.end());
      if (!Keeps(i, range)) continue;
      const double fOld = StretchTravel(i, j, nullptr);
      std::vector<bool> flipped(range.size());
      for (size_t k = 0; k < range.size(); ++k) flipped[k] = !m_Nodes[range[k]].bClosed;
      const double fNew = StretchTravel(i, j, &range, &flipped);
      if (fNew >= fOld - 1e-9 * (1 + fOld)) continue;
      for (size_t k = 0; k < range.size(); ++k)
        if (flipped[k]) m_Nodes[range[k]].bReversed = !m_Nodes[range[k]].bReversed;
      Place(i, range);
      return true;
    }
    return false;
  }

  // The travel into position lo, through lo..hi, and on to hi + 1; with Range, as if the
  // order of lo..hi were Range (Flip: paths turned round).
  double StretchTravel(size_t lo, size_t hi, const std::vector<uint32_t>* pRange,
                       const std::vector<bool>* pFlip = nullptr) const {
    TfPoint at = ExitBefore(lo);
    double f = 0.0;
    for (size_t k = 0; k + lo <= hi; ++k) {
      const TNode& node = pRange ? m_Nodes[(*pRange)[k]] : At(lo + k);
      const bool bRev = node.bReversed != (pFlip && (*pFlip)[k]);
      f += Dist(at, bRev ? node.E : node.S);
      at = bRev ? node.S : node.E;
    }
    return f + LegTo(at, hi + 1);
  }

  // Paths i..i+nLen-1 moved to another place within the window, turned round or not.
  bool OrOpt(size_t i, size_t nLen) {
    const size_t n = m_Order.size();
    if (i + nLen > n) return false;
    const size_t lo0 = i >= c_nWindow ? i - c_nWindow : 0, hi0 = std::min(n - 1, i + nLen - 1 + c_nWindow);
    // What taking the paths out saves: the legs into and out of them against one leg past.
    const TfPoint A = ExitBefore(i), segIn = At(i).Entry(), segOut = At(i + nLen - 1).Exit();
    const bool bB = i + nLen < n;
    const TfPoint B = bB ? At(i + nLen).Entry() : TfPoint{};
    const double fSaved = Dist(A, segIn) + (bB ? Dist(segOut, B) - Dist(A, B) : 0.0);
    // Turned round, they enter where the last one left and leave where the first entered.
    const TNode& lastNode = At(i + nLen - 1);
    const TfPoint turnedIn = lastNode.bClosed ? lastNode.Entry() : lastNode.Exit(), turnedOut = segIn;
    for (size_t p = lo0; p <= hi0; ++p) {
      if (p >= i && p < i + nLen) continue;
      // Put in before position p (p < i) or after it (p > i).
      const TfPoint X = p < i ? ExitBefore(p) : At(p).Exit();
      const bool bY = p < i || p + 1 < n;
      const TfPoint Y = p < i ? At(p).Entry() : (bY ? At(p + 1).Entry() : TfPoint{});
      for (bool bTurn : {false, true}) {
        ++m_nWork;
        const TfPoint in = bTurn ? turnedIn : segIn, out = bTurn ? turnedOut : segOut;
        const double fCost = Dist(X, in) + (bY ? Dist(out, Y) - Dist(X, Y) : 0.0);
        if (fCost - fSaved >= -1e-9 * (1 + fSaved)) continue;
        // The stretch affected: from the smaller to the larger of the two places.
        const size_t lo = std::min(i, p), hi = std::max(i + nLen - 1, p);
        std::vector<uint32_t> range;
        std::vector<bool> flip;
        std::vector<uint32_t> seg(m_Order.begin() + static_cast<ptrdiff_t>(i),
                                  m_Order.begin() + static_cast<ptrdiff_t>(i + nLen));
        if (bTurn) std::reverse(seg.begin(), seg.end());
        for (size_t q = lo; q <= hi; ++q) {
          if (q >= i && q < i + nLen) continue;
          if (p < i && q == p) {  // the paths go before position p
            for (uint32_t s : seg) range.push_back(s), flip.push_back(bTurn && !m_Nodes[s].bClosed);
          }
          range.push_back(m_Order[q]);
          flip.push_back(false);
          if (p > i && q == p) {  // ... or after it
            for (uint32_t s : seg) range.push_back(s), flip.push_back(bTurn && !m_Nodes[s].bClosed);
          }
        }
        const double fOld = StretchTravel(lo, hi, nullptr), fNew = StretchTravel(lo, hi, &range, &flip);
        if (fNew >= fOld - 1e-9 * (1 + fOld) || !Keeps(lo, range)) continue;
        for (size_t k = 0; k < range.size(); ++k)
          if (flip[k]) m_Nodes[range[k]].bReversed = !m_Nodes[range[k]].bReversed;
        Place(lo, range);
        return true;
      }
    }
    return false;
  }

  std::vector<TNode>& m_Nodes;
  const std::vector<std::vector<uint32_t>>& m_Containers;
  std::vector<uint32_t> m_Order, m_Pos;
  std::vector<uint8_t> m_Active;  // per path: moves starting there may still help
  size_t m_nWork = 0;
  const size_t m_nBudget;
};

// The point of a record nearest to p.
TfPoint NearestOn(const TDXFEntity& r, const TfPoint& p) {
  if (r.EntityType == eDXFET_Line) {
    const double dx = r.fEndPoint.fX - r.fStartPoint.fX, dy = r.fEndPoint.fY - r.fStartPoint.fY;
    const double dd = dx * dx + dy * dy;
    if (dd <= 0) return r.fStartPoint;
    const double t = std::clamp(((p.fX - r.fStartPoint.fX) * dx + (p.fY - r.fStartPoint.fY) * dy) / dd, 0.0, 1.0);
    if (t == 0.0) return r.fStartPoint;
    if (t == 1.0) return r.fEndPoint;
    return TfPoint{r.fStartPoint.fX + t * dx, r.fStartPoint.fY + t * dy, 0};
  }
  if (r.EntityType != eDXFET_Arc && r.EntityType != eDXFET_Circle) return r.fStartPoint;
  const TfPoint& c = r.fCentrePoint;
  const double l = Dist(p, c);
  if (!(l > 0) || !(r.fRadius > 0)) return r.fStartPoint;
  const double fRadius = Dist(r.fStartPoint, c);  // on the circle the moves are written about
  const TfPoint q{c.fX + (p.fX - c.fX) / l * fRadius, c.fY + (p.fY - c.fY) / l * fRadius, 0};
  if (r.EntityType == eDXFET_Circle) return q;
  // On the arc when its angle lies within the sweep, measured in the arc's direction.
  const double sgn = r.Direction == eClockwise ? -1.0 : 1.0;
  auto angle = [&](const TfPoint& x) { return std::atan2(x.fY - c.fY, x.fX - c.fX); };
  auto along = [&](const TfPoint& x) {
    double a = sgn * (angle(x) - angle(r.fStartPoint));
    a = std::fmod(a, 2 * std::numbers::pi);
    return a < 0 ? a + 2 * std::numbers::pi : a;
  };
  if (along(q) <= along(r.fEndPoint)) return q;
  return Dist(p, r.fStartPoint) <= Dist(p, r.fEndPoint) ? r.fStartPoint : r.fEndPoint;
}

// A closed path's records run from q onwards: the record q lies on is split there.
std::vector<TDXFEntity> StartingAt(const std::vector<TDXFEntity>& Path, size_t nAt, const TfPoint& q) {
  std::vector<TDXFEntity> out;
  const TDXFEntity& r = Path[nAt];
  if (r.EntityType == eDXFET_Circle) {
    TDXFEntity c = r;
    c.fStartPoint = c.fEndPoint = q;
    out.push_back(c);
    for (size_t k = 1; k < Path.size(); ++k) out.push_back(Path[(nAt + k) % Path.size()]);
    return out;
  }
  TDXFEntity tail = r, head = r;  // q to the record's end, then its start to q
  tail.fStartPoint = q;
  head.fEndPoint = q;
  const bool bAtStart = q == r.fStartPoint, bAtEnd = q == r.fEndPoint;
  if (!bAtStart && !bAtEnd) out.push_back(tail);
  if (bAtStart) out.push_back(r);
  for (size_t k = 1; k < Path.size(); ++k) out.push_back(Path[(nAt + k) % Path.size()]);
  if (bAtEnd) out.push_back(r);
  if (!bAtStart && !bAtEnd) out.push_back(head);
  return out;
}

}  // namespace

double TravelLength(const std::vector<TDXFEntity>& L) {
  double f = 0.0;
  TfPoint at{0, 0, 0};
  for (size_t i = 0; i < L.size(); ++i) {
    if (i == 0 || L[i].nSequence != L[i - 1].nSequence) f += Dist(at, L[i].fStartPoint);
    at = L[i].fEndPoint;
  }
  return f;
}

TTravelResult OptimiseTravel(std::vector<TDXFEntity>& L, int32_t n_seq, double fClosedLimit,
                             const std::vector<std::vector<uint32_t>>& Containers, TProgressStage* pStage) {
  TTravelResult result;
  result.fBefore = result.fAfter = TravelLength(L);
  std::vector<TNode> nodes;
  for (size_t i = 0; i < L.size(); ++i) {
    if (i == 0 || L[i].nSequence != L[i - 1].nSequence) nodes.push_back(TNode{i, i, L[i].fStartPoint, {}, false});
    nodes.back().nLast = i;
    nodes.back().E = L[i].fEndPoint;
  }
  if (nodes.size() < 2) return result;
  for (TNode& n : nodes) n.bClosed = n.S == n.E || PointsMatch(n.S, n.E, fClosedLimit);
  std::vector<std::vector<uint32_t>> containers;
  if (Containers.size() == nodes.size()) containers = Containers;
  std::vector<std::vector<TDXFEntity>> paths(nodes.size());
  for (size_t k = 0; k < nodes.size(); ++k)
    paths[k].assign(L.begin() + static_cast<ptrdiff_t>(nodes[k].nFirst),
                    L.begin() + static_cast<ptrdiff_t>(nodes[k].nLast + 1));
  std::vector<uint32_t> order;
  for (int round = 0; round < 2; ++round) {
    TSearch search(nodes, containers);
    search.Run();
    order = search.Order();
    // Each closed path entered nearest to where the tool comes from, when that shortens
    // the way in and out of it.
    TfPoint at{0, 0, 0};
    for (size_t i = 0; i < order.size(); ++i) {
      if (pStage) pStage->Step(static_cast<double>(L.size()) * (round + static_cast<double>(i) / order.size()) / 2);
      TNode& n = nodes[order[i]];
      std::vector<TDXFEntity>& path = paths[order[i]];
      if (n.bClosed && n.S == n.E) {
        const TfPoint next = i + 1 < order.size() ? nodes[order[i + 1]].Entry() : n.S;
        const bool bLast = i + 1 == order.size();
        size_t nBest = 0;
        TfPoint best = n.S;
        double fBest = Dist(at, n.S) + (bLast ? 0.0 : Dist(n.S, next));
        for (size_t k = 0; k < path.size(); ++k) {
          const TfPoint q = NearestOn(path[k], at);
          const double f = Dist(at, q) + (bLast ? 0.0 : Dist(q, next));
          if (f < fBest - 1e-9 * (1 + fBest)) fBest = f, best = q, nBest = k;
        }
        if (!(best == n.S)) {
          path = StartingAt(path, nBest, best);
          n.S = n.E = best;
        }
      }
      at = n.Exit();
    }
    // The search's own orientation and order stand for the next round.
    std::vector<TNode> reordered;
    std::vector<std::vector<TDXFEntity>> repaths;
    std::vector<uint32_t> newIndex(nodes.size());
    for (size_t i = 0; i < order.size(); ++i) newIndex[order[i]] = static_cast<uint32_t>(i);
    for (uint32_t k : order) reordered.push_back(nodes[k]), repaths.push_back(std::move(paths[k]));
    std::vector<std::vector<uint32_t>> recontainers;
    if (!containers.empty()) {
      recontainers.resize(order.size());
      for (size_t i = 0; i < order.size(); ++i)
        for (uint32_t c : containers[order[i]]) recontainers[i].push_back(newIndex[c]);
    }
    nodes = std::move(reordered);
    paths = std::move(repaths);
    if (!containers.empty()) containers = std::move(recontainers);
  }
  std::vector<TDXFEntity> out;
  out.reserve(L.size() + nodes.size());
  for (size_t k = 0; k < nodes.size(); ++k) {
    std::vector<TDXFEntity>& path = paths[k];
    if (nodes[k].bReversed) ReverseRecordRange(path, 0, path.size() - 1);
    for (TDXFEntity& r : path) {
      r.nSequence = n_seq + static_cast<int32_t>(k);
      out.push_back(r);
    }
  }
  const double fAfter = TravelLength(out);
  if (fAfter < result.fBefore) {  // never longer than the order it started from
    L = std::move(out);
    result.fAfter = fAfter;
  }
  return result;
}

}  // namespace veltrane
