// stats: lengths, pierces, moves and the estimated time.
#include <cmath>
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "model/FilePath.h"
#include "model/NumberFormat.h"
#include "model/Statements.h"
#include "model/Text.h"
#include "settings/VLTRegistry.h"
#include "tools/ProgramStats.h"

namespace veltrane::cli {

namespace {

struct TFigure {
  const char* strName;
  const char* strHelp;
  double TEstimateSettings::*pValue;
  bool bZeroAllowed;
};
constexpr TFigure c_Figures[] = {
    {"--speed", "cutting speed (units a second) where the program sets none", &TEstimateSettings::fSpeed, false},
    {"--accel", "acceleration (units a second squared)", &TEstimateSettings::fAccel, false},
    {"--decel", "deceleration (units a second squared)", &TEstimateSettings::fDecel, false},
    {"--travel-speed", "speed of the moves between sequences", &TEstimateSettings::fTravelSpeed, false},
    {"--blend", "largest turn (degrees) a look-ahead move goes through without stopping",
     &TEstimateSettings::fBlendDegrees, true},
    {"--pierce", "seconds each sequence's start takes", &TEstimateSettings::fPierceTime, true},
};

struct TStatsOptions {
  std::string strProgram, strOut;
  bool bCsv = false;
  std::string Values[std::size(c_Figures)];
};

int Stats(const TStatsOptions& o) {
  TVLTRegistry reg;
  TEstimateSettings settings = ReadEstimateSettings(reg);
  for (size_t i = 0; i < std::size(c_Figures); ++i) {
    if (o.Values[i].empty()) continue;
    const TFigure& f = c_Figures[i];
    double v = 0;
    if (!TryStrToFloat(o.Values[i], v) || !std::isfinite(v) || v < 0 || (v == 0 && !f.bZeroAllowed))
      return Usage(std::string(f.strName) + (f.bZeroAllowed ? " takes a number of 0 or more" : " takes a number above 0"));
    settings.*f.pValue = v;
  }
  TStringList lines;
  if (!CheckOutput(o.strOut, o.strProgram) || !ReadProgram(o.strProgram, lines)) return 1;
  // Numbers beyond the range give no figures: refused, as for the plot and the extents.
  std::string strNumber;
  if (const int32_t n = FirstMoveOutOfRange(lines, strNumber); n >= 0) {
    std::cerr << "veltrane-cli: line " << n + 1 << ": " << QuotedLine(strNumber) << " is beyond the range of numbers\n";
    return 1;
  }
  const TProgramStats stats = ComputeProgramStats(lines, settings, Utf8Name(FsPath(o.strProgram).filename()));
  if (!NoLineBeyondRange(lines, stats.nBeyondRange)) return 1;  // found by the statistics' own walk
  for (const std::string& n : stats.Notes) std::cerr << "veltrane-cli: " << n << "\n";
  return WriteText(o.strOut, o.bCsv ? StatsCsv(stats) : StatsTable(stats));
}

}  // namespace

void AddStats(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TStatsOptions>();
  CLI::App* sub = app.add_subcommand("stats",
                                     "Cut and travel lengths, pierces, moves and estimated time of the program, each "
                                     "layer and each sequence (defaults from the settings).");
  sub->add_option("program", o->strProgram, "the program")->required()->type_name("PROGRAM.bas");
  sub->add_flag("--csv", o->bCsv, "write comma-separated values rather than a table");
  for (size_t i = 0; i < std::size(c_Figures); ++i)
    sub->add_option(c_Figures[i].strName, o->Values[i], c_Figures[i].strHelp)->type_name("V");
  sub->add_option("-o", o->strOut, "write to this file (atomically); - is standard output")->type_name("OUT");
  run = [o] { return Stats(*o); };
}

}  // namespace veltrane::cli
