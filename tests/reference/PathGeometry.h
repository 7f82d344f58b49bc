// Plain geometry of tool paths for checking the path tools: a program's moves read
// into segments and arcs by a parser of its own, points sampled along them, the
// distance from a point to a path, a segment or polylines, and travel directions.
#pragma once

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane::reference {

// Where along the segment a-b (0 to 1) the point nearest p lies, and p's distance from it.
inline double SegmentParameter(const TfPoint& p, const TfPoint& a, const TfPoint& b) {
  const double dx = b.fX - a.fX, dy = b.fY - a.fY, dd = dx * dx + dy * dy;
  return dd > 0 ? std::clamp(((p.fX - a.fX) * dx + (p.fY - a.fY) * dy) / dd, 0.0, 1.0) : 0.0;
}
inline double SegmentDistance(const TfPoint& p, const TfPoint& a, const TfPoint& b) {
  const double t = SegmentParameter(p, a, b);
  return std::hypot(p.fX - a.fX - t * (b.fX - a.fX), p.fY - a.fY - t * (b.fY - a.fY));
}

// The distance from p to the nearest of the polylines.
inline double DistanceToPolylines(const TfPoint& p, const std::vector<std::vector<TfPoint>>& Lines) {
  double best = 1e300;
  for (const auto& l : Lines)
    for (size_t i = 0; i + 1 < l.size(); ++i) best = std::min(best, SegmentDistance(p, l[i], l[i + 1]));
  return best;
}

struct TElement {
  bool bArc = false;
  TfPoint a, b;   // start and end
  TfPoint c;      // arcs: absolute centre
  bool bCw = false;
  double fSweep = 0;  // arcs: swept angle in the direction of travel, 0..2pi
};

// Each path starts at an absolute move; lines that are not moves are passed over.
std::vector<std::vector<TElement>> ReadPaths(const TStringList& Lines);
// Points every fStep along the path (and each element's ends).
std::vector<TfPoint> Samples(const std::vector<TElement>& Path, int32_t nPerElement = 40);
TfPoint PointAt(const TElement& e, double t);  // t in 0..1 along the element
double Distance(TfPoint p, const std::vector<TElement>& Path);
double Length(const std::vector<TElement>& Path);
// Travel direction at t = 0 or 1.
double DirectionAt(const TElement& e, double t);
// Signed area of a closed path (anticlockwise positive), arcs by fine chords.
double Area(const std::vector<TElement>& Path);
// The numbers between a statement's brackets.
std::vector<double> Arguments(const std::string& strLine);

}  // namespace veltrane::reference
