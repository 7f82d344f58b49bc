// The geometry of imported records as the tests measure it, on their own: points along a
// line or arc record, and a point's distance from a run of records (exact: the segment,
// or the radial distance where the point's angle lies within the arc's sweep).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "dxf/DXFRecords.h"
#include "tests/reference/PathGeometry.h"

namespace veltrane::testing {

// Whether p lies within fTol of (x, y) in both coordinates; where it lies when not.
inline ::testing::AssertionResult Near(const TfPoint& p, double x, double y, double fTol) {
  if (std::fabs(p.fX - x) <= fTol && std::fabs(p.fY - y) <= fTol) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << p.fX << "," << p.fY << ") is not within " << fTol << " of (" << x
                                       << "," << y << ")";
}

// An arc's sweep in its direction of travel; a circle (or an arc whose ends meet) sweeps
// a whole turn.
inline double RecordSweep(const TDXFEntity& e) {
  const TfPoint& c = e.fCentrePoint;
  const double sgn = e.Direction == eClockwise ? -1 : 1;
  const double a0 = std::atan2(e.fStartPoint.fY - c.fY, e.fStartPoint.fX - c.fX);
  const double w = std::fmod(sgn * (std::atan2(e.fEndPoint.fY - c.fY, e.fEndPoint.fX - c.fX) - a0) + 4 * std::numbers::pi, 2 * std::numbers::pi);
  return e.EntityType == eDXFET_Circle || w < 1e-12 ? 2 * std::numbers::pi : w;
}

inline std::vector<TfPoint> RecordSamples(const std::vector<TDXFEntity>& R, int nPer) {
  std::vector<TfPoint> v;
  for (const TDXFEntity& e : R)
    for (int k = 0; k <= nPer; ++k) {
      const double t = static_cast<double>(k) / nPer;
      if (e.EntityType != eDXFET_Arc && e.EntityType != eDXFET_Circle) {
        v.push_back({e.fStartPoint.fX + t * (e.fEndPoint.fX - e.fStartPoint.fX),
                     e.fStartPoint.fY + t * (e.fEndPoint.fY - e.fStartPoint.fY)});
        continue;
      }
      const TfPoint& c = e.fCentrePoint;
      const double sgn = e.Direction == eClockwise ? -1 : 1;
      const double a = std::atan2(e.fStartPoint.fY - c.fY, e.fStartPoint.fX - c.fX) + sgn * RecordSweep(e) * t;
      const double r = std::hypot(e.fStartPoint.fX - c.fX, e.fStartPoint.fY - c.fY);
      v.push_back({c.fX + r * std::cos(a), c.fY + r * std::sin(a)});
    }
  return v;
}

inline double DistanceToRecords(const TfPoint& p, const std::vector<TDXFEntity>& R) {
  double best = 1e300;
  for (const TDXFEntity& e : R) {
    const TfPoint &a = e.fStartPoint, &b = e.fEndPoint;
    best = std::min({best, std::hypot(p.fX - a.fX, p.fY - a.fY), std::hypot(p.fX - b.fX, p.fY - b.fY)});
    if (e.EntityType != eDXFET_Arc && e.EntityType != eDXFET_Circle) {
      best = std::min(best, reference::SegmentDistance(p, a, b));
      continue;
    }
    const TfPoint& c = e.fCentrePoint;
    const double sgn = e.Direction == eClockwise ? -1 : 1;
    const double along = std::fmod(
        sgn * (std::atan2(p.fY - c.fY, p.fX - c.fX) - std::atan2(a.fY - c.fY, a.fX - c.fX)) + 4 * std::numbers::pi, 2 * std::numbers::pi);
    if (along <= RecordSweep(e) + 1e-12)
      best = std::min(best, std::fabs(std::hypot(p.fX - c.fX, p.fY - c.fY) - std::hypot(a.fX - c.fX, a.fY - c.fY)));
  }
  return best;
}

}  // namespace veltrane::testing
