// PNG output of the plot, available when the tool is built with the desktop libraries.
#pragma once

#include <string>

#include "model/Records.h"
#include "plot/PlotRender.h"

namespace veltrane {

// False with strError when the picture cannot be made or written.
bool WritePlotPng(const TStringList& Program, const TPlotRenderOptions& Options,
                  const std::string& strFile, std::string& strError);

}  // namespace veltrane
