// The check of an offset path against the path it was made from, in exact geometry over
// straight pieces and arcs: the offset must not cross itself, no point of it may come
// closer to the original than the offset distance, and a closed offset must lie on the
// side it was asked for. A compensation whose result fails is refused: a tool following
// it would cut into the part.
#pragma once

#include <string>
#include <vector>

#include "model/Records.h"

namespace veltrane::offsetcheck {

// One straight piece or arc of a path, in absolute coordinates.
struct TPiece {
  bool bArc = false;
  TfPoint a, b;         // start and end
  TfPoint c;            // arcs: centre
  double r = 0.0;       // arcs: radius
  bool bCw = false;     // arcs: clockwise
  double fStart = 0.0;  // arcs: angle of the start seen from the centre
  double fSweep = 0.0;  // arcs: swept angle in the direction of travel, up to 2 pi
  TfPoint lo, hi;       // bounding box
};

TPiece LinePiece(TfPoint a, TfPoint b);
// bFull: an arc that ends where it starts is a full circle.
TPiece ArcPiece(TfPoint a, TfPoint b, TfPoint c, bool bCw, bool bFull);

double Distance(TfPoint p, const TPiece& s);
// The smallest distance between two pieces; 0 when they meet.
double Distance(const TPiece& s, const TPiece& t);
// The points where two pieces meet (a shared stretch gives its ends); false when none.
bool Meet(const TPiece& s, const TPiece& t, std::vector<TfPoint>& At);
// Anticlockwise positive; arcs count with their circular segments.
double SignedArea(const std::vector<TPiece>& Path);

// Empty when the offset of Original by f (positive to the left) is sound, otherwise why not.
std::string CheckOffset(const std::vector<TPiece>& Original, const std::vector<TPiece>& Offset,
                        double f, bool bClosed);

}  // namespace veltrane::offsetcheck
