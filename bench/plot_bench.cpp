// Plot benchmark: what one edit or caret move costs in a big program. For each size it
// times the regeneration (extents and display passes of the interpreter) and the repaint
// of the display list onto an 800 by 600 image through the window's canvas, and prints
// the medians of several runs with the display list's size and the peak memory.
//
//   veltrane-bench-plot [LINES ...]      (default 10000 100000 1000000)
#include <sys/resource.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/PainterCanvas.h"
#include "model/Records.h"
#include "plot/Interpreter.h"
#include "plot/PlotView.h"

using namespace veltrane;

namespace {

// A nesting sheet of small closed parts: each sequence a leader, four sides and a hole.
TStringList MakeProgram(size_t nLines) {
  TStringList p;
  p.reserve(nLines + 16);
  int n = 0;
  while (p.size() < nLines) {
    ++n;
    double x = (n % 400) * 12.0, y = (n / 400) * 12.0;
    p.push_back("'$StartSeq(" + std::to_string(n) + ")");
    p.push_back("cadseq" + std::to_string(n) + ":");
    p.push_back("    MOVEABS(" + std::to_string(x) + "," + std::to_string(y) + ")");
    p.push_back("    MOVE(10,0)");
    p.push_back("    MOVE(0,10)");
    p.push_back("    MOVE(-10,0)");
    p.push_back("    MOVE(0,-10)");
    p.push_back("    MOVEABS(" + std::to_string(x + 7) + "," + std::to_string(y + 5) + ")");
    p.push_back("    MOVECIRC(0,0,-2,0,1)");
    p.push_back("'$EndSeq(" + std::to_string(n) + ")");
  }
  p.resize(nLines);
  return p;
}

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long PeakMiB() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::strtoull(argv[i], nullptr, 10));
  if (sizes.empty()) sizes = {10000, 100000, 1000000};
  // A caret move repaints; an edit regenerates and repaints.
  std::printf("%10s %10s %12s %12s %12s %10s\n", "lines", "entries", "regen ms", "caret ms",
              "edit ms", "peak MiB");
  for (size_t n : sizes) {
    TStringList program = MakeProgram(n);
    TInterpreter interp;
    interp.SetProgram(&program);
    TPlotView view(interp);
    view.SetPlotSize(800, 600);
    view.ZoomExtents();
    QImage img(800, 600, QImage::Format_RGB32);
    std::vector<double> regen, paint;
    const int nRuns = n >= 1000000 ? 5 : 11;
    for (int r = 0; r < nRuns; ++r) {
      // An edit: one line changes and the caret stands on another.
      program[n / 2] = r % 2 ? "    MOVE(10,0)" : "    MOVE(10,1)";
      view.m_nCurrentLine = static_cast<int32_t>(n / 3 + r);
      auto t0 = std::chrono::steady_clock::now();
      view.GenerateDisplayList();
      regen.push_back(Seconds(t0) * 1000);
      t0 = std::chrono::steady_clock::now();
      {
        QPainter p(&img);
        TPainterCanvas cv(p);
        view.DrawGraph(cv);
      }
      paint.push_back(Seconds(t0) * 1000);
    }
    double g = Median(regen), d = Median(paint);
    std::printf("%10zu %10zu %12.1f %12.1f %12.1f %10ld\n", n, interp.DisplayList().size(), g, d,
                g + d, PeakMiB());
  }
  return 0;
}
