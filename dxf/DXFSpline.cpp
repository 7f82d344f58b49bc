// Spline evaluation: a NURBS curve sampled at evenly spaced parameters into a chain of
// straight moves, with the basis functions of the Cox-de Boor triangle.
#include <algorithm>
#include <cmath>

#include "dxf/DXFArcFit.h"
#include "dxf/DXFIn.h"

namespace veltrane {

int32_t TDXFIn::FindSpan(double u) const {
  int32_t p = m_degree, m = static_cast<int32_t>(Knot.size());
  if (m == 0 || u < Knot[0] || u > Knot[static_cast<size_t>(m - 1)]) return -1;
  if (u == Knot[static_cast<size_t>(p)]) return p;
  if (u == Knot[static_cast<size_t>(m - p - 1)]) return m - p - 2;
  int32_t low = p, high = m - p - 1;
  while (high > low + 1) {
    int32_t mid = (low + high) / 2;
    if (u < Knot[static_cast<size_t>(mid)])
      high = mid;
    else
      low = mid;
  }
  return low;
}

void TDXFIn::BasisFuns(int32_t i, double u, double N[4]) const {
  double left[4] = {0, 0, 0, 0}, right[4] = {0, 0, 0, 0};
  N[0] = 1.0;
  for (int32_t j = 1; j <= m_degree; ++j) {
    left[j] = u - Knot[static_cast<size_t>(i + 1 - j)];
    right[j] = Knot[static_cast<size_t>(i + j)] - u;
    double saved = 0.0;
    for (int32_t r = 0; r < j; ++r) {
      double t = N[r] / (right[r + 1] + left[j - r]);
      N[r] = saved + right[r + 1] * t;
      saved = left[j - r] * t;
    }
    N[j] = saved;
  }
}

TfPoint TDXFIn::EvalPoint(double u) const {
  int32_t i = FindSpan(u);
  if (i < 0) throw EDXFError("a parameter lies outside its knots", 0);
  double N[4];
  BasisFuns(i, u, N);
  TfPoint num;
  double den = 0.0;
  for (int32_t j = m_degree; j >= 0; --j) {
    size_t c = static_cast<size_t>(i - m_degree + j);
    double w = c < Weight.size() ? Weight[c] : 1.0;
    num.fX += CtrPoint[c].fX * N[j] * w;
    num.fY += CtrPoint[c].fY * N[j] * w;
    den += N[j] * w;
  }
  return TfPoint{num.fX / den, num.fY / den};
}

namespace {
constexpr const char* c_sDegenerateSpline = "its knots or weights are degenerate: it cannot be evaluated";
}  // namespace

void TDXFIn::EvaluateSpline(const std::string& strLayer, int nLine) {
  const int32_t p = std::max(m_degree, 0);
  m_degree = p;
  const size_t n = CtrPoint.size();
  if (n < static_cast<size_t>(p) + 1) {
    Warn("SPLINE", "fewer control points than its degree needs", nLine);
    return;
  }
  if (Knot.size() != n + static_cast<size_t>(p) + 1) {
    Warn("SPLINE", "knot count does not fit the control points", nLine);
    return;
  }
  if (!Weight.empty() && Weight.size() != n) {
    Warn("SPLINE", "weight count does not fit the control points", nLine);
    return;
  }
  const size_t m = Knot.size();
  double u0 = Knot[static_cast<size_t>(p)], u1 = Knot[m - 1 - static_cast<size_t>(p)];
  // A spline that cannot be evaluated is left out on its own; the rest of the drawing
  // is imported.
  if (!(u1 > u0)) {
    Warn("SPLINE", "its knots span no parameter range", nLine);
    return;
  }
  std::vector<TDXFVertex> chain;
  if (m_fArcTolerance > 0 && u1 > u0) {
    // Arcs within the tolerance, piece by piece between the knots (where a spline may
    // turn a corner).
    auto point = [&](double u) {
      const TfPoint pt = EvalPoint(std::clamp(u, u0, u1));
      if (!std::isfinite(pt.fX) || !std::isfinite(pt.fY))
        throw EDXFError(c_sDegenerateSpline, 0);
      return pt;
    };
    const double h = (u1 - u0) * 1e-7;
    TArcCurve curve{point, [&](double u, bool bAfter) {
                      const double a = bAfter ? u : std::max(u0, u - h), b = bAfter ? std::min(u1, u + h) : u;
                      const TfPoint pa = point(a), pb = point(b);
                      return TfPoint{pb.fX - pa.fX, pb.fY - pa.fY};
                    }};
    std::vector<double> breaks;
    for (double k : Knot)
      if (k >= u0 && k <= u1 && (breaks.empty() || k > breaks.back())) breaks.push_back(k);
    bool bFitted = false;
    try {
      bFitted = FitArcs(curve, breaks, m_fArcTolerance, chain);
    } catch (const EDXFError& e) {
      Warn("SPLINE", e.what(), nLine);
      return;
    }
    if (bFitted) {
      StoreVertexChain(chain, strLayer, false);
      return;
    }
    Note("SPLINE", c_sTooFineForArcs, nLine);
  }
  auto eval = [&](double u) {
    TfPoint pt = EvalPoint(u);
    if (!std::isfinite(pt.fX) || !std::isfinite(pt.fY)) throw EDXFError(c_sDegenerateSpline, 0);
    chain.push_back(TDXFVertex{pt, 0.0, 0});
  };
  try {
    size_t N = n * static_cast<size_t>(m_nMovesPerSplineSection);
    double h = (u1 - u0) / static_cast<double>(N);
    for (size_t k = 0; k <= N; ++k) eval(k == N ? u1 : u0 + static_cast<double>(k) * h);
  } catch (const EDXFError& e) {
    Warn("SPLINE", e.what(), nLine);
    return;
  }
  StoreVertexChain(chain, strLayer, false);
}

namespace {

// The direction at the first or the last of three or more fit points: the chords before
// and after it (continued straight on past the ends) weighted by how much the chords on
// the far side turn, so that a curve turning evenly keeps its turn to the end.
TfPoint EndDirection(const std::vector<TfPoint>& P, bool bStart) {
  const size_t n = P.size();
  auto chord = [&](size_t j) {  // P[j] - P[j - 1], 1 <= j <= n - 1
    return TfPoint{P[j].fX - P[j - 1].fX, P[j].fY - P[j - 1].fY};
  };
  auto on = [](const TfPoint& a, const TfPoint& b) {  // 2a - b
    return TfPoint{2 * a.fX - b.fX, 2 * a.fY - b.fY};
  };
  auto cross = [](const TfPoint& a, const TfPoint& b) { return std::fabs(a.fX * b.fY - a.fY * b.fX); };
  // q0, q1, q2, q3 around the end, in the order the curve runs there.
  TfPoint q[4];
  if (bStart) {
    q[2] = chord(1);
    q[3] = chord(2);
    q[1] = on(q[2], q[3]);
    q[0] = on(q[1], q[2]);
  } else {
    q[0] = chord(n - 2);
    q[1] = chord(n - 1);
    q[2] = on(q[1], q[0]);
    q[3] = on(q[2], q[1]);
  }
  const double v1 = cross(q[0], q[1]), v2 = cross(q[2], q[3]);
  const double a = v1 + v2 > 0 ? v1 / (v1 + v2) : 0.5;
  return TfPoint{(1 - a) * q[1].fX + a * q[2].fX, (1 - a) * q[1].fY + a * q[2].fY};
}

}  // namespace

void TDXFIn::InterpolateFitPoints(const std::vector<TfPoint>& Fit, const TfPoint* pStartTangent,
                                  const TfPoint* pEndTangent, const std::string& strLayer, int nLine) {
  // Repeated points give no direction: they are passed over.
  std::vector<TfPoint> P;
  for (const TfPoint& q : Fit)
    if (P.empty() || q.fX != P.back().fX || q.fY != P.back().fY) P.push_back(q);
  if (P.size() < 2) return;
  const size_t n = P.size() - 1;  // sections
  std::vector<double> h(n);
  for (size_t i = 0; i < n; ++i) h[i] = std::hypot(P[i + 1].fX - P[i].fX, P[i + 1].fY - P[i].fY);
  auto unit = [](const TfPoint* t, double& x, double& y) {
    const double l = t ? std::hypot(t->fX, t->fY) : 0.0;
    if (!(l > 0.0) || !std::isfinite(l)) return false;
    x = t->fX / l;
    y = t->fY / l;
    return true;
  };
  double t0x = 0, t0y = 0, t1x = 0, t1y = 0;
  // Without a stored tangent an end takes the direction CAD programs estimate there
  // (a curve drawn through the fit points leaves its ends along it, not straight).
  TfPoint estimated[2];
  if (P.size() >= 3) {
    estimated[0] = EndDirection(P, true);
    estimated[1] = EndDirection(P, false);
  }
  const bool bStart = unit(pStartTangent, t0x, t0y) || (P.size() >= 3 && unit(&estimated[0], t0x, t0y));
  const bool bEnd = unit(pEndTangent, t1x, t1y) || (P.size() >= 3 && unit(&estimated[1], t1x, t1y));
  // Second derivatives M of the interpolating cubic, one tridiagonal system per axis.
  auto solve = [&](auto coord, double d0, double d1) {
    std::vector<double> a(n + 1), b(n + 1), c(n + 1), r(n + 1), M(n + 1);
    b[0] = 1.0;
    if (bStart) {
      b[0] = 2 * h[0];
      c[0] = h[0];
      r[0] = 6 * ((coord(P[1]) - coord(P[0])) / h[0] - d0);
    }
    for (size_t i = 1; i < n; ++i) {
      a[i] = h[i - 1];
      b[i] = 2 * (h[i - 1] + h[i]);
      c[i] = h[i];
      r[i] = 6 * ((coord(P[i + 1]) - coord(P[i])) / h[i] - (coord(P[i]) - coord(P[i - 1])) / h[i - 1]);
    }
    b[n] = 1.0;
    if (bEnd) {
      a[n] = h[n - 1];
      b[n] = 2 * h[n - 1];
      r[n] = 6 * (d1 - (coord(P[n]) - coord(P[n - 1])) / h[n - 1]);
    }
    for (size_t i = 1; i <= n; ++i) {  // forward elimination
      const double m = a[i] / b[i - 1];
      b[i] -= m * c[i - 1];
      r[i] -= m * r[i - 1];
    }
    M[n] = r[n] / b[n];
    for (size_t i = n; i-- > 0;) M[i] = (r[i] - c[i] * M[i + 1]) / b[i];
    return M;
  };
  const auto Mx = solve([](const TfPoint& q) { return q.fX; }, t0x, t1x);
  const auto My = solve([](const TfPoint& q) { return q.fY; }, t0y, t1y);
  auto value = [&](double y0, double y1, double m0, double m1, double H, double s) {
    const double u = H - s;
    return m0 * u * u * u / (6 * H) + m1 * s * s * s / (6 * H) + (y0 / H - m0 * H / 6) * u + (y1 / H - m1 * H / 6) * s;
  };
  if (m_fArcTolerance > 0) {
    // Arcs within the tolerance: the parameter t runs from fit point i at t = i.
    auto at = [&](double t) {
      const size_t i = std::min(static_cast<size_t>(std::max(t, 0.0)), n - 1);
      return std::pair<size_t, double>{i, (t - static_cast<double>(i)) * h[i]};
    };
    auto slope = [&](double y0, double y1, double m0, double m1, double H, double s) {
      const double u = H - s;
      return -m0 * u * u / (2 * H) + m1 * s * s / (2 * H) - (y0 / H - m0 * H / 6) + (y1 / H - m1 * H / 6);
    };
    TArcCurve curve{[&](double t) {
                      const auto [i, s] = at(t);
                      return TfPoint{value(P[i].fX, P[i + 1].fX, Mx[i], Mx[i + 1], h[i], s),
                                     value(P[i].fY, P[i + 1].fY, My[i], My[i + 1], h[i], s)};
                    },
                    [&](double t, bool bAfter) {
                      // At a fit point, the section that leaves it or the one that arrives.
                      auto [i, s] = at(t);
                      if (!bAfter && s == 0.0 && i > 0) i -= 1, s = h[i];
                      return TfPoint{slope(P[i].fX, P[i + 1].fX, Mx[i], Mx[i + 1], h[i], s),
                                     slope(P[i].fY, P[i + 1].fY, My[i], My[i + 1], h[i], s)};
                    }};
    std::vector<double> breaks;
    for (size_t i = 0; i <= n; ++i) breaks.push_back(static_cast<double>(i));
    std::vector<TDXFVertex> chain;
    if (FitArcs(curve, breaks, m_fArcTolerance, chain)) {
      // Through every fit point exactly.
      StoreVertexChain(chain, strLayer, false);
      return;
    }
    Note("SPLINE", c_sTooFineForArcs, nLine);
  }
  std::vector<TDXFVertex> chain{TDXFVertex{P[0], 0.0, 0}};
  const int32_t k = m_nMovesPerSplineSection;
  for (size_t i = 0; i < n; ++i) {
    for (int32_t j = 1; j < k; ++j) {
      const double s = h[i] * j / k;
      chain.push_back(TDXFVertex{TfPoint{value(P[i].fX, P[i + 1].fX, Mx[i], Mx[i + 1], h[i], s),
                                         value(P[i].fY, P[i + 1].fY, My[i], My[i + 1], h[i], s)},
                                 0.0, 0});
    }
    chain.push_back(TDXFVertex{P[i + 1], 0.0, 0});  // through every fit point exactly
  }
  StoreVertexChain(chain, strLayer, false);
}

}  // namespace veltrane
