// The robust offset: raw offset pieces and joint arcs, split at every crossing (found by a
// sweep over their boxes, so about n log n), kept where they keep their distance from the
// original, and stitched end to start into one path.
#include "geometry/RobustOffset.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#include "geometry/PointMath.h"
#include "model/NumberFormat.h"

namespace veltrane::offsetcheck {

namespace {

using namespace pointmath;

TfPoint Unit(TfPoint a) {
  const double l = Len(a);
  return l > 0 ? Mul(a, 1 / l) : Pt(0, 0);
}

// Where p lies along the piece, 0 at its start and 1 at its end.
double Along(const TPiece& s, TfPoint p) {
  if (!s.bArc) {
    const TfPoint d = Sub(s.b, s.a);
    const double dd = d.fX * d.fX + d.fY * d.fY;
    return dd > 0 ? ((p.fX - s.a.fX) * d.fX + (p.fY - s.a.fY) * d.fY) / dd : 0.0;
  }
  if (!(s.fSweep > 0)) return 0.0;
  const double ang = std::atan2(p.fY - s.c.fY, p.fX - s.c.fX);
  double w = std::fmod(s.bCw ? s.fStart - ang : ang - s.fStart, 2 * pi);
  if (w < 0) w += 2 * pi;
  if (w > s.fSweep + 1e-9 && w > 2 * pi - 1e-9) w = 0;  // just before the start: the start
  return w / s.fSweep;
}

TfPoint PointAlong(const TPiece& s, double t) {
  if (!s.bArc) return Add(s.a, Mul(Sub(s.b, s.a), t));
  const double ang = s.fStart + (s.bCw ? -1 : 1) * s.fSweep * t;
  return Pt(s.c.fX + s.r * std::cos(ang), s.c.fY + s.r * std::sin(ang));
}

// The part of the piece from t0 to t1 (0 its start, 1 its end).
TPiece Part(const TPiece& s, double t0, double t1) {
  const TfPoint a = t0 <= 0 ? s.a : PointAlong(s, t0), b = t1 >= 1 ? s.b : PointAlong(s, t1);
  if (!s.bArc) return LinePiece(a, b);
  return ArcPiece(a, b, s.c, s.bCw, (t1 - t0) * s.fSweep >= 2 * pi - 1e-12);
}

double Length(const TPiece& s) { return s.bArc ? s.r * s.fSweep : Dist(s.a, s.b); }

double Scale(const std::vector<TPiece>& V) {
  double m = 1.0;
  for (const TPiece& s : V)
    m = std::max(
        {m, std::fabs(s.lo.fX), std::fabs(s.lo.fY), std::fabs(s.hi.fX), std::fabs(s.hi.fY)});
  return m;
}

}  // namespace

bool RobustOffset(const std::vector<TPiece>& Original, double f, bool bClosed,
                  std::vector<TOffsetPiece>& Result, std::string& strReason, std::vector<TfPoint>& Uncut) {
  Result.clear();
  Uncut.clear();
  const size_t n = Original.size();
  if (n == 0) {
    strReason = "the sequence has no move that can be offset";
    return false;
  }
  // eps: what the arithmetic on numbers of this size can tell apart, with room to spare.
  const double fAbs = std::fabs(f), eps = 1e-11 * (Scale(Original) + fAbs);
  // 1. Every piece moved sideways. An arc whose radius falls below nothing turns inside
  //    out: the points at the offset from it lie on the circle of the leftover radius on
  //    the far side of its centre, passed the same way round.
  std::vector<TOffsetPiece> raw;
  auto moved = [&](const TPiece& s) {
    if (!s.bArc) {
      const TfPoint d = Unit(Sub(s.b, s.a)), nrm = Pt(-d.fY, d.fX);
      return LinePiece(Add(s.a, Mul(nrm, f)), Add(s.b, Mul(nrm, f)));
    }
    const double R = s.bCw ? s.r + f : s.r - f;  // left of an anticlockwise arc is its centre
    const TfPoint a = Add(s.c, Mul(Unit(Sub(s.a, s.c)), R)),
                  b = Add(s.c, Mul(Unit(Sub(s.b, s.c)), R));
    if (std::fabs(R) <= eps) return LinePiece(s.c, s.c);
    return ArcPiece(a, b, s.c, s.bCw, s.fSweep >= 2 * pi);
  };
  std::vector<TPiece> offs;
  for (const TPiece& s : Original) offs.push_back(moved(s));
  // 2. Joints: where two moved pieces do not meet, an arc of the offset's radius about the
  //    joint takes the shorter way round from one to the other.
  for (size_t i = 0; i < n; ++i) {
    raw.push_back(TOffsetPiece{offs[i], static_cast<int32_t>(i)});
    if (i + 1 == n && !bClosed) break;
    const size_t j = (i + 1) % n;
    const TfPoint E = offs[i].b, S = offs[j].a, J = Original[i].b;
    if (Dist(E, S) <= eps) continue;
    // The joint arc turns the way the path turns. At a reversal (the path comes back on
    // its own tangent) the sign of the cross product is rounding noise: the curvature of
    // the two pieces tells which way the path turns there, and a straight spike is rounded
    // about its tip.
    const TfPoint u = Sub(E, J), v = Sub(S, J);
    const double cross = u.fX * v.fY - u.fY * v.fX, dot = u.fX * v.fX + u.fY * v.fY;
    bool bCw = cross < 0;
    const bool bReversal = dot < 0 && std::fabs(cross) <= 1e-9 * (u.fX * u.fX + u.fY * u.fY);
    // At a corner turning towards the offset's side every inner point of the joint arc
    // lies closer than the offset to the piece before it (it points back along it): it
    // is never part of the offset, however slightly the path turns there.
    if (!bReversal && (cross > 0) == (f > 0)) continue;
    if (bReversal) {
      auto curvature = [](const TPiece& s) { return !s.bArc ? 0.0 : (s.bCw ? -1.0 : 1.0) / s.r; };
      const double k = curvature(Original[i]) + curvature(Original[j]);
      const double kTiny = 1e-12 / std::max(eps, fAbs);
      bCw = k > kTiny || (std::fabs(k) <= kTiny && f > 0);
    }
    raw.push_back(TOffsetPiece{ArcPiece(E, S, J, bCw, false), static_cast<int32_t>(i)});
  }
  std::vector<TPiece> pieces;
  for (const auto& r : raw) pieces.push_back(r.Piece);
  const size_t m = pieces.size();
  // A straight piece whose two ends both lie closer than the offset to one straight piece
  // of the original lies wholly too close (distance to a segment is convex along a line):
  // it is dropped before the crossings are sought. Many tiny pieces under a large offset
  // would otherwise cross each other many times over.
  // A piece whose every point lies at the offset from the original is kept however the
  // rounding falls; one that comes closer by more than rounding is dropped, so that the
  // tiny loops of nearly straight corners go too.
  const double fInside = fAbs - 10 * eps;
  std::vector<bool> bDropped(m, false);
  ForNearPairs(pieces, Original, fAbs, false, [&](size_t i, size_t j) {
    if (!bDropped[i] && !pieces[i].bArc && !Original[j].bArc &&
        Distance(pieces[i].a, Original[j]) < fInside &&
        Distance(pieces[i].b, Original[j]) < fInside)
      bDropped[i] = true;
    return true;
  });
  // 3. Split every piece wherever it meets another, joints with its neighbours aside.
  std::vector<std::vector<double>> cuts(m);
  std::vector<TfPoint> at;
  ForNearPairs(pieces, pieces, eps, true, [&](size_t i, size_t j) {
    const size_t a = std::min(i, j), b = std::max(i, j);
    if (bDropped[a] || bDropped[b]) return true;
    if (!Meet(pieces[a], pieces[b], at)) return true;
    for (const TfPoint& p : at) {
      const bool bJoint = (b == a + 1 && Dist(p, pieces[a].b) <= 100 * eps) ||
                          (bClosed && a == 0 && b == m - 1 && Dist(p, pieces[a].a) <= 100 * eps);
      if (bJoint) continue;
      cuts[a].push_back(Along(pieces[a], p));
      cuts[b].push_back(Along(pieces[b], p));
    }
    return true;
  });
  std::vector<TOffsetPiece> split;
  for (size_t i = 0; i < m; ++i) {
    if (bDropped[i]) continue;
    std::vector<double>& c = cuts[i];
    c.push_back(0.0);
    c.push_back(1.0);
    std::sort(c.begin(), c.end());
    const double fLength = Length(pieces[i]);
    const size_t nFirstPart = split.size();
    double tFrom = 0.0, tLast = 0.0;
    for (double t : c) {
      t = std::clamp(t, 0.0, 1.0);
      if ((t - tFrom) * fLength <= 10 * eps) continue;
      split.push_back(TOffsetPiece{Part(pieces[i], tFrom, t), raw[i].nSource});
      tLast = tFrom;
      tFrom = t;
    }
    // A last stretch too short to stand alone joins the part before it.
    if (tFrom < 1.0 && split.size() > nFirstPart) split.back().Piece = Part(pieces[i], tLast, 1.0);
  }
  // 4. Keep what keeps its distance: a piece cut at every crossing lies wholly within the
  //    offset's distance of the original or wholly beyond it; its middle tells which.
  std::vector<TPiece> mids;
  for (const auto& s : split) {
    const TfPoint p = PointAlong(s.Piece, 0.5);
    mids.push_back(LinePiece(p, p));
  }
  std::vector<double> closest(split.size(), 1e300);
  ForNearPairs(mids, Original, fAbs, false, [&](size_t i, size_t j) {
    closest[i] = std::min(closest[i], Distance(mids[i].a, Original[j]));
    return true;
  });
  std::vector<TOffsetPiece> kept;
  for (size_t i = 0; i < split.size(); ++i)
    if (closest[i] >= fInside) kept.push_back(split[i]);
  if (kept.empty()) {
    strReason =
        "no offset path keeps the tool radius from the path (the tool is larger than the part)";
    return false;
  }
  // 4b. A piece that no other continues, or that continues none, leads nowhere: a stub
  //     left where rounding kept a sliver the offset only grazes. Such stubs go, one
  //     after the other (an open path's own ends aside).
  {
    const double fJoin = 100 * eps;
    std::vector<size_t> byStart(kept.size()), byEnd(kept.size());
    for (size_t i = 0; i < kept.size(); ++i) byStart[i] = byEnd[i] = i;
    std::sort(byStart.begin(), byStart.end(),
              [&](size_t a, size_t b) { return kept[a].Piece.a.fX < kept[b].Piece.a.fX; });
    std::sort(byEnd.begin(), byEnd.end(),
              [&](size_t a, size_t b) { return kept[a].Piece.b.fX < kept[b].Piece.b.fX; });
    std::vector<bool> gone(kept.size(), false);
    // Calls fn(k) for every piece left that starts (bStart) or ends at p.
    auto at = [&](TfPoint p, bool bStart, auto fn) {
      const std::vector<size_t>& v = bStart ? byStart : byEnd;
      auto x = [&](size_t k) { return bStart ? kept[k].Piece.a : kept[k].Piece.b; };
      auto it = std::lower_bound(v.begin(), v.end(), p.fX - fJoin, [&](size_t k, double X) { return x(k).fX < X; });
      for (; it != v.end() && x(*it).fX <= p.fX + fJoin; ++it)
        if (!gone[*it] && Dist(x(*it), p) <= fJoin) fn(*it);
    };
    const TfPoint openStart = offs.front().a, openEnd = offs.back().b;
    std::vector<int> nNext(kept.size(), 0), nPrev(kept.size(), 0);
    std::vector<size_t> work;
    for (size_t i = 0; i < kept.size(); ++i) {
      at(kept[i].Piece.b, true, [&](size_t k) { nNext[i] += k != i; });
      at(kept[i].Piece.a, false, [&](size_t k) { nPrev[i] += k != i; });
      if (!bClosed && Dist(kept[i].Piece.a, openStart) <= fJoin) ++nPrev[i];
      if (!bClosed && Dist(kept[i].Piece.b, openEnd) <= fJoin) ++nNext[i];
      if (nNext[i] == 0 || nPrev[i] == 0) work.push_back(i);
    }
    while (!work.empty()) {
      const size_t i = work.back();
      work.pop_back();
      if (gone[i]) continue;
      gone[i] = true;
      at(kept[i].Piece.a, false, [&](size_t k) {
        if (--nNext[k] == 0) work.push_back(k);
      });
      at(kept[i].Piece.b, true, [&](size_t k) {
        if (--nPrev[k] == 0) work.push_back(k);
      });
    }
    std::vector<TOffsetPiece> left;
    for (size_t i = 0; i < kept.size(); ++i)
      if (!gone[i]) left.push_back(kept[i]);
    if (left.empty()) {
      strReason = "no offset path keeps the tool radius from the path (the tool is larger than the part)";
      return false;
    }
    kept.swap(left);
  }
  // 5. Join the pieces end to start into loops (an open path: its chain from the start,
  //    then loops). A loop that comes back to a point it passed is two loops.
  std::vector<size_t> order(kept.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return kept[a].Piece.a.fX < kept[b].Piece.a.fX; });
  std::vector<bool> used(kept.size(), false);
  const double fJoin = 100 * eps;
  auto nextAfter = [&](TfPoint p) -> size_t {
    auto it = std::lower_bound(order.begin(), order.end(), p.fX - fJoin,
                               [&](size_t k, double x) { return kept[k].Piece.a.fX < x; });
    size_t best = kept.size();
    double fBest = fJoin;
    for (; it != order.end() && kept[*it].Piece.a.fX <= p.fX + fJoin; ++it)
      if (!used[*it] && Dist(kept[*it].Piece.a, p) <= fBest) best = *it, fBest = Dist(kept[*it].Piece.a, p);
    return best;
  };
  std::vector<std::vector<size_t>> loops;
  std::vector<bool> bLoopCloses;
  auto trace = [&](size_t k) {
    std::vector<size_t> loop;
    const TfPoint start = kept[k].Piece.a;
    while (k < kept.size()) {
      used[k] = true;
      loop.push_back(k);
      if (Dist(kept[k].Piece.b, start) <= fJoin && (bClosed || !loops.empty())) break;
      k = nextAfter(kept[k].Piece.b);
    }
    bLoopCloses.push_back(Dist(kept[loop.back()].Piece.b, start) <= fJoin);
    loops.push_back(std::move(loop));
  };
  if (!bClosed) {
    size_t first = kept.size();
    for (size_t i = 0; i < kept.size(); ++i)
      if (Dist(kept[i].Piece.a, offs.front().a) <= fJoin) first = i;
    if (first == kept.size()) {
      strReason = "the start of the path lies too close to the rest of it for the tool";
      return false;
    }
    trace(first);
    bLoopCloses[0] = Dist(kept[loops[0].back()].Piece.b, offs.back().b) <= fJoin;
  }
  for (size_t k = 0; k < kept.size(); ++k)
    if (!used[k]) trace(k);
  // A loop passing one point twice (two pieces leaving it) splits there.
  for (size_t l = bClosed ? 0 : 1; l < loops.size(); ++l) {
    if (!bLoopCloses[l] || loops[l].size() < 2) continue;
    std::vector<size_t> at(loops[l].size());
    for (size_t i = 0; i < at.size(); ++i) at[i] = i;
    const std::vector<size_t>& L = loops[l];
    std::sort(at.begin(), at.end(), [&](size_t a, size_t b) { return kept[L[a]].Piece.a.fX < kept[L[b]].Piece.a.fX; });
    size_t i0 = 0, i1 = 0;
    bool bFound = false;
    for (size_t i = 0; i < at.size() && !bFound; ++i)
      for (size_t j = i + 1; j < at.size() && kept[L[at[j]]].Piece.a.fX <= kept[L[at[i]]].Piece.a.fX + fJoin; ++j)
        if (Dist(kept[L[at[i]]].Piece.a, kept[L[at[j]]].Piece.a) <= fJoin) {
          i0 = std::min(at[i], at[j]), i1 = std::max(at[i], at[j]), bFound = true;
          break;
        }
    if (!bFound) continue;
    std::vector<size_t> inner(L.begin() + static_cast<ptrdiff_t>(i0), L.begin() + static_cast<ptrdiff_t>(i1));
    loops[l].erase(loops[l].begin() + static_cast<ptrdiff_t>(i0), loops[l].begin() + static_cast<ptrdiff_t>(i1));
    loops.push_back(std::move(inner));
    bLoopCloses.push_back(true);
    --l;  // the rest may pass another point twice
  }
  // Loops that turn against the path enclose what the tool cannot reach (a pocket whose
  // mouth is narrower than the tool) or are specks of rounding where the offset touches
  // itself; loops of no size are specks too. What remains must be one loop.
  const double fOrient = bClosed ? SignedArea(Original) : 1.0;
  const double fTiny = std::max(1e-3 * fAbs, 1e-7 * Scale(Original));
  std::vector<size_t> keep;
  size_t nMain = loops.size();
  double fMainArea = -1;
  for (size_t l = 0; l < loops.size(); ++l) {
    std::vector<TPiece> v;
    TfPoint lo = kept[loops[l][0]].Piece.lo, hi = kept[loops[l][0]].Piece.hi;
    for (size_t k : loops[l]) {
      v.push_back(kept[k].Piece);
      lo = Pt(std::min(lo.fX, kept[k].Piece.lo.fX), std::min(lo.fY, kept[k].Piece.lo.fY));
      hi = Pt(std::max(hi.fX, kept[k].Piece.hi.fX), std::max(hi.fY, kept[k].Piece.hi.fY));
    }
    const bool bChain = !bClosed && l == 0;
    const double fArea = bChain ? 0.0 : SignedArea(v);
    const bool bTiny = !bChain && Dist(lo, hi) <= fTiny;
    if (bTiny) continue;
    if (!bChain && bLoopCloses[l] && (fArea > 0) != (fOrient > 0)) {
      if (bClosed) Uncut.push_back(kept[loops[l][0]].Piece.a);
      continue;
    }
    keep.push_back(l);
    if (bChain || std::fabs(fArea) > fMainArea) nMain = l, fMainArea = bChain ? 1e300 : std::fabs(fArea);
  }
  bool bSound = keep.size() == 1 && bLoopCloses[nMain];
  if (!bSound) {
    Uncut.clear();
    if (keep.size() > 1) {
      // Where it falls apart: between the two largest loops, where they come closest.
      std::vector<std::pair<double, size_t>> bySize;
      for (size_t l : keep) {
        std::vector<TPiece> v;
        for (size_t k : loops[l]) v.push_back(kept[k].Piece);
        bySize.emplace_back(-std::fabs(SignedArea(v)), l);
      }
      std::sort(bySize.begin(), bySize.end());
      std::vector<TPiece> A, B;
      for (size_t k : loops[bySize[0].second]) A.push_back(kept[k].Piece);
      for (size_t k : loops[bySize[1].second]) B.push_back(kept[k].Piece);
      double fBest = 1e300;
      TfPoint where = A[0].a;
      ForNearPairs(A, B, 2 * fAbs + eps, false, [&](size_t i, size_t j) {
        const double d = Distance(A[i], B[j]);
        if (d < fBest) {
          fBest = d;
          const TfPoint p = PointAlong(A[i], 0.5), q = PointAlong(B[j], 0.5);
          where = Pt((p.fX + q.fX) / 2, (p.fY + q.fY) / 2);
        }
        return true;
      });
      strReason = std::string(bClosed ? "the offset path falls apart into separate loops at a narrow part near ("
                                      : "the offset path falls apart at a narrow part near (") +
                  StringFromDouble(where.fX) + "," + StringFromDouble(where.fY) + ")" +
                  (bClosed ? "; compensate the parts as separate sequences" : "");
    } else {
      strReason = "no offset path keeps the tool radius from the path (the tool is larger than the part)";
    }
    return false;
  }
  for (size_t k : loops[nMain]) Result.push_back(kept[k]);
  if (bClosed) {
    // Start where the direct method starts: nearest the offset of the path's start.
    const TfPoint want = offs.front().a;
    size_t best = 0;
    for (size_t i = 1; i < Result.size(); ++i)
      if (Dist(Result[i].Piece.a, want) < Dist(Result[best].Piece.a, want)) best = i;
    std::rotate(Result.begin(), Result.begin() + static_cast<ptrdiff_t>(best), Result.end());
  }
  return true;
}

}  // namespace veltrane::offsetcheck
