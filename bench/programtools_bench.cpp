// Program-tool benchmark: a program of N sequences in six layers (each sequence a label,
// a start move, four moves and an arc, with a GOSUB to its label) through the program
// check, the table build in each format, automatic code insertion with a text at every
// place, the statistics with the time estimate, the motion check, and the copy of the
// program the window makes before it hands the estimate to its worker (the only part of
// the estimate that runs on the window's thread). Medians of five runs.
//   veltrane-bench-programtools [SEQUENCES ...]          default: 10000 100000
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "tools/AutoCodeInsert.h"
#include "tools/MotionCheck.h"
#include "tools/ProgramStats.h"
#include "tools/ProgramCheck.h"
#include "tools/TableExport.h"

using namespace veltrane;

namespace {

TStringList Program(size_t nSequences) {
  TStringList p;
  const size_t nPerLayer = (nSequences + 5) / 6;
  size_t n = 0;
  for (int layer = 0; layer < 6; ++layer) {
    p.push_back("'$Layer" + std::to_string(layer) + ":L" + std::to_string(layer));
    for (size_t k = 0; k < nPerLayer && n < nSequences; ++k) {
      const std::string s = std::to_string(++n);
      p.push_back("'$StartSeq(" + s + ")");
      p.push_back("cadseq" + s + ":");
      p.push_back("    MOVEABS(" + std::to_string(n % 100) + "," + std::to_string(n / 100) + ")");
      for (const char* l : {"    MOVE(10,0)", "    MOVE(0,10)", "    MOVE(-10,0)", "    MOVE(0,-5)",
                            "    MOVECIRC(0,-5,0,-2.5,1)"})
        p.push_back(l);
      p.push_back("    GOSUB cadseq" + s);
      p.push_back("'$EndSeq(" + s + ")");
    }
    p.push_back("'$EndLayer" + std::to_string(layer) + ":L" + std::to_string(layer));
  }
  return p;
}

double MedianMs(const std::function<void()>& f) {
  std::vector<double> v;
  for (int i = 0; i < 5; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    v.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(v.begin(), v.end());
  return v[2];
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::atol(argv[i])));
  if (sizes.empty()) sizes = {10000, 100000};
  std::printf("| sequences | lines | check ms | table basic fixed ms | table list flexible ms | table csv ms | "
              "code insertion ms | stats ms | motion check ms | copy ms | peak MiB |\n"
              "|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (size_t n : sizes) {
    const TStringList p = Program(n);
    const double fCheck = MedianMs([&] {
      TProgramCheck c(p);
      c.Check();
    });
    auto table = [&](ETableFormat f, bool bFixed) {
      return MedianMs([&] {
        TTableFields t;
        t.evFormat = f;
        t.bFixed = bFixed;
        BuildTable(p, t);
      });
    };
    const double fBasic = table(ETableFormat::eBasic, true), fList = table(ETableFormat::eTableList, false),
                 fCsv = table(ETableFormat::eCsv, true);
    TAutoCodeTexts texts;
    texts.strProgramStart = "' start";
    for (auto& slot : texts.Layer)
      for (auto& s : slot) s = "' text";
    const double fInsert = MedianMs([&] {
      if (AutoCodeInsertProblem(p).empty()) InsertAutoCode(p, texts);
    });
    const double fStats = MedianMs([&] { ComputeProgramStats(p, TEstimateSettings{}, "p"); });
    const double fMotion = MedianMs([&] { CheckMotion(p, TMotionCheckOptions{}); });
    const double fCopy = MedianMs([&] {
      TStringList copy = p;
      if (copy.size() != p.size()) std::abort();
    });
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("| %zu | %zu | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %.1f | %ld |\n", n, p.size(), fCheck,
                fBasic, fList, fCsv, fInsert, fStats, fMotion, fCopy, ru.ru_maxrss / 1024);
    std::fflush(stdout);
  }
  return 0;
}
