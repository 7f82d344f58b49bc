// Path-tool benchmark: a program of N sequences (rounded rectangles of eight moves,
// chamfered squares and circles) run through each path tool over the whole program as
// the window's "All" commands do, and one compensation of a single sequence, which is
// what each click of the window costs on a large program. Medians of five runs.
//   veltrane-bench-path [SEQUENCES ...]          default: 1000 10000 50000
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "model/NumberFormat.h"
#include "model/ProgramDocument.h"
#include "transform/PathCommands.h"

using namespace veltrane;

namespace {

TStringList Program(size_t nSequences) {
  TStringList p{"'$Layer0:PARTS"};
  for (size_t i = 0; i < nSequences; ++i) {
    const std::string n = std::to_string(i + 1);
    const double x = static_cast<double>(i % 100) * 70, y = static_cast<double>(i / 100) * 50;
    p.push_back("'$StartSeq(" + n + ")");
    p.push_back("cadseq" + n + ":");
    switch (i % 3) {
      case 0:
        p.push_back("    MOVEABS(" + StringFromDouble(x + 4) + "," + StringFromDouble(y) + ")");
        for (const char* l : {"    MOVE(42,0)", "    MOVECIRC(4,4,0,4,0)", "    MOVE(0,22)", "    MOVECIRC(-4,4,-4,0,0)",
                              "    MOVE(-42,0)", "    MOVECIRC(-4,-4,0,-4,0)", "    MOVE(0,-22)",
                              "    MOVECIRC(4,-4,4,0,0)"})
          p.push_back(l);
        break;
      case 1:
        p.push_back("    MOVEABS(" + StringFromDouble(x) + "," + StringFromDouble(y) + ")");
        for (const char* l : {"    MOVE(29.5,0)", "    MOVE(0.5,0.5)", "    MOVE(0,29.5)", "    MOVE(-30,0)",
                              "    MOVE(0,-30)"})
          p.push_back(l);
        break;
      default:
        p.push_back("    MOVEABS(" + StringFromDouble(x + 20) + "," + StringFromDouble(y + 15) + ")");
        p.push_back("    MOVECIRC(0,0,5,0,1)");
        break;
    }
    p.push_back("'$EndSeq(" + n + ")");
  }
  p.push_back("'$EndLayer0:PARTS");
  return p;
}

double MedianMs(const std::function<void()>& f, int nRuns = 5) {
  std::vector<double> v;
  for (int i = 0; i < nRuns; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    v.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::atol(argv[i])));
  if (sizes.empty()) sizes = {1000, 10000, 50000};
  std::printf("| sequences | lines | compensate all ms | fillet all ms | lead in/out all ms | add at end all ms | "
              "compensate one ms | peak MiB |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (size_t n : sizes) {
    const TStringList base = Program(n);
    TTransformer t;
    TPathRequest comp;
    comp.evOp = EPathOp::eCompensate;
    comp.fCompensation = 1;
    TPathRequest fillet;
    fillet.evOp = EPathOp::eFillet;
    fillet.fMaxAngleDegrees = 100;
    fillet.fRadius = 2;
    TPathRequest lead;
    lead.evOp = EPathOp::eLeadInOut;
    lead.fLeadIn = lead.fLeadOut = 2;
    TPathRequest add;
    add.evOp = EPathOp::eAddEnd;
    add.fAddEnd = 10;
    auto each = [&](const TPathRequest& r) {
      return MedianMs([&] {
        TProgramDocument d;
        d.m_Program = base;
        TScriptedPrompts quiet;
        PathToolEachSequence(d, t, r, &quiet);
      });
    };
    auto whole = [&](const TPathRequest& r) {
      return MedianMs([&] {
        TProgramDocument d;
        d.m_Program = base;
        PathToolWholeProgram(d, t, r);
      });
    };
    const double fComp = each(comp), fFillet = each(fillet), fLead = whole(lead), fAdd = whole(add);
    const double fOne = MedianMs([&] {
      TProgramDocument d;
      d.m_Program = base;
      PathToolSequence(d, t, static_cast<int32_t>(n / 2 + 1), comp);
    });
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("| %zu | %zu | %.1f | %.1f | %.1f | %.1f | %.2f | %ld |\n", n, base.size(), fComp, fFillet, fLead,
                fAdd, fOne, ru.ru_maxrss / 1024);
    std::fflush(stdout);
  }
  return 0;
}
