// Chaining and travel ordering: the fast importer against the plain rules on thousands
// of random layers built to hit ties, reversals of records that do not join, and end
// points at exactly the tolerance; and the rules' own cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <sstream>

#include "dxf/DXFChain.h"
#include "dxf/DXFDedupe.h"
#include "tests/reference/GridDedupe.h"
#include "tests/RecordPrinting.h"
#include "tests/reference/PlainChain.h"

using namespace veltrane;

namespace {

struct TLayer {
  std::vector<TDXFEntity> recs;
  std::vector<TDXFVertex> verts;
};

// Coordinates on a lattice of the tolerance, nudged by exactly the tolerance, a little
// less, half of it or nothing, so that matches, near misses and ties all occur.
// In the scattered form, ends lie anywhere within 1.5 tolerances of a few hubs, so that
// the nearest end can lie outside the tolerance box while another lies inside it.
TLayer RandomLayer(std::mt19937& rng, int n, double tol, bool bScattered = false) {
  TLayer t;
  std::uniform_int_distribution<int> cell(0, 6), kind(0, 99), nudge(0, 7), count(2, 5);
  std::uniform_real_distribution<double> scatter(-1.5 * tol, 1.5 * tol);
  const double offsets[8] = {0, 0, 0, tol, -tol, tol * 0.999, tol * 0.5, -tol * 0.5};
  auto pt = [&]() {
    if (bScattered)
      return TfPoint{(cell(rng) % 3) * tol * 4 + scatter(rng),
                     (cell(rng) % 3) * tol * 4 + scatter(rng)};
    return TfPoint{cell(rng) * tol * 3 + offsets[nudge(rng)],
                   cell(rng) * tol * 3 + offsets[nudge(rng)]};
  };
  int32_t nEntity = 0;
  for (int i = 0; i < n; ++i) {
    TDXFEntity r;
    r.nEntity = ++nEntity;
    int k = kind(rng);
    r.fStartPoint = pt();
    r.fEndPoint = pt();
    if (k < 45) {
      r.EntityType = eDXFET_Line;
    } else if (k < 60) {
      r.EntityType = eDXFET_Arc;
      r.Direction = (k & 1) ? eClockwise : eAnticlockwise;
      r.fStartAngle = k;
      r.fEndAngle = -k;
      r.fCentrePoint = pt();
      r.fRadius = 1;
    } else if (k < 66) {
      r.EntityType = eDXFET_Circle;
      r.Direction = eClockwise;
      r.fEndPoint = r.fStartPoint;
      r.fCentrePoint = pt();
    } else if (k < 78) {
      r.EntityType = eDXFET_Point;
      r.fEndPoint = r.fStartPoint;
    } else {
      r.EntityType = eDXFET_PolyLine;
      r.nFirstVertex = static_cast<int32_t>(t.verts.size());
      int m = count(rng);
      bool bClosed = k > 94;
      for (int j = 0; j < m; ++j)
        t.verts.push_back(TDXFVertex{pt(), (kind(rng) % 3 == 0) ? 0.5 : 0.0, r.nEntity});
      if (bClosed)
        t.verts.push_back(
            TDXFVertex{t.verts[static_cast<size_t>(r.nFirstVertex)].fPoint, 0, r.nEntity});
      r.nVertexCount = static_cast<int32_t>(t.verts.size()) - r.nFirstVertex;
      r.fStartPoint = t.verts[static_cast<size_t>(r.nFirstVertex)].fPoint;
      r.fEndPoint = t.verts.back().fPoint;
    }
    t.recs.push_back(r);
  }
  return t;
}

std::string Describe(const std::vector<TDXFEntity>& L) {
  std::ostringstream s;
  s.precision(17);
  for (const auto& r : L)
    s << static_cast<int>(r.EntityType) << " seq " << r.nSequence << " (" << r.fStartPoint.fX << ","
      << r.fStartPoint.fY << ")->(" << r.fEndPoint.fX << "," << r.fEndPoint.fY << ") dir "
      << static_cast<int>(r.Direction) << "\n";
  return s.str();
}

// The fast chaining against the plain rule on one layer (and, with bQueue, the travel
// ordering after it, also from the paths as they were made): the same count, the same
// records in the same order.
void ExpectChainsAlike(const TLayer& Layer, double fTol, double fMin, int32_t nMoves, bool bQueue,
                       const std::string& strCase) {
  auto fast = Layer.recs, plain = Layer.recs;
  TIntList sf, sp;
  const int32_t nf = SortList(fast, Layer.verts, fTol, fMin, nMoves, sf);
  const int32_t np = reference::PlainSortList(plain, Layer.verts, fTol, fMin, nMoves, sp);
  ASSERT_EQ(nf, np) << strCase;
  ASSERT_EQ(fast, plain) << strCase << "\nfast:\n" << Describe(fast) << "plain:\n" << Describe(plain);
  if (!bQueue) return;
  ASSERT_EQ(sf.Count(), sp.Count()) << strCase;
  auto made = Layer.recs;
  TIntList sm;
  ASSERT_EQ(SortList(made, Layer.verts, fTol, fMin, nMoves, sm, nullptr, true), np) << strCase;
  QueueSeq(fast, sf, nMoves, fMin);
  QueueSeq(made, sm, nMoves, fMin);
  reference::PlainQueueSeq(plain, sp, nMoves, fMin);
  ASSERT_EQ(fast, plain) << strCase << "\nfast:\n" << Describe(fast) << "plain:\n" << Describe(plain);
  ASSERT_EQ(made, plain) << strCase << " (as made)\nfast:\n" << Describe(made) << "plain:\n" << Describe(plain);
}

}  // namespace

TEST(ChainDifferential, FastMatchesPlainOnRandomLayers) {
  std::mt19937 rng(20261206);
  std::uniform_int_distribution<int> size(0, 70);
  const double tols[] = {0.02, 0.5, 1.0, 0.0};
  int nCases = 0;
  for (int c = 0; c < 3000; ++c) {
    double tol = tols[c % 4];
    double cellTol = tol > 0 ? tol : 0.5;
    TLayer layer = RandomLayer(rng, size(rng), cellTol, (c / 4) % 2 == 1);
    ExpectChainsAlike(layer, tol, cellTol * 1e-3, 5, true, "case " + std::to_string(c));
    if (HasFatalFailure()) return;
    ++nCases;
  }
  EXPECT_EQ(nCases, 3000);
}

// Many small layers laid side by side, some far apart, some overlapping or just within
// reach of one another, their records shuffled together: sequences are chained group by
// group in the order of their places and must still come out as record order makes them.
TEST(ChainDifferential, ScatteredGroupsMatchThePlainRule) {
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> parts(2, 14), size(1, 25), place(0, 5);
  const double tols[] = {0.02, 0.5, 1.0, 0.0};
  size_t nSequences = 0, nRecords = 0;
  for (int c = 0; c < 1500; ++c) {
    const double tol = tols[c % 4];
    const double cellTol = tol > 0 ? tol : 0.5;
    TLayer layer;
    const int k = parts(rng);
    for (int j = 0; j < k; ++j) {
      TLayer part = RandomLayer(rng, size(rng), cellTol, (c + j) % 2 == 1);
      // Places 12 tolerances apart: a part spans some 20, so neighbours overlap or meet.
      const double dx = place(rng) * 12 * cellTol, dy = place(rng) * 12 * cellTol;
      // Vertices are found by their element's number, which stays unique.
      const int32_t nBase = static_cast<int32_t>(layer.verts.size());
      const int32_t nEntityBase = static_cast<int32_t>(layer.recs.size());
      for (TDXFVertex v : part.verts) {
        v.fPoint.fX += dx, v.fPoint.fY += dy;
        v.nEntity += nEntityBase;
        layer.verts.push_back(v);
      }
      for (TDXFEntity r : part.recs) {
        for (TfPoint* p : {&r.fStartPoint, &r.fEndPoint, &r.fCentrePoint}) p->fX += dx, p->fY += dy;
        if (r.nFirstVertex >= 0) r.nFirstVertex += nBase;
        r.nEntity += nEntityBase;
        layer.recs.push_back(r);
      }
    }
    std::shuffle(layer.recs.begin(), layer.recs.end(), rng);
    ExpectChainsAlike(layer, tol, cellTol * 1e-3, 5, c % 2 == 0, "case " + std::to_string(c));
    if (HasFatalFailure()) return;
    auto L = layer.recs;
    TIntList s;
    SortList(L, layer.verts, tol, cellTol * 1e-3, 1, s);
    nSequences += static_cast<size_t>(s.Count()), nRecords += layer.recs.size();
  }
  // Most records join others, and there are many sequences to number.
  EXPECT_GT(nSequences, 20000u);
  EXPECT_LT(nSequences, nRecords * 9 / 10);
}

// Inner paths first: squares and circles nested to several depths (some touching, some
// crossing), with open paths among them. The travel order, where a closed path waits until
// the paths inside it are queued, against the rule over every free path at every step,
// given the same containers.
TEST(ChainDifferential, InnerFirstTravelMatchesThePlainRule) {
  std::mt19937 rng(20261211);
  std::uniform_int_distribution<int> count(1, 30), kind(0, 9), coin(0, 1);
  std::uniform_real_distribution<double> centre(0.0, 20.0), half(0.3, 9.0);
  size_t nWaited = 0;
  for (int c = 0; c < 1200; ++c) {
    std::vector<TDXFEntity> L;
    auto add = [&](TfPoint a, TfPoint b, EDXFEntityType t = eDXFET_Line) {
      TDXFEntity r;
      r.EntityType = t;
      r.nEntity = static_cast<int32_t>(L.size()) + 1;
      r.fStartPoint = a, r.fEndPoint = b;
      L.push_back(r);
    };
    const int m = count(rng);
    for (int k = 0; k < m; ++k) {
      // Centres and sizes on a coarse lattice, so that outlines meet now and then.
      const double x = std::round(centre(rng) * 2) / 2, y = std::round(centre(rng) * 2) / 2;
      const double h = std::round(half(rng) * 2) / 2;
      const int t = kind(rng);
      if (t < 6) {
        TfPoint p[4] = {{x - h, y - h}, {x + h, y - h}, {x + h, y + h}, {x - h, y + h}};
        for (int e = 0; e < 4; ++e)
          coin(rng) ? add(p[e], p[(e + 1) % 4]) : add(p[(e + 1) % 4], p[e]);
      } else if (t < 8) {
        TDXFEntity& r = (add({x + h, y}, {x + h, y}, eDXFET_Circle), L.back());
        r.fCentrePoint = {x, y};
        r.fRadius = h;
        r.Direction = eAnticlockwise;
      } else {
        add({x, y}, {x + h, y + h / 2});
      }
    }
    std::shuffle(L.begin(), L.end(), rng);
    TIntList S;
    SortList(L, {}, 1e-6, 1e-9, 1, S);
    // The containers the fast ordering finds, by sequence number.
    auto A = L;
    TInnerFirst inner;
    inner.fTouch = 1e-4;
    std::vector<TQueuedRun> runs;
    ASSERT_TRUE(PlanQueue(A, S, 1, 1e-9, &inner, runs)) << "case " << c;
    std::map<int32_t, std::vector<int32_t>> containers;
    for (size_t q = 0; q < runs.size(); ++q)
      for (uint32_t b : inner.ContainersByPosition[q]) {
        containers[A[runs[q].nFirst].nSequence].push_back(A[runs[b].nFirst].nSequence);
        ++nWaited;
      }
    auto fast = L, plain = L;
    TInnerFirst again;
    again.fTouch = inner.fTouch;
    QueueSeq(fast, S, 1, 1e-9, &again);
    reference::PlainQueueSeq(plain, S, 1, 1e-9, &containers);
    ASSERT_EQ(fast, plain) << "case " << c << "\nfast:\n" << Describe(fast) << "plain:\n" << Describe(plain);
  }
  EXPECT_GT(nWaited, 5000u);
}

// The chained list grows within its own memory when it has room (polylines expanded from
// the back, those that give nothing left out first) and into a new list when it has not;
// either way it is what the rule gives.
TEST(ChainDifferential, PolylinesExpandAlikeWithAndWithoutRoom) {
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> size(1, 60);
  for (int c = 0; c < 600; ++c) {
    TLayer layer = RandomLayer(rng, size(rng), 0.5, c % 2 == 1);
    if (c % 3 == 0) {
      // Polylines that give no segment: one without vertices, one with a single vertex.
      TDXFEntity r;
      r.EntityType = eDXFET_PolyLine;
      r.nEntity = 1000;
      r.fStartPoint = r.fEndPoint = TfPoint{0.5, 0.5};
      layer.recs.insert(layer.recs.begin() + static_cast<ptrdiff_t>(layer.recs.size() / 2), r);
      r.nEntity = 1001;
      r.nFirstVertex = static_cast<int32_t>(layer.verts.size());
      r.nVertexCount = 1;
      layer.verts.push_back(TDXFVertex{r.fStartPoint, 0.0, r.nEntity});
      layer.recs.push_back(r);
    }
    auto plain = layer.recs;
    TIntList sp;
    const int32_t np = reference::PlainSortList(plain, layer.verts, 0.5, 5e-4, 1, sp);
    for (const bool bRoom : {false, true}) {
      std::vector<TDXFEntity> fast;
      fast.reserve(bRoom ? 8 * layer.recs.size() : layer.recs.size());
      fast.assign(layer.recs.begin(), layer.recs.end());
      TIntList sf;
      ASSERT_EQ(SortList(fast, layer.verts, 0.5, 5e-4, 1, sf), np) << "case " << c;
      ASSERT_EQ(fast, plain) << "case " << c << (bRoom ? " with room" : " without room") << "\nfast:\n"
                             << Describe(fast) << "plain:\n"
                             << Describe(plain);
    }
  }
}

// Stacks of copies (either way round) of a few records: the fast chaining measures a
// stack once per step, and must still give exactly what the rule gives record by record.
TEST(ChainDifferential, StackedCopiesMatchThePlainRule) {
  std::mt19937 rng(7041);
  std::uniform_int_distribution<int> distinct(1, 8), copies(1, 12), coin(0, 1);
  for (int c = 0; c < 600; ++c) {
    const double tol = c % 3 == 0 ? 0.5 : 0.02;
    TLayer base = RandomLayer(rng, distinct(rng), 0.5, c % 2 == 1);
    TLayer layer;
    layer.verts = base.verts;
    for (const TDXFEntity& r : base.recs)
      for (int k = copies(rng); k > 0; --k) {
        TDXFEntity copy = r;
        if (copy.EntityType != eDXFET_PolyLine && coin(rng)) ReverseLine(copy);
        layer.recs.push_back(copy);
      }
    std::shuffle(layer.recs.begin(), layer.recs.end(), rng);
    ExpectChainsAlike(layer, tol, 0.5e-3, 1, false, "case " + std::to_string(c));
    if (HasFatalFailure()) return;
  }
}

namespace {

// Drawings where many ends meet: stars about a few hubs (some hubs within the tolerance of
// one another, some ends nudged off the hub), stacks of copies either way round with
// nudged copies among them, and grids of touching squares; lines long and short against
// the tolerance, with points, circles, arcs and polylines at the hubs.
enum EHubShape { eStar, eStack, eGrid };

TLayer HubLayer(std::mt19937& rng, EHubShape shape, int n, double tol, double fScale) {
  TLayer t;
  std::uniform_int_distribution<int> pick(0, 99), lattice(-8, 8), nudge(0, 5);
  const double offsets[6] = {0, 0, 0, tol * 0.5, tol * 0.999, tol};
  auto jitter = [&]() { return offsets[nudge(rng)] * (pick(rng) % 2 ? 1 : -1); };
  auto far = [&]() { return TfPoint{lattice(rng) * fScale, lattice(rng) * fScale}; };
  std::vector<TfPoint> hubs = {{0, 0}, {tol * 0.5, 0}, {3 * fScale, fScale}};
  auto hub = [&]() {
    TfPoint h = hubs[static_cast<size_t>(pick(rng)) % hubs.size()];
    if (pick(rng) < 20) h.fX += jitter(), h.fY += jitter();
    return h;
  };
  auto add = [&](TfPoint a, TfPoint b) {
    TDXFEntity r;
    r.nEntity = static_cast<int32_t>(t.recs.size()) + 1;
    int k = pick(rng);
    if (pick(rng) % 2) std::swap(a, b);
    r.fStartPoint = a;
    r.fEndPoint = b;
    if (k < 70) {
      r.EntityType = eDXFET_Line;
    } else if (k < 80) {
      r.EntityType = eDXFET_Arc;
      r.Direction = (k & 1) ? eClockwise : eAnticlockwise;
      r.fStartAngle = k;
      r.fEndAngle = -k;
      r.fCentrePoint = far();
    } else if (k < 85) {
      r.EntityType = (k & 1) ? eDXFET_Circle : eDXFET_Point;
      r.fEndPoint = r.fStartPoint;
    } else {
      r.EntityType = eDXFET_PolyLine;
      r.nFirstVertex = static_cast<int32_t>(t.verts.size());
      t.verts.push_back(TDXFVertex{a, 0.0, r.nEntity});
      t.verts.push_back(TDXFVertex{far(), 0.5, r.nEntity});
      t.verts.push_back(TDXFVertex{b, 0.0, r.nEntity});
      r.nVertexCount = 3;
    }
    t.recs.push_back(r);
  };
  if (shape == eStar) {
    while (static_cast<int>(t.recs.size()) < n) add(hub(), pick(rng) < 15 ? hub() : far());
  } else if (shape == eStack) {
    std::vector<std::pair<TfPoint, TfPoint>> distinct;
    for (int k = 0; k < 4; ++k) distinct.push_back({hub(), pick(rng) < 30 ? hub() : far()});
    while (static_cast<int>(t.recs.size()) < n) {
      auto [a, b] = distinct[static_cast<size_t>(pick(rng)) % distinct.size()];
      if (pick(rng) < 10) a.fX += jitter();
      add(a, b);
    }
  } else {
    const int side = std::max(1, static_cast<int>(std::sqrt(n / 4.0)));
    for (int i = 0; i < side; ++i)
      for (int j = 0; j < side; ++j) {
        const double x = i * fScale, y = j * fScale;
        add({x, y}, {x + fScale, y});
        add({x + fScale, y}, {x + fScale, y + fScale});
        add({x + fScale, y + fScale}, {x, y + fScale});
        add({x, y + fScale}, {x, y});
      }
  }
  for (auto& r : t.recs)
    if (r.EntityType == eDXFET_PolyLine) {  // the record's ends are its first and last vertex
      r.fStartPoint = t.verts[static_cast<size_t>(r.nFirstVertex)].fPoint;
      r.fEndPoint = t.verts[static_cast<size_t>(r.nFirstVertex + 2)].fPoint;
    }
  std::shuffle(t.recs.begin(), t.recs.end(), rng);
  return t;
}

}  // namespace

// The chaining looks once at a point where many ends meet and reads each record's turn
// from its ends' last steps; it must still give exactly what the rule gives.
TEST(ChainDifferential, ManyEndsAtOnePointMatchThePlainRule) {
  struct TCase {
    EHubShape shape;
    double fScale;  // line length, in tolerances: far apart, or near enough to count as short
  };
  const TCase cases[] = {{eStar, 20},   {eStar, 2},  {eStack, 20},
                         {eStack, 1.5}, {eGrid, 20}, {eGrid, 2}};
  std::mt19937 rng(35);
  std::uniform_int_distribution<int> size(1, 160);
  int nCases = 0;
  for (const TCase& tc : cases)
    for (int c = 0; c < 150; ++c) {
      const double tol = c % 2 ? 0.02 : 0.5;
      TLayer layer = HubLayer(rng, tc.shape, size(rng), tol, tc.fScale * tol);
      ExpectChainsAlike(layer, tol, tol * 1e-3, 1, true,
                        "shape " + std::to_string(tc.shape) + " case " + std::to_string(c));
      if (HasFatalFailure()) return;
      ++nCases;
    }
  EXPECT_EQ(nCases, 900);
}

TEST(ChainDifferential, HugeCoordinatesWithATinyTolerance) {
  std::mt19937 rng(5);
  for (int c = 0; c < 200; ++c) {
    TLayer layer = RandomLayer(rng, 40, 1e-7);
    for (auto& r : layer.recs) {
      r.fStartPoint.fX += 1e12;
      r.fEndPoint.fX += 1e12;
    }
    for (auto& v : layer.verts) v.fPoint.fX += 1e12;
    for (auto& r : layer.recs)
      if (r.EntityType == eDXFET_PolyLine) {
        r.fStartPoint = layer.verts[static_cast<size_t>(r.nFirstVertex)].fPoint;
        r.fEndPoint = layer.verts[static_cast<size_t>(r.nFirstVertex + r.nVertexCount - 1)].fPoint;
      }
    ExpectChainsAlike(layer, 1e-7, 0, 1, false, "case " + std::to_string(c));
    if (HasFatalFailure()) return;
  }
}

namespace {

TDXFEntity Line(double x0, double y0, double x1, double y1) {
  TDXFEntity r;
  r.EntityType = eDXFET_Line;
  r.fStartPoint = {x0, y0};
  r.fEndPoint = {x1, y1};
  return r;
}

}  // namespace

TEST(Chain, ToleranceDecidesAndReversesTheSecondLine) {
  for (auto [tol, nSeqs] : {std::pair{0.02, 1}, {2e-05, 1}, {1e-06, 2}}) {
    std::vector<TDXFEntity> L = {Line(0, 0, 10, 0), Line(20, 0, 10, 0.00001)};
    TIntList s;
    SortList(L, {}, tol, 0, 1, s);
    EXPECT_EQ(s.Count(), nSeqs) << tol;
    if (nSeqs == 1) {
      EXPECT_EQ(L[1].fStartPoint.fX, 10);
      EXPECT_EQ(L[1].fEndPoint.fX, 20);
    }
  }
  // Matching is per axis, and strict.
  EXPECT_TRUE(PointsMatch({0, 0}, {0.015, 0.015}, 0.02));
  EXPECT_FALSE(PointsMatch({0, 0}, {0.02, 0}, 0.02));
  EXPECT_FALSE(PointsMatch({0, 0}, {0, 0}, 0));
}

TEST(Chain, ShuffledSquareBecomesOneClosedSequence) {
  std::vector<TDXFEntity> L = {Line(10, 10, 0, 10), Line(0, 0, 10, 0), Line(0, 10, 0, 0),
                               Line(10, 10, 10, 0)};
  TIntList s;
  EXPECT_EQ(SortList(L, {}, 0.01, 0, 1, s), 2);
  ASSERT_EQ(L.size(), 4u);
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(L[i].fStartPoint, L[i - 1].fEndPoint) << i;
  EXPECT_EQ(L[3].fEndPoint, L[0].fStartPoint);
}

TEST(Chain, PointsAreSortedAndWindowed) {
  std::vector<TDXFEntity> L;
  for (double x : {0.0, 3.0, 1.0, 2.0}) {
    TDXFEntity p;
    p.EntityType = eDXFET_Point;
    p.fStartPoint = p.fEndPoint = {x, 0};
    L.push_back(p);
  }
  L.insert(L.begin() + 1, Line(50, 50, 60, 50));
  SortPoint(L);
  EXPECT_EQ(L[0].EntityType, eDXFET_Line);
  for (size_t i = 1; i < 5; ++i) EXPECT_EQ(L[i].fStartPoint.fX, static_cast<double>(i - 1));
}

TEST(Chain, PolylinesExpandForwardAndReversed) {
  std::vector<TDXFVertex> V = {{{0, 0}, 0, 7}, {{10, 0}, 1, 7}, {{10, 10}, 0, 7}};
  TDXFEntity p;
  p.EntityType = eDXFET_PolyLine;
  p.nEntity = 7;
  p.nFirstVertex = 0;
  p.nVertexCount = 3;
  p.fStartPoint = {0, 0};
  p.fEndPoint = {10, 10};
  std::vector<TDXFEntity> L = {p};
  AddPolyline(L, V, 1e-6);
  ASSERT_EQ(L.size(), 2u);
  EXPECT_EQ(L[0].EntityType, eDXFET_Line);
  EXPECT_EQ(L[1].EntityType, eDXFET_Arc);  // bulge 1: a half circle about (10,5)
  EXPECT_NEAR(L[1].fCentrePoint.fX, 10, 1e-12);
  EXPECT_NEAR(L[1].fCentrePoint.fY, 5, 1e-12);
  EXPECT_EQ(L[1].Direction, eAnticlockwise);
  ReverseLine(p);
  L = {p};
  AddPolyline(L, V, 1e-6);
  ASSERT_EQ(L.size(), 2u);
  EXPECT_EQ(L[0].EntityType, eDXFET_Arc);
  EXPECT_EQ(L[0].Direction, eClockwise);  // the same half circle, travelled back
  EXPECT_EQ(L[1].fEndPoint, (TfPoint{0, 0}));
}

TEST(Queue, NearestFirstAndClosedPathsKeepTheirDirection) {
  TDXFEntity circle;
  circle.EntityType = eDXFET_Circle;
  circle.Direction = eClockwise;
  circle.fStartPoint = circle.fEndPoint = {28, 5};
  circle.fCentrePoint = {30, 5};
  circle.nSequence = 1;
  TDXFEntity far = Line(100, 0, 90, 0);
  far.nSequence = 2;
  TDXFEntity near = Line(5, 0, 1, 0);
  near.nSequence = 3;
  std::vector<TDXFEntity> L = {circle, far, near};
  TIntList s;
  for (int32_t k : {1, 2, 3}) s.Add(k);
  QueueSeq(L, s, 1, 1e-9);
  ASSERT_EQ(L.size(), 3u);
  EXPECT_EQ(L[0].fStartPoint.fX, 1);  // reversed: its near end is its end
  EXPECT_EQ(L[1].EntityType, eDXFET_Circle);
  EXPECT_EQ(L[1].Direction, eClockwise);
  EXPECT_EQ(L[2].fStartPoint.fX, 90);
  EXPECT_EQ(L[2].nSequence, 3);
}

// Duplicates: the flat grid against the grid of per-cell lists, on drawings of copies
// either way round, lines under longer lines, arcs under arcs and circles of nearly the
// same circle, and points, a few nudged by about the tolerance; and on drawings with none.
// Some drawings spread thousands of elements over many rows of cells, a few lines long
// enough to be checked against every element.
TEST(DedupeDifferential, FlatGridMatchesTheListGrid) {
  std::mt19937 rng(3535);
  std::uniform_int_distribution<int> pick(0, 99), lattice(0, 6), wide(0, 300), size(0, 120);
  int nDropped = 0;
  for (int c = 0; c < 660; ++c) {
    const double tol = c % 3 == 0 ? 0.5 : 0.02;
    const bool bWide = c >= 600;
    const bool bNone = !bWide && c % 5 == 0;  // a sheet where nothing lies on anything
    auto nudge = [&]() { return pick(rng) < 20 ? (pick(rng) - 50) * tol / 40 : 0.0; };
    std::vector<TDXFEntity> L;
    const int n = bWide ? 3000 : size(rng);
    for (int i = 0; i < n; ++i) {
      TDXFEntity r;
      const int k = pick(rng);
      // Wide: some lines on one diagonal, the first kind long enough to be checked against
      // every element, the second short, lying on them.
      const double x = bWide ? wide(rng) * 0.5 : bNone ? i * 10.0 : lattice(rng),
                   y = bWide ? k < 2 ? x : wide(rng) * 0.5 : bNone ? 0.0 : lattice(rng);
      r.fStartPoint = {x + nudge(), y + nudge()};
      if (k < 50) {
        r.EntityType = eDXFET_Line;
        const double t = bWide && k == 0 ? 100.0 : pick(rng) < 50 ? 1.0 : pick(rng) / 100.0;
        r.fEndPoint = {x + 3 * t + nudge(), y + (bWide && k < 2 ? 3 * t : 0.0) + nudge()};
        if (pick(rng) % 2) ReverseLine(r);
      } else if (k < 85) {
        r.EntityType = k < 75 ? eDXFET_Arc : eDXFET_Circle;
        r.fCentrePoint = {x + nudge(), y + nudge()};
        r.fRadius = 2 + nudge();
        const double a0 = lattice(rng) * 0.7, a1 = a0 + 0.5 + lattice(rng) * 0.6;
        r.fStartPoint = {r.fCentrePoint.fX + r.fRadius * std::cos(a0),
                         r.fCentrePoint.fY + r.fRadius * std::sin(a0)};
        r.fEndPoint = k < 75 ? TfPoint{r.fCentrePoint.fX + r.fRadius * std::cos(a1),
                                       r.fCentrePoint.fY + r.fRadius * std::sin(a1)}
                             : r.fStartPoint;
        r.Direction = k % 2 ? eClockwise : eAnticlockwise;
      } else {
        r.EntityType = eDXFET_Point;
        r.fEndPoint = r.fStartPoint;
      }
      r.nEntity = i + 1;
      L.push_back(r);
    }
    auto flat = L, listed = L;
    const size_t nf = RemoveDuplicateRecords(flat, tol),
                 nl = reference::GridRemoveDuplicateRecords(listed, tol);
    ASSERT_EQ(nf, nl) << "case " << c;
    ASSERT_EQ(flat, listed) << "case " << c;
    if (bNone) {
      EXPECT_EQ(nf, 0u) << "case " << c;
    }
    nDropped += static_cast<int>(nf);
  }
  EXPECT_GT(nDropped, 1000);
}
