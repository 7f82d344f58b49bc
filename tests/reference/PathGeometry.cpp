#include "reference/PathGeometry.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>

namespace veltrane::reference {

namespace {
constexpr double pi = std::numbers::pi;
TfPoint P(double x, double y) { return TfPoint{x, y}; }
std::string Upper(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return s;
}
}  // namespace

std::vector<double> Arguments(const std::string& s) {
  std::vector<double> v;
  size_t open = s.find('('), close = s.find(')');
  if (open == std::string::npos || close == std::string::npos) return v;
  std::string inner = s.substr(open + 1, close - open - 1);
  size_t from = 0;
  while (from <= inner.size()) {
    size_t comma = inner.find(',', from);
    if (comma == std::string::npos) comma = inner.size();
    std::string part = inner.substr(from, comma - from);
    const size_t plus = Upper(part).find("OFFSET_");
    if (plus != std::string::npos) part = part.substr(part.find('+') + 1);
    v.push_back(std::strtod(part.c_str(), nullptr));
    from = comma + 1;
  }
  return v;
}

std::vector<std::vector<TElement>> ReadPaths(const TStringList& Lines) {
  std::vector<std::vector<TElement>> paths;
  TfPoint at;
  for (const std::string& raw : Lines) {
    std::string s = raw;
    s.erase(0, s.find_first_not_of(" \t"));
    const std::string u = Upper(s);
    auto is = [&u](const char* w) {
      const size_t n = std::char_traits<char>::length(w);
      return u.compare(0, n, w) == 0 && u.size() > n && u[n] == '(';
    };
    const std::vector<double> v = Arguments(s);
    if (is("MOVEABS") || is("MOVEABSSP")) {
      at = P(v.at(0), v.at(1));
      paths.emplace_back();
    } else if (is("MOVE") || is("MOVESP")) {
      TElement e;
      e.a = at;
      e.b = P(at.fX + v.at(0), at.fY + v.at(1));
      if (paths.empty()) paths.emplace_back();
      paths.back().push_back(e);
      at = e.b;
    } else if (is("MOVECIRC") || is("MOVECIRCSP")) {
      TElement e;
      e.bArc = true;
      e.a = at;
      e.b = P(at.fX + v.at(0), at.fY + v.at(1));
      e.c = P(at.fX + v.at(2), at.fY + v.at(3));
      e.bCw = v.at(4) != 0;
      const double s0 = std::atan2(e.a.fY - e.c.fY, e.a.fX - e.c.fX);
      const double s1 = std::atan2(e.b.fY - e.c.fY, e.b.fX - e.c.fX);
      double w = e.bCw ? s0 - s1 : s1 - s0;
      while (w <= 0) w += 2 * pi;
      while (w > 2 * pi) w -= 2 * pi;
      if (v.at(0) == 0 && v.at(1) == 0) w = 2 * pi;
      e.fSweep = w;
      if (paths.empty()) paths.emplace_back();
      paths.back().push_back(e);
      at = e.b;
    }
  }
  return paths;
}

TfPoint PointAt(const TElement& e, double t) {
  if (!e.bArc) return P(e.a.fX + (e.b.fX - e.a.fX) * t, e.a.fY + (e.b.fY - e.a.fY) * t);
  const double r = std::hypot(e.a.fX - e.c.fX, e.a.fY - e.c.fY);
  const double s0 = std::atan2(e.a.fY - e.c.fY, e.a.fX - e.c.fX);
  const double ang = s0 + (e.bCw ? -1 : 1) * e.fSweep * t;
  return P(e.c.fX + r * std::cos(ang), e.c.fY + r * std::sin(ang));
}

std::vector<TfPoint> Samples(const std::vector<TElement>& Path, int32_t n) {
  std::vector<TfPoint> out;
  for (const TElement& e : Path)
    for (int32_t i = 0; i <= n; ++i) out.push_back(PointAt(e, static_cast<double>(i) / n));
  return out;
}

double Distance(TfPoint p, const std::vector<TElement>& Path) {
  double best = std::numeric_limits<double>::infinity();
  for (const TElement& e : Path) {
    double d;
    if (!e.bArc) {
      d = SegmentDistance(p, e.a, e.b);
    } else {
      const double r = std::hypot(e.a.fX - e.c.fX, e.a.fY - e.c.fY);
      const double s0 = std::atan2(e.a.fY - e.c.fY, e.a.fX - e.c.fX);
      const double ang = std::atan2(p.fY - e.c.fY, p.fX - e.c.fX);
      double rel = e.bCw ? s0 - ang : ang - s0;
      while (rel < 0) rel += 2 * pi;
      while (rel >= 2 * pi) rel -= 2 * pi;
      if (rel <= e.fSweep)
        d = std::fabs(std::hypot(p.fX - e.c.fX, p.fY - e.c.fY) - r);
      else
        d = std::min(std::hypot(p.fX - e.a.fX, p.fY - e.a.fY), std::hypot(p.fX - e.b.fX, p.fY - e.b.fY));
    }
    best = std::min(best, d);
  }
  return best;
}

double Length(const std::vector<TElement>& Path) {
  double sum = 0;
  for (const TElement& e : Path) {
    if (!e.bArc)
      sum += std::hypot(e.b.fX - e.a.fX, e.b.fY - e.a.fY);
    else
      sum += e.fSweep * std::hypot(e.a.fX - e.c.fX, e.a.fY - e.c.fY);
  }
  return sum;
}

double DirectionAt(const TElement& e, double t) {
  if (!e.bArc) return std::atan2(e.b.fY - e.a.fY, e.b.fX - e.a.fX);
  const TfPoint q = PointAt(e, t);
  const double radial = std::atan2(q.fY - e.c.fY, q.fX - e.c.fX);
  return e.bCw ? radial - pi / 2 : radial + pi / 2;
}

double Area(const std::vector<TElement>& Path) {
  double sum = 0;
  for (const TElement& e : Path) {
    const int32_t n = e.bArc ? 2000 : 1;
    for (int32_t i = 0; i < n; ++i) {
      const TfPoint p = PointAt(e, static_cast<double>(i) / n), q = PointAt(e, static_cast<double>(i + 1) / n);
      sum += p.fX * q.fY - q.fX * p.fY;
    }
  }
  return sum / 2;
}

}  // namespace veltrane::reference
