// Plot options: fields in, axes and ranges out.
#include "plot/PlotOptions.h"

#include "model/NumberFormat.h"
#include "plot/Interpreter.h"
#include "plot/PlotView.h"

namespace veltrane {

TPlotOptionsFields LoadPlotOptions(const TInterpreter& Interp, const TPlotView& View) {
  TPlotOptionsFields f;
  f.strXAxis = std::to_string(Interp.XAxisNumber());
  f.strYAxis = std::to_string(Interp.YAxisNumber());
  TfRange x = View.m_fXRange;
  if (!(x.fFrom < x.fTo)) x.fTo = x.fFrom + 0.1;
  f.strXMin = StringFromDouble(x.fFrom);
  f.strXMax = StringFromDouble(x.fTo);
  f.strYMin = StringFromDouble(View.m_fYRange.fFrom);
  return f;
}

void ApplyPlotOptions(const TPlotOptionsFields& f, TInterpreter& Interp, TPlotView& View) {
  int32_t nX = StrToIntDef(f.strXAxis, Interp.XAxisNumber());
  int32_t nY = StrToIntDef(f.strYAxis, Interp.YAxisNumber());
  if (nY == nX) nY = nX + 1;
  Interp.SetXAxisNumber(nX);
  Interp.SetYAxisNumber(nY);
  TfRange oldX = View.m_fXRange, oldY = View.m_fYRange;
  double xMin = oldX.fFrom, xMax = oldX.fTo, yMin = oldY.fFrom;
  TryStrToFloat(f.strXMin, xMin);
  TryStrToFloat(f.strXMax, xMax);
  TryStrToFloat(f.strYMin, yMin);
  // A range that does not run upwards would turn the plot inside out: keep the old one.
  if (!(xMin < xMax)) {
    xMin = oldX.fFrom;
    xMax = oldX.fTo;
  }
  double oldXSpan = oldX.fTo - oldX.fFrom, oldYSpan = oldY.fTo - oldY.fFrom;
  double aspect = oldXSpan != 0.0 ? oldYSpan / oldXSpan : 1.0;
  View.m_fXRange = TfRange{xMin, xMax};
  View.m_fYRange = TfRange{yMin, yMin + (xMax - xMin) * aspect};
}

}  // namespace veltrane
