// plot: the program's plot as a picture.
#include <cstring>
#include <iostream>
#include <memory>
#include <tuple>

#include "cli/Common.h"
#include "model/NumberFormat.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "plot/PlotRender.h"
#include "plot/SvgCanvas.h"
#ifdef VELTRANE_CLI_PNG
#include "cli/PngPlot.h"
#endif

namespace veltrane::cli {

namespace {

struct TPlotOptions {
  std::string strProgram, strOut, strSize, strX, strY, strLine;
};

int Plot(const TPlotOptions& p) {
  TPlotRenderOptions o;
  if (!p.strSize.empty()) {
    const size_t x = p.strSize.find_first_of("xX");
    if (x == std::string::npos || !TryStrToInt(p.strSize.substr(0, x), o.nWidth) ||
        !TryStrToInt(p.strSize.substr(x + 1), o.nHeight) || o.nWidth < 8 || o.nHeight < 8 || o.nWidth > 20000 ||
        o.nHeight > 20000)
      return Usage("--size takes WIDTHxHEIGHT, each 8 to 20000 pixels");
  }
  for (auto [strValue, pN, strName] : {std::tuple{&p.strX, &o.nXAxis, "--x-axis"},
                                       std::tuple{&p.strY, &o.nYAxis, "--y-axis"},
                                       std::tuple{&p.strLine, &o.nCurrentLine, "--line"}})
    if (!strValue->empty() && !TryStrToInt(*strValue, *pN))
      return Usage(std::string("a whole number is expected after ") + strName);
  if (!CheckOutput(p.strOut, p.strProgram)) return 1;
  TStringList lines;
  TfRange xr, yr;
  TfPoint end;
  if (!ReadProgram(p.strProgram, lines) || !ProgramExtents(lines, o.nXAxis, o.nYAxis, xr, yr, end)) return 1;
  const std::string strLower = LowerCase(p.strOut);
  auto endsWith = [&](const char* ext) {
    return strLower.size() >= std::strlen(ext) &&
           strLower.compare(strLower.size() - std::strlen(ext), std::string::npos, ext) == 0;
  };
  if (p.strOut == "-") {  // SVG on standard output
    TSvgCanvas svg(o.nWidth, o.nHeight);
    RenderProgramPlot(lines, o, svg);
    std::cout << svg.Text();
    return 0;
  }
  if (endsWith(".svg")) {
    TSvgCanvas svg(o.nWidth, o.nHeight);
    RenderProgramPlot(lines, o, svg);
    if (const int nExit = WriteText(p.strOut, svg.Text()); nExit != 0) return nExit;
  } else if (endsWith(".png")) {
#ifdef VELTRANE_CLI_PNG
    std::string strError;
    if (!WritePlotPng(lines, o, p.strOut, strError)) return Fail(strError);
#else
    return Fail("PNG plots need the build with the desktop libraries; write .svg instead");
#endif
  } else {
    return Usage("the plot file must end in .svg or .png");
  }
  std::cerr << "plot written to " << p.strOut << "\n";
  return 0;
}

}  // namespace

void AddPlot(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TPlotOptions>();
  CLI::App* sub = app.add_subcommand("plot", "Draw the program's plot zoomed to its extents.");
  sub->add_option("program", o->strProgram, "the program")->required()->type_name("PROGRAM.bas");
  sub->add_option("-o", o->strOut, "the picture: .svg, .png, or - for SVG on standard output")
      ->required()
      ->type_name("PLOT.svg|PLOT.png|-");
  sub->add_option("--size", o->strSize, "the picture's size in pixels (default 800x600)")->type_name("WxH");
  sub->add_option("--x-axis", o->strX, "the axis drawn across")->type_name("N");
  sub->add_option("--y-axis", o->strY, "the axis drawn up")->type_name("N");
  sub->add_option("--line", o->strLine, "draw this line (counted from 0) red, as the current line")->type_name("N");
  run = [o] { return Plot(*o); };
}

}  // namespace veltrane::cli
