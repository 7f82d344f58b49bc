// import: a drawing into a program.
#include <algorithm>
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "cli/TextConvert.h"
#include "dxf/DXFIn.h"
#include "dxf/ImportDialogs.h"
#include "model/LargeArrays.h"
#include "model/NumberFormat.h"
#include "model/SequenceMarkup.h"
#include "model/TextFile.h"
#include "settings/VLTRegistry.h"

namespace veltrane::cli {

namespace {

struct TImportOptions {
  std::string strDrawing, strOut, strLayers, strMatching, strSplineMoves, strUnits, strOrder, strTravel,
      strArcs, strLookAhead, strFontFolder;
  bool bPaperSpace = false, bDedupe = false, bText = false, bFitPolylines = false, bProgress = false;
  CLI::Option* pLayers = nullptr;
  CLI::Option* pLookAhead = nullptr;
};

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
  IProgress* Progress() override { return pProgress; }
  IProgress* pProgress = nullptr;

 private:
  std::string m_strEncoding;
};

int Import(const TImportOptions& o) {
  KeepFreedMemory();
  const TStringList layers = o.pLayers->count() ? SplitList(o.strLayers) : TStringList{};
  int32_t nSplineMoves = -1;
  if (!o.strSplineMoves.empty() && !TryStrToInt(o.strSplineMoves, nSplineMoves))
    return Usage("--spline-moves takes a whole number");
  double fArcs = -1.0;
  if (!o.strArcs.empty() && (!TryStrToFloat(o.strArcs, fArcs) || !(fArcs > 0)))
    return Usage("--arcs takes a distance greater than 0");
  if (o.bFitPolylines && fArcs <= 0) return Usage("--fit-polylines goes with --arcs D");
  TLookAheadChoices lookAhead;
  if (!LookAheadChoices(o.pLookAhead, o.strLookAhead, lookAhead))
    return Usage("--look-ahead takes line, start, circle or none");
  if (!o.strUnits.empty() && o.strUnits != "drawing" && o.strUnits != "mm" && o.strUnits != "inch")
    return Usage("--units takes drawing, mm or inch");
  if (!o.strOrder.empty() && o.strOrder != "inner-first" && o.strOrder != "travel")
    return Usage("--order takes inner-first or travel");
  if (!o.strTravel.empty() && o.strTravel != "optimise" && o.strTravel != "optimize" && o.strTravel != "greedy")
    return Usage("--travel takes optimise or greedy");
  if (!CheckInput(o.strDrawing, "drawing") || !CheckOutput(o.strOut, o.strDrawing)) return 1;
  if (layers.size() > static_cast<size_t>(c_nMaxSelectedLayers)) return Fail(TLayerSelection::c_sLimitWarning);
  TVLTRegistry reg;
  TAnswers answers(o.strDrawing, layers);
  TTextProgress progress;
  if (o.bProgress) answers.pProgress = &progress;
  TDXFIn importer(&answers, &reg);
  importer.SetMovesPerSplineSection(nSplineMoves >= 0 ? nSplineMoves : reg.SplineMovesPerSection());
  if (!o.strMatching.empty()) {
    double f = 0.0;
    const std::string& m = o.strMatching;
    if (m == "default")
      importer.SetMatchingDefault();
    else if (m.rfind("relative=", 0) == 0 && TryStrToFloat(m.substr(9), f) && f >= 0)
      importer.SetMatching(false, f);
    else if (m.rfind("absolute=", 0) == 0 && TryStrToFloat(m.substr(9), f) && f >= 0)
      importer.SetMatching(true, f);
    else
      return Usage("--matching takes default, relative=FRACTION or absolute=DISTANCE");
  }
  if (!o.strUnits.empty())
    importer.SetConvertUnits(o.strUnits == "mm"     ? EDXFConvertUnits::eMillimetres
                             : o.strUnits == "inch" ? EDXFConvertUnits::eInches
                                                    : EDXFConvertUnits::eDrawing);
  if (o.bPaperSpace) importer.SetIncludePaperSpace(true);
  if (!o.strOrder.empty()) importer.SetCutInnerFirst(o.strOrder == "inner-first");
  if (!o.strTravel.empty()) importer.SetOptimiseTravel(o.strTravel != "greedy");
  if (o.bDedupe) importer.SetRemoveDuplicates(true);
  if (o.bText) importer.SetTextAsPaths(true);
  if (!o.strFontFolder.empty()) importer.SetFontFolder(o.strFontFolder);
  importer.SetTextDecoder(DrawingTextToUtf8);
  if (fArcs > 0) importer.SetCurvesAsArcs(fArcs, o.bFitPolylines);
  TStringList program;
  TLayerContent content;
  try {
    importer.Import(program, content);
  } catch (const std::bad_alloc&) {
    throw;  // said once, by main
  } catch (const std::exception& e) {
    return Fail(o.strDrawing + ": " + e.what());
  }
  if (importer.FileName().empty()) return Fail("cannot open drawing " + o.strDrawing);
  for (const auto& l : answers.Resolved())
    if (std::find(importer.DrawingLayers().begin(), importer.DrawingLayers().end(), l) ==
        importer.DrawingLayers().end())
      return Fail("the drawing has no layer \"" + l + "\" (see veltrane-cli layers)");
  if (answers.bTookFirstFive) {
    std::cerr << "veltrane-cli: the drawing has " << importer.DrawingLayers().size()
              << " layers; importing the first five:";
    for (int i = 0; i < importer.SelectedCount(); ++i) std::cerr << (i ? ", " : " ") << importer.SelectedLayer(i);
    std::cerr << " (choose others with --layers)\n";
  }
  for (const auto& f : importer.ImportFacts()) std::cerr << "veltrane-cli: " << f << "\n";
  for (const auto& w : importer.ImportReport()) std::cerr << "veltrane-cli: warning: " << w << "\n";
  ApplyLookAhead(program, lookAhead);
  if (o.strOut.empty() || o.strOut == "-") return WriteLines(o.strOut, program);
  if (const int nExit = WriteLines(o.strOut, program); nExit != 0) return nExit;
  int32_t nSequences = 0;
  for (const auto& l : program) nSequences += IsStartMarkerLine(l) ? 1 : 0;
  std::cout << "wrote " << o.strOut << ": " << program.size() << " lines, " << nSequences << " sequences on "
            << content.nUseLayer << (content.nUseLayer == 1 ? " layer" : " layers") << "\n";
  return 0;
}

}  // namespace

void AddImport(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TImportOptions>();
  CLI::App* sub = app.add_subcommand(
      "import", "Convert a drawing into a program: one layer block per chosen layer, one numbered sequence per tool "
                "path. The program goes to standard output unless -o is given; the import report goes to standard "
                "error. Defaults come from the settings; options override them.");
  sub->add_option("drawing", o->strDrawing, "the drawing")->required()->type_name("DRAWING.dxf");
  sub->add_option("-o", o->strOut, "write the program to this file (atomically, CR LF line ends); - is standard output")
      ->type_name("PROGRAM.bas");
  o->pLayers = sub->add_option("--layers", o->strLayers,
                               "the layers to import, at most five, as `layers` prints them (default: the first five)")
                   ->type_name("A,B,...");
  sub->add_option("--matching", o->strMatching,
                  "how near two ends must be to join: default, relative=FRACTION of the drawing's size or "
                  "absolute=DISTANCE")
      ->type_name("RULE");
  sub->add_option("--spline-moves", o->strSplineMoves, "straight moves per spline section")->type_name("N");
  sub->add_option("--units", o->strUnits, "convert to these units")
      ->type_name("drawing|mm|inch");
  sub->add_flag("--paper-space", o->bPaperSpace, "include what the drawing has in paper space");
  sub->add_option("--order", o->strOrder, "cut inner paths first, or in the order of least travel alone (no inner-first)")
      ->type_name("inner-first|travel");
  sub->add_option("--travel", o->strTravel, "shorten the travel between paths: optimise, or greedy (nearest next)")
      ->type_name("optimise|greedy");
  sub->add_flag("--dedupe", o->bDedupe, "remove elements that lie over others");
  sub->add_flag("--text", o->bText,
                "draw TEXT, MTEXT and ATTRIB as paths: single-stroke fonts (LibreCAD's LFF fonts), TrueType styles as outlines");
  sub->add_option("--font-folder", o->strFontFolder, "with --text, look for LFF and TrueType fonts in this folder first")
      ->type_name("DIR");
  sub->add_option("--arcs", o->strArcs, "write curves as arcs that keep within D of them")->type_name("D");
  sub->add_flag("--fit-polylines", o->bFitPolylines, "with --arcs, also fit arcs to runs of short polyline segments");
  o->pLookAhead = AddLookAheadOption(sub, o->strLookAhead);
  sub->add_flag("--progress", o->bProgress, "say how far the import has come on standard error, every tenth of the way");
  run = [o] { return Import(*o); };
}

}  // namespace veltrane::cli
