// table: the program's moves as a table.
#include <iostream>
#include <memory>

#include "cli/Common.h"
#include "settings/VLTRegistry.h"
#include "tools/TableExport.h"

namespace veltrane::cli {

namespace {

struct TTableOptions {
  std::string strProgram, strOut, strFormat, strFixed, strStart, strCodes;
  bool bFlexible = false;
  CLI::Option* pFixed = nullptr;
  CLI::Option* pStart = nullptr;
};

int Table(const TTableOptions& o) {
  TVLTRegistry reg;
  TTableFields f = ReadTableFields(reg);
  if (!o.strFormat.empty() && o.strFormat != "basic" && o.strFormat != "list" && o.strFormat != "csv")
    return Usage("--format takes basic, list or csv");
  if (!o.strFormat.empty())
    f.evFormat = o.strFormat == "basic" ? ETableFormat::eBasic
                 : o.strFormat == "list" ? ETableFormat::eTableList
                                         : ETableFormat::eCsv;
  if (o.pFixed->count()) {
    f.bFixed = true;
    f.strLength = o.strFixed;
  } else if (o.bFlexible) {
    f.bFixed = false;
  }
  if (o.pStart->count()) f.strTableStart = o.strStart;
  if (!o.strCodes.empty()) {
    const std::string& v = o.strCodes;
    const size_t c1 = v.find(','), c2 = c1 == std::string::npos ? c1 : v.find(',', c1 + 1);
    if (c2 == std::string::npos || v.find(',', c2 + 1) != std::string::npos)
      return Usage("--codes takes three codes: MO,MA,MC");
    f.strMoCode = v.substr(0, c1);
    f.strMaCode = v.substr(c1 + 1, c2 - c1 - 1);
    f.strMcCode = v.substr(c2 + 1);
  }
  TStringList lines;
  if (!CheckOutput(o.strOut, o.strProgram) || !ReadProgram(o.strProgram, lines)) return 1;
  const std::string strLength = f.strLength;
  const TTableResult r = BuildTable(lines, f);
  if (!r.strError.empty()) return Fail(r.strError);
  if (f.bFixed && f.strLength != strLength) std::cerr << "veltrane-cli: the length was raised to 6\n";
  return WriteLines(o.strOut, r.Lines);
}

}  // namespace

void AddTable(CLI::App& app, TRun& run) {
  auto o = std::make_shared<TTableOptions>();
  CLI::App* sub = app.add_subcommand(
      "table", "Write the program's moves as a table (defaults from the settings, as the window's table page starts).");
  sub->add_option("program", o->strProgram, "the program")->required()->type_name("PROGRAM.bas");
  sub->add_option("--format", o->strFormat, "a BASIC program, a table list or comma-separated values")
      ->type_name("basic|list|csv");
  o->pFixed = sub->add_option("--fixed", o->strFixed, "entries of N digits (at least 6)")->type_name("N");
  CLI::Option* pFlexible = sub->add_flag("--flexible", o->bFlexible, "entries as long as their numbers");
  o->pFixed->excludes(pFlexible);
  o->pStart = sub->add_option("--start", o->strStart, "the first table index")->type_name("N");
  sub->add_option("--codes", o->strCodes, "the codes of straight moves, absolute moves and arcs")->type_name("MO,MA,MC");
  sub->add_option("-o", o->strOut, "write to this file (atomically); - is standard output")->type_name("OUT");
  run = [o] { return Table(*o); };
}

}  // namespace veltrane::cli
