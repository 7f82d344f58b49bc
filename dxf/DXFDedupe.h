// Duplicate elements (beyond the design): a line, arc, circle or point that lies on top of
// another within the matching tolerance (the same line either way round, a line covered by
// a longer one, an arc over the same or a longer arc of its circle, an arc or circle under
// a circle) is dropped before chaining, so the tool does not cut it twice. Longer elements
// are kept first and only kept ones are indexed, so a stack of identical copies costs no
// more than one element. Polylines are left as they are.
#pragma once

#include <cstddef>
#include <vector>

#include "dxf/DXFRecords.h"

namespace veltrane {

// Removes the covered records; returns how many.
size_t RemoveDuplicateRecords(std::vector<TDXFEntity>& Records, double fTolerance);

}  // namespace veltrane
