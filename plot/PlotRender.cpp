// One plot of a program.
#include "plot/PlotRender.h"

#include "plot/Interpreter.h"
#include "plot/PlotView.h"

namespace veltrane {

bool RenderProgramPlot(const TStringList& Program, const TPlotRenderOptions& o, ICanvas& Canvas) {
  if (o.nWidth < 8 || o.nHeight < 8) return false;
  TInterpreter interp;
  interp.SetProgram(&Program);
  interp.SetXAxisNumber(o.nXAxis);
  interp.SetYAxisNumber(o.nYAxis == o.nXAxis ? o.nXAxis + 1 : o.nYAxis);
  TPlotView view(interp);
  view.SetPlotSize(o.nWidth, o.nHeight);
  view.m_nCurrentLine = o.nCurrentLine;
  view.ZoomExtents();
  view.GenerateDisplayList();
  view.DrawGraph(Canvas);
  return true;
}

}  // namespace veltrane
