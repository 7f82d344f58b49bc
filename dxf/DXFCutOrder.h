// Which paths of a layer lie inside which closed paths, so that inner paths can be cut
// before the paths around them (a part must not fall out of the sheet before its holes
// are cut): the layer's records as pieces, for the containment on the true outline.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dxf/DXFRecords.h"
#include "geometry/PathContainment.h"

namespace veltrane {

// The records nFirst..nLast of a layer list that make one path.
struct TPathSpan {
  size_t nFirst = 0, nLast = 0;
  bool bClosed = false;
};

using offsetcheck::TContainment;

TContainment PathContainment(const std::vector<TDXFEntity>& Records, const std::vector<TPathSpan>& Paths,
                             double fTouch);

// The winding number of a closed path of records about p (anticlockwise positive).
int WindingNumber(const std::vector<TDXFEntity>& Records, size_t nFirst, size_t nLast, const TfPoint& p);

}  // namespace veltrane
