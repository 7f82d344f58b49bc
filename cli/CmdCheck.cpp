// check: the program check, and the cut-order and motion checks when asked for.
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "model/NumberFormat.h"
#include "settings/VLTRegistry.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramCheck.h"
#include "transform/CutOrderCheck.h"

namespace veltrane::cli {

namespace {

struct TCheckOptions {
  std::string strProgram, strMinCircle;
  bool bCutOrder = false, bMotion = false;
};

int Check(const TCheckOptions& o) {
  TVLTRegistry reg;
  TMotionCheckOptions motion = ReadMotionCheckOptions(reg);
  if (!o.strMinCircle.empty() &&
      (!TryStrToFloat(o.strMinCircle, motion.fMinCircleRadius) || !(motion.fMinCircleRadius >= 0)))
    return Usage("--min-circle takes a radius of 0 or more");
  TStringList lines;
  if (!ReadProgram(o.strProgram, lines)) return 1;
  TProgramCheck check(lines);
  bool bFound = check.Check();
  std::cout << c_sProgramCheckCaption << "\n";
  for (const std::string& l : check.Report()) std::cout << l << "\n";
  if (o.bCutOrder || reg.CheckCutOrder()) {
    std::cout << c_sCheckingCutOrder << "\n";
    const auto f = FirstCutOrderFinding(lines);
    std::cout << (f ? CutOrderFindingText(*f) : std::string("  ..OK")) << "\n";
    bFound = bFound || f.has_value();
  }
  if (o.bMotion || reg.CheckMotion()) {
    std::cout << c_sCheckingMotion << "\n";
    const std::vector<std::string> findings = CheckMotion(lines, motion);
    for (const std::string& l : findings) std::cout << l << "\n";
    if (findings.empty()) std::cout << "  ..OK\n";
    bFound = bFound || !findings.empty();
  }
  return bFound ? 1 : 0;
}

}  // namespace

void AddCheck(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TCheckOptions>();
  CLI::App* sub =
      app.add_subcommand("check", "Run the program check and print its report; exit 1 when it finds something.");
  sub->add_option("program", o->strProgram, "the program")->required()->type_name("PROGRAM.bas");
  sub->add_flag("--cut-order", o->bCutOrder, "also whether a closed sequence comes before one inside it");
  sub->add_flag("--motion", o->bMotion,
                "also moves of no length, arcs off their circle, full circles below the smallest radius, segments "
                "cut twice and moves outside the machine limits");
  sub->add_option("--min-circle", o->strMinCircle, "the smallest full circle --motion lets pass (default 0.05)")
      ->type_name("R");
  run = [o] { return Check(*o); };
}

}  // namespace veltrane::cli
