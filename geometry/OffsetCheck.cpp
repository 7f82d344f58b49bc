// Exact distances and crossings of straight pieces and arcs, and the offset check built
// on them. Candidate pairs come from a grid of the pieces' bounding boxes
// (ForNearPairs), so a path of many pieces is checked in about linear time.
#include "geometry/OffsetCheck.h"

#include <algorithm>
#include <limits>
#include <cmath>
#include <numbers>

#include "model/NumberFormat.h"
#include "geometry/PointMath.h"

namespace veltrane::offsetcheck {

namespace {

using namespace pointmath;
constexpr double c_fAngleEps = 1e-12;
// An offset may come this much closer than its distance (relative, at least 1e-4): the
// joins of pieces that continue each other within a hundredth of a radian.
constexpr double c_fDistanceSlack = 1e-4;
// A corner of the offset may lie at most this many offset distances from the path: a mitre
// reaches that far at a corner of about 29 degrees.
constexpr double c_fMaxMitre = 4.0;
// How far a centre may lie off the circle through an arc's ends to be taken as rounding.
constexpr double c_fArcCentreSlack = 1e-3;

double Norm(double a) {
  a = std::fmod(a, 2 * pi);
  return a < 0 ? a + 2 * pi : a;
}

// The direction v seen from the centre lies within the arc's sweep (its ends included).
// Cross products, no angles: the test runs for every pair of pieces.
bool OnArcDirection(const TPiece& A, TfPoint v) {
  if (A.fSweep >= 2 * pi - c_fAngleEps) return true;
  // Anticlockwise from u0 to u1 (a clockwise arc runs anticlockwise from its end).
  const TfPoint u0 = A.bCw ? Sub(A.b, A.c) : Sub(A.a, A.c),
                u1 = A.bCw ? Sub(A.a, A.c) : Sub(A.b, A.c);
  const double tol = -1e-12 * Len(u0) * Len(v);
  const double c1 = Cross(u0, v), c2 = Cross(v, u1);
  if (A.fSweep <= pi) return c1 >= tol && c2 >= tol && (Dot(u0, v) > 0 || Dot(u1, v) > 0 || c1 > 0);
  return c1 >= tol || c2 >= tol;
}

bool OnArc(const TPiece& A, double fAngle) {
  return OnArcDirection(A, Pt(std::cos(fAngle), std::sin(fAngle)));
}

bool OnArc(const TPiece& A, TfPoint p) { return OnArcDirection(A, Sub(p, A.c)); }

double Scale(const TPiece& s) {
  return std::max(
      {1.0, std::fabs(s.lo.fX), std::fabs(s.lo.fY), std::fabs(s.hi.fX), std::fabs(s.hi.fY)});
}

void MeetLines(const TPiece& s, const TPiece& t, double eps, std::vector<TfPoint>& At) {
  const TfPoint d1 = Sub(s.b, s.a), d2 = Sub(t.b, t.a);
  const double l1 = Len(d1), l2 = Len(d2);
  if (l1 == 0 || l2 == 0) return;
  const double den = Cross(d1, d2);
  if (std::fabs(den) <= 1e-12 * l1 * l2) {
    // Parallel: a shared stretch when they lie on one line.
    if (std::fabs(Cross(d1, Sub(t.a, s.a))) / l1 > eps) return;
    const double t0 = Dot(Sub(t.a, s.a), d1) / (l1 * l1), t1 = Dot(Sub(t.b, s.a), d1) / (l1 * l1);
    const double lo = std::max(0.0, std::min(t0, t1)), hi = std::min(1.0, std::max(t0, t1));
    if (lo > hi + eps / l1) return;
    At.push_back(Add(s.a, Mul(d1, lo)));
    At.push_back(Add(s.a, Mul(d1, std::max(lo, hi))));
    return;
  }
  const TfPoint w = Sub(t.a, s.a);
  const double u = Cross(w, d2) / den, v = Cross(w, d1) / den;
  const double eu = eps / l1, ev = eps / l2;
  if (u >= -eu && u <= 1 + eu && v >= -ev && v <= 1 + ev) At.push_back(Add(s.a, Mul(d1, u)));
}

void MeetLineArc(const TPiece& s, const TPiece& A, double eps, std::vector<TfPoint>& At) {
  const TfPoint d = Sub(s.b, s.a);
  const double L = Len(d);
  if (L == 0) return;
  const TfPoint u = Mul(d, 1 / L);
  const double tF = Dot(Sub(A.c, s.a), u);
  const TfPoint F = Add(s.a, Mul(u, tF));
  const double h = Dist(F, A.c);
  if (h > A.r + eps) return;
  const double k = std::sqrt(std::max(0.0, A.r * A.r - h * h));
  for (double t : {tF - k, tF + k}) {
    if (t < -eps || t > L + eps) continue;
    const TfPoint p = Add(s.a, Mul(u, t));
    if (OnArc(A, p)) At.push_back(p);
    if (k == 0) break;
  }
}

void MeetArcs(const TPiece& A, const TPiece& B, double eps, std::vector<TfPoint>& At) {
  const double d = Dist(A.c, B.c);
  if (d <= eps) {
    if (std::fabs(A.r - B.r) > eps) return;
    // One circle: where the arcs overlap, their ends that lie on the other.
    for (TfPoint p : {A.a, A.b})
      if (OnArc(B, p)) At.push_back(p);
    for (TfPoint p : {B.a, B.b})
      if (OnArc(A, p)) At.push_back(p);
    return;
  }
  if (d > A.r + B.r + eps || d < std::fabs(A.r - B.r) - eps) return;
  const double a = (d * d + A.r * A.r - B.r * B.r) / (2 * d);
  const double h = std::sqrt(std::max(0.0, A.r * A.r - a * a));
  const TfPoint u = Mul(Sub(B.c, A.c), 1 / d), n = Pt(-u.fY, u.fX);
  const TfPoint base = Add(A.c, Mul(u, a));
  for (double k : {h, -h}) {
    const TfPoint p = Add(base, Mul(n, k));
    if (OnArc(A, p) && OnArc(B, p)) At.push_back(p);
    if (h == 0) break;
  }
}

std::string Number(double f) {
  const std::string s = StringFromDouble(f);
  return s == "0" && f > 0 ? "less than 0.0001" : s;
}

}  // namespace

TPiece LinePiece(TfPoint a, TfPoint b) {
  TPiece s;
  s.a = a;
  s.b = b;
  s.lo = Pt(std::min(a.fX, b.fX), std::min(a.fY, b.fY));
  s.hi = Pt(std::max(a.fX, b.fX), std::max(a.fY, b.fY));
  return s;
}

TPiece ArcPiece(TfPoint a, TfPoint b, TfPoint c, bool bCw, bool bFull) {
  // A program's arc whose centre lies a few units of the last decimal off its ends'
  // circle is the arc through both ends about the nearest centre that lies on it.
  const TfPoint ab = Sub(b, a);
  const double fChord = Len(ab);
  if (!bFull && fChord > 0) {
    const TfPoint m = Mul(Add(a, b), 0.5), nrm = Pt(-ab.fY / fChord, ab.fX / fChord);
    const TfPoint on = Add(m, Mul(nrm, Dot(Sub(c, m), nrm)));
    if (Dist(on, c) <= c_fArcCentreSlack * std::max(1.0, Dist(a, c))) c = on;
  }
  TPiece s = LinePiece(a, b);
  s.bArc = true;
  s.c = c;
  s.r = Dist(a, c);
  s.bCw = bCw;
  s.fStart = std::atan2(a.fY - c.fY, a.fX - c.fX);
  const double e = std::atan2(b.fY - c.fY, b.fX - c.fX);
  s.fSweep = bFull ? 2 * pi : Norm(bCw ? s.fStart - e : e - s.fStart);
  // The box takes in the circle's extreme points that the arc passes.
  for (int k = 0; k < 4; ++k) {
    const double ang = k * pi / 2;
    if (!OnArc(s, ang)) continue;
    const TfPoint p = Pt(c.fX + s.r * std::cos(ang), c.fY + s.r * std::sin(ang));
    s.lo = Pt(std::min(s.lo.fX, p.fX), std::min(s.lo.fY, p.fY));
    s.hi = Pt(std::max(s.hi.fX, p.fX), std::max(s.hi.fY, p.fY));
  }
  return s;
}

double Distance(TfPoint p, const TPiece& s) {
  if (!s.bArc) {
    const TfPoint d = Sub(s.b, s.a);
    const double dd = Dot(d, d);
    const double t = dd > 0 ? std::clamp(Dot(Sub(p, s.a), d) / dd, 0.0, 1.0) : 0.0;
    return Dist(p, Add(s.a, Mul(d, t)));
  }
  const double fToCentre = Dist(p, s.c);
  if (fToCentre == 0) return s.r;
  if (OnArc(s, p)) return std::fabs(fToCentre - s.r);
  return std::min(Dist(p, s.a), Dist(p, s.b));
}

bool Meet(const TPiece& s, const TPiece& t, std::vector<TfPoint>& At) {
  At.clear();
  const double eps = 1e-9 * std::max(Scale(s), Scale(t));
  if (!s.bArc && !t.bArc)
    MeetLines(s, t, eps, At);
  else if (!s.bArc)
    MeetLineArc(s, t, eps, At);
  else if (!t.bArc)
    MeetLineArc(t, s, eps, At);
  else
    MeetArcs(s, t, eps, At);
  return !At.empty();
}

double Distance(const TPiece& s, const TPiece& t) {
  thread_local std::vector<TfPoint> at;  // kept between calls: no allocation per pair
  if (Meet(s, t, at)) return 0.0;
  double best = std::min({Distance(s.a, t), Distance(s.b, t), Distance(t.a, s), Distance(t.b, s)});
  // Inner points where the joining line stands square on both pieces.
  auto lineArc = [&best](const TPiece& L, const TPiece& A) {
    const TfPoint d = Sub(L.b, L.a);
    const double dd = Dot(d, d);
    if (dd == 0) return;
    const double tF = Dot(Sub(A.c, L.a), d) / dd;
    if (tF < 0 || tF > 1) return;
    const TfPoint F = Add(L.a, Mul(d, tF));
    const double h = Dist(F, A.c);
    if (h > 0 && OnArc(A, F)) best = std::min(best, std::fabs(h - A.r));
  };
  if (s.bArc && t.bArc) {
    const double d = Dist(s.c, t.c);
    if (d == 0) {
      if (OnArc(t, s.a) || OnArc(t, s.b) || OnArc(s, t.a) || OnArc(s, t.b))
        best = std::min(best, std::fabs(s.r - t.r));
    } else {
      const TfPoint u = Mul(Sub(t.c, s.c), 1 / d);
      for (double k1 : {s.r, -s.r})
        for (double k2 : {t.r, -t.r}) {
          const TfPoint p = Add(s.c, Mul(u, k1)), q = Add(t.c, Mul(u, k2));
          if (OnArc(s, p) && OnArc(t, q)) best = std::min(best, Dist(p, q));
        }
    }
  } else if (s.bArc) {
    lineArc(t, s);
  } else if (t.bArc) {
    lineArc(s, t);
  }
  return best;
}

double SignedArea(const std::vector<TPiece>& Path) {
  double a = 0.0;
  for (const TPiece& s : Path) {
    a += Cross(s.a, s.b) / 2;
    if (s.bArc) {
      const double seg = s.r * s.r / 2 * (s.fSweep - std::sin(s.fSweep));
      a += s.bCw ? -seg : seg;
    }
  }
  return a;
}

std::string CheckOffset(const std::vector<TPiece>& Original, const std::vector<TPiece>& Offset,
                        double f, bool bClosed, std::vector<TfPoint>* pUncut) {
  const double fAbs = std::fabs(f);
  const double fSlack = c_fDistanceSlack * std::max(1.0, fAbs);
  // Nowhere closer to the original than the offset distance.
  double fClosest = fAbs;
  ForNearPairs(Offset, Original, fAbs, false, [&](size_t i, size_t j) {
    fClosest = std::min(fClosest, Distance(Offset[i], Original[j]));
    return fClosest >= fAbs - fSlack;
  });
  if (fClosest < fAbs - fSlack)
    return "the offset path would come within " + Number(fClosest) + " of the path, closer than " +
           Number(fAbs);
  // No crossing but the joints of neighbours.
  const size_t n = Offset.size();
  bool bCrosses = false;
  thread_local std::vector<TfPoint> at;
  ForNearPairs(Offset, Offset, 1e-9, true, [&](size_t i, size_t j) {
    const size_t a = std::min(i, j), b = std::max(i, j);
    if (!Meet(Offset[a], Offset[b], at)) return true;
    const double eps = 1e-7 * std::max(Scale(Offset[a]), Scale(Offset[b]));
    for (const TfPoint& p : at) {
      const bool bJoint = (b == a + 1 && Dist(p, Offset[a].b) <= eps) ||
                          (bClosed && a == 0 && b == n - 1 && Dist(p, Offset[a].a) <= eps);
      if (!bJoint) {
        bCrosses = true;
        return false;
      }
    }
    return true;
  });
  if (bCrosses) return "the offset path would cross itself";
  // Nowhere far beyond a corner: a mitre at a very sharp corner would send the tool far
  // out past the part (its corners are then rounded instead).
  const double fOut = c_fMaxMitre * fAbs + fSlack;
  std::vector<TPiece> ends;
  for (const TPiece& o : Offset) ends.push_back(LinePiece(o.b, o.b));
  std::vector<bool> bNear(ends.size(), false);
  ForNearPairs(ends, Original, fOut, false, [&](size_t i, size_t j) {
    if (!bNear[i] && Distance(ends[i].a, Original[j]) <= fOut) bNear[i] = true;
    return true;
  });
  if (std::find(bNear.begin(), bNear.end(), false) != bNear.end())
    return "the offset path would run far beyond a sharp corner of the path";
  // No piece of the path lies farther than the tool's diameter from the offset: the tool
  // would not enter a notch narrower than itself and leave it uncut. (Pieces in a corner
  // are always reached less closely than the offset distance; that a round tool leaves
  // corners is no fault of the offset.)
  const double fReach = 2 * fAbs + fSlack;
  std::vector<double> reach(Original.size(), 1e300);
  ForNearPairs(Original, Offset, fReach, false, [&](size_t i, size_t j) {
    if (reach[i] > fReach) reach[i] = std::min(reach[i], Distance(Original[i], Offset[j]));
    return true;
  });
  for (size_t i = 0; i < Original.size(); ++i)
    if (reach[i] > fReach) {
      const TPiece& s = Original[i];
      const TfPoint m = s.bArc ? s.a : Pt((s.a.fX + s.b.fX) / 2, (s.a.fY + s.b.fY) / 2);
      if (!pUncut)
        return "the tool cannot reach the path near (" + StringFromDouble(m.fX) + "," +
               StringFromDouble(m.fY) + "): a notch there is narrower than the tool";
      pUncut->push_back(m);
    }
  if (bClosed && !Original.empty()) {
    // Inside a path turning anticlockwise lies to its left: the offset to the left of it
    // encloses less, the offset to its right more, and both turn the same way.
    const double fOrig = SignedArea(Original), fOff = SignedArea(Offset);
    const bool bInside = (f > 0) == (fOrig > 0);
    const bool bRight = (fOff > 0) == (fOrig > 0) && (bInside ? std::fabs(fOff) < std::fabs(fOrig)
                                                              : std::fabs(fOff) > std::fabs(fOrig));
    if (!bRight) return "the offset path would lie on the wrong side of the path";
  }
  return {};
}

std::vector<double> ReachOf(const std::vector<TfPoint>& Points, const std::vector<TPiece>& Path, double fMargin) {
  std::vector<TPiece> pts;
  for (const TfPoint& p : Points) pts.push_back(LinePiece(p, p));
  std::vector<double> d(Points.size(), std::numeric_limits<double>::infinity());
  if (Path.empty()) return d;
  ForNearPairs(pts, Path, fMargin, false, [&](size_t i, size_t j) {
    d[i] = std::min(d[i], Distance(Points[i], Path[j]));
    return true;
  });
  return d;
}

bool ReachesLess(const std::vector<TPiece>& Original, const std::vector<TPiece>& Offset,
                 const std::function<const std::vector<TPiece>*()>& Reference, double f, double fTol) {
  const double fAbs = std::fabs(f), fMargin = 2 * fAbs + fTol;
  // Each piece's middle, and points a quarter, one and four radii from either end: where
  // a corner's offset goes wrong, it does so within a few radii of the corner.
  std::vector<TfPoint> pts;
  for (const TPiece& s : Original) {
    const double len = s.bArc ? s.r * s.fSweep : Dist(s.a, s.b);
    if (!(len > 0)) continue;
    auto at = [&](double t) {
      if (!s.bArc) return Add(s.a, Mul(Sub(s.b, s.a), t));
      const double ang = s.fStart + (s.bCw ? -1 : 1) * s.fSweep * t;
      return Pt(s.c.fX + s.r * std::cos(ang), s.c.fY + s.r * std::sin(ang));
    };
    pts.push_back(at(0.5));
    for (double u : {0.25, 1.0, 4.0})
      if (u * fAbs < len / 2) {
        pts.push_back(at(u * fAbs / len));
        pts.push_back(at(1 - u * fAbs / len));
      }
  }
  const std::vector<double> d = ReachOf(pts, Offset, fMargin);
  std::vector<TfPoint> far;
  std::vector<double> dFar;
  for (size_t i = 0; i < pts.size(); ++i)
    if (d[i] > fAbs + fTol) far.push_back(pts[i]), dFar.push_back(d[i]);
  if (far.empty()) return false;
  const std::vector<TPiece>* pRef = Reference();
  if (!pRef) return false;
  const std::vector<double> r = ReachOf(far, *pRef, fMargin);
  for (size_t i = 0; i < far.size(); ++i)
    if (dFar[i] > r[i] + fTol) return true;
  return false;
}

}  // namespace veltrane::offsetcheck
