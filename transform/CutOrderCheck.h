// The cut-order check of a program (beyond the design's four checks, on request): a
// closed sequence cut before a sequence that lies inside it (after a manual reorder, for
// instance) lets the part fall out before its holes are cut.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/Records.h"

namespace veltrane {

struct TCutOrderFinding {
  int32_t nOuter = 0, nInner = 0;  // sequence numbers
};

// The first (by the inner sequence's place in the program) closed sequence cut before a
// sequence inside it; none when every inner sequence comes first.
std::optional<TCutOrderFinding> FirstCutOrderFinding(const TStringList& Program);

inline constexpr const char* c_sCheckingCutOrder = "Checking cut order...";
// The report's line for a finding, in the style of the other checks.
std::string CutOrderFindingText(const TCutOrderFinding& f);

}  // namespace veltrane
