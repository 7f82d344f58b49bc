// Seeded sheets for measuring travel: uniform circles, nested plates with holes and
// islands, dense clusters far apart, bolt-pattern grids and open engraving strokes, each
// of about n paths on one layer "L", elements written in a shuffled order.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/DXFText.h"

namespace veltrane::testing {

enum class ETravelSheet : int32_t {
  eCircles = 0,
  eNested = 1,
  eClusters = 2,
  eGrids = 3,
  eStrokes = 4
};

inline const char* TravelSheetName(ETravelSheet e) {
  static const char* const c_Names[] = {"circles", "nested", "clusters", "grids", "strokes"};  // in the order above
  const auto n = static_cast<size_t>(e);
  return n < std::size(c_Names) ? c_Names[n] : "?";
}

inline std::string TravelSheet(ETravelSheet eKind, size_t n, uint32_t nSeed) {
  std::mt19937 rng(nSeed);
  auto u = [&](double a, double b) {
    return a + (b - a) * static_cast<double>(rng() % 1000000) / 1e6;
  };
  std::vector<std::function<void(TDXFText&)>> elements;
  auto line = [&](double x0, double y0, double x1, double y1) {
    elements.push_back([=](TDXFText& t) { t.Line("L", x0, y0, x1, y1); });
  };
  auto circle = [&](double x, double y, double r) {
    elements.push_back([=](TDXFText& t) { t.Circle("L", x, y, r); });
  };
  auto rect = [&](double x0, double y0, double x1, double y1) {
    line(x0, y0, x1, y0), line(x1, y0, x1, y1), line(x1, y1, x0, y1), line(x0, y1, x0, y0);
  };
  const double side = std::sqrt(static_cast<double>(n)) * 100;
  switch (eKind) {
    case ETravelSheet::eCircles:
      for (size_t k = 0; k < n; ++k) circle(u(0, side), u(0, side), u(2, 10));
      break;
    case ETravelSheet::eNested: {  // 5 paths a part: a plate, three holes, an island in one
      const size_t nCols = static_cast<size_t>(std::ceil(std::sqrt(n / 5.0)));
      for (size_t p = 0; p < (n + 4) / 5; ++p) {
        const double x = static_cast<double>(p % nCols) * 250 + u(0, 40),
                     y = static_cast<double>(p / nCols) * 250 + u(0, 40);
        const double w = u(120, 180), h = u(120, 180);
        rect(x, y, x + w, y + h);
        for (int k = 0; k < 3; ++k) circle(x + w * (k + 1) / 4, y + u(30, 60), 12);
        // A square hole near the top with a round island in it.
        rect(x + w / 4 - 10, y + h - 35, x + w / 4 + 10, y + h - 15);
        circle(x + w / 4, y + h - 25, 5);
      }
      break;
    }
    case ETravelSheet::eClusters: {  // clusters of 20 small parts, far apart
      const double far = std::sqrt(static_cast<double>(n) / 20) * 2000;
      for (size_t c = 0; c < (n + 19) / 20; ++c) {
        const double cx = u(0, far), cy = u(0, far);
        for (int k = 0; k < 20; ++k) {
          const double x = cx + u(-60, 60), y = cy + u(-60, 60);
          k % 2 ? circle(x, y, 3) : rect(x, y, x + 4, y + 4);
        }
      }
      break;
    }
    case ETravelSheet::eGrids: {  // bolt patterns: 5 x 5 holes at a pitch of 20
      for (size_t g = 0; g < (n + 24) / 25; ++g) {
        const double x = u(0, side * 1.5), y = u(0, side * 1.5);
        for (int k = 0; k < 25; ++k) circle(x + 20 * (k % 5), y + 20 * (k / 5), 4);
      }
      break;
    }
    case ETravelSheet::eStrokes:  // one to three joined strokes, open
      for (size_t k = 0; k < n; ++k) {
        double x = u(0, side), y = u(0, side);
        const int m = 1 + static_cast<int>(rng() % 3);
        for (int s = 0; s < m; ++s) {
          const double a = u(0, 6.28), l = u(5, 25), x1 = x + l * std::cos(a),
                       y1 = y + l * std::sin(a);
          line(x, y, x1, y1);
          x = x1, y = y1;
        }
      }
      break;
  }
  std::shuffle(elements.begin(), elements.end(), rng);
  TDXFText text({"L"});
  for (auto& e : elements) e(text);
  return text.Text();
}

}  // namespace veltrane::testing
