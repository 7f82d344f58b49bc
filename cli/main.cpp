// veltrane-cli: the scriptable face of the core, for batch work and for tests.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "dxf/DXFIn.h"
#include "dxf/ImportDialogs.h"
#include "model/BasicParser.h"
#include "model/FilePath.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/Statements.h"
#include "model/Text.h"
#include "model/TextFile.h"
#include "plot/Interpreter.h"
#include "plot/PlotRender.h"
#include "plot/SvgCanvas.h"
#ifdef VELTRANE_CLI_PNG
#include "cli/PngPlot.h"
#endif
#include "settings/VLTRegistry.h"
#include "tools/LookAhead.h"
#include "tools/ProgramCheck.h"
#include "tools/TableExport.h"
#include "transform/CutOrderCheck.h"
#include "transform/PathCommands.h"
#include "cli/TextConvert.h"
#include "transform/Tabs.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramStats.h"
#include "transform/TransformCommands.h"

using namespace veltrane;

namespace {

const char* c_sUsage =
    "usage: veltrane-cli COMMAND [OPTIONS] FILE\n"
    "commands:\n"
    "  import DRAWING.dxf [-o PROGRAM.bas|-] [--layers A,B,...]\n"
    "         [--matching default|relative=F|absolute=D] [--spline-moves N]\n"
    "         [--units drawing|mm|inch] [--paper-space] [--order inner-first|travel]\n"
    "         [--travel optimise|greedy] [--dedupe] [--arcs D [--fit-polylines]]\n"
    "         [--look-ahead line,start,circle|none]\n"
    "                                  convert a drawing into a program (standard output\n"
    "                                  unless -o is given)\n"
    "  layers DRAWING.dxf              list the drawing's layers\n"
    "  normalise FILE                  print each line through the line normaliser\n"
    "  extents [--x-axis N] [--y-axis N] FILE\n"
    "                                  print the program's extents and end point\n"
    "  plot PROGRAM.bas -o PLOT.svg|PLOT.png|- [--size WxH] [--x-axis N] [--y-axis N]\n"
    "         [--line N]               draw the program's plot zoomed to its extents\n"
    "                                  (--line draws that 0-based line red)\n"
    "  transform PROGRAM.bas [--sequence N | --all] OP [ARGS] [-o OUT]\n"
    "         [--look-ahead line,start,circle|none]\n"
    "                                  OP: reverse | shift X Y [--relative] | scale F |\n"
    "                                  rotate DEG | mirror x|y |\n"
    "                                  compensate F [--right] [--absolute] |\n"
    "                                  fillet DEG R | leadinout RIN cw|acw ROUT cw|acw |\n"
    "                                  addend D | changestart X Y (--sequence only) |\n"
    "                                  batchcopy DX NX DY NY (--sequence only) |\n"
    "                                  tabs N LENGTH [--spacing] [--off-arcs] (N tabs\n"
    "                                  per closed path, or with --spacing one about\n"
    "                                  every N along it; --all passes open ones over) |\n"
    "                                  offset-terms on|off (whole program); the program\n"
    "                                  is first prepared as opening it in the window does\n"
    "  check PROGRAM.bas [--cut-order] [--motion [--min-circle R]]\n"
    "                                  run the program check (--cut-order: also whether a\n"
    "                                  closed sequence comes before one inside it; --motion:\n"
    "                                  also moves of no length, arcs off their circle, full\n"
    "                                  circles below R, segments cut twice, moves outside\n"
    "                                  the machine limits); exit 1 when it finds something\n"
    "  stats PROGRAM.bas [--csv] [--speed V] [--accel A] [--decel D] [--travel-speed V]\n"
    "         [--blend DEG] [--pierce S] [-o OUT]\n"
    "                                  cut and travel lengths, pierces, moves and estimated\n"
    "                                  time of the program, each layer and each sequence\n"
    "                                  (defaults from the settings)\n"
    "  table PROGRAM.bas [--format basic|list|csv] [--fixed N | --flexible] [--start N]\n"
    "         [--codes MO,MA,MC] [-o OUT]\n"
    "                                  the program's moves as a table (defaults from the\n"
    "                                  settings, as the window's table page starts)\n"
    "  --help                          this text\n";

int Usage(const std::string& strError) {
  if (!strError.empty()) std::cerr << "veltrane-cli: " << strError << "\n";
  std::cerr << c_sUsage;
  return 2;
}

int Fail(const std::string& strError) {
  std::cerr << "veltrane-cli: " << strError << "\n";
  return 1;
}

// A program or drawing that cannot be read says why before any work starts.
bool CheckInput(const std::string& strFile, const char* strWhat) {
  const std::string strProblem = InputFileProblem(strFile, strWhat);
  if (strProblem.empty()) return true;
  std::cerr << "veltrane-cli: " << strProblem << "\n";
  return false;
}

// An output file must never replace the file the command reads; "-" is standard output.
bool CheckOutput(const std::string& strOut, const std::string& strInput) {
  if (strOut.empty() || strOut == "-" || !SameFile(strOut, strInput)) return true;
  std::cerr << "veltrane-cli: " << strOut << " is the input file " << strInput
            << "; write the output to another file\n";
  return false;
}

bool ReadProgram(const std::string& strFile, TStringList& Lines) {
  if (!CheckInput(strFile, "program")) return false;
  try {
    Lines = LoadLines(strFile);
    return true;
  } catch (const EFileError& e) {
    std::cerr << "veltrane-cli: " << e.what() << "\n";
    return false;
  }
}

TStringList SplitList(const std::string& s) {
  TStringList out;
  size_t from = 0;
  while (from <= s.size()) {
    size_t p = s.find(',', from);
    if (p == std::string::npos) p = s.size();
    out.push_back(s.substr(from, p - from));
    from = p + 1;
  }
  return out;
}

int Normalise(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("normalise takes one file");
  TStringList lines;
  if (!ReadProgram(args[0], lines)) return 1;
  TBASICParser parser;
  for (auto& l : lines) {
    parser.ParseLine(l);
    std::cout << l << "\n";
  }
  return 0;
}

// The plotted axes: the stored choice, with Y moved off X as the main window does.
void ChooseAxes(int32_t& nX, int32_t& nY) {
  TVLTRegistry reg;
  nX = reg.XAxis();
  nY = reg.YAxis();
  if (nY == nX) nY = nX + 1;
}

// The program's extents in two axes and its end point. A program whose numbers or
// positions lie beyond what a double holds has none (and no plot): it is refused, naming
// the line as the editor numbers it.
bool ProgramExtents(const TStringList& Lines, int32_t nX, int32_t nY, TfRange& xr, TfRange& yr,
                    TfPoint& end) {
  std::string strNumber;
  const int32_t n = FirstMoveOutOfRange(Lines, strNumber);
  if (n >= 0) {
    std::cerr << "veltrane-cli: line " << n + 1 << ": " << strNumber
              << " is beyond the range of numbers\n"
              << Lines[static_cast<size_t>(n)] << "\n";
    return false;
  }
  TInterpreter interp;
  interp.SetXAxisNumber(nX);
  interp.SetYAxisNumber(nY);
  interp.SetProgram(&Lines);
  interp.GetExtents(xr, yr);
  interp.GetEndPoint(end);
  for (double f : {xr.fFrom, xr.fTo, yr.fFrom, yr.fTo, end.fX, end.fY})
    if (!std::isfinite(f)) {
      std::cerr << "veltrane-cli: the program's positions grow beyond the range of numbers\n";
      return false;
    }
  return true;
}

int Extents(const std::vector<std::string>& args) {
  int32_t nX = 0, nY = 1;
  ChooseAxes(nX, nY);
  std::string strFile;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--x-axis" || a == "--y-axis") && i + 1 < args.size()) {
      int32_t n = 0;
      if (!TryStrToInt(args[++i], n)) return Usage("axis number expected after " + a);
      (a == "--x-axis" ? nX : nY) = n;
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option " + a);
    } else if (strFile.empty()) {
      strFile = a;
    } else {
      return Usage("extents takes one file");
    }
  }
  if (strFile.empty()) return Usage("extents takes one file");
  TStringList lines;
  TfRange xr, yr;
  TfPoint end;
  if (!ReadProgram(strFile, lines) || !ProgramExtents(lines, nX, nY, xr, yr, end)) return 1;
  std::cout << "X " << StringFromDouble(xr.fFrom) << " " << StringFromDouble(xr.fTo) << "\n"
            << "Y " << StringFromDouble(yr.fFrom) << " " << StringFromDouble(yr.fTo) << "\n"
            << "End " << StringFromDouble(end.fX) << " " << StringFromDouble(end.fY) << "\n";
  return 0;
}

int Layers(const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage("layers takes one drawing");
  if (!CheckInput(args[0], "drawing")) return 1;
  try {
    TDXFIn importer(nullptr, nullptr);
    // Printed in UTF-8 whatever the drawing's own encoding.
    for (const auto& l : importer.ReadLayers(ReadWholeFile(args[0])))
      std::cout << DrawingTextToUtf8(l, importer.TextEncoding()) << "\n";
    std::cerr << "veltrane-cli: "
              << (importer.DrawingUnits() > 0
                      ? "drawing units: " + TDXFIn::UnitName(importer.DrawingUnits())
                      : std::string("the drawing has no units"))
              << "\n";
  } catch (const std::bad_alloc&) {
    throw;  // said once, by main
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
  return 0;
}

bool ParseLookAhead(const std::string& strList, TLookAheadChoices& c) {
  c = TLookAheadChoices{};
  for (const auto& w : SplitList(strList)) {
    if (w == "line")
      c.b_MOsp = true;
    else if (w == "start")
      c.b_MAsp = true;
    else if (w == "circle")
      c.b_MCsp = true;
    else if (w != "none" && !w.empty())
      return false;
  }
  return true;
}

int Import(const std::vector<std::string>& args) {
  std::string strDrawing, strOut, strMatching;
  TStringList layers;
  int32_t nSplineMoves = -1;
  std::string strUnits;
  bool bPaperSpace = false;
  std::string strOrder, strTravel;
  bool bDedupe = false, bFitPolylines = false;
  double fArcs = -1.0;
  bool bLookAheadGiven = false;
  TLookAheadChoices lookAhead;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool bHasValue = i + 1 < args.size();
    if (a == "-o" && bHasValue) {
      strOut = args[++i];
    } else if (a == "--layers" && bHasValue) {
      layers = SplitList(args[++i]);
    } else if (a == "--matching" && bHasValue) {
      strMatching = args[++i];
    } else if (a == "--look-ahead" && bHasValue) {
      bLookAheadGiven = true;
      if (!ParseLookAhead(args[++i], lookAhead))
        return Usage("--look-ahead takes line, start, circle or none");
    } else if (a == "--spline-moves" && bHasValue) {
      if (!TryStrToInt(args[++i], nSplineMoves))
        return Usage("--spline-moves takes a whole number");
    } else if (a == "--units" && bHasValue) {
      strUnits = args[++i];
      if (strUnits != "drawing" && strUnits != "mm" && strUnits != "inch")
        return Usage("--units takes drawing, mm or inch");
    } else if (a == "--paper-space") {
      bPaperSpace = true;
    } else if (a == "--order" && bHasValue) {
      strOrder = args[++i];
      if (strOrder != "inner-first" && strOrder != "travel")
        return Usage("--order takes inner-first or travel");
    } else if (a == "--dedupe") {
      bDedupe = true;
    } else if (a == "--arcs" && bHasValue) {
      if (!TryStrToFloat(args[++i], fArcs) || !(fArcs > 0)) return Usage("--arcs takes a distance greater than 0");
    } else if (a == "--fit-polylines") {
      bFitPolylines = true;
    } else if (a == "--travel" && bHasValue) {
      strTravel = args[++i];
      if (strTravel != "optimise" && strTravel != "optimize" && strTravel != "greedy")
        return Usage("--travel takes optimise or greedy");
    } else if (!a.empty() && a[0] == '-') {
      return Usage("unknown option or missing value: " + a);
    } else if (strDrawing.empty()) {
      strDrawing = a;
    } else {
      return Usage("import takes one drawing");
    }
  }
  if (strDrawing.empty()) return Usage("import takes one drawing");
  if (!CheckInput(strDrawing, "drawing") || !CheckOutput(strOut, strDrawing)) return 1;
  if (layers.size() > static_cast<size_t>(c_nMaxSelectedLayers))
    return Fail(TLayerSelection::c_sLimitWarning);
  TVLTRegistry reg;
  // Layers may be named as the drawing holds them or in UTF-8, as `layers` prints them.
  class TAnswers : public TFixedImportAnswers {
   public:
    using TFixedImportAnswers::TFixedImportAnswers;
    void DrawingEncoding(const std::string& strEncoding) override { m_strEncoding = strEncoding; }
    bool ChooseLayers(const TStringList& DrawingLayers, TStringList& SelectedLayers) override {
      for (std::string& w : m_Layers)
        if (std::find(DrawingLayers.begin(), DrawingLayers.end(), w) == DrawingLayers.end())
          for (const std::string& d : DrawingLayers)
            if (DrawingTextToUtf8(d, m_strEncoding) == w) w = d;
      return TFixedImportAnswers::ChooseLayers(DrawingLayers, SelectedLayers);
    }
    // The names asked for, as the drawing holds them.
    const TStringList& Resolved() const { return m_Layers; }

   private:
    std::string m_strEncoding;
  };
  TAnswers answers(strDrawing, layers);
  TDXFIn importer(&answers, &reg);
  importer.SetMovesPerSplineSection(nSplineMoves >= 0 ? nSplineMoves : reg.SplineMovesPerSection());
  if (!strMatching.empty()) {
    double f = 0.0;
    if (strMatching == "default")
      importer.SetMatchingDefault();
    else if (strMatching.rfind("relative=", 0) == 0 && TryStrToFloat(strMatching.substr(9), f) &&
             f >= 0)
      importer.SetMatching(false, f);
    else if (strMatching.rfind("absolute=", 0) == 0 && TryStrToFloat(strMatching.substr(9), f) &&
             f >= 0)
      importer.SetMatching(true, f);
    else
      return Usage("--matching takes default, relative=FRACTION or absolute=DISTANCE");
  }
  if (!strUnits.empty())
    importer.SetConvertUnits(strUnits == "mm"     ? EDXFConvertUnits::eMillimetres
                             : strUnits == "inch" ? EDXFConvertUnits::eInches
                                                  : EDXFConvertUnits::eDrawing);
  if (bPaperSpace) importer.SetIncludePaperSpace(true);
  if (!strOrder.empty()) importer.SetCutInnerFirst(strOrder == "inner-first");
  if (!strTravel.empty()) importer.SetOptimiseTravel(strTravel != "greedy");
  if (bDedupe) importer.SetRemoveDuplicates(true);
  if (bFitPolylines && fArcs <= 0) return Usage("--fit-polylines goes with --arcs D");
  if (fArcs > 0) importer.SetCurvesAsArcs(fArcs, bFitPolylines);
  TStringList program;
  TLayerContent content;
  try {
    importer.Import(program, content);
  } catch (const std::bad_alloc&) {
    throw;  // said once, by main
  } catch (const std::exception& e) {
    return Fail(strDrawing + ": " + e.what());
  }
  if (importer.FileName().empty()) return Fail("cannot open drawing " + strDrawing);
  for (const auto& l : answers.Resolved())
    if (std::find(importer.DrawingLayers().begin(), importer.DrawingLayers().end(), l) ==
        importer.DrawingLayers().end())
      return Fail("the drawing has no layer \"" + l + "\" (see veltrane-cli layers)");
  if (answers.bTookFirstFive) {
    std::cerr << "veltrane-cli: the drawing has " << importer.DrawingLayers().size()
              << " layers; importing the first five:";
    for (int i = 0; i < importer.SelectedCount(); ++i)
      std::cerr << (i ? ", " : " ") << importer.SelectedLayer(i);
    std::cerr << " (choose others with --layers)\n";
  }
  for (const auto& f : importer.ImportFacts()) std::cerr << "veltrane-cli: " << f << "\n";
  for (const auto& w : importer.ImportReport()) std::cerr << "veltrane-cli: warning: " << w << "\n";
  if (!bLookAheadGiven) {
    lookAhead.b_MOsp = reg.LookAheadMove();
    lookAhead.b_MAsp = reg.LookAheadStartSequence();
    lookAhead.b_MCsp = reg.LookAheadMoveCirc();
  }
  ApplyLookAhead(program, lookAhead);
  if (strOut.empty() || strOut == "-") {
    for (const auto& l : program) std::cout << l << "\n";
    return 0;
  }
  try {
    SaveLines(strOut, program);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  int32_t nSequences = 0;
  for (const auto& l : program) nSequences += IsStartMarkerLine(l) ? 1 : 0;
  std::cout << "wrote " << strOut << ": " << program.size() << " lines, " << nSequences
            << " sequences on " << content.nUseLayer
            << (content.nUseLayer == 1 ? " layer" : " layers") << "\n";
  return 0;
}

int Plot(const std::vector<std::string>& args) {
  std::string strProgram, strOut;
  TPlotRenderOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool bHasValue = i + 1 < args.size();
    if (a == "-o" && bHasValue) {
      strOut = args[++i];
    } else if (a == "--size" && bHasValue) {
      const std::string& v = args[++i];
      size_t x = v.find_first_of("xX");
      if (x == std::string::npos || !TryStrToInt(v.substr(0, x), o.nWidth) ||
          !TryStrToInt(v.substr(x + 1), o.nHeight) || o.nWidth < 8 || o.nHeight < 8 ||
          o.nWidth > 20000 || o.nHeight > 20000)
        return Usage("--size takes WIDTHxHEIGHT, each 8 to 20000 pixels");
    } else if ((a == "--x-axis" || a == "--y-axis" || a == "--line") && bHasValue) {
      int32_t n = 0;
      if (!TryStrToInt(args[++i], n)) return Usage("a whole number is expected after " + a);
      (a == "--x-axis" ? o.nXAxis : a == "--y-axis" ? o.nYAxis : o.nCurrentLine) = n;
    } else if (!a.empty() && a[0] != '-' && strProgram.empty()) {
      strProgram = a;
    } else {
      return Usage("unknown option or missing value: " + a);
    }
  }
  if (strProgram.empty() || strOut.empty()) return Usage("plot takes a program and -o FILE");
  if (!CheckOutput(strOut, strProgram)) return 1;
  TStringList lines;
  TfRange xr, yr;
  TfPoint end;
  if (!ReadProgram(strProgram, lines) || !ProgramExtents(lines, o.nXAxis, o.nYAxis, xr, yr, end))
    return 1;
  auto endsWith = [&](const char* ext) {
    std::string l = LowerCase(strOut);
    return l.size() >= std::strlen(ext) &&
           l.compare(l.size() - std::strlen(ext), std::string::npos, ext) == 0;
  };
  if (strOut == "-") {  // SVG on standard output
    TSvgCanvas svg(o.nWidth, o.nHeight);
    RenderProgramPlot(lines, o, svg);
    std::cout << svg.Text();
    return 0;
  }
  if (endsWith(".svg")) {
    TSvgCanvas svg(o.nWidth, o.nHeight);
    RenderProgramPlot(lines, o, svg);
    try {
      WriteFileAtomically(strOut, svg.Text());
    } catch (const EFileError& e) {
      return Fail(e.what());
    }
  } else if (endsWith(".png")) {
#ifdef VELTRANE_CLI_PNG
    std::string strError;
    if (!WritePlotPng(lines, o, strOut, strError)) return Fail(strError);
#else
    return Fail("PNG plots need the build with the desktop libraries; write .svg instead");
#endif
  } else {
    return Usage("the plot file must end in .svg or .png");
  }
  std::cerr << "plot written to " << strOut << "\n";
  return 0;
}

int Transform(const std::vector<std::string>& args) {
  std::string strProgram, strOut;
  int32_t nSequence = -1;
  bool bAll = false, bRelative = false, bLookAheadGiven = false, bRight = false, bAbsolute = false;
  bool bSpacing = false, bOffArcs = false;
  TLookAheadChoices lookAhead;
  std::vector<std::string> op;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool bHasValue = i + 1 < args.size();
    if (a == "-o" && bHasValue) {
      strOut = args[++i];
    } else if (a == "--sequence" && bHasValue) {
      if (!TryStrToInt(args[++i], nSequence) || nSequence < 1)
        return Usage("--sequence takes a sequence number");
    } else if (a == "--all") {
      bAll = true;
    } else if (a == "--relative") {
      bRelative = true;
    } else if (a == "--right") {
      bRight = true;
    } else if (a == "--absolute") {
      bAbsolute = true;
    } else if (a == "--spacing") {
      bSpacing = true;
    } else if (a == "--off-arcs") {
      bOffArcs = true;
    } else if (a == "--look-ahead" && bHasValue) {
      bLookAheadGiven = true;
      if (!ParseLookAhead(args[++i], lookAhead))
        return Usage("--look-ahead takes line, start, circle or none");
    } else if (strProgram.empty() && !(a.size() > 1 && a[0] == '-')) {
      strProgram = a;
    } else if (!(a.size() > 1 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9') && a[1] != '.')) {
      op.push_back(a);  // the operation and its numbers, negative ones too
    } else {
      return Usage("unknown option or missing value: " + a);
    }
  }
  if (strProgram.empty() || op.empty()) return Usage("transform takes a program and an operation");
  const std::string& w = op[0];
  auto want = [&](size_t n) { return op.size() == n + 1; };
  const bool bWholeProgramOp = w == "offset-terms";
  if (!bWholeProgramOp && bAll == (nSequence > 0))
    return Usage("transform takes either --sequence N or --all");
  if (bWholeProgramOp && nSequence > 0) return Usage("offset-terms works on the whole program");
  TTransformRequest r;
  TPathRequest path;
  enum { eAffine, ePath, eBatchCopy, eOffsetTerms, eTabs } kind = eAffine;
  TTabRequest tabs;
  double fBatch[4] = {0, 0, 0, 0};
  bool bTermsOn = false;
  TScriptedPrompts warnings;
  auto numbers = [&](size_t nFrom, size_t nCount, double* v) {
    for (size_t i = 0; i < nCount; ++i)
      if (!TryStrToFloat(op[nFrom + i], v[i])) return false;
    return true;
  };
  auto direction = [](const std::string& d, bool& bAnti) {
    if (d == "cw" || d == "clockwise")
      bAnti = false;
    else if (d == "acw" || d == "ccw" || d == "anticlockwise")
      bAnti = true;
    else
      return false;
    return true;
  };
  if (w == "reverse" && want(0)) {
    r.evOp = ETransformOp::eReverse;
  } else if (w == "shift" && want(2)) {
    if (!ShiftFromText(op[1], op[2], bRelative, r, &warnings)) return Fail(c_sInvalidShift);
  } else if (w == "scale" && want(1)) {
    if (!ScaleFromText(op[1], r, &warnings)) return Fail(c_sInvalidScale);
  } else if (w == "rotate" && want(1)) {
    double f = 0;
    if (!TryStrToFloat(op[1], f)) return Usage("rotate takes an angle in degrees");
    r = RotateFromText(op[1]);
  } else if (w == "mirror" && want(1) && (op[1] == "x" || op[1] == "y")) {
    r.evOp = ETransformOp::eMirror;
    r.evAxis = op[1] == "x" ? eXAxis : eYAxis;
  } else if (w == "compensate" && want(1)) {
    kind = ePath;
    double f = 0;
    if (!TryStrToFloat(op[1], f)) return Usage("compensate takes a tool radius");
    if (f < 0) return Fail(c_sNegativeCompensation);
    path.evOp = EPathOp::eCompensate;
    path.fCompensation = bRight ? -f : f;
    path.bAbsolute = bAbsolute;
  } else if (w == "fillet" && want(2)) {
    kind = ePath;
    if (!FilletFromText(op[1], op[2], path, &warnings))
      return Usage("fillet takes an angle in degrees and a radius");
  } else if (w == "leadinout" && want(4)) {
    kind = ePath;
    bool bInAnti = false, bOutAnti = false;
    if (!direction(op[2], bInAnti) || !direction(op[4], bOutAnti) ||
        !LeadInOutFromText(op[1], bInAnti, op[3], bOutAnti, path, &warnings))
      return Usage("leadinout takes RIN cw|acw ROUT cw|acw");
  } else if (w == "addend" && want(1)) {
    kind = ePath;
    double d = 0;
    if (!TryStrToFloat(op[1], d)) return Usage("addend takes a distance");
    path = AddEndFromText(op[1]);
  } else if (w == "changestart" && want(2)) {
    kind = ePath;
    double v[2];
    if (!numbers(1, 2, v)) return Usage("changestart takes a point X Y");
    path.evOp = EPathOp::eChangeStart;
    path.fX = v[0];
    path.fY = v[1];
  } else if (w == "batchcopy" && want(4)) {
    kind = eBatchCopy;
    if (!numbers(1, 4, fBatch)) return Usage("batchcopy takes DX NX DY NY");
  } else if (w == "tabs" && want(2)) {
    kind = eTabs;
    std::string strWhy;
    if (!TabRequestFromText(op[1], bSpacing, op[2], !bOffArcs, tabs, strWhy)) return Usage(strWhy);
  } else if (w == "offset-terms" && want(1) && (op[1] == "on" || op[1] == "off")) {
    kind = eOffsetTerms;
    bTermsOn = op[1] == "on";
  } else {
    return Usage("unknown operation or wrong number of arguments: " + w);
  }
  if (bRelative && !(kind == eAffine && r.evOp == ETransformOp::eShift))
    return Usage("--relative belongs to shift");
  if ((bRight || bAbsolute) && !(kind == ePath && path.evOp == EPathOp::eCompensate))
    return Usage("--right and --absolute belong to compensate");
  if ((bSpacing || bOffArcs) && kind != eTabs) return Usage("--spacing and --off-arcs belong to tabs");
  if (bAll && (kind == eBatchCopy || (kind == ePath && path.evOp == EPathOp::eChangeStart)))
    return Usage(w + " works on one sequence");

  // The uncompensated copies live in the window while it runs; a program read from a
  // file has none, and compensating the compensated path instead would cut wrong.
  if (bAbsolute)
    return Fail(
        "--absolute needs the uncompensated copy of the sequence, which only the window keeps "
        "while it runs; a program read from a file has none, so nothing was compensated");
  TStringList lines;
  if (!CheckOutput(strOut, strProgram) || !ReadProgram(strProgram, lines)) return 1;
  if (!bLookAheadGiven) {
    TVLTRegistry reg;
    lookAhead.b_MOsp = reg.LookAheadMove();
    lookAhead.b_MAsp = reg.LookAheadStartSequence();
    lookAhead.b_MCsp = reg.LookAheadMoveCirc();
  }
  TTransformer transformer;
  transformer.b_MOsp = lookAhead.b_MOsp;
  transformer.b_MAsp = lookAhead.b_MAsp;
  transformer.b_MCsp = lookAhead.b_MCsp;
  TProgramDocument doc;
  doc.m_Program = std::move(lines);
  PrepareOpenedProgram(doc.m_Program, lookAhead, transformer);
  doc.m_OriginalList = doc.m_Program;
  const std::string strNoSequence = "the program has no sequence " + std::to_string(nSequence);
  int nExit = 0;
  try {
    if (kind == eOffsetTerms) {
      SetOffsetTermsAll(doc, transformer, bTermsOn);
    } else if (kind == eTabs && bAll) {
      int32_t nTabbed = 0;
      const auto failed = AddTabsToAll(doc, transformer, tabs, &warnings, &nTabbed);
      for (const auto& m : warnings.Messages) std::cerr << "veltrane-cli: " << m.second << "\n";
      if (nTabbed == 0)
        return failed.empty() ? Fail("the program has no closed sequence to add tabs to") : 1;
      nExit = failed.empty() ? 0 : 3;
    } else if (kind == eTabs) {
      const TPathOutcome o = AddTabsToSequence(doc, transformer, nSequence, tabs);
      if (!o.bFound) return Fail(strNoSequence);
      if (!o.bDone)
        return Fail(c_sUnableToTransform + std::to_string(nSequence) + ": " + o.strReason);
    } else if (kind == eBatchCopy) {
      if (!FindSequenceBody(doc.m_Program, nSequence)) return Fail(strNoSequence);
      const int32_t nWanted =
          std::max(0, static_cast<int32_t>(fBatch[1]) * static_cast<int32_t>(fBatch[3]) - 1);
      const int32_t nMade = doc.BatchCopy(nSequence, fBatch[0], static_cast<int32_t>(fBatch[1]),
                                          fBatch[2], static_cast<int32_t>(fBatch[3]));
      if (nMade < nWanted)
        return Fail("the program has no layer end marker to put the copies before");
    } else if (kind == ePath && bAll) {
      if (path.evOp == EPathOp::eLeadInOut || path.evOp == EPathOp::eAddEnd) {
        PathToolWholeProgram(doc, transformer, path);
      } else {
        const auto failed = PathToolEachSequence(doc, transformer, path, &warnings);
        for (const auto& m : warnings.Messages) std::cerr << "veltrane-cli: " << m.second << "\n";
        nExit = failed.empty() ? 0 : 3;  // the others still changed: written, partly done
      }
    } else if (kind == ePath) {
      const TPathOutcome o = PathToolSequence(doc, transformer, nSequence, path);
      if (!o.bFound) return Fail(strNoSequence);
      if (!o.bDone)
        return Fail(c_sUnableToTransform + std::to_string(nSequence) + ": " + o.strReason);
    } else if (bAll) {
      if (!TransformAll(doc, transformer, r, &warnings)) {
        for (const auto& m : warnings.Messages) std::cerr << "veltrane-cli: " << m.second << "\n";
        return 1;
      }
    } else if (!TransformSequence(doc, transformer, nSequence, r)) {
      return Fail(strNoSequence);
    }
  } catch (const ETransformError& e) {
    return Fail(TransformErrorMessage(e));
  }
  if (strOut.empty() || strOut == "-") {
    for (const auto& l : doc.m_Program) std::cout << l << "\n";
    return nExit;
  }
  try {
    SaveLines(strOut, doc.m_Program);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  return nExit;
}

int Check(const std::vector<std::string>& args) {
  std::string strProgram;
  bool bCutOrder = false, bMotion = false;
  TVLTRegistry reg;
  TMotionCheckOptions motion = ReadMotionCheckOptions(reg);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--cut-order") {
      bCutOrder = true;
    } else if (a == "--motion") {
      bMotion = true;
    } else if (a == "--min-circle" && i + 1 < args.size()) {
      if (!TryStrToFloat(args[++i], motion.fMinCircleRadius) || !(motion.fMinCircleRadius >= 0))
        return Usage("--min-circle takes a radius of 0 or more");
    } else if (strProgram.empty() && !(a.size() > 1 && a[0] == '-')) {
      strProgram = a;
    } else {
      return Usage("check takes one program");
    }
  }
  if (strProgram.empty()) return Usage("check takes one program");
  TStringList lines;
  if (!ReadProgram(strProgram, lines)) return 1;
  TProgramCheck check(lines);
  bool bFound = check.Check();
  std::cout << c_sProgramCheckCaption << "\n";
  for (const std::string& l : check.Report()) std::cout << l << "\n";
  if (bCutOrder || reg.CheckCutOrder()) {
    std::cout << c_sCheckingCutOrder << "\n";
    const auto f = FirstCutOrderFinding(lines);
    std::cout << (f ? CutOrderFindingText(*f) : std::string("  ..OK")) << "\n";
    bFound = bFound || f.has_value();
  }
  if (bMotion || reg.CheckMotion()) {
    std::cout << c_sCheckingMotion << "\n";
    const std::vector<std::string> findings = CheckMotion(lines, motion);
    for (const std::string& l : findings) std::cout << l << "\n";
    if (findings.empty()) std::cout << "  ..OK\n";
    bFound = bFound || !findings.empty();
  }
  return bFound ? 1 : 0;
}

int Stats(const std::vector<std::string>& args) {
  TVLTRegistry reg;
  TEstimateSettings settings = ReadEstimateSettings(reg);
  std::string strProgram, strOut;
  bool bCsv = false;
  struct TFlag {
    const char* strName;
    double* pValue;
    bool bZeroAllowed;
  };
  const TFlag flags[] = {{"--speed", &settings.fSpeed, false},       {"--accel", &settings.fAccel, false},
                         {"--decel", &settings.fDecel, false},       {"--travel-speed", &settings.fTravelSpeed, false},
                         {"--blend", &settings.fBlendDegrees, true}, {"--pierce", &settings.fPierceTime, true}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool bHasValue = i + 1 < args.size();
    const TFlag* flag = nullptr;
    for (const TFlag& f : flags)
      if (a == f.strName) flag = &f;
    if (flag && bHasValue) {
      double v = 0;
      if (!TryStrToFloat(args[++i], v) || !std::isfinite(v) || v < 0 || (v == 0 && !flag->bZeroAllowed))
        return Usage(a + (flag->bZeroAllowed ? " takes a number of 0 or more" : " takes a number above 0"));
      *flag->pValue = v;
    } else if (a == "--csv") {
      bCsv = true;
    } else if (a == "-o" && bHasValue) {
      strOut = args[++i];
    } else if (strProgram.empty() && !(a.size() > 1 && a[0] == '-')) {
      strProgram = a;
    } else {
      return Usage("unknown option or missing value: " + a);
    }
  }
  if (strProgram.empty()) return Usage("stats takes a program");
  TStringList lines;
  if (!CheckOutput(strOut, strProgram) || !ReadProgram(strProgram, lines)) return 1;
  const TProgramStats stats =
      ComputeProgramStats(lines, settings, Utf8Name(FsPath(strProgram).filename()));
  for (const std::string& n : stats.Notes) std::cerr << "veltrane-cli: " << n << "\n";
  const std::string strText = bCsv ? StatsCsv(stats) : StatsTable(stats);
  if (strOut.empty() || strOut == "-") {
    std::cout << strText;
    return 0;
  }
  try {
    WriteFileAtomically(strOut, strText);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  return 0;
}

int Table(const std::vector<std::string>& args) {
  TVLTRegistry reg;
  TTableFields f = ReadTableFields(reg);
  std::string strProgram, strOut;
  bool bLayoutGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool bHasValue = i + 1 < args.size();
    if (a == "-o" && bHasValue) {
      strOut = args[++i];
    } else if (a == "--format" && bHasValue) {
      const std::string& v = args[++i];
      if (v == "basic")
        f.evFormat = ETableFormat::eBasic;
      else if (v == "list")
        f.evFormat = ETableFormat::eTableList;
      else if (v == "csv")
        f.evFormat = ETableFormat::eCsv;
      else
        return Usage("--format takes basic, list or csv");
    } else if (a == "--fixed" && bHasValue) {
      if (bLayoutGiven) return Usage("give either --fixed N or --flexible");
      bLayoutGiven = true;
      f.bFixed = true;
      f.strLength = args[++i];
    } else if (a == "--flexible") {
      if (bLayoutGiven) return Usage("give either --fixed N or --flexible");
      bLayoutGiven = true;
      f.bFixed = false;
    } else if (a == "--start" && bHasValue) {
      f.strTableStart = args[++i];
    } else if (a == "--codes" && bHasValue) {
      const std::string& v = args[++i];
      const size_t c1 = v.find(','), c2 = c1 == std::string::npos ? c1 : v.find(',', c1 + 1);
      if (c2 == std::string::npos || v.find(',', c2 + 1) != std::string::npos)
        return Usage("--codes takes three codes: MO,MA,MC");
      f.strMoCode = v.substr(0, c1);
      f.strMaCode = v.substr(c1 + 1, c2 - c1 - 1);
      f.strMcCode = v.substr(c2 + 1);
    } else if (strProgram.empty() && !(a.size() > 1 && a[0] == '-')) {
      strProgram = a;
    } else {
      return Usage("unknown option or missing value: " + a);
    }
  }
  if (strProgram.empty()) return Usage("table takes a program");
  TStringList lines;
  if (!CheckOutput(strOut, strProgram) || !ReadProgram(strProgram, lines)) return 1;
  const std::string strLength = f.strLength;
  const TTableResult r = BuildTable(lines, f);
  if (!r.strError.empty()) return Fail(r.strError);
  if (f.bFixed && f.strLength != strLength)
    std::cerr << "veltrane-cli: the length was raised to 6\n";
  if (strOut.empty() || strOut == "-") {
    for (const auto& l : r.Lines) std::cout << l << "\n";
    return 0;
  }
  try {
    SaveLines(strOut, r.Lines);
  } catch (const EFileError& e) {
    return Fail(e.what());
  }
  return 0;
}

}  // namespace

namespace {

int RunCommand(const std::string& cmd, const std::vector<std::string>& args) {
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::cout << c_sUsage;
    return 0;
  }
  if (cmd == "import") return Import(args);
  if (cmd == "layers") return Layers(args);
  if (cmd == "normalise" || cmd == "normalize") return Normalise(args);
  if (cmd == "extents") return Extents(args);
  if (cmd == "plot") return Plot(args);
  if (cmd == "transform") return Transform(args);
  if (cmd == "check") return Check(args);
  if (cmd == "table") return Table(args);
  if (cmd == "stats") return Stats(args);
  return Usage("unknown command " + cmd);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("");
  // File names and layer names arrive in UTF-8 on every system.
  const std::vector<std::string> all = Utf8Arguments(argc, argv);
  const std::string cmd = all[1];
  const std::vector<std::string> args(all.begin() + 2, all.end());
  int nExit = 1;
  try {
    nExit = RunCommand(cmd, args);
  } catch (const std::bad_alloc&) {
    // Outputs are written whole or not at all: nothing is left half-written.
    std::string strFile;
    for (const auto& a : args)
      if (!a.empty() && a[0] != '-') {
        strFile = a;
        break;
      }
    std::cerr << "veltrane-cli: not enough memory for " << cmd
              << (strFile.empty() ? std::string() : " " + strFile) << "; nothing was written\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "veltrane-cli: " << cmd << " failed: " << e.what() << "; nothing was written\n";
    return 1;
  }
  // Whatever went to standard output must have arrived: a full disk or a closed pipe
  // is a failure, never success.
  errno = 0;
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0) {
    const int e = errno;
    std::cerr << "veltrane-cli: cannot write standard output: "
              << (e ? std::strerror(e) : "write error") << "\n";
    return 1;
  }
  return nExit;
}
