// A plain, slow, strong tour for measuring the importer's travel optimisation against:
// every 2-opt and Or-opt move tried over the whole order, closed paths entered at the
// best of many points along their outline, inner paths kept before the closed paths
// around them (found by its own point-in-polygon test), from several starting orders.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/reference/PathGeometry.h"

namespace veltrane::reference {

// The travel from the origin through the paths in their order.
double Travel(const std::vector<std::vector<TElement>>& Paths);

// The shortest travel found through the paths (each entered from the origin onwards, open
// paths either way round); bInnerFirst keeps every path before a closed path around it.
// nRestarts: starting orders besides the given one.
double StrongTravel(const std::vector<std::vector<TElement>>& Paths, bool bInnerFirst,
                    int nRestarts = 8);

}  // namespace veltrane::reference
