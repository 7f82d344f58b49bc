// Plain geometry of tool paths for checking the path tools: a program's moves read
// into segments and arcs by a parser of its own, points sampled along them, the
// distance from a point to a path, and travel directions.
#pragma once

#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane::reference {

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
