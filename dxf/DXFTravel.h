// Shorter travel between the paths of a layer (beyond the design's greedy order): a local
// search over the order of the paths with 2-opt moves (a stretch of the order run
// backwards, its open paths turned round) and Or-opt moves (one to three paths moved
// elsewhere, turned round or not), then each closed path entered at its point nearest to
// where the tool comes from. Only moves that shorten the travel are taken, within a work
// budget proportional to the number of paths; with inner paths first, no move puts a
// path after a path around it.
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
