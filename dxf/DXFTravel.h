// Shorter travel between the paths of a layer (beyond the design's greedy order): a tour
// search over the order of the paths (2-opt and Or-opt moves to a local optimum, then
// kicks that are kept when they pay), open paths turned round where that helps, and each
// closed path entered at the point of its outline where the way in and on is shortest.
// With inner paths first, no path ever comes after a path around it.
#pragma once

#include <cstdint>
#include <vector>

#include "dxf/DXFRecords.h"
#include "model/Progress.h"

namespace veltrane {

struct TTravelResult {
  double fBefore = 0.0, fAfter = 0.0;  // travel from the origin through every path
};

// Records: one layer after ordering, each sequence's records together, numbered from
// n_seq in order. Containers (may be empty): per sequence in that order, the positions of
// the closed paths it lies inside.
// pStage, when given, counts steps up to the number of records.
TTravelResult OptimiseTravel(std::vector<TDXFEntity>& Records, int32_t n_seq, double fClosedLimit,
                             const std::vector<std::vector<uint32_t>>& Containers,
                             TProgressStage* pStage = nullptr);

// The travel of a layer's paths in their order, from the origin.
double TravelLength(const std::vector<TDXFEntity>& Records);

}  // namespace veltrane
