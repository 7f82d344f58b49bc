// Smooth curves as arcs (beyond the design, on request): a curve given by its points and
// tangents is written as a tangent-continuous run of arcs (biarcs), straight moves where
// it is straight, so that no point of the curve lies farther than D from the written path
// and no point of the path farther than D from the curve. The run starts and ends exactly
// where the curve does. The result is a chain of vertices with bulges, as a polyline has.
#pragma once

#include <functional>
#include <vector>

#include "dxf/DXFRecords.h"

namespace veltrane {

struct TArcCurve {
  std::function<TfPoint(double)> Point;
  // The direction of travel at t (need not be of unit length); bAfter: the direction
  // just after t, where the curve may turn a corner.
  std::function<TfPoint(double, bool)> Tangent;
  // A polyline's vertices at the whole parameters: only they must lie within the
  // tolerance (the path may cut across the chords between them by their own sagitta).
  bool bVertices = false;
};

// Appends the curve from Breaks.front() to Breaks.back() to Chain (its first vertex is
// the curve's start unless Chain already ends there). Breaks: parameters where the curve
// may turn a corner or change its definition (knots, fit points, quarter turns). False,
// with Chain as it was, when the curve cannot be fitted in a bounded number of pieces
// (its points lie so far out that the coordinates cannot tell them apart at the
// tolerance, or all at one point), or in a bounded number of evaluations of the curve
// (one very large against the tolerance); an importer then writes it as without arcs and notes
// c_sTooFineForArcs (FitPolylineRuns keeps the run as it is).
bool FitArcs(const TArcCurve& Curve, const std::vector<double>& Breaks, double fTolerance,
             std::vector<TDXFVertex>& Chain);

inline constexpr const char* c_sTooFineForArcs = "too fine to fit with arcs at this tolerance; written as without them";

// Runs of three or more straight segments of a polyline (a vectorised or exported curve)
// that turn by at most fMaxTurn (radians) at each vertex are replaced by arcs within
// fTolerance of the run; corners and segments with bulges stay as they are. Returns how
// many runs were replaced.
size_t FitPolylineRuns(std::vector<TDXFVertex>& Chain, double fTolerance, double fMaxTurn);

// The distance from p to the straight piece or arc from a to b with the given bulge.
double DistanceToBulgeSegment(const TfPoint& p, const TfPoint& a, const TfPoint& b, double fBulge);

}  // namespace veltrane
