// Long-path offset benchmark: one closed path of about N straight moves, a band 10 high
// whose lower edge is a saw of N/2 teeth 0.3 high and 1 wide, offset inwards by 1 (the
// direct offsets of the teeth cross each other) by the robust method
// (raw pieces, joint arcs, split at every crossing, kept by distance, stitched) and then
// checked (crossings, distances, reach, side). Medians of three runs; the per-1000 column
// shows how the time grows with N (flat for n log n).
//   veltrane-bench-offset [MOVES ...]          default: 1000 10000 100000
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "model/NumberFormat.h"
#include "geometry/OffsetCheck.h"
#include "geometry/RobustOffset.h"

using namespace veltrane;

namespace {

std::vector<offsetcheck::TPiece> Saw(size_t n) {
  const size_t nTeeth = std::max<size_t>(n / 2, 1);
  std::vector<TfPoint> v;
  for (size_t i = 0; i < nTeeth; ++i) {
    v.push_back(TfPoint{static_cast<double>(i), 0});
    v.push_back(TfPoint{static_cast<double>(i) + 0.5, 0.3});
  }
  const double L = static_cast<double>(nTeeth);
  for (TfPoint p : {TfPoint{L, 0}, TfPoint{L, 10}, TfPoint{0, 10}}) v.push_back(p);
  std::vector<offsetcheck::TPiece> p;
  for (size_t i = 0; i < v.size(); ++i)
    p.push_back(offsetcheck::LinePiece(v[i], v[(i + 1) % v.size()]));
  return p;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<size_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(static_cast<size_t>(std::atol(argv[i])));
  if (sizes.empty()) sizes = {1000, 10000, 100000};
  std::printf(
      "| moves | robust offset ms | check ms | ms per 1000 moves | result pieces | outcome |\n"
      "|---|---|---|---|---|---|\n");
  for (size_t n : sizes) {
    const auto base = Saw(n);
    std::vector<double> tOffset, tCheck;
    size_t nPieces = 0;
    std::string strOutcome;
    for (int k = 0; k < 3; ++k) {
      std::vector<offsetcheck::TOffsetPiece> result;
      std::string strWhy;
      const auto t0 = std::chrono::steady_clock::now();
      std::vector<TfPoint> uncut;
      const bool bOk = offsetcheck::RobustOffset(base, 1.0, true, result, strWhy, uncut);
      const auto t1 = std::chrono::steady_clock::now();
      std::vector<offsetcheck::TPiece> pieces;
      for (const auto& r : result) pieces.push_back(r.Piece);
      const std::string strCheck = bOk ? offsetcheck::CheckOffset(base, pieces, 1.0, true) : strWhy;
      const auto t2 = std::chrono::steady_clock::now();
      tOffset.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      tCheck.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
      nPieces = result.size();
      strOutcome = strCheck.empty() ? "sound" : strCheck;
    }
    std::sort(tOffset.begin(), tOffset.end());
    std::sort(tCheck.begin(), tCheck.end());
    std::printf("| %zu | %.1f | %.1f | %.2f | %zu | %s |\n", n, tOffset[1], tCheck[1],
                (tOffset[1] + tCheck[1]) * 1000 / static_cast<double>(n), nPieces,
                strOutcome.c_str());
  }
  return 0;
}
