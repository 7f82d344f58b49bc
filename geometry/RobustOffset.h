// The offset of a path of straight pieces and arcs by the method that handles any shape:
// every piece moved sideways (arcs with a changed radius), an arc of the offset's radius
// about each joint between them, the raw path split wherever it crosses itself, the
// pieces that come closer to the original than the offset dropped, and the rest joined
// again. Used where the direct method's result fails the offset check.
#pragma once

#include <string>
#include <vector>

#include "geometry/OffsetCheck.h"

namespace veltrane::offsetcheck {

struct TOffsetPiece {
  TPiece Piece;
  int32_t nSource = -1;  // the original piece it was made from (a joint's arc: the one before it)
};

// The offset of Original by f (positive to the left) as one path, in order; false with
// the reason when the offset falls apart into several loops or leaves nothing. Uncut
// receives a point of each pocket the path passes by because its mouth is narrower than
// the tool.
bool RobustOffset(const std::vector<TPiece>& Original, double f, bool bClosed,
                  std::vector<TOffsetPiece>& Result, std::string& strReason, std::vector<TfPoint>& Uncut);

}  // namespace veltrane::offsetcheck
