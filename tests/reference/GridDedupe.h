// Duplicate removal with a hash map of per-cell lists: the reference for the flat grid.
#pragma once

#include <cstddef>
#include <vector>

#include "dxf/DXFRecords.h"

namespace veltrane::reference {

size_t GridRemoveDuplicateRecords(std::vector<TDXFEntity>& L, double fTolerance);

}  // namespace veltrane::reference
