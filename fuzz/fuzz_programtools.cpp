// Fuzz target: the program tools on arbitrary program text. The check always reports
// its four checks; the table build either stops with a message and no lines or writes a
// header and one record per move; code insertion either names its problem or keeps every
// line of the program in order; statistics stay defined; link parameter strings read back
// the way they were built.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/TextFile.h"
#include "tools/AutoCodeInsert.h"
#include "tools/ControllerLink.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramCheck.h"
#include "tools/ProgramStats.h"
#include "tools/TableExport.h"

using namespace veltrane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 16) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const TStringList lines = SplitLines(text);

  TProgramCheck check(lines);
  check.Check();
  size_t nAnnounced = 0;
  for (const std::string& l : check.Report()) nAnnounced += l.rfind("Checking ", 0) == 0;
  if (nAnnounced != 4) std::abort();

  for (int f = 0; f < 3; ++f) {
    TTableFields fields;
    fields.strMoCode = "0";
    fields.strMaCode = "1";
    fields.strMcCode = "2";
    fields.bFixed = f != 1;
    fields.strLength = f == 2 ? "9" : "6";
    fields.evFormat = static_cast<ETableFormat>(f);
    const TTableResult r = BuildTable(lines, fields);
    if (!r.strError.empty() && !r.Lines.empty()) std::abort();
    if (r.strError.empty() && (r.nItems > 0) != !r.Lines.empty()) std::abort();
    if (f == 0 && r.strError.empty() && r.Lines.size() != static_cast<size_t>(r.nItems) + (r.nItems > 0))
      std::abort();
  }

  if (AutoCodeInsertProblem(lines).empty()) {
    TAutoCodeTexts t;
    t.strProgramStart = "' s";
    for (auto& slot : t.Layer)
      for (auto& s : slot) s = "' x";
    const TStringList out = InsertAutoCode(lines, t);
    size_t k = 0;
    for (const std::string& l : out)
      if (k < lines.size() && l == lines[k]) ++k;
    if (k != lines.size()) std::abort();
  }

  // Statistics: lengths and times are never negative or undefined, and the sequences'
  // times never add up to more than the program's.
  {
    TEstimateSettings es;
    es.fPierceTime = size % 3 == 0 ? 0.5 : 0.0;
    const TProgramStats st = ComputeProgramStats(lines, es, "p");
    const TStatsRow& p = st.Program;
    if (!(p.fCut >= 0) || !(p.fTravel >= 0) || !(p.fTime >= 0)) std::abort();
    double fSum = 0;
    for (const TStatsRow& r : st.Sequences) fSum += r.fTime;
    if (std::isfinite(p.fTime) && fSum > p.fTime * (1 + 1e-9) + 1e-9) std::abort();
    (void)StatsTable(st);
    (void)StatsCsv(st);
    for (const std::string& l : CheckMotion(lines, TMotionCheckOptions{}))
      if (l.rfind("   - ", 0) != 0) std::abort();
  }

  for (const char* type : {"Serial", "USB", "PCI", "Ethernet"}) {
    TLinkFields f;
    f.strLinkType = type;
    ParseLinkParameters(type, text.substr(0, 64), f);
    const std::string built = BuildLinkParameters(f);
    TLinkFields g;
    g.strLinkType = type;
    ParseLinkParameters(type, built, g);
    if (BuildLinkParameters(g) != built && std::string(type) != "Serial") std::abort();
    (void)LinkFileLines(type, built, size % 2 == 0, size % 3 == 0, "/x");
  }
  return 0;
}
