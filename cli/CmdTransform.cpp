// transform: an operation on one sequence, every sequence or the whole program.
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>

#include "cli/Common.h"
#include "model/NumberFormat.h"
#include "model/ProgramDocument.h"
#include "model/SequenceMarkup.h"
#include "transform/PathCommands.h"
#include "transform/Tabs.h"
#include "transform/TransformCommands.h"

namespace veltrane::cli {

namespace {

struct TTransformOptions {
  std::string strProgram, strOut, strSequence, strLookAhead;
  bool bAll = false, bRelative = false, bRight = false, bAbsolute = false, bSpacing = false, bOffArcs = false;
  CLI::Option* pLookAhead = nullptr;
  // Each operation with the numbers and words that follow it.
  std::map<std::string, std::pair<CLI::App*, std::vector<std::string>>> Ops;
};

int Transform(TTransformOptions& t) {
  std::vector<std::string> op;
  for (auto& [strName, o] : t.Ops)
    if (o.first->parsed()) {
      op = o.second;
      op.insert(op.begin(), strName);
    }
  if (op.empty()) return Usage("transform takes a program and an operation");
  const std::string& strProgram = t.strProgram;
  const std::string& strOut = t.strOut;
  int32_t nSequence = -1;
  if (!t.strSequence.empty() && (!TryStrToInt(t.strSequence, nSequence) || nSequence < 1))
    return Usage("--sequence takes a sequence number");
  const bool bAll = t.bAll, bRelative = t.bRelative, bRight = t.bRight, bAbsolute = t.bAbsolute;
  const bool bSpacing = t.bSpacing, bOffArcs = t.bOffArcs;
  TLookAheadChoices lookAhead;
  if (!LookAheadChoices(t.pLookAhead, t.strLookAhead, lookAhead))
    return Usage("--look-ahead takes line, start, circle or none");
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
  // --relative, --right, --absolute, --spacing and --off-arcs are options of their own
  // operation only: the command line refuses them elsewhere.
  if (bAll && (kind == eBatchCopy || (kind == ePath && path.evOp == EPathOp::eChangeStart)))
    return Usage(w + " works on one sequence");

  // The uncompensated copies live in the window while it runs; a program read from a
  // file has none, and compensating the compensated path instead would cut wrong.
  if (bAbsolute)
    return Fail(
        "--absolute needs the uncompensated copy of the sequence, which only the window keeps "
        "while it runs; a program read from a file has none, so nothing was compensated");
  TStringList lines;
  TWideText form;
  if (!CheckOutput(strOut, strProgram) || !ReadProgram(strProgram, lines, &form)) return 1;
  TTransformer transformer;
  transformer.b_MOsp = lookAhead.b_MOsp;
  transformer.b_MAsp = lookAhead.b_MAsp;
  transformer.b_MCsp = lookAhead.b_MCsp;
  TProgramDocument doc;
  doc.m_Program = std::move(lines);
  PrepareOpenedProgram(doc.m_Program, lookAhead, transformer);
  // Only the program is written: the window's reset copy of the original program and the
  // store of uncompensated copies (--absolute is refused above) would be whole copies of
  // a big program that nothing here reads.
  doc.m_bKeepUncompensated = false;
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
      if (!o.strNotice.empty())
        std::cerr << "veltrane-cli: " << c_sSequenceNotice << nSequence << ": " << o.strNotice << "\n";
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
  return WriteLines(strOut, doc.m_Program, nExit, form);
}

}  // namespace

void AddTransform(CLI::App& app, TRun& run) {
  auto t = std::make_shared<TTransformOptions>();
  CLI::App* sub = app.add_subcommand(
      "transform",
      "Change one sequence (--sequence N), every sequence (--all) or the whole program with one operation, and write "
      "the program (standard output unless -o is given). The program is first prepared as opening it in the window "
      "does. With --all, sequences an operation cannot change are named on standard error and the others are "
      "written (exit 3).");
  sub->add_option("program", t->strProgram, "the program")->required()->type_name("PROGRAM.bas");
  sub->add_option("--sequence", t->strSequence, "the sequence to change")->type_name("N");
  sub->add_flag("--all", t->bAll, "change every sequence");
  sub->add_option("-o", t->strOut, "write the program to this file (atomically); - is standard output")
      ->type_name("OUT");
  t->pLookAhead = AddLookAheadOption(sub, t->strLookAhead);
  sub->require_subcommand(1);
  const auto Op = [&](const char* strName, const char* strHelp, int nArgs, const char* strArgs) {
    CLI::App* o = sub->add_subcommand(strName, strHelp);
    o->fallthrough();  // the transform's own options may follow the operation
    auto& slot = t->Ops[strName];
    slot.first = o;
    if (nArgs > 0) o->add_option("arguments", slot.second, strArgs)->expected(nArgs)->required()->type_name(strArgs);
    return o;
  };
  Op("reverse", "cut the sequence the other way round", 0, "");
  Op("shift", "move the sequence so that it starts at X Y (with --relative: by X and Y)", 2, "X Y")
      ->add_flag("--relative", t->bRelative, "move by X and Y rather than to them");
  Op("scale", "scale the sequence by F", 1, "F");
  Op("rotate", "rotate the sequence by DEG degrees", 1, "DEG");
  Op("mirror", "mirror the sequence in the x or y direction", 1, "x|y");
  CLI::App* comp = Op("compensate", "offset the path by the tool radius F, to the left of the direction of travel (or --right)", 1, "F");
  comp->add_flag("--right", t->bRight, "offset to the right of the direction of travel");
  comp->add_flag("--absolute", t->bAbsolute, "offset the uncompensated path (only the window keeps it)");
  Op("fillet", "round every corner between two straight moves whose angle is below DEG degrees with an arc of radius R", 2, "DEG R");
  Op("leadinout", "put a quarter-circle arc of radius RIN before each path's start and one of radius ROUT after its end, each turning cw or acw (radius 0: no arc)", 4,
     "RIN cw|acw ROUT cw|acw");
  Op("addend", "retrace the last part of the path backwards over the distance D", 1, "D");
  Op("changestart", "start the closed sequence at its point nearest X Y (--sequence only)", 2, "X Y");
  Op("batchcopy", "copy the sequence into NX columns DX apart and NY rows DY apart (--sequence only)", 4, "DX NX DY NY");
  CLI::App* tabs = Op("tabs",
                      "leave N tabs of LENGTH uncut on each closed path (with --spacing one about every N along "
                      "it); --all passes open paths over",
                      2, "N LENGTH");
  tabs->add_flag("--spacing", t->bSpacing, "N is the distance between tabs, not their number");
  tabs->add_flag("--off-arcs", t->bOffArcs, "keep tabs off arcs");
  Op("offset-terms", "write every absolute move with the offset terms, or without them (whole program)", 1, "on|off");
  run = [t] { return Transform(*t); };
}

}  // namespace veltrane::cli
