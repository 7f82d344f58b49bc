// Spline evaluation: a NURBS curve sampled at evenly spaced parameters into a chain of
// straight moves, with the basis functions of the Cox-de Boor triangle.
#include <cmath>

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
  if (i < 0) throw EDXFError("SPLINE parameter outside its knots", 0);
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
  return TfPoint{num.fX / den, num.fY / den, 0.0};
}

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
  std::vector<TDXFVertex> chain;
  auto eval = [&](double u) {
    TfPoint pt = EvalPoint(u);
    if (!std::isfinite(pt.fX) || !std::isfinite(pt.fY))
      throw EDXFError("SPLINE cannot be evaluated (its knots or weights are degenerate); "
                      "the drawing cannot be imported", nLine);
    chain.push_back(TDXFVertex{pt, 0.0, 0});
  };
  try {
    if (u1 <= u0) {
      eval(u0);
    } else {
      size_t N = n * static_cast<size_t>(m_nMovesPerSplineSection);
      double h = (u1 - u0) / static_cast<double>(N);
      for (size_t k = 0; k <= N; ++k) eval(k == N ? u1 : u0 + static_cast<double>(k) * h);
    }
  } catch (const EDXFError& e) {
    if (e.Line() > 0) throw;
    throw EDXFError(std::string("SPLINE cannot be evaluated: ") + e.what(), nLine);
  }
  StoreVertexChain(chain, strLayer, false);
}

}  // namespace veltrane
