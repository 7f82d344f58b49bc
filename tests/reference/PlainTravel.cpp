// The plain tour: arrays, full sweeps, first improvement, no neighbour lists.
#include "tests/reference/PlainTravel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <random>

namespace veltrane::reference {

namespace {

double D(const TfPoint& a, const TfPoint& b) { return std::hypot(a.fX - b.fX, a.fY - b.fY); }

struct TStop {
  bool bClosed = false;
  std::vector<TfPoint> Entries;  // closed: candidate points on the outline; open: start, end
  std::vector<TfPoint> Outline;  // closed: the outline as a polygon
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

bool InPolygon(const std::vector<TfPoint>& poly, const TfPoint& p) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++)
    if ((poly[i].fY > p.fY) != (poly[j].fY > p.fY) &&
        p.fX < (poly[j].fX - poly[i].fX) * (p.fY - poly[i].fY) / (poly[j].fY - poly[i].fY) +
                   poly[i].fX)
      in = !in;
  return in;
}

class TPlain {
 public:
  TPlain(const std::vector<TStop>& Stops, const std::vector<std::vector<size_t>>& Before)
      : m_Stops(Stops), m_Before(Before) {}

  // Order, orientation (open) or entry index (closed) per path.
  double Solve(std::vector<size_t> order) {
    m_Order = std::move(order);
    m_Choice.assign(m_Stops.size(), 0);
    for (bool bAgain = true; bAgain;) {
      bAgain = false;
      for (size_t i = 0; i < m_Order.size(); ++i)
        for (size_t j = i; j < m_Order.size(); ++j) bAgain |= TryReverse(i, j);
      for (size_t len = 1; len <= 3; ++len)
        for (size_t i = 0; i + len <= m_Order.size(); ++i)
          for (size_t p = 0; p <= m_Order.size() - len; ++p) bAgain |= TryMove(i, len, p);
      bAgain |= ChooseEntries();
    }
    return Length(m_Order, m_Choice);
  }

 private:
  TfPoint In(size_t k, const std::vector<size_t>& c) const { return m_Stops[k].Entries[c[k]]; }
  TfPoint Out(size_t k, const std::vector<size_t>& c) const {
    return m_Stops[k].bClosed ? m_Stops[k].Entries[c[k]] : m_Stops[k].Entries[1 - c[k]];
  }
  double Length(const std::vector<size_t>& o, const std::vector<size_t>& c) const {
    double f = 0;
    TfPoint at{0, 0};
    for (size_t k : o) f += D(at, In(k, c)), at = Out(k, c);
    return f;
  }
  bool Allowed(const std::vector<size_t>& o) const {
    std::vector<size_t> pos(o.size());
    for (size_t i = 0; i < o.size(); ++i) pos[o[i]] = i;
    for (size_t k = 0; k < o.size(); ++k)
      for (size_t b : m_Before[k])
        if (pos[b] > pos[k]) return false;
    return true;
  }
  // Whole lengths compared: slow and plain.
  bool Take(const std::vector<size_t>& o, const std::vector<size_t>& c) {
    if (Length(o, c) >= Length(m_Order, m_Choice) - 1e-9 || !Allowed(o)) return false;
    m_Order = o, m_Choice = c;
    return true;
  }
  bool TryReverse(size_t i, size_t j) {
    auto o = m_Order;
    auto c = m_Choice;
    std::reverse(o.begin() + static_cast<std::ptrdiff_t>(i),
                 o.begin() + static_cast<std::ptrdiff_t>(j + 1));
    for (size_t q = i; q <= j; ++q)
      if (!m_Stops[o[q]].bClosed) c[o[q]] = 1 - c[o[q]];
    // A cheap test first: only the two legs at the ends change.
    auto legs = [&](const std::vector<size_t>& oo, const std::vector<size_t>& cc) {
      const TfPoint a = i == 0 ? TfPoint{0, 0} : Out(oo[i - 1], cc);
      return D(a, In(oo[i], cc)) + (j + 1 < oo.size() ? D(Out(oo[j], cc), In(oo[j + 1], cc)) : 0.0);
    };
    if (legs(o, c) >= legs(m_Order, m_Choice) - 1e-9) return false;
    return Take(o, c);
  }
  bool TryMove(size_t i, size_t len, size_t p) {
    if (p == i) return false;
    const size_t n = m_Order.size();
    // The order without the stretch, and the stretch put back before its p-th path.
    auto rest = [&](size_t j) { return m_Order[j < i ? j : j + len]; };
    const TfPoint O{0, 0};
    const TfPoint before = i == 0 ? O : Out(m_Order[i - 1], m_Choice);
    const double fOut =
        D(before, In(m_Order[i], m_Choice)) +
        (i + len < n ? D(Out(m_Order[i + len - 1], m_Choice), In(m_Order[i + len], m_Choice)) -
                           D(before, In(m_Order[i + len], m_Choice))
                     : 0.0);
    const TfPoint x = p == 0 ? O : Out(rest(p - 1), m_Choice);
    bool bAny = false;
    for (int turn = 0; turn < 2 && !bAny; ++turn) {
      auto c = m_Choice;
      std::vector<size_t> seg(m_Order.begin() + static_cast<std::ptrdiff_t>(i),
                              m_Order.begin() + static_cast<std::ptrdiff_t>(i + len));
      if (turn) {
        std::reverse(seg.begin(), seg.end());
        for (size_t k : seg)
          if (!m_Stops[k].bClosed) c[k] = 1 - c[k];
      }
      const double fIn =
          D(x, In(seg.front(), c)) +
          (p < n - len ? D(Out(seg.back(), c), In(rest(p), c)) - D(x, In(rest(p), c)) : 0.0);
      if (fIn >= fOut - 1e-9) continue;
      std::vector<size_t> o;
      for (size_t j = 0; j < n - len; ++j) {
        if (j == p) o.insert(o.end(), seg.begin(), seg.end());
        o.push_back(rest(j));
      }
      if (p == n - len) o.insert(o.end(), seg.begin(), seg.end());
      bAny = LocalTake(o, c, std::min(i, p), std::max(i, p) + len);
    }
    return bAny;
  }
  // Compares the legs of positions lo..hi only (the rest is the same), then takes.
  bool LocalTake(const std::vector<size_t>& o, const std::vector<size_t>& c, size_t lo, size_t hi) {
    auto part = [&](const std::vector<size_t>& oo, const std::vector<size_t>& cc) {
      double f = 0;
      TfPoint at = lo == 0 ? TfPoint{0, 0} : Out(oo[lo - 1], cc);
      for (size_t q = lo; q <= hi && q < oo.size(); ++q)
        f += D(at, In(oo[q], cc)), at = Out(oo[q], cc);
      return f;
    };
    if (part(o, c) >= part(m_Order, m_Choice) - 1e-9 || !Allowed(o)) return false;
    m_Order = o, m_Choice = c;
    return true;
  }
  bool ChooseEntries() {
    bool bAny = false;
    for (size_t q = 0; q < m_Order.size(); ++q) {
      const size_t k = m_Order[q];
      const TfPoint a = q == 0 ? TfPoint{0, 0} : Out(m_Order[q - 1], m_Choice);
      auto cost = [&](size_t e) {
        auto c = m_Choice;
        c[k] = e;
        return D(a, In(k, c)) +
               (q + 1 < m_Order.size() ? D(Out(k, c), In(m_Order[q + 1], c)) : 0.0);
      };
      for (size_t e = 0; e < m_Stops[k].Entries.size(); ++e)
        if (cost(e) < cost(m_Choice[k]) - 1e-9) m_Choice[k] = e, bAny = true;
    }
    return bAny;
  }

  const std::vector<TStop>& m_Stops;
  const std::vector<std::vector<size_t>>& m_Before;
  std::vector<size_t> m_Order, m_Choice;
};

}  // namespace

double Travel(const std::vector<std::vector<TElement>>& Paths) {
  double f = 0;
  TfPoint at{0, 0};
  for (const auto& p : Paths) {
    if (p.empty()) continue;
    f += D(at, p.front().a);
    at = p.back().b;
  }
  return f;
}

double StrongTravel(const std::vector<std::vector<TElement>>& Paths, bool bInnerFirst,
                    int nRestarts) {
  std::vector<TStop> stops;
  for (const auto& p : Paths) {
    if (p.empty()) continue;
    TStop s;
    s.bClosed = D(p.front().a, p.back().b) < 1e-9;
    s.Outline = Samples(p, 24);
    s.x0 = s.x1 = s.Outline[0].fX, s.y0 = s.y1 = s.Outline[0].fY;
    for (const TfPoint& q : s.Outline)
      s.x0 = std::min(s.x0, q.fX), s.x1 = std::max(s.x1, q.fX), s.y0 = std::min(s.y0, q.fY),
      s.y1 = std::max(s.y1, q.fY);
    s.Entries = s.bClosed ? s.Outline : std::vector<TfPoint>{p.front().a, p.back().b};
    stops.push_back(std::move(s));
  }
  const size_t n = stops.size();
  std::vector<std::vector<size_t>> before(n);  // per path: the paths that must come before it
  if (bInnerFirst)
    for (size_t c = 0; c < n; ++c)
      for (size_t k = 0; k < n && stops[c].bClosed; ++k) {
        if (k == c || stops[k].x0 <= stops[c].x0 || stops[k].x1 >= stops[c].x1 ||
            stops[k].y0 <= stops[c].y0 || stops[k].y1 >= stops[c].y1)
          continue;
        bool bIn = true;
        for (const TfPoint& q : stops[k].Outline) bIn = bIn && InPolygon(stops[c].Outline, q);
        if (bIn) before[c].push_back(k);
      }
  std::vector<size_t> order(n);
  for (size_t k = 0; k < n; ++k) order[k] = k;
  TPlain plain(stops, before);
  double fBest = plain.Solve(order);
  std::mt19937 rng(1234);
  for (int r = 0; r < nRestarts; ++r) {
    // A random order that keeps inner paths first: a random path among those free to come.
    std::vector<size_t> waiting(n), start;
    for (size_t c = 0; c < n; ++c) waiting[c] = before[c].size();
    std::vector<size_t> free;
    for (size_t k = 0; k < n; ++k)
      if (waiting[k] == 0) free.push_back(k);
    while (!free.empty()) {
      const size_t at = rng() % free.size(), k = free[at];
      free.erase(free.begin() + static_cast<std::ptrdiff_t>(at));
      start.push_back(k);
      for (size_t c = 0; c < n; ++c)
        if (std::find(before[c].begin(), before[c].end(), k) != before[c].end() &&
            --waiting[c] == 0)
          free.push_back(c);
    }
    if (start.size() == n) fBest = std::min(fBest, plain.Solve(start));
  }
  return fBest;
}

}  // namespace veltrane::reference
