// The plot of a whole program drawn once, zoomed to its extents, as the window shows it
// after opening the program: for the command-line tool, documents and benchmarks.
#pragma once

#include <cstdint>

#include "model/Records.h"
#include "plot/Canvas.h"

namespace veltrane {

struct TPlotRenderOptions {
  int32_t nWidth = 800, nHeight = 600;  // pixels of the plot area
  int32_t nXAxis = 0, nYAxis = 1;
  int32_t nCurrentLine = -1;  // drawn red on top, -1 for none
};

// False when the size is not at least 8 by 8 pixels.
bool RenderProgramPlot(const TStringList& Program, const TPlotRenderOptions& Options,
                       ICanvas& Canvas);

}  // namespace veltrane
