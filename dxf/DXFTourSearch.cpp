// The tour search. Positions run from 0 (the origin) to n; the travel is the sum of the
// legs from each position's exit to the next one's entry, and nothing after the last.
// Every change of the order is made of reversals of a stretch of positions (open paths
// in it turned round), so a kick that does not pay can be undone by replaying them.
#include "dxf/DXFTourSearch.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace veltrane {

namespace {

// The plain root: hypot guards against overflow that drawing coordinates never reach,
// and costs several times as much in the innermost loop.
inline double Dist(const TfPoint& a, const TfPoint& b) {
  const double dx = a.fX - b.fX, dy = a.fY - b.fY;
  return std::sqrt(dx * dx + dy * dy);
}

constexpr size_t c_nNearest = 6;      // nearest ends of other paths each end proposes moves to,
constexpr size_t c_nPerQuadrant = 2;  // and the nearest in each quadrant round it, so that
                                      // clusters far apart still see each other
constexpr size_t c_nNear = c_nNearest + 4 * c_nPerQuadrant;
constexpr size_t c_nMaxSegment = 3;    // longest stretch an Or-opt move carries
constexpr size_t c_nKickSpan = 30;     // longest stretch a kick swaps with its neighbour
constexpr size_t c_nKickReach = 1000;  // longest stretch a move after a kick may rearrange:
                                       // a kick is local, and long reversals on large
                                       // sheets would cost more than they find

// Nearest neighbours of points by a k-d tree (median splits): ties broken by index, so
// the lists do not depend on the order of the search.
class TNearTree {
 public:
  explicit TNearTree(const std::vector<TfPoint>& Pts, const std::vector<uint32_t>& Ids)
      : m_Pts(Pts), m_Idx(Ids) {
    Build(0, m_Idx.size(), 0);
  }
  // Up to nK nearest of p among the points, p's own node (Skip / 2) excluded; with a
  // quadrant (0 to 3, anticlockwise from +X) only points in it.
  void Query(const TfPoint& p, uint32_t nSkipNode, size_t nK, int nQuadrant,
             std::vector<std::pair<double, uint32_t>>& out) const {
    out.clear();
    m_nSkip = nSkipNode;
    m_nQuadrant = nQuadrant;
    Visit(0, m_Idx.size(), 0, p, nK, out);
  }

 private:
  void Build(size_t lo, size_t hi, int depth) {
    if (hi - lo <= 1) return;
    const size_t mid = (lo + hi) / 2;
    const bool bX = depth % 2 == 0;
    std::nth_element(
        m_Idx.begin() + static_cast<ptrdiff_t>(lo), m_Idx.begin() + static_cast<ptrdiff_t>(mid),
        m_Idx.begin() + static_cast<ptrdiff_t>(hi), [&](uint32_t a, uint32_t b) {
          const double va = bX ? m_Pts[a].fX : m_Pts[a].fY, vb = bX ? m_Pts[b].fX : m_Pts[b].fY;
          return va < vb || (va == vb && a < b);
        });
    Build(lo, mid, depth + 1);
    Build(mid + 1, hi, depth + 1);
  }
  void Visit(size_t lo, size_t hi, int depth, const TfPoint& p, size_t nK,
             std::vector<std::pair<double, uint32_t>>& out) const {
    if (lo >= hi) return;
    const size_t mid = (lo + hi) / 2;
    const uint32_t id = m_Idx[mid];
    const double dx = m_Pts[id].fX - p.fX, dy = m_Pts[id].fY - p.fY;
    const bool bInQuadrant = m_nQuadrant == 0   ? dx > 0 && dy >= 0
                             : m_nQuadrant == 1 ? dx <= 0 && dy > 0
                             : m_nQuadrant == 2 ? dx < 0 && dy <= 0
                             : m_nQuadrant == 3 ? dx >= 0 && dy < 0
                                                : true;
    if (id / 2 != m_nSkip && bInQuadrant) {
      const std::pair<double, uint32_t> c{Dist(p, m_Pts[id]), id};
      if (out.size() < nK || c < out.back()) {
        out.insert(std::upper_bound(out.begin(), out.end(), c), c);
        if (out.size() > nK) out.pop_back();
      }
    }
    const bool bX = depth % 2 == 0;
    const double fSide = bX ? p.fX - m_Pts[id].fX : p.fY - m_Pts[id].fY;
    const bool bLow = fSide < 0;
    // A quadrant excludes the side of the split that lies wholly behind p.
    const int q = m_nQuadrant;
    const bool bWantLow = bX ? q == 1 || q == 2 : q == 2 || q == 3,
               bWantHigh = bX ? q == 0 || q == 3 : q == 0 || q == 1;
    const bool bLowUseful = q < 0 || bWantLow || fSide <= 0,
               bHighUseful = q < 0 || bWantHigh || fSide >= 0;
    if (bLow ? bLowUseful : bHighUseful) {
      if (bLow)
        Visit(lo, mid, depth + 1, p, nK, out);
      else
        Visit(mid + 1, hi, depth + 1, p, nK, out);
    }
    if ((bLow ? bHighUseful : bLowUseful) &&
        (out.size() < nK || std::fabs(fSide) <= out.back().first)) {
      if (bLow)
        Visit(mid + 1, hi, depth + 1, p, nK, out);
      else
        Visit(lo, mid, depth + 1, p, nK, out);
    }
  }

  const std::vector<TfPoint>& m_Pts;
  std::vector<uint32_t> m_Idx;
  mutable uint32_t m_nSkip = 0;
  mutable int m_nQuadrant = -1;
};

}  // namespace

TTourSearch::TTourSearch(std::vector<TTourNode> Nodes,
                         std::vector<std::vector<uint32_t>> Containers)
    : m_Nodes(std::move(Nodes)), m_Containers(std::move(Containers)) {
  const size_t n = m_Nodes.size();
  m_Nodes.push_back(TTourNode{TfPoint{0, 0}, TfPoint{0, 0}, true});
  m_Order.resize(n + 1);
  m_Pos.resize(n + 1);
  m_Order[0] = static_cast<uint32_t>(n);
  m_Pos[n] = 0;
  for (uint32_t k = 0; k < n; ++k) m_Order[k + 1] = k, m_Pos[k] = k + 1;
  m_Rev.assign(n + 1, 0);
  m_Queued.assign(n + 1, 0);
  if (m_Containers.size() != n) m_Containers.clear();
  if (!m_Containers.empty()) {
    m_Containers.emplace_back();
    m_Inners.resize(n + 1);
    for (uint32_t k = 0; k < n; ++k)
      for (uint32_t c : m_Containers[k]) m_Inners[c].push_back(k);
  }
}

void TTourSearch::SetLoopPoint(uint32_t k, const TfPoint& p) { m_Nodes[k].S = m_Nodes[k].E = p; }

TfPoint TTourSearch::InAt(size_t i) const {
  const uint32_t k = m_Order[i];
  return m_Rev[k] ? m_Nodes[k].E : m_Nodes[k].S;
}

TfPoint TTourSearch::OutAt(size_t i) const {
  const uint32_t k = m_Order[i];
  return m_Rev[k] ? m_Nodes[k].S : m_Nodes[k].E;
}

double TTourSearch::LegInto(const TfPoint& from, size_t i) const {
  return i < m_Order.size() ? Dist(from, InAt(i)) : 0.0;
}

double TTourSearch::Length() const {
  double f = 0.0;
  for (size_t i = 1; i < m_Order.size(); ++i) f += Dist(OutAt(i - 1), InAt(i));
  return f;
}

std::vector<uint32_t> TTourSearch::Order() const { return {m_Order.begin() + 1, m_Order.end()}; }

uint64_t TTourSearch::Random() {  // splitmix64: the same on every platform
  uint64_t z = (m_nRandom += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void TTourSearch::BuildNeighbours() {
  const size_t n = m_Nodes.size();
  m_EndPoint.resize(2 * n);
  std::vector<uint32_t> ids;
  for (uint32_t k = 0; k < n; ++k) {
    m_EndPoint[2 * k] = m_Nodes[k].S;
    m_EndPoint[2 * k + 1] = m_Nodes[k].E;
    ids.push_back(2 * k);
    if (!m_Nodes[k].bLoop) ids.push_back(2 * k + 1);
  }
  double fFarthest = 0.0;
  for (const TfPoint& p : m_EndPoint) fFarthest = std::max({fFarthest, std::fabs(p.fX), std::fabs(p.fY)});
  m_fEps = std::max(1e-9, 1e-13 * fFarthest);
  TNearTree tree(m_EndPoint, ids);
  m_Near.assign(2 * n * c_nNear, UINT32_MAX);
  std::vector<std::pair<double, uint32_t>> found, all;
  for (uint32_t e : ids) {
    tree.Query(m_EndPoint[e], e / 2, c_nNearest, -1, all);
    for (int q = 0; q < 4; ++q) {
      tree.Query(m_EndPoint[e], e / 2, c_nPerQuadrant, q, found);
      all.insert(all.end(), found.begin(), found.end());
    }
    // Nearest first (the search stops at the first end too far to pay), each end once.
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    for (size_t q = 0; q < all.size(); ++q) m_Near[e * c_nNear + q] = all[q].second;
  }
}

void TTourSearch::Reverse(size_t i, size_t j) {
  if (m_bJournal) m_Journal.emplace_back(i, j);
  for (size_t q = i; q <= j; ++q)
    if (!m_Nodes[m_Order[q]].bLoop) m_Rev[m_Order[q]] ^= 1;
  std::reverse(m_Order.begin() + static_cast<ptrdiff_t>(i),
               m_Order.begin() + static_cast<ptrdiff_t>(j + 1));
  for (size_t q = i; q <= j; ++q) m_Pos[m_Order[q]] = static_cast<uint32_t>(q);
}

void TTourSearch::Push(size_t i) {
  if (i == 0 || i >= m_Order.size()) return;
  const uint32_t k = m_Order[i];
  if (!m_Queued[k]) m_Queued[k] = 1, m_Queue.push_back(k);
}

// Positions i..j run backwards: no path may come to stand after a path around it.
bool TTourSearch::ReversalKeeps(size_t i, size_t j) const {
  if (m_Containers.empty()) return true;
  for (size_t q = i; q <= j; ++q)
    for (uint32_t c : m_Containers[m_Order[q]])
      if (m_Pos[c] > q && m_Pos[c] <= j) return false;
  return true;
}

// The stretch f..l moved after position pb (turned round or not), the same question.
bool TTourSearch::MoveKeeps(size_t f, size_t l, size_t pb, bool bTurn) const {
  if (m_Containers.empty()) return true;
  for (size_t q = f; q <= l; ++q) {
    const uint32_t s = m_Order[q];
    for (uint32_t c : m_Containers[s]) {
      const size_t pc = m_Pos[c];
      if (pb > l && pc > l && pc <= pb) return false;
      if (bTurn && pc > q && pc <= l) return false;
    }
    if (pb < f)
      for (uint32_t x : m_Inners[s])
        if (m_Pos[x] > pb && m_Pos[x] < f) return false;
  }
  return true;
}

bool TTourSearch::TryTwoOpt(size_t x, size_t y, double fDelta) {
  if ((m_bJournal && y - x > c_nKickReach) || !ReversalKeeps(x, y)) return false;
  Reverse(x, y);
  m_fDelta += fDelta;
  for (size_t q : {x - 1, x, y, y + 1}) Push(q);
  return true;
}

bool TTourSearch::TryOrOpt(size_t f, size_t l, size_t pb, bool bTurn, double fDelta) {
  if ((m_bJournal && std::max(l, pb) - std::min(f, pb) > c_nKickReach) ||
      !MoveKeeps(f, l, pb, bTurn))
    return false;
  for (size_t q : {f - 1, f, l, l + 1, pb, pb + 1}) Push(q);
  const size_t s = l - f + 1;
  if (pb > l) {  // S M -> M S
    const size_t m = pb - l;
    Reverse(f, pb);
    Reverse(f, f + m - 1);
    if (!bTurn) Reverse(f + m, pb);
  } else {  // M S -> S M
    Reverse(pb + 1, l);
    Reverse(pb + 1 + s, l);
    if (!bTurn) Reverse(pb + 1, pb + s);
  }
  m_fDelta += fDelta;
  return true;
}

// Moves that put one of a's ends next to a near end of another path.
bool TTourSearch::Improve(uint32_t a) {
  const size_t N = m_Order.size() - 1, i = m_Pos[a];
  const uint32_t nOrigin = static_cast<uint32_t>(N);
  // A move pays when it shortens the tour by a finite amount beyond rounding (ends far
  // enough out make the legs infinite, and a move "saving" infinity would be taken again
  // and again).
  auto pays = [&](double fDelta) { return fDelta < -m_fEps && std::isfinite(fDelta); };
  auto isOut = [&](uint32_t e) {
    return m_Nodes[e / 2].bLoop || (e % 2 == 1) != (m_Rev[e / 2] != 0);
  };
  auto isIn = [&](uint32_t e) {
    return e / 2 != nOrigin && (m_Nodes[e / 2].bLoop || (e % 2 == 0) != (m_Rev[e / 2] != 0));
  };
  for (int side = 0; side < 2; ++side) {
    const bool bOut = side == 0;
    if (!bOut && a == nOrigin) break;
    const TfPoint p = bOut ? OutAt(i) : InAt(i);
    const uint32_t e = m_Nodes[a].bLoop ? 2 * a : 2 * a + ((bOut != (m_Rev[a] != 0)) ? 1 : 0);
    // A move pays only when one of its new legs is shorter than the leg it replaces at
    // that end: the nearest ends are tried while they are nearer than the leg at p.
    const double fLeg = bOut ? LegInto(p, i + 1) : Dist(OutAt(i - 1), p);
    // The Or-opt stretches that have this end at their edge, and what lifting them out saves.
    double fSaved[c_nMaxSegment + 1] = {};
    size_t nLens = 0;
    if (a != nOrigin)
      for (size_t nLen = 1; nLen <= c_nMaxSegment; ++nLen) {
        if (bOut ? i < nLen : i + nLen - 1 > N) break;
        const size_t f = bOut ? i - nLen + 1 : i, l = f + nLen - 1;
        fSaved[nLen] =
            Dist(OutAt(f - 1), InAt(f)) +
            (l < N ? Dist(OutAt(l), InAt(l + 1)) - Dist(OutAt(f - 1), InAt(l + 1)) : 0.0);
        nLens = nLen;
      }
    for (size_t q = 0; q < c_nNear; ++q) {
      const uint32_t nb = m_Near[e * c_nNear + q];
      if (nb == UINT32_MAX) break;
      const double fNew = Dist(p, m_EndPoint[nb]);
      if (fNew >= fLeg) break;
      const uint32_t b = nb / 2;
      const size_t k = m_Pos[b];
      if (bOut && isOut(nb)) {  // leg a.out - b.out by a reversal
        double fDelta = 0.0;
        size_t x = 0, y = 0;
        if (k > i) {
          x = i + 1, y = k;
          fDelta = fNew + (k < N ? Dist(InAt(x), InAt(k + 1)) - Dist(OutAt(k), InAt(k + 1)) : 0.0) -
                   Dist(p, InAt(x));
        } else {
          x = k + 1, y = i;
          fDelta = fNew + (i < N ? Dist(InAt(x), InAt(i + 1)) - Dist(p, InAt(i + 1)) : 0.0) -
                   Dist(OutAt(k), InAt(x));
        }
        if (pays(fDelta) && TryTwoOpt(x, y, fDelta)) return true;
      }
      if (!bOut && isIn(nb)) {  // leg a.in - b.in by a reversal
        const size_t x = k > i ? i : k, y = (k > i ? k : i) - 1;
        const double fDelta = Dist(OutAt(x - 1), OutAt(y)) + fNew - Dist(OutAt(x - 1), InAt(x)) -
                              Dist(OutAt(y), InAt(y + 1));
        if (pays(fDelta) && TryTwoOpt(x, y, fDelta)) return true;
      }
      // Or-opt: the stretch that begins (bOut false) or ends (bOut true) at a, put after
      // b (its out end near) or before it (its in end near).
      for (size_t nLen = 1; nLen <= nLens; ++nLen) {
        const size_t f = bOut ? i - nLen + 1 : i, l = f + nLen - 1;
        const TfPoint A = InAt(f), B = OutAt(l);
        for (int place = 0; place < 2; ++place) {
          const bool bAfter = place == 0;
          if (bAfter ? !isOut(nb) : !isIn(nb)) continue;
          const size_t pb = bAfter ? k : k - 1;
          if (pb + 1 >= f && pb <= l) continue;
          // After b the near end of the stretch enters; before b it leaves.
          const bool bTurn = bAfter == bOut;
          const TfPoint X = OutAt(pb);
          const bool bY = pb < N;
          const TfPoint Y = bY ? InAt(pb + 1) : TfPoint{};
          const TfPoint in = bTurn ? B : A, out = bTurn ? A : B;
          const double fCost = Dist(X, in) + (bY ? Dist(out, Y) - Dist(X, Y) : 0.0);
          if (pays(fCost - fSaved[nLen]) && TryOrOpt(f, l, pb, bTurn, fCost - fSaved[nLen]))
            return true;
        }
      }
    }
  }
  return false;
}

void TTourSearch::Search() {
  while (m_nQueueHead < m_Queue.size()) {
    const uint32_t a = m_Queue[m_nQueueHead++];
    m_Queued[a] = 0;
    if (Improve(a)) Push(m_Pos[a]);
    if (m_nQueueHead > 4096 && m_nQueueHead * 2 > m_Queue.size()) {
      m_Queue.erase(m_Queue.begin(), m_Queue.begin() + static_cast<ptrdiff_t>(m_nQueueHead));
      m_nQueueHead = 0;
    }
  }
  m_Queue.clear();
  m_nQueueHead = 0;
}

// Two neighbouring stretches swap places (a double bridge kept local); the search then
// repairs around them, and the whole is undone when it ends no shorter.
bool TTourSearch::Kick() {
  const size_t N = m_Order.size() - 1;
  if (N < 3) return false;
  const size_t nSpan = std::min(c_nKickSpan, N / 2);
  const size_t L1 = 1 + Random() % nSpan, L2 = 1 + Random() % nSpan;
  if (L1 + L2 > N) return false;
  const size_t p = 1 + Random() % (N - L1 - L2 + 1), c = p + L1, q = c + L2 - 1;
  if (!m_Containers.empty())
    for (size_t k = p; k < c; ++k)
      for (uint32_t x : m_Containers[m_Order[k]])
        if (m_Pos[x] >= c && m_Pos[x] <= q) return false;
  const TfPoint X = OutAt(p - 1), Bin = InAt(p), Bout = OutAt(c - 1), Cin = InAt(c),
                Cout = OutAt(q);
  const double fDelta = Dist(X, Cin) + Dist(Cout, Bin) + LegInto(Bout, q + 1) - Dist(X, Bin) -
                        Dist(Bout, Cin) - LegInto(Cout, q + 1);
  m_Journal.clear();
  m_bJournal = true;
  m_fDelta = fDelta;
  Reverse(p, q);
  Reverse(p, p + L2 - 1);
  Reverse(p + L2, q);
  for (size_t k : {p - 1, p, p + L2 - 1, p + L2, q, q + 1}) Push(k);
  Search();
  m_bJournal = false;
  if (m_fDelta < -m_fEps) return true;
  for (size_t k = m_Journal.size(); k-- > 0;) Reverse(m_Journal[k].first, m_Journal[k].second);
  return false;
}

void TTourSearch::Run(size_t nKicks) {
  BuildNeighbours();
  for (size_t i = 1; i < m_Order.size(); ++i) Push(i);
  Search();
  for (size_t k = 0; k < nKicks; ++k) Kick();
}

}  // namespace veltrane
