// Travel benchmark: seeded sheets (circles, nested plates, clusters, bolt grids, strokes)
// imported in the greedy order and with the travel optimised; the optimised travel as a
// ratio of the tests' plain strong tour (up to 1,000 paths: it is slow) and the time the
// optimisation adds, the median of nReps imports.
//   veltrane-bench-travel [N ...]          default: 100 1000 50000
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dxf/DXFIn.h"
#include "tests/TravelSheets.h"
#include "tests/reference/PlainTravel.h"

using namespace veltrane;
using veltrane::testing::ETravelSheet;

namespace {

struct TRun {
  double fSeconds = 0.0;
  TStringList Program;
};

TRun Import(const std::string& strText, bool bInnerFirst, bool bOptimise) {
  TFixedImportAnswers answers("", {"L"});
  TDXFIn in(&answers, nullptr);
  in.SetMatching(true, 1e-6);
  in.SetCutInnerFirst(bInnerFirst);
  in.SetOptimiseTravel(bOptimise);
  in.ReadBuffer(strText);
  const auto t0 = std::chrono::steady_clock::now();
  in.ChainAndOrder();
  TRun r;
  r.fSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  TLayerContent content;
  in.TranslateList(r.Program, content);
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::atoll(argv[i])));
  if (sizes.empty()) sizes = {100, 1000, 50000};
  std::printf(
      "| sheet    | order       | paths  | greedy travel | optimised | reference | ratio | vs "
      "greedy | "
      "chain+order s | optimised s | reference s |\n");
  std::printf(
      "|----------|-------------|--------|---------------|-----------|-----------|-------|---------"
      "--|"
      "---------------|-------------|-------------|\n");
  const struct {
    ETravelSheet eKind;
    bool bInnerFirst;
  } cases[] = {{ETravelSheet::eCircles, false}, {ETravelSheet::eClusters, false},
               {ETravelSheet::eGrids, false},   {ETravelSheet::eStrokes, false},
               {ETravelSheet::eNested, false},  {ETravelSheet::eNested, true}};
  for (size_t n : sizes)
    for (const auto& c : cases) {
      const std::string text = veltrane::testing::TravelSheet(c.eKind, n, 34);
      const int nReps = n > 1000 ? 1 : 3;
      std::vector<double> greedyTimes, optTimes;
      TRun greedy, ours;
      for (int r = 0; r < nReps; ++r) {
        greedy = Import(text, c.bInnerFirst, false);
        ours = Import(text, c.bInnerFirst, true);
        greedyTimes.push_back(greedy.fSeconds);
        optTimes.push_back(ours.fSeconds);
      }
      const auto greedyPaths = reference::ReadPaths(greedy.Program);
      const double fGreedy = reference::Travel(greedyPaths),
                   fOurs = reference::Travel(reference::ReadPaths(ours.Program));
      double fRef = 0.0, fRefSeconds = 0.0;
      if (n <= 1000) {
        const auto t0 = std::chrono::steady_clock::now();
        fRef = reference::StrongTravel(greedyPaths, c.bInnerFirst, n <= 100 ? 8 : 1);
        fRefSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      }
      char ref[64] = "-", ratio[32] = "-", refs[32] = "-";
      if (fRef > 0) {
        std::snprintf(ref, sizeof ref, "%.0f", fRef);
        std::snprintf(ratio, sizeof ratio, "%.3f", fOurs / fRef);
        std::snprintf(refs, sizeof refs, "%.1f", fRefSeconds);
      }
      std::printf(
          "| %-8s | %-11s | %6zu | %13.0f | %9.0f | %9s | %5s | %9.3f | %13.3f | %11.3f | %11s |\n",
          veltrane::testing::TravelSheetName(c.eKind), c.bInnerFirst ? "inner-first" : "travel",
          greedyPaths.size(), fGreedy, fOurs, ref, ratio, fOurs / fGreedy, Median(greedyTimes),
          Median(optTimes), refs);
      std::fflush(stdout);
    }
  return 0;
}
