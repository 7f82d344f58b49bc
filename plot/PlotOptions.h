// The "Plot Options" dialog's logic: the fields it shows and what OK makes of them.
#pragma once

#include <cstdint>
#include <string>

#include "model/Records.h"

namespace veltrane {

class TPlotView;
class TInterpreter;

struct TPlotOptionsFields {
  std::string strXAxis, strYAxis;
  std::string strXMin, strXMax, strYMin;
};

// The current axes, the x range (a range whose low end is not below its high end is
// shown as low .. low + 0.1) and the y low end.
TPlotOptionsFields LoadPlotOptions(const TInterpreter& Interp, const TPlotView& View);

// Applies confirmed fields: axes as integers (Y equal to X becomes X + 1; a field that
// is not a number keeps its axis), extents as numbers (a field that is not a number keeps
// its value; an x range whose low end is not below its high end keeps the old range); the y range keeps the old aspect from its entered low end. The caller then
// stores the axes, regenerates and sets world ranges and scroll bars.
void ApplyPlotOptions(const TPlotOptionsFields& Fields, TInterpreter& Interp, TPlotView& View);

}  // namespace veltrane
