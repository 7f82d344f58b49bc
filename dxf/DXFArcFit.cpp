// Biarc fitting by subdivision: each stretch of the curve gets the biarc between its end
// points and end tangents (the joint where the two arcs' tangent lengths are equal); a
// stretch whose biarc strays beyond the tolerance, measured both ways on samples, is cut
// in two. Consecutive stretches share their end tangents, so the arcs join smoothly.
#include "dxf/DXFArcFit.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "geometry/OffsetCheck.h"
#include "geometry/PointMath.h"

namespace veltrane {

namespace {

using namespace pointmath;

constexpr int c_nMaxDepth = 24;        // a stretch halved this often is written straight
constexpr int c_nCurveSamples = 40;    // curve points checked against each biarc
constexpr int c_nArcSamples = 12;      // points of each arc checked against the curve
constexpr double c_fCheckShare = 0.6;   // the sampled deviation may use this much of D

TfPoint Unit(TfPoint a) {
  const double l = Len(a);
  return l > 0 ? Mul(a, 1 / l) : TfPoint{0, 0, 0};
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
  const TfPoint m = Mul(Add(a, b), 0.5), n = Unit({-(b.fY - a.fY), b.fX - a.fX, 0});
  const double h = chord / 2 / std::tan(theta / 2);
  s.c = Add(m, Mul(n, h));
  s.fStart = std::atan2(a.fY - s.c.fY, a.fX - s.c.fX);
  s.fSweep = theta;
  return s;
}

TfPoint PointOnSegment(TfPoint a, TfPoint b, double fBulge, double u) {
  const TArcOf s = ArcOf(a, b, fBulge);
  if (s.bStraight) return Add(a, Mul(Sub(b, a), u));
  const double ang = s.fStart + s.fSweep * u;
  return {s.c.fX + s.r * std::cos(ang), s.c.fY + s.r * std::sin(ang), 0};
}

double SegmentDistance(TfPoint p, TfPoint a, TfPoint b) { return offsetcheck::Distance(p, offsetcheck::LinePiece(a, b)); }

struct TBiarc {
  TfPoint a, j, b;
  double fBulge1 = 0, fBulge2 = 0;
};

// The biarc from a leaving along ta to b arriving along tb; false when there is none
// worth having (the tangents point away from each other's ends).
bool MakeBiarc(TfPoint a, TfPoint ta, TfPoint b, TfPoint tb, TBiarc& out) {
  const TfPoint v = Sub(b, a);
  const double vv = Dot(v, v);
  if (!(vv > 0)) return false;
  const TfPoint t = Add(ta, tb);
  const double vt = Dot(v, t), tt = 1 - Dot(ta, tb);
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
  out.a = a;
  out.b = b;
  out.j = Mul(Add(Add(a, Mul(ta, d)), Sub(b, Mul(tb, d))), 0.5);
  out.fBulge1 = BulgeFrom(a, ta, out.j);
  // The second arc, run backwards from b against tb, turns the same way mirrored.
  out.fBulge2 = -BulgeFrom(b, Mul(tb, -1), out.j);
  return std::fabs(out.fBulge1) < 1 && std::fabs(out.fBulge2) < 1;  // each under half a turn
}

class TFitter {
 public:
  TFitter(const TArcCurve& C, double f, std::vector<TDXFVertex>& Chain) : m_C(C), m_fTol(f), m_Chain(Chain) {}

  // The curve from ta to tb as few pieces as fit: from the start, the longest stretch
  // that one straight move or one biarc covers (found by bisection on the parameter), then
  // on from its end.
  void Span(double ta, double tb) {
    double s = ta;
    const double fMinStep = (tb - ta) * std::ldexp(1.0, -c_nMaxDepth);
    while (s < tb) {
      TPiece piece;
      if (Attempt(s, tb, piece)) {
        Emit(piece);
        break;
      }
      double lo = s, hi = tb;
      TPiece best;
      bool bFound = false;
      for (int k = 0; k < 16 && hi - lo > fMinStep; ++k) {
        double mid = (lo + hi) / 2;
        if (m_C.bVertices) {
          mid = std::floor(mid);
          if (mid <= lo) break;
        }
        if (Attempt(s, mid, piece)) {
          lo = mid;
          best = piece;
          bFound = true;
        } else {
          hi = mid;
        }
      }
      if (!bFound) {  // nothing fits even a tiny stretch: a straight move to its end
        const double e = m_C.bVertices ? std::min(tb, std::floor(s) + 1) : std::min(tb, s + fMinStep);
        best = TPiece{e, m_C.Point(e), false, {}};
        lo = e;
      }
      Emit(best);
      s = lo;
    }
  }

 private:
  // One straight move (bStraight) or one biarc covering the curve from ta to tb.
  struct TPiece {
    double tEnd = 0;
    TfPoint b;
    bool bArcs = false;
    TBiarc bi;
  };

  bool Attempt(double ta, double tb, TPiece& out) const {
    const TfPoint a = m_C.Point(ta), b = m_C.Point(tb);
    out = TPiece{tb, b, false, {}};
    if (m_C.bVertices && tb - ta <= 1.0) return true;  // one segment stays itself
    std::vector<TfPoint> samples;
    if (m_C.bVertices) {
      for (double t = std::floor(ta) + 1; t < tb; t += 1.0) samples.push_back(m_C.Point(t));
    } else {
      for (int k = 1; k < c_nCurveSamples; ++k) samples.push_back(m_C.Point(Param(ta, tb, k)));
    }
    // Straight where every point of the curve lies on the chord.
    if (CurveWithin(ta, tb, samples, [&](const TfPoint& p) { return SegmentDistance(p, a, b); })) return true;
    out.bArcs = true;
    return MakeBiarc(a, Unit(m_C.Tangent(ta, true)), b, Unit(m_C.Tangent(tb, false)), out.bi) &&
           Fits(out.bi, ta, tb, a, b, samples);
  }

  void Emit(const TPiece& p) {
    if (!p.bArcs) return Emit(p.b, 0.0);
    Emit(p.bi.j, p.bi.fBulge1);
    Emit(p.bi.b, p.bi.fBulge2);
  }

  static double Param(double ta, double tb, int k) { return ta + (tb - ta) * k / c_nCurveSamples; }

  // The distance from p to the curve between ta and tb: the nearest sample, then the
  // nearest point of the curve between its neighbours, by golden-section search.
  double CurveDistance(const TfPoint& p, double ta, double tb, const std::vector<TfPoint>& poly) const {
    size_t best = 0;
    double fBest = 1e300;
    for (size_t i = 0; i < poly.size(); ++i) {
      const double d = Len(Sub(p, poly[i]));
      if (d < fBest) fBest = d, best = i;
    }
    double lo = Param(ta, tb, static_cast<int>(best) - 1), hi = Param(ta, tb, static_cast<int>(best) + 1);
    lo = std::max(lo, ta);
    hi = std::min(hi, tb);
    const double g = (std::sqrt(5.0) - 1) / 2;
    double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
    double f1 = Len(Sub(p, m_C.Point(x1))), f2 = Len(Sub(p, m_C.Point(x2)));
    for (int k = 0; k < 20; ++k) {
      if (f1 < f2) {
        hi = x2, x2 = x1, f2 = f1;
        x1 = hi - g * (hi - lo);
        f1 = Len(Sub(p, m_C.Point(x1)));
      } else {
        lo = x1, x1 = x2, f1 = f2;
        x2 = lo + g * (hi - lo);
        f2 = Len(Sub(p, m_C.Point(x2)));
      }
    }
    return std::min({fBest, f1, f2});
  }

  // Whether the curve from ta to tb lies within the check distance of a path (off: a
  // point's distance from it): at the samples, and at each local peak followed on the
  // curve itself between samples (golden-section search for the maximum).
  template <class Off>
  bool CurveWithin(double ta, double tb, const std::vector<TfPoint>& samples, Off off) const {
    const double fCheck = c_fCheckShare * m_fTol;
    std::vector<double> d(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
      if ((d[i] = off(samples[i])) > fCheck) return false;
    if (m_C.bVertices) return true;
    for (size_t i = 0; i < d.size(); ++i) {
      const double before = i > 0 ? d[i - 1] : 0.0, after = i + 1 < d.size() ? d[i + 1] : 0.0;
      if (d[i] < before || d[i] < after || d[i] < fCheck / 4) continue;
      double lo = Param(ta, tb, static_cast<int>(i)), hi = Param(ta, tb, static_cast<int>(i) + 2);
      const double g = (std::sqrt(5.0) - 1) / 2;
      for (int k = 0; k < 20; ++k) {
        const double x1 = hi - g * (hi - lo), x2 = lo + g * (hi - lo);
        if (off(m_C.Point(x1)) > off(m_C.Point(x2)))
          hi = x2;
        else
          lo = x1;
      }
      if (off(m_C.Point((lo + hi) / 2)) > fCheck) return false;
    }
    return true;
  }

  bool Fits(const TBiarc& bi, double ta, double tb, TfPoint a, TfPoint b, const std::vector<TfPoint>& samples) const {
    auto off = [&](const TfPoint& p) {
      return std::min(DistanceToBulgeSegment(p, bi.a, bi.j, bi.fBulge1), DistanceToBulgeSegment(p, bi.j, bi.b, bi.fBulge2));
    };
    if (!CurveWithin(ta, tb, samples, off)) return false;
    if (m_C.bVertices) return true;
    const double fCheck = c_fCheckShare * m_fTol;
    // The path's points against the curve itself.
    std::vector<TfPoint> poly{a};
    poly.insert(poly.end(), samples.begin(), samples.end());
    poly.push_back(b);
    for (int arc = 0; arc < 2; ++arc)
      for (int k = 0; k <= c_nArcSamples; ++k) {
        const TfPoint p = arc == 0 ? PointOnSegment(bi.a, bi.j, bi.fBulge1, static_cast<double>(k) / c_nArcSamples)
                                   : PointOnSegment(bi.j, bi.b, bi.fBulge2, static_cast<double>(k) / c_nArcSamples);
        if (CurveDistance(p, ta, tb, poly) > fCheck) return false;
      }
    return true;
  }

  // The segment from the chain's last vertex to p, with the given bulge.
  void Emit(TfPoint p, double fBulge) {
    m_Chain.back().fBulge = fBulge;
    m_Chain.push_back(TDXFVertex{p, 0.0, 0});
  }

  const TArcCurve& m_C;
  const double m_fTol;
  std::vector<TDXFVertex>& m_Chain;
};

}  // namespace

double DistanceToBulgeSegment(const TfPoint& p, const TfPoint& a, const TfPoint& b, double fBulge) {
  const TArcOf s = ArcOf(a, b, fBulge);
  if (s.bStraight) return SegmentDistance(p, a, b);
  // Within the sweep: the radial distance; otherwise the nearer end.
  double ang = std::atan2(p.fY - s.c.fY, p.fX - s.c.fX) - s.fStart;
  ang = s.fSweep > 0 ? std::fmod(ang + 4 * pi, 2 * pi) : -std::fmod(-ang + 4 * pi, 2 * pi);
  if (std::fabs(ang) <= std::fabs(s.fSweep)) return std::fabs(Len(Sub(p, s.c)) - s.r);
  return std::min(Len(Sub(p, a)), Len(Sub(p, b)));
}

size_t FitPolylineRuns(std::vector<TDXFVertex>& Chain, double fTolerance, double fMaxTurn) {
  const size_t n = Chain.size();
  if (n < 4) return 0;
  auto dir = [&](size_t i) { return Unit(Sub(Chain[i + 1].fPoint, Chain[i].fPoint)); };  // segment i
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
    const std::vector<TDXFVertex> run(Chain.begin() + static_cast<ptrdiff_t>(i), Chain.begin() + static_cast<ptrdiff_t>(j + 1));
    const size_t m = run.size() - 1;  // segments
    // At a vertex of the run: the chord past it; at the run's ends, the tangent of the
    // circle through the last three vertices (the end segment turned back by half the
    // turn at its neighbour).
    auto rotate = [](TfPoint a, double ang) {
      return TfPoint{a.fX * std::cos(ang) - a.fY * std::sin(ang), a.fX * std::sin(ang) + a.fY * std::cos(ang), 0};
    };
    auto turn = [&](size_t k) {  // at vertex k, from the segment before to the one after
      const TfPoint a = Sub(run[k].fPoint, run[k - 1].fPoint), b = Sub(run[k + 1].fPoint, run[k].fPoint);
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
    FitArcs(curve, {0.0, static_cast<double>(m)}, fTolerance, fitted);
    if (fitted.size() < run.size()) {  // fewer moves: the run is replaced
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

void FitArcs(const TArcCurve& Curve, const std::vector<double>& Breaks, double fTolerance,
             std::vector<TDXFVertex>& Chain) {
  if (Breaks.size() < 2) return;
  const TfPoint start = Curve.Point(Breaks.front());
  if (Chain.empty() || !(Chain.back().fPoint == start)) Chain.push_back(TDXFVertex{start, 0.0, 0});
  TFitter fitter(Curve, fTolerance, Chain);
  for (size_t i = 0; i + 1 < Breaks.size(); ++i)
    if (Breaks[i + 1] > Breaks[i]) fitter.Span(Breaks[i], Breaks[i + 1]);
  Chain.back().fBulge = 0.0;
}

}  // namespace veltrane
