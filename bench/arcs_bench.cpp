// Curves as arcs against chords: for each drawing, and for each curve of it (each path),
// the moves written with the design's straight moves (10 per spline section; elliptical
// arcs 64 a turn, whole ellipses four arcs) and with arcs within D = 0.01, their ratio,
// the largest deviation of each from the curve (both ways; the curve is the drawing
// fitted with arcs within 0.00001) and the import time (median of 5 runs).
//   veltrane-bench-arcs DRAWING.dxf ...
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "dxf/DXFIn.h"
#include "model/TextFile.h"
#include "tests/RecordGeometry.h"  // the tests' own sampling of records

using namespace veltrane;

namespace {

std::vector<TDXFEntity> Import(const std::string& strText, double fArcs, double& fSeconds) {
  TFixedImportAnswers answers("");
  TDXFIn in(&answers, nullptr);
  in.SetMatching(true, 1e-6);
  in.SetMovesPerSplineSection(10);
  in.SetCurvesAsArcs(fArcs);
  const auto t0 = std::chrono::steady_clock::now();
  in.ReadBuffer(strText);
  in.ChainAndOrder();
  fSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::vector<TDXFEntity> all;
  for (int32_t l = 0; l < std::max(1, in.SelectedCount()); ++l)
    all.insert(all.end(), in.Records(l).begin(), in.Records(l).end());
  return all;
}

double Nearest(const TfPoint& q, const std::vector<TfPoint>& P) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < P.size(); ++i) {
    const TfPoint &a = P[i], &b = P[i + 1];
    const double dx = b.fX - a.fX, dy = b.fY - a.fY, dd = dx * dx + dy * dy;
    if (dd > 1.0) continue;  // a jump between paths
    const double t =
        dd > 0 ? std::clamp(((q.fX - a.fX) * dx + (q.fY - a.fY) * dy) / dd, 0.0, 1.0) : 0.0;
    best = std::min(best, std::hypot(q.fX - a.fX - t * dx, q.fY - a.fY - t * dy));
  }
  return best;
}

double Deviation(const std::vector<TDXFEntity>& R, const std::vector<TfPoint>& Curve, int nPer) {
  const std::vector<TfPoint> path = veltrane::testing::RecordSamples(R, nPer);
  double f = 0;
  for (const TfPoint& q : path) f = std::max(f, Nearest(q, Curve));
  for (size_t i = 0; i < Curve.size(); i += 7) f = std::max(f, Nearest(Curve[i], path));
  return f;
}

// The records of each path, keyed by its two ends (the ordering may run a path backwards).
std::vector<std::vector<TDXFEntity>> Paths(const std::vector<TDXFEntity>& R) {
  std::vector<std::vector<TDXFEntity>> out;
  for (size_t i = 0; i < R.size(); ++i) {
    if (i == 0 || R[i].nSequence != R[i - 1].nSequence) out.emplace_back();
    out.back().push_back(R[i]);
  }
  return out;
}

bool SameEnds(const std::vector<TDXFEntity>& a, const std::vector<TDXFEntity>& b) {
  auto near = [](const TfPoint& p, const TfPoint& q) {
    return std::hypot(p.fX - q.fX, p.fY - q.fY) < 1e-6;
  };
  const TfPoint a0 = a.front().fStartPoint, a1 = a.back().fEndPoint, b0 = b.front().fStartPoint,
                b1 = b.back().fEndPoint;
  return (near(a0, b0) && near(a1, b1)) || (near(a0, b1) && near(a1, b0));
}

double MedianMs(const std::string& text, double fArcs) {
  std::vector<double> t;
  for (int k = 0; k < 5; ++k) {
    double s = 0;
    Import(text, fArcs, s);
    t.push_back(s * 1000);
  }
  std::sort(t.begin(), t.end());
  return t[2];
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string text = ReadWholeFile(argv[i]);
    double s = 0;
    const auto ref = Paths(Import(text, 1e-5, s)), chords = Paths(Import(text, 0, s)),
               arcs = Paths(Import(text, 0.01, s));
    std::string name = argv[i];
    name = name.substr(name.find_last_of('/') + 1);
    std::printf(
        "%s, per curve:\n\n| curve starting at | chord moves | arc moves (D = 0.01) | ratio | arc "
        "deviation |\n"
        "|---|---|---|---|---|\n",
        name.c_str());
    double fWorst = 0;
    for (const auto& a : arcs) {
      const auto c =
          std::find_if(chords.begin(), chords.end(), [&](const auto& p) { return SameEnds(p, a); });
      const auto r =
          std::find_if(ref.begin(), ref.end(), [&](const auto& p) { return SameEnds(p, a); });
      if (c == chords.end() || r == ref.end()) continue;
      const double f = Deviation(a, veltrane::testing::RecordSamples(*r, 60), 30);
      fWorst = std::max(fWorst, f);
      std::printf("| (%.4g, %.4g) | %zu | %zu | %.1f | %.4f |\n", a.front().fStartPoint.fX,
                  a.front().fStartPoint.fY, c->size(), a.size(),
                  static_cast<double>(c->size()) / static_cast<double>(a.size()), f);
    }
    std::printf(
        "\nworst deviation %.4f; import %.1f ms with arcs, %.1f ms with chords (medians of 5)\n\n",
        fWorst, MedianMs(text, 0.01), MedianMs(text, 0));
  }
  std::printf(
      "| drawing | chord moves | chord deviation | arc moves (D = 0.01) | arc deviation | ratio | "
      "arcs ms |\n"
      "|---|---|---|---|---|---|---|\n");
  for (int i = 1; i < argc; ++i) {
    const std::string text = ReadWholeFile(argv[i]);
    double s = 0, sArcs = 0;
    const std::vector<TfPoint> curve = veltrane::testing::RecordSamples(Import(text, 1e-5, s), 60);
    const auto chords = Import(text, 0, s), arcs = Import(text, 0.01, sArcs);
    const double fChords = Deviation(chords, curve, 30), fArcs = Deviation(arcs, curve, 30);
    std::string name = argv[i];
    name = name.substr(name.find_last_of('/') + 1);
    std::printf("| %s | %zu | %.4f | %zu | %.4f | %.1f | %.1f |\n", name.c_str(), chords.size(),
                fChords, arcs.size(), fArcs,
                static_cast<double>(chords.size()) / static_cast<double>(arcs.size()),
                MedianMs(text, 0.01));
  }
  return 0;
}
