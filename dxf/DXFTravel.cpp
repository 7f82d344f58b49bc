// Shorter travel for a layer: the tour search over its paths, in rounds, each followed by
// new entry points for the closed paths, which are then split on their true outline (a
// line at a point along it, an arc or circle at an angle).
#include "dxf/DXFTravel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dxf/DXFChain.h"
#include "dxf/DXFTourSearch.h"
#include "geometry/PointMath.h"

namespace veltrane {

namespace {

constexpr int c_nRounds = 3;            // searches, each followed by new entry points for the loops
constexpr size_t c_nKicksPerPath = 40;  // kicks per path in the first search, fewer after,
constexpr size_t c_nKicksFullUpTo = 5000;    // for this many paths; beyond, for time's sake,
constexpr size_t c_nKicksPerPathBeyond = 8;  // this many per further path
constexpr int c_nEntrySamples = 8;           // points tried along each record for a loop's entry
constexpr int c_nEntryRefine = 24;           // golden-section steps about the best of them

using pointmath::Dist;

// The point at t (0..1) along a line, arc or circle; others are their start point.
TfPoint PointOn(const TDXFEntity& r, double t) {
  if (t <= 0.0) return r.fStartPoint;
  if (t >= 1.0) return r.EntityType == eDXFET_Circle ? r.fStartPoint : r.fEndPoint;
  if (r.EntityType == eDXFET_Line)
    return TfPoint{r.fStartPoint.fX + t * (r.fEndPoint.fX - r.fStartPoint.fX),
                   r.fStartPoint.fY + t * (r.fEndPoint.fY - r.fStartPoint.fY)};
  if (r.EntityType != eDXFET_Arc && r.EntityType != eDXFET_Circle) return r.fStartPoint;
  const TfPoint& c = r.fCentrePoint;
  const double sgn = r.Direction == eClockwise ? -1.0 : 1.0;
  const double a0 = std::atan2(r.fStartPoint.fY - c.fY, r.fStartPoint.fX - c.fX);
  double fSweep = 2 * std::numbers::pi;
  if (r.EntityType == eDXFET_Arc) {
    fSweep = std::fmod(sgn * (std::atan2(r.fEndPoint.fY - c.fY, r.fEndPoint.fX - c.fX) - a0),
                       2 * std::numbers::pi);
    if (fSweep <= 0.0) fSweep += 2 * std::numbers::pi;
  }
  const double fRadius = Dist(r.fStartPoint, c);  // on the circle the moves are written about
  const double a = a0 + sgn * t * fSweep;
  return TfPoint{c.fX + fRadius * std::cos(a), c.fY + fRadius * std::sin(a)};
}

// Where a loop is entered: a record and how far along it.
struct TEntry {
  size_t nRecord = 0;
  double fT = 0.0;
  TfPoint At;
};

// The point of a loop that makes the way in from Prev and on to Next (when there is a
// next) shortest: samples along each record, then a golden-section search about the best.
// Current stands unless a point is clearly better.
TEntry BestEntry(const std::vector<TDXFEntity>& Path, const TEntry& Current, const TfPoint& Prev,
                 const TfPoint* pNext) {
  auto cost = [&](const TfPoint& q) { return Dist(Prev, q) + (pNext ? Dist(q, *pNext) : 0.0); };
  TEntry best = Current;
  double fBest = cost(Current.At);
  const double fKeep = fBest;
  for (size_t k = 0; k < Path.size(); ++k) {
    const TDXFEntity& r = Path[k];
    if (r.EntityType != eDXFET_Line && r.EntityType != eDXFET_Arc && r.EntityType != eDXFET_Circle)
      continue;
    double fT = 0.0, fHere = cost(r.fStartPoint);
    for (int j = 1; j <= c_nEntrySamples; ++j) {
      const double t = static_cast<double>(j) / c_nEntrySamples, f = cost(PointOn(r, t));
      if (f < fHere) fHere = f, fT = t;
    }
    double lo = std::max(0.0, fT - 1.0 / c_nEntrySamples),
           hi = std::min(1.0, fT + 1.0 / c_nEntrySamples);
    const double g = (std::sqrt(5.0) - 1) / 2;
    double t1 = hi - g * (hi - lo), t2 = lo + g * (hi - lo);
    double f1 = cost(PointOn(r, t1)), f2 = cost(PointOn(r, t2));
    for (int j = 0; j < c_nEntryRefine; ++j) {
      if (f1 < f2) {
        hi = t2, t2 = t1, f2 = f1, t1 = hi - g * (hi - lo), f1 = cost(PointOn(r, t1));
      } else {
        lo = t1, t1 = t2, f1 = f2, t2 = lo + g * (hi - lo), f2 = cost(PointOn(r, t2));
      }
    }
    if (f1 < fHere) fHere = f1, fT = t1;
    if (f2 < fHere) fHere = f2, fT = t2;
    if (fHere < fBest) fBest = fHere, best = TEntry{k, fT, PointOn(r, fT)};
  }
  return fBest < fKeep - 1e-9 * (1 + fKeep) ? best : Current;
}

// A closed path's records run from q onwards: the record q lies on is split there.
std::vector<TDXFEntity> StartingAt(const std::vector<TDXFEntity>& Path, size_t nAt,
                                   const TfPoint& q) {
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
  TfPoint at{0, 0};
  for (size_t i = 0; i < L.size(); ++i) {
    if (i == 0 || L[i].nSequence != L[i - 1].nSequence) f += Dist(at, L[i].fStartPoint);
    at = L[i].fEndPoint;
  }
  return f;
}

TTravelResult OptimiseTravel(std::vector<TDXFEntity>& L, int32_t n_seq, double fClosedLimit,
                             const std::vector<std::vector<uint32_t>>& Containers,
                             TProgressStage* pStage) {
  TTravelResult result;
  result.fBefore = result.fAfter = TravelLength(L);
  std::vector<std::vector<TDXFEntity>> paths;
  std::vector<TTourNode> nodes;
  for (size_t i = 0; i < L.size(); ++i) {
    if (i == 0 || L[i].nSequence != L[i - 1].nSequence) paths.emplace_back();
    paths.back().push_back(L[i]);
  }
  const size_t n = paths.size();
  if (n < 2) return result;
  // A path closed within the tolerance only is entered where it starts and keeps its
  // direction; one closed exactly may be entered anywhere on it.
  std::vector<uint8_t> movable(n, 0);
  std::vector<TEntry> entry(n);
  for (size_t k = 0; k < n; ++k) {
    const TfPoint S = paths[k].front().fStartPoint, E = paths[k].back().fEndPoint;
    const bool bLoop = S == E || PointsMatch(S, E, fClosedLimit);
    nodes.push_back(TTourNode{S, bLoop ? S : E, bLoop});
    movable[k] = S == E;
    entry[k].At = S;
  }
  TTourSearch search(std::move(nodes),
                     Containers.size() == n ? Containers : std::vector<std::vector<uint32_t>>{});
  size_t nKicks = c_nKicksPerPath * std::min(n, c_nKicksFullUpTo) +
                  c_nKicksPerPathBeyond * (n - std::min(n, c_nKicksFullUpTo));
  for (int round = 0; round < c_nRounds; ++round, nKicks /= 2) {
    search.Run(nKicks);
    if (pStage) pStage->Step(static_cast<double>(L.size()) * (round + 1) / c_nRounds);
    // Each loop entered where the way in and on is shortest, in travel order, so that
    // the loop before has its new point already.
    const std::vector<uint32_t> order = search.Order();
    bool bMoved = false;
    TfPoint at{0, 0};
    for (size_t i = 0; i < n; ++i) {
      const uint32_t k = order[i];
      if (movable[k]) {
        TfPoint next;
        if (i + 1 < n) {
          const TTourNode& nn = search.Node(order[i + 1]);
          next = search.Reversed(order[i + 1]) ? nn.E : nn.S;
        }
        const TEntry e = BestEntry(paths[k], entry[k], at, i + 1 < n ? &next : nullptr);
        if (!(e.At == entry[k].At)) {
          entry[k] = e;
          search.SetLoopPoint(k, e.At);
          bMoved = true;
        }
      }
      const TTourNode& node = search.Node(k);
      at = search.Reversed(k) ? node.S : node.E;
    }
    if (!bMoved) break;
  }
  std::vector<TDXFEntity> out;
  out.reserve(L.size() + n);
  const std::vector<uint32_t> order = search.Order();
  for (size_t q = 0; q < n; ++q) {
    const uint32_t k = order[q];
    std::vector<TDXFEntity> path = std::move(paths[k]);
    if (movable[k] && (entry[k].nRecord > 0 || entry[k].fT > 0.0))
      path = StartingAt(path, entry[k].nRecord, entry[k].At);
    if (search.Reversed(k)) ReverseRecordRange(path, 0, path.size() - 1);
    for (TDXFEntity& r : path) {
      r.nSequence = n_seq + static_cast<int32_t>(q);
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
