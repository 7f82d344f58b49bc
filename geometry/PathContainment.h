// Which paths lie inside which closed paths, decided on the true outline, lines and arcs
// as they are: a path is inside a closed path when it keeps clear of its outline and a
// point of it lies within (a winding number other than 0); paths that touch or cross are
// not inside. Candidates come from a grid of the closed paths' boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/OffsetCheck.h"

namespace veltrane::offsetcheck {

struct TContainment {
  std::vector<std::vector<uint32_t>> Containers;  // per path: the closed paths it lies inside
  size_t nTouching = 0;  // pairs whose outlines touch or cross (within fTouch): not inside
  size_t nInside = 0;    // paths inside at least one other
};

// Paths: each a run of pieces (a path of one point is a piece of no length); Closed: which
// may contain others; a path's first point is tested for lying within.
TContainment PathContainment(const std::vector<std::vector<TPiece>>& Paths, const std::vector<bool>& Closed,
                             double fTouch);

// The winding number of a closed path about p (anticlockwise positive); a gap between its
// last end and its first start is closed by a straight piece. p must not lie on the path.
int WindingNumber(const std::vector<TPiece>& Path, const TfPoint& p);

}  // namespace veltrane::offsetcheck
