// Fewest arcs within a tolerance: the curve is walked from its start, and each step takes
// the longest stretch that one biarc (two arcs meeting tangentially, leaving and arriving
// along the curve) or one straight move covers, found by galloping and bisection on the
// parameter. A stretch is accepted when a bound on its deviation, both ways, stays within
// the tolerance: the deviation is 1-Lipschitz along either path, so samples refined until
// the bound between neighbours is met leave no peak unseen. Breaks are kept only where
// the curve turns a corner; elsewhere the arcs run across knots and fit points.
#include "dxf/DXFArcFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "geometry/OffsetCheck.h"
#include "geometry/PointMath.h"

namespace veltrane {

namespace {

using namespace pointmath;

constexpr double c_fSampleShare = 0.85;  // each sample's deviation may use this much of D
constexpr double c_fBoundShare = 0.97;   // and the bound between neighbouring samples this much
constexpr int c_nFirstSamples = 24;      // curve samples of a stretch before refinement
constexpr int c_nMaxRefine = 16;         // halvings of a gap between two samples
constexpr double c_fTinyGap = 0.01;      // a gap this share of the bound is settled by its ends
constexpr int c_nArcSamples = 8;         // first samples along each piece of the path
constexpr double c_fFlatGap =
    1.01;  // a gap turns little when its polygon is this much longer than its chord
constexpr double c_fLengthSlack =
    1.05;  // the curve between samples may be this much longer than their polygon
constexpr double c_fCornerTurn = 1e-4;  // radians: a break where the curve turns more is a corner
constexpr double c_fStraightKink =
    2e-3;  // radians: a straight move may leave the curve's tangent by this much
constexpr double c_fMinJointShare =
    1e-3;  // a biarc's joint no nearer either end than this share of the chord
constexpr double c_fReach = 1.0 / 64;  // the search stops when the reach is known to this share
constexpr int c_nMaxDepth = 40;        // halvings of a stretch before a straight move is forced
// A curve that needs more forced moves than this (one whose points the coordinates cannot
// tell apart at the tolerance, far from the origin), or more pieces than its short moves
// would ever be, is given up.
constexpr int c_nMaxForced = 64;
constexpr size_t c_nMaxPieces = 100000;
// Nor is a fit tried below this share of the curve's coordinates: there the coordinates
// cannot tell its points apart at the tolerance.
constexpr double c_fFinestShare = 1e-12;
// Nor is one that needs more evaluations of the curve than this (a fit's work grows with
// the curve's size over the tolerance; this is about three seconds' in a release build).
constexpr size_t c_nMaxEvaluations = 4'000'000;
struct TGiveUp {};
constexpr double c_fArcShare =
    0.6;  // a single arc is taken when it reaches this share of a biarc's reach

TfPoint Unit(TfPoint a) {
  const double l = Len(a);
  return l > 0 ? Mul(a, 1 / l) : TfPoint{0, 0};
}

// The arc from a leaving along t through b, as a bulge (tan of a quarter of its angle).
double BulgeFrom(TfPoint a, TfPoint t, TfPoint b) {
  const TfPoint c = Sub(b, a);
  const double half = std::atan2(Cross(t, c), Dot(t, c));  // half the arc's angle
  return std::tan(half / 2);
}

struct TArcOf {
  bool bStraight = true;
  TfPoint c;
  double r = 0, fStart = 0, fSweep = 0;  // fSweep signed: anticlockwise positive
};

TArcOf ArcOf(TfPoint a, TfPoint b, double fBulge) {
  TArcOf s;
  const double theta = 4 * std::atan(fBulge);
  const double chord = Len(Sub(b, a));
  if (std::fabs(fBulge) < 1e-12 || !(chord > 0)) return s;
  s.bStraight = false;
  s.r = chord / (2 * std::fabs(std::sin(theta / 2)));
  // The centre lies off the chord's middle, on the left for an anticlockwise arc.
  const TfPoint m = Mul(Add(a, b), 0.5), n = Unit({-(b.fY - a.fY), b.fX - a.fX});
  const double h = chord / 2 / std::tan(theta / 2);
  s.c = Add(m, Mul(n, h));
  s.fStart = std::atan2(a.fY - s.c.fY, a.fX - s.c.fX);
  s.fSweep = theta;
  return s;
}

double SegmentDistance(TfPoint p, TfPoint a, TfPoint b) {
  return offsetcheck::Distance(p, offsetcheck::LinePiece(a, b));
}

// One straight move or arc of a candidate path, with its circle worked out once.
struct TSeg {
  TfPoint a, b;
  double fBulge = 0;
  TArcOf arc;
  TfPoint EndDirection() const {
    if (arc.bStraight) return Unit(Sub(b, a));
    const TfPoint r = Sub(b, arc.c);  // turned a quarter the way the arc runs
    return Unit(arc.fSweep > 0 ? Pt(-r.fY, r.fX) : Pt(r.fY, -r.fX));
  }
  double Length() const { return arc.bStraight ? Dist(a, b) : arc.r * std::fabs(arc.fSweep); }
  TfPoint At(double u) const {
    if (arc.bStraight) return Add(a, Mul(Sub(b, a), u));
    const double ang = arc.fStart + arc.fSweep * u;
    return {arc.c.fX + arc.r * std::cos(ang), arc.c.fY + arc.r * std::sin(ang)};
  }
  double Distance(TfPoint p) const {
    if (arc.bStraight) return SegmentDistance(p, a, b);
    // Within the sweep: the radial distance; otherwise the nearer end.
    double ang = std::atan2(p.fY - arc.c.fY, p.fX - arc.c.fX) - arc.fStart;
    ang = arc.fSweep > 0 ? std::fmod(ang + 4 * pi, 2 * pi) : -std::fmod(-ang + 4 * pi, 2 * pi);
    if (std::fabs(ang) <= std::fabs(arc.fSweep)) return std::fabs(Len(Sub(p, arc.c)) - arc.r);
    return std::min(Len(Sub(p, a)), Len(Sub(p, b)));
  }
};

TSeg MakeSeg(TfPoint a, TfPoint b, double fBulge) {
  // An arc that the polyline's expansion writes straight (its bow lost in the last
  // decimal, or its radius absurd) is checked as the straight move it becomes.
  if (fBulge != 0 && BulgeIsStraight(fBulge, Dist(a, b))) fBulge = 0;
  return TSeg{a, b, fBulge, ArcOf(a, b, fBulge)};
}

// A candidate path over one stretch: one straight move, or the two arcs of a biarc.
struct TPath {
  std::array<TSeg, 2> seg;
  int n = 0;
  double Distance(TfPoint p) const {
    double f = seg[0].Distance(p);
    if (n > 1) f = std::min(f, seg[1].Distance(p));
    return f;
  }
};

// The centre of the circle through p, q, r; false when they lie on a line.
bool Circumcentre(TfPoint p, TfPoint q, TfPoint r, TfPoint& c) {
  const TfPoint u = Sub(q, p), v = Sub(r, p);
  const double d = 2 * Cross(u, v);
  if (std::fabs(d) <= 1e-14 * Dot(u, u) * Dot(v, v) / std::max(Len(u) * Len(v), 1e-300))
    return false;
  const double uu = Dot(u, u), vv = Dot(v, v);
  c = Add(p, Pt((v.fY * uu - u.fY * vv) / d, (u.fX * vv - v.fX * uu) / d));
  return std::isfinite(c.fX) && std::isfinite(c.fY);
}

// The joint of the biarc from a leaving along ta to b arriving along tb whose two
// tangent lengths are equal; false when there is none (the tangents point away).
bool EqualJoint(TfPoint a, TfPoint ta, TfPoint b, TfPoint tb, TfPoint& j) {
  const TfPoint v = Sub(b, a);
  const double vv = Dot(v, v);
  if (!(vv > 0)) return false;
  const double vt = Dot(v, Add(ta, tb)), tt = 1 - Dot(ta, tb);
  double d = 0;
  if (std::fabs(tt) < 1e-12) {
    const double vta = Dot(v, ta);
    if (!(vta > 0)) return false;
    d = vv / (4 * vta);
  } else {
    const double disc = vt * vt + 2 * tt * vv;
    if (disc < 0) return false;
    d = (-vt + std::sqrt(disc)) / (2 * tt);
  }
  if (!(d > 0) || !std::isfinite(d)) return false;
  j = Mul(Add(Add(a, Mul(ta, d)), Sub(b, Mul(tb, d))), 0.5);
  return true;
}

// The biarc through the joint j (a point of the joint circle); false when an arc would
// turn half a turn or more, the joint crowds an end, or the arcs do not meet smoothly.
bool MakeBiarc(TfPoint a, TfPoint ta, TfPoint b, TfPoint tb, TfPoint j, TPath& out) {
  const double chord = Dist(a, b);
  if (Dist(a, j) < c_fMinJointShare * chord || Dist(j, b) < c_fMinJointShare * chord) return false;
  const double b1 = BulgeFrom(a, ta, j);
  // The second arc, run backwards from b against tb, turns the same way mirrored.
  const double b2 = -BulgeFrom(b, Mul(tb, -1), j);
  if (!(std::fabs(b1) < 1) || !(std::fabs(b2) < 1)) return false;
  // Leaving j: the first arc's end direction must be the second's start direction.
  const double th1 = 4 * std::atan(b1), th2 = 4 * std::atan(b2);
  const double out1 = Angle(ta) + th1, in2 = Angle(tb) - th2;
  if (std::fabs(AngleDiff(out1, in2)) > 1e-6) return false;
  out.seg[0] = MakeSeg(a, j, b1);
  out.seg[1] = MakeSeg(j, b, b2);
  out.n = 2;
  return true;
}

class TFitter {
 public:
  TFitter(const TArcCurve& C, double f, std::vector<TDXFVertex>& Chain)
      : m_C(C), m_fCheck(c_fSampleShare * f), m_fBound(c_fBoundShare * f), m_Chain(Chain) {}

  // The curve from ta to tb as few pieces as fit. From the start, two kinds of piece are
  // searched for their longest reach: one arc leaving along the path's direction (its end
  // direction is the next piece's start), and one biarc (or straight move) that arrives
  // along the curve's own direction. The piece that gets farther per move is taken; the
  // last piece is always of the second kind, so the path ends along the curve.
  // False when the curve was given up (see c_nMaxForced); throws TGiveUp past
  // c_nMaxEvaluations.
  bool Span(double ta, double tb) {
    m_Dir = Unit(m_C.Tangent(ta, true));
    double s = ta;
    std::array<double, 2> fLast{tb - ta, tb - ta};
    while (s < tb) {
      if (m_nForced > c_nMaxForced || m_nPieces > c_nMaxPieces) return false;
      TPath piece;
      if (Attempt(s, tb, eBiarc, piece)) {
        Emit(piece);
        break;
      }
      TPath best[2];
      const double fBiarc = Reach(s, tb, eBiarc, fLast[1], best[1]);
      const double fArc = Reach(s, tb, eArc, fLast[0], best[0]);
      fLast = {std::max(fArc - s, 0.0), std::max(fBiarc - s, 0.0)};
      if (!(fArc > s) &&
          !(fBiarc > s)) {  // nothing fits even a tiny stretch: a straight move to its end
        const double e = m_C.bVertices
                             ? std::min(tb, std::floor(s) + 1)
                             : std::min(tb, s + (tb - ta) * std::ldexp(1.0, -c_nMaxDepth));
        piece.seg[0] = MakeSeg(At(s), At(e), 0);
        piece.n = 1;
        Emit(piece);
        ++m_nForced;
        s = e;
        continue;
      }
      const bool bArc = fArc - s > c_fArcShare * (fBiarc - s);
      Emit(best[bArc ? 0 : 1]);
      s = bArc ? fArc : fBiarc;
    }
    return true;
  }

 private:
  enum EPiece { eArc = 0, eBiarc = 1 };

  // The farthest end from s (up to tb, which is known not to fit) that a piece of the
  // kind reaches, found by galloping out from the last reach and then bisection; s when
  // none does.
  double Reach(double s, double tb, EPiece evKind, double fGuess, TPath& best) {
    auto snap = [&](double t) { return m_C.bVertices ? std::floor(t) : t; };
    const double fMinStep = (tb - s) * std::ldexp(1.0, -c_nMaxDepth);
    double lo = s, hi = tb;
    TPath piece;
    for (double g = snap(s + std::max(fGuess, fMinStep)); g > lo && g < hi;
         g = snap(s + 2 * (g - s))) {
      if (!Attempt(s, g, evKind, piece)) {
        hi = g;
        break;
      }
      lo = g, best = piece;
    }
    while (hi - lo > fMinStep && (lo == s || hi - lo > c_fReach * (lo - s))) {
      const double mid = snap((lo + hi) / 2);
      if (mid <= lo) break;
      if (Attempt(s, mid, evKind, piece))
        lo = mid, best = piece;
      else
        hi = mid;
    }
    return lo;
  }

  struct TSample {
    double t;
    TfPoint p;
  };

  // One straight move or one biarc covering the curve from ta to tb, within the tolerance
  // both ways.
  bool Attempt(double ta, double tb, EPiece evKind, TPath& out) {
    const TfPoint a = At(ta), b = At(tb);
    if (m_C.bVertices && tb - ta <= 1.0) {  // one segment stays itself
      out.seg[0] = MakeSeg(a, b, 0);
      out.n = 1;
      return true;
    }
    const TfPoint v = Sub(b, a);
    if (!(Len(v) > 0)) return false;
    // The path leaves along its own direction so far (the curve's, but for the turn a
    // single arc left), and a biarc arrives along the curve's.
    const TfPoint Ta = m_Dir, Tb = Unit(m_C.Tangent(tb, false));
    if (!(Len(Ta) > 0) || !(Len(Tb) > 0)) return false;
    // The candidates: a straight move where the curve runs along its chord, and biarcs
    // with their joints at several places of the joint circle (where the joints of all
    // biarcs between these ends and tangents lie).
    std::vector<TPath> paths;
    auto kink = [&](TfPoint t) { return std::fabs(AngleDiff(Angle(t), Angle(v))); };
    if (evKind == eArc) {
      TPath p;
      p.seg[0] = MakeSeg(a, b, BulgeFrom(a, Ta, b));
      p.n = 1;
      if (std::fabs(p.seg[0].fBulge) < 1) paths.push_back(p);
    } else if (kink(Ta) <= c_fStraightKink && kink(Tb) <= c_fStraightKink) {
      TPath p;
      p.seg[0] = MakeSeg(a, b, 0);
      p.n = 1;
      paths.push_back(p);
    }
    TfPoint j1, c;
    if (evKind == eBiarc && EqualJoint(a, Ta, b, Tb, j1)) {
      std::vector<TfPoint> joints{j1};
      if (Circumcentre(a, b, j1, c)) {
        const double r = Dist(a, c);
        for (double w : {0.5, 0.35, 0.65}) {
          const TfPoint q = At(ta + (tb - ta) * w), d = Sub(q, c);
          if (Len(d) > 0) joints.push_back(Add(c, Mul(d, r / Len(d))));
        }
      }
      for (const TfPoint& j : joints) {
        TPath p;
        if (MakeBiarc(a, Ta, b, Tb, j, p)) paths.push_back(p);
      }
    }
    if (paths.empty()) return false;
    // First samples of the curve; the candidates are tried nearest first.
    std::vector<TSample> first;
    if (m_C.bVertices) {
      for (double t = std::floor(ta) + 1; t < tb; t += 1.0) first.push_back({t, At(t)});
    } else {
      for (int k = 0; k <= c_nFirstSamples; ++k) {
        const double t = k == c_nFirstSamples ? tb : ta + (tb - ta) * k / c_nFirstSamples;
        first.push_back({t, k == 0 ? a : k == c_nFirstSamples ? b : At(t)});
      }
    }
    std::vector<std::pair<double, size_t>> order;
    for (size_t i = 0; i < paths.size(); ++i) {
      double f = 0;
      for (const TSample& q : first) f = std::max(f, paths[i].Distance(q.p));
      if (f <= m_fCheck) order.push_back({f, i});
    }
    std::sort(order.begin(), order.end());
    for (size_t k = 0; k < std::min<size_t>(order.size(), 2); ++k) {  // two tries at most
      const TPath& p = paths[order[k].second];
      if (m_C.bVertices || Fits(p, first)) {
        out = p;
        return true;
      }
    }
    return false;
  }

  // Whether the curve lies within D of the path and the path within D of the curve.
  // Every sample's deviation must be within the check distance, and between neighbouring
  // samples the Lipschitz bound (the mean of their deviations plus half the length
  // between them) within the bound distance; a gap whose bound is too large is halved.
  bool Fits(const TPath& path, const std::vector<TSample>& first) {
    m_Samples.clear();
    m_Samples.push_back(first.front());
    for (size_t k = 0; k + 1 < first.size(); ++k) {
      const TSample &s1 = first[k], &s2 = first[k + 1];
      if (!Gap(path, s1, path.Distance(s1.p), s2, path.Distance(s2.p), 0)) return false;
    }
    // The path against the curve, along each piece.
    m_nHint = 0;
    for (int i = 0; i < path.n; ++i) {
      const TSeg& seg = path.seg[static_cast<size_t>(i)];
      const double L = seg.Length();
      double u0 = 0, g0 = CurveDistance(seg.a);
      for (int k = 1; k <= c_nArcSamples; ++k) {
        const double u1 = static_cast<double>(k) / c_nArcSamples, g1 = CurveDistance(seg.At(u1));
        if (!PathGap(seg, L, u0, g0, u1, g1, 0)) return false;
        u0 = u1, g0 = g1;
      }
    }
    return true;
  }

  // The curve between two samples (deviations f1, f2 from the path); the curve between
  // them is taken as the polygon through their middle, a little lengthened.
  bool Gap(const TPath& path, const TSample& s1, double f1, const TSample& s2, double f2,
           int nDepth) {
    if (f1 > m_fCheck || f2 > m_fCheck) return false;
    const double tm = (s1.t + s2.t) / 2;
    const TSample sm{tm, At(tm)};
    const double fm = path.Distance(sm.p);
    if (fm > m_fCheck) return false;
    // Only where the curve turns little across the gap (the polygon through its middle
    // hardly longer than its chord) does the chord stand for the curve's length there.
    const bool bFlat = Dist(s1.p, sm.p) + Dist(sm.p, s2.p) <= c_fFlatGap * Dist(s1.p, s2.p);
    auto half = [&](const TSample& p, double fp, const TSample& q, double fq) {
      // A gap far shorter than the tolerance is settled by its ends whatever its flatness
      // (where rounding noise in the points would call every gap bent, the halving would
      // never stop).
      const double fGap = Dist(p.p, q.p);
      if ((bFlat && (fp + fq + c_fLengthSlack * fGap) / 2 <= m_fBound) ||
          (fGap <= c_fTinyGap * m_fBound && (fp + fq) / 2 + fGap <= m_fBound) || nDepth >= c_nMaxRefine) {
        m_Samples.push_back(q);
        return true;
      }
      return Gap(path, p, fp, q, fq, nDepth + 1);
    };
    return half(s1, f1, sm, fm) && half(sm, fm, s2, f2);
  }

  // The same along a piece of the path, against the curve (the piece's length is exact).
  bool PathGap(const TSeg& seg, double L, double u1, double g1, double u2, double g2, int nDepth) {
    if (g1 > m_fCheck || g2 > m_fCheck) return false;
    if ((g1 + g2 + L * (u2 - u1)) / 2 <= m_fBound || nDepth >= c_nMaxRefine) return true;
    const double um = (u1 + u2) / 2, gm = CurveDistance(seg.At(um));
    return PathGap(seg, L, u1, g1, um, gm, nDepth + 1) &&
           PathGap(seg, L, um, gm, u2, g2, nDepth + 1);
  }

  // A distance from p to the curve, never less than the true one: the nearest sample
  // (looked for from the last one found, the path running along the curve), and when
  // that is not near enough, the nearest point of the curve between its neighbours.
  double CurveDistance(const TfPoint& p) {
    const size_t n = m_Samples.size();
    auto d = [&](size_t i) { return Dist(p, m_Samples[i].p); };
    size_t best = std::min(m_nHint, n - 1);
    double fBest = d(best);
    for (bool bMoved = true; bMoved;) {
      bMoved = false;
      for (size_t i = best > 4 ? best - 4 : 0; i < std::min(n, best + 5); ++i)
        if (const double f = d(i); f < fBest) fBest = f, best = i, bMoved = true;
    }
    if (fBest > m_fCheck) {  // farther than the samples' spacing explains: look everywhere
      for (size_t i = 0; i < n; ++i)
        if (const double f = d(i); f < fBest) fBest = f, best = i;
    }
    m_nHint = best;
    if (fBest <= m_fCheck) return fBest;
    double lo = m_Samples[best > 0 ? best - 1 : 0].t, hi = m_Samples[std::min(best + 1, n - 1)].t;
    const double g = (std::sqrt(5.0) - 1) / 2;
    double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
    double f1 = Dist(p, At(x1)), f2 = Dist(p, At(x2));
    for (int k = 0; k < 24; ++k) {
      if (f1 < f2) {
        hi = x2, x2 = x1, f2 = f1;
        x1 = hi - g * (hi - lo);
        f1 = Dist(p, At(x1));
      } else {
        lo = x1, x1 = x2, f1 = f2;
        x2 = lo + g * (hi - lo);
        f2 = Dist(p, At(x2));
      }
    }
    return std::min({fBest, f1, f2});
  }

  TfPoint At(double t) {
    if (++m_nEvaluations > c_nMaxEvaluations) throw TGiveUp{};
    return m_C.Point(t);
  }

  void Emit(const TPath& p) {
    ++m_nPieces;
    for (int i = 0; i < p.n; ++i) {
      const TSeg& s = p.seg[static_cast<size_t>(i)];
      m_Chain.back().fBulge = s.fBulge;
      m_Chain.push_back(TDXFVertex{s.b, 0.0, 0});
      m_Dir = s.EndDirection();
    }
  }

  const TArcCurve& m_C;
  const double m_fCheck, m_fBound;
  size_t m_nHint = 0;  // the sample nearest to the last path point looked up
  std::vector<TDXFVertex>& m_Chain;
  TfPoint m_Dir;                   // the direction the path has reached
  std::vector<TSample> m_Samples;  // the curve's samples of the stretch being checked, in order
  int m_nForced = 0;
  size_t m_nPieces = 0, m_nEvaluations = 0;
};

}  // namespace

double DistanceToBulgeSegment(const TfPoint& p, const TfPoint& a, const TfPoint& b, double fBulge) {
  return TSeg{a, b, fBulge, ArcOf(a, b, fBulge)}.Distance(p);
}

size_t FitPolylineRuns(std::vector<TDXFVertex>& Chain, double fTolerance, double fMaxTurn) {
  const size_t n = Chain.size();
  if (n < 4) return 0;
  auto dir = [&](size_t i) {
    return Unit(Sub(Chain[i + 1].fPoint, Chain[i].fPoint));
  };                               // segment i
  auto smoothAt = [&](size_t i) {  // vertex i: straight, and turning little from the segment before
    if (i == 0 || i + 1 >= n || Chain[i - 1].fBulge != 0.0 || Chain[i].fBulge != 0.0) return false;
    const TfPoint a = dir(i - 1), b = dir(i);
    return Len(a) > 0 && Len(b) > 0 && std::fabs(std::atan2(Cross(a, b), Dot(a, b))) <= fMaxTurn;
  };
  std::vector<TDXFVertex> out;
  size_t nRuns = 0, i = 0;
  while (i + 1 < n) {
    // A run: segments i .. j-1 joined at smooth vertices.
    size_t j = i + 1;
    while (j + 1 < n && smoothAt(j)) ++j;
    if (Chain[i].fBulge != 0.0 || j - i < 3) {
      out.push_back(Chain[i]);
      ++i;
      continue;
    }
    const std::vector<TDXFVertex> run(Chain.begin() + static_cast<ptrdiff_t>(i),
                                      Chain.begin() + static_cast<ptrdiff_t>(j + 1));
    const size_t m = run.size() - 1;  // segments
    // At a vertex of the run: the chord past it; at the run's ends, the tangent of the
    // circle through the last three vertices (the end segment turned back by half the
    // turn at its neighbour).
    auto rotate = [](TfPoint a, double ang) {
      return TfPoint{a.fX * std::cos(ang) - a.fY * std::sin(ang),
                     a.fX * std::sin(ang) + a.fY * std::cos(ang)};
    };
    auto turn = [&](size_t k) {  // at vertex k, from the segment before to the one after
      const TfPoint a = Sub(run[k].fPoint, run[k - 1].fPoint),
                    b = Sub(run[k + 1].fPoint, run[k].fPoint);
      return std::atan2(Cross(a, b), Dot(a, b));
    };
    auto tangentAt = [&](size_t k) {
      if (k == 0) return Unit(rotate(Sub(run[1].fPoint, run[0].fPoint), -turn(1) / 2));
      if (k == m) return Unit(rotate(Sub(run[m].fPoint, run[m - 1].fPoint), turn(m - 1) / 2));
      return Unit(Sub(run[k + 1].fPoint, run[k - 1].fPoint));
    };
    TArcCurve curve{[&](double t) {
                      const size_t k = std::min(static_cast<size_t>(t), m - 1);
                      const double u = t - static_cast<double>(k);
                      return Add(run[k].fPoint, Mul(Sub(run[k + 1].fPoint, run[k].fPoint), u));
                    },
                    [&](double t, bool) {
                      const size_t k = std::min(static_cast<size_t>(t), m - 1);
                      const double u = t - static_cast<double>(k);
                      return Add(Mul(tangentAt(k), 1 - u), Mul(tangentAt(k + 1), u));
                    },
                    true};
    std::vector<TDXFVertex> fitted;
    // Fewer moves: the run is replaced.
    if (FitArcs(curve, {0.0, static_cast<double>(m)}, fTolerance, fitted) && fitted.size() < run.size()) {
      fitted.back() = run.back();
      fitted.back().fBulge = 0.0;
      for (size_t k = 0; k + 1 < fitted.size(); ++k) {
        TDXFVertex v = fitted[k];
        v.nEntity = run[0].nEntity;
        out.push_back(v);
      }
      ++nRuns;
    } else {
      out.insert(out.end(), run.begin(), run.end() - 1);
    }
    i = j;
  }
  out.push_back(Chain.back());
  Chain = std::move(out);
  return nRuns;
}

bool FitArcs(const TArcCurve& Curve, const std::vector<double>& Breaks, double fTolerance,
             std::vector<TDXFVertex>& Chain) {
  if (Breaks.size() < 2) return true;
  const size_t nBefore = Chain.size();
  const double fBulgeBefore = nBefore > 0 ? Chain.back().fBulge : 0.0;
  const TfPoint start = Curve.Point(Breaks.front());
  double fFarthest = 0.0;
  for (double t : Breaks) {
    const TfPoint p = Curve.Point(t);
    fFarthest = std::max({fFarthest, std::fabs(p.fX), std::fabs(p.fY)});
  }
  if (!(fTolerance >= fFarthest * c_fFinestShare)) return false;
  if (Chain.empty() || !(Chain.back().fPoint == start)) Chain.push_back(TDXFVertex{start, 0.0, 0});
  // Only the breaks where the curve turns a corner (or has no direction) divide it; the
  // arcs run on across the others, so the breakpoints are chosen over the whole curve.
  std::vector<double> corners{Breaks.front()};
  for (size_t i = 1; i + 1 < Breaks.size(); ++i) {
    if (!(Breaks[i] > corners.back())) continue;
    const TfPoint in = Unit(Curve.Tangent(Breaks[i], false)),
                  out = Unit(Curve.Tangent(Breaks[i], true));
    if (!(Len(in) > 0) || !(Len(out) > 0) ||
        std::fabs(AngleDiff(Angle(out), Angle(in))) > c_fCornerTurn)
      corners.push_back(Breaks[i]);
  }
  if (Breaks.back() > corners.back()) corners.push_back(Breaks.back());
  TFitter fitter(Curve, fTolerance, Chain);
  bool bFitted = true;
  try {
    for (size_t i = 0; i + 1 < corners.size() && bFitted; ++i) bFitted = fitter.Span(corners[i], corners[i + 1]);
  } catch (const TGiveUp&) {
    bFitted = false;
  }
  if (!bFitted) {
    Chain.resize(nBefore);
    if (nBefore > 0) Chain.back().fBulge = fBulgeBefore;
    return false;
  }
  Chain.back().fBulge = 0.0;
  // A closed curve closes exactly, whatever the last digits of its evaluation.
  if (Chain.size() > 2 && Dist(Chain.back().fPoint, start) <= 1e-12 * (1 + Len(start)))
    Chain.back().fPoint = start;
  return true;
}

}  // namespace veltrane
