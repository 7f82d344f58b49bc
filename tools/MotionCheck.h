// The motion check of a program (beyond the design's four checks, on request): moves of
// no length, arcs whose end is not on their circle (a controller turns those into
// spirals or stops with an error), full circles too small to be meant (the trace of a
// tiny arc written as a full circle), segments cut twice, and moves outside the machine
// limits when limits are set.
#pragma once

#include <string>
#include <vector>

#include "model/Records.h"
#include "tools/RangeLimits.h"

namespace veltrane {

class TVLTRegistry;

inline constexpr const char* c_sCheckingMotion = "Checking motion...";

struct TMotionCheckOptions {
  double fMinCircleRadius = 0.05;  // full circles below this radius are reported
  double fRadiusTolerance = 0.001;  // how far an arc's end may lie off its circle
  TRangeLimits Limits;
};

// The options as stored: the smallest circle (the default when none or a negative one is
// stored) and the machine limits.
TMotionCheckOptions ReadMotionCheckOptions(TVLTRegistry& Registry);

// The findings as report lines, in program order, each naming its line (from 1) and its
// sequence; empty when the motion is sound. Very many findings of one kind are cut short
// with a line that counts the rest.
std::vector<std::string> CheckMotion(const TStringList& Program, const TMotionCheckOptions& Options);

}  // namespace veltrane
