// Which paths of a layer lie inside which closed paths, so that inner paths can be cut
// before the paths around them (a part must not fall out of the sheet before its holes
// are cut). Containment is decided on the true outline, lines and arcs as they are: a
// path is inside a closed path when it keeps clear of its outline and a point of it lies
// within; paths that touch or cross are not inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dxf/DXFRecords.h"

namespace veltrane {

// The records nFirst..nLast of a layer list that make one path.
struct TPathSpan {
  size_t nFirst = 0, nLast = 0;
  bool bClosed = false;
};

struct TContainment {
  std::vector<std::vector<uint32_t>> Containers;  // per path: the closed paths it lies inside
  size_t nTouching = 0;  // pairs whose outlines touch or cross (within fTouch): not inside
  size_t nInside = 0;    // paths inside at least one other
};

TContainment PathContainment(const std::vector<TDXFEntity>& Records, const std::vector<TPathSpan>& Paths,
                             double fTouch);

// The winding number of a closed path of records about p (anticlockwise positive), on
// the true lines and arcs. p must not lie on the path.
int WindingNumber(const std::vector<TDXFEntity>& Records, size_t nFirst, size_t nLast, const TfPoint& p);

}  // namespace veltrane
