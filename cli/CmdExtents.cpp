// extents: the program's extents in two axes and its end point.
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "model/NumberFormat.h"

namespace veltrane::cli {

namespace {

struct TExtentsOptions {
  std::string strFile, strX, strY;
};

int Extents(const TExtentsOptions& o) {
  int32_t nX = 0, nY = 1;
  ChooseAxes(nX, nY);
  if (!o.strX.empty() && !TryStrToInt(o.strX, nX)) return Usage("axis number expected after --x-axis");
  if (!o.strY.empty() && !TryStrToInt(o.strY, nY)) return Usage("axis number expected after --y-axis");
  TStringList lines;
  TfRange xr, yr;
  TfPoint end;
  if (!ReadProgram(o.strFile, lines) || !ProgramExtents(lines, nX, nY, xr, yr, end)) return 1;
  std::cout << "X " << StringFromDouble(xr.fFrom) << " " << StringFromDouble(xr.fTo) << "\n"
            << "Y " << StringFromDouble(yr.fFrom) << " " << StringFromDouble(yr.fTo) << "\n"
            << "End " << StringFromDouble(end.fX) << " " << StringFromDouble(end.fY) << "\n";
  return 0;
}

}  // namespace

void AddExtents(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TExtentsOptions>();
  CLI::App* sub = app.add_subcommand("extents", "Print the program's extents in two axes and its end point.");
  sub->add_option("program", o->strFile, "the program")->required()->type_name("FILE");
  sub->add_option("--x-axis", o->strX, "the axis drawn across (default: the stored choice)")->type_name("N");
  sub->add_option("--y-axis", o->strY, "the axis drawn up (default: the stored choice)")->type_name("N");
  run = [o] { return Extents(*o); };
}

}  // namespace veltrane::cli
