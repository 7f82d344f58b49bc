// The machine's travel limits in X and Y: when they are in use the plot shows them and
// the window warns whenever the program's moves reach outside. Nothing is refused.
#pragma once

#include <string>

#include "model/Records.h"
#include "model/UserPrompts.h"

namespace veltrane {

class TVLTRegistry;

inline constexpr const char* c_sOutsideRangeWarning = "Warning! Moves are outside machine limits!";

struct TRangeLimits {
  bool m_bEnableSpan = false;
  double m_nXspanLeft = 0.0;    // smallest allowed X
  double m_nXspanRight = 0.0;   // largest allowed X
  double m_nYspanTop = 0.0;     // largest allowed Y
  double m_nYspanBottom = 0.0;  // smallest allowed Y
  bool operator==(const TRangeLimits&) const = default;
};

TRangeLimits ReadRangeLimits(TVLTRegistry& Registry);
void WriteRangeLimits(const TRangeLimits& Limits, TVLTRegistry& Registry);

// True when the limits are in use, the extents are not all zero (an empty program) and
// they reach outside the limits; a move exactly on a limit is inside.
bool MovesOutsideRange(const TRangeLimits& Limits, const TfRange& fX, const TfRange& fY);

// The "Machine Range Limits" dialog's fields as text.
struct TRangeFields {
  bool bEnable = false;
  std::string strXRight, strXLeft, strYTop, strYBottom;
};
TRangeFields RangeFieldsFrom(const TRangeLimits& Limits);
// Every field must hold a number; otherwise the message names the first that does not
// and the limits are not changed. False when refused.
bool RangeLimitsFromFields(const TRangeFields& Fields, TRangeLimits& Limits, IUserPrompts* pPrompts);

}  // namespace veltrane
